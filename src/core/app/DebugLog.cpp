#include "core/app/DebugLog.h"

#include <QDateTime>
#include <QFile>

DebugLog& DebugLog::instance() {
    static DebugLog log;
    return log;
}

QString DebugLog::logPath() const {
    return Folder + QStringLiteral("IPDebug.log");
}

QString DebugLog::backupPath() const {
    return Folder + QStringLiteral("IPDebug_Backup.log");
}

void DebugLog::tick() {
    if (Countdown > 0)
        --Countdown;
}

QString DebugLog::timeStamp() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

void DebugLog::write(const QString& message) {
    if (Countdown <= 0)
        return;
    if (LineObserver)
        LineObserver(message);

    qint64 sizeBefore = 0;
    {
        QFile file(logPath());
        // A log that cannot be opened loses the line; nothing else may fail because of it.
        if (!file.open(QIODevice::Append))
            return;
        sizeBefore = file.size();
        const QByteArray line = (timeStamp() + QStringLiteral(": ") + message).toUtf8() + '\n';
        file.write(line);
    }
    if (sizeBefore > ROTATE_SIZE) {
        QFile::remove(backupPath());
        QFile::rename(logPath(), backupPath());
    }
}

void WriteLog(const QString& message) {
    DebugLog::instance().write(message);
}

QString BytesToHexText(const unsigned char* bytes, qsizetype count) {
    static const char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(count * 3);
    for (qsizetype i = 0; i < count; ++i) {
        text += QLatin1Char(digits[bytes[i] >> 4]);
        text += QLatin1Char(digits[bytes[i] & 0x0F]);
        text += QLatin1Char(' ');
    }
    return text;
}

QString BytesToHexText(const QByteArray& bytes) {
    return BytesToHexText(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
}
