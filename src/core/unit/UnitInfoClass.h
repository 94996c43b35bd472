#pragma once

#include "core/unit/IEEEObjectClass.h"
#include "core/unit/InputObjectClass.h"
#include "core/unit/KeyObjectClass.h"
#include "core/unit/NeighborObjectClass.h"
#include "core/unit/OwningList.h"
#include "core/unit/RouteObjectClass.h"
#include "core/unit/ZoneObjectClass.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>

// Everything the program knows about one unit: identity, carrier of its last packet, and what it
// has reported. Nothing here is saved; the record is rebuilt from the unit every session.
//
// The seven lists own their items. Keys and inputs keep the order in which they first arrived,
// because the views list them in that order; hash indexes beside them keep lookups cheap for units
// with a few hundred keys. The lists are read-only from outside: items are added and removed only
// through the operations below, so the indexes stay in step.
class UnitInfoClass {
public:
    static constexpr int32_t PRODUCT_RDM22SMS = 1;
    static constexpr int32_t PRODUCT_Q7_DEVICE = 5;

    // Carriers of a unit's last packet.
    static constexpr uint8_t SOCKET_UDP = 0;
    static constexpr uint8_t SOCKET_TCP = 1;
    static constexpr uint8_t SOCKET_SERIAL = 2;

    // Input keys: the unit sends one set of 150-169 per input.
    static constexpr int FIRST_INPUT_KEY = 150;
    static constexpr int LAST_INPUT_KEY = 169;

    explicit UnitInfoClass(const QString& mac);
    ~UnitInfoClass();
    UnitInfoClass(const UnitInfoClass&) = delete;
    UnitInfoClass& operator=(const UnitInfoClass&) = delete;

    const QString Mac;
    QString RemoteIP;
    uint8_t SocketType = SOCKET_UDP;
    int32_t ProductCode = 0;
    OwningList<KeyObjectClass> Keys;
    OwningList<InputObjectClass> Inputs;
    OwningList<IEEEObjectClass> Devices;
    OwningList<ZoneObjectClass> Zones;
    QStringList EventLog;
    OwningList<NeighborObjectClass> Neighbors;
    OwningList<RouteObjectClass> Routes;

    static bool IsInputKey(int id) { return id >= FIRST_INPUT_KEY && id <= LAST_INPUT_KEY; }

    // Keys.
    KeyObjectClass* FindKey(int id) const;
    // The first key record with the id whose bytes, one per character, equal the address text.
    KeyObjectClass* FindInputKey(int id, const QString& address) const;
    void SetKeyValue(int id, int32_t value);
    // Bytes from a received buffer; logs "Add KeyItem: ".
    void SetKeyData(int id, const unsigned char* bytes, int length);
    void SetKeyData(int id, const QByteArray& bytes);
    // Bytes from a read-only character buffer (a text); logs "Add KeyItem (const): ".
    void SetKeyData(int id, const char* bytes, int length);

    // Inputs.
    InputObjectClass* FindInput(const QString& address) const;
    InputObjectClass* FindOrAddInput(const QString& address);

    // Wireless devices and zones.
    IEEEObjectClass* FindOrAddDevice(const QString& address);
    IEEEObjectClass* FindUnitIEEEByAddress(const QString& address) const;
    // The first device whose NWK, as four upper-case hexadecimal digits, equals the text.
    IEEEObjectClass* FindUnitIEEE(const QString& nwkText) const;
    ZoneObjectClass* FindOrAddZone(uint8_t zoneId);
    // The first zone whose id in decimal equals the text.
    ZoneObjectClass* FindZoneObject(const QString& zoneIdText) const;
    // Empty for zone 0 ("none"), 255 and unknown zones.
    QString GetZoneName(int zoneId) const;
    QString GetZoneArea(int zoneId) const;
    void ClearDevices();
    void ClearZones();

    // Neighbor and route entries. The node text is "ALL", "GATEWAY" (NWK 0) or four upper-case
    // hexadecimal digits; neighbors are selected by NeighborNWK, routes by OwnerNWK. Return the
    // number of entries removed.
    qsizetype DeleteNeighbors(const QString& node);
    qsizetype DeleteRoutes(const QString& node);
    NeighborObjectClass* FindNeighbor(uint16_t ownerNwk, uint16_t neighborNwk) const;
    NeighborObjectClass* FindOrAddNeighbor(uint16_t ownerNwk, uint16_t neighborNwk);
    RouteObjectClass* FindRoute(uint16_t ownerNwk, uint16_t destNwk, uint16_t hopNwk) const;
    RouteObjectClass* FindOrAddRoute(uint16_t ownerNwk, uint16_t destNwk, uint16_t hopNwk);

private:
    void StoreKeyData(int id, const char* bytes, int length, const QString& logPrefix);
    KeyObjectClass* AppendKey(int id);
    void RebuildInputKeyIndex() const;

    // First key record per id, and first input key record per (id, address). A key's id never
    // changes and the data of an input key record is only ever replaced by equal bytes, so the
    // indexes can only go stale if someone writes `Data` of an input key directly; a hit is checked
    // and the index rebuilt then.
    QHash<int, KeyObjectClass*> KeyById;
    mutable QHash<std::pair<int, QString>, KeyObjectClass*> InputKeyByAddress;
    QHash<QString, InputObjectClass*> InputByAddress;
};

// Parses "ALL", "GATEWAY" or four upper-case hexadecimal digits. Gives false for any other text.
struct NodeSelection {
    bool All = false;
    uint16_t Nwk = 0;
};
bool ParseNodeSelection(const QString& node, NodeSelection& selection);
// NWK address as four upper-case hexadecimal digits.
QString NwkText(uint16_t nwk);
