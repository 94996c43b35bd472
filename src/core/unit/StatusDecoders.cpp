#include "core/unit/StatusDecoders.h"

#include "core/app/DebugLog.h"
#include "core/protocol/ByteReader.h"

#include <QHash>
#include <QLatin1Char>
#include <utility>

namespace {

constexpr int EVENT_HEADER_SIZE = 9;
constexpr int GPRS_COUNTERS_SIZE = 16;
constexpr char GPRS_HOST_END = ';';

const QHash<int, QString>& EventTexts() {
    static const QHash<int, QString> texts = {
        {1, QStringLiteral("System start")},
        {2, QStringLiteral("System test fail")},
        {20, QStringLiteral("Input alarm")},
        {21, QStringLiteral("Input fault")},
        {22, QStringLiteral("Input alarm acked")},
        {23, QStringLiteral("Input fault acked")},
        {24, QStringLiteral("Input restored")},
        {30, QStringLiteral("Sabotage alarm")},
        {31, QStringLiteral("Sabotage fault")},
        {32, QStringLiteral("Sabotage alarm acknowledged")},
        {33, QStringLiteral("Sabotage fault acknowledged")},
        {34, QStringLiteral("Sabotage restored")},
        {40, QStringLiteral("Alarm server offline")},
        {41, QStringLiteral("Alarm server primary connection (IP) fault")},
        {42, QStringLiteral("Alarm server secondary connection (GPRS) fault")},
        {43, QStringLiteral("Alarm server online")},
        {44, QStringLiteral("Alarm server primary connection (IP) restored")},
        {45, QStringLiteral("Alarm server secondary connection (GPRS) restored")},
        {46, QStringLiteral("Primary connection (IP) switched server")},
        {47, QStringLiteral("Secondary connection (GPRS) switched server")},
        {50, QStringLiteral("Alarm receiver central result")},
        {60, QStringLiteral("IP socket connected")},
        {61, QStringLiteral("IP socket disconnected")},
        {62, QStringLiteral("GPRS socket connected")},
        {63, QStringLiteral("GPRS socket disconnected")},
        {90, QStringLiteral("DHCP: New IP address")},
        {100, QStringLiteral("SMS created")},
        {101, QStringLiteral("SMS sent")},
        {102, QStringLiteral("SMS failed")},
        {110, QStringLiteral("GPRS modem restart")},
        {111, QStringLiteral("GPRS modem error")},
        {200, QStringLiteral("New radio device")},
        {201, QStringLiteral("Radio device online")},
        {202, QStringLiteral("Radio device offline")},
        {300, QStringLiteral("PSTN event")},
        {400, QStringLiteral("Calling")},
        {401, QStringLiteral("Call connected")},
        {402, QStringLiteral("Call error")},
        {403, QStringLiteral("Receiver busy")},
        {404, QStringLiteral("No dialtone")},
        {405, QStringLiteral("Call disconnected")},
        {406, QStringLiteral("No answer")},
        {407, QStringLiteral("Incoming call")},
        {408, QStringLiteral("External hangup request")},
        {2000, QStringLiteral("New radio device")},
        {2001, QStringLiteral("Radio device online")},
        {2002, QStringLiteral("Radio device offline")},
        {2003, QStringLiteral("Parent NWK changed")},
        {2004, QStringLiteral("Device NWK changed")},
        {2005, QStringLiteral("Radio device added")},
        {2006, QStringLiteral("Radio device deleted")},
        {2007, QStringLiteral("Radio alarm")},
        {2008, QStringLiteral("Radio fault")},
        {2009, QStringLiteral("Radio alarm restored")},
        {2010, QStringLiteral("Radio fault restored")},
        {2011, QStringLiteral("Zone disarmed")},
        {2012, QStringLiteral("Zone armed")},
        {2013, QStringLiteral("Zone armed (home)")},
        {2014, QStringLiteral("Zone added")},
        {2015, QStringLiteral("Zone deleted")},
        {2016, QStringLiteral("Zone fire verification timer started")},
        {2017, QStringLiteral("Zone fire verification timer done")},
        {2018, QStringLiteral("Output activate")},
        {2019, QStringLiteral("Output deactivate")},
        {2020, QStringLiteral("Siren activate")},
        {2021, QStringLiteral("Zone in-timer activated")},
        {2022, QStringLiteral("Zone out-timer activated")},
        {2023, QStringLiteral("Zone timer deactivated")},
        {2024, QStringLiteral("Zone acknowledged")},
        {2025, QStringLiteral("Zone fire verification timer canceled")},
        {2026, QStringLiteral("Device disabled")},
        {2027, QStringLiteral("Device enabled")},
        {2028, QStringLiteral("Siren deactivate")},
        {4001, QStringLiteral("Serial event message")},
        {4002, QStringLiteral("Serial timeout")},
        {4003, QStringLiteral("Serial timeout restored")},
        {4004, QStringLiteral("Serial memory full")},
    };
    return texts;
}

QString TwoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString ThreeDigits(int value) {
    return QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0'));
}

// Four counters in the order the unit sends them, all big-endian.
void ReadSocketCounters(ByteReader& reader, SocketRecord& record) {
    record.PacketsReceived = reader.readU32BE();
    record.BytesReceived = reader.readU32BE();
    record.PacketsSent = reader.readU32BE();
    record.BytesSent = reader.readU32BE();
}

QString DataText(uint32_t bytes, uint32_t packets) {
    return QString::number(bytes / 1000) + QStringLiteral(" kb (") + QString::number(packets) +
           QStringLiteral(" packets)");
}

} // namespace

// ---- Event log -------------------------------------------------------------------------------

EventLogEntry DecodeEventLogEntry(const QString& entry) {
    EventLogEntry decoded;
    const qsizetype size = entry.size();
    const auto byteAt = [&](qsizetype i) -> uint8_t {
        return i < size ? static_cast<uint8_t>(entry.at(i).unicode() & 0xFF) : 0;
    };
    decoded.Code = static_cast<uint16_t>((byteAt(0) << 8) | byteAt(1));
    decoded.Year = byteAt(2);
    decoded.Month = byteAt(3);
    decoded.Day = byteAt(4);
    decoded.Hour = byteAt(5);
    decoded.Minute = byteAt(6);
    decoded.Second = byteAt(7);
    decoded.DataLength = byteAt(8);
    if (size >= EVENT_HEADER_SIZE)
        decoded.Data = entry.mid(EVENT_HEADER_SIZE, decoded.DataLength);
    decoded.Complete = size >= EVENT_HEADER_SIZE + decoded.DataLength;
    return decoded;
}

QString EventTimeStampText(const EventLogEntry& entry) {
    return QLatin1Char('2') + ThreeDigits(entry.Year) + QLatin1Char('-') + TwoDigits(entry.Month) +
           QLatin1Char('-') + TwoDigits(entry.Day) + QLatin1Char(' ') + TwoDigits(entry.Hour) +
           QLatin1Char(':') + TwoDigits(entry.Minute) + QLatin1Char(':') + TwoDigits(entry.Second);
}

QString EventCodeText(int code) {
    const auto found = EventTexts().constFind(code);
    if (found != EventTexts().constEnd())
        return *found;
    return QStringLiteral("Unknown: ") + QString::number(code);
}

QStringList EventLogColumns() {
    return {QStringLiteral("Timestamp"), QStringLiteral("Event"), QStringLiteral("Info")};
}

QStringList EventLogRowTexts(const QString& entry) {
    const EventLogEntry decoded = DecodeEventLogEntry(entry);
    WriteLog(QStringLiteral("Logitem. Event: ") + QString::number(decoded.Code) +
             QStringLiteral(". Length: ") + QString::number(decoded.DataLength));
    return {EventTimeStampText(decoded), EventCodeText(decoded.Code), decoded.Data};
}

// ---- IP and GPRS sockets ---------------------------------------------------------------------

QList<SocketRecord> DecodeIpSockets(const QByteArray& value) {
    QList<SocketRecord> records;
    ByteReader reader(value);
    while (reader.position() + 1 < reader.size()) {
        const qsizetype start = reader.position();
        if (reader.remaining() < IP_SOCKET_RECORD_SIZE) {
            WriteLog(QStringLiteral("IP socket record cut short. Offset: ") + QString::number(start) +
                     QStringLiteral(". Length: ") + QString::number(reader.remaining()));
            break;
        }
        SocketRecord record;
        record.LocalPort = reader.readU16BE();
        reader.skip(1);
        record.Protocol = reader.readU8();
        uint8_t address[4];
        for (uint8_t& octet : address)
            octet = reader.readU8();
        record.Host = DottedIPv4Text(address);
        ReadSocketCounters(reader, record);
        records.append(std::move(record));
    }
    return records;
}

QList<SocketRecord> DecodeGprsSockets(const QByteArray& value) {
    QList<SocketRecord> records;
    ByteReader reader(value);
    while (reader.position() + 1 < reader.size()) {
        const qsizetype start = reader.position();
        SocketRecord record;
        record.LocalPort = reader.readU16BE();
        reader.skip(1);
        record.Protocol = reader.readU8();
        if (reader.hasError()) {
            WriteLog(QStringLiteral("GPRS socket record cut short. Offset: ") + QString::number(start));
            break;
        }
        const qsizetype hostStart = reader.position();
        const qsizetype hostEnd = value.indexOf(GPRS_HOST_END, hostStart);
        if (hostEnd < 0) {
            WriteLog(QStringLiteral("GPRS socket record without host end. Offset: ") +
                     QString::number(start));
            break;
        }
        record.Host = QString::fromLatin1(value.constData() + hostStart, hostEnd - hostStart);
        reader.seek(hostEnd + 1);
        ReadSocketCounters(reader, record);
        if (reader.hasError()) {
            WriteLog(QStringLiteral("GPRS socket record cut short. Offset: ") + QString::number(start));
            break;
        }
        records.append(std::move(record));
    }
    return records;
}

QStringList SocketColumns() {
    return {QStringLiteral("Pos"), QStringLiteral("IP"), QStringLiteral("Port"),
            QStringLiteral("Data Received"), QStringLiteral("Data Sent")};
}

QStringList SocketRowTexts(const SocketRecord& record, int number) {
    const QString port = QString::number(record.LocalPort) +
                         (record.Protocol == 0 ? QStringLiteral(":TCP") : QStringLiteral(":UDP"));
    return {ThreeDigits(number), record.Host, port, DataText(record.BytesReceived, record.PacketsReceived),
            DataText(record.BytesSent, record.PacketsSent)};
}

// ---- ARP table -------------------------------------------------------------------------------

std::optional<ArpRow> ReadArpRow(ByteReader& reader) {
    if (reader.hasError() || reader.remaining() < ARP_RECORD_SIZE)
        return std::nullopt;
    ArpRow row;
    row.Pos = reader.readU16BE();
    for (uint8_t& octet : row.IP)
        octet = reader.readU8();
    for (uint8_t& part : row.Mac)
        part = reader.readU8();
    row.Timeout = reader.readU8();
    return row;
}

QStringList ArpColumns() {
    return {QStringLiteral("Pos"), QStringLiteral("IP"), QStringLiteral("Mac"), QStringLiteral("Timeout")};
}

QStringList ArpRowTexts(const ArpRow& row) {
    static const char digits[] = "0123456789ABCDEF";
    QString mac;
    for (std::size_t i = 0; i < row.Mac.size(); ++i) {
        if (i > 0)
            mac += QLatin1Char(':');
        mac += QLatin1Char(digits[row.Mac[i] >> 4]);
        mac += QLatin1Char(digits[row.Mac[i] & 0x0F]);
    }
    return {ThreeDigits(row.Pos), DottedIPv4Text(row.IP.data()), mac, QString::number(row.Timeout)};
}

QString DottedIPv4Text(const uint8_t* bytes) {
    return QString::number(bytes[0]) + QLatin1Char('.') + QString::number(bytes[1]) + QLatin1Char('.') +
           QString::number(bytes[2]) + QLatin1Char('.') + QString::number(bytes[3]);
}
