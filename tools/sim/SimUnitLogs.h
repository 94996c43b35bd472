#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// One event of the unit's event log.
struct SimEvent {
    quint16 Code = 0;
    QDateTime Time;  // local time; the year goes on the wire counted from 2000
    QByteArray Info; // event data, up to 255 bytes
};

// One IP socket of the unit (24-byte record of key 224). LocalPort 0 marks a free record.
struct SimIpSocket {
    quint16 LocalPort = 0;
    quint8 Protocol = 0;  // 0 TCP, anything else UDP
    quint32 RemoteIp = 0; // host order: 0xC0A80114 is 192.168.1.20
    quint32 PacketsReceived = 0;
    quint32 BytesReceived = 0;
    quint32 PacketsSent = 0;
    quint32 BytesSent = 0;
};

// One GPRS socket (a record of key 252, the host as text ended by ";").
struct SimGprsSocket {
    quint16 LocalPort = 0;
    quint8 Protocol = 0;
    QString Host;
    quint32 PacketsReceived = 0;
    quint32 BytesReceived = 0;
    quint32 PacketsSent = 0;
    quint32 BytesSent = 0;
};

// One row of the unit's ARP table.
struct SimArpEntry {
    quint32 Ip = 0; // host order
    QByteArray Mac; // 6 bytes
    quint8 Timeout = 0;
};

// Event log, debug log, IP and GPRS sockets and ARP table of one unit.
//
// Paging: the event log (0x00DD) and the debug log (0x00DF) are byte streams; a page is
// [more flag][next position, 16-bit][bytes] and positions are byte offsets into the stream, so
// a page may end inside an event entry (the tool joins the pages before splitting them). The
// ARP table (0x00E2) is paged by record: a page holds the records from the requested position
// on, each with its position, and the page after the last record is empty.
class SimUnitLogs {
public:
    static constexpr quint16 KEY_EVENT_LOG = 220; // count of events
    static constexpr quint16 KEY_EVENT_LOG_PAGES = 0x00DD;
    static constexpr quint16 KEY_DEBUG_LOG = 222; // debug log size in bytes
    static constexpr quint16 KEY_DEBUG_LOG_CHUNKS = 0x00DF;
    static constexpr quint16 KEY_IP_SOCKETS = 224;
    static constexpr quint16 KEY_ARP_COUNT = 225;
    static constexpr quint16 KEY_ARP_TABLE = 0x00E2;
    static constexpr quint16 KEY_GPRS_SOCKETS = 252;

    // Positions are 16-bit, so the unit keeps at most this much of each log, dropping the oldest.
    static constexpr int MAX_LOG_BYTES = 60000;
    // A page always carries at least this many log bytes, whatever maxReplyBytes says, so a
    // download always moves on.
    static constexpr int MIN_PAGE_BYTES = 16;

    // Pages of 0x00DD, 0x00DF and 0x00E2 (a request value shorter than 2 bytes asks for position
    // 0): the encoded reply key entry (id, 16-bit length, value), at most maxReplyBytes long;
    // std::nullopt for any other key.
    std::optional<QByteArray> AnswerRead(quint16 keyId, const QByteArray& requestValue,
                                         int maxReplyBytes) const;
    // Values of keys 220, 222, 225 (16-bit counts), 224 and 252 (socket records), else nullopt.
    std::optional<QByteArray> KeyValue(quint16 keyId) const;
    // The tool has no command that changes these logs: always false.
    bool ApplyWrite(quint16 keyId, const QByteArray& value);

    // What the unit itself adds while it runs (commands, reboots, connections).
    void AddEvent(quint16 code, const QDateTime& time, const QByteArray& info);
    // Appends one line to the debug log, stamped and ended the way the unit's firmware does.
    void AddDebugLine(const QDateTime& time, const QString& text);

    QByteArray EventLogBytes() const; // every entry, oldest first

    QJsonObject ToJson() const;
    static std::optional<SimUnitLogs> FromJson(const QJsonObject& json, QString* error);
    // 240 events, about 6 KB of debug log, IP and GPRS sockets, 34 ARP rows; the seed varies
    // the details so several units differ.
    static SimUnitLogs Demo(int seed);

    QList<SimEvent> Events; // oldest first
    QByteArray DebugLog;
    QList<SimIpSocket> IpSockets;
    QList<SimGprsSocket> GprsSockets;
    QList<SimArpEntry> Arp;

private:
    QByteArray AnswerStreamPage(quint16 keyId, const QByteArray& stream, const QByteArray& requestValue,
                                int maxReplyBytes) const;
    QByteArray AnswerArpPage(const QByteArray& requestValue, int maxReplyBytes) const;
    void TrimEvents();
};

// Wire encodings (one record each).
QByteArray EncodeEventEntry(const SimEvent& event);
QByteArray EncodeIpSocket(const SimIpSocket& socket);
QByteArray EncodeGprsSocket(const SimGprsSocket& socket);
QByteArray EncodeArpRecord(quint16 pos, const SimArpEntry& entry);
