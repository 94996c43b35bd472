#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

class ByteReader;

// Decoding of the status tables a unit reports in its "Logs" menu: event-log entries, IP and GPRS
// sockets and ARP rows. Each decoder gives the fields and the row texts the status views (and the
// command-line front end) show, column by column. Nothing here reads past the bytes it was given:
// a record cut short is reported as such or left out, as said at each function.

// ---- Event log -------------------------------------------------------------------------------

// One event-log entry: code, time stamp, and the data text.
struct EventLogEntry {
    uint16_t Code = 0;
    uint8_t Year = 0; // counted from 2000
    uint8_t Month = 0;
    uint8_t Day = 0;
    uint8_t Hour = 0;
    uint8_t Minute = 0;
    uint8_t Second = 0;
    uint8_t DataLength = 0; // n as the entry states it
    QString Data;           // the data characters the entry holds, at most n
    // False when the entry is shorter than its 9 header bytes or than its data length; the fields
    // it does not hold stay 0 and Data holds what there is.
    bool Complete = false;
};

// An entry as the unit's EventLog holds it: one character per byte.
EventLogEntry DecodeEventLogEntry(const QString& entry);
// "2017-06-05 14:03:07": the year is 2000 + the year byte, so 5 gives 2005 and 105 gives 2105.
QString EventTimeStampText(const EventLogEntry& entry);
// The text of an event code, or "Unknown: " + code.
QString EventCodeText(int code);

QStringList EventLogColumns(); // "Timestamp", "Event", "Info"
// The row of one entry; logs "Logitem. Event: <code>. Length: <n>" as the view does for each row.
QStringList EventLogRowTexts(const QString& entry);

// ---- IP and GPRS sockets ---------------------------------------------------------------------

struct SocketRecord {
    uint16_t LocalPort = 0; // 0 marks a free IP socket
    uint8_t Protocol = 0;   // 0 TCP, anything else UDP
    QString Host;           // dotted IPv4 text for IP sockets, the host text for GPRS sockets
    uint32_t PacketsReceived = 0;
    uint32_t BytesReceived = 0;
    uint32_t PacketsSent = 0;
    uint32_t BytesSent = 0;
};

inline constexpr int IP_SOCKET_RECORD_SIZE = 24;

// The 24-byte records of key 224 ("IP Sockets"). A record cut short at the end is left out (and
// logged): its counters would be made up.
QList<SocketRecord> DecodeIpSockets(const QByteArray& value);
// The records of key 252 ("GPRS Sockets"): port, protocol, host text ended by ";", four counters.
// A record without its ";" or without all of its counters ends the list (and is logged).
QList<SocketRecord> DecodeGprsSockets(const QByteArray& value);

QStringList SocketColumns(); // "Pos", "IP", "Port", "Data Received", "Data Sent"
// Row of one record; number counts from 1 and is written with three digits ("001").
QStringList SocketRowTexts(const SocketRecord& record, int number);

// ---- ARP table -------------------------------------------------------------------------------

struct ArpRow {
    uint16_t Pos = 0;
    std::array<uint8_t, 4> IP{}; // first octet first
    std::array<uint8_t, 6> Mac{};
    uint8_t Timeout = 0;
};

inline constexpr int ARP_RECORD_SIZE = 13;

// One 13-byte ARP record from the reader's position; nothing (and the reader left where it was)
// when fewer than 13 bytes remain.
std::optional<ArpRow> ReadArpRow(ByteReader& reader);

QStringList ArpColumns(); // "Pos", "IP", "Mac", "Timeout"
// "007", "192.168.1.20", "00:1A:2B:3C:4D:5E", "120".
QStringList ArpRowTexts(const ArpRow& row);

// "192.168.1.20" of four address bytes.
QString DottedIPv4Text(const uint8_t* bytes);
