#include "core/unit/CsvExport.h"

#include "core/app/DebugLog.h"
#include "core/unit/UnitInfoClass.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr int KEY_PRODUCT_INFO = 105;
constexpr int KEY_SYSTEM_UPTIME = 117;
const QString STARS = QStringLiteral("**********************");
const QString LINE_END = QStringLiteral("\n");
const QString SEPARATOR = QStringLiteral(";");

} // namespace

QString CsvDeviceListFileName(const QString& mac, const QDateTime& now) {
    return mac + QStringLiteral("_IEEE_Units_") + now.toString(QStringLiteral("yyyyMMdd_hhmmss")) +
           QStringLiteral(".csv");
}

QString CsvEventLogFileName(const QString& mac) {
    return mac + QStringLiteral("_Log.csv");
}

QString CsvListFileName(const QString& mac) {
    return mac + QStringLiteral("_List.csv");
}

CsvListHeader CsvHeaderForUnit(const QString& mac, const UnitInfoClass* unit, const QDateTime& now) {
    CsvListHeader header;
    header.Mac = mac;
    header.Saved = now;
    if (unit == nullptr)
        return header;
    if (const KeyObjectClass* product = unit->FindKey(KEY_PRODUCT_INFO))
        header.ProductInfo = product->DataText();
    // The uptime is a 32-bit count the unit sends unsigned; the record keeps it in a signed field.
    if (const KeyObjectClass* uptime = unit->FindKey(KEY_SYSTEM_UPTIME))
        header.UptimeSeconds = static_cast<quint32>(uptime->Value);
    return header;
}

QString CsvUptimeText(quint32 seconds) {
    return QString::number(seconds / 86400) + QStringLiteral(" Days. ") +
           QString::number(seconds % 86400 / 3600) + QStringLiteral(" Hours. ") +
           QString::number(seconds % 3600 / 60) + QStringLiteral(" Mins. ") + QString::number(seconds % 60) +
           QStringLiteral(" Secs.");
}

QString CsvHeaderBlock(const CsvListHeader& header) {
    return STARS + QStringLiteral("\nList file for MAC: ") + header.Mac +
           QStringLiteral("\nDevice firmware: ") + header.ProductInfo +
           QStringLiteral("\nTime since start: ") +
           (header.UptimeSeconds ? CsvUptimeText(*header.UptimeSeconds) : QString()) +
           QStringLiteral("\nFile saved: ") + header.Saved.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) +
           QStringLiteral("\n") + STARS + QStringLiteral("\n\n");
}

QString CsvField(const QString& text) {
    bool needsQuotes = false;
    for (const QChar c : text) {
        if (c == QLatin1Char(';') || c == QLatin1Char('"') || c == QLatin1Char('\n') ||
            c == QLatin1Char('\r')) {
            needsQuotes = true;
            break;
        }
    }
    if (!needsQuotes)
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString CsvCaptionLine(const QStringList& captions) {
    QString line;
    for (const QString& caption : captions)
        line += CsvField(caption) + SEPARATOR;
    return line;
}

QString CsvRowLine(const QStringList& cells) {
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += SEPARATOR;
        line += CsvField(cells.at(i));
    }
    return line;
}

namespace {

QString CsvBody(const QStringList& captions, const QList<QStringList>& rows) {
    QString text = CsvCaptionLine(captions) + LINE_END;
    for (const QStringList& row : rows)
        text += CsvRowLine(row) + LINE_END;
    return text;
}

} // namespace

QString CsvListText(const CsvListHeader& header, const QStringList& captions,
                    const QList<QStringList>& rows) {
    return CsvHeaderBlock(header) + LINE_END + LINE_END + CsvBody(captions, rows);
}

CsvWriteResult WriteCsvList(const QString& path, const CsvListHeader& header, const QStringList& captions,
                            const QList<QStringList>& rows, bool append, bool replaceExisting) {
    QFile file(path);
    if (replaceExisting && QFileInfo::exists(path) && !QFile::remove(path)) {
        WriteLog(QStringLiteral("Unable to replace file: ") + path);
        return CsvWriteResult::CannotReplace;
    }
    const QIODevice::OpenMode mode =
        QIODevice::WriteOnly | (append ? QIODevice::Append : QIODevice::Truncate);
    if (!file.open(mode)) {
        WriteLog(QStringLiteral("Unable to open file: ") + path);
        return CsvWriteResult::CannotWrite;
    }
    const QString text = file.size() == 0 ? CsvListText(header, captions, rows) : CsvBody(captions, rows);
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        WriteLog(QStringLiteral("Unable to write file: ") + path);
        return CsvWriteResult::CannotWrite;
    }
    return CsvWriteResult::Ok;
}
