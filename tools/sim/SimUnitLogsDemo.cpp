// A plausible history for a demo unit: a month of events, the tail of its debug output, its open
// sockets and the neighbours on its LAN.
#include "sim/SimUnitLogs.h"

#include <QRandomGenerator>

namespace {

constexpr int DEMO_EVENTS = 240;
constexpr int DEMO_ARP_ROWS = 34;

const char* const DEVICE_NAMES[] = {"K\xF6k",     "Sovrum 1", "Sovrum 2", "Vind",
                                    "Garageport", "Frysrum",  "Kontor"};
const char* const DEVICE_NWKS[] = {"6A10", "7C3E", "0F92", "D104", "3B70", "8841", "A3C8"};

QByteArray Latin1(const QString& text) {
    return text.toLatin1();
}

// One event of a typical day, picked by the generator.
SimEvent RandomEvent(QRandomGenerator& random, const QDateTime& time) {
    const int device = random.bounded(int(std::size(DEVICE_NAMES)));
    const QString name = QString::fromLatin1(DEVICE_NAMES[device]);
    const QString nwk = QString::fromLatin1(DEVICE_NWKS[device]);
    const int zone = 1 + random.bounded(4);
    switch (random.bounded(16)) {
    case 0:
        return {60, time, Latin1(QStringLiteral("10.20.30.40:9999"))};
    case 1:
        return {61, time, Latin1(QStringLiteral("10.20.30.40:9999"))};
    case 2:
        return {50, time, Latin1(QStringLiteral("ACK 18 1602 00 000"))};
    case 3:
        return {2011, time, Latin1(QStringLiteral("Zone %1").arg(zone))};
    case 4:
        return {2012, time, Latin1(QStringLiteral("Zone %1").arg(zone))};
    case 5:
        return {2013, time, Latin1(QStringLiteral("Zone 1"))};
    case 6:
        return {2007, time, Latin1(name)};
    case 7:
        return {2009, time, Latin1(name)};
    case 8:
        return {2003, time,
                Latin1(QStringLiteral("%1 -> %2")
                           .arg(nwk, random.bounded(2) ? QStringLiteral("4C21") : QStringLiteral("0000")))};
    case 9:
        return {2001, time, Latin1(name)};
    case 10:
        return {20, time, Latin1(QStringLiteral("Input %1").arg(1 + random.bounded(8)))};
    case 11:
        return {24, time, Latin1(QStringLiteral("Input %1").arg(1 + random.bounded(8)))};
    case 12:
        return {62, time, Latin1(QStringLiteral("alarm2.q7net.example:9999"))};
    case 13:
        return {101, time, Latin1(QStringLiteral("+46701234567"))};
    case 14:
        return {2018, time, Latin1(QStringLiteral("Output %1").arg(1 + random.bounded(2)))};
    default:
        return {2024, time, Latin1(QStringLiteral("Zone %1").arg(zone))};
    }
}

const char* const DEBUG_LINES[] = {
    "ETH: link up 100 Mbit full duplex",
    "DHCP: lease renewed, 192.168.1.57 for 86400 s",
    "ALARM: heartbeat to 10.20.30.40:9999 seq %1 ok",
    "ALARM: receiver ack in %1 ms",
    "RADIO: poll from 7C3E rssi -70 lqi 107",
    "RADIO: poll from 3B70 rssi -62 lqi 135",
    "RADIO: route 23F5 via 4C21 active",
    "RADIO: device 5E66 supervision expired",
    "GPRS: signal 17 (-79 dBm), registered home",
    "GPRS: socket 2 keepalive sent",
    "CFG: request from 192.168.1.20 port 67, %1 keys",
    "SYS: heap free %1 bytes",
    "NTP: time set from 192.168.1.1, offset %1 ms",
};

} // namespace

SimUnitLogs SimUnitLogs::Demo(int seed) {
    QRandomGenerator random(static_cast<quint32>(seed));
    SimUnitLogs logs;
    const QDateTime now = QDateTime::currentDateTime();
    // A month back: events a few hours apart, oldest first, starting with a power-up.
    QDateTime time = now.addDays(-30).addSecs(random.bounded(3600));
    logs.Events.append({1, time, QByteArray("Power on")});
    logs.Events.append({90, time.addSecs(4), QByteArray("192.168.1.57")});
    logs.Events.append({43, time.addSecs(9), QByteArray("10.20.30.40:9999")});
    time = time.addSecs(9);
    while (logs.Events.size() < DEMO_EVENTS) {
        // Never later than leaves room for the events still to come, so times only grow.
        const QDateTime latest = now.addSecs(-(DEMO_EVENTS - logs.Events.size()) * 30);
        time = qMin(time.addSecs(600 + random.bounded(20000)), latest);
        logs.Events.append(RandomEvent(random, time));
        if (logs.Events.size() == DEMO_EVENTS / 2) {
            // A short outage of the primary path in the middle of the month.
            logs.Events.append({41, time.addSecs(30), QByteArray("10.20.30.40:9999")});
            logs.Events.append({44, time.addSecs(95), QByteArray("10.20.30.40:9999")});
            logs.Events.append({2002, time.addSecs(200), QByteArray("Trapphus plan 4")});
        }
    }

    // The tail of the debug output, about 6 KB.
    QDateTime debugTime = now.addSecs(-3600);
    for (int line = 0; logs.DebugLog.size() < 6000; ++line) {
        debugTime = debugTime.addMSecs(1000 + random.bounded(25000));
        const QString text = QString::fromLatin1(DEBUG_LINES[random.bounded(int(std::size(DEBUG_LINES)))]);
        logs.AddDebugLine(debugTime, text.contains(QLatin1String("%1")) ? text.arg(100 + line * 7) : text);
    }

    const quint32 lan = 0xC0A80100; // 192.168.1.0
    logs.IpSockets = {
        {9095, 0, lan | 20, 412, 23104, 398, 187440},
        {68, 0x11, 0xFFFFFFFF, 57, 1596, 55, 21780},
        {9999, 0, 0x0A141E28, 8123, 162460, 8120, 373520},
        {123, 0x11, lan | 1, 24, 1152, 24, 1152},
        {0, 0, 0, 0, 0, 0, 0},
        {502, 0x11, lan | 33, 1999, 1999, 12, 640},
    };
    logs.GprsSockets = {
        {9999, 0, QStringLiteral("alarm2.q7net.example"), 2210, 44200, 2209, 101614},
        {123, 0x11, QStringLiteral("pool.ntp.example"), 30, 1440, 30, 1440},
    };
    for (int row = 0; row < DEMO_ARP_ROWS + random.bounded(4); ++row) {
        SimArpEntry entry;
        entry.Ip = lan | quint32(row == 0 ? 1 : 10 + row * 3 + random.bounded(3));
        entry.Mac = QByteArray::fromHex("3C5A37000000");
        entry.Mac[3] = char(random.bounded(256));
        entry.Mac[4] = char(random.bounded(256));
        entry.Mac[5] = char(row);
        entry.Timeout = static_cast<quint8>(random.bounded(21));
        logs.Arp.append(entry);
    }
    return logs;
}
