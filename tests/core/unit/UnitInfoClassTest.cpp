#include "core/unit/UnitInfoClass.h"

#include "support/TempHome.h"

#include <QObject>
#include <gtest/gtest.h>
#include <vector>

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

std::vector<int> KeyIds(const UnitInfoClass& unit) {
    std::vector<int> ids;
    for (const KeyObjectClass* key : unit.Keys)
        ids.push_back(key->Id);
    return ids;
}

const std::vector<int> INPUT_KEY_IDS = {150, 151, 152, 153, 154, 155, 156, 157, 158, 159, 168};

} // namespace

TEST(UnitInfoClass, StartsEmpty) {
    UnitInfoClass unit(S("00-1E-C0-AA-BB-CC"));
    EXPECT_EQ(unit.Mac, S("00-1E-C0-AA-BB-CC"));
    EXPECT_TRUE(unit.RemoteIP.isEmpty());
    EXPECT_EQ(unit.SocketType, 0);
    EXPECT_EQ(unit.ProductCode, 0);
    EXPECT_TRUE(unit.Keys.isEmpty());
    EXPECT_TRUE(unit.Inputs.isEmpty());
    EXPECT_TRUE(unit.Devices.isEmpty());
    EXPECT_TRUE(unit.Zones.isEmpty());
    EXPECT_TRUE(unit.EventLog.isEmpty());
    EXPECT_TRUE(unit.Neighbors.isEmpty());
    EXPECT_TRUE(unit.Routes.isEmpty());
    EXPECT_EQ(UnitInfoClass::PRODUCT_RDM22SMS, 1);
    EXPECT_EQ(UnitInfoClass::PRODUCT_Q7_DEVICE, 5);
}

TEST(UnitInfoClass, SetKeyValueAddsOnceAndKeepsFirstArrivalOrder) {
    LogCapture log;
    UnitInfoClass unit(S("00-00-00-00-00-01"));
    unit.SetKeyValue(42, 9006);
    ASSERT_EQ(unit.Keys.size(), 1);
    KeyObjectClass* key = unit.FindKey(42);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Value, 9006);
    EXPECT_TRUE(key->Data.isEmpty());
    EXPECT_EQ(&key->Unit, &unit);

    unit.SetKeyValue(42, 9000);
    EXPECT_EQ(unit.Keys.size(), 1);
    EXPECT_EQ(unit.FindKey(42), key);
    EXPECT_EQ(key->Value, 9000);

    // An id the key table does not know is stored like any other.
    unit.SetKeyValue(77, 3);
    const unsigned char ip[] = {10, 0, 0, 1};
    unit.SetKeyData(1, ip, 4);
    unit.SetKeyValue(77, 4);
    unit.SetKeyValue(4, 1);
    EXPECT_EQ(KeyIds(unit), (std::vector<int>{42, 77, 1, 4}));
    EXPECT_EQ(unit.FindKey(77)->Value, 4);
    EXPECT_EQ(unit.FindKey(12), nullptr);

    // The model never creates editors; the settings view does, and announces them itself.
    for (const KeyObjectClass* k : unit.Keys)
        EXPECT_TRUE(k->Editor.isNull()) << k->Id;
    for (const QString& line : log.lines())
        EXPECT_FALSE(line.startsWith(S("Component Created"))) << line.toStdString();
}

TEST(UnitInfoClass, EditorReferenceDoesNotOwn) {
    UnitInfoClass unit(S("00-00-00-00-00-02"));
    unit.SetKeyValue(4, 0);
    KeyObjectClass* key = unit.FindKey(4);
    {
        QObject editor;
        key->Editor = &editor;
        EXPECT_EQ(key->Editor.data(), &editor);
    }
    EXPECT_TRUE(key->Editor.isNull());
}

TEST(UnitInfoClass, SetKeyDataCopiesBytesAndLogsThem) {
    LogCapture log;
    UnitInfoClass unit(S("00-00-00-00-00-03"));
    unsigned char mac[] = {0x02, 0x3C, 0xA7, 0x00, 0x00, 0x01};
    unit.SetKeyData(5, mac, 6);
    EXPECT_TRUE(log.contains(S("Add KeyItem: 5. Var: 02 3C A7 00 00 01 ")));
    KeyObjectClass* key = unit.FindKey(5);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Data, QByteArray::fromHex("023CA7000001"));
    EXPECT_EQ(key->Length, 6);
    EXPECT_EQ(key->Value, 0);

    mac[0] = 0xFF; // the record holds its own copy
    EXPECT_EQ(key->Data.at(0), 0x02);

    // A second report replaces the bytes, keeps the record and leaves Value alone.
    key->Value = 17;
    const unsigned char shorter[] = {0xAB};
    unit.SetKeyData(5, shorter, 1);
    EXPECT_EQ(unit.Keys.size(), 1);
    EXPECT_EQ(unit.FindKey(5), key);
    EXPECT_EQ(key->Data, QByteArray::fromHex("AB"));
    EXPECT_EQ(key->Length, 1);
    EXPECT_EQ(key->Value, 17);

    unit.SetKeyData(5, QByteArray::fromHex("0102"));
    EXPECT_TRUE(log.contains(S("Add KeyItem: 5. Var: 01 02 ")));
    EXPECT_EQ(key->Length, 2);

    // Text buffers have a log line of their own; an empty value is still a value.
    unit.SetKeyData(21, "in", 2);
    EXPECT_TRUE(log.contains(S("Add KeyItem (const): 21. Var: 69 6E ")));
    unit.SetKeyData(4099, static_cast<const unsigned char*>(nullptr), 0);
    EXPECT_TRUE(log.contains(S("Add KeyItem: 4099. Var: ")));
    ASSERT_NE(unit.FindKey(4099), nullptr);
    EXPECT_EQ(unit.FindKey(4099)->Length, 0);

    // A negative length never reads.
    unit.SetKeyData(21, "xyz", -1);
    EXPECT_TRUE(unit.FindKey(21)->Data.isEmpty());
    EXPECT_EQ(unit.FindKey(21)->Length, 0);
}

TEST(UnitInfoClass, InputsGetElevenKeyRecordsEach) {
    LogCapture log;
    UnitInfoClass unit(S("00-00-00-00-00-04"));
    unit.SetKeyValue(1, 0);

    InputObjectClass* input1 = unit.FindOrAddInput(S("1"));
    ASSERT_NE(input1, nullptr);
    EXPECT_EQ(input1->Address, S("1"));
    EXPECT_TRUE(input1->Text.isEmpty());
    EXPECT_TRUE(input1->Info.isEmpty());
    for (int32_t field : {input1->Type, input1->Balance, input1->MaxTemp, input1->MinTemp, input1->Delay,
                          input1->Status, input1->Analog})
        EXPECT_EQ(field, 0xFFFF);
    EXPECT_EQ(log.count(S("New input object. Address: 1")), 1);
    EXPECT_TRUE(log.contains(S("Add KeyItem (const): 168. Var: 31 ")));

    std::vector<int> expected = {1};
    expected.insert(expected.end(), INPUT_KEY_IDS.begin(), INPUT_KEY_IDS.end());
    EXPECT_EQ(KeyIds(unit), expected);
    for (int id : INPUT_KEY_IDS) {
        KeyObjectClass* key = unit.FindInputKey(id, S("1"));
        ASSERT_NE(key, nullptr) << id;
        EXPECT_EQ(key->Data, QByteArray("1"));
        EXPECT_EQ(key->Length, 1);
    }

    // The same address again: same record, no second log line, no new keys.
    EXPECT_EQ(unit.FindOrAddInput(S("1")), input1);
    EXPECT_EQ(log.count(S("New input object. Address: 1")), 1);
    EXPECT_EQ(unit.Keys.size(), 12);

    InputObjectClass* input2 = unit.FindOrAddInput(S("2"));
    EXPECT_NE(input2, input1);
    EXPECT_EQ(unit.Keys.size(), 23);
    EXPECT_EQ(unit.Inputs.size(), 2);
    EXPECT_EQ(unit.Inputs.at(0), input1);
    EXPECT_EQ(unit.Inputs.at(1), input2);
    EXPECT_EQ(unit.FindInput(S("2")), input2);
    EXPECT_EQ(unit.FindInput(S("3")), nullptr);

    // Input key records are told apart by their address; plain FindKey gives the first one.
    KeyObjectClass* key151of1 = unit.FindInputKey(151, S("1"));
    KeyObjectClass* key151of2 = unit.FindInputKey(151, S("2"));
    ASSERT_NE(key151of2, nullptr);
    EXPECT_NE(key151of1, key151of2);
    EXPECT_EQ(unit.FindKey(151), key151of1);
    EXPECT_EQ(unit.FindInputKey(151, S("3")), nullptr);
    EXPECT_EQ(unit.FindInputKey(160, S("1")), nullptr);

    // SetKeyData for an input key finds the record by id and address and replaces its bytes.
    unit.SetKeyData(151, "1", 1);
    EXPECT_EQ(unit.Keys.size(), 23);
    EXPECT_EQ(unit.FindInputKey(151, S("1")), key151of1);
    EXPECT_EQ(key151of1->Data, QByteArray("1"));

    // An input key for an address without an input gets a record of its own but no input.
    unit.SetKeyData(151, "7", 1);
    EXPECT_EQ(unit.Keys.size(), 24);
    EXPECT_EQ(unit.Inputs.size(), 2);
    EXPECT_NE(unit.FindInputKey(151, S("7")), nullptr);
}

TEST(UnitInfoClass, InputKeyLookupNeverReturnsARecordWhoseAddressChanged) {
    UnitInfoClass unit(S("00-00-00-00-00-05"));
    unit.FindOrAddInput(S("1"));
    unit.FindOrAddInput(S("2"));
    KeyObjectClass* key = unit.FindInputKey(152, S("1"));
    ASSERT_NE(key, nullptr);
    key->Data = QByteArray("9");
    EXPECT_EQ(unit.FindInputKey(152, S("1")), nullptr);
    EXPECT_EQ(unit.FindInputKey(152, S("9")), key);
    EXPECT_EQ(unit.FindInputKey(152, S("2"))->Data, QByteArray("2"));
}

TEST(UnitInfoClass, DevicesByAddressAndNwk) {
    LogCapture log;
    UnitInfoClass unit(S("00-00-00-00-00-06"));
    IEEEObjectClass* a = unit.FindOrAddDevice(S("00112233AABBCCDD"));
    EXPECT_TRUE(log.contains(S("New IEEE object. Address: 00112233AABBCCDD")));
    EXPECT_EQ(a->Address, S("00112233AABBCCDD"));
    EXPECT_EQ(a->NWK, 0);
    EXPECT_TRUE(a->Name.isEmpty());
    EXPECT_EQ(a->ParentList[3], 0);
    a->NWK = 0x00A3;
    IEEEObjectClass* b = unit.FindOrAddDevice(S("0011223344556677"));
    b->NWK = 0x00A3;
    IEEEObjectClass* c = unit.FindOrAddDevice(S("8877665544332211"));
    c->NWK = 0xBEEF;

    EXPECT_EQ(unit.FindOrAddDevice(S("00112233AABBCCDD")), a);
    EXPECT_EQ(log.count(S("New IEEE object. Address: 00112233AABBCCDD")), 1);
    EXPECT_EQ(unit.Devices.size(), 3);

    EXPECT_EQ(unit.FindUnitIEEEByAddress(S("8877665544332211")), c);
    EXPECT_EQ(unit.FindUnitIEEEByAddress(S("8877665544332211 ")), nullptr);
    EXPECT_EQ(unit.FindUnitIEEEByAddress(S("00112233aabbccdd")), nullptr);

    EXPECT_EQ(unit.FindUnitIEEE(S("00A3")), a); // the first of two with the same NWK
    EXPECT_EQ(unit.FindUnitIEEE(S("00a3")), nullptr);
    EXPECT_EQ(unit.FindUnitIEEE(S("A3")), nullptr);
    EXPECT_EQ(unit.FindUnitIEEE(S("000A3")), nullptr);
    EXPECT_EQ(unit.FindUnitIEEE(S("BEEF")), c);
    EXPECT_EQ(unit.FindUnitIEEE(S("0000")), nullptr);
    EXPECT_EQ(unit.FindUnitIEEE(S("ALL")), nullptr);

    unit.ClearDevices();
    EXPECT_TRUE(unit.Devices.isEmpty());
    EXPECT_EQ(unit.FindUnitIEEE(S("BEEF")), nullptr);
    unit.FindOrAddDevice(S("00112233AABBCCDD"));
    EXPECT_EQ(log.count(S("New IEEE object. Address: 00112233AABBCCDD")), 2);
}

TEST(UnitInfoClass, ZonesByIdNameAndArea) {
    LogCapture log;
    UnitInfoClass unit(S("00-00-00-00-00-07"));
    ZoneObjectClass* five = unit.FindOrAddZone(5);
    EXPECT_TRUE(log.contains(S("New Zone object. ZoneID: 5")));
    EXPECT_EQ(five->ZoneID, 5);
    EXPECT_TRUE(five->ActivationOutput.IsNone());
    EXPECT_EQ(five->AlarmLookupReloadTime, 0);
    five->Name = S("Hall");
    five->AreaID = S("Ground floor");
    EXPECT_EQ(unit.FindOrAddZone(5), five);
    EXPECT_EQ(log.count(S("New Zone object. ZoneID: 5")), 1);

    unit.FindOrAddZone(255)->Name = S("Broadcast");
    unit.FindOrAddZone(0)->Name = S("None");

    EXPECT_EQ(unit.GetZoneName(5), S("Hall"));
    EXPECT_EQ(unit.GetZoneArea(5), S("Ground floor"));
    EXPECT_EQ(unit.GetZoneName(255), QString());
    EXPECT_EQ(unit.GetZoneArea(255), QString());
    EXPECT_EQ(unit.GetZoneName(0), QString());
    EXPECT_EQ(unit.GetZoneName(6), QString());

    EXPECT_EQ(unit.FindZoneObject(S("5")), five);
    EXPECT_EQ(unit.FindZoneObject(S("05")), nullptr);
    EXPECT_EQ(unit.FindZoneObject(S("")), nullptr);
    EXPECT_NE(unit.FindZoneObject(S("255")), nullptr);

    unit.ClearZones();
    EXPECT_TRUE(unit.Zones.isEmpty());
    EXPECT_EQ(unit.FindZoneObject(S("5")), nullptr);
}

TEST(UnitInfoClass, DeleteNeighborsAndRoutesByNodeText) {
    struct Case {
        const char* Node;
        std::vector<std::pair<int, int>> NeighborsLeft; // (owner, neighbor)
        std::vector<int> RouteOwnersLeft;
    } cases[] = {
        {"ALL", {}, {}},
        {"GATEWAY", {{0x0000, 0x00A3}, {0x00A3, 0x1234}}, {0x00A3, 0x1234}},
        {"00A3", {{0x00A3, 0x0000}, {0x00A3, 0x1234}, {0x1234, 0x0000}}, {0x0000, 0x1234}},
        {"00a3",
         {{0x0000, 0x00A3}, {0x00A3, 0x0000}, {0x00A3, 0x1234}, {0x1234, 0x0000}},
         {0x0000, 0x00A3, 0x1234}},
        {"1234", {{0x0000, 0x00A3}, {0x00A3, 0x0000}, {0x1234, 0x0000}}, {0x0000, 0x00A3}},
        {"",
         {{0x0000, 0x00A3}, {0x00A3, 0x0000}, {0x00A3, 0x1234}, {0x1234, 0x0000}},
         {0x0000, 0x00A3, 0x1234}},
    };
    for (const Case& c : cases) {
        UnitInfoClass unit(S("00-00-00-00-00-08"));
        unit.FindOrAddNeighbor(0x0000, 0x00A3);
        unit.FindOrAddNeighbor(0x00A3, 0x0000);
        unit.FindOrAddNeighbor(0x00A3, 0x1234);
        unit.FindOrAddNeighbor(0x1234, 0x0000);
        unit.FindOrAddRoute(0x0000, 0x1234, 0x00A3);
        unit.FindOrAddRoute(0x00A3, 0x1234, 0x1234);
        unit.FindOrAddRoute(0x1234, 0x0000, 0x00A3);
        unit.DeleteNeighbors(S(c.Node));
        unit.DeleteRoutes(S(c.Node));

        std::vector<std::pair<int, int>> neighbors;
        for (const NeighborObjectClass* n : unit.Neighbors)
            neighbors.emplace_back(n->OwnerNWK, n->NeighborNWK);
        std::vector<int> routeOwners;
        for (const RouteObjectClass* r : unit.Routes)
            routeOwners.push_back(r->OwnerNWK);
        EXPECT_EQ(neighbors, c.NeighborsLeft) << c.Node;
        EXPECT_EQ(routeOwners, c.RouteOwnersLeft) << c.Node;
    }
}

TEST(UnitInfoClass, NeighborAndRouteIdentity) {
    UnitInfoClass unit(S("00-00-00-00-00-09"));
    NeighborObjectClass* n = unit.FindOrAddNeighbor(1, 2);
    n->rxLqi = 200;
    EXPECT_EQ(unit.FindOrAddNeighbor(1, 2), n);
    EXPECT_NE(unit.FindOrAddNeighbor(2, 1), n);
    EXPECT_EQ(unit.Neighbors.size(), 2);
    EXPECT_EQ(unit.FindNeighbor(1, 2)->rxLqi, 200);

    RouteObjectClass* r = unit.FindOrAddRoute(1, 2, 3);
    EXPECT_EQ(unit.FindOrAddRoute(1, 2, 3), r);
    EXPECT_NE(unit.FindOrAddRoute(1, 2, 4), r);
    EXPECT_EQ(unit.Routes.size(), 2);
    EXPECT_EQ(unit.FindRoute(1, 3, 2), nullptr);
}

TEST(UnitInfoClass, NodeTexts) {
    EXPECT_EQ(NwkText(0x00A3), S("00A3"));
    EXPECT_EQ(NwkText(0xBEEF), S("BEEF"));
    NodeSelection selection;
    EXPECT_TRUE(ParseNodeSelection(S("BEEF"), selection));
    EXPECT_EQ(selection.Nwk, 0xBEEF);
    EXPECT_FALSE(selection.All);
    EXPECT_TRUE(ParseNodeSelection(S("GATEWAY"), selection));
    EXPECT_EQ(selection.Nwk, 0);
    EXPECT_TRUE(ParseNodeSelection(S("ALL"), selection));
    EXPECT_TRUE(selection.All);
    EXPECT_FALSE(ParseNodeSelection(S("beef"), selection));
    EXPECT_FALSE(ParseNodeSelection(S("all"), selection));
    EXPECT_FALSE(ParseNodeSelection(S("12345"), selection));
}
