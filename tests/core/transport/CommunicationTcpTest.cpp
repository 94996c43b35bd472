#include "core/app/DebugLog.h"
#include "core/transport/CommunicationClass.h"
#include "core/transport/TransportTestPackets.h"
#include "support/TempHome.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString LOCALHOST = QStringLiteral("127.0.0.1");

// A unit reached over TCP: the test's server end of the connection.
class TcpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Server.listen(QHostAddress::LocalHost));
        Packets = std::make_unique<QSignalSpy>(&Comm, &CommunicationClass::configPacketReceived);
    }

    void ConnectUnit() {
        QSignalSpy connected(&Comm, &CommunicationClass::tcpConnected);
        Comm.Connect(LOCALHOST, Server.serverPort());
        ASSERT_TRUE(connected.wait());
        ASSERT_TRUE(QTest::qWaitFor([&] { return Server.hasPendingConnections(); }));
        Unit = Server.nextPendingConnection();
        ASSERT_NE(Unit, nullptr);
    }

    // Writes from the unit's end and waits until the transport has read it.
    void UnitWrites(const QByteArray& bytes) {
        const int readsBefore = TcpReads();
        Unit->write(bytes);
        ASSERT_TRUE(QTest::qWaitFor([&] { return TcpReads() > readsBefore; }));
    }

    int TcpReads() const {
        int reads = 0;
        for (const QString& line : Log.lines())
            reads += line.startsWith(QStringLiteral("TCP Read. Length: ")) ? 1 : 0;
        return reads;
    }

    QList<QByteArray> ReceivedPackets() const {
        QList<QByteArray> packets;
        for (const QList<QVariant>& args : *Packets)
            packets << args.at(0).toByteArray();
        return packets;
    }

    LogCapture Log;
    QTcpServer Server;
    CommunicationClass Comm;
    QTcpSocket* Unit = nullptr;
    std::unique_ptr<QSignalSpy> Packets;
};

const QByteArray P1 = MakeConfigPacket(0x04, QByteArray::fromHex("0001000441424344"), 3);
const QByteArray P2 = MakeConfigPacket(0x04, QByteArray::fromHex("006500024F77"), 4);

} // namespace

TEST_F(TcpTest, ConnectsAndLogsTheWay) {
    ConnectUnit();
    EXPECT_TRUE(Log.contains(
        QStringLiteral("TCP Connecting. Port: %1. Host: 127.0.0.1. SourceIP: ").arg(Server.serverPort())));
    EXPECT_TRUE(Log.contains(QStringLiteral("TCP Connected")));
    EXPECT_TRUE(Comm.IsRemoteConnectionOpen());
    EXPECT_TRUE(Comm.IsTcpConnected());
}

TEST_F(TcpTest, TwoPacketsInOneWriteAreTwoPackets) {
    ConnectUnit();
    Unit->write(P1 + P2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Packets->size() >= 2; }));
    EXPECT_EQ(ReceivedPackets(), (QList<QByteArray>{P1, P2}));
    for (const QList<QVariant>& args : *Packets) {
        EXPECT_EQ(args.at(1).toString(), LOCALHOST);
        EXPECT_EQ(args.at(2).toInt(), CommunicationClass::SOCKET_TCP);
    }
    const QString firstData = QStringLiteral("TCP Data: ") + BytesToHexText(P1);
    EXPECT_TRUE(std::any_of(Log.lines().begin(), Log.lines().end(),
                            [&](const QString& line) { return line.startsWith(firstData); }));
}

TEST_F(TcpTest, OnePacketInThreeWritesIsOnePacket) {
    ConnectUnit();
    UnitWrites(P1.left(3));
    UnitWrites(P1.mid(3, 20));
    EXPECT_EQ(Packets->size(), 0);
    UnitWrites(P1.mid(23));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Packets->size() >= 1; }));
    EXPECT_EQ(ReceivedPackets(), QList<QByteArray>{P1});
    EXPECT_TRUE(Log.contains(
        QStringLiteral("TCP Read. Length: 3. Port: %1. RemoteIP: 127.0.0.1").arg(Server.serverPort())));
    EXPECT_TRUE(Log.contains(QStringLiteral("TCP Data: ") + BytesToHexText(P1.left(3))));
}

TEST_F(TcpTest, BytesBeforeAPacketAreSkippedAndLogged) {
    ConnectUnit();
    Unit->write(QByteArray::fromHex("0102") + P1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Packets->size() >= 1; }));
    EXPECT_EQ(ReceivedPackets(), QList<QByteArray>{P1});
    EXPECT_TRUE(Log.contains(QStringLiteral("TCP Skipped. Length: 2. Data: 01 02 ")));
}

TEST_F(TcpTest, APartialPacketDoesNotOutliveItsConnection) {
    ConnectUnit();
    UnitWrites(P1.left(30));
    QSignalSpy disconnected(&Comm, &CommunicationClass::tcpDisconnected);
    Unit->disconnectFromHost();
    ASSERT_TRUE(disconnected.wait());
    EXPECT_TRUE(Log.contains(QStringLiteral("TCP Disconnected")));
    EXPECT_FALSE(Comm.IsRemoteConnectionOpen());
    // The peer closing is a disconnect, not an error.
    for (const QString& line : Log.lines())
        EXPECT_FALSE(line.startsWith(QStringLiteral("TCP Error: "))) << line.toStdString();

    ConnectUnit();
    Unit->write(P2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Packets->size() >= 1; }));
    EXPECT_EQ(ReceivedPackets(), QList<QByteArray>{P2});
}

TEST_F(TcpTest, SendsOnTheConnectionAndDisconnects) {
    ConnectUnit();
    const QByteArray request = MakeConfigPacket(0x02, QByteArray::fromHex("F0000000"));
    EXPECT_TRUE(Comm.SendConfigPacket(request, CommunicationClass::SOCKET_TCP));
    EXPECT_TRUE(Log.contains(
        QStringLiteral("TCP TX. Length: %1. Data: %2").arg(request.size()).arg(BytesToHexText(request))));
    QByteArray heard;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        heard += Unit->readAll();
        return heard.size() >= request.size();
    }));
    EXPECT_EQ(heard, request);

    QSignalSpy disconnected(&Comm, &CommunicationClass::tcpDisconnected);
    Comm.Disconnect();
    ASSERT_TRUE(disconnected.size() == 1 || disconnected.wait());
    EXPECT_FALSE(Comm.IsRemoteConnectionOpen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Unit->state() == QAbstractSocket::UnconnectedState; }));

    EXPECT_FALSE(Comm.SendTcp(request));
    EXPECT_TRUE(Log.contains(QStringLiteral("TCP Send ERROR")));
}

TEST_F(TcpTest, ARefusedConnectionIsAnError) {
    const quint16 port = Server.serverPort();
    Server.close(); // nobody listens there any more
    QSignalSpy errors(&Comm, &CommunicationClass::tcpError);
    QSignalSpy disconnected(&Comm, &CommunicationClass::tcpDisconnected);
    Comm.Connect(LOCALHOST, port);
    ASSERT_TRUE(errors.wait());
    EXPECT_EQ(errors.at(0).at(0).toInt(), static_cast<int>(QAbstractSocket::ConnectionRefusedError));
    EXPECT_FALSE(errors.at(0).at(1).toString().isEmpty());
    EXPECT_TRUE(
        Log.contains(QStringLiteral("TCP Error: %1").arg(int(QAbstractSocket::ConnectionRefusedError))));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Comm.IsRemoteConnectionOpen(); }));
    EXPECT_EQ(disconnected.size(), 0);
}

TEST_F(TcpTest, DisconnectWhileConnectingIsReported) {
    // 192.0.2.1 (TEST-NET-1) never answers, so the connection stays pending.
    QSignalSpy disconnected(&Comm, &CommunicationClass::tcpDisconnected);
    Comm.Connect(QStringLiteral("192.0.2.1"), 9);
    EXPECT_TRUE(Comm.IsRemoteConnectionOpen());
    Comm.Disconnect();
    EXPECT_EQ(disconnected.size(), 1);
    EXPECT_FALSE(Comm.IsRemoteConnectionOpen());
}
