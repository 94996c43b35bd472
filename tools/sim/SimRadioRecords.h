#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <array>
#include <optional>

// The records a unit keeps about its wireless network, and their wire encodings. All numbers in
// the radio payloads are big-endian.

// One wireless device as the unit's device table holds it.
struct SimRadioDevice {
    // Which extension follows the 36-byte base record: none (old radio firmware), the extended
    // info block 0xFE (zone, input types and name), or the extended payload block 0xFD (zone,
    // power, name, then what the selector announces).
    enum Extension : quint8 { NoExtension = 0x00, ExtendedPayload = 0xFD, ExtendedInfo = 0xFE };

    quint16 Pos = 0; // slot in the unit's table; the paging key, slots may have gaps
    QByteArray Ieee; // 8 bytes, most significant first
    quint16 NWK = 0;
    quint16 ParentNWK = 0;
    quint8 ZigbeeStatus = 0;
    qint8 RSSIbase = 0;
    qint8 RSSIdet = 0;
    quint16 Battery = 0;
    quint16 Power = 0;
    quint32 TimeoutTimer = 0; // 24 bits on the wire; 0 = offline
    quint16 Resends = 0;
    quint16 PollTime = 0;
    quint8 EndPoint = 1;
    quint8 SensorKind = 0xFF; // 0-2: spec_var[0] holds a temperature; anything else: it does not
    std::array<quint16, 2> SpecVar{};
    quint8 HW = 0;
    quint8 SWHigh = 0;
    quint8 SWLow = 0;
    quint8 SWYear = 0;
    quint8 SWMonth = 0;
    quint8 SWDay = 0;
    quint8 ZoneID = 0;
    quint8 Disabled = 0;
    std::array<quint8, 2> InputTypes{};
    quint8 AlarmStatus = 0;
    quint16 ComErrors = 0;
    quint16 Joins = 0;
    std::array<quint16, 4> ParentList{}; // 0 = empty slot, 0xFFFF = the gateway
    QString Name;
    Extension Ext = ExtendedPayload;
    // Selector after the name in the 0xFD block: 0x1E nothing more; below 0x80 the mini block
    // (input types, spec_var[1]) and, unless 0, the counters; 0x80 and above the counters only.
    quint8 Selector = 0x80;
    quint16 SirenSecondsLeft = 0; // not on the wire: how long an activated siren keeps sounding

    QString AddressText() const; // 16 upper-case hexadecimal digits
    bool IsRepeater() const { return HW == 2 || HW == 4 || HW == 6; }
    bool IsMini() const { return HW == 5 || HW == 6; }
    bool IsOnline() const { return TimeoutTimer != 0; }
};

// One zone with the typed elements the unit reports and the zone dialog writes.
struct SimZone {
    quint8 ZoneID = 0;
    QString Name;
    QString AreaID;
    QByteArray ActivationOutput = QByteArray(9, '\0'); // 9-byte output reference
    std::array<QByteArray, 2> AlarmOutputs{QByteArray(9, '\0'), QByteArray(9, '\0')};
    std::array<QByteArray, 2> FaultOutputs{QByteArray(9, '\0'), QByteArray(9, '\0')};
    quint16 AlarmOutputReloadTime = 0;
    quint16 FaultOutputReloadTime = 0;
    quint16 ZoneControlDelayReloadTime = 0;
    quint16 AlarmLookupReloadTime = 0;
    quint8 TwoSection = 0;
    quint8 AutoAck = 0;
    quint8 OutputDelay = 0;
    quint8 ActivateAllSirens = 0;
    quint8 Status = 1; // 0 not used, 1 disarmed, 2 armed, 3 armed home

    // Applies one element (type, data) as the zone dialog writes it; unknown types are ignored.
    void ApplyElement(quint8 type, const QByteArray& data);
};

struct SimNeighbor {
    quint16 OwnerNWK = 0;
    quint16 NeighborNWK = 0;
    QByteArray Ieee; // 8 bytes
    quint8 rxLqi = 0;
    quint8 depth = 0;
    quint8 type = 0; // bits 0-1 device type, bits 4-7 relation
    quint8 age = 0;
};

struct SimRoute {
    quint16 OwnerNWK = 0;
    quint16 DestNWK = 0;
    quint16 HopNWK = 0;
    quint8 status = 1; // RT_ACTIVE
};

// The radio test the gateway runs against one node.
struct SimRadioTest {
    quint16 TestTimer = 0; // 0xFFFF just started, 0 done, else seconds left
    quint16 TestCount = 0;
    quint16 TestUnitNWK = 0;
    quint16 TestResults = 0;
    quint16 PacketsSent = 0; // how many of TestCount went out so far
    quint16 PacketsPerReport = 3;
    quint8 LossPercent = 8; // share of test packets that do not come back
};

// The bytes cut or zero-padded to size (addresses are 8 bytes, output references 9).
QByteArray SimPadded(const QByteArray& bytes, int size);

// Wire encodings (one record each).
QByteArray EncodeDeviceRecord(const SimRadioDevice& device);
QByteArray EncodeZoneRecord(quint16 pos, const SimZone& zone);
QByteArray EncodeZoneElements(const SimZone& zone);
QByteArray EncodeNeighborRecord(const SimNeighbor& neighbor);
QByteArray EncodeRouteRecord(const SimRoute& route);
QByteArray EncodeTestResultRecord(const SimRadioTest& test);

// JSON forms used by site files. Addresses and NWKs are hexadecimal texts so a site file reads
// like the tool's lists.
QJsonObject DeviceToJson(const SimRadioDevice& device);
std::optional<SimRadioDevice> DeviceFromJson(const QJsonObject& json, QString* error);
QJsonObject ZoneToJson(const SimZone& zone);
std::optional<SimZone> ZoneFromJson(const QJsonObject& json, QString* error);
QJsonObject NeighborToJson(const SimNeighbor& neighbor);
std::optional<SimNeighbor> NeighborFromJson(const QJsonObject& json, QString* error);
QJsonObject RouteToJson(const SimRoute& route);
std::optional<SimRoute> RouteFromJson(const QJsonObject& json, QString* error);
QJsonObject RadioTestToJson(const SimRadioTest& test);
std::optional<SimRadioTest> RadioTestFromJson(const QJsonObject& json, QString* error);
