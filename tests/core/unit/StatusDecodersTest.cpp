#include "core/unit/StatusDecoders.h"

#include "core/protocol/ByteReader.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// An event-log entry as the unit's EventLog holds it: one character per byte.
QString Entry(int code, int year, int month, int day, int hour, int minute, int second,
              const QByteArray& data, int statedLength = -1) {
    QByteArray bytes;
    bytes.append(static_cast<char>(code >> 8)).append(static_cast<char>(code & 0xFF));
    for (int v : {year, month, day, hour, minute, second})
        bytes.append(static_cast<char>(v));
    bytes.append(static_cast<char>(statedLength < 0 ? data.size() : statedLength));
    bytes.append(data);
    return QString::fromLatin1(bytes);
}

QByteArray IpSocket(int port, int protocol, const char* ipHex, quint32 packetsIn, quint32 bytesIn,
                    quint32 packetsOut, quint32 bytesOut) {
    QByteArray b;
    b.append(static_cast<char>(port >> 8)).append(static_cast<char>(port)).append('\0');
    b.append(static_cast<char>(protocol)).append(QByteArray::fromHex(ipHex));
    for (quint32 v : {packetsIn, bytesIn, packetsOut, bytesOut})
        for (int shift = 24; shift >= 0; shift -= 8)
            b.append(static_cast<char>((v >> shift) & 0xFF));
    return b;
}

QByteArray GprsSocket(int port, int protocol, const char* host, quint32 packetsIn, quint32 bytesIn,
                      quint32 packetsOut, quint32 bytesOut) {
    QByteArray b;
    b.append(static_cast<char>(port >> 8)).append(static_cast<char>(port)).append('\0');
    b.append(static_cast<char>(protocol)).append(host).append(';');
    for (quint32 v : {packetsIn, bytesIn, packetsOut, bytesOut})
        for (int shift = 24; shift >= 0; shift -= 8)
            b.append(static_cast<char>((v >> shift) & 0xFF));
    return b;
}

} // namespace

TEST(StatusDecoders, EventLogRows) {
    LogCapture log;
    const struct {
        QString Entry;
        QStringList Row;
    } cases[] = {
        {Entry(2028, 17, 6, 5, 14, 3, 7, "Z03"), {S("2017-06-05 14:03:07"), S("Siren deactivate"), S("Z03")}},
        {Entry(3, 5, 1, 2, 0, 0, 9, ""), {S("2005-01-02 00:00:09"), S("Unknown: 3"), S("")}},
        {Entry(1, 105, 12, 31, 23, 59, 59, "boot"), {S("2105-12-31 23:59:59"), S("System start"), S("boot")}},
        {Entry(45, 0, 0, 0, 0, 0, 0, ""),
         {S("2000-00-00 00:00:00"), S("Alarm server secondary connection (GPRS) restored"), S("")}},
        {Entry(4004, 20, 2, 3, 4, 5, 6, "\xE9\x01"),
         {S("2020-02-03 04:05:06"), S("Serial memory full"), QString::fromLatin1("\xE9\x01")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EventLogRowTexts(c.Entry), c.Row) << c.Row.join(S(" | ")).toStdString();
    EXPECT_TRUE(log.contains(S("Logitem. Event: 2028. Length: 3")));
    EXPECT_TRUE(log.contains(S("Logitem. Event: 3. Length: 0")));
    EXPECT_EQ(EventCodeText(2013), S("Zone armed (home)"));
    EXPECT_EQ(EventCodeText(408), S("External hangup request"));
    EXPECT_EQ(EventCodeText(65535), S("Unknown: 65535"));
}

// The last entry of a log may be cut short: it shows what it holds and nothing from beyond it.
TEST(StatusDecoders, ShortEventEntries) {
    const QString whole = Entry(20, 17, 6, 5, 14, 3, 7, "ABCDEF");
    for (int size = 0; size <= whole.size(); ++size) {
        const EventLogEntry e = DecodeEventLogEntry(whole.left(size));
        EXPECT_EQ(e.Complete, size == whole.size()) << size;
        EXPECT_EQ(e.Data, size > 9 ? whole.mid(9, size - 9) : QString()) << size;
        EXPECT_EQ(e.Code, size >= 2 ? 20 : 0) << size;
        EXPECT_EQ(e.Second, size >= 8 ? 7 : 0) << size;
    }
    // A stated length beyond the entry.
    const EventLogEntry lying = DecodeEventLogEntry(Entry(20, 17, 6, 5, 14, 3, 7, "AB", 200));
    EXPECT_EQ(lying.DataLength, 200);
    EXPECT_EQ(lying.Data, S("AB"));
    EXPECT_FALSE(lying.Complete);
}

TEST(StatusDecoders, IpSockets) {
    LogCapture log;
    const QByteArray value = IpSocket(502, 0x11, "C0A80114", 12, 1999, 3, 250000) +
                             IpSocket(9095, 0, "0A000001", 1, 0, 2, 1000) +
                             IpSocket(0, 0, "00000000", 0, 0, 0, 0);
    const QList<SocketRecord> records = DecodeIpSockets(value);
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(SocketRowTexts(records[0], 1), (QStringList{S("001"), S("192.168.1.20"), S("502:UDP"),
                                                          S("1 kb (12 packets)"), S("250 kb (3 packets)")}));
    EXPECT_EQ(SocketRowTexts(records[1], 2), (QStringList{S("002"), S("10.0.0.1"), S("9095:TCP"),
                                                          S("0 kb (1 packets)"), S("1 kb (2 packets)")}));
    EXPECT_EQ(records[2].LocalPort, 0); // a free record is still listed

    // A value that is not a multiple of 24: the cut record is left out and logged; a single
    // stray byte is not even a start.
    EXPECT_EQ(DecodeIpSockets(value + QByteArray(1, '\x01')).size(), 3);
    EXPECT_EQ(DecodeIpSockets(value.left(24 + 10)).size(), 1);
    EXPECT_TRUE(log.contains(S("IP socket record cut short. Offset: 24. Length: 10")));
    EXPECT_TRUE(DecodeIpSockets(QByteArray()).isEmpty());
}

TEST(StatusDecoders, GprsSockets) {
    LogCapture log;
    const QByteArray value = GprsSocket(4000, 0, "receiver.example.net", 5, 12000, 6, 999) +
                             GprsSocket(4001, 1, "10.1.2.3", 0, 0, 1, 64);
    const QList<SocketRecord> records = DecodeGprsSockets(value);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(SocketRowTexts(records[0], 1), (QStringList{S("001"), S("receiver.example.net"), S("4000:TCP"),
                                                          S("12 kb (5 packets)"), S("0 kb (6 packets)")}));
    EXPECT_EQ(SocketRowTexts(records[1], 2), (QStringList{S("002"), S("10.1.2.3"), S("4001:UDP"),
                                                          S("0 kb (0 packets)"), S("0 kb (1 packets)")}));

    // Every cut of the second record leaves the first one alone and reads nothing past the end.
    const qsizetype firstSize = value.size() - GprsSocket(4001, 1, "10.1.2.3", 0, 0, 1, 64).size();
    for (qsizetype size = firstSize; size < value.size(); ++size)
        EXPECT_EQ(DecodeGprsSockets(value.left(size)).size(), 1) << size;
    for (qsizetype size = 0; size < firstSize; ++size)
        EXPECT_TRUE(DecodeGprsSockets(value.left(size)).isEmpty()) << size;
    EXPECT_TRUE(log.contains(S("GPRS socket record without host end. Offset: 0")));
    EXPECT_TRUE(log.contains(S("GPRS socket record cut short. Offset: 0")));
}

TEST(StatusDecoders, ArpRows) {
    const QByteArray bytes = QByteArray::fromHex("0007C0A80114001AC0AABBCC78"
                                                 "0008");
    ByteReader reader(bytes);
    const std::optional<ArpRow> row = ReadArpRow(reader);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(ArpRowTexts(*row),
              (QStringList{S("007"), S("192.168.1.20"), S("00:1A:C0:AA:BB:CC"), S("120")}));
    // Two bytes left: no row, and the reader stays where it was.
    EXPECT_FALSE(ReadArpRow(reader).has_value());
    EXPECT_EQ(reader.position(), 13);
    EXPECT_EQ(ArpColumns(), (QStringList{S("Pos"), S("IP"), S("Mac"), S("Timeout")}));
    ArpRow wide;
    wide.Pos = 1234;
    EXPECT_EQ(ArpRowTexts(wide).first(), S("1234"));
}
