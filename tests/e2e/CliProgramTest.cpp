// The real unitscope-cli program against the demo site running in this process.
#include "CliTestSupport.h"
#include "core/unit/KeyDefinitionTable.h"

namespace {

using ProgramTest = CliSiteTest;

QString Text(const QJsonObject& row, const char* member) {
    return row.value(QLatin1String(member)).toString();
}

} // namespace

TEST_F(ProgramTest, ReadOverTcpPrintsTheIpMenuTheUnitReported) {
    const CliResult result = RunProgram(
        Tcp(0) + QStringList{QStringLiteral("--json"), QStringLiteral("read"), Mac(0), QStringLiteral("IP")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();

    // One row per key of the IP menu's range the unit has, labelled from the key table.
    QStringList expectedIds;
    for (const SimKey& key : Site.Unit(0).Keys())
        if (key.Id >= 1 && key.Id <= 19)
            expectedIds.append(QString::number(key.Id));
    QStringList ids;
    for (const QJsonObject& row : result.Rows()) {
        ids.append(Text(row, "Key"));
        EXPECT_EQ(Text(row, "Label"), KeyDefinitionAt(FindKeyIndex(Text(row, "Key").toInt())).Label);
        if (Text(row, "Key") == QLatin1String("1")) {
            EXPECT_EQ(Text(row, "Value"), Site.UnitAddress(0).toString());
            EXPECT_EQ(Text(row, "Group"), QStringLiteral("Settings"));
        }
        if (Text(row, "Key") == QLatin1String("5")) {
            EXPECT_EQ(Text(row, "Value"), Mac(0));
            EXPECT_EQ(Text(row, "Group"), QStringLiteral("Status"));
        }
    }
    ids.sort();
    expectedIds.sort();
    EXPECT_EQ(ids, expectedIds);

    // The read went over the unit's TCP connection as the IP menu's group request.
    const QList<SentPacket> requests = Received(0);
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_EQ(requests.last().Type, CONFIG_READ);
    ASSERT_EQ(requests.last().Entries.size(), 1);
    EXPECT_EQ(requests.last().Entries.first().Id, 0xF000);
    EXPECT_TRUE(requests.last().Entries.first().Value.isEmpty());
    EXPECT_EQ(Site.Recorder().received(Mac(0)).last().Carrier, QStringLiteral("tcp"));
}

TEST_F(ProgramTest, SetWritesTheEntryAndASecondReadShowsTheNewValue) {
    // Without the MAC: over TCP the unit at the other end is meant.
    const CliResult set =
        RunProgram(Tcp(0) + QStringList{QStringLiteral("set"), QStringLiteral("NTP Server=10.1.2.3"),
                                        QStringLiteral("DNS Type=TCP")});
    ASSERT_EQ(set.ExitCode, 0) << set.Err.constData();
    EXPECT_TRUE(set.Out.contains("10.1.2.3")) << set.Out.constData();

    // One write packet: no password entry (none given), the two entries in the unit's key order.
    const QList<SentPacket> writes = Writes(0);
    ASSERT_EQ(writes.size(), 1);
    ASSERT_EQ(writes.first().Entries.size(), 2);
    EXPECT_EQ(writes.first().Entries[0].Id, 7);
    EXPECT_EQ(writes.first().Entries[0].Value, QByteArray::fromHex("0A010203"));
    EXPECT_EQ(writes.first().Entries[1].Id, 11);
    EXPECT_EQ(writes.first().Entries[1].Value, QByteArray::fromHex("00")); // option "TCP" is index 0

    const CliResult read = RunProgram(
        Tcp(0) + QStringList{QStringLiteral("--json"), QStringLiteral("read"), Mac(0), QStringLiteral("IP")});
    ASSERT_EQ(read.ExitCode, 0) << read.Err.constData();
    QMap<QString, QString> values;
    for (const QJsonObject& row : read.Rows())
        values.insert(Text(row, "Label"), Text(row, "Value"));
    EXPECT_EQ(values.value(QStringLiteral("NTP Server")), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(values.value(QStringLiteral("DNS Type")), QStringLiteral("TCP"));
}

TEST_F(ProgramTest, ScanFindsEveryDemoUnitOverUdpOnLoopback) {
    const CliResult result =
        RunProgram(Udp() + QStringList{QStringLiteral("--json"), QStringLiteral("scan")});
    ASSERT_EQ(result.ExitCode, 0) << result.Err.constData();
    const QList<QJsonObject> rows = result.Rows();
    ASSERT_EQ(rows.size(), Site.UnitCount());
    for (int i = 0; i < Site.UnitCount(); ++i) {
        // Rows come sorted by MAC, which is the demo site's order.
        EXPECT_EQ(Text(rows[i], "Mac"), Mac(i));
        EXPECT_EQ(Text(rows[i], "IP"), Site.UnitAddress(i).toString());
        EXPECT_EQ(Text(rows[i], "Product"), Site.Unit(i).ProductText());
        EXPECT_EQ(Text(rows[i], "Owner"), QString::fromLatin1(*Site.Unit(i).KeyValue(101)));
    }
}

TEST_F(ProgramTest, AUnitThatFallsSilentEndsTheRunWithStatusOne) {
    // The unit answers the discovery and then nothing more.
    SimMisbehaviourSettings silent;
    silent.StopAfterRequests = 1;
    Site.Unit(0).Misbehaviour.SetSettings(silent);
    const CliResult result =
        RunProgram(Udp(QStringLiteral("0.4")) + QStringList{QStringLiteral("eventlog"), Mac(0)});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(result.Out.isEmpty());
    EXPECT_TRUE(result.Err.contains("did not answer")) << result.Err.constData();
    EXPECT_TRUE(result.Err.contains(Mac(0).toLatin1()));
}

TEST_F(ProgramTest, BadUsageEndsWithStatusTwoBeforeAnythingIsSent) {
    const QList<QStringList> cases = {
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("read"), QStringLiteral("IP")}, // no MAC without --tcp
        {QStringLiteral("read"), Mac(0), QStringLiteral("Nowhere")},
        {QStringLiteral("set"), Mac(0), QStringLiteral("NTP Server")},
        {QStringLiteral("--timeout"), QStringLiteral("soon"), QStringLiteral("scan")},
    };
    for (const QStringList& arguments : cases) {
        const CliResult result = RunProgram(Udp() + arguments);
        EXPECT_EQ(result.ExitCode, 2) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(result.Err.isEmpty());
        EXPECT_TRUE(result.Out.isEmpty());
    }
    EXPECT_TRUE(Site.Recorder().records().isEmpty());
}
