// The device and zone commands the tool writes, and the passing of time.
#include "core/protocol/ByteReader.h"
#include "sim/SimRadioNetwork.h"

#include <algorithm>

namespace {

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

bool SimRadioNetwork::ApplyWrite(quint16 keyId, const QByteArray& value) {
    switch (keyId) {
    case KEY_ADD_DEVICE: {
        const std::optional<QByteArray> ieee = CommandAddress(value);
        if (!ieee || IsAllNodes(*ieee) || IsGatewayNode(*ieee) || FindDevice(*ieee) != nullptr)
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
    if (IsAllNodes(*ieee)) {
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
