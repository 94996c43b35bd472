#include "core/app/DebugLog.h"
#include "core/transport/AddressText.h"
#include "core/transport/AsOrdinaryUser.h"
#include "core/transport/CommunicationClass.h"
#include "core/transport/TransportTestPackets.h"
#include "support/TempHome.h"

#include <QFile>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

const QHostAddress LOOPBACK_BROADCAST(QStringLiteral("127.255.255.255"));
const CommunicationClass::AdapterChoice LOOPBACK_ADAPTER{QStringLiteral("lo"), QStringLiteral("127.0.0.1"),
                                                         0};

// A unit on loopback: listens on 0.0.0.0 at the units' port, like a unit on a LAN that hears
// broadcasts, and answers from that port.
class UdpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Unit.bind(QHostAddress::AnyIPv4, 0,
                              QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint));
        CommunicationClass::UdpSettings settings;
        settings.LocalPort = 0;
        settings.RemotePort = Unit.localPort();
        settings.BroadcastAddress = LOOPBACK_BROADCAST.toString();
        Comm = std::make_unique<CommunicationClass>(settings);
    }

    QNetworkDatagram UnitReceive() {
        QNetworkDatagram datagram;
        const bool ok = QTest::qWaitFor([&] {
            if (!Unit.hasPendingDatagrams())
                return false;
            datagram = Unit.receiveDatagram();
            return true;
        });
        EXPECT_TRUE(ok) << "the unit heard nothing";
        return datagram;
    }

    // Packets handed on so far, as their bytes.
    static QList<QByteArray> Packets(const QSignalSpy& spy) {
        QList<QByteArray> packets;
        for (const QList<QVariant>& args : spy)
            packets << args.at(0).toByteArray();
        return packets;
    }

    LogCapture Log;
    QUdpSocket Unit;
    std::unique_ptr<CommunicationClass> Comm;
};

} // namespace

TEST_F(UdpTest, BroadcastRequestIsAnsweredByUnicastAndByBroadcast) {
    ASSERT_EQ(Comm->Bind(LOOPBACK_ADAPTER), 1);
    QSignalSpy packets(Comm.get(), &CommunicationClass::configPacketReceived);

    const QByteArray request = MakeConfigPacket(0x02, QByteArray::fromHex("00010000"));
    ASSERT_TRUE(Comm->SendUdp(request));
    EXPECT_TRUE(Log.contains(QStringLiteral("Broadcast UDP TX. Length: %1. Data: %2")
                                 .arg(request.size())
                                 .arg(BytesToHexText(request))));

    const QNetworkDatagram heard = UnitReceive();
    EXPECT_EQ(heard.data(), request);
    EXPECT_EQ(HostAddressText(heard.senderAddress()), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(heard.senderPort(), Comm->BoundPort());

    const QByteArray unicastReply = MakeConfigPacket(0x04, "unicast");
    const QByteArray broadcastReply = MakeConfigPacket(0x04, "broadcast");
    Unit.writeDatagram(unicastReply, heard.senderAddress(), heard.senderPort());
    Unit.writeDatagram(broadcastReply, LOOPBACK_BROADCAST, heard.senderPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return packets.size() >= 2; }));

    // A last datagram through each path shows that neither reply came twice.
    const QByteArray marker = MakeConfigPacket(0x04, "marker");
    Unit.writeDatagram(marker, LOOPBACK_BROADCAST, heard.senderPort());
    Unit.writeDatagram(marker, heard.senderAddress(), heard.senderPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return packets.size() >= 4; }));
    QTest::qWait(0);
    QList<QByteArray> got = Packets(packets);
    std::sort(got.begin(), got.end());
    QList<QByteArray> expected = {unicastReply, broadcastReply, marker, marker};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);

    for (const QList<QVariant>& args : packets) {
        EXPECT_EQ(args.at(1).toString(), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(args.at(2).toInt(), CommunicationClass::SOCKET_UDP);
    }
    EXPECT_TRUE(
        Log.contains(QStringLiteral("UDP Read. RemoteIP: 127.0.0.1. Length: %1").arg(unicastReply.size())));
    EXPECT_TRUE(Log.contains(QStringLiteral("UDP Data: ") + BytesToHexText(broadcastReply)));
}

TEST_F(UdpTest, OnlyConfigPacketsAreHandedOnAndNotWhileTcpIsOpen) {
    ASSERT_EQ(Comm->Bind(LOOPBACK_ADAPTER), 1);
    QSignalSpy packets(Comm.get(), &CommunicationClass::configPacketReceived);
    const QHostAddress us(QStringLiteral("127.0.0.1"));

    // Not a config packet: logged, not handed on.
    Unit.writeDatagram(QByteArray::fromHex("01020304"), us, Comm->BoundPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Log.contains(QStringLiteral("UDP Data: 01 02 03 04 ")); }));
    EXPECT_EQ(packets.size(), 0);

    // While a unit is reached over TCP, UDP replies are logged and otherwise ignored.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    Comm->Connect(QStringLiteral("127.0.0.1"), server.serverPort());
    EXPECT_TRUE(Comm->IsRemoteConnectionOpen());
    QSignalSpy connected(Comm.get(), &CommunicationClass::tcpConnected);
    ASSERT_TRUE(connected.wait());
    const QByteArray reply = MakeConfigPacket(0x04, "during tcp");
    Unit.writeDatagram(reply, us, Comm->BoundPort());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Log.contains(QStringLiteral("UDP Data: ") + BytesToHexText(reply)); }));
    EXPECT_EQ(packets.size(), 0);

    // After the disconnect they are handed on again.
    QSignalSpy disconnected(Comm.get(), &CommunicationClass::tcpDisconnected);
    Comm->Disconnect();
    ASSERT_TRUE(disconnected.size() == 1 || disconnected.wait());
    Unit.writeDatagram(reply, us, Comm->BoundPort());
    ASSERT_TRUE(packets.wait());
    EXPECT_EQ(packets.at(0).at(0).toByteArray(), reply);
}

TEST_F(UdpTest, OurOwnBroadcastIsNotTakenForAReply) {
    // Units listening on our own port: our broadcast loops back to our own socket.
    QUdpSocket probe;
    ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
    const quint16 port = probe.localPort();
    probe.close();
    CommunicationClass::UdpSettings settings;
    settings.LocalPort = port;
    settings.RemotePort = port;
    settings.BroadcastAddress = LOOPBACK_BROADCAST.toString();
    CommunicationClass comm(settings);
    ASSERT_EQ(comm.Bind(LOOPBACK_ADAPTER), 1);
    QSignalSpy packets(&comm, &CommunicationClass::configPacketReceived);

    ASSERT_TRUE(comm.SendUdp(MakeConfigPacket(0x02, "request")));
    const QByteArray reply = MakeConfigPacket(0x04, "reply");
    Unit.writeDatagram(reply, LOOPBACK_BROADCAST, port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return packets.size() >= 1; }));
    QTest::qWait(0);
    ASSERT_EQ(packets.size(), 1);
    EXPECT_EQ(packets.at(0).at(0).toByteArray(), reply);
}

TEST_F(UdpTest, TheSameAdapterDoesNotRebindAnotherOneDoes) {
    QSignalSpy bound(Comm.get(), &CommunicationClass::udpBound);
    ASSERT_EQ(Comm->Bind(LOOPBACK_ADAPTER), 1);
    EXPECT_TRUE(
        Log.contains(QStringLiteral("Select Ethernet adapter: lo. IP: 127.0.0.1. ComboBox->ItemIndex: 0")));
    EXPECT_TRUE(Log.contains(QStringLiteral("Init UDP Server. IP: 127.0.0.1")));
    EXPECT_EQ(Comm->BoundIP(), QStringLiteral("127.0.0.1"));

    EXPECT_EQ(Comm->Bind(LOOPBACK_ADAPTER), 0);
    EXPECT_EQ(Comm->Bind(), 0);
    EXPECT_EQ(Log.count(QStringLiteral("Rebinding UDPserver")), 0);

    const CommunicationClass::AdapterChoice other{QStringLiteral("lo second"), QStringLiteral("127.0.0.2"),
                                                  1};
    EXPECT_EQ(Comm->Bind(other), 1);
    EXPECT_EQ(Log.count(QStringLiteral("Rebinding UDPserver")), 1);
    EXPECT_TRUE(Log.contains(QStringLiteral("Init UDP Server. IP: 127.0.0.2")));
    EXPECT_EQ(Comm->BoundIP(), QStringLiteral("127.0.0.2"));
    EXPECT_EQ(Comm->AdapterIP(), QStringLiteral("127.0.0.2"));
    EXPECT_EQ(bound.size(), 2);

    // The new binding is the one replies reach.
    QSignalSpy packets(Comm.get(), &CommunicationClass::configPacketReceived);
    const QByteArray reply = MakeConfigPacket(0x04, "to second");
    Unit.writeDatagram(reply, QHostAddress(QStringLiteral("127.0.0.2")), Comm->BoundPort());
    ASSERT_TRUE(packets.wait());
    EXPECT_EQ(packets.at(0).at(1).toString(), QStringLiteral("127.0.0.1"));
}

TEST_F(UdpTest, WithoutAdapterTheCurrentLocalIPIsBound) {
    EXPECT_EQ(Comm->Bind(), 1);
    EXPECT_EQ(Comm->BoundIP(), CommunicationClass::CurrentLocalIP());
    EXPECT_TRUE(Comm->IsUdpBound());
    EXPECT_TRUE(Log.contains(QStringLiteral("Init UDP Server. IP: ") + CommunicationClass::CurrentLocalIP()));
}

TEST_F(UdpTest, AFailedBindIsReportedAndTcpStillWorks) {
    QSignalSpy failed(Comm.get(), &CommunicationClass::udpBindFailed);
    // TEST-NET-1: an address no interface of this machine has.
    const CommunicationClass::AdapterChoice foreign{QStringLiteral("gone"), QStringLiteral("192.0.2.1"), 3};
    EXPECT_EQ(Comm->Bind(foreign), -1);
    ASSERT_EQ(failed.size(), 1);
    const QString text = failed.at(0).at(0).toString();
    EXPECT_TRUE(text.contains(QStringLiteral("192.0.2.1"))) << text.toStdString();
    EXPECT_TRUE(Log.contains(QStringLiteral("UDP Bind ERROR: ") + text));
    EXPECT_FALSE(Comm->IsUdpBound());
    EXPECT_FALSE(Comm->SendUdp(MakeConfigPacket(0x02, "x")));

    // Choosing the same adapter again tries again: there is no binding to keep.
    EXPECT_EQ(Comm->Bind(foreign), -1);
    EXPECT_EQ(failed.size(), 2);

    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QSignalSpy connected(Comm.get(), &CommunicationClass::tcpConnected);
    Comm->Connect(QStringLiteral("127.0.0.1"), server.serverPort());
    EXPECT_TRUE(connected.wait());
}

TEST_F(UdpTest, APrivilegedPortExplainsTheFix) {
    if (geteuid() == 0) {
        const int status = RerunAsOrdinaryUser("UdpTest.APrivilegedPortExplainsTheFix");
        if (status < 0)
            GTEST_SKIP() << "cannot run the tests as an ordinary user";
        EXPECT_EQ(status, 0);
        return;
    }
    CommunicationClass comm; // the real ports 67 and 68
    QSignalSpy failed(&comm, &CommunicationClass::udpBindFailed);
    const int result = comm.Bind(LOOPBACK_ADAPTER);
    if (result == 1)
        GTEST_SKIP() << "unprivileged users may bind port 67 here";
    EXPECT_EQ(result, -1);
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed.at(0).at(0).toString().contains(QStringLiteral("cap_net_bind_service")));
}

TEST(AddressTextTest, IPv4SendersAreDottedText) {
    const QList<std::pair<QString, QString>> cases = {
        {QStringLiteral("::ffff:10.1.2.3"), QStringLiteral("10.1.2.3")},
        {QStringLiteral("192.168.0.7"), QStringLiteral("192.168.0.7")},
        {QStringLiteral("::1"), QStringLiteral("::1")},
        {QStringLiteral("fe80::1"), QStringLiteral("fe80::1")},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(HostAddressText(QHostAddress(in)), out) << in.toStdString();
}

// A whole site answers a discovery at the same moment. Replies that arrive before the event loop
// gets to read them must wait in the socket, not be dropped by a too small kernel buffer.
TEST_F(UdpTest, ABurstOfRepliesFromALargeSiteIsNotDropped) {
    QFile limit(QStringLiteral("/proc/sys/net/core/rmem_max"));
    if (!limit.open(QIODevice::ReadOnly) || limit.readAll().trimmed().toLongLong() < 2 * 1024 * 1024)
        GTEST_SKIP() << "net.core.rmem_max is below 2 MiB here, so no socket may hold a large site's replies";
    ASSERT_EQ(Comm->Bind(LOOPBACK_ADAPTER), 1);
    DebugLog::instance().setCountdown(0); // measure the socket, not the log file
    QSignalSpy packets(Comm.get(), &CommunicationClass::configPacketReceived);
    const QHostAddress us(QStringLiteral("127.0.0.1"));
    constexpr int REPLIES = 1000;
    const QByteArray reply =
        MakeConfigPacket(0x04, "a discovery reply of realistic size, owner text included");
    for (int i = 0; i < REPLIES; ++i)
        ASSERT_EQ(Unit.writeDatagram(reply, us, Comm->BoundPort()), reply.size());
    EXPECT_TRUE(QTest::qWaitFor([&] { return packets.size() == REPLIES; }, 10000)) << packets.size();
}
