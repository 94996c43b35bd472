#include "core/unit/UnitInfoClass.h"

#include "core/app/DebugLog.h"

#include <QLatin1String>

namespace {

// Building a log line costs more than storing a key; skip it while nothing would be written.
bool LogActive() {
    return DebugLog::instance().countdown() > 0;
}

// The eleven key records every input gets, so that the settings view has a row per input key.
constexpr int INPUT_KEY_RECORDS[] = {150, 151, 152, 153, 154, 155, 156, 157, 158, 159, 168};

int HexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1; // lower case never matches: NWK texts are upper case
}

// Lookups return the first record of a kind, so an index keeps the first one it was given.
template <typename Hash, typename Key, typename Value>
void IndexFirst(Hash& hash, const Key& key, Value value) {
    if (!hash.contains(key))
        hash.insert(key, value);
}

} // namespace

bool ParseNodeSelection(const QString& node, NodeSelection& selection) {
    selection = NodeSelection();
    if (node == QLatin1String("ALL")) {
        selection.All = true;
        return true;
    }
    if (node == QLatin1String("GATEWAY")) {
        selection.Nwk = 0;
        return true;
    }
    if (node.size() != 4)
        return false;
    int value = 0;
    for (QChar c : node) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return false;
        value = value * 16 + digit;
    }
    selection.Nwk = static_cast<uint16_t>(value);
    return true;
}

QString NwkText(uint16_t nwk) {
    return QStringLiteral("%1").arg(nwk, 4, 16, QLatin1Char('0')).toUpper();
}

UnitInfoClass::UnitInfoClass(const QString& mac) : Mac(mac) {}

UnitInfoClass::~UnitInfoClass() = default;

// ---- Keys ------------------------------------------------------------------------------------

KeyObjectClass* UnitInfoClass::FindKey(int id) const {
    return KeyById.value(id, nullptr);
}

KeyObjectClass* UnitInfoClass::FindInputKey(int id, const QString& address) const {
    for (int attempt = 0; attempt < 2; ++attempt) {
        KeyObjectClass* key = InputKeyByAddress.value(std::make_pair(id, address), nullptr);
        if (key == nullptr)
            return nullptr;
        if (key->Id == id && address == QLatin1String(key->Data))
            return key;
        RebuildInputKeyIndex();
    }
    return nullptr;
}

void UnitInfoClass::RebuildInputKeyIndex() const {
    InputKeyByAddress.clear();
    for (KeyObjectClass* key : Keys)
        if (IsInputKey(key->Id))
            IndexFirst(InputKeyByAddress, std::make_pair(key->Id, key->DataText()), key);
}

KeyObjectClass* UnitInfoClass::AppendKey(int id) {
    KeyObjectClass* key = Keys.append(std::make_unique<KeyObjectClass>(*this, id));
    IndexFirst(KeyById, id, key);
    return key;
}

void UnitInfoClass::SetKeyValue(int id, int32_t value) {
    if (KeyObjectClass* key = FindKey(id)) {
        key->Value = value;
        return;
    }
    KeyObjectClass* key = AppendKey(id);
    key->Value = value;
    if (IsInputKey(id))
        IndexFirst(InputKeyByAddress, std::make_pair(id, QString()), key);
}

void UnitInfoClass::SetKeyData(int id, const unsigned char* bytes, int length) {
    StoreKeyData(id, reinterpret_cast<const char*>(bytes), length, QStringLiteral("Add KeyItem: "));
}

void UnitInfoClass::SetKeyData(int id, const QByteArray& bytes) {
    StoreKeyData(id, bytes.constData(), static_cast<int>(bytes.size()), QStringLiteral("Add KeyItem: "));
}

void UnitInfoClass::SetKeyData(int id, const char* bytes, int length) {
    StoreKeyData(id, bytes, length, QStringLiteral("Add KeyItem (const): "));
}

void UnitInfoClass::StoreKeyData(int id, const char* bytes, int length, const QString& logPrefix) {
    // A missing buffer or a negative length is an empty value, never a read.
    if (bytes == nullptr || length < 0)
        length = 0;
    const QByteArray data = length > 0 ? QByteArray(bytes, length) : QByteArray();

    const bool inputKey = IsInputKey(id);
    const QString address = inputKey ? QString::fromLatin1(data) : QString();
    KeyObjectClass* key = inputKey ? FindInputKey(id, address) : FindKey(id);

    if (LogActive())
        WriteLog(logPrefix + QString::number(id) + QStringLiteral(". Var: ") + BytesToHexText(data));

    if (key == nullptr) {
        key = AppendKey(id);
        if (inputKey)
            IndexFirst(InputKeyByAddress, std::make_pair(id, address), key);
    }
    key->Data = data;
    key->Length = static_cast<int32_t>(data.size());
}

// ---- Inputs ----------------------------------------------------------------------------------

InputObjectClass* UnitInfoClass::FindInput(const QString& address) const {
    return InputByAddress.value(address, nullptr);
}

InputObjectClass* UnitInfoClass::FindOrAddInput(const QString& address) {
    if (InputObjectClass* input = FindInput(address))
        return input;
    WriteLog(QStringLiteral("New input object. Address: ") + address);
    InputObjectClass* input = Inputs.append(std::make_unique<InputObjectClass>(address));
    InputByAddress.insert(address, input);
    const QByteArray addressBytes = address.toLatin1();
    for (int id : INPUT_KEY_RECORDS)
        SetKeyData(id, addressBytes.constData(), static_cast<int>(addressBytes.size()));
    return input;
}

// ---- Devices and zones -----------------------------------------------------------------------

IEEEObjectClass* UnitInfoClass::FindUnitIEEEByAddress(const QString& address) const {
    for (IEEEObjectClass* device : Devices)
        if (device->Address == address)
            return device;
    return nullptr;
}

IEEEObjectClass* UnitInfoClass::FindOrAddDevice(const QString& address) {
    if (IEEEObjectClass* device = FindUnitIEEEByAddress(address))
        return device;
    WriteLog(QStringLiteral("New IEEE object. Address: ") + address);
    return Devices.append(std::make_unique<IEEEObjectClass>(address));
}

IEEEObjectClass* UnitInfoClass::FindUnitIEEE(const QString& nwkText) const {
    // Comparing numbers is the same as comparing the four-digit upper-case texts, without building
    // a text per device; "GATEWAY" and "ALL" are not NWK texts and match nothing here.
    NodeSelection selection;
    if (nwkText.size() != 4 || !ParseNodeSelection(nwkText, selection) || selection.All)
        return nullptr;
    for (IEEEObjectClass* device : Devices)
        if (device->NWK == selection.Nwk)
            return device;
    return nullptr;
}

ZoneObjectClass* UnitInfoClass::FindOrAddZone(uint8_t zoneId) {
    for (ZoneObjectClass* zone : Zones)
        if (zone->ZoneID == zoneId)
            return zone;
    WriteLog(QStringLiteral("New Zone object. ZoneID: ") + QString::number(zoneId));
    return Zones.append(std::make_unique<ZoneObjectClass>(zoneId));
}

ZoneObjectClass* UnitInfoClass::FindZoneObject(const QString& zoneIdText) const {
    for (ZoneObjectClass* zone : Zones)
        if (QString::number(zone->ZoneID) == zoneIdText)
            return zone;
    return nullptr;
}

QString UnitInfoClass::GetZoneName(int zoneId) const {
    if (zoneId == 0 || zoneId == 255)
        return QString();
    for (ZoneObjectClass* zone : Zones)
        if (zone->ZoneID == zoneId)
            return zone->Name;
    return QString();
}

QString UnitInfoClass::GetZoneArea(int zoneId) const {
    if (zoneId == 0 || zoneId == 255)
        return QString();
    for (ZoneObjectClass* zone : Zones)
        if (zone->ZoneID == zoneId)
            return zone->AreaID;
    return QString();
}

void UnitInfoClass::ClearDevices() {
    Devices.clear();
}

void UnitInfoClass::ClearZones() {
    Zones.clear();
}

// ---- Neighbors and routes --------------------------------------------------------------------

qsizetype UnitInfoClass::DeleteNeighbors(const QString& node) {
    NodeSelection selection;
    if (!ParseNodeSelection(node, selection))
        return 0;
    return Neighbors.removeIf([&](const NeighborObjectClass& entry) {
        return selection.All || entry.NeighborNWK == selection.Nwk;
    });
}

qsizetype UnitInfoClass::DeleteRoutes(const QString& node) {
    NodeSelection selection;
    if (!ParseNodeSelection(node, selection))
        return 0;
    return Routes.removeIf(
        [&](const RouteObjectClass& entry) { return selection.All || entry.OwnerNWK == selection.Nwk; });
}

NeighborObjectClass* UnitInfoClass::FindNeighbor(uint16_t ownerNwk, uint16_t neighborNwk) const {
    for (NeighborObjectClass* entry : Neighbors)
        if (entry->OwnerNWK == ownerNwk && entry->NeighborNWK == neighborNwk)
            return entry;
    return nullptr;
}

NeighborObjectClass* UnitInfoClass::FindOrAddNeighbor(uint16_t ownerNwk, uint16_t neighborNwk) {
    if (NeighborObjectClass* entry = FindNeighbor(ownerNwk, neighborNwk))
        return entry;
    return Neighbors.append(std::make_unique<NeighborObjectClass>(ownerNwk, neighborNwk));
}

RouteObjectClass* UnitInfoClass::FindRoute(uint16_t ownerNwk, uint16_t destNwk, uint16_t hopNwk) const {
    for (RouteObjectClass* entry : Routes)
        if (entry->OwnerNWK == ownerNwk && entry->DestNWK == destNwk && entry->HopNWK == hopNwk)
            return entry;
    return nullptr;
}

RouteObjectClass* UnitInfoClass::FindOrAddRoute(uint16_t ownerNwk, uint16_t destNwk, uint16_t hopNwk) {
    if (RouteObjectClass* entry = FindRoute(ownerNwk, destNwk, hopNwk))
        return entry;
    return Routes.append(std::make_unique<RouteObjectClass>(ownerNwk, destNwk, hopNwk));
}
