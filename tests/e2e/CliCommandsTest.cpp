// The command-line front end run in process against the demo site: what each command puts on the
// wire, that lists are followed to their end, and how failures end a run.
#include "CliTestSupport.h"
#include "cli/CliSession.h"
#include "sim/SimSerialDevice.h"

#include <QFile>

namespace {

using CommandsTest = CliSiteTest;

constexpr int GATEWAY_UNIT = 1; // the demo unit with a wireless network

int CountRequestsFor(const QList<SentPacket>& packets, quint16 key) {
    int count = 0;
    for (const SentPacket& packet : packets)
        for (const SentEntry& entry : packet.Entries)
            if (entry.Id == key)
                ++count;
    return count;
}

} // namespace

TEST_F(CommandsTest, ListsArePagedToTheEnd) {
    const SimUnit& unit = Site.Unit(GATEWAY_UNIT);
    struct Case {
        const char* Command;
        quint16 PageKey;
        qsizetype Rows;
        int MaxReplyBytes; // small replies make a paged list take several pages
    };
    const Case cases[] = {
        {"eventlog", 0x00DD, unit.Logs.Events.size(), 300},
        {"devices", 0x1023, unit.Radio->Devices.size(), 300},
        {"zones", 0x1034, unit.Radio->Zones.size(), SimUnit::DEFAULT_MAX_REPLY_BYTES}, // not paged
        {"arp", 0x00E2, unit.Logs.Arp.size(), 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Command);
        Site.SetMaxReplyBytesForAll(c.MaxReplyBytes);
        Site.Recorder().clear();
        const CliResult result = RunInProcess(
            Udp() + QStringList{QStringLiteral("--json"), QLatin1String(c.Command), Mac(GATEWAY_UNIT)});
        ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();
        EXPECT_EQ(result.Rows().size(), c.Rows);
        // Zones come in one reply; the other lists needed more than one page.
        const int pages = CountRequestsFor(Received(GATEWAY_UNIT), c.PageKey);
        if (c.PageKey == 0x1034)
            EXPECT_EQ(pages, 1);
        else
            EXPECT_GT(pages, 1);
    }
}

TEST_F(CommandsTest, DebugLogDownloadAppendsEveryChunkToTheFile) {
    Site.SetMaxReplyBytesForAll(300);
    const CliResult result =
        RunInProcess(Udp() + QStringList{QStringLiteral("--json"), QStringLiteral("debuglog"), Mac(0)});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();
    ASSERT_EQ(result.Rows().size(), 1);
    const QString path = result.Rows().first().value(QStringLiteral("File")).toString();
    EXPECT_EQ(path, WorkDir() + QStringLiteral("/UnitDebug_") + Mac(0) + QStringLiteral(".log"));

    // The unit ends its lines with LF CR; the file gets LF only.
    QByteArray expected = Site.Unit(0).Logs.DebugLog;
    expected.replace("\n\r", "\n");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().endsWith(expected));
    EXPECT_EQ(result.Rows().first().value(QStringLiteral("Bytes")).toString(),
              QString::number(expected.size()));
}

TEST_F(CommandsTest, CommandsSendWhatTheUnitWindowSends) {
    struct Case {
        QStringList Arguments;
        QList<QByteArray> WriteEntries; // each write packet's entries, hexadecimal
    };
    const QByteArray newMac = QByteArrayLiteral("02-3C-A7-00-01-09");
    const QList<Case> cases = {
        {{QStringLiteral("reboot")}, {"A0010000"}},
        {{QStringLiteral("network-reset")}, {"A0070000"}},
        {{QStringLiteral("find-repeater")}, {"A0070000", "A0080000"}},
        {{QStringLiteral("toggle-output-2")}, {"A00A0000"}},
        {{QStringLiteral("ack-input"), QStringLiteral("2")}, {"00A80001FF"}},
        {{QStringLiteral("set-mac"), QStringLiteral("02-3c-a7-00-01-09")}, {"00050011" + newMac.toHex()}},
        // The defaults go to the editors; the unit gets the password only.
        {{QStringLiteral("contact-id-defaults")}, {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        Site.Recorder().clear();
        const QString mac = Mac(0);
        const CliResult result =
            RunInProcess(Udp() + QStringList{QStringLiteral("command"), mac} + c.Arguments);
        ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();
        const QList<SentPacket> writes = Writes(mac);
        ASSERT_EQ(writes.size(), c.WriteEntries.size());
        for (qsizetype i = 0; i < writes.size(); ++i) {
            QByteArray entries;
            for (const SentEntry& entry : writes[i].Entries)
                entries += QByteArray(1, char(entry.Id >> 8)) + char(entry.Id & 0xFF) +
                           char(entry.Value.size() >> 8) + char(entry.Value.size() & 0xFF) + entry.Value;
            EXPECT_EQ(entries.toHex().toUpper(), c.WriteEntries[i].toUpper());
        }
        if (c.Arguments.first() == QLatin1String("set-mac")) {
            EXPECT_EQ(Mac(0), QString::fromLatin1(newMac));
            Site.Unit(0).SetMac(QByteArray::fromHex("023CA7000101"));
        }
    }
}

TEST_F(CommandsTest, ContactIdDefaultsPrintTheEditorTexts) {
    const CliResult result =
        RunInProcess(Udp() + QStringList{QStringLiteral("--json"), QStringLiteral("command"), Mac(0),
                                         QStringLiteral("contact-id-defaults")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();
    QMap<QString, QString> texts;
    for (const QJsonObject& row : result.Rows())
        texts.insert(row.value(QStringLiteral("Key")).toString(),
                     row.value(QStringLiteral("New Value")).toString());
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.value(QStringLiteral("4608")), QStringLiteral("11*,---,---,---,---")); // 0x1200
    EXPECT_EQ(texts.value(QStringLiteral("4617")), QStringLiteral("15*,16*,10*,14*,---")); // 0x1209
}

TEST_F(CommandsTest, ARefusedValueSendsNothingAndNamesTheKeyAndValue) {
    struct Case {
        QString Argument;
        QString KeyText;
        QString Value;
    };
    const QList<Case> cases = {
        {QStringLiteral("NTP Server=10.1.2.300"), QStringLiteral("key 7"), QStringLiteral("10.1.2.300")},
        {QStringLiteral("Use DHCP=perhaps"), QStringLiteral("key 4"), QStringLiteral("perhaps")},
        {QStringLiteral("Timezone=+99"), QStringLiteral("key 8"), QStringLiteral("+99")},
        {QStringLiteral("MAC Address=00-11-22-33-44-55"), QStringLiteral("key 5"),
         QStringLiteral("00-11-22-33-44-55")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Argument.toStdString());
        Site.Recorder().clear();
        const CliResult result = RunInProcess(
            Udp() + QStringList{QStringLiteral("set"), Mac(0), QStringLiteral("Use IP=Yes"), c.Argument});
        EXPECT_EQ(result.ExitCode, 2);
        EXPECT_TRUE(result.Out.isEmpty());
        const QString err = QString::fromUtf8(result.Err);
        EXPECT_TRUE(err.contains(c.KeyText) && err.contains(QLatin1Char('"') + c.Value + QLatin1Char('"')))
            << err.toStdString();
        EXPECT_TRUE(Writes(0).isEmpty());
    }
}

TEST_F(CommandsTest, SetSpreadsInputKeysUnderTheirSelectors) {
    const CliResult result =
        RunInProcess(Udp() + QStringList{QStringLiteral("--json"), QStringLiteral("set"), Mac(0),
                                         QStringLiteral("INPUT/2/Delayed (sec)=12"),
                                         QStringLiteral("INPUT/1/Description=Front door")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();
    const QList<SentPacket> writes = Writes(0);
    ASSERT_EQ(writes.size(), 1);
    // Input 1's keys came first from the unit, so its change goes first, each under its selector.
    const QList<SentEntry>& entries = writes.first().Entries;
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0].Id, 0x0096);
    EXPECT_EQ(entries[0].Value, QByteArray::fromHex("0001") + "1");
    EXPECT_EQ(entries[1].Id, 151);
    EXPECT_EQ(entries[1].Value, QByteArray("Front door"));
    EXPECT_EQ(entries[2].Id, 0x0096);
    EXPECT_EQ(entries[2].Value, QByteArray::fromHex("0001") + "2");
    EXPECT_EQ(entries[3].Id, 156);
    EXPECT_EQ(entries[3].Value, QByteArray::fromHex("000C"));
    // The read-back shows both inputs' new values: input 2's keys first, as they were named first.
    QStringList values;
    for (const QJsonObject& row : result.Rows())
        values.append(row.value(QStringLiteral("Key")).toString() + QLatin1Char('=') +
                      row.value(QStringLiteral("Value")).toString());
    const qsizetype delay = values.indexOf(QStringLiteral("156=12"));
    const qsizetype text = values.indexOf(QStringLiteral("151=Front door"));
    EXPECT_GE(delay, 0);
    EXPECT_GT(text, delay);
}

TEST_F(CommandsTest, AFailedUdpBindIsReportedWhileTcpStillWorks) {
    // 192.0.2.1 (a documentation address) belongs to no adapter here.
    QStringList udp = Udp();
    udp[udp.indexOf(QStringLiteral("127.0.0.1"))] = QStringLiteral("192.0.2.1");
    const CliResult failed = RunInProcess(udp + QStringList{QStringLiteral("scan")});
    EXPECT_EQ(failed.ExitCode, 1);
    EXPECT_TRUE(failed.Err.contains("Unable to bind UDP port")) << failed.Err.constData();

    const CliResult overTcp = RunInProcess(udp + Tcp(2) + QStringList{QStringLiteral("scan")});
    ASSERT_EQ(overTcp.ExitCode, 0) << overTcp.Err.constData();
    EXPECT_TRUE(overTcp.Out.contains(Mac(2).toLatin1()));
}

TEST_F(CommandsTest, PasswordOpensTheProtectedUnit) {
    const int unit = SimSite::DEMO_PASSWORD_UNIT;
    const CliResult without = RunInProcess(
        Udp(QStringLiteral("0.4")) + QStringList{QStringLiteral("read"), Mac(unit), QStringLiteral("GPRS")});
    EXPECT_EQ(without.ExitCode, 1);
    EXPECT_TRUE(without.Err.contains("--password")) << without.Err.constData();

    const CliResult with =
        RunInProcess(Udp() + QStringList{QStringLiteral("--password"), QLatin1String(SimSite::DEMO_PASSWORD),
                                         QStringLiteral("read"), Mac(unit), QStringLiteral("GPRS")});
    ASSERT_EQ(with.ExitCode, 0) << with.Err.constData();
    EXPECT_TRUE(with.Out.contains("APN"));
    // Every request after the discovery leads with the password entry.
    const QList<SentPacket> requests = Received(unit);
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_EQ(requests.last().Entries.first().Id, PASSWORD_KEY);
    EXPECT_EQ(requests.last().Entries.first().Value, QByteArray(SimSite::DEMO_PASSWORD));
}

TEST_F(CommandsTest, NeighborTablesAreCollectedUntilTheUnitHasNoMore) {
    const CliResult result =
        RunInProcess(Udp() + QStringList{QStringLiteral("--json"), QStringLiteral("neighbors"),
                                         Mac(GATEWAY_UNIT), QStringLiteral("all")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();
    EXPECT_EQ(result.Rows().size(), Site.Unit(GATEWAY_UNIT).Radio->Neighbors.size());
    // The command went to the radio as the device list's "Get All Neighbors".
    bool commandSent = false;
    for (const SentPacket& write : Writes(GATEWAY_UNIT))
        for (const SentEntry& entry : write.Entries)
            commandSent |= entry.Id == 0x1048 && entry.Value == QByteArray("FFFFFFFFFFFFFFFF");
    EXPECT_TRUE(commandSent);
}

TEST_F(CommandsTest, SerialScanFindsTheDeviceOnItsPort) {
    ASSERT_GE(Site.SerialDeviceCount(), 1);
    const QString path = Site.SerialDevicePaths().first();
    const CliResult result = RunInProcess({QStringLiteral("--serial-port"), path, QStringLiteral("--timeout"),
                                           QStringLiteral("2"), QStringLiteral("--json"),
                                           QStringLiteral("--work-dir"), WorkDir(), QStringLiteral("scan")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();
    ASSERT_EQ(result.Rows().size(), 1);
    EXPECT_EQ(result.Rows().first().value(QStringLiteral("Mac")).toString(), Site.SerialDevice(0)->MacText());
    EXPECT_EQ(result.Rows().first().value(QStringLiteral("IP")).toString(), path);
}

TEST_F(CommandsTest, UsageErrorsNameTheProblem) {
    struct Case {
        QStringList Arguments;
        const char* Says;
    };
    const QList<Case> cases = {
        {{QStringLiteral("scan"), QStringLiteral("extra")}, "scan takes no arguments"},
        {{QStringLiteral("read"), Mac(0)}, "read needs a menu"},
        {{QStringLiteral("read"), Mac(0), QStringLiteral("input")}, "read input needs one input address"},
        {{QStringLiteral("set"), Mac(0)}, "set needs at least one KEY=VALUE"},
        {{QStringLiteral("set"), Mac(0), QStringLiteral("No Such Key=1")}, "unknown key"},
        {{QStringLiteral("set"), Mac(0), QStringLiteral("Description=x")}, "INPUT/ADDRESS/KEY=VALUE"},
        {{QStringLiteral("set"), Mac(0), QStringLiteral("Use IP=Yes"), QStringLiteral("6=No")},
         "given twice"},
        {{QStringLiteral("command"), Mac(0), QStringLiteral("explode")}, "unknown command action"},
        {{QStringLiteral("command"), Mac(0), QStringLiteral("set-mac"), QStringLiteral("02-3C-A7")},
         "six hexadecimal"},
        {{QStringLiteral("sockets"), Mac(0), QStringLiteral("usb")}, "ip or gprs"},
        {{QStringLiteral("neighbors"), Mac(0), QStringLiteral("XYZ")}, "NWK"},
        {{QStringLiteral("--udp-remote-port"), QStringLiteral("0"), QStringLiteral("scan")},
         "--udp-remote-port"},
        {{QStringLiteral("--tcp"), QStringLiteral("host:99999"), QStringLiteral("scan")}, "--tcp"},
        {{QStringLiteral("--broadcast"), QStringLiteral("everyone"), QStringLiteral("scan")}, "--broadcast"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
        const CliResult result = RunInProcess(c.Arguments);
        EXPECT_EQ(result.ExitCode, 2);
        EXPECT_TRUE(result.Err.contains(c.Says)) << result.Err.constData();
    }
    EXPECT_TRUE(Site.Recorder().records().isEmpty());
}

TEST(CliSessionEntries, FindEntryLengthStaysInsideThePacket) {
    ConfigEnvelopeClass envelope;
    const QByteArray entries = ConfigEnvelopeClass::KeyEntry(0x1049, {}) +
                               ConfigEnvelopeClass::KeyEntry(0x00E2, QByteArray(13, '\1'));
    const QByteArray packet =
        envelope.BuildPacket(QStringLiteral("02-3C-A7-00-01-01"), CONFIG_RESPONSE, QString(), entries, 4096);
    ASSERT_FALSE(packet.isEmpty());
    EXPECT_EQ(CliSession::FindEntryLength(packet, 0x1049), 0);
    EXPECT_EQ(CliSession::FindEntryLength(packet, 0x00E2), 13);
    EXPECT_FALSE(CliSession::FindEntryLength(packet, 0x1023).has_value());
    // Every cut of the packet is refused by its envelope, never read past.
    for (qsizetype cut = 0; cut < packet.size(); ++cut)
        EXPECT_FALSE(CliSession::FindEntryLength(packet.left(cut), 0x00E2).has_value()) << cut;
}
