// Every radio parser against payloads cut at every length, against entry lengths that say more or
// less than arrived, and against random bytes. Run under the sanitizer build, a read past the
// received bytes fails here; the expectations check what is kept and what is logged.
#include "RadioTestBytes.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/UnitInfoClass.h"
#include "support/TempHome.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <vector>

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

struct Record {
    qsizetype Start;
    qsizetype Complete; // offset from which the record's item is stored (base part, zone header)
    qsizetype End;
    int Pos;
    // A device record whose extension is cut off right after the base part reads as a record
    // without extension: nothing shows that more was meant to follow.
    bool WholeAtFixedPart = false;
};

// What the walk keeps of the first n bytes: every record it reaches that holds its fixed part is
// stored; a record it reaches that is not complete ends the walk with a log line; fewer than six
// bytes after a record end it silently.
struct Expected {
    int Stored = 0;
    bool RunsPast = false;
    int LastPos = -1;
};

Expected Walk(const std::vector<Record>& records, qsizetype n) {
    Expected e;
    if (n == 0)
        return e;
    for (const Record& r : records) {
        if (n >= r.Complete) {
            ++e.Stored;
            e.LastPos = r.Pos;
        }
        if (n < r.End) {
            e.RunsPast = !(r.WholeAtFixedPart && n == r.Complete);
            break;
        }
        if (r.End >= n - 5)
            break;
    }
    return e;
}

std::vector<Record> FixedRecords(int count, qsizetype size) {
    std::vector<Record> records;
    for (int i = 0; i < count; ++i)
        records.push_back({i * size, (i + 1) * size, (i + 1) * size, i + 1});
    return records;
}

// One log capture per test (each one makes a folder); every fixture starts it afresh.
struct Fixture {
    explicit Fixture(LogCapture& log) : Log(log) { Log.clear(); }
    LogCapture& Log;
    UnitInfoClass Unit{S("00-1E-C0-00-00-01")};
    RadioPayloadsClass Radio;
    RadioRecorder Recorded{Radio};
};

// A device page: base + 0xFE block, base + 0xFD block with every optional field, a plain base.
struct DevicePage {
    QByteArray Bytes;
    std::vector<Record> Records;
    DevicePage() {
        DeviceBase a;
        a.Pos = 1;
        a.Ieee = "00124B0000000001";
        DeviceBase b;
        b.Pos = 2;
        b.Ieee = "00124B0000000002";
        DeviceBase c;
        c.Pos = 3;
        c.Ieee = "00124B0000000003";
        ::Bytes page;
        page.raw(a.Encode()).u8(0xFE).u8(1).u8(0).u8(6).u8(6).u8(0).u16(5).text("Hall").u8(0x1F);
        const qsizetype bStart = page.size();
        const QByteArray block = ::Bytes()
                                     .u8(2)
                                     .u8(0)
                                     .u8(1)
                                     .u16(0x0834)
                                     .text("Door")
                                     .u8(0x1F)
                                     .u8(0x80)
                                     .u16(7)
                                     .u16(1)
                                     .u16(2)
                                     .u16(3)
                                     .u16(4)
                                     .u16(9)
                                     .Data;
        page.raw(b.Encode()).u8(0xFD).u8(static_cast<int>(block.size())).raw(block);
        const qsizetype cStart = page.size();
        page.raw(c.Encode());
        Bytes = page.Data;
        Records = {{0, 36, bStart, 1, true},
                   {bStart, bStart + 36, cStart, 2, true},
                   {cStart, cStart + 36, page.size(), 3}};
    }
};

} // namespace

TEST(RadioTruncation, DevicePageCutAtEveryLength) {
    LogCapture log;
    const DevicePage page;
    ASSERT_EQ(page.Bytes.size(), 146);
    for (qsizetype n = 0; n <= page.Bytes.size(); ++n) {
        SCOPED_TRACE(n);
        const Expected e = Walk(page.Records, n);
        const QByteArray cut = page.Bytes.left(n);
        const QList<std::pair<quint16, quint16>> request =
            e.LastPos > 0 ? QList<std::pair<quint16, quint16>>{{0x1023, static_cast<quint16>(e.LastPos + 1)}}
                          : QList<std::pair<quint16, quint16>>{};
        // Cut bytes, a length that says more than arrived, and a length that says less.
        const std::pair<int, QByteArray> inputs[] = {{static_cast<int>(n), cut},
                                                     {static_cast<int>(page.Bytes.size()), cut},
                                                     {static_cast<int>(n), page.Bytes}};
        for (const auto& [length, bytes] : inputs) {
            Fixture f(log);
            const int result = f.Radio.ParseIEEEUnits(f.Unit, length, bytes);
            EXPECT_EQ(result, e.LastPos > 0 ? 2 : 0);
            EXPECT_EQ(f.Unit.Devices.size(), e.Stored);
            EXPECT_EQ(f.Log.lines().filter(S("Record runs past the end of the payload")).isEmpty(),
                      !e.RunsPast)
                << f.Log.lines().join(QLatin1Char('\n')).toStdString();
            EXPECT_EQ(f.Recorded.ShortKeys, request);
        }

        Fixture f1(log);
        f1.Radio.ParseIEEEUnits(f1.Unit, static_cast<int>(n), cut);
        // Fields are kept as far as they arrived whole, and nothing is made up past them.
        if (const IEEEObjectClass* a = f1.Unit.FindUnitIEEEByAddress(S("00124B0000000001"))) {
            EXPECT_EQ(a->Name, n >= 49 ? S("Hall") : S(""));
        }
        if (const IEEEObjectClass* b = f1.Unit.FindUnitIEEEByAddress(S("00124B0000000002"))) {
            EXPECT_EQ(b->Name, n >= 49 + 38 + 10 ? S("Door") : S(""));
            EXPECT_EQ(b->ComErrors, n >= 49 + 38 + 13 ? 7 : 0);
            EXPECT_EQ(b->ParentList[3], n >= 49 + 38 + 21 ? 4 : 0);
            EXPECT_EQ(b->Joins, n >= 49 + 38 + 23 ? 9 : 0);
        }
    }
}

TEST(RadioTruncation, ZonePageCutAtEveryLength) {
    LogCapture log;
    ::Bytes page;
    page.u16(0)
        .u8(1)
        .u16(20)
        .u8(0)
        .u8(4)
        .text("Hall")
        .u8(2)
        .u8(9)
        .hex("00112233AABBCCDD01")
        .u8(15)
        .u8(1)
        .u8(2);
    page.u16(1).u8(2).u16(4).u8(0).u8(2).text("Up");
    ASSERT_EQ(page.size(), 34);
    const std::vector<Record> records = {{0, 5, 25, 1}, {25, 30, 34, 2}};
    for (qsizetype n = 0; n <= page.size(); ++n) {
        SCOPED_TRACE(n);
        const Expected e = Walk(records, n);
        Fixture f(log);
        f.Radio.ParseZones(f.Unit, static_cast<int>(page.size()), page.Data.left(n));
        EXPECT_EQ(f.Unit.Zones.size(), e.Stored);
        EXPECT_EQ(f.Recorded.ZoneRows.size(), e.Stored);
        EXPECT_EQ(f.Log.lines().filter(S("Record runs past the end of the payload")).isEmpty(), !e.RunsPast);
        if (const ZoneObjectClass* z = f.Unit.FindZoneObject(S("1"))) {
            EXPECT_EQ(z->Name, n >= 11 ? S("Hall") : S(""));
            EXPECT_EQ(z->AlarmOutputs[0].Text(), n >= 22 ? S("00112233AABBCCDD:1") : S(""));
            EXPECT_EQ(z->Status, n >= 25 ? 2 : 0);
            // An element cut by the end of the bytes is logged, not half applied.
            const bool elementCut = (n > 5 && n < 11) || (n > 11 && n < 22) || (n > 22 && n < 25);
            EXPECT_EQ(f.Log.lines().filter(S("Zone element runs past its record. ZoneID: 1.")).isEmpty(),
                      !elementCut);
        }
    }
}

TEST(RadioTruncation, ElementLongerThanItsZoneRecord) {
    LogCapture log;
    Fixture f(log);
    // The record says 6 bytes of elements; the name element claims 10. The next record is intact.
    ::Bytes page;
    page.u16(0).u8(1).u16(6).u8(0).u8(10).text("Hall");
    page.u16(1).u8(2).u16(4).u8(0).u8(2).text("Up");
    f.Radio.ParseZones(f.Unit, static_cast<int>(page.size()), page.Data);
    ASSERT_EQ(f.Unit.Zones.size(), 2);
    EXPECT_EQ(f.Unit.GetZoneName(1), S(""));
    EXPECT_EQ(f.Unit.GetZoneName(2), S("Up"));
    EXPECT_TRUE(f.Log.contains(S("ParseZones. Zone element runs past its record. ZoneID: 1. Offset: 5")));
}

TEST(RadioTruncation, FixedSizeRecordsCutAtEveryLength) {
    LogCapture log;
    const QByteArray neighbors = QByteArray::fromHex("0000001100124B0000000001C8010101"
                                                     "0000002200124B0000000002C8010101"
                                                     "0000003300124B0000000003C8010101");
    const QByteArray routes = QByteArray::fromHex("00000011001101"
                                                  "00000022002201"
                                                  "00000033003301");
    const QByteArray arp = QByteArray::fromHex("0001C0A80101001AC0000001FF"
                                               "0002C0A80102001AC0000002FF"
                                               "0003C0A80103001AC0000003FF");
    for (qsizetype n = 0; n <= neighbors.size(); ++n) {
        SCOPED_TRACE(n);
        const Expected e = Walk(FixedRecords(3, 16), n);
        Fixture f(log);
        f.Radio.ParseNeighbors(f.Unit, static_cast<int>(neighbors.size()), neighbors.left(n));
        EXPECT_EQ(f.Unit.Neighbors.size(), e.Stored);
        EXPECT_EQ(f.Log.contains(S("ParseNeighbors. Record runs past the end of the payload. Offset: ") +
                                 QString::number(e.Stored * 16)),
                  e.RunsPast);
        EXPECT_EQ(f.Log.contains(S("NO NEIGHBORS")), n == 0);
    }
    for (qsizetype n = 0; n <= routes.size(); ++n) {
        SCOPED_TRACE(n);
        const Expected e = Walk(FixedRecords(3, 7), n);
        Fixture f(log);
        f.Radio.ParseRoutes(f.Unit, static_cast<int>(routes.size()), routes.left(n));
        EXPECT_EQ(f.Unit.Routes.size(), e.Stored);
        EXPECT_EQ(f.Log.contains(S("ParseRoutes. Record runs past the end of the payload. Offset: ") +
                                 QString::number(e.Stored * 7)),
                  e.RunsPast);
    }
    for (qsizetype n = 0; n <= arp.size(); ++n) {
        SCOPED_TRACE(n);
        const Expected e = Walk(FixedRecords(3, 13), n);
        Fixture f(log);
        f.Radio.ParseArpTable(f.Unit, static_cast<int>(arp.size()), arp.left(n));
        EXPECT_EQ(f.Recorded.ArpRows.size(), e.Stored);
        EXPECT_EQ(f.Log.contains(S("ParseArpTable. Record runs past the end of the payload. Offset: ") +
                                 QString::number(e.Stored * 13)),
                  e.RunsPast);
        const QList<std::pair<quint16, quint16>> request =
            e.LastPos > 0 ? QList<std::pair<quint16, quint16>>{{0x00E2, static_cast<quint16>(e.LastPos + 1)}}
                          : QList<std::pair<quint16, quint16>>{};
        EXPECT_EQ(f.Recorded.ShortKeys, request);
    }
    const QByteArray test = QByteArray::fromHex("0019002800A30025");
    for (qsizetype n = 0; n <= test.size(); ++n) {
        Fixture f(log);
        f.Radio.ParseTestResults(f.Unit, 8, test.left(n));
        EXPECT_EQ(f.Recorded.TestResults.size(), n == 8 ? 1 : 0) << n;
    }
}

TEST(RadioTruncation, RandomBytesThroughEveryParser) {
    QRandomGenerator random(20240611);
    // No log capture: writing thousands of lines would only slow the run down.
    RadioPayloadsClass radio;
    for (int round = 0; round < 3000; ++round) {
        const int size = static_cast<int>(random.bounded(0, 320));
        QByteArray bytes(size, '\0');
        for (char& c : bytes) {
            // Lean towards the bytes that steer the walks so extensions and names come up often.
            const quint32 pick = random.bounded(16);
            c = static_cast<char>(pick == 0   ? 0xFD
                                  : pick == 1 ? 0xFE
                                  : pick == 2 ? 0x1F
                                              : random.bounded(256));
        }
        const int stated = random.bounded(2) ? size : static_cast<int>(random.bounded(0, 400));
        UnitInfoClass unit(S("00-1E-C0-00-00-02"));
        radio.ParseIEEEUnits(unit, stated, bytes);
        radio.ParseZones(unit, stated, bytes);
        radio.ParseNeighbors(unit, stated, bytes);
        radio.ParseRoutes(unit, stated, bytes);
        radio.ParseTestResults(unit, stated, bytes);
        radio.ParseArpTable(unit, stated, bytes);
        const qsizetype n = qMin<qsizetype>(stated, size);
        EXPECT_LE(unit.Devices.size(), n / 36);
        EXPECT_LE(unit.Zones.size(), n / 5);
        EXPECT_LE(unit.Neighbors.size(), n / 16);
        EXPECT_LE(unit.Routes.size(), n / 7);
    }
}
