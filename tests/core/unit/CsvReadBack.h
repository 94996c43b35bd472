#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Reads CSV text the way a spreadsheet does, to check that what the tool writes comes back as the
// same columns: ";" separates, a field that starts with a quote runs to the matching quote, ""
// inside it is one quote, and a line feed inside quotes belongs to the field.
inline QList<QStringList> ReadCsvRecords(const QString& text) {
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false;
    bool fieldStarted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == QLatin1Char(';')) {
            fields.append(field);
            field.clear();
            fieldStarted = false;
        } else if (c == QLatin1Char('\n')) {
            fields.append(field);
            records.append(fields);
            fields.clear();
            field.clear();
            fieldStarted = false;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    return records;
}
