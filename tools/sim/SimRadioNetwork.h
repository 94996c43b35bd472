#pragma once

#include "sim/SimRadioRecords.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// A unit's wireless network: devices, zones, neighbor and route tables and a radio test. It
// answers the radio list reads, applies the device and zone commands and reports the radio
// status keys. Reading the neighbor, route and test-result keys drains what the radio has
// collected since the last read, as the unit's own buffers do, so those reads change state.
class SimRadioNetwork {
public:
    // Read keys.
    static constexpr quint16 KEY_IEEE_UNITS = 0x1023;
    static constexpr quint16 KEY_ZONES = 0x1034;
    static constexpr quint16 KEY_NEIGHBORS = 0x1049;
    static constexpr quint16 KEY_ROUTES = 0x104C;
    static constexpr quint16 KEY_TEST_RESULTS = 0x104D;
    static constexpr quint16 KEY_GET_CHILDS = 0x102E;
    // Written commands.
    static constexpr quint16 KEY_ADD_DEVICE = 0x102C;
    static constexpr quint16 KEY_DELETE_DEVICE = 0x102D;
    static constexpr quint16 KEY_ACTIVATE_SIREN = 0x102F;
    static constexpr quint16 KEY_DEVICE_PARAM = 0x1033;
    static constexpr quint16 KEY_SET_ZONE = 0x1035;
    static constexpr quint16 KEY_DELETE_ZONE = 0x1036;
    static constexpr quint16 KEY_ZONE_CONTROL = 0x1037;
    static constexpr quint16 KEY_CONTROL_OUTPUT = 0x103E;
    static constexpr quint16 KEY_FLASH_LED = 0x103F;
    static constexpr quint16 KEY_CLEAR_RESENDS = 0x1040;
    static constexpr quint16 KEY_ACK_ZONE = 0x1041;
    static constexpr quint16 KEY_SIMULATE = 0x1042;
    static constexpr quint16 KEY_GET_NEIGHBORS = 0x1048;
    static constexpr quint16 KEY_TEST_PACKETS = 0x104A;
    static constexpr quint16 KEY_GET_ROUTES = 0x104B;
    // Status keys.
    static constexpr quint16 KEY_IEEE_UNITS_TOTAL = 4128;
    static constexpr quint16 KEY_IEEE_UNITS_ALARM = 4129;
    static constexpr quint16 KEY_IEEE_UNITS_FAULT = 4130;
    static constexpr quint16 KEY_ZONE_COUNT = 4153;

    // A reply never holds less than one record, even when maxReplyBytes is smaller, so paging
    // always moves on.
    static constexpr int MIN_REPLY_BYTES = 64;
    // Commands name a device by 16 hexadecimal characters ("00112233AABBCCDD").
    static constexpr int ADDRESS_TEXT_LENGTH = 16;
    // A device admitted to the table but not joined yet has no network address.
    static constexpr quint16 NWK_UNASSIGNED = 0xFFFE;
    // Highest table slot: a slot's high byte must never look like an extension tag.
    static constexpr quint16 LAST_SLOT = 0xFCFF;

    // Reply to one read entry for the keys this network owns (0x1023, 0x1034, 0x1049, 0x104C,
    // 0x104D, 0x102E): the encoded reply key entries (id, 16-bit length, value; one or more),
    // at most maxReplyBytes long; std::nullopt when the key is not one of its keys.
    std::optional<QByteArray> AnswerRead(quint16 keyId, const QByteArray& requestValue,
                                         int maxReplyBytes) const;
    // Applies a written device or zone command; false when the key is not one of its keys. A
    // malformed value of one of its keys changes nothing and still returns true (the unit
    // acknowledges every write).
    bool ApplyWrite(quint16 keyId, const QByteArray& value);
    // Values of the status keys 4128, 4129, 4130 and 4153 (16-bit counts), else nullopt.
    std::optional<QByteArray> KeyValue(quint16 keyId) const;
    // Lets time pass: supervision timers run down (a silent device goes offline), online devices
    // check in again, sirens stop.
    void AdvanceSeconds(int seconds);

    QJsonObject ToJson() const;
    static std::optional<SimRadioNetwork> FromJson(const QJsonObject& json, QString* error);
    // 14 devices (smoke detectors, repeaters at two depths, minis of hardware 1, 2, 5, 6, one
    // offline), 4 zones, neighbor and route tables from that topology, a radio test running.
    static SimRadioNetwork Demo();

    // Neighbor and route tables derived from the devices' parents, with link qualities from
    // their signal strengths.
    void RebuildTablesFromTopology();

    // The 8 address bytes of a command value that starts with 16 hexadecimal characters.
    static std::optional<QByteArray> CommandAddress(const QByteArray& value);

    SimRadioDevice* FindDevice(const QByteArray& ieee);
    const SimRadioDevice* FindDevice(const QByteArray& ieee) const;
    const SimRadioDevice* FindDeviceByNwk(quint16 nwk) const;
    SimZone* FindZone(quint8 zoneId);

    QList<SimRadioDevice> Devices; // ordered by Pos
    QList<SimZone> Zones;          // ordered by ZoneID
    QList<SimNeighbor> Neighbors;
    QList<SimRoute> Routes;
    // The last test started. Reading its result moves it on by one report, the way the gateway
    // sends a few test packets between the tool's polls.
    mutable SimRadioTest Test;

private:
    QByteArray AnswerDevicePage(const QByteArray& requestValue, int maxReplyBytes) const;
    QByteArray AnswerZones(const QByteArray& requestValue, int maxReplyBytes) const;
    QByteArray AnswerNeighbors(const QByteArray& requestValue, int maxReplyBytes) const;
    QByteArray AnswerRoutes(const QByteArray& requestValue, int maxReplyBytes) const;
    QByteArray AnswerTestResults() const;
    QByteArray AnswerChildren(const QByteArray& requestValue) const;
    void ApplyDeviceParam(const QByteArray& value);
    void ApplySetZone(const QByteArray& value);
    void ApplySimulate(SimRadioDevice& device, const QByteArray& args);
    void QueueOwners(QList<quint16>& queue, const QByteArray& value) const;
    quint16 FreeSlot() const;
    static bool IsAllNodes(const QByteArray& ieee) { return ieee == QByteArray(8, char(0xFF)); }
    static bool IsGatewayNode(const QByteArray& ieee) { return ieee == QByteArray(8, '\0'); }

    // Owners whose table the radio has fetched and not yet handed over; reads drain them.
    mutable QList<quint16> PendingNeighborOwners;
    mutable QList<quint16> PendingRouteOwners;
};
