#pragma once

#include "cli/CliRunner.h"
#include "core/protocol/ByteReader.h"
#include "core/protocol/ConfigEnvelopeClass.h"
#include "sim/SimSite.h"
#include "support/TempHome.h"

#include <QAbstractEventDispatcher>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

// Shared by the command-line tests: the demo site started in this process on free ports, and
// two ways to run a command against it (the CliRunner in process, or the real unitscope-cli
// program), both while this process's event loop keeps the simulated units answering.

template <typename Condition> bool PumpUntil(Condition condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QTimer tick; // wakes the loop now and then so the deadline is seen even when nothing happens
    tick.start(20);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QAbstractEventDispatcher::instance()->processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

struct CliResult {
    int ExitCode = -1;
    QByteArray Out;
    QByteArray Err;

    // The --json output as a list of rows (member name to text).
    QList<QJsonObject> Rows() const {
        QList<QJsonObject> rows;
        const QJsonDocument document = QJsonDocument::fromJson(Out);
        for (const QJsonValue& value : document.array())
            rows.append(value.toObject());
        return rows;
    }
};

// One key entry of a request the simulator received.
struct SentEntry {
    quint16 Id = 0;
    QByteArray Value;
};

struct SentPacket {
    int Type = -1;
    QString Mac;
    QList<SentEntry> Entries; // the password entry included
};

inline SentPacket DecodeRequest(const QByteArray& packet) {
    SentPacket decoded;
    decoded.Type = ConfigEnvelopeClass::PacketType(packet);
    decoded.Mac = ConfigEnvelopeClass::PacketMacText(packet);
    const int length = ConfigEnvelopeClass::PayloadLength(packet);
    if (length < CONFIG_MIN_PAYLOAD_LENGTH)
        return decoded;
    ByteReader reader(packet.mid(CONFIG_ENTRIES_OFFSET, length - CONFIG_MIN_PAYLOAD_LENGTH));
    while (!reader.atEnd()) {
        SentEntry entry;
        entry.Id = reader.readU16BE();
        entry.Value = reader.readBytes(reader.readU16BE());
        if (reader.hasError())
            break;
        decoded.Entries.append(entry);
    }
    return decoded;
}

class CliSiteTest : public ::testing::Test {
protected:
    void SetUp() override {
        Site.LoadDemo();
        Options.UnitUdpPort = 0;
        Options.TcpPort = 0;
        Options.WorkstationPort = 0; // answer the port the request came from
        QString error;
        ASSERT_TRUE(Site.Start(Options, &error)) << error.toStdString();
        Site.Recorder().clear();
    }
    void TearDown() override { Site.Stop(); }

    QString WorkDir() const { return Home.path() + QStringLiteral("/work"); }

    // Options for UDP on loopback: a free local port, the units' port, loopback broadcast.
    QStringList Udp(const QString& timeout = QStringLiteral("2")) const {
        return {QStringLiteral("--adapter"),         QStringLiteral("127.0.0.1"),
                QStringLiteral("--broadcast"),       QStringLiteral("127.255.255.255"),
                QStringLiteral("--udp-local-port"),  QStringLiteral("0"),
                QStringLiteral("--udp-remote-port"), QString::number(Site.UnitUdpPort()),
                QStringLiteral("--timeout"),         timeout,
                QStringLiteral("--work-dir"),        WorkDir()};
    }
    QStringList Tcp(int unit, const QString& timeout = QStringLiteral("2")) const {
        return {QStringLiteral("--tcp"),
                Site.UnitAddress(unit).toString() + QLatin1Char(':') +
                    QString::number(Site.UnitTcpPort(unit)),
                QStringLiteral("--timeout"),
                timeout,
                QStringLiteral("--work-dir"),
                WorkDir()};
    }
    QString Mac(int unit) const { return Site.Unit(unit).MacText(); }

    CliResult RunInProcess(const QStringList& arguments) {
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        CliRunner runner(out, err);
        CliResult result;
        result.ExitCode = runner.Run(QStringList{QStringLiteral("unitscope-cli")} + arguments);
        result.Out = out.data();
        result.Err = err.data();
        return result;
    }

    // The real program, its folders in the test's home; the site keeps answering meanwhile.
    CliResult RunProgram(const QStringList& arguments) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), Home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), Home.path() + QStringLiteral("/.local/share"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Home.path() + QStringLiteral("/.config"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(UNITSCOPE_BINARY_DIR "/src/cli/unitscope-cli"), arguments);
        CliResult result;
        if (!program.waitForStarted(10000))
            return result;
        const bool finished = PumpUntil([&] { return program.state() == QProcess::NotRunning; }, 60000);
        if (!finished) {
            program.kill();
            program.waitForFinished();
            return result;
        }
        result.ExitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        result.Out = program.readAllStandardOutput();
        result.Err = program.readAllStandardError();
        return result;
    }

    // Requests addressed to the unit (by its MAC) that it received, decoded, in order.
    QList<SentPacket> Received(const QString& mac) {
        QList<SentPacket> packets;
        for (const SimRecord& record : Site.Recorder().received(mac)) {
            const SentPacket packet = DecodeRequest(record.Bytes);
            if (packet.Mac == mac)
                packets.append(packet);
        }
        return packets;
    }
    QList<SentPacket> Received(int unit) { return Received(Mac(unit)); }
    QList<SentPacket> Writes(const QString& mac) {
        QList<SentPacket> writes;
        for (const SentPacket& packet : Received(mac))
            if (packet.Type == CONFIG_WRITE)
                writes.append(packet);
        return writes;
    }
    QList<SentPacket> Writes(int unit) { return Writes(Mac(unit)); }

    TempHome Home;
    SimSite Site;
    SimNetworkOptions Options;
};
