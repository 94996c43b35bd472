#include "sim/SimRadioNetwork.h"

#include "core/protocol/ByteReader.h"
#include "core/protocol/ByteWriter.h"
#include "sim/SimJsonFields.h"

#include <algorithm>

namespace {

constexpr int ADDRESS_TEXT_LENGTH = 16;
constexpr quint16 LAST_SLOT = 0xFCFF; // a slot's high byte must never look like an extension tag
constexpr quint16 NWK_UNASSIGNED = 0xFFFE;
constexpr quint32 SUPERVISION_SECONDS = 10800;
constexpr quint16 MAX_SIREN_SECONDS = 30;

// Device status bits.
constexpr quint8 STATUS_SIREN = 0x10;
constexpr quint8 STATUS_OUT_1 = 0x04;
constexpr quint8 STATUS_OUT_2 = 0x08;
constexpr quint8 STATUS_OFFLINE = 0x80;

enum DeviceParam : quint8 {
    PARAM_NAME = 0x00,
    PARAM_ZONE = 0x01,
    PARAM_DISABLED = 0x02,
    PARAM_INPUT_TYPE = 0x03,
    PARAM_CLEAR_COM_ERRORS = 0x04,
};

enum SimulateKind : quint8 {
    SIMULATE_STATUS = 0,
    SIMULATE_BATTERY = 1,
    SIMULATE_TEMPERATURE = 2,
    SIMULATE_POLL = 3
};

// The 8 address bytes of a command's leading 16-character hexadecimal text, if it is one.
std::optional<QByteArray> CommandAddress(const QByteArray& value) {
    if (value.size() < ADDRESS_TEXT_LENGTH)
        return std::nullopt;
    QByteArray ieee;
    if (!SimParseHex(QString::fromLatin1(value.left(ADDRESS_TEXT_LENGTH)), ieee) || ieee.size() != 8)
        return std::nullopt;
    return ieee;
}

bool IsAll(const QByteArray& ieee) {
    return ieee == QByteArray(8, char(0xFF));
}

bool IsGateway(const QByteArray& ieee) {
    return ieee == QByteArray(8, '\0');
}

quint16 RequestPosition(const QByteArray& requestValue) {
    ByteReader reader(requestValue);
    const quint16 position = reader.readU16BE();
    return reader.ok() ? position : 0;
}

// One reply entry; the value length is bounded by the 16-bit length field.
QByteArray Entry(quint16 keyId, const QByteArray& value) {
    ByteWriter out(4 + value.size());
    out.writeU16BE(keyId);
    out.writeU16BE(static_cast<quint16>(value.size()));
    out.writeBytes(value);
    return out.bytes();
}

// Room for the value of one reply entry.
int ValueBudget(int maxReplyBytes) {
    return qBound(0, maxReplyBytes - 4, 0xFFFF);
}

// Packs records while they fit, but always at least one so that paging moves on.
QByteArray PackRecords(const QList<QByteArray>& records, int budget) {
    QByteArray value;
    for (const QByteArray& record : records) {
        if (!value.isEmpty() && value.size() + record.size() > budget)
            break;
        if (value.size() + record.size() > 0xFFFF)
            break;
        value += record;
    }
    return value;
}

quint8 LossPercentForSignal(const SimRadioDevice& device) {
    if (!device.IsOnline())
        return 100;
    const int magnitude = qAbs(int(device.RSSIdet));
    if (magnitude <= 60)
        return 2;
    if (magnitude <= 75)
        return 8;
    if (magnitude <= 85)
        return 20;
    return 45;
}

} // namespace

std::optional<QByteArray> SimRadioNetwork::AnswerRead(quint16 keyId, const QByteArray& requestValue,
                                                      int maxReplyBytes) const {
    maxReplyBytes = qMax(maxReplyBytes, MIN_REPLY_BYTES);
    switch (keyId) {
    case KEY_IEEE_UNITS:
        return Entry(keyId, AnswerDevicePage(requestValue, maxReplyBytes));
    case KEY_ZONES:
        return Entry(keyId, AnswerZones(requestValue, maxReplyBytes));
    case KEY_NEIGHBORS:
        return Entry(keyId, AnswerNeighbors(requestValue, maxReplyBytes));
    case KEY_ROUTES:
        return Entry(keyId, AnswerRoutes(requestValue, maxReplyBytes));
    case KEY_TEST_RESULTS:
        return Entry(keyId, AnswerTestResults());
    case KEY_GET_CHILDS:
        return Entry(keyId, AnswerChildren(requestValue));
    default:
        return std::nullopt;
    }
}

QByteArray SimRadioNetwork::AnswerDevicePage(const QByteArray& requestValue, int maxReplyBytes) const {
    const quint16 position = RequestPosition(requestValue);
    QList<QByteArray> records;
    for (const SimRadioDevice& device : Devices) {
        if (device.Pos >= position)
            records.append(EncodeDeviceRecord(device));
    }
    // An empty value tells the tool the table has no more devices.
    return PackRecords(records, ValueBudget(maxReplyBytes));
}

QByteArray SimRadioNetwork::AnswerZones(const QByteArray& requestValue, int maxReplyBytes) const {
    const quint16 position = RequestPosition(requestValue);
    QList<QByteArray> records;
    for (qsizetype i = position; i < Zones.size(); ++i)
        records.append(EncodeZoneRecord(static_cast<quint16>(i), Zones.at(i)));
    return PackRecords(records, ValueBudget(maxReplyBytes));
}

void SimRadioNetwork::QueueOwners(QList<quint16>& queue, const QByteArray& value) const {
    const std::optional<QByteArray> ieee = CommandAddress(value);
    if (!ieee)
        return;
    QList<quint16> owners;
    if (IsGateway(*ieee)) {
        owners.append(0);
    } else if (IsAll(*ieee)) {
        owners.append(0);
        for (const SimRadioDevice& device : Devices) {
            if (device.IsRepeater() && device.IsOnline())
                owners.append(device.NWK);
        }
    } else if (const SimRadioDevice* device = FindDevice(*ieee); device != nullptr && device->IsOnline()) {
        owners.append(device->NWK);
    }
    for (const quint16 owner : owners) {
        if (!queue.contains(owner))
            queue.append(owner);
    }
}

namespace {

// The tables of the owners the radio has collected, one owner after the other, as far as they
// fit; an owner whose table does not fit waits for the next poll. Owners handed over leave the
// queue; a single table larger than a whole reply is cut to what fits, as the unit's buffer is.
template <typename Row, typename Encode>
QByteArray DrainTables(QList<quint16>& pending, const QList<Row>& rows, int budget, Encode encode) {
    QByteArray value;
    while (!pending.isEmpty()) {
        QByteArray table;
        for (const Row& row : rows) {
            if (row.OwnerNWK == pending.first())
                table += encode(row);
        }
        if (!value.isEmpty() && value.size() + table.size() > budget)
            break;
        if (table.size() > budget)
            table.truncate(budget - budget % encode(Row{}).size());
        value += table;
        pending.removeFirst();
    }
    return value;
}

} // namespace

QByteArray SimRadioNetwork::AnswerNeighbors(const QByteArray& requestValue, int maxReplyBytes) const {
    // A read that names a node asks for its table directly; the tool's empty poll collects
    // what the last "get neighbors" command gathered.
    QList<quint16> owners;
    QList<quint16>& queue = requestValue.isEmpty() ? PendingNeighborOwners : owners;
    if (!requestValue.isEmpty())
        QueueOwners(owners, requestValue);
    return DrainTables(queue, Neighbors, ValueBudget(maxReplyBytes), EncodeNeighborRecord);
}

QByteArray SimRadioNetwork::AnswerRoutes(const QByteArray& requestValue, int maxReplyBytes) const {
    QList<quint16> owners;
    QList<quint16>& queue = requestValue.isEmpty() ? PendingRouteOwners : owners;
    if (!requestValue.isEmpty())
        QueueOwners(owners, requestValue);
    return DrainTables(queue, Routes, ValueBudget(maxReplyBytes), EncodeRouteRecord);
}

QByteArray SimRadioNetwork::AnswerTestResults() const {
    const QByteArray record = EncodeTestResultRecord(Test);
    // Between two polls the gateway sends a few more test packets.
    if (Test.TestTimer != 0 && Test.TestCount > 0) {
        Test.PacketsSent =
            static_cast<quint16>(qMin<int>(Test.TestCount, Test.PacketsSent + Test.PacketsPerReport));
        const int lost = Test.PacketsSent * Test.LossPercent / 100;
        Test.TestResults = static_cast<quint16>(Test.PacketsSent - lost);
        // One packet a second: the timer shows the seconds left, 0 once all went out.
        Test.TestTimer = static_cast<quint16>(Test.TestCount - Test.PacketsSent);
    }
    return record;
}

QByteArray SimRadioNetwork::AnswerChildren(const QByteArray& requestValue) const {
    const std::optional<QByteArray> ieee = CommandAddress(requestValue);
    if (!ieee)
        return {};
    quint16 parent = 0;
    if (!IsGateway(*ieee)) {
        const SimRadioDevice* device = FindDevice(*ieee);
        if (device == nullptr)
            return {};
        parent = device->NWK;
    }
    ByteWriter out(2 * Devices.size());
    for (const SimRadioDevice& device : Devices) {
        if (device.IsOnline() && device.ParentNWK == parent && device.NWK != NWK_UNASSIGNED)
            out.writeU16BE(device.NWK);
    }
    return out.bytes();
}

std::optional<QByteArray> SimRadioNetwork::KeyValue(quint16 keyId) const {
    int count = 0;
    switch (keyId) {
    case KEY_IEEE_UNITS_TOTAL:
        count = int(Devices.size());
        break;
    case KEY_IEEE_UNITS_ALARM:
        // In alarm: fire or temperature on a detector, an active input on a mini.
        count = int(std::count_if(Devices.cbegin(), Devices.cend(),
                                  [](const SimRadioDevice& d) { return (d.ZigbeeStatus & 0x03) != 0; }));
        break;
    case KEY_IEEE_UNITS_FAULT:
        count = int(std::count_if(Devices.cbegin(), Devices.cend(), [](const SimRadioDevice& d) {
            const quint8 sabotage = d.IsMini() ? 0x10 : 0x04;
            return (d.ZigbeeStatus & (sabotage | 0x20 | 0x40 | STATUS_OFFLINE)) != 0 || !d.IsOnline();
        }));
        break;
    case KEY_ZONE_COUNT:
        count = int(Zones.size());
        break;
    default:
        return std::nullopt;
    }
    QByteArray value(2, '\0');
    value[0] = char((count >> 8) & 0xFF);
    value[1] = char(count & 0xFF);
    return value;
}

bool SimRadioNetwork::ApplyWrite(quint16 keyId, const QByteArray& value) {
    switch (keyId) {
    case KEY_ADD_DEVICE: {
        const std::optional<QByteArray> ieee = CommandAddress(value);
        if (!ieee || IsAll(*ieee) || IsGateway(*ieee) || FindDevice(*ieee) != nullptr)
            return true;
        // Admitted but not joined yet: no network address and no radio contact.
        SimRadioDevice device;
        device.Pos = FreeSlot();
        device.Ieee = *ieee;
        device.NWK = NWK_UNASSIGNED;
        device.ParentNWK = NWK_UNASSIGNED;
        device.ZigbeeStatus = STATUS_OFFLINE;
        const auto at = std::find_if(Devices.begin(), Devices.end(),
                                     [&device](const SimRadioDevice& d) { return d.Pos > device.Pos; });
        Devices.insert(at, device);
        return true;
    }
    case KEY_DELETE_DEVICE: {
        const std::optional<QByteArray> ieee = CommandAddress(value);
        if (ieee)
            Devices.removeIf([&ieee](const SimRadioDevice& d) { return d.Ieee == *ieee; });
        return true;
    }
    case KEY_ACTIVATE_SIREN: {
        const std::optional<QByteArray> ieee = CommandAddress(value);
        SimRadioDevice* device = ieee ? FindDevice(*ieee) : nullptr;
        ByteReader args(value.mid(ADDRESS_TEXT_LENGTH));
        const quint16 seconds = qMin(args.readU16BE(), MAX_SIREN_SECONDS);
        if (device != nullptr && args.ok() && device->IsOnline() && !device->IsMini()) {
            device->SirenSecondsLeft = seconds;
            device->ZigbeeStatus =
                seconds > 0 ? (device->ZigbeeStatus | STATUS_SIREN) : (device->ZigbeeStatus & ~STATUS_SIREN);
        }
        return true;
    }
    case KEY_DEVICE_PARAM:
        ApplyDeviceParam(value);
        return true;
    case KEY_SET_ZONE:
        ApplySetZone(value);
        return true;
    case KEY_DELETE_ZONE: {
        if (value.isEmpty())
            return true;
        const quint8 zoneId = static_cast<quint8>(value.at(0));
        const auto gone = [zoneId](quint8 id) { return zoneId == 0xFF || id == zoneId; };
        Zones.removeIf([&gone](const SimZone& z) { return gone(z.ZoneID); });
        for (SimRadioDevice& device : Devices) {
            if (device.ZoneID != 0 && gone(device.ZoneID))
                device.ZoneID = 0;
        }
        return true;
    }
    case KEY_ZONE_CONTROL: {
        ByteReader args(value);
        const quint8 zoneId = args.readU8();
        const quint8 command = args.readU8();
        SimZone* zone = FindZone(zoneId);
        if (args.ok() && zone != nullptr && command >= 1 && command <= 3)
            zone->Status = command;
        return true;
    }
    case KEY_ACK_ZONE: {
        if (value.isEmpty())
            return true;
        const quint8 zoneId = static_cast<quint8>(value.at(0));
        for (SimRadioDevice& device : Devices) {
            if (device.ZoneID == zoneId)
                device.AlarmStatus = 0;
        }
        return true;
    }
    case KEY_CONTROL_OUTPUT: {
        const std::optional<QByteArray> ieee = CommandAddress(value);
        SimRadioDevice* device = ieee ? FindDevice(*ieee) : nullptr;
        ByteReader args(value.mid(ADDRESS_TEXT_LENGTH));
        const quint8 on = args.readU8();
        const quint8 output = args.readU8();
        if (device != nullptr && args.ok() && device->IsMini() && device->IsOnline() && output <= 1) {
            const quint8 bit = output == 0 ? STATUS_OUT_1 : STATUS_OUT_2;
            device->ZigbeeStatus = on != 0 ? (device->ZigbeeStatus | bit) : (device->ZigbeeStatus & ~bit);
        }
        return true;
    }
    case KEY_FLASH_LED:
        return true; // the LED blinks; nothing the unit reports changes
    case KEY_CLEAR_RESENDS: {
        const std::optional<QByteArray> ieee = CommandAddress(value);
        if (SimRadioDevice* device = ieee ? FindDevice(*ieee) : nullptr)
            device->Resends = 0;
        return true;
    }
    case KEY_SIMULATE: {
        const std::optional<QByteArray> ieee = CommandAddress(value);
        if (SimRadioDevice* device = ieee ? FindDevice(*ieee) : nullptr)
            ApplySimulate(*device, value.mid(ADDRESS_TEXT_LENGTH));
        return true;
    }
    case KEY_GET_NEIGHBORS:
        QueueOwners(PendingNeighborOwners, value);
        return true;
    case KEY_GET_ROUTES:
        QueueOwners(PendingRouteOwners, value);
        return true;
    case KEY_TEST_PACKETS: {
        const std::optional<QByteArray> ieee = CommandAddress(value);
        const SimRadioDevice* device = ieee ? FindDevice(*ieee) : nullptr;
        ByteReader args(value.mid(ADDRESS_TEXT_LENGTH));
        const quint16 count = args.readU16BE();
        if (device == nullptr || !args.ok() || count == 0)
            return true;
        SimRadioTest test;
        test.TestTimer = 0xFFFF;
        test.TestCount = count;
        test.TestUnitNWK = device->NWK;
        test.LossPercent = LossPercentForSignal(*device);
        test.PacketsPerReport = Test.PacketsPerReport;
        Test = test;
        return true;
    }
    default:
        return false;
    }
}

void SimRadioNetwork::ApplyDeviceParam(const QByteArray& value) {
    const std::optional<QByteArray> ieee = CommandAddress(value);
    if (!ieee)
        return;
    ByteReader args(value.mid(ADDRESS_TEXT_LENGTH));
    const quint8 param = args.readU8();
    const QByteArray rest = value.mid(ADDRESS_TEXT_LENGTH + 1);
    if (!args.ok())
        return;
    const auto apply = [&](SimRadioDevice& device) {
        switch (param) {
        case PARAM_NAME: {
            QByteArray name = rest;
            const qsizetype end = name.indexOf('\0');
            if (end >= 0)
                name.truncate(end);
            name.replace(char(0x1F), QByteArray());
            device.Name = QString::fromLatin1(name.left(64));
            break;
        }
        case PARAM_ZONE:
            if (!rest.isEmpty())
                device.ZoneID = static_cast<quint8>(rest.at(0));
            break;
        case PARAM_DISABLED:
            if (!rest.isEmpty())
                device.Disabled = rest.at(0) != 0 ? 1 : 0;
            break;
        case PARAM_INPUT_TYPE:
            if (rest.size() >= 2 && quint8(rest.at(0)) <= 1 && device.IsMini())
                device.InputTypes[quint8(rest.at(0))] = static_cast<quint8>(rest.at(1));
            break;
        case PARAM_CLEAR_COM_ERRORS:
            device.ComErrors = 0;
            break;
        default:
            break;
        }
    };
    if (IsAll(*ieee)) {
        for (SimRadioDevice& device : Devices)
            apply(device);
    } else if (SimRadioDevice* device = FindDevice(*ieee)) {
        apply(*device);
    }
}

void SimRadioNetwork::ApplySetZone(const QByteArray& value) {
    ByteReader reader(value);
    quint8 zoneId = reader.readU8();
    if (!reader.ok() || zoneId == 0xFF)
        return;
    if (zoneId == 0) {
        // A new zone takes the lowest free id.
        for (zoneId = 1; zoneId < 0xFF && FindZone(zoneId) != nullptr; ++zoneId) {
        }
        if (zoneId == 0xFF)
            return;
    }
    if (FindZone(zoneId) == nullptr) {
        SimZone zone;
        zone.ZoneID = zoneId;
        const auto at = std::find_if(Zones.begin(), Zones.end(),
                                     [zoneId](const SimZone& z) { return z.ZoneID > zoneId; });
        Zones.insert(at, zone);
    }
    SimZone* zone = FindZone(zoneId);
    while (reader.remaining() >= 2) {
        const quint8 type = reader.readU8();
        const quint8 length = reader.readU8();
        const QByteArray data = reader.readBytes(length);
        if (!reader.ok())
            break; // an element that runs past the value is dropped
        zone->ApplyElement(type, data);
    }
}

void SimRadioNetwork::ApplySimulate(SimRadioDevice& device, const QByteArray& args) {
    ByteReader reader(args);
    const quint8 kind = reader.readU8();
    switch (kind) {
    case SIMULATE_STATUS: {
        const quint8 status = reader.readU8();
        if (reader.ok())
            device.ZigbeeStatus = status;
        break;
    }
    case SIMULATE_BATTERY: {
        const quint16 battery = reader.readU16BE();
        if (reader.ok())
            device.Battery = battery;
        break;
    }
    case SIMULATE_TEMPERATURE: {
        const quint8 temperature = reader.readU8();
        if (reader.ok())
            device.SpecVar[0] = static_cast<quint16>((device.SpecVar[0] & 0xFF00) | temperature);
        break;
    }
    case SIMULATE_POLL: {
        const quint16 poll = reader.readU16BE();
        if (reader.ok())
            device.PollTime = poll;
        break;
    }
    default:
        break;
    }
}

void SimRadioNetwork::AdvanceSeconds(int seconds) {
    if (seconds <= 0)
        return;
    for (SimRadioDevice& device : Devices) {
        if (device.SirenSecondsLeft > 0) {
            device.SirenSecondsLeft = static_cast<quint16>(qMax(0, int(device.SirenSecondsLeft) - seconds));
            if (device.SirenSecondsLeft == 0)
                device.ZigbeeStatus &= ~STATUS_SIREN;
        }
        if (!device.IsOnline())
            continue;
        // An online device checks in once per poll time, which restarts its supervision timer;
        // in between the timer runs down.
        const quint32 sincePoll = SUPERVISION_SECONDS - qMin(device.TimeoutTimer, SUPERVISION_SECONDS);
        if (device.PollTime > 0 && sincePoll + quint32(seconds) >= device.PollTime)
            device.TimeoutTimer = SUPERVISION_SECONDS - (sincePoll + quint32(seconds)) % device.PollTime;
        else
            device.TimeoutTimer = qMax<qint64>(1, qint64(device.TimeoutTimer) - seconds);
    }
}

SimRadioDevice* SimRadioNetwork::FindDevice(const QByteArray& ieee) {
    for (SimRadioDevice& device : Devices) {
        if (device.Ieee == ieee)
            return &device;
    }
    return nullptr;
}

const SimRadioDevice* SimRadioNetwork::FindDevice(const QByteArray& ieee) const {
    return const_cast<SimRadioNetwork*>(this)->FindDevice(ieee);
}

const SimRadioDevice* SimRadioNetwork::FindDeviceByNwk(quint16 nwk) const {
    for (const SimRadioDevice& device : Devices) {
        if (device.NWK == nwk)
            return &device;
    }
    return nullptr;
}

SimZone* SimRadioNetwork::FindZone(quint8 zoneId) {
    for (SimZone& zone : Zones) {
        if (zone.ZoneID == zoneId)
            return &zone;
    }
    return nullptr;
}

quint16 SimRadioNetwork::FreeSlot() const {
    quint16 slot = 0;
    for (const SimRadioDevice& device : Devices) { // ordered by Pos
        if (device.Pos != slot)
            break;
        if (slot == LAST_SLOT)
            return LAST_SLOT;
        ++slot;
    }
    return slot;
}
