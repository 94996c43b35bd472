#include "sim/SimRadioNetwork.h"

#include "core/protocol/ByteReader.h"
#include "core/protocol/ByteWriter.h"
#include "sim/SimJsonFields.h"

#include <algorithm>

namespace {

constexpr quint8 STATUS_OFFLINE = 0x80;

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
    if (IsGatewayNode(*ieee)) {
        owners.append(0);
    } else if (IsAllNodes(*ieee)) {
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
    if (!IsGatewayNode(*ieee)) {
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

std::optional<QByteArray> SimRadioNetwork::CommandAddress(const QByteArray& value) {
    if (value.size() < ADDRESS_TEXT_LENGTH)
        return std::nullopt;
    QByteArray ieee;
    if (!SimParseHex(QString::fromLatin1(value.left(ADDRESS_TEXT_LENGTH)), ieee) || ieee.size() != 8)
        return std::nullopt;
    return ieee;
}
