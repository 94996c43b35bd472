#include "sim/SimRadioNetwork.h"

#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/IEEEObjectClass.h"
#include "core/unit/NeighborObjectClass.h"
#include "core/unit/OutputRef.h"
#include "core/unit/RouteObjectClass.h"
#include "core/unit/UnitInfoClass.h"
#include "core/unit/ZoneObjectClass.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Splits a reply into (key id, value) entries, checking that the lengths add up exactly.
QList<QPair<quint16, QByteArray>> Entries(const QByteArray& reply) {
    QList<QPair<quint16, QByteArray>> entries;
    qsizetype at = 0;
    while (at + 4 <= reply.size()) {
        const quint16 id = quint16((quint8(reply[at]) << 8) | quint8(reply[at + 1]));
        const int length = (quint8(reply[at + 2]) << 8) | quint8(reply[at + 3]);
        EXPECT_LE(at + 4 + length, reply.size());
        entries.append({id, reply.mid(at + 4, length)});
        at += 4 + length;
    }
    EXPECT_EQ(at, reply.size());
    return entries;
}

QByteArray OnlyValue(const std::optional<QByteArray>& reply, quint16 key) {
    EXPECT_TRUE(reply.has_value());
    if (!reply)
        return {};
    const auto entries = Entries(*reply);
    EXPECT_EQ(entries.size(), 1);
    if (entries.size() != 1)
        return {};
    EXPECT_EQ(entries[0].first, key);
    return entries[0].second;
}

QByteArray U16(quint16 value) {
    QByteArray bytes(2, '\0');
    bytes[0] = char(value >> 8);
    bytes[1] = char(value);
    return bytes;
}

// Length of the device record at offset: the 36-byte base, then the block its byte 36 announces.
qsizetype DeviceRecordLength(const QByteArray& page, qsizetype offset) {
    if (offset + 36 >= page.size())
        return 36;
    const quint8 tag = quint8(page[offset + 36]);
    if (tag == 0xFE)
        return page.indexOf(char(0x1F), offset + 44) + 1 - offset;
    if (tag == 0xFD)
        return 38 + quint8(page[offset + 37]);
    return 36;
}

SimRadioDevice SampleDevice() {
    SimRadioDevice d;
    d.Pos = 0x0102;
    d.Ieee = Hex("00112233AABBCCDD");
    d.NWK = 0x1A2B;
    d.ParentNWK = 0x4C21;
    d.ZigbeeStatus = 0x41;
    d.RSSIbase = -52;
    d.RSSIdet = -61;
    d.Battery = 1350;
    d.TimeoutTimer = 0x012345;
    d.Resends = 7;
    d.PollTime = 240;
    d.EndPoint = 1;
    d.SensorKind = 0;
    d.SpecVar = {0x00E9, 0x0004};
    d.HW = 6;
    d.SWHigh = 1, d.SWLow = 12, d.SWYear = 17, d.SWMonth = 6, d.SWDay = 5;
    d.ZoneID = 3;
    d.Disabled = 1;
    d.InputTypes = {6, 2};
    d.AlarmStatus = 0x01;
    d.Power = 2013;
    d.ComErrors = 0x0203;
    d.Joins = 0x0405;
    d.ParentList = {0xFFFF, 0x4C21, 0, 0};
    d.Name = QStringLiteral("Hall");
    return d;
}

const char* const SAMPLE_BASE =
    "0102 00112233AABBCCDD 1A2B 4C21 41 CC C3 0546 012345 0007 00F0 01 00 00E9 06 01 0C 11 06 05";

} // namespace

TEST(SimRadioRecords, DeviceRecordBaseHasTheThirtySixByteLayout) {
    SimRadioDevice device = SampleDevice();
    device.Ext = SimRadioDevice::NoExtension;
    EXPECT_EQ(EncodeDeviceRecord(device), Hex(SAMPLE_BASE));
}

TEST(SimRadioRecords, DeviceRecordExtendedInfoCarriesZoneInputsAndName) {
    SimRadioDevice device = SampleDevice();
    device.Ext = SimRadioDevice::ExtendedInfo;
    device.Name = QStringLiteral("Ha\x1Fll"); // a name never carries the end byte
    const QByteArray expected = Hex(SAMPLE_BASE) + Hex("FE 03 01 06 02 01 0004") + "Hall" + Hex("1F");
    EXPECT_EQ(EncodeDeviceRecord(device), expected);
}

TEST(SimRadioRecords, DeviceRecordExtendedPayloadFollowsItsSelector) {
    const QByteArray head = Hex("03 01 01 07DD") + "Hall" + Hex("1F");
    const QByteArray mini = Hex("06 02 0004");
    const QByteArray counters = Hex("0203 FFFF 4C21 0000 0000 0405");
    struct Case {
        quint8 Selector;
        QByteArray After;
    };
    const Case cases[] = {
        {0x1E, {}},              // nothing more
        {0x00, mini},            // mini block only
        {0x01, mini + counters}, // mini block, then the counters
        {0x7F, mini + counters},
        {0x80, counters}, // counters straight after the selector
        {0xFF, counters},
    };
    for (const Case& c : cases) {
        SimRadioDevice device = SampleDevice();
        device.Selector = c.Selector;
        const QByteArray block = head + QByteArray(1, char(c.Selector)) + c.After;
        const QByteArray expected = Hex(SAMPLE_BASE) + Hex("FD") + QByteArray(1, char(block.size())) + block;
        EXPECT_EQ(EncodeDeviceRecord(device).toHex(' '), expected.toHex(' '))
            << "selector " << int(c.Selector);
    }
}

TEST(SimRadioRecords, LongNamesAreCutToFitTheBlockLength) {
    SimRadioDevice device = SampleDevice();
    device.Name = QString(300, QLatin1Char('n'));
    device.Selector = 0x01;
    const QByteArray record = EncodeDeviceRecord(device);
    ASSERT_GT(record.size(), 38);
    EXPECT_EQ(quint8(record[36]), 0xFD);
    EXPECT_EQ(record.size(), 38 + quint8(record[37])) << "the length byte covers the whole block";
    EXPECT_EQ(record.right(16), Hex("06 02 0004 0203 FFFF 4C21 0000 0000 0405")) << "the counters survive";
}

TEST(SimRadioRecords, ZoneRecordIsPosIdLengthAndTypedElements) {
    SimZone zone;
    zone.ZoneID = 3;
    zone.Name = QStringLiteral("Hall");
    zone.AreaID = QStringLiteral("12");
    zone.ActivationOutput = Hex("FE0300000000000000");
    zone.AlarmOutputs[0] = Hex("00112233AABBCCDD01");
    zone.AlarmOutputReloadTime = 300;
    zone.FaultOutputReloadTime = 0x0102;
    zone.ZoneControlDelayReloadTime = 30;
    zone.AlarmLookupReloadTime = 60;
    zone.TwoSection = 1;
    zone.AutoAck = 0;
    zone.OutputDelay = 1;
    zone.ActivateAllSirens = 1;
    zone.Status = 2;
    const QByteArray none = Hex("000000000000000000");
    const QByteArray elements = Hex("00 04") + "Hall" + Hex("0D 02") + "12" +
                                Hex("01 09 FE0300000000000000") + Hex("02 09 00112233AABBCCDD01") +
                                Hex("03 09") + none + Hex("04 09") + none + Hex("05 09") + none +
                                Hex("06 02 012C 07 02 0102 08 02 001E 09 02 003C") +
                                Hex("0A 01 01 0B 01 00 0C 01 01 0E 01 01 0F 01 02");
    const QByteArray record = EncodeZoneRecord(2, zone);
    EXPECT_EQ(record.toHex(' '), (Hex("0002 03") + U16(quint16(elements.size())) + elements).toHex(' '));
    EXPECT_EQ(record.size(), elements.size() + 5);

    // The output references read back through the tool's own output text.
    EXPECT_EQ(OutputRef::FromBytes(zone.ActivationOutput).Text(), QStringLiteral("3"));
    EXPECT_EQ(OutputRef::FromBytes(zone.AlarmOutputs[0]).Text(), QStringLiteral("00112233AABBCCDD:1"));
}

TEST(SimRadioRecords, NeighborRouteAndTestRecordsHaveTheirFixedLayouts) {
    SimNeighbor neighbor{0x4C21, 0x7C3E, Hex("024F513700A10137"), 107, 2, 0x12, 3};
    EXPECT_EQ(EncodeNeighborRecord(neighbor), Hex("4C21 7C3E 024F513700A10137 6B 02 12 03"));
    EXPECT_EQ(EncodeRouteRecord(SimRoute{0x0000, 0xD104, 0x4C21, 4}), Hex("0000 D104 4C21 04"));
    SimRadioTest test;
    test.TestTimer = 0xFFFF, test.TestCount = 50, test.TestUnitNWK = 0x23F5, test.TestResults = 45;
    EXPECT_EQ(EncodeTestResultRecord(test), Hex("FFFF 0032 23F5 002D"));
}

TEST(SimRadioNetwork, DemoHasTheNetworkTheDemoSitePromises) {
    const SimRadioNetwork network = SimRadioNetwork::Demo();
    ASSERT_GE(network.Devices.size(), 12);
    QSet<int> hardware;
    int offline = 0;
    QSet<int> repeaterDepths;
    for (const SimRadioDevice& device : network.Devices) {
        hardware.insert(device.HW);
        offline += device.IsOnline() ? 0 : 1;
        if (device.IsRepeater()) {
            const SimRadioDevice* parent = network.FindDeviceByNwk(device.ParentNWK);
            repeaterDepths.insert(
                device.ParentNWK == 0 ? 1 : (parent != nullptr && parent->ParentNWK == 0 ? 2 : 3));
        }
    }
    EXPECT_TRUE(hardware.contains(1) && hardware.contains(2) && hardware.contains(5) && hardware.contains(6));
    EXPECT_EQ(offline, 1);
    EXPECT_EQ(repeaterDepths, (QSet<int>{1, 2}));
    EXPECT_EQ(network.Zones.size(), 4);
    EXPECT_FALSE(network.Neighbors.isEmpty());
    EXPECT_FALSE(network.Routes.isEmpty());
    EXPECT_NE(network.Test.TestTimer, 0);
    EXPECT_NE(network.Test.TestTimer, 0xFFFF);
}

TEST(SimRadioNetwork, DeviceListPagesByTheLastPositionUntilAnEmptyPage) {
    for (const int maxReply : {0, 120, 300, 1400}) {
        SimRadioNetwork network = SimRadioNetwork::Demo();
        // A gap in the table: positions are slots, not a count.
        network.ApplyWrite(SimRadioNetwork::KEY_DELETE_DEVICE, network.Devices[4].AddressText().toLatin1());
        QStringList expected;
        for (const SimRadioDevice& device : network.Devices)
            expected << device.AddressText();

        QStringList seen;
        quint16 position = 0;
        int pages = 0;
        for (; pages < 100; ++pages) {
            const std::optional<QByteArray> reply =
                network.AnswerRead(SimRadioNetwork::KEY_IEEE_UNITS, U16(position), maxReply);
            ASSERT_TRUE(reply);
            EXPECT_LE(reply->size(),
                      qMax(maxReply, SimRadioNetwork::MIN_REPLY_BYTES) + 200); // one record at most over
            const QByteArray page = OnlyValue(reply, SimRadioNetwork::KEY_IEEE_UNITS);
            if (page.isEmpty())
                break;
            quint16 lastPos = 0;
            for (qsizetype at = 0; at < page.size(); at += DeviceRecordLength(page, at)) {
                lastPos = quint16((quint8(page[at]) << 8) | quint8(page[at + 1]));
                seen << QString::fromLatin1(page.mid(at + 2, 8).toHex().toUpper());
            }
            position = quint16(lastPos + 1);
        }
        EXPECT_LT(pages, 100);
        EXPECT_EQ(seen, expected) << "max reply " << maxReply;
    }
}

TEST(SimRadioNetwork, ZoneCommandsFromTheZoneDialogChangeTheZoneList) {
    SimRadioNetwork network = SimRadioNetwork::Demo();
    // Rename zone 3 to Hall.
    EXPECT_TRUE(network.ApplyWrite(SimRadioNetwork::KEY_SET_ZONE, Hex("03 00 04") + "Hall"));
    EXPECT_EQ(network.FindZone(3)->Name, QStringLiteral("Hall"));
    // A new zone: six-letter name, auto restore, the four flags always present.
    EXPECT_TRUE(network.ApplyWrite(SimRadioNetwork::KEY_SET_ZONE,
                                   Hex("00 00 06") + "Garage" + Hex("0A 01 00 0B 01 01 0C 01 00 0E 01 00")));
    const SimZone* added = network.FindZone(5);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->Name, QStringLiteral("Garage"));
    EXPECT_EQ(added->AutoAck, 1);
    // Outputs: the unit's output 3, a device output, then clearing one; a time of 300 s.
    EXPECT_TRUE(network.ApplyWrite(SimRadioNetwork::KEY_SET_ZONE,
                                   Hex("05 01 02 FE03 02 09 00112233AABBCCDD01 06 02 012C")));
    EXPECT_EQ(OutputRef::FromBytes(added->ActivationOutput).Text(), QStringLiteral("3"));
    EXPECT_EQ(OutputRef::FromBytes(added->AlarmOutputs[0]).Text(), QStringLiteral("00112233AABBCCDD:1"));
    EXPECT_EQ(added->AlarmOutputReloadTime, 300);
    EXPECT_TRUE(network.ApplyWrite(SimRadioNetwork::KEY_SET_ZONE, Hex("05 02 02 0000")));
    EXPECT_EQ(OutputRef::FromBytes(added->AlarmOutputs[0]).Text(), QString());
    // An element that runs past the value is dropped, the ones before it stay.
    EXPECT_TRUE(network.ApplyWrite(SimRadioNetwork::KEY_SET_ZONE, Hex("05 0A 01 01 00 09") + "Ab"));
    EXPECT_EQ(network.FindZone(5)->TwoSection, 1);
    EXPECT_EQ(network.FindZone(5)->Name, QStringLiteral("Garage"));

    // The zone list reads back what was written.
    const QByteArray zones =
        OnlyValue(network.AnswerRead(SimRadioNetwork::KEY_ZONES, U16(0), 1400), SimRadioNetwork::KEY_ZONES);
    EXPECT_TRUE(zones.contains(EncodeZoneRecord(4, *network.FindZone(5))));

    network.ApplyWrite(SimRadioNetwork::KEY_ZONE_CONTROL, Hex("02 01"));
    EXPECT_EQ(network.FindZone(2)->Status, 1);
    network.ApplyWrite(SimRadioNetwork::KEY_DELETE_ZONE, Hex("02"));
    EXPECT_EQ(network.FindZone(2), nullptr);
    for (const SimRadioDevice& device : network.Devices)
        EXPECT_NE(device.ZoneID, 2) << "devices of a deleted zone are in no zone";
    network.ApplyWrite(SimRadioNetwork::KEY_DELETE_ZONE, Hex("FF"));
    EXPECT_TRUE(network.Zones.isEmpty());
    EXPECT_EQ(network.KeyValue(SimRadioNetwork::KEY_ZONE_COUNT), Hex("0000"));
}

TEST(SimRadioNetwork, DeviceCommandsChangeTheDevices) {
    SimRadioNetwork network = SimRadioNetwork::Demo();
    const SimRadioDevice& mini = network.Devices[9]; // a mini of hardware 5
    ASSERT_EQ(mini.HW, 5);
    const QByteArray miniAddress = mini.AddressText().toLatin1();
    const QByteArray detector = network.Devices[2].AddressText().toLatin1();
    const QByteArray all = "FFFFFFFFFFFFFFFF";

    network.ApplyWrite(SimRadioNetwork::KEY_DEVICE_PARAM, miniAddress + Hex("00") + "Port" + Hex("00"));
    EXPECT_EQ(mini.Name, QStringLiteral("Port"));
    network.ApplyWrite(SimRadioNetwork::KEY_DEVICE_PARAM, miniAddress + Hex("01 04"));
    EXPECT_EQ(mini.ZoneID, 4);
    network.ApplyWrite(SimRadioNetwork::KEY_DEVICE_PARAM, miniAddress + Hex("02 01"));
    EXPECT_EQ(mini.Disabled, 1);
    network.ApplyWrite(SimRadioNetwork::KEY_DEVICE_PARAM, miniAddress + Hex("03 01 06"));
    EXPECT_EQ(mini.InputTypes[1], 6);
    network.ApplyWrite(SimRadioNetwork::KEY_DEVICE_PARAM, all + Hex("04"));
    for (const SimRadioDevice& device : network.Devices)
        EXPECT_EQ(device.ComErrors, 0);

    network.ApplyWrite(SimRadioNetwork::KEY_CONTROL_OUTPUT, miniAddress + Hex("01 01 00 0A"));
    EXPECT_EQ(mini.ZigbeeStatus & 0x08, 0x08) << "output 2 on";
    network.ApplyWrite(SimRadioNetwork::KEY_ACTIVATE_SIREN, detector + Hex("001E"));
    EXPECT_EQ(network.Devices[2].ZigbeeStatus & 0x10, 0x10);
    network.AdvanceSeconds(31);
    EXPECT_EQ(network.Devices[2].ZigbeeStatus & 0x10, 0) << "the siren stops on its own";
    EXPECT_TRUE(network.Devices[2].IsOnline()) << "a device that checks in stays online";

    network.ApplyWrite(SimRadioNetwork::KEY_SIMULATE, detector + Hex("01 0546"));
    EXPECT_EQ(network.Devices[2].Battery, 1350);
    network.ApplyWrite(SimRadioNetwork::KEY_SIMULATE, detector + Hex("02 FC"));
    EXPECT_EQ(qint8(network.Devices[2].SpecVar[0] & 0xFF), -4);
    network.ApplyWrite(SimRadioNetwork::KEY_CLEAR_RESENDS, miniAddress + Hex("00 0A"));
    EXPECT_EQ(mini.Resends, 0);

    const qsizetype before = network.Devices.size();
    network.ApplyWrite(SimRadioNetwork::KEY_ADD_DEVICE, "00112233AABBCCDD");
    ASSERT_EQ(network.Devices.size(), before + 1);
    EXPECT_EQ(network.KeyValue(SimRadioNetwork::KEY_IEEE_UNITS_TOTAL), U16(quint16(before + 1)));
    network.ApplyWrite(SimRadioNetwork::KEY_DELETE_DEVICE, "00112233AABBCCDD");
    EXPECT_EQ(network.Devices.size(), before);
}

TEST(SimRadioNetwork, MalformedWritesAreAcknowledgedAndChangeNothing) {
    SimRadioNetwork network = SimRadioNetwork::Demo();
    const QByteArray before = QJsonDocument(network.ToJson()).toJson();
    const QByteArray address = network.Devices[0].AddressText().toLatin1();
    const QList<QPair<quint16, QByteArray>> writes = {
        {SimRadioNetwork::KEY_DELETE_DEVICE, "0011"},             // short address
        {SimRadioNetwork::KEY_DELETE_DEVICE, "00112233AABBCCZZ"}, // not hexadecimal
        {SimRadioNetwork::KEY_ADD_DEVICE, QByteArray()},
        {SimRadioNetwork::KEY_DEVICE_PARAM, address},                // no parameter
        {SimRadioNetwork::KEY_DEVICE_PARAM, address + Hex("03 07")}, // input index missing its type
        {SimRadioNetwork::KEY_ACTIVATE_SIREN, address + Hex("00")},  // seconds cut in half
        {SimRadioNetwork::KEY_SET_ZONE, QByteArray()},
        {SimRadioNetwork::KEY_SET_ZONE, Hex("FF 00 01 41")}, // not a zone id
        {SimRadioNetwork::KEY_ZONE_CONTROL, Hex("01")},
        {SimRadioNetwork::KEY_ZONE_CONTROL, Hex("01 09")},
        {SimRadioNetwork::KEY_TEST_PACKETS, address},
        {SimRadioNetwork::KEY_SIMULATE, address + Hex("01 05")},
        {SimRadioNetwork::KEY_DELETE_ZONE, QByteArray()},
    };
    for (const auto& write : writes)
        EXPECT_TRUE(network.ApplyWrite(write.first, write.second)) << write.first;
    EXPECT_EQ(QJsonDocument(network.ToJson()).toJson(), before);
    EXPECT_FALSE(network.ApplyWrite(0x0100, "x"));
}

TEST(SimRadioNetwork, NeighborAndRoutePollsCollectWhatWasAskedForOnce) {
    SimRadioNetwork network = SimRadioNetwork::Demo();
    const auto read = [&network](quint16 key) { return OnlyValue(network.AnswerRead(key, {}, 1400), key); };
    EXPECT_TRUE(read(SimRadioNetwork::KEY_NEIGHBORS).isEmpty()) << "nothing asked for yet";

    network.ApplyWrite(SimRadioNetwork::KEY_GET_NEIGHBORS, "0000000000000000");
    const QByteArray gateway = read(SimRadioNetwork::KEY_NEIGHBORS);
    ASSERT_FALSE(gateway.isEmpty());
    ASSERT_EQ(gateway.size() % 16, 0);
    for (qsizetype at = 0; at < gateway.size(); at += 16)
        EXPECT_EQ(gateway.mid(at, 2), Hex("0000")) << "only the gateway's table";
    EXPECT_TRUE(read(SimRadioNetwork::KEY_NEIGHBORS).isEmpty())
        << "handed over once, so the tool's poll ends";

    network.ApplyWrite(SimRadioNetwork::KEY_GET_ROUTES, "FFFFFFFFFFFFFFFF");
    QSet<QByteArray> owners;
    for (QByteArray routes; !(routes = read(SimRadioNetwork::KEY_ROUTES)).isEmpty();) {
        ASSERT_EQ(routes.size() % 7, 0);
        for (qsizetype at = 0; at < routes.size(); at += 7)
            owners.insert(routes.mid(at, 2));
    }
    EXPECT_EQ(owners, (QSet<QByteArray>{Hex("0000"), Hex("4C21"), Hex("9E07"), Hex("23F5"), Hex("B812")}));

    // A read that names a node answers at once and leaves the poll queue alone.
    const QByteArray direct = OnlyValue(
        network.AnswerRead(SimRadioNetwork::KEY_NEIGHBORS, network.Devices[0].AddressText().toLatin1(), 1400),
        SimRadioNetwork::KEY_NEIGHBORS);
    ASSERT_FALSE(direct.isEmpty());
    EXPECT_EQ(direct.left(2), Hex("4C21"));
}

TEST(SimRadioNetwork, RadioTestRunsFromStartToDoneAcrossPolls) {
    SimRadioNetwork network = SimRadioNetwork::Demo();
    const SimRadioDevice& repeater = network.Devices[0];
    network.ApplyWrite(SimRadioNetwork::KEY_TEST_PACKETS, repeater.AddressText().toLatin1() + Hex("000A"));
    QList<QByteArray> records;
    for (int poll = 0; poll < 10; ++poll)
        records << OnlyValue(network.AnswerRead(SimRadioNetwork::KEY_TEST_RESULTS, {}, 1400),
                             SimRadioNetwork::KEY_TEST_RESULTS);
    EXPECT_EQ(records[0], Hex("FFFF 000A") + U16(repeater.NWK) + Hex("0000")) << "just started";
    quint16 lastTimer = 0xFFFF, lastResults = 0;
    for (const QByteArray& record : records) {
        ASSERT_EQ(record.size(), 8);
        const quint16 timer = quint16((quint8(record[0]) << 8) | quint8(record[1]));
        const quint16 results = quint16((quint8(record[6]) << 8) | quint8(record[7]));
        EXPECT_LE(timer, lastTimer);
        EXPECT_GE(results, lastResults);
        EXPECT_LE(results, 10);
        lastTimer = timer, lastResults = results;
    }
    EXPECT_EQ(lastTimer, 0) << "done";
    EXPECT_GT(lastResults, 5) << "a strong repeater answers most packets";
}

TEST(SimRadioNetwork, StatusKeysCountDevicesAlarmsFaultsAndZones) {
    const SimRadioNetwork network = SimRadioNetwork::Demo();
    EXPECT_EQ(network.KeyValue(SimRadioNetwork::KEY_IEEE_UNITS_TOTAL), U16(quint16(network.Devices.size())));
    EXPECT_EQ(network.KeyValue(SimRadioNetwork::KEY_IEEE_UNITS_ALARM), U16(1)); // the open door
    EXPECT_EQ(network.KeyValue(SimRadioNetwork::KEY_IEEE_UNITS_FAULT), U16(2)); // low battery, offline
    EXPECT_EQ(network.KeyValue(SimRadioNetwork::KEY_ZONE_COUNT), U16(4));
    EXPECT_FALSE(network.KeyValue(105));
    EXPECT_FALSE(network.AnswerRead(0x00DD, {}, 1400));
}

TEST(SimRadioNetwork, MalformedReadsGetASoundAnswer) {
    const SimRadioNetwork network = SimRadioNetwork::Demo();
    // A position cut to one byte counts as the start; one past the table gives the end page.
    EXPECT_EQ(network.AnswerRead(SimRadioNetwork::KEY_IEEE_UNITS, Hex("00"), 1400),
              network.AnswerRead(SimRadioNetwork::KEY_IEEE_UNITS, Hex("0000"), 1400));
    EXPECT_EQ(network.AnswerRead(SimRadioNetwork::KEY_IEEE_UNITS, Hex("FFFF"), 1400), Hex("1023 0000"));
    EXPECT_EQ(network.AnswerRead(SimRadioNetwork::KEY_ZONES, Hex("0100"), 1400), Hex("1034 0000"));
    EXPECT_EQ(network.AnswerRead(SimRadioNetwork::KEY_NEIGHBORS, "garbage", 1400), Hex("1049 0000"));
    EXPECT_EQ(network.AnswerRead(SimRadioNetwork::KEY_GET_CHILDS, "short", 1400), Hex("102E 0000"));
    const QByteArray children =
        OnlyValue(network.AnswerRead(SimRadioNetwork::KEY_GET_CHILDS, "0000000000000000", 1400),
                  SimRadioNetwork::KEY_GET_CHILDS);
    EXPECT_TRUE(children.contains(Hex("4C21")) && children.contains(Hex("9E07")));
}

TEST(SimRadioNetwork, JsonRoundTripKeepsEverything) {
    SimRadioNetwork network = SimRadioNetwork::Demo();
    network.Devices[1].Ext = SimRadioDevice::ExtendedInfo;
    QString error;
    const std::optional<SimRadioNetwork> loaded = SimRadioNetwork::FromJson(network.ToJson(), &error);
    ASSERT_TRUE(loaded) << error.toStdString();
    EXPECT_EQ(loaded->ToJson(), network.ToJson());
    EXPECT_EQ(loaded->AnswerRead(SimRadioNetwork::KEY_IEEE_UNITS, U16(0), 1400),
              network.AnswerRead(SimRadioNetwork::KEY_IEEE_UNITS, U16(0), 1400));
}

TEST(SimRadioNetwork, JsonErrorsNameTheBadField) {
    const auto load = [](const char* json) {
        QString error;
        const auto network = SimRadioNetwork::FromJson(QJsonDocument::fromJson(json).object(), &error);
        EXPECT_FALSE(network);
        return error;
    };
    EXPECT_TRUE(load(R"({"Devices":[{"Address":"0011"}]})").contains(QStringLiteral("Address")));
    EXPECT_TRUE(
        load(R"({"Devices":[{"Address":"0011223344556677","HW":300}]})").contains(QStringLiteral("HW")));
    EXPECT_TRUE(load(R"({"Devices":[{"Address":"0011223344556677","Extension":"FC"}]})")
                    .contains(QStringLiteral("Extension")));
    EXPECT_TRUE(
        load(R"({"Devices":[{"Address":"0011223344556677","Pos":1},{"Address":"0011223344556678","Pos":1}]})")
            .contains(QStringLiteral("unique")));
    EXPECT_TRUE(load(R"({"Zones":[{"ZoneID":0}]})").contains(QStringLiteral("ZoneID")));
    EXPECT_TRUE(load(R"({"Devices":{}})").contains(QStringLiteral("Devices")));

    // Devices without a position take the free slots; tables come from the parents.
    QString error;
    const auto network = SimRadioNetwork::FromJson(
        QJsonDocument::fromJson(R"({"Devices":[{"Address":"0011223344556677","Pos":0,"NWK":"1234","HW":2,
            "TimeoutTimer":100},{"Address":"0011223344556678","NWK":"5678","ParentNWK":"1234","HW":1,
            "TimeoutTimer":100}]})")
            .object(),
        &error);
    ASSERT_TRUE(network) << error.toStdString();
    EXPECT_EQ(network->Devices[1].Pos, 1);
    EXPECT_FALSE(network->Routes.isEmpty());
}

TEST(SimRadioNetwork, RandomCommandsAndReadsKeepTheNetworkSound) {
    SimRadioNetwork network = SimRadioNetwork::Demo();
    QRandomGenerator random(42);
    const quint16 writes[] = {0x102C, 0x102D, 0x102F, 0x1033, 0x1035, 0x1036, 0x1037, 0x103E,
                              0x103F, 0x1040, 0x1041, 0x1042, 0x1048, 0x104A, 0x104B};
    const quint16 reads[] = {0x1023, 0x1034, 0x1049, 0x104C, 0x104D, 0x102E};
    const auto randomValue = [&random, &network]() {
        QByteArray value(random.bounded(24), '\0');
        for (char& byte : value)
            byte = char(random.bounded(256));
        // Half of them aimed at a real device, as the tool's commands are.
        if (random.bounded(2) == 0 && !network.Devices.isEmpty())
            value.prepend(
                network.Devices[random.bounded(int(network.Devices.size()))].AddressText().toLatin1());
        return value;
    };
    for (int round = 0; round < 3000; ++round) {
        EXPECT_TRUE(network.ApplyWrite(writes[random.bounded(int(std::size(writes)))], randomValue()));
        const quint16 key = reads[random.bounded(int(std::size(reads)))];
        const std::optional<QByteArray> reply = network.AnswerRead(key, randomValue(), random.bounded(2000));
        ASSERT_TRUE(reply);
        ASSERT_GE(reply->size(), 4);
        EXPECT_EQ(((quint8((*reply)[2]) << 8) | quint8((*reply)[3])) + 4, reply->size());
        if (round % 100 == 0)
            network.AdvanceSeconds(random.bounded(600));
    }
    // Whatever the commands did, the state still makes a valid site file.
    QString error;
    EXPECT_TRUE(SimRadioNetwork::FromJson(network.ToJson(), &error)) << error.toStdString();
}

// The tool's own parsers read what the simulator sends, page after page, into the unit model.
TEST(SimRadioNetwork, CoreParsersReadTheDemoNetworkBack) {
    SimRadioNetwork network = SimRadioNetwork::Demo();
    UnitInfoClass unit(QStringLiteral("00-1A-2B-3C-4D-5E"));
    RadioPayloadsClass radio;
    QList<quint16> asked;
    QObject::connect(&radio, &RadioPayloadsClass::requestShortKey, [&asked](quint16 key, quint16 position) {
        if (key == RadioPayloadsClass::KEY_IEEE_UNITS)
            asked << position;
    });
    quint16 position = 0;
    for (int page = 0; page < 50; ++page) {
        const QByteArray value =
            OnlyValue(network.AnswerRead(SimRadioNetwork::KEY_IEEE_UNITS, U16(position), 300), 0x1023);
        const qsizetype before = asked.size();
        radio.ParseIEEEUnits(unit, int(value.size()), value);
        if (asked.size() == before)
            break;
        position = asked.last();
    }
    ASSERT_EQ(unit.Devices.size(), network.Devices.size());
    for (const SimRadioDevice& sim : network.Devices) {
        const IEEEObjectClass* device = unit.FindUnitIEEEByAddress(sim.AddressText());
        ASSERT_NE(device, nullptr) << sim.AddressText().toStdString();
        const std::string name = sim.Name.toStdString();
        EXPECT_EQ(device->NWK, sim.NWK) << name;
        EXPECT_EQ(device->ParentNWK, sim.ParentNWK) << name;
        EXPECT_EQ(device->ZigbeeStatus, sim.ZigbeeStatus) << name;
        EXPECT_EQ(device->RSSIbase, sim.RSSIbase) << name;
        EXPECT_EQ(device->RSSIdet, sim.RSSIdet) << name;
        EXPECT_EQ(device->Battery, sim.Battery) << name;
        EXPECT_EQ(device->TimeoutTimer, sim.TimeoutTimer) << name;
        EXPECT_EQ(device->Resends, sim.Resends) << name;
        EXPECT_EQ(device->PollTime, sim.PollTime) << name;
        EXPECT_EQ(device->HW, sim.HW) << name;
        EXPECT_EQ(device->spec_var[0], sim.SpecVar[0]) << name;
        if (sim.Ext == SimRadioDevice::NoExtension)
            continue;
        EXPECT_EQ(device->Name, sim.Name) << name;
        EXPECT_EQ(device->ZoneID, sim.ZoneID) << name;
        EXPECT_EQ(device->AlarmStatus, sim.AlarmStatus) << name;
        if (sim.Ext == SimRadioDevice::ExtendedInfo || sim.Selector < 0x80) {
            EXPECT_EQ(device->InputTypes[0], sim.InputTypes[0]) << name;
            EXPECT_EQ(device->InputTypes[1], sim.InputTypes[1]) << name;
            EXPECT_EQ(device->spec_var[1], sim.SpecVar[1]) << name;
        }
        if (sim.Ext == SimRadioDevice::ExtendedPayload) {
            EXPECT_EQ(device->Power, sim.Power) << name;
            EXPECT_EQ(device->ComErrors, sim.ComErrors) << name;
            EXPECT_EQ(device->Joins, sim.Joins) << name;
            for (int i = 0; i < 4; ++i)
                EXPECT_EQ(device->ParentList[i], sim.ParentList[i]) << name;
        }
    }
    const IEEEObjectClass* freezer = unit.FindUnitIEEEByAddress(network.Devices[10].AddressText());
    EXPECT_EQ(freezer->SpecVariableString, QStringLiteral("In 1: -18C. In 2: 4C"));

    // Zones.
    const QByteArray zones = OnlyValue(network.AnswerRead(SimRadioNetwork::KEY_ZONES, U16(0), 1400), 0x1034);
    radio.ParseZones(unit, int(zones.size()), zones);
    ASSERT_EQ(unit.Zones.size(), network.Zones.size());
    for (const SimZone& sim : network.Zones) {
        const ZoneObjectClass* zone = unit.FindZoneObject(QString::number(sim.ZoneID));
        ASSERT_NE(zone, nullptr);
        EXPECT_EQ(zone->Name, sim.Name);
        EXPECT_EQ(zone->AreaID, sim.AreaID);
        EXPECT_EQ(zone->Status, sim.Status);
        EXPECT_EQ(zone->ActivationOutput, OutputRef::FromBytes(sim.ActivationOutput));
        EXPECT_EQ(zone->AlarmOutputs[0], OutputRef::FromBytes(sim.AlarmOutputs[0]));
        EXPECT_EQ(zone->AlarmOutputs[1], OutputRef::FromBytes(sim.AlarmOutputs[1]));
        EXPECT_EQ(zone->FaultOutputs[0], OutputRef::FromBytes(sim.FaultOutputs[0]));
        EXPECT_EQ(zone->AlarmOutputReloadTime, sim.AlarmOutputReloadTime);
        EXPECT_EQ(zone->FaultOutputReloadTime, sim.FaultOutputReloadTime);
        EXPECT_EQ(zone->ZoneControlDelayReloadTime, sim.ZoneControlDelayReloadTime);
        EXPECT_EQ(zone->AlarmLookupReloadTime, sim.AlarmLookupReloadTime);
        EXPECT_EQ(zone->TwoSection, sim.TwoSection);
        EXPECT_EQ(zone->AutoAck, sim.AutoAck);
        EXPECT_EQ(zone->OutputDelay, sim.OutputDelay);
        EXPECT_EQ(zone->ActivateAllSirens, sim.ActivateAllSirens);
    }

    // Neighbor and route tables of every router, and the running test.
    network.ApplyWrite(SimRadioNetwork::KEY_GET_NEIGHBORS, "FFFFFFFFFFFFFFFF");
    network.ApplyWrite(SimRadioNetwork::KEY_GET_ROUTES, "FFFFFFFFFFFFFFFF");
    for (int poll = 0; poll < 10; ++poll) {
        const QByteArray neighbors =
            OnlyValue(network.AnswerRead(SimRadioNetwork::KEY_NEIGHBORS, {}, 200), 0x1049);
        radio.ParseNeighbors(unit, int(neighbors.size()), neighbors);
        const QByteArray routes = OnlyValue(network.AnswerRead(SimRadioNetwork::KEY_ROUTES, {}, 200), 0x104C);
        radio.ParseRoutes(unit, int(routes.size()), routes);
    }
    EXPECT_EQ(unit.Neighbors.size(), network.Neighbors.size());
    EXPECT_EQ(unit.Routes.size(), network.Routes.size());
    for (const SimNeighbor& sim : network.Neighbors) {
        const NeighborObjectClass* neighbor = unit.FindNeighbor(sim.OwnerNWK, sim.NeighborNWK);
        ASSERT_NE(neighbor, nullptr);
        EXPECT_EQ(neighbor->rxLqi, sim.rxLqi);
        EXPECT_EQ(neighbor->type, sim.type);
        EXPECT_EQ(neighbor->extID, QString::fromLatin1(sim.Ieee.toHex(' ').toUpper()));
    }
    for (const SimRoute& sim : network.Routes)
        EXPECT_NE(unit.FindRoute(sim.OwnerNWK, sim.DestNWK, sim.HopNWK), nullptr);

    RadioTestResult received;
    QObject::connect(&radio, &RadioPayloadsClass::testResultReceived,
                     [&received](const QString&, const RadioTestResult& result) { received = result; });
    const SimRadioTest before = network.Test;
    const QByteArray test = OnlyValue(network.AnswerRead(SimRadioNetwork::KEY_TEST_RESULTS, {}, 200), 0x104D);
    radio.ParseTestResults(unit, int(test.size()), test);
    EXPECT_EQ(received.TestTimer, before.TestTimer);
    EXPECT_EQ(received.TestCount, before.TestCount);
    EXPECT_EQ(received.TestUnitNWK, before.TestUnitNWK);
    EXPECT_EQ(received.TestResults, before.TestResults);
}
