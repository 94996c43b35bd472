#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class UnitInfoClass;

// The semicolon-separated files the list window saves (device, zone and status lists). A file
// starts with a block naming the unit, its firmware, its uptime and the time of saving, then one
// line of column captions, each followed by ";", then one line per row: the first cell, then ";"
// and each further cell. Kept free of widgets so the command line writes the same files.

struct CsvListHeader {
    QString Mac;
    QString ProductInfo;                  // key 105 "Product Info"; empty when the unit has none
    std::optional<quint32> UptimeSeconds; // key 117 "System Uptime"; none: the line's value stays empty
    QDateTime Saved;
};

enum class CsvWriteResult {
    Ok,
    CannotReplace, // the file was there and could not be deleted
    CannotWrite,   // it could not be opened or written
};

// Default file names of the save dialog and their filters.
inline constexpr const char* CSV_DEVICE_LIST_FILTER = "IEEE files (*.csv)";
inline constexpr const char* CSV_EVENT_LOG_FILTER = "Logfiles (*.csv)";
inline constexpr const char* CSV_LIST_FILTER = "Listfiles (*.csv)";
QString CsvDeviceListFileName(const QString& mac, const QDateTime& now); // MAC_IEEE_Units_yyyymmdd_hhnnss.csv
QString CsvEventLogFileName(const QString& mac);                         // MAC_Log.csv
QString CsvListFileName(const QString& mac);                             // MAC_List.csv

// Header values of the unit with that MAC; the unit may be gone (nullptr), which leaves the
// firmware and uptime empty.
CsvListHeader CsvHeaderForUnit(const QString& mac, const UnitInfoClass* unit, const QDateTime& now);

// "D Days. H Hours. M Mins. S Secs."
QString CsvUptimeText(quint32 seconds);
// The block, ending in its own blank line; the caller adds the two line ends that follow it.
QString CsvHeaderBlock(const CsvListHeader& header);

// A cell as it goes into the file. A cell holding ";", a double quote or a line break is put in
// double quotes with its quotes doubled, so a device or owner name cannot shift the columns; any
// other cell is written as it is.
QString CsvField(const QString& text);
QString CsvCaptionLine(const QStringList& captions); // "Pos;IP;Port;"
QString CsvRowLine(const QStringList& cells);        // "001;10.0.0.1;502:TCP"

// The whole text of a new file: header block, two line ends, caption line, rows.
QString CsvListText(const CsvListHeader& header, const QStringList& captions, const QList<QStringList>& rows);

// Writes the list to the file, UTF-8, lines ended with LF. With replaceExisting an existing file is
// deleted first (CannotReplace when that fails). With append the text goes after what the file
// holds; the header block is written only into an empty file, the caption line always, so each
// appended part names its columns.
CsvWriteResult WriteCsvList(const QString& path, const CsvListHeader& header, const QStringList& captions,
                            const QList<QStringList>& rows, bool append, bool replaceExisting);
