#pragma once

#include <QString>

// "Unitscope.cfg": exactly two CR LF lines, "COMPORT=%d" and "WINDOWSIZE=%d". A value that is
// missing or does not parse leaves the setting as it was.
struct SettingsValues {
    int ComPort = 0;
    int WindowSize = 0;
};

namespace SettingsFile {

inline const QString FILE_NAME = QStringLiteral("Unitscope.cfg");

// Applies what the text holds to the values; returns false when neither key gave a value.
bool ParseInto(const QByteArray& content, SettingsValues& values);
QByteArray Format(const SettingsValues& values);

// Reads the file; false (values untouched) when it cannot be read.
bool Load(const QString& path, SettingsValues& values);
bool Save(const QString& path, const SettingsValues& values);

} // namespace SettingsFile
