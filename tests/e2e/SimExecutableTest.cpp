#include "core/protocol/ConfigEnvelopeClass.h"

#include <QProcess>
#include <QSet>
#include <QTest>
#include <QUdpSocket>
#include <csignal>
#include <gtest/gtest.h>

// Runs the simulator program as a technician would, finds its units with a discovery broadcast on
// loopback and stops it with SIGTERM.
TEST(SimExecutable, AnswersDiscoveryOverLoopbackAndStopsCleanly) {
    QUdpSocket workstation;
    ASSERT_TRUE(workstation.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    const quint16 workstationPort = workstation.localPort();
    const quint16 unitPort = 40000 + static_cast<quint16>(QCoreApplication::applicationPid() % 10000);

    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QStringLiteral(UNITSCOPE_BINARY_DIR "/tools/sim/unitscope-sim"),
              {QStringLiteral("--unit-port"), QString::number(unitPort), QStringLiteral("--workstation-port"),
               QString::number(workstationPort), QStringLiteral("--no-tcp"), QStringLiteral("--no-serial")});
    ASSERT_TRUE(sim.waitForStarted(10000));
    QByteArray output;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            output += sim.readAll();
            return output.contains("Ready.");
        },
        20000))
        << output.constData();
    EXPECT_TRUE(output.contains("02-3C-A7-00-01-01")) << output.constData();

    ConfigEnvelopeClass envelope;
    const QByteArray discovery = envelope.BuildDiscoveryRequest(QString());
    ASSERT_EQ(workstation.writeDatagram(discovery, QHostAddress(QStringLiteral("127.255.255.255")), unitPort),
              discovery.size());

    QSet<QString> senders;
    QSet<QString> macs;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            while (workstation.hasPendingDatagrams()) {
                QHostAddress sender;
                QByteArray reply(static_cast<int>(workstation.pendingDatagramSize()), '\0');
                workstation.readDatagram(reply.data(), reply.size(), &sender);
                if (ConfigEnvelopeClass::VerifyConfigPacketChecksum(reply, reply.size()) == 1 &&
                    ConfigEnvelopeClass::PacketType(reply) == CONFIG_RESPONSE) {
                    senders.insert(sender.toString());
                    macs.insert(ConfigEnvelopeClass::PacketMacText(reply));
                }
            }
            return macs.size() == 3;
        },
        10000));
    // Each unit answers from an address of its own, like units on a real network.
    EXPECT_EQ(senders.size(), 3);
    EXPECT_TRUE(macs.contains(QStringLiteral("02-3C-A7-00-03-02")));

    ::kill(static_cast<pid_t>(sim.processId()), SIGTERM);
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
}
