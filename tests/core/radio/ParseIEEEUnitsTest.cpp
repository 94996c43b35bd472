#include "RadioTestBytes.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/UnitInfoClass.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

const char* const NEXT_IEEE = "00124B00FFEEDDCC";

// A plain record after an extension shows where the parser thinks the extension ended.
QByteArray FollowingRecord() {
    DeviceBase next;
    next.Pos = 0;
    next.Ieee = NEXT_IEEE;
    next.NWK = 0x0777;
    next.HW = 1;
    return next.Encode();
}

struct Fixture {
    LogCapture Log;
    UnitInfoClass Unit{S("00-1E-C0-00-00-01")};
    RadioPayloadsClass Radio;
    RadioRecorder Recorded{Radio};

    int Parse(const QByteArray& payload) {
        return Radio.ParseIEEEUnits(Unit, static_cast<int>(payload.size()), payload);
    }
    IEEEObjectClass* Device(const char* address) { return Unit.FindUnitIEEEByAddress(S(address)); }
};

} // namespace

TEST(ParseIEEEUnits, BaseRecordFieldsAndTexts) {
    Fixture f;
    DeviceBase first;
    DeviceBase second;
    second.Pos = 2; // its high byte 0x00 follows the first record: not an extension
    second.Ieee = NEXT_IEEE;
    second.RSSIbase = 0;
    second.RSSIdet = 0;
    second.SensorKind = 0;
    second.SpecVar0 = 0xFFFC;
    second.HW = 255;
    const QByteArray payload = first.Encode() + second.Encode();
    ASSERT_EQ(payload.size(), 72);

    EXPECT_EQ(f.Parse(payload), RadioPayloadsClass::NEXT_PAGE_REQUESTED);

    ASSERT_EQ(f.Unit.Devices.size(), 2);
    const IEEEObjectClass* d = f.Device("00124B0001020304");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->NWK, 0x1A2B);
    EXPECT_EQ(d->ParentNWK, 0);
    EXPECT_EQ(d->ZigbeeStatus, 0x05);
    EXPECT_EQ(d->RSSIbase, -52);
    EXPECT_EQ(d->RSSIdet, -61);
    EXPECT_EQ(d->Battery, 1500);
    EXPECT_EQ(d->TimeoutTimer, 0x012345u);
    EXPECT_EQ(d->Resends, 3);
    EXPECT_EQ(d->PollTime, 60);
    EXPECT_EQ(d->EndPoint, 1);
    EXPECT_EQ(d->spec_var[0], 23);
    EXPECT_EQ(d->HW, 6);
    EXPECT_EQ(d->SWHigh, 1);
    EXPECT_EQ(d->SWLow, 12);
    EXPECT_EQ(d->RSSIString, S("Gateway: -52dBm (68%) / Device: -61dBm (55%)"));
    EXPECT_EQ(d->SpecVariableString, S("23C"));
    EXPECT_EQ(d->FirmwareDate, S("2017-06-05"));
    EXPECT_EQ(d->FirmwareVersion, S("Q7 Mini Repeater v1.12"));
    EXPECT_TRUE(d->Name.isEmpty());

    const IEEEObjectClass* e = f.Device(NEXT_IEEE);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->RSSIString, S("Gateway: - dBm (0%) / Device: - dBm (0%)"));
    EXPECT_EQ(e->SpecVariableString, S("-4C"));
    EXPECT_TRUE(e->FirmwareDate.isEmpty()); // HW 255 reports no usable date
    EXPECT_TRUE(e->FirmwareVersion.isEmpty());

    EXPECT_EQ(f.Recorded.ShortKeys, (QList<std::pair<quint16, quint16>>{{0x1023, 3}}));
    EXPECT_EQ(f.Recorded.DevicesChanged, 1);
    EXPECT_TRUE(f.Log.contains(S("ParseIEEEUnits. KeyLen: 72. First Pos: 1")));
    EXPECT_TRUE(f.Log.contains(S("New IEEE object. Address: 00124B0001020304")));
    EXPECT_TRUE(f.Log.contains(S("New IEEE object. Address: 00124B00FFEEDDCC")));
}

TEST(ParseIEEEUnits, SensorKindDecidesTheTemperatureText) {
    const struct {
        int Kind;
        int SpecVar0;
        const char* Expected;
    } cases[] = {
        {0, 0x0017, "23C"}, {1, 0x12FC, "-4C"}, {2, 0x0080, "-128C"}, {3, 0x0017, ""}, {255, 0x0017, ""}};
    for (const auto& c : cases) {
        Fixture f;
        DeviceBase base;
        base.Pos = 0;
        base.SensorKind = c.Kind;
        base.SpecVar0 = c.SpecVar0;
        f.Parse(base.Encode());
        ASSERT_EQ(f.Unit.Devices.size(), 1);
        EXPECT_EQ(f.Unit.Devices.first()->SpecVariableString, S(c.Expected)) << c.Kind;
    }
}

TEST(ParseIEEEUnits, ReportedAgainUpdatesTheSameDevice) {
    Fixture f;
    DeviceBase base;
    base.Pos = 0;
    f.Parse(base.Encode());
    base.NWK = 0x0042;
    base.Resends = 99;
    f.Parse(base.Encode());
    ASSERT_EQ(f.Unit.Devices.size(), 1);
    EXPECT_EQ(f.Unit.Devices.first()->NWK, 0x0042);
    EXPECT_EQ(f.Unit.Devices.first()->Resends, 99);
    EXPECT_EQ(f.Log.count(S("New IEEE object. Address: 00124B0001020304")), 1);
}

TEST(ParseIEEEUnits, ExtendedInfoBlock) {
    Fixture f;
    DeviceBase base;
    base.Pos = 4;
    base.HW = 5;
    base.SensorKind = 9;
    base.SpecVar0 = 21;
    Bytes b;
    b.raw(base.Encode()).u8(0xFE).u8(3).u8(1).u8(6).u8(6).u8(0x02).u16(0xFFFD).text("Hall").u8(0x1F);
    b.raw(FollowingRecord());
    f.Radio.SetBackupStep([](UnitInfoClass&, quint16 key) { return key == 0x1023 ? 1 : 0; });

    EXPECT_EQ(f.Parse(b.Data), 1); // last Pos 0: no next page, the backup step decides

    ASSERT_EQ(f.Unit.Devices.size(), 2);
    const IEEEObjectClass* d = f.Device("00124B0001020304");
    EXPECT_EQ(d->ZoneID, 3);
    EXPECT_EQ(d->Disabled, 1);
    EXPECT_EQ(d->InputTypes[0], 6);
    EXPECT_EQ(d->InputTypes[1], 6);
    EXPECT_EQ(d->AlarmStatus, 0x02);
    EXPECT_EQ(d->spec_var[1], 0xFFFD);
    EXPECT_EQ(d->Name, S("Hall"));
    EXPECT_EQ(d->SpecVariableString, S("In 1: 21C. In 2: -3C"));
    EXPECT_EQ(f.Device(NEXT_IEEE)->NWK, 0x0777);
    EXPECT_TRUE(f.Recorded.ShortKeys.isEmpty());
    EXPECT_TRUE(f.Log.contains(S("ParseIEEEUnits. Extended info")));
}

TEST(ParseIEEEUnits, ExtendedInfoKeepsTheSensorTextOfSingleInputDevices) {
    Fixture f;
    DeviceBase base;
    base.Pos = 0;
    base.HW = 1;
    base.SpecVar0 = 21;
    Bytes b;
    b.raw(base.Encode()).u8(0xFE).u8(0).u8(0).u8(6).u8(6).u8(0).u16(0xFFFD).u8(0x1F);
    f.Parse(b.Data);
    EXPECT_EQ(f.Unit.Devices.first()->SpecVariableString, S("21C"));
}

namespace {

// The fields before the name of an extended payload block (zone 2, enabled, alarm bits 1, power 0x0834)
// and the name "Door" with its end byte.
Bytes PayloadBlockHead() {
    Bytes b;
    b.u8(2).u8(0).u8(0x01).u16(0x0834).text("Door").u8(0x1F);
    return b;
}

struct SelectorCase {
    const char* Name;
    QByteArray Tail; // selector and what follows it inside the block
    std::array<uint8_t, 2> InputTypes;
    uint16_t SpecVar1;
    uint16_t ComErrors;
    std::array<uint16_t, 4> Parents;
    uint16_t Joins;
    const char* Log; // a line that must be logged, or nullptr
};

} // namespace

TEST(ParseIEEEUnits, ExtendedPayloadSelectorCases) {
    const SelectorCase cases[] = {
        {"0x1E: nothing more", Bytes().u8(0x1E).hex("0102").Data, {0, 0}, 0, 0, {0, 0, 0, 0}, 0, nullptr},
        {"0: mini block only",
         Bytes().u8(0x00).u8(6).u8(1).u16(5).u16(9).Data,
         {6, 1},
         5,
         0,
         {0, 0, 0, 0},
         0,
         "ParseIEEEUnits. Mini payload. Type0: 6. Type1: 1. Spec0: 21. Spec1: 5"},
        {"5: mini block, counters, the parents the block covers",
         Bytes().u8(0x05).u8(6).u8(6).u16(0xFFFE).u16(0x0102).u16(0xFFFF).u16(0x1234).Data,
         {6, 6},
         0xFFFE,
         0x0102,
         {0xFFFF, 0x1234, 0, 0},
         0,
         nullptr},
        {"0x80: counters without mini block",
         Bytes().u8(0x80).u16(7).u16(1).u16(2).u16(3).u16(4).u16(9).Data,
         {0, 0},
         0,
         7,
         {1, 2, 3, 4},
         9,
         nullptr},
        {"0x80 with a block too short for the error counter",
         Bytes().u8(0x80).u8(0x00).Data,
         {0, 0},
         0,
         0,
         {0, 0, 0, 0},
         0,
         "ParseIEEEUnits. Extended payload cut short. Address: 00124B0001020304"},
    };
    for (const SelectorCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Fixture f;
        DeviceBase base;
        base.Pos = 0;
        base.SpecVar0 = 21;
        base.HW = 1;
        const QByteArray block = PayloadBlockHead().Data + c.Tail;
        Bytes b;
        b.raw(base.Encode()).u8(0xFD).u8(static_cast<int>(block.size())).raw(block).raw(FollowingRecord());
        f.Parse(b.Data);

        ASSERT_EQ(f.Unit.Devices.size(), 2);
        const IEEEObjectClass* d = f.Device("00124B0001020304");
        EXPECT_EQ(d->ZoneID, 2);
        EXPECT_EQ(d->Disabled, 0);
        EXPECT_EQ(d->AlarmStatus, 0x01);
        EXPECT_EQ(d->Power, 0x0834);
        EXPECT_EQ(d->Name, S("Door"));
        EXPECT_EQ(d->InputTypes, c.InputTypes);
        EXPECT_EQ(d->spec_var[1], c.SpecVar1);
        EXPECT_EQ(d->ComErrors, c.ComErrors);
        EXPECT_EQ(
            (std::array<uint16_t, 4>{d->ParentList[0], d->ParentList[1], d->ParentList[2], d->ParentList[3]}),
            c.Parents);
        EXPECT_EQ(d->Joins, c.Joins);
        // The next record starts where the block's length says, whatever was read inside it.
        const IEEEObjectClass* next = f.Device(NEXT_IEEE);
        ASSERT_NE(next, nullptr);
        EXPECT_EQ(next->NWK, 0x0777);
        EXPECT_TRUE(f.Log.contains(S("ParseIEEEUnits. Extended payload info")));
        if (c.Log) {
            EXPECT_TRUE(f.Log.contains(S(c.Log))) << f.Log.lines().join(QLatin1Char('\n')).toStdString();
        }
    }
}

TEST(ParseIEEEUnits, ExtendedPayloadRebuildsTheInputTextOfTwoInputDevices) {
    Fixture f;
    DeviceBase base;
    base.Pos = 0;
    base.HW = 6;
    base.SensorKind = 1;
    base.SpecVar0 = 0x00FF; // -1
    const QByteArray block = PayloadBlockHead().Data + Bytes().u8(0x00).u8(0).u8(6).u16(0x0016).Data;
    Bytes b;
    b.raw(base.Encode()).u8(0xFD).u8(static_cast<int>(block.size())).raw(block);
    f.Parse(b.Data);
    EXPECT_EQ(f.Unit.Devices.first()->SpecVariableString, S("In 2: 22C"));
}

TEST(ParseIEEEUnits, PagingFollowsTheLastPosition) {
    const struct {
        int LastPos;
        int Result;
        QList<std::pair<quint16, quint16>> Requests;
    } cases[] = {
        {0, 0, {}},
        {7, 2, {{0x1023, 8}}},
        {0xFFFE, 2, {{0x1023, 0xFFFF}}},
        {0xFFFF, 0, {}}, // no position after it: asking for 0 would restart the list for ever
    };
    for (const auto& c : cases) {
        Fixture f;
        DeviceBase first;
        first.Pos = 3;
        DeviceBase last;
        last.Pos = c.LastPos;
        last.Ieee = NEXT_IEEE;
        EXPECT_EQ(f.Parse(first.Encode() + last.Encode()), c.Result) << c.LastPos;
        EXPECT_EQ(f.Recorded.ShortKeys, c.Requests) << c.LastPos;
        EXPECT_EQ(f.Recorded.DevicesChanged, 1);
    }
}

TEST(ParseIEEEUnits, EmptyPageOnlyRunsTheBackupStep) {
    Fixture f;
    DeviceBase base;
    base.Pos = 0;
    f.Parse(base.Encode());
    f.Recorded.DevicesChanged = 0;
    QList<quint16> stepped;
    f.Radio.SetBackupStep([&](UnitInfoClass&, quint16 key) {
        stepped.append(key);
        return 1;
    });

    EXPECT_EQ(f.Radio.ParseIEEEUnits(f.Unit, 0, QByteArray()), 1);
    EXPECT_EQ(stepped, QList<quint16>{0x1023});
    EXPECT_EQ(f.Unit.Devices.size(), 1);
    EXPECT_EQ(f.Recorded.DevicesChanged, 0);
    EXPECT_TRUE(f.Recorded.ShortKeys.isEmpty());
    EXPECT_TRUE(f.Log.contains(S("ParseIEEEUnits. KeyLen: 0. First Pos: 0")));
}

// The walk ends when fewer than six bytes are left: too few for any record, so they are padding.
// Six or more bytes that do not make a record are a record cut short.
TEST(ParseIEEEUnits, TrailingBytes) {
    for (int trailing : {1, 5, 6, 35}) {
        Fixture f;
        DeviceBase base;
        base.Pos = 0;
        const QByteArray payload = base.Encode() + QByteArray(trailing, '\x01');
        f.Parse(payload);
        EXPECT_EQ(f.Unit.Devices.size(), 1) << trailing;
        EXPECT_EQ(f.Log.contains(S("ParseIEEEUnits. Record runs past the end of the payload. Offset: 36")),
                  trailing >= 6)
            << trailing;
    }
}

TEST(ParseIEEEUnits, StatedLengthLimitsTheWalk) {
    Fixture f;
    DeviceBase first;
    DeviceBase second;
    second.Ieee = NEXT_IEEE;
    const QByteArray payload = first.Encode() + second.Encode();
    // The entry says 36 bytes: the second record is not part of it.
    f.Radio.ParseIEEEUnits(f.Unit, 36, payload);
    EXPECT_EQ(f.Unit.Devices.size(), 1);
    // A length beyond the received bytes reads no further than they go.
    Fixture g;
    g.Radio.ParseIEEEUnits(g.Unit, 500, first.Encode());
    EXPECT_EQ(g.Unit.Devices.size(), 1);
}
