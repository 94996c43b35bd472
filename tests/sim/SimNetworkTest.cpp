#include "sim/SimNetwork.h"

#include "SimTestSupport.h"
#include "core/protocol/MacText.h"
#include "sim/SimMisbehaviour.h"
#include "sim/SimSite.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QByteArray DISCOVERY =
    HexBytes("B0 FF FF FF FF FF FF 00 00 00 00 00 00 00 00 00 1B 02 00 01 00 00 00 05 00 00 "
             "00 69 00 00 00 70 00 00 00 75 00 00 00 65 00 00 01 BB 00 01 09 3D F0");

// The demo site on free loopback ports, answering whatever port asked.
class SimNetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        site.LoadDemo();
        site.RemoveSerialDevices();
    }

    void Start(const SimNetworkOptions& options = SimNetworkOptions::FreePorts()) {
        QString error;
        ASSERT_TRUE(site.Start(options, &error)) << error.toStdString();
    }

    // A TCP connection to unit k.
    std::unique_ptr<QTcpSocket> Connect(int unit) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(site.UnitAddress(unit), site.UnitTcpPort(unit));
        EXPECT_TRUE(socket->waitForConnected(3000));
        return socket;
    }

    // Reads from the stream until the bytes hold count whole packets (or a time-out).
    static QList<QByteArray> ReadPackets(QTcpSocket& socket, int count, QByteArray* raw = nullptr) {
        QByteArray buffer;
        QList<QByteArray> packets;
        (void)WaitUntil(
            [&] {
                buffer += socket.readAll();
                packets.clear();
                qsizetype at = 0;
                while (buffer.size() - at >= 17) {
                    const int n = ConfigEnvelopeClass::PayloadLength(buffer.mid(at, 17));
                    if (buffer.size() - at < n + 22)
                        break;
                    packets.append(buffer.mid(at, n + 22));
                    at += n + 22;
                }
                return packets.size() >= count;
            },
            3000);
        if (raw != nullptr)
            *raw = buffer;
        return packets;
    }

    SimSite site;
};

TEST_F(SimNetworkTest, DiscoveryBroadcastIsAnsweredByEveryUnitFromItsOwnAddress) {
    Start();
    QUdpSocket tool;
    ASSERT_TRUE(tool.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    tool.writeDatagram(DISCOVERY, QHostAddress(QStringLiteral("127.255.255.255")), site.UnitUdpPort());

    QMap<QString, QString> ipByMac;
    (void)WaitUntil(
        [&] {
            while (tool.hasPendingDatagrams()) {
                const QNetworkDatagram datagram = tool.receiveDatagram();
                const ParsedReply reply = ParseReply(datagram.data());
                EXPECT_TRUE(reply.Sound);
                ipByMac.insert(reply.Mac, QHostAddress(datagram.senderAddress().toIPv4Address()).toString());
            }
            return ipByMac.size() == 3;
        },
        3000);
    ASSERT_EQ(ipByMac.size(), 3);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(ipByMac.value(site.Unit(k).MacText()), QStringLiteral("127.0.0.%1").arg(k + 2));
}

TEST_F(SimNetworkTest, UnicastToOneUnitsAddressReachesItAndRepliesCanBeBroadcast) {
    QUdpSocket tool;
    ASSERT_TRUE(tool.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
    SimNetworkOptions options = SimNetworkOptions::FreePorts();
    options.ReplyByBroadcast = true;
    // Left at 255.255.255.255: units on loopback broadcast on loopback only.
    options.WorkstationPort = tool.localPort();
    Start(options);

    // Addressed to the broadcast MAC but sent to unit 1's address only: only unit 1 hears it.
    tool.writeDatagram(BuildRequest(BROADCAST_MAC_TEXT, CONFIG_READ, {}, Entry(0xF000)), site.UnitAddress(1),
                       site.UnitUdpPort());
    QList<QNetworkDatagram> received;
    ASSERT_TRUE(WaitUntil(
        [&] {
            while (tool.hasPendingDatagrams())
                received.append(tool.receiveDatagram());
            return !received.isEmpty();
        },
        3000));
    EXPECT_EQ(ParseReply(received[0].data()).Mac, site.Unit(1).MacText());
    EXPECT_EQ(QHostAddress(received[0].senderAddress().toIPv4Address()), site.UnitAddress(1));
    EXPECT_EQ(received[0].destinationAddress().toIPv4Address(),
              QHostAddress(QStringLiteral("127.255.255.255")).toIPv4Address());
}

TEST_F(SimNetworkTest, TcpReadWriteAndReadBackOnSeveralConnectionsAtOnce) {
    Start();
    auto first = Connect(0);
    auto second = Connect(0);
    SimUnit& unit = site.Unit(0);

    first->write(BuildRequest(unit.MacText(), CONFIG_WRITE, {}, Entry(101, "Written over TCP")));
    const QList<QByteArray> ack = ReadPackets(*first, 1);
    ASSERT_EQ(ack.size(), 1);
    EXPECT_EQ(ParseReply(ack[0]).Type, CONFIG_WRITE_ACK);

    second->write(BuildRequest(unit.MacText(), CONFIG_READ, {}, Entry(101)));
    const QList<QByteArray> read = ReadPackets(*second, 1);
    ASSERT_EQ(read.size(), 1);
    EXPECT_EQ(ParseReply(read[0]).Entries.value(0).Value, QByteArray("Written over TCP"));
    EXPECT_EQ(site.Network().TcpConnectionCount(0), 2);
}

TEST_F(SimNetworkTest, TcpStreamIsReassembledWhateverTheReadsLookLike) {
    Start();
    auto socket = Connect(0);
    const SimUnit& unit = site.Unit(0);
    const QByteArray a = BuildRequest(unit.MacText(), CONFIG_READ, {}, Entry(101));
    const QByteArray b = BuildRequest(unit.MacText(), CONFIG_READ, {}, Entry(105));
    QByteArray cut = BuildRequest(unit.MacText(), CONFIG_READ, {}, Entry(42));

    // Noise, two requests in one write, then one request in two writes.
    socket->write(QByteArray("noise\xB0\x01", 7) + a + b + cut.left(10));
    socket->flush();
    QList<QByteArray> replies = ReadPackets(*socket, 2);
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(ParseReply(replies[0]).Entries.value(0).Id, 101);
    EXPECT_EQ(ParseReply(replies[1]).Entries.value(0).Id, 105);
    socket->write(cut.mid(10));
    replies = ReadPackets(*socket, 1);
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(ParseReply(replies[0]).Entries.value(0).Id, 42);
}

// What a technician does with each unit of the demo site, over TCP: find it, read every menu,
// page the event log, update its firmware.
TEST_F(SimNetworkTest, EveryDemoUnitServesAWholeSessionOverTcp) {
    Start();
    for (int k = 0; k < site.UnitCount(); ++k) {
        SCOPED_TRACE(k);
        SimUnit& unit = site.Unit(k);
        const QString password = unit.Password();
        auto socket = Connect(k);
        socket->write(DISCOVERY);
        QList<QByteArray> replies = ReadPackets(*socket, 1);
        ASSERT_EQ(replies.size(), 1);
        EXPECT_EQ(ParseReply(replies[0]).Mac, unit.MacText());

        for (const quint16 group : {0xF000, 0xF001, 0xF002, 0xF004, 0xF005, 0xF007, 0xF009, 0xF010}) {
            const QByteArray request = BuildRequest(unit.MacText(), CONFIG_READ, password, Entry(group));
            const QList<QByteArray> direct = unit.HandleRequest(request);
            ASSERT_FALSE(direct.isEmpty()) << group;
            socket->write(request);
            const QList<quint16> ids =
                EntryIds(AllEntries(ReadPackets(*socket, static_cast<int>(direct.size()))));
            const QList<quint16> expected = EntryIds(AllEntries(direct));
            EXPECT_EQ(ids, expected) << group;
        }

        QByteArray log;
        quint16 position = 0;
        for (int page = 0; page < 100; ++page) {
            socket->write(
                BuildRequest(unit.MacText(), CONFIG_READ, password, Entry(0x00DD, U16Bytes(position))));
            replies = ReadPackets(*socket, 1);
            ASSERT_EQ(replies.size(), 1);
            const QByteArray value = ParseReply(replies[0]).Entries.value(0).Value;
            ASSERT_GE(value.size(), 3);
            log += value.mid(3);
            if (value[0] != 1)
                break;
            position =
                static_cast<quint16>((static_cast<quint8>(value[1]) << 8) | static_cast<quint8>(value[2]));
        }
        EXPECT_EQ(log, unit.Logs.EventLogBytes());

        const QByteArray file = QByteArray("PRODUCT:X;PVER:9.9.9;") + QByteArray(3000, 'f');
        quint16 sum = 0;
        for (const char byte : file)
            sum = static_cast<quint16>(sum + static_cast<quint8>(byte));
        auto step = [&](const QByteArray& value) {
            socket->write(BuildRequest(unit.MacText(), CONFIG_WRITE, password, Entry(0xA005, value)));
            const QList<QByteArray> answer = ReadPackets(*socket, 1);
            return answer.isEmpty() ? QByteArray() : ParseReply(answer[0]).Body;
        };
        EXPECT_EQ(step(HexBytes("00 00 00 00") + U16Bytes(static_cast<quint16>(file.size())) + U16Bytes(sum)),
                  HexBytes("00 00"));
        for (int n = 0; n * 1024 < file.size(); ++n)
            EXPECT_EQ(step(HexBytes("00 01") + U16Bytes(static_cast<quint16>(n)) + file.mid(n * 1024, 1024)),
                      HexBytes("00 01") + U16Bytes(static_cast<quint16>(n)));
        EXPECT_EQ(step(HexBytes("00 02")), HexBytes("00 02"));
        EXPECT_TRUE(unit.ProductText().endsWith(QStringLiteral(" v9.9.9")));
    }
}

TEST_F(SimNetworkTest, WrongPasswordGetsNoReplyWhileTheRightOneDoes) {
    Start();
    const int protectedIndex = SimSite::DEMO_PASSWORD_UNIT;
    auto socket = Connect(protectedIndex);
    const QString mac = site.Unit(protectedIndex).MacText();
    socket->write(BuildRequest(mac, CONFIG_READ, QStringLiteral("wrong"), Entry(101)));
    socket->write(BuildRequest(mac, CONFIG_READ, QLatin1String(SimSite::DEMO_PASSWORD), Entry(105)));
    const QList<QByteArray> replies = ReadPackets(*socket, 1);
    ASSERT_EQ(replies.size(), 1);
    EXPECT_EQ(ParseReply(replies[0]).Entries.value(0).Id, 105); // the refused read left no trace
    EXPECT_EQ(site.Recorder().received(mac).size(), 2);
    EXPECT_EQ(site.Recorder().sent(mac).size(), 1);
}

TEST_F(SimNetworkTest, RecorderHoldsTheExactBytesBothWaysAndWritesJsonLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("record.jsonl"));
    ASSERT_TRUE(site.Recorder().openFile(path));
    Start();
    auto socket = Connect(1);
    const QByteArray request = BuildRequest(site.Unit(1).MacText(), CONFIG_READ, {}, Entry(0xF001));
    socket->write(request);
    const QList<QByteArray> replies = ReadPackets(*socket, 1);
    ASSERT_EQ(replies.size(), 1);

    const QList<SimRecord> received = site.Recorder().received(site.Unit(1).MacText());
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received[0].Bytes, request);
    EXPECT_EQ(received[0].Carrier, QStringLiteral("tcp"));
    ASSERT_TRUE(WaitUntil([&] { return site.Recorder().sent().size() == 1; }, 3000));
    EXPECT_EQ(site.Recorder().sent()[0].Bytes, replies[0]);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(first.value(QStringLiteral("dir")).toString(), QStringLiteral("rx"));
    EXPECT_EQ(QByteArray::fromHex(first.value(QStringLiteral("hex")).toString().toLatin1()), request);
}

// Each switch, seen from the tool's side of a TCP connection.
TEST_F(SimNetworkTest, MisbehaviourSwitchesShowOnTheWire) {
    struct Case {
        const char* Option;
        int ExpectPackets; // whole packets the tool can cut from the stream by their length fields
        int ExpectWrites;  // writes the unit makes
        int ExpectVerify;  // VerifyConfigPacketChecksum of the first packet, at its true length
        int ExpectPayload; // DecryptConfigPayload of the first packet
    };
    const Case cases[] = {
        {"", 2, 2, 1, 1},
        {"duplicate=1", 4, 4, 1, 1},
        {"corrupt-packet=1", 2, 2, 2, 1},
        {"corrupt-payload=1", 2, 2, 1, 0},
        // The tool, trusting the length, takes one byte of the next packet and finds no more.
        {"wrong-length=1", 1, 2, 0, 0},
        {"split=3,split-gap=5", 2, 6, 1, 1},
        {"coalesce=1", 2, 1, 1, 1},
        {"delay=30", 2, 2, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Option);
        site.Stop();
        site.Recorder().clear();
        SimMisbehaviourSettings settings;
        QString error;
        ASSERT_TRUE(settings.ApplyOptionText(QLatin1String(c.Option), &error)) << error.toStdString();
        site.SetMisbehaviourForAll(settings);
        site.SetMaxReplyBytesForAll(SimUnit::MIN_MAX_REPLY_BYTES); // keys 40 and 41 take a packet each
        Start();
        auto socket = Connect(0);
        socket->write(BuildRequest(site.Unit(0).MacText(), CONFIG_READ, {}, Entry(40) + Entry(41)));
        ASSERT_TRUE(WaitUntil([&] { return site.Recorder().sent().size() >= c.ExpectWrites; }, 3000));
        QByteArray written;
        for (const SimRecord& record : site.Recorder().sent())
            written += record.Bytes;
        EXPECT_EQ(site.Recorder().sent().size(), c.ExpectWrites);

        QByteArray raw;
        ASSERT_TRUE(WaitUntil(
            [&] {
                raw += socket->readAll();
                return raw.size() >= written.size();
            },
            3000));
        EXPECT_EQ(raw, written);
        QList<QByteArray> packets;
        for (qsizetype at = 0; raw.size() - at >= 17;) {
            const qsizetype length = ConfigEnvelopeClass::PayloadLength(raw.mid(at, 17)) + 22;
            if (raw.size() - at < length)
                break;
            packets.append(raw.mid(at, length));
            at += length;
        }
        EXPECT_EQ(packets.size(), c.ExpectPackets);
        // The first packet as the unit made it.
        const bool onePacketPerWrite = settings.SplitTcpWrites < 2 && !settings.CoalesceTcpReplies;
        const QByteArray first = onePacketPerWrite ? site.Recorder().sent().value(0).Bytes : packets.value(0);
        EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(first, first.size()), c.ExpectVerify);
        EXPECT_EQ(ConfigEnvelopeClass::DecryptConfigPayload(first), c.ExpectPayload);
    }
}

TEST_F(SimNetworkTest, DropAndStopAfterLeaveRequestsUnanswered) {
    SimMisbehaviourSettings settings;
    settings.StopAfterRequests = 2;
    site.SetMisbehaviourForAll(settings);
    Start();
    auto socket = Connect(0);
    const QString mac = site.Unit(0).MacText();
    for (int i = 0; i < 4; ++i)
        socket->write(BuildRequest(mac, CONFIG_READ, {}, Entry(101)));
    ASSERT_TRUE(WaitUntil([&] { return site.Recorder().received(mac).size() == 4; }, 3000));
    EXPECT_EQ(ReadPackets(*socket, 2).size(), 2);
    EXPECT_EQ(site.Recorder().sent(mac).size(), 2);

    // Dropping every reply: the unit still acts on what it hears.
    site.Stop();
    site.Recorder().clear();
    settings = {};
    settings.DropFraction = 1;
    site.SetMisbehaviourForAll(settings);
    Start();
    socket = Connect(0);
    socket->write(BuildRequest(mac, CONFIG_WRITE, {}, Entry(101, "Dropped")));
    ASSERT_TRUE(WaitUntil([&] { return site.Recorder().received(mac).size() == 1; }, 3000));
    EXPECT_TRUE(site.Recorder().sent(mac).isEmpty());
    EXPECT_EQ(site.Unit(0).KeyValue(101), QByteArray("Dropped"));
}

TEST(SimNetworkScanTest, FramesAreFoundInAByteStream) {
    ConfigEnvelopeClass envelope;
    const QByteArray good =
        envelope.BuildPacket(QStringLiteral("02-3C-A7-00-01-01"), CONFIG_READ, {}, Entry(101), 1300);
    QByteArray badChecksum = good;
    badChecksum[good.size() - 2] = static_cast<char>(badChecksum[good.size() - 2] ^ 1);
    QByteArray lying = good;
    lying[16] = static_cast<char>(0x70); // claims far more than it holds
    using Scan = SimNetwork::FrameScan;
    const struct {
        const char* Name;
        QByteArray Stream;
        Scan::Status Result;
        qsizetype Start;
    } cases[] = {
        {"nothing", {}, Scan::None, 0},
        {"noise", QByteArray("abc"), Scan::None, 0},
        {"a packet", good, Scan::Complete, 0},
        {"noise then a packet", QByteArray("xyz") + good, Scan::Complete, 3},
        {"half a packet", good.left(20), Scan::Incomplete, 0},
        {"a header cut short", good.left(5), Scan::Incomplete, 0},
        {"a damaged packet then a sound one", badChecksum + good, Scan::Complete, good.size()},
        {"a lying length then a sound packet", lying + good, Scan::Complete, good.size()},
        {"only a damaged packet", badChecksum, Scan::None, 0},
    };
    for (const auto& c : cases) {
        const Scan scan = SimNetwork::ScanForFrame(c.Stream);
        EXPECT_EQ(scan.Result, c.Result) << c.Name;
        if (scan.Result != Scan::None) {
            EXPECT_EQ(scan.Start, c.Start) << c.Name;
        }
        if (scan.Result == Scan::Complete) {
            EXPECT_EQ(c.Stream.mid(scan.Start, scan.Length), good) << c.Name;
        }
    }
}

TEST(SimMisbehaviourTest, DamageHelpersBreakExactlyOneCheck) {
    ConfigEnvelopeClass envelope;
    const QByteArray good =
        envelope.BuildPacket(QStringLiteral("02-3C-A7-00-01-01"), CONFIG_READ, {}, Entry(101), 1300);
    const QByteArray packet = SimMisbehaviour::WithCorruptPacketChecksum(good);
    EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()), 2);
    const QByteArray payload = SimMisbehaviour::WithCorruptPayloadChecksum(good);
    EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(payload, payload.size()), 1);
    EXPECT_EQ(ConfigEnvelopeClass::DecryptConfigPayload(payload), 0);
    const QByteArray length = SimMisbehaviour::WithWrongLength(good);
    EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(length, length.size()), 0);
    EXPECT_EQ(ConfigEnvelopeClass::PayloadLength(length), ConfigEnvelopeClass::PayloadLength(good) + 1);
    EXPECT_EQ(SimMisbehaviour::WithWrongLength(QByteArray("short")), QByteArray("short"));

    // Fractions between 0 and 1 drop about that share, the same way on every run.
    SimMisbehaviourSettings settings;
    settings.DropFraction = 0.3;
    SimMisbehaviour first(settings);
    SimMisbehaviour second(settings);
    int kept = 0;
    for (int i = 0; i < 1000; ++i) {
        const QList<QByteArray> a = first.ApplyToReplies({good});
        EXPECT_EQ(a, second.ApplyToReplies({good}));
        kept += static_cast<int>(a.size());
    }
    EXPECT_GT(kept, 600);
    EXPECT_LT(kept, 800);

    QString error;
    EXPECT_FALSE(settings.ApplyOptionText(QStringLiteral("drop=1.5"), &error));
    EXPECT_FALSE(settings.ApplyOptionText(QStringLiteral("explode=1"), &error));
    EXPECT_TRUE(settings.ApplyOptionText(QStringLiteral("split=4,stop-after=3"), &error));
    EXPECT_EQ(settings.SplitTcpWrites, 4);
    EXPECT_EQ(settings.StopAfterRequests, 3);
}

} // namespace
