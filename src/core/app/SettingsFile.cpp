#include "core/app/SettingsFile.h"

#include "core/app/FindString.h"

#include <QFile>
#include <climits>

namespace {

constexpr int NOT_READ = 65535;

// Reads "TAG=%d" at the 1-based position like sscanf would: optional spaces, an optional sign and
// at least one digit. Anything else leaves the preset value.
int ReadTaggedNumber(const QString& text, int position, const QString& tag) {
    qsizetype at = position - 1 + tag.size();
    while (at < text.size() && (text[at] == QLatin1Char(' ') || text[at] == QLatin1Char('\t')))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == QLatin1Char('-') || text[at] == QLatin1Char('+'))) {
        negative = text[at] == QLatin1Char('-');
        ++at;
    }
    qint64 value = 0;
    bool anyDigit = false;
    while (at < text.size() && text[at].isDigit() && text[at].unicode() < 128) {
        anyDigit = true;
        value = value * 10 + (text[at].unicode() - '0');
        if (value > INT_MAX)
            return NOT_READ; // out of range: treat as unreadable rather than wrap
        ++at;
    }
    if (!anyDigit)
        return NOT_READ;
    return static_cast<int>(negative ? -value : value);
}

bool ReadSetting(const QString& text, const QString& tag, int& setting) {
    const int position = FindString(text, tag, 0, 0);
    if (position == 0)
        return false;
    const int value = ReadTaggedNumber(text, position, tag);
    if (value == NOT_READ)
        return false;
    setting = value;
    return true;
}

} // namespace

bool SettingsFile::ParseInto(const QByteArray& content, SettingsValues& values) {
    const QString text = QString::fromLatin1(content);
    const bool comPort = ReadSetting(text, QStringLiteral("COMPORT="), values.ComPort);
    const bool windowSize = ReadSetting(text, QStringLiteral("WINDOWSIZE="), values.WindowSize);
    return comPort || windowSize;
}

QByteArray SettingsFile::Format(const SettingsValues& values) {
    return "COMPORT=" + QByteArray::number(values.ComPort) +
           "\r\nWINDOWSIZE=" + QByteArray::number(values.WindowSize) + "\r\n";
}

bool SettingsFile::Load(const QString& path, SettingsValues& values) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    ParseInto(content, values);
    return true;
}

bool SettingsFile::Save(const QString& path, const SettingsValues& values) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray content = Format(values);
    return file.write(content) == content.size();
}
