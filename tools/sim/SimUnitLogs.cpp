#include "sim/SimUnitLogs.h"

#include "core/protocol/ByteReader.h"
#include "core/protocol/ByteWriter.h"
#include "sim/SimJsonFields.h"

#include <QHostAddress>
#include <QJsonArray>

namespace {

constexpr int MAX_EVENT_INFO = 255;
const QString TIME_FORMAT = QStringLiteral("yyyy-MM-dd hh:mm:ss");

quint16 RequestPosition(const QByteArray& requestValue) {
    ByteReader reader(requestValue);
    const quint16 position = reader.readU16BE();
    return reader.ok() ? position : 0;
}

QByteArray Entry(quint16 keyId, const QByteArray& value) {
    ByteWriter out(4 + value.size());
    out.writeU16BE(keyId);
    out.writeU16BE(static_cast<quint16>(value.size()));
    out.writeBytes(value);
    return out.bytes();
}

QByteArray U16(int value) {
    QByteArray bytes(2, '\0');
    bytes[0] = char((value >> 8) & 0xFF);
    bytes[1] = char(value & 0xFF);
    return bytes;
}

QString IpText(quint32 ip) {
    return QHostAddress(ip).toString();
}

bool ParseIp(const QString& text, quint32& out) {
    bool ok = false;
    const QHostAddress address(text);
    out = address.toIPv4Address(&ok);
    return ok && text.count(QLatin1Char('.')) == 3;
}

} // namespace

QByteArray EncodeEventEntry(const SimEvent& event) {
    const QDate date = event.Time.date();
    const QTime time = event.Time.time();
    const QByteArray info = event.Info.left(MAX_EVENT_INFO);
    ByteWriter out(9 + info.size());
    out.writeU16BE(event.Code);
    out.writeU8(static_cast<quint8>(qBound(0, date.year() - 2000, 255)));
    out.writeU8(static_cast<quint8>(date.month()));
    out.writeU8(static_cast<quint8>(date.day()));
    out.writeU8(static_cast<quint8>(time.hour()));
    out.writeU8(static_cast<quint8>(time.minute()));
    out.writeU8(static_cast<quint8>(time.second()));
    out.writeU8(static_cast<quint8>(info.size()));
    out.writeBytes(info);
    return out.bytes();
}

QByteArray EncodeIpSocket(const SimIpSocket& socket) {
    ByteWriter out(24);
    out.writeU16BE(socket.LocalPort);
    out.writeU8(0);
    out.writeU8(socket.Protocol);
    out.writeU32BE(socket.RemoteIp);
    out.writeU32BE(socket.PacketsReceived);
    out.writeU32BE(socket.BytesReceived);
    out.writeU32BE(socket.PacketsSent);
    out.writeU32BE(socket.BytesSent);
    return out.bytes();
}

QByteArray EncodeGprsSocket(const SimGprsSocket& socket) {
    // The host text ends at ";", so the unit never keeps one inside it.
    QByteArray host = TextToLowBytes(socket.Host);
    host.replace(';', QByteArray());
    ByteWriter out(21 + host.size());
    out.writeU16BE(socket.LocalPort);
    out.writeU8(0);
    out.writeU8(socket.Protocol);
    out.writeBytes(host);
    out.writeU8(';');
    out.writeU32BE(socket.PacketsReceived);
    out.writeU32BE(socket.BytesReceived);
    out.writeU32BE(socket.PacketsSent);
    out.writeU32BE(socket.BytesSent);
    return out.bytes();
}

QByteArray EncodeArpRecord(quint16 pos, const SimArpEntry& entry) {
    QByteArray mac = entry.Mac.left(6);
    mac.append(QByteArray(6 - mac.size(), '\0'));
    ByteWriter out(13);
    out.writeU16BE(pos);
    out.writeU32BE(entry.Ip);
    out.writeBytes(mac);
    out.writeU8(entry.Timeout);
    return out.bytes();
}

std::optional<QByteArray> SimUnitLogs::AnswerRead(quint16 keyId, const QByteArray& requestValue,
                                                  int maxReplyBytes) const {
    switch (keyId) {
    case KEY_EVENT_LOG_PAGES:
        return Entry(keyId, AnswerStreamPage(keyId, EventLogBytes(), requestValue, maxReplyBytes));
    case KEY_DEBUG_LOG_CHUNKS:
        return Entry(keyId, AnswerStreamPage(keyId, DebugLog, requestValue, maxReplyBytes));
    case KEY_ARP_TABLE:
        return Entry(keyId, AnswerArpPage(requestValue, maxReplyBytes));
    default:
        return std::nullopt;
    }
}

QByteArray SimUnitLogs::AnswerStreamPage(quint16, const QByteArray& stream, const QByteArray& requestValue,
                                         int maxReplyBytes) const {
    const qsizetype position = qMin<qsizetype>(RequestPosition(requestValue), stream.size());
    const int room = qBound(MIN_PAGE_BYTES, maxReplyBytes - 4 - 3, 0xFFFF - 3);
    const QByteArray chunk = stream.mid(position, room);
    const qsizetype next = position + chunk.size();
    QByteArray value;
    value.append(char(next < stream.size() ? 1 : 0));
    value.append(U16(int(next)));
    value.append(chunk);
    return value;
}

QByteArray SimUnitLogs::AnswerArpPage(const QByteArray& requestValue, int maxReplyBytes) const {
    const int budget = qBound(13, maxReplyBytes - 4, 0xFFFF);
    QByteArray value;
    for (qsizetype i = RequestPosition(requestValue); i < Arp.size(); ++i) {
        if (value.size() + 13 > budget)
            break;
        value += EncodeArpRecord(static_cast<quint16>(i), Arp.at(i));
    }
    // An empty page after the last record ends the tool's paging.
    return value;
}

std::optional<QByteArray> SimUnitLogs::KeyValue(quint16 keyId) const {
    switch (keyId) {
    case KEY_EVENT_LOG:
        return U16(qMin<int>(int(Events.size()), 0xFFFF));
    case KEY_DEBUG_LOG:
        return U16(qMin<int>(int(DebugLog.size()), 0xFFFF));
    case KEY_ARP_COUNT:
        return U16(qMin<int>(int(Arp.size()), 0xFFFF));
    case KEY_IP_SOCKETS: {
        QByteArray value;
        for (const SimIpSocket& socket : IpSockets)
            value += EncodeIpSocket(socket);
        return value;
    }
    case KEY_GPRS_SOCKETS: {
        QByteArray value;
        for (const SimGprsSocket& socket : GprsSockets)
            value += EncodeGprsSocket(socket);
        return value;
    }
    default:
        return std::nullopt;
    }
}

bool SimUnitLogs::ApplyWrite(quint16, const QByteArray&) {
    return false;
}

void SimUnitLogs::AddEvent(quint16 code, const QDateTime& time, const QByteArray& info) {
    Events.append(SimEvent{code, time, info.left(MAX_EVENT_INFO)});
    TrimEvents();
}

void SimUnitLogs::TrimEvents() {
    qsizetype total = 0;
    for (const SimEvent& event : Events)
        total += 9 + qMin<qsizetype>(event.Info.size(), MAX_EVENT_INFO);
    while (total > MAX_LOG_BYTES && !Events.isEmpty()) {
        total -= 9 + qMin<qsizetype>(Events.first().Info.size(), MAX_EVENT_INFO);
        Events.removeFirst();
    }
}

void SimUnitLogs::AddDebugLine(const QDateTime& time, const QString& text) {
    // The firmware ends its lines LF CR.
    DebugLog += time.toString(QStringLiteral("[hh:mm:ss.zzz] ")).toLatin1() + TextToLowBytes(text) + "\n\r";
    if (DebugLog.size() > MAX_LOG_BYTES) {
        // Drop whole lines from the front.
        qsizetype cut = DebugLog.size() - MAX_LOG_BYTES;
        const qsizetype lineEnd = DebugLog.indexOf("\n\r", cut);
        cut = lineEnd < 0 ? DebugLog.size() : lineEnd + 2;
        DebugLog.remove(0, cut);
    }
}

QByteArray SimUnitLogs::EventLogBytes() const {
    QByteArray bytes;
    for (const SimEvent& event : Events)
        bytes += EncodeEventEntry(event);
    return bytes;
}

QJsonObject SimUnitLogs::ToJson() const {
    QJsonArray events, ipSockets, gprsSockets, arp;
    for (const SimEvent& event : Events) {
        events.append(QJsonObject{{QStringLiteral("Code"), event.Code},
                                  {QStringLiteral("Time"), event.Time.toString(TIME_FORMAT)},
                                  {QStringLiteral("Info"), QString::fromLatin1(event.Info)}});
    }
    const auto counters = [](QJsonObject& object, quint32 pr, quint32 br, quint32 ps, quint32 bs) {
        object.insert(QStringLiteral("PacketsReceived"), qint64(pr));
        object.insert(QStringLiteral("BytesReceived"), qint64(br));
        object.insert(QStringLiteral("PacketsSent"), qint64(ps));
        object.insert(QStringLiteral("BytesSent"), qint64(bs));
    };
    for (const SimIpSocket& s : IpSockets) {
        QJsonObject object{{QStringLiteral("LocalPort"), s.LocalPort},
                           {QStringLiteral("Protocol"), s.Protocol},
                           {QStringLiteral("RemoteIp"), IpText(s.RemoteIp)}};
        counters(object, s.PacketsReceived, s.BytesReceived, s.PacketsSent, s.BytesSent);
        ipSockets.append(object);
    }
    for (const SimGprsSocket& s : GprsSockets) {
        QJsonObject object{{QStringLiteral("LocalPort"), s.LocalPort},
                           {QStringLiteral("Protocol"), s.Protocol},
                           {QStringLiteral("Host"), s.Host}};
        counters(object, s.PacketsReceived, s.BytesReceived, s.PacketsSent, s.BytesSent);
        gprsSockets.append(object);
    }
    for (const SimArpEntry& entry : Arp) {
        arp.append(QJsonObject{{QStringLiteral("Ip"), IpText(entry.Ip)},
                               {QStringLiteral("Mac"), QString::fromLatin1(entry.Mac.toHex(':').toUpper())},
                               {QStringLiteral("Timeout"), entry.Timeout}});
    }
    return QJsonObject{
        {QStringLiteral("Events"), events},
        {QStringLiteral("DebugLog"), QString::fromLatin1(DebugLog)},
        {QStringLiteral("IpSockets"), ipSockets},
        {QStringLiteral("GprsSockets"), gprsSockets},
        {QStringLiteral("Arp"), arp},
    };
}

std::optional<SimUnitLogs> SimUnitLogs::FromJson(const QJsonObject& json, QString* error) {
    SimUnitLogs logs;
    SimJsonFields fields(json, QStringLiteral("logs"));
    const QJsonArray events = fields.Array("Events");
    const QJsonArray ipSockets = fields.Array("IpSockets");
    const QJsonArray gprsSockets = fields.Array("GprsSockets");
    const QJsonArray arp = fields.Array("Arp");
    fields.Latin1("DebugLog", logs.DebugLog);
    if (!fields.Finish(error))
        return std::nullopt;
    for (const QJsonValue& value : events) {
        SimEvent event;
        QString time;
        SimJsonFields f(value.toObject(), QStringLiteral("event"));
        f.Number("Code", event.Code);
        f.Text("Time", time);
        f.Latin1("Info", event.Info);
        if (!f.Finish(error))
            return std::nullopt;
        event.Time = QDateTime::fromString(time, TIME_FORMAT);
        if (!event.Time.isValid() || event.Time.date().year() < 2000 || event.Time.date().year() > 2255 ||
            event.Info.size() > MAX_EVENT_INFO) {
            SimSetError(error,
                        QStringLiteral("event: \"Time\" must read yyyy-MM-dd hh:mm:ss (years 2000-2255) "
                                       "and \"Info\" hold at most 255 characters"));
            return std::nullopt;
        }
        logs.Events.append(event);
    }
    const auto readCounters = [](SimJsonFields& f, quint32& pr, quint32& br, quint32& ps, quint32& bs) {
        f.Number("PacketsReceived", pr);
        f.Number("BytesReceived", br);
        f.Number("PacketsSent", ps);
        f.Number("BytesSent", bs);
    };
    for (const QJsonValue& value : ipSockets) {
        SimIpSocket s;
        QString ip = QStringLiteral("0.0.0.0");
        SimJsonFields f(value.toObject(), QStringLiteral("IP socket"));
        f.Number("LocalPort", s.LocalPort);
        f.Number("Protocol", s.Protocol);
        f.Text("RemoteIp", ip);
        readCounters(f, s.PacketsReceived, s.BytesReceived, s.PacketsSent, s.BytesSent);
        if (!f.Finish(error))
            return std::nullopt;
        if (!ParseIp(ip, s.RemoteIp)) {
            SimSetError(error, QStringLiteral("IP socket: \"RemoteIp\" must be a dotted IPv4 address"));
            return std::nullopt;
        }
        logs.IpSockets.append(s);
    }
    for (const QJsonValue& value : gprsSockets) {
        SimGprsSocket s;
        SimJsonFields f(value.toObject(), QStringLiteral("GPRS socket"));
        f.Number("LocalPort", s.LocalPort);
        f.Number("Protocol", s.Protocol);
        f.Text("Host", s.Host);
        readCounters(f, s.PacketsReceived, s.BytesReceived, s.PacketsSent, s.BytesSent);
        if (!f.Finish(error))
            return std::nullopt;
        logs.GprsSockets.append(s);
    }
    for (const QJsonValue& value : arp) {
        SimArpEntry entry;
        QString ip;
        SimJsonFields f(value.toObject(), QStringLiteral("ARP row"));
        f.Text("Ip", ip);
        f.HexBytes("Mac", 6, entry.Mac);
        f.Number("Timeout", entry.Timeout);
        if (!f.Finish(error))
            return std::nullopt;
        if (!ParseIp(ip, entry.Ip) || entry.Mac.size() != 6) {
            SimSetError(
                error, QStringLiteral("ARP row: \"Ip\" must be a dotted IPv4 address and \"Mac\" six bytes"));
            return std::nullopt;
        }
        logs.Arp.append(entry);
    }
    logs.TrimEvents();
    if (logs.DebugLog.size() > MAX_LOG_BYTES)
        logs.DebugLog = logs.DebugLog.right(MAX_LOG_BYTES);
    return logs;
}
