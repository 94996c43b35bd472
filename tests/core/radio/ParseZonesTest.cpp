#include "RadioTestBytes.h"
#include "core/radio/ParseZoneElement.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/UnitInfoClass.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

QByteArray ZoneRecord(int pos, int zoneId, const QByteArray& elements) {
    return Bytes().u16(pos).u8(zoneId).u16(static_cast<int>(elements.size())).raw(elements).Data;
}

Bytes& Element(Bytes& b, int type, const QByteArray& value) {
    return b.u8(type).u8(static_cast<int>(value.size())).raw(value);
}

} // namespace

TEST(ParseZones, ZoneRecordWithEveryElement) {
    LogCapture log;
    UnitInfoClass unit(S("00-1E-C0-00-00-01"));
    RadioPayloadsClass radio;
    RadioRecorder recorded(radio);

    Bytes e;
    Element(e, 0, "Ground floor");
    Element(e, 1, QByteArray::fromHex("FE0200000000000000")); // output 2 of the unit
    Element(e, 2, QByteArray::fromHex("00112233AABBCCDD01")); // output 1 of a device
    Element(e, 3, QByteArray::fromHex("FE0103000000000000")); // 0xFE but byte 2 set: a device form
    Element(e, 4, QByteArray(9, '\0'));                       // no output
    Element(e, 16, QByteArray::fromHex("DEADBEEF"));          // unknown: skipped, the walk goes on
    Element(e, 5, QByteArray::fromHex("FE03"));               // short: the rest of the reference is 0
    Element(e, 6, QByteArray::fromHex("012C"));
    Element(e, 7, QByteArray::fromHex("0258"));
    Element(e, 8, QByteArray::fromHex("001E"));
    Element(e, 9, QByteArray::fromHex("0005"));
    Element(e, 10, QByteArray::fromHex("01"));
    Element(e, 11, QByteArray::fromHex("01"));
    Element(e, 12, QByteArray::fromHex("01"));
    Element(e, 13, "North");
    Element(e, 14, QByteArray::fromHex("01"));
    Element(e, 15, QByteArray::fromHex("02"));
    Bytes second;
    Element(second, 0, "Garage");
    const QByteArray payload = ZoneRecord(0, 3, e.Data) + ZoneRecord(1, 7, second.Data);

    radio.SetBackupStep([](UnitInfoClass&, quint16 key) { return key == 0x1034 ? 1 : 0; });
    EXPECT_EQ(radio.ParseZones(unit, static_cast<int>(payload.size()), payload), 1);

    ASSERT_EQ(unit.Zones.size(), 2);
    const ZoneObjectClass* z = unit.FindZoneObject(S("3"));
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->Name, S("Ground floor"));
    EXPECT_EQ(z->ActivationOutput.Text(), S("2"));
    EXPECT_EQ(z->AlarmOutputs[0].Text(), S("00112233AABBCCDD:1"));
    EXPECT_EQ(z->AlarmOutputs[1].Text(), S("FE01030000000000:0"));
    EXPECT_EQ(z->FaultOutputs[0].Text(), S(""));
    EXPECT_EQ(z->FaultOutputs[1].Text(), S("3"));
    EXPECT_EQ(z->AlarmOutputReloadTime, 300);
    EXPECT_EQ(z->FaultOutputReloadTime, 600);
    EXPECT_EQ(z->ZoneControlDelayReloadTime, 30);
    EXPECT_EQ(z->AlarmLookupReloadTime, 5);
    EXPECT_EQ(z->TwoSection, 1);
    EXPECT_EQ(z->AutoAck, 1);
    EXPECT_EQ(z->OutputDelay, 1);
    EXPECT_EQ(z->AreaID, S("North"));
    EXPECT_EQ(z->ActivateAllSirens, 1);
    EXPECT_EQ(z->Status, 2);
    EXPECT_EQ(unit.GetZoneName(7), S("Garage"));

    EXPECT_EQ(recorded.ZoneRows, (QList<quint8>{3, 7}));
    EXPECT_TRUE(recorded.ShortKeys.isEmpty()); // zones come in one reply
    EXPECT_TRUE(
        log.contains(S("ParseZones. KeyLen: ") + QString::number(payload.size()) + S(". First Pos: 0")));
    EXPECT_TRUE(log.contains(S("Zone received. Pos: 0. ID: 3. Length: ") + QString::number(e.size())));
    EXPECT_TRUE(log.contains(S("Zone received. Pos: 1. ID: 7. Length: 8")));
    EXPECT_TRUE(log.contains(S("New Zone object. ZoneID: 3")));
}

TEST(ParseZones, OutputElementLongerThanAReferenceKeepsNineBytes) {
    UnitInfoClass unit(S("00-1E-C0-00-00-01"));
    RadioPayloadsClass radio;
    Bytes e;
    Element(e, 2, QByteArray::fromHex("00112233AABBCCDD04EEEEEE"));
    Element(e, 15, QByteArray::fromHex("03"));
    const QByteArray payload = ZoneRecord(0, 1, e.Data);
    radio.ParseZones(unit, static_cast<int>(payload.size()), payload);
    const ZoneObjectClass* z = unit.FindZoneObject(S("1"));
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->AlarmOutputs[0].Text(), S("00112233AABBCCDD:4"));
    EXPECT_TRUE(z->AlarmOutputs[1].IsNone()); // nothing spilled into the next reference
    EXPECT_EQ(z->Status, 3);                  // and the element after it was found where it starts
}

TEST(ParseZones, EmptyReplyOnlyRunsTheBackupStep) {
    UnitInfoClass unit(S("00-1E-C0-00-00-01"));
    RadioPayloadsClass radio;
    RadioRecorder recorded(radio);
    unit.FindOrAddZone(4);
    radio.SetBackupStep([](UnitInfoClass&, quint16) { return 1; });
    EXPECT_EQ(radio.ParseZones(unit, 0, QByteArray()), 1);
    EXPECT_EQ(unit.Zones.size(), 1);
    EXPECT_TRUE(recorded.ZoneRows.isEmpty());
}

TEST(ParseZoneElement, NumbersNeedTheirFullWidth) {
    ZoneObjectClass zone(1);
    zone.AlarmOutputReloadTime = 77;
    zone.AutoAck = 1;
    ParseZoneElement(zone, ZONE_ELEMENT_ALARM_OUTPUT_RELOAD_TIME, 1, QByteArray::fromHex("05"));
    ParseZoneElement(zone, ZONE_ELEMENT_AUTO_ACK, 0, QByteArray());
    EXPECT_EQ(zone.AlarmOutputReloadTime, 77);
    EXPECT_EQ(zone.AutoAck, 1);
    // The stated length counts, not what follows it in the buffer.
    ParseZoneElement(zone, ZONE_ELEMENT_NAME, 3, QByteArray("Kitchen"));
    EXPECT_EQ(zone.Name, S("Kit"));
    // A length beyond the buffer reads no further than the buffer.
    ParseZoneElement(zone, ZONE_ELEMENT_AREA_ID, 40, QByteArray("Up"));
    EXPECT_EQ(zone.AreaID, S("Up"));
    ParseZoneElement(zone, 200, 1, QByteArray::fromHex("01"));
    EXPECT_EQ(zone.Status, 0);
}
