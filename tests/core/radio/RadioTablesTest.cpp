#include "RadioTestBytes.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/UnitInfoClass.h"
#include "support/TempHome.h"

#include <QTime>
#include <gtest/gtest.h>

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

QByteArray Neighbor(int owner, int neighbor, const char* ieee, int lqi, int depth, int type, int age) {
    return Bytes().u16(owner).u16(neighbor).hex(ieee).u8(lqi).u8(depth).u8(type).u8(age).Data;
}

QByteArray Route(int owner, int dest, int hop, int status) {
    return Bytes().u16(owner).u16(dest).u16(hop).u8(status).Data;
}

QByteArray Arp(int pos, const char* ip, const char* mac, int timeout) {
    return Bytes().u16(pos).hex(ip).hex(mac).u8(timeout).Data;
}

struct Fixture {
    LogCapture Log;
    UnitInfoClass Unit{S("00-1E-C0-00-00-01")};
    RadioPayloadsClass Radio;
    RadioRecorder Recorded{Radio};
};

} // namespace

TEST(ParseNeighbors, RecordsAreKeyedByOwnerAndNeighbor) {
    Fixture f;
    const QByteArray page = Neighbor(0x0000, 0x1A2B, "00124B0001020304", 200, 1, 0x11, 3) +
                            Neighbor(0x0000, 0x00A3, "00124B00A0A1A2A3", 90, 255, 0x02, 1);
    f.Radio.ParseNeighbors(f.Unit, static_cast<int>(page.size()), page);
    ASSERT_EQ(f.Unit.Neighbors.size(), 2);
    const NeighborObjectClass* n = f.Unit.FindNeighbor(0x0000, 0x1A2B);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->extID, S("00 12 4B 00 01 02 03 04"));
    EXPECT_EQ(n->rxLqi, 200);
    EXPECT_EQ(n->depth, 1);
    EXPECT_EQ(n->type, 0x11);
    EXPECT_EQ(n->age, 3);
    EXPECT_TRUE(QTime::fromString(n->ReceivedTime, S("hh:mm:ss")).isValid()) << n->ReceivedTime.toStdString();
    EXPECT_TRUE(f.Log.contains(S("ParseNeighbors. KeyLen: 32")));
    EXPECT_TRUE(
        f.Log.contains(S("Neighbor received. OwnerNWK: 0x0000. NeighborNWK: 0x1A2B. rxLqi: 200. depth: 1. "
                         "type: 0x11. age: 3. extID: 00 12 4B 00 01 02 03 04")));
    EXPECT_EQ(f.Recorded.NeighborsChanged, 1);

    // Same pair: updated in place. Same neighbor seen by another owner: a new entry.
    const QByteArray again = Neighbor(0x0000, 0x1A2B, "00124B0001020304", 17, 1, 0x11, 9) +
                             Neighbor(0x1A2B, 0x00A3, "00124B00A0A1A2A3", 60, 2, 0x22, 0);
    f.Radio.ParseNeighbors(f.Unit, static_cast<int>(again.size()), again);
    ASSERT_EQ(f.Unit.Neighbors.size(), 3);
    EXPECT_EQ(f.Unit.FindNeighbor(0x0000, 0x1A2B), n);
    EXPECT_EQ(n->rxLqi, 17);
    EXPECT_EQ(n->age, 9);
    EXPECT_NE(f.Unit.FindNeighbor(0x1A2B, 0x00A3), nullptr);
}

TEST(ParseRoutes, RecordsAreKeyedByOwnerDestinationAndHop) {
    Fixture f;
    const QByteArray page = Route(0x0000, 0x1A2B, 0x1A2B, 1) + Route(0x0000, 0x1A2B, 0x00A3, 2) +
                            Route(0x0000, 0x1A2B, 0x1A2B, 4);
    f.Radio.ParseRoutes(f.Unit, static_cast<int>(page.size()), page);
    ASSERT_EQ(f.Unit.Routes.size(), 2);
    EXPECT_EQ(f.Unit.FindRoute(0x0000, 0x1A2B, 0x1A2B)->status, 4);
    EXPECT_EQ(f.Unit.FindRoute(0x0000, 0x1A2B, 0x00A3)->status, 2);
    EXPECT_TRUE(f.Log.contains(S("ParseRoutes. KeyLen: 21")));
    EXPECT_TRUE(
        f.Log.contains(S("Route received. OwnerNWK: 0x0000. DestNWK: 0x1A2B. HopNWK: 0x00A3. status: 0x02")));
    EXPECT_EQ(f.Recorded.RoutesChanged, 1);
}

TEST(ParseNeighborsAndRoutes, EmptyRepliesChangeNothing) {
    Fixture f;
    f.Radio.ParseNeighbors(f.Unit, 0, QByteArray());
    f.Radio.ParseRoutes(f.Unit, 0, QByteArray());
    EXPECT_TRUE(f.Log.contains(S("NO NEIGHBORS")));
    EXPECT_TRUE(f.Log.contains(S("NO ROUTES")));
    EXPECT_EQ(f.Recorded.NeighborsChanged, 0);
    EXPECT_EQ(f.Recorded.RoutesChanged, 0);
}

TEST(ParseTestResults, RecordFieldsAndLogLine) {
    Fixture f;
    const QByteArray record = Bytes().u16(25).u16(40).u16(0x1A2B).u16(37).Data;
    f.Radio.ParseTestResults(f.Unit, 8, record);
    ASSERT_EQ(f.Recorded.TestResults.size(), 1);
    const RadioTestResult& r = f.Recorded.TestResults.first();
    EXPECT_EQ(r.TestTimer, 25);
    EXPECT_EQ(r.TestCount, 40);
    EXPECT_EQ(r.TestUnitNWK, 0x1A2B);
    EXPECT_EQ(r.TestResults, 37);
    EXPECT_TRUE(f.Log.contains(
        S("TestResults received. TestTimer: 25. TestCount: 40. TestUnitNWK: 6699. TestResults: 37")));

    // Too short to be a record: nothing reported.
    f.Radio.ParseTestResults(f.Unit, 7, record);
    EXPECT_EQ(f.Recorded.TestResults.size(), 1);
    EXPECT_TRUE(f.Log.contains(S("ParseTestResults. Record shorter than 8 bytes. Length: 7")));
}

TEST(ParseArpTable, RowsAndPaging) {
    const struct {
        int LastPos;
        QList<std::pair<quint16, quint16>> Requests;
    } cases[] = {{7, {{0x00E2, 8}}}, {0, {}}, {0xFFFF, {}}};
    for (const auto& c : cases) {
        Fixture f;
        const QByteArray page =
            Arp(6, "C0A80114", "001AC0AABBCC", 120) + Arp(c.LastPos, "0A000001", "FFEEDDCCBBAA", 0);
        f.Radio.ParseArpTable(f.Unit, static_cast<int>(page.size()), page);
        ASSERT_EQ(f.Recorded.ArpRows.size(), 2);
        const ArpRow& row = f.Recorded.ArpRows.first();
        EXPECT_EQ(row.Pos, 6);
        EXPECT_EQ(ArpRowTexts(row),
                  (QStringList{S("006"), S("192.168.1.20"), S("00:1A:C0:AA:BB:CC"), S("120")}));
        EXPECT_EQ(f.Recorded.ShortKeys, c.Requests) << c.LastPos;
        EXPECT_TRUE(f.Log.contains(S("ParseArpTable. KeyLen: 26. First Pos: 6")));
    }
    Fixture empty;
    empty.Radio.ParseArpTable(empty.Unit, 0, QByteArray());
    EXPECT_TRUE(empty.Recorded.ArpRows.isEmpty());
    EXPECT_TRUE(empty.Recorded.ShortKeys.isEmpty());
}
