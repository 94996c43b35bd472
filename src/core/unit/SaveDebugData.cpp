#include "core/unit/SaveDebugData.h"

#include "core/app/DebugLog.h"
#include "core/unit/UnitInfoClass.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>

QString DebugDownloadClass::DebugFileName(const QString& mac) {
    return QStringLiteral("UnitDebug_") + mac + QStringLiteral(".log");
}

bool DebugDownloadClass::Append(const QString& fileName, const QString& text) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(text.toUtf8()) < 0) {
        WriteLog(QStringLiteral("Unable to write debugdata to file: ") + fileName);
        return false;
    }
    return true;
}

void DebugDownloadClass::StartDebugDownload(const UnitInfoClass& unit) {
    BytesSaved = 0;
    LastWrittenWasLf = false;
    const KeyObjectClass* productInfo = unit.FindKey(KEY_PRODUCT_INFO);
    const QString header =
        QStringLiteral("\n\n**********************") + QStringLiteral("\nDebug downloaded: ") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) +
        QStringLiteral("\nDevice firmware: ") + (productInfo ? productInfo->DataText() : QString()) +
        QStringLiteral("\n**********************\n");
    Append(DebugFileName(unit.Mac), header);
    Q_EMIT requestShortKey(KEY_DEBUG_LOG, 0);
}

void DebugDownloadClass::SaveDebugData(const UnitInfoClass& unit, int length, const QByteArray& value) {
    const QString fileName = DebugFileName(unit.Mac);
    const qsizetype size = std::clamp<qsizetype>(length, 0, value.size());
    if (size < CHUNK_HEADER_SIZE) {
        // Without its header the chunk cannot say where the log goes on, so the download ends here.
        WriteLog(QStringLiteral("Debugdata chunk too short. Length: ") + QString::number(size));
        Finish(fileName);
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.constData());
    const bool more = bytes[0] == 1;
    const quint16 next = static_cast<quint16>((bytes[1] << 8) | bytes[2]);

    QString text;
    text.reserve(size - CHUNK_HEADER_SIZE);
    bool afterLf = LastWrittenWasLf;
    for (qsizetype i = CHUNK_HEADER_SIZE; i < size; ++i) {
        const unsigned char c = bytes[i];
        if (c == '\r' && afterLf) {
            afterLf = false;
            continue;
        }
        afterLf = c == '\n';
        text += QChar(c);
    }
    if (text.isEmpty() || Append(fileName, text)) {
        BytesSaved += text.size();
        if (!text.isEmpty())
            LastWrittenWasLf = afterLf;
    }
    WriteLog(QStringLiteral("Debugdata saved. Length: ") + QString::number(size - CHUNK_HEADER_SIZE));

    if (more)
        Q_EMIT requestShortKey(KEY_DEBUG_LOG, next);
    else
        Finish(fileName);
}

void DebugDownloadClass::Finish(const QString& fileName) {
    const QString message =
        QString::number(BytesSaved) + QStringLiteral(" bytes of debugdata saved to file: ") + fileName;
    WriteLog(QStringLiteral("DebugData End. Length: ") + QString::number(BytesSaved) +
             QStringLiteral(". Filename: ") + fileName);
    Q_EMIT debugDownloadFinished(message, fileName, BytesSaved);
}
