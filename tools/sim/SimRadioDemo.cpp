// The demo network, the tables derived from its topology, and the site-file form of a network.
#include "sim/SimJsonFields.h"
#include "sim/SimRadioNetwork.h"

#include <QJsonArray>
#include <QSet>
#include <algorithm>

namespace {

constexpr quint16 PARENT_GATEWAY = 0xFFFF;

// Link quality as the radio reports it, from the signal strength of the link.
quint8 LinkQuality(qint8 rssi) {
    if (rssi == 0)
        return 0;
    return static_cast<quint8>(qBound(0, (int(rssi) + 100) * 255 / 70, 255));
}

QByteArray DemoIeee(quint32 serial) {
    // Every demo address shares one prefix, like a batch from one factory.
    QByteArray ieee = QByteArray::fromHex("024F5137");
    for (int shift = 24; shift >= 0; shift -= 8)
        ieee.append(char((serial >> shift) & 0xFF));
    return ieee;
}

struct DemoDevice {
    quint16 NWK;
    quint16 ParentNWK;
    quint8 HW;
    const char* Name; // Latin-1
    qint8 RSSIbase;
    qint8 RSSIdet;
    quint8 ZoneID;
    bool Online;
};

} // namespace

void SimRadioNetwork::RebuildTablesFromTopology() {
    Neighbors.clear();
    Routes.clear();
    const auto depthOf = [this](quint16 nwk) {
        int depth = 0;
        // A loop in the parents is cut after as many steps as there are devices.
        for (int steps = 0; nwk != 0 && steps <= Devices.size(); ++steps, ++depth) {
            const SimRadioDevice* device = FindDeviceByNwk(nwk);
            if (device == nullptr)
                return 0xFF;
            nwk = device->ParentNWK;
        }
        return nwk == 0 ? depth : 0xFF;
    };
    QList<quint16> routers{0};
    for (const SimRadioDevice& device : Devices) {
        if (device.IsRepeater() && device.IsOnline())
            routers.append(device.NWK);
    }
    const auto addNeighbor = [this](quint16 owner, quint16 nwk, const QByteArray& ieee, qint8 rssi, int depth,
                                    quint8 deviceType, quint8 relation, quint8 age) {
        SimNeighbor neighbor;
        neighbor.OwnerNWK = owner;
        neighbor.NeighborNWK = nwk;
        neighbor.Ieee = ieee;
        neighbor.rxLqi = LinkQuality(rssi);
        neighbor.depth = static_cast<quint8>(depth);
        neighbor.type = static_cast<quint8>(deviceType | (relation << 4));
        neighbor.age = age;
        Neighbors.append(neighbor);
    };
    for (const quint16 owner : routers) {
        const SimRadioDevice* self = owner == 0 ? nullptr : FindDeviceByNwk(owner);
        // Its parent.
        if (self != nullptr) {
            const SimRadioDevice* parent = FindDeviceByNwk(self->ParentNWK);
            if (self->ParentNWK == 0)
                addNeighbor(owner, 0, QByteArray(8, '\0'), self->RSSIdet, 0, 0, 0, 1);
            else if (parent != nullptr)
                addNeighbor(owner, parent->NWK, parent->Ieee, self->RSSIdet, depthOf(parent->NWK), 1, 0, 1);
        }
        // Its children and the routers beside it.
        for (const SimRadioDevice& device : Devices) {
            if (!device.IsOnline() || device.NWK == owner)
                continue;
            const quint8 deviceType = device.IsRepeater() ? 1 : 2;
            if (device.ParentNWK == owner)
                addNeighbor(owner, device.NWK, device.Ieee, device.RSSIbase, depthOf(device.NWK), deviceType,
                            1, static_cast<quint8>(device.Pos % 4));
            else if (self != nullptr && device.IsRepeater() && device.ParentNWK == self->ParentNWK)
                addNeighbor(owner, device.NWK, device.Ieee, device.RSSIbase, depthOf(device.NWK), 1, 2,
                            static_cast<quint8>(2 + device.Pos % 3));
        }
        // Routes to everything below it, through the child on the way.
        for (const SimRadioDevice& device : Devices) {
            if (device.NWK == owner || device.NWK == 0xFFFE)
                continue;
            quint16 hop = device.NWK;
            quint16 above = device.ParentNWK;
            int steps = 0;
            while (above != owner && above != 0 && steps++ <= Devices.size()) {
                const SimRadioDevice* up = FindDeviceByNwk(above);
                if (up == nullptr)
                    break;
                hop = above;
                above = up->ParentNWK;
            }
            if (above != owner)
                continue;
            SimRoute route;
            route.OwnerNWK = owner;
            route.DestNWK = device.NWK;
            route.HopNWK = hop;
            route.status = device.IsOnline() ? 1 : 3; // RT_ACTIVE, or RT_LINK_FAIL for a silent device
            Routes.append(route);
        }
    }
}

SimRadioNetwork SimRadioNetwork::Demo() {
    // Gateway 0000; repeaters 4C21 and 9E07 below it, 23F5 and B812 one level further down.
    static const DemoDevice devices[] = {
        {0x4C21, 0x0000, 2, "Trapphus plan 1", -48, -51, 4, true},
        {0x9E07, 0x0000, 6, "Garage repeater", -63, -60, 2, true},
        {0x6A10, 0x0000, 1, "K\xF6k", -55, -58, 1, true},
        {0x7C3E, 0x4C21, 1, "Sovrum 1", -67, -70, 1, true},
        {0x0F92, 0x4C21, 1, "Sovrum 2", -71, -69, 1, true},
        {0x23F5, 0x4C21, 2, "Trapphus plan 3", -74, -77, 4, true},
        {0xB812, 0x9E07, 6,
         "F\xF6rr\xE5"
         "d repeater",
         -69, -72, 3, true},
        {0xD104, 0x23F5, 1, "Vind", -81, -84, 4, true},
        {0x5E66, 0x23F5, 1, "Trapphus plan 4", 0, 0, 4, false},
        {0x3B70, 0x9E07, 5, "Garageport", -58, -62, 2, true},
        {0x8841, 0xB812, 5, "Frysrum", -77, -80, 3, true},
        {0xE2A9, 0x0000, 5,
         "Tv\xE4ttstuga l\xE4"
         "ckage",
         -61, -59, 1, true},
        {0xA3C8, 0x0000, 1, "Kontor", -52, -61, 1, true},
        {0x1D5B, 0x9E07, 1, "", -66, -64, 2, true},
    };
    SimRadioNetwork network;
    quint16 pos = 0;
    for (const DemoDevice& demo : devices) {
        SimRadioDevice d;
        d.Pos = pos;
        d.Ieee = DemoIeee(0x00A10000u + 0x137u * pos);
        d.NWK = demo.NWK;
        d.ParentNWK = demo.ParentNWK;
        d.HW = demo.HW;
        d.Name = QString::fromLatin1(demo.Name);
        d.RSSIbase = demo.RSSIbase;
        d.RSSIdet = demo.RSSIdet;
        d.ZoneID = demo.ZoneID;
        d.PollTime = d.IsRepeater() ? 60 : 240;
        d.TimeoutTimer = demo.Online ? 10800 - 37u * (pos + 1) % d.PollTime : 0;
        d.ZigbeeStatus = demo.Online ? 0 : 0x80;
        d.Resends = static_cast<quint16>(demo.Online ? (pos * 7) % 23 : 41);
        d.ComErrors = static_cast<quint16>((pos * 3) % 5);
        d.Joins = static_cast<quint16>(1 + pos % 3);
        d.EndPoint = 1;
        d.Battery = static_cast<quint16>(1690 + (pos * 13) % 80);
        d.Power = d.IsRepeater() ? static_cast<quint16>(1985 + pos % 9) : 0;
        if (d.IsMini()) {
            d.SWHigh = 1, d.SWLow = 12, d.SWYear = 21, d.SWMonth = 3, d.SWDay = 15;
            d.Selector = 0x01; // minis report their input block
        } else {
            d.SWHigh = 2, d.SWLow = 14, d.SWYear = 19, d.SWMonth = 11, d.SWDay = 4;
            d.SensorKind = d.IsRepeater() ? 1 : 0;
            d.SpecVar[0] = static_cast<quint16>(19 + pos % 5); // room temperature
        }
        if (d.IsRepeater())
            d.Battery = 0;
        d.ParentList = {d.ParentNWK == 0 ? PARENT_GATEWAY : d.ParentNWK, 0, 0, 0};
        network.Devices.append(d);
        ++pos;
    }
    // Details that make the list worth looking at.
    SimRadioDevice& bedroom = network.Devices[3];
    bedroom.ZigbeeStatus = 0x40; // low battery
    bedroom.Battery = 1120;
    bedroom.ParentList = {0x4C21, PARENT_GATEWAY, 0x23F5, 0};
    SimRadioDevice& door = network.Devices[9];
    door.InputTypes = {2, 4}; // burglary, operational
    door.ZigbeeStatus = 0x01; // door open
    door.AlarmStatus = 0x01;
    door.ParentList = {0x9E07, PARENT_GATEWAY, 0, 0};
    SimRadioDevice& freezer = network.Devices[10];
    freezer.InputTypes = {6, 6}; // two temperature probes
    freezer.SpecVar = {static_cast<quint16>(quint8(-18)), 4};
    freezer.ParentList = {0xB812, 0x9E07, 0, 0};
    SimRadioDevice& laundry = network.Devices[11];
    laundry.InputTypes = {5, 7}; // water, acknowledge
    network.Devices[6].InputTypes = {1, 3};
    network.Devices[1].InputTypes = {8, 11};
    network.Devices[6].ParentList = {0x9E07, 0x4C21, 0, 0};
    network.Devices[5].ParentList = {0x4C21, PARENT_GATEWAY, 0, 0};
    // Older radio firmware reports less: the office detector the 0xFE block, the laundry
    // detector no extension at all (so no name).
    SimRadioDevice& office = network.Devices[12];
    office.Ext = SimRadioDevice::ExtendedInfo;
    office.SWHigh = 1, office.SWLow = 8, office.SWYear = 17, office.SWMonth = 6, office.SWDay = 5;
    SimRadioDevice& oldest = network.Devices[13];
    oldest.Ext = SimRadioDevice::NoExtension;
    oldest.SWHigh = 1, oldest.SWLow = 2, oldest.SWYear = 15, oldest.SWMonth = 2, oldest.SWDay = 10;
    oldest.ZoneID = 0;
    // The offline detector went silent with a flat battery.
    network.Devices[8].Battery = 702;

    const auto output = [](const QByteArray& ieee, quint8 number) {
        return ieee + QByteArray(1, char(number));
    };
    const auto unitOutput = [](quint8 number) {
        return QByteArray::fromHex("FE") + char(number) + QByteArray(7, '\0');
    };
    SimZone home;
    home.ZoneID = 1, home.Name = QStringLiteral("Bostad"), home.AreaID = QStringLiteral("1001"),
    home.Status = 3;
    home.AlarmOutputs[0] = unitOutput(1);
    home.AlarmOutputReloadTime = 180, home.AlarmLookupReloadTime = 30;
    SimZone garage;
    garage.ZoneID = 2, garage.Name = QStringLiteral("Garage"), garage.AreaID = QStringLiteral("1002");
    garage.Status = 2, garage.OutputDelay = 1, garage.ZoneControlDelayReloadTime = 30;
    garage.ActivationOutput = output(network.Devices[1].Ieee, 1);
    garage.AlarmOutputs[0] = output(network.Devices[1].Ieee, 2);
    garage.AlarmOutputReloadTime = 300;
    SimZone storage;
    storage.ZoneID = 3,
    storage.Name = QString::fromLatin1("F\xF6rr\xE5"
                                       "d"),
    storage.AreaID = QStringLiteral("1003");
    storage.Status = 1, storage.AutoAck = 1;
    storage.FaultOutputs[0] = unitOutput(2);
    storage.FaultOutputReloadTime = 60;
    SimZone fire;
    fire.ZoneID = 4, fire.Name = QStringLiteral("Brandlarm trapphus"), fire.AreaID = QStringLiteral("1001");
    fire.Status = 2, fire.TwoSection = 1, fire.ActivateAllSirens = 1;
    fire.AlarmOutputs = {unitOutput(1), output(network.Devices[6].Ieee, 1)};
    fire.FaultOutputs = {unitOutput(2), QByteArray(9, '\0')};
    fire.AlarmOutputReloadTime = 600, fire.FaultOutputReloadTime = 120, fire.AlarmLookupReloadTime = 60;
    network.Zones = {home, garage, storage, fire};

    network.RebuildTablesFromTopology();

    // A test against the far repeater, a little under half done.
    network.Test.TestCount = 50;
    network.Test.TestUnitNWK = 0x23F5;
    network.Test.PacketsSent = 21;
    network.Test.TestResults = 19;
    network.Test.TestTimer = 29;
    network.Test.LossPercent = 8;
    return network;
}

QJsonObject SimRadioNetwork::ToJson() const {
    QJsonArray devices, zones, neighbors, routes;
    for (const SimRadioDevice& device : Devices)
        devices.append(DeviceToJson(device));
    for (const SimZone& zone : Zones)
        zones.append(ZoneToJson(zone));
    for (const SimNeighbor& neighbor : Neighbors)
        neighbors.append(NeighborToJson(neighbor));
    for (const SimRoute& route : Routes)
        routes.append(RouteToJson(route));
    return QJsonObject{
        {QStringLiteral("Devices"), devices},
        {QStringLiteral("Zones"), zones},
        {QStringLiteral("Neighbors"), neighbors},
        {QStringLiteral("Routes"), routes},
        {QStringLiteral("Test"), RadioTestToJson(Test)},
    };
}

std::optional<SimRadioNetwork> SimRadioNetwork::FromJson(const QJsonObject& json, QString* error) {
    SimRadioNetwork network;
    SimJsonFields fields(json, QStringLiteral("radio network"));
    const QJsonArray devices = fields.Array("Devices");
    const QJsonArray zones = fields.Array("Zones");
    const QJsonArray neighbors = fields.Array("Neighbors");
    const QJsonArray routes = fields.Array("Routes");
    if (!fields.Finish(error))
        return std::nullopt;
    QSet<QByteArray> addresses;
    QSet<quint16> slots;
    QList<SimRadioDevice> unplaced; // devices given without a position take the free slots
    for (const QJsonValue& value : devices) {
        std::optional<SimRadioDevice> device = DeviceFromJson(value.toObject(), error);
        if (!device)
            return std::nullopt;
        const bool placed = value.toObject().contains(QStringLiteral("Pos"));
        if (addresses.contains(device->Ieee) ||
            (placed && (slots.contains(device->Pos) || device->Pos > LAST_SLOT))) {
            SimSetError(error, QStringLiteral("device %1: the address and the position must be unique, "
                                              "the position at most %2")
                                   .arg(device->AddressText())
                                   .arg(LAST_SLOT));
            return std::nullopt;
        }
        addresses.insert(device->Ieee);
        if (!placed) {
            unplaced.append(*device);
            continue;
        }
        slots.insert(device->Pos);
        network.Devices.append(*device);
    }
    const auto byPos = [](const SimRadioDevice& a, const SimRadioDevice& b) { return a.Pos < b.Pos; };
    std::sort(network.Devices.begin(), network.Devices.end(), byPos);
    for (SimRadioDevice& device : unplaced) {
        device.Pos = network.FreeSlot();
        network.Devices.insert(
            std::upper_bound(network.Devices.begin(), network.Devices.end(), device, byPos), device);
    }
    for (const QJsonValue& value : zones) {
        std::optional<SimZone> zone = ZoneFromJson(value.toObject(), error);
        if (!zone)
            return std::nullopt;
        if (network.FindZone(zone->ZoneID) != nullptr) {
            SimSetError(error, QStringLiteral("zone %1 is given twice").arg(zone->ZoneID));
            return std::nullopt;
        }
        network.Zones.append(*zone);
    }
    std::sort(network.Zones.begin(), network.Zones.end(),
              [](const SimZone& a, const SimZone& b) { return a.ZoneID < b.ZoneID; });
    // Without explicit tables the radio works them out from the parents.
    if (!json.contains(QStringLiteral("Neighbors")) && !json.contains(QStringLiteral("Routes")))
        network.RebuildTablesFromTopology();
    for (const QJsonValue& value : neighbors) {
        std::optional<SimNeighbor> neighbor = NeighborFromJson(value.toObject(), error);
        if (!neighbor)
            return std::nullopt;
        network.Neighbors.append(*neighbor);
    }
    for (const QJsonValue& value : routes) {
        std::optional<SimRoute> route = RouteFromJson(value.toObject(), error);
        if (!route)
            return std::nullopt;
        network.Routes.append(*route);
    }
    if (json.contains(QStringLiteral("Test"))) {
        std::optional<SimRadioTest> test =
            RadioTestFromJson(json.value(QStringLiteral("Test")).toObject(), error);
        if (!test)
            return std::nullopt;
        network.Test = *test;
    }
    return network;
}
