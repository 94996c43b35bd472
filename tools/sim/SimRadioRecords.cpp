#include "sim/SimRadioRecords.h"

#include "core/protocol/ByteWriter.h"
#include "sim/SimJsonFields.h"

#include <QJsonArray>

namespace {

// Records are small; the writer only needs room for the longest name a unit accepts.
constexpr qsizetype RECORD_CAPACITY = 4096;

constexpr quint8 NAME_END = 0x1F;
constexpr quint8 SELECTOR_NOTHING_MORE = 0x1E;
constexpr quint8 SELECTOR_NO_MINI_BLOCK = 0x80;
// The 0xFD block: zone, disabled, alarm, power, name end, selector, mini block, counters, parents, joins.
constexpr int MAX_PAYLOAD_BLOCK = 255;
constexpr int PAYLOAD_BLOCK_FIXED = 1 + 1 + 1 + 2 + 1 + 1 + 4 + 2 + 8 + 2;

enum ZoneElement : quint8 {
    ELEMENT_NAME = 0,
    ELEMENT_ACTIVATION_OUTPUT = 1,
    ELEMENT_ALARM_OUTPUT_1 = 2,
    ELEMENT_ALARM_OUTPUT_2 = 3,
    ELEMENT_FAULT_OUTPUT_1 = 4,
    ELEMENT_FAULT_OUTPUT_2 = 5,
    ELEMENT_ALARM_OUTPUT_TIME = 6,
    ELEMENT_FAULT_OUTPUT_TIME = 7,
    ELEMENT_CONTROL_DELAY_TIME = 8,
    ELEMENT_ALARM_LOOKUP_TIME = 9,
    ELEMENT_TWO_SECTION = 10,
    ELEMENT_AUTO_ACK = 11,
    ELEMENT_OUTPUT_DELAY = 12,
    ELEMENT_AREA = 13,
    ELEMENT_ACTIVATE_ALL_SIRENS = 14,
    ELEMENT_STATUS = 15,
};

constexpr int OUTPUT_REF_BYTES = 9;

// A name ends at the first 0x1F on the wire, so the unit never stores one inside a name.
QByteArray NameBytes(const QString& name) {
    QByteArray bytes = TextToLowBytes(name);
    bytes.replace(char(NAME_END), QByteArray());
    return bytes.left(255);
}

QByteArray Ieee8(const QByteArray& ieee) {
    QByteArray bytes = ieee.left(8);
    bytes.append(QByteArray(8 - bytes.size(), '\0'));
    return bytes;
}

QByteArray OutputRef9(const QByteArray& ref) {
    QByteArray bytes = ref.left(OUTPUT_REF_BYTES);
    bytes.append(QByteArray(OUTPUT_REF_BYTES - bytes.size(), '\0'));
    return bytes;
}

void WriteElement(ByteWriter& out, quint8 type, const QByteArray& data) {
    out.writeU8(type);
    out.writeU8(static_cast<quint8>(data.size()));
    out.writeBytes(data);
}

QByteArray U16Bytes(quint16 value) {
    QByteArray bytes(2, '\0');
    bytes[0] = char(value >> 8);
    bytes[1] = char(value & 0xFF);
    return bytes;
}

QJsonArray HexList(const QList<QByteArray>& list) {
    QJsonArray array;
    for (const QByteArray& bytes : list)
        array.append(SimHexBytes(bytes));
    return array;
}

// Two output references from an array of two hexadecimal texts.
bool ReadOutputPair(SimJsonFields& fields, const char* name, std::array<QByteArray, 2>& out, QString* error,
                    const QString& context) {
    const QJsonArray array = fields.Array(name);
    if (!fields.Ok() || array.isEmpty())
        return fields.Ok();
    if (array.size() != 2) {
        SimSetError(error,
                    QStringLiteral("%1: field \"%2\" must hold two output references").arg(context, name));
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        QByteArray bytes;
        if (!SimParseHex(array.at(i).toString(), bytes) || bytes.size() != OUTPUT_REF_BYTES) {
            SimSetError(error, QStringLiteral("%1: field \"%2\" must hold 18 hexadecimal digits per output")
                                   .arg(context, name));
            return false;
        }
        out[i] = bytes;
    }
    return true;
}

} // namespace

QString SimRadioDevice::AddressText() const {
    return SimHexBytes(Ieee8(Ieee));
}

void SimZone::ApplyElement(quint8 type, const QByteArray& data) {
    const auto u16 = [&data](quint16& field) {
        if (data.size() >= 2)
            field = static_cast<quint16>((quint8(data.at(0)) << 8) | quint8(data.at(1)));
    };
    const auto u8 = [&data](quint8& field) {
        if (!data.isEmpty())
            field = static_cast<quint8>(data.at(0));
    };
    // A short output form (00 00 or FE n) leaves the rest of the reference zero, not stale.
    const auto output = [&data](QByteArray& field) { field = OutputRef9(data); };
    switch (type) {
    case ELEMENT_NAME:
        Name = QString::fromLatin1(data);
        break;
    case ELEMENT_AREA:
        AreaID = QString::fromLatin1(data);
        break;
    case ELEMENT_ACTIVATION_OUTPUT:
        output(ActivationOutput);
        break;
    case ELEMENT_ALARM_OUTPUT_1:
        output(AlarmOutputs[0]);
        break;
    case ELEMENT_ALARM_OUTPUT_2:
        output(AlarmOutputs[1]);
        break;
    case ELEMENT_FAULT_OUTPUT_1:
        output(FaultOutputs[0]);
        break;
    case ELEMENT_FAULT_OUTPUT_2:
        output(FaultOutputs[1]);
        break;
    case ELEMENT_ALARM_OUTPUT_TIME:
        u16(AlarmOutputReloadTime);
        break;
    case ELEMENT_FAULT_OUTPUT_TIME:
        u16(FaultOutputReloadTime);
        break;
    case ELEMENT_CONTROL_DELAY_TIME:
        u16(ZoneControlDelayReloadTime);
        break;
    case ELEMENT_ALARM_LOOKUP_TIME:
        u16(AlarmLookupReloadTime);
        break;
    case ELEMENT_TWO_SECTION:
        u8(TwoSection);
        break;
    case ELEMENT_AUTO_ACK:
        u8(AutoAck);
        break;
    case ELEMENT_OUTPUT_DELAY:
        u8(OutputDelay);
        break;
    case ELEMENT_ACTIVATE_ALL_SIRENS:
        u8(ActivateAllSirens);
        break;
    case ELEMENT_STATUS:
        u8(Status);
        break;
    default:
        break;
    }
}

QByteArray EncodeDeviceRecord(const SimRadioDevice& device) {
    ByteWriter out(RECORD_CAPACITY);
    out.writeU16BE(device.Pos);
    out.writeBytes(Ieee8(device.Ieee));
    out.writeU16BE(device.NWK);
    out.writeU16BE(device.ParentNWK);
    out.writeU8(device.ZigbeeStatus);
    out.writeU8(static_cast<quint8>(device.RSSIbase));
    out.writeU8(static_cast<quint8>(device.RSSIdet));
    out.writeU16BE(device.Battery);
    const quint32 timeout = qMin<quint32>(device.TimeoutTimer, 0xFFFFFF);
    out.writeU8(static_cast<quint8>(timeout >> 16));
    out.writeU16BE(static_cast<quint16>(timeout & 0xFFFF));
    out.writeU16BE(device.Resends);
    out.writeU16BE(device.PollTime);
    out.writeU8(device.EndPoint);
    out.writeU8(device.SensorKind);
    out.writeU16BE(device.SpecVar[0]);
    out.writeU8(device.HW);
    out.writeU8(device.SWHigh);
    out.writeU8(device.SWLow);
    out.writeU8(device.SWYear);
    out.writeU8(device.SWMonth);
    out.writeU8(device.SWDay);

    const QByteArray name = NameBytes(device.Name);
    if (device.Ext == SimRadioDevice::ExtendedInfo) {
        out.writeU8(SimRadioDevice::ExtendedInfo);
        out.writeU8(device.ZoneID);
        out.writeU8(device.Disabled);
        out.writeU8(device.InputTypes[0]);
        out.writeU8(device.InputTypes[1]);
        out.writeU8(device.AlarmStatus);
        out.writeU16BE(device.SpecVar[1]);
        out.writeBytes(name);
        out.writeU8(NAME_END);
    } else if (device.Ext == SimRadioDevice::ExtendedPayload) {
        // The block's length is one byte, so a long name is cut to leave room for the rest.
        ByteWriter block(RECORD_CAPACITY);
        block.writeU8(device.ZoneID);
        block.writeU8(device.Disabled);
        block.writeU8(device.AlarmStatus);
        block.writeU16BE(device.Power);
        block.writeBytes(name.left(MAX_PAYLOAD_BLOCK - PAYLOAD_BLOCK_FIXED));
        block.writeU8(NAME_END);
        const quint8 selector = device.Selector;
        block.writeU8(selector);
        if (selector != SELECTOR_NOTHING_MORE && selector < SELECTOR_NO_MINI_BLOCK) {
            block.writeU8(device.InputTypes[0]);
            block.writeU8(device.InputTypes[1]);
            block.writeU16BE(device.SpecVar[1]);
        }
        if (selector != 0 && selector != SELECTOR_NOTHING_MORE) {
            block.writeU16BE(device.ComErrors);
            for (const quint16 parent : device.ParentList)
                block.writeU16BE(parent);
            block.writeU16BE(device.Joins);
        }
        out.writeU8(SimRadioDevice::ExtendedPayload);
        out.writeU8(static_cast<quint8>(block.size()));
        out.writeBytes(block.bytes());
    }
    return out.bytes();
}

QByteArray EncodeZoneElements(const SimZone& zone) {
    ByteWriter out(RECORD_CAPACITY);
    WriteElement(out, ELEMENT_NAME, NameBytes(zone.Name));
    WriteElement(out, ELEMENT_AREA, NameBytes(zone.AreaID));
    WriteElement(out, ELEMENT_ACTIVATION_OUTPUT, OutputRef9(zone.ActivationOutput));
    WriteElement(out, ELEMENT_ALARM_OUTPUT_1, OutputRef9(zone.AlarmOutputs[0]));
    WriteElement(out, ELEMENT_ALARM_OUTPUT_2, OutputRef9(zone.AlarmOutputs[1]));
    WriteElement(out, ELEMENT_FAULT_OUTPUT_1, OutputRef9(zone.FaultOutputs[0]));
    WriteElement(out, ELEMENT_FAULT_OUTPUT_2, OutputRef9(zone.FaultOutputs[1]));
    WriteElement(out, ELEMENT_ALARM_OUTPUT_TIME, U16Bytes(zone.AlarmOutputReloadTime));
    WriteElement(out, ELEMENT_FAULT_OUTPUT_TIME, U16Bytes(zone.FaultOutputReloadTime));
    WriteElement(out, ELEMENT_CONTROL_DELAY_TIME, U16Bytes(zone.ZoneControlDelayReloadTime));
    WriteElement(out, ELEMENT_ALARM_LOOKUP_TIME, U16Bytes(zone.AlarmLookupReloadTime));
    WriteElement(out, ELEMENT_TWO_SECTION, QByteArray(1, char(zone.TwoSection)));
    WriteElement(out, ELEMENT_AUTO_ACK, QByteArray(1, char(zone.AutoAck)));
    WriteElement(out, ELEMENT_OUTPUT_DELAY, QByteArray(1, char(zone.OutputDelay)));
    WriteElement(out, ELEMENT_ACTIVATE_ALL_SIRENS, QByteArray(1, char(zone.ActivateAllSirens)));
    WriteElement(out, ELEMENT_STATUS, QByteArray(1, char(zone.Status)));
    return out.bytes();
}

QByteArray EncodeZoneRecord(quint16 pos, const SimZone& zone) {
    const QByteArray elements = EncodeZoneElements(zone);
    ByteWriter out(RECORD_CAPACITY);
    out.writeU16BE(pos);
    out.writeU8(zone.ZoneID);
    out.writeU16BE(static_cast<quint16>(elements.size()));
    out.writeBytes(elements);
    return out.bytes();
}

QByteArray EncodeNeighborRecord(const SimNeighbor& neighbor) {
    ByteWriter out(16);
    out.writeU16BE(neighbor.OwnerNWK);
    out.writeU16BE(neighbor.NeighborNWK);
    out.writeBytes(Ieee8(neighbor.Ieee));
    out.writeU8(neighbor.rxLqi);
    out.writeU8(neighbor.depth);
    out.writeU8(neighbor.type);
    out.writeU8(neighbor.age);
    return out.bytes();
}

QByteArray EncodeRouteRecord(const SimRoute& route) {
    ByteWriter out(7);
    out.writeU16BE(route.OwnerNWK);
    out.writeU16BE(route.DestNWK);
    out.writeU16BE(route.HopNWK);
    out.writeU8(route.status);
    return out.bytes();
}

QByteArray EncodeTestResultRecord(const SimRadioTest& test) {
    ByteWriter out(8);
    out.writeU16BE(test.TestTimer);
    out.writeU16BE(test.TestCount);
    out.writeU16BE(test.TestUnitNWK);
    out.writeU16BE(test.TestResults);
    return out.bytes();
}

QJsonObject DeviceToJson(const SimRadioDevice& d) {
    QJsonArray parents;
    for (const quint16 parent : d.ParentList)
        parents.append(SimHex16(parent));
    QString extension = QStringLiteral("none");
    if (d.Ext == SimRadioDevice::ExtendedPayload)
        extension = QStringLiteral("FD");
    else if (d.Ext == SimRadioDevice::ExtendedInfo)
        extension = QStringLiteral("FE");
    return QJsonObject{
        {QStringLiteral("Pos"), d.Pos},
        {QStringLiteral("Address"), d.AddressText()},
        {QStringLiteral("NWK"), SimHex16(d.NWK)},
        {QStringLiteral("ParentNWK"), SimHex16(d.ParentNWK)},
        {QStringLiteral("ZigbeeStatus"), d.ZigbeeStatus},
        {QStringLiteral("RSSIbase"), d.RSSIbase},
        {QStringLiteral("RSSIdet"), d.RSSIdet},
        {QStringLiteral("Battery"), d.Battery},
        {QStringLiteral("Power"), d.Power},
        {QStringLiteral("TimeoutTimer"), static_cast<qint64>(d.TimeoutTimer)},
        {QStringLiteral("Resends"), d.Resends},
        {QStringLiteral("PollTime"), d.PollTime},
        {QStringLiteral("EndPoint"), d.EndPoint},
        {QStringLiteral("SensorKind"), d.SensorKind},
        {QStringLiteral("SpecVar0"), d.SpecVar[0]},
        {QStringLiteral("SpecVar1"), d.SpecVar[1]},
        {QStringLiteral("HW"), d.HW},
        {QStringLiteral("SWHigh"), d.SWHigh},
        {QStringLiteral("SWLow"), d.SWLow},
        {QStringLiteral("SWYear"), d.SWYear},
        {QStringLiteral("SWMonth"), d.SWMonth},
        {QStringLiteral("SWDay"), d.SWDay},
        {QStringLiteral("ZoneID"), d.ZoneID},
        {QStringLiteral("Disabled"), d.Disabled},
        {QStringLiteral("InputType0"), d.InputTypes[0]},
        {QStringLiteral("InputType1"), d.InputTypes[1]},
        {QStringLiteral("AlarmStatus"), d.AlarmStatus},
        {QStringLiteral("ComErrors"), d.ComErrors},
        {QStringLiteral("Joins"), d.Joins},
        {QStringLiteral("ParentList"), parents},
        {QStringLiteral("Name"), d.Name},
        {QStringLiteral("Extension"), extension},
        {QStringLiteral("Selector"), d.Selector},
    };
}

std::optional<SimRadioDevice> DeviceFromJson(const QJsonObject& json, QString* error) {
    SimRadioDevice d;
    const QString context = QStringLiteral("device %1").arg(json.value(QStringLiteral("Address")).toString());
    if (!json.contains(QStringLiteral("Address"))) {
        SimSetError(error, QStringLiteral("device: field \"Address\" is required"));
        return std::nullopt;
    }
    SimJsonFields f(json, context);
    f.Number("Pos", d.Pos);
    f.HexBytes("Address", 8, d.Ieee);
    f.Hex16("NWK", d.NWK);
    f.Hex16("ParentNWK", d.ParentNWK);
    f.Number("ZigbeeStatus", d.ZigbeeStatus);
    f.Number("RSSIbase", d.RSSIbase);
    f.Number("RSSIdet", d.RSSIdet);
    f.Number("Battery", d.Battery);
    f.Number("Power", d.Power);
    f.Number("TimeoutTimer", d.TimeoutTimer);
    f.Number("Resends", d.Resends);
    f.Number("PollTime", d.PollTime);
    f.Number("EndPoint", d.EndPoint);
    f.Number("SensorKind", d.SensorKind);
    f.Number("SpecVar0", d.SpecVar[0]);
    f.Number("SpecVar1", d.SpecVar[1]);
    f.Number("HW", d.HW);
    f.Number("SWHigh", d.SWHigh);
    f.Number("SWLow", d.SWLow);
    f.Number("SWYear", d.SWYear);
    f.Number("SWMonth", d.SWMonth);
    f.Number("SWDay", d.SWDay);
    f.Number("ZoneID", d.ZoneID);
    f.Number("Disabled", d.Disabled);
    f.Number("InputType0", d.InputTypes[0]);
    f.Number("InputType1", d.InputTypes[1]);
    f.Number("AlarmStatus", d.AlarmStatus);
    f.Number("ComErrors", d.ComErrors);
    f.Number("Joins", d.Joins);
    f.Text("Name", d.Name);
    f.Number("Selector", d.Selector);
    QString extension = QStringLiteral("FD");
    f.Text("Extension", extension);
    const QJsonArray parents = f.Array("ParentList");
    if (!f.Finish(error))
        return std::nullopt;
    if (d.TimeoutTimer > 0xFFFFFF) {
        SimSetError(error, context + QStringLiteral(": field \"TimeoutTimer\" must fit 24 bits"));
        return std::nullopt;
    }
    if (extension.compare(QStringLiteral("FD"), Qt::CaseInsensitive) == 0)
        d.Ext = SimRadioDevice::ExtendedPayload;
    else if (extension.compare(QStringLiteral("FE"), Qt::CaseInsensitive) == 0)
        d.Ext = SimRadioDevice::ExtendedInfo;
    else if (extension.compare(QStringLiteral("none"), Qt::CaseInsensitive) == 0)
        d.Ext = SimRadioDevice::NoExtension;
    else {
        SimSetError(error,
                    context + QStringLiteral(": field \"Extension\" must be \"FD\", \"FE\" or \"none\""));
        return std::nullopt;
    }
    if (parents.size() > int(d.ParentList.size())) {
        SimSetError(error, context + QStringLiteral(": field \"ParentList\" holds at most four entries"));
        return std::nullopt;
    }
    for (int i = 0; i < parents.size(); ++i) {
        bool converted = false;
        const uint parent = parents.at(i).toString().toUInt(&converted, 16);
        if (!converted || parent > 0xFFFF) {
            SimSetError(error,
                        context + QStringLiteral(": field \"ParentList\" must hold hexadecimal NWK texts"));
            return std::nullopt;
        }
        d.ParentList[i] = static_cast<quint16>(parent);
    }
    return d;
}

QJsonObject ZoneToJson(const SimZone& z) {
    return QJsonObject{
        {QStringLiteral("ZoneID"), z.ZoneID},
        {QStringLiteral("Name"), z.Name},
        {QStringLiteral("AreaID"), z.AreaID},
        {QStringLiteral("ActivationOutput"), SimHexBytes(OutputRef9(z.ActivationOutput))},
        {QStringLiteral("AlarmOutputs"),
         HexList({OutputRef9(z.AlarmOutputs[0]), OutputRef9(z.AlarmOutputs[1])})},
        {QStringLiteral("FaultOutputs"),
         HexList({OutputRef9(z.FaultOutputs[0]), OutputRef9(z.FaultOutputs[1])})},
        {QStringLiteral("AlarmOutputReloadTime"), z.AlarmOutputReloadTime},
        {QStringLiteral("FaultOutputReloadTime"), z.FaultOutputReloadTime},
        {QStringLiteral("ZoneControlDelayReloadTime"), z.ZoneControlDelayReloadTime},
        {QStringLiteral("AlarmLookupReloadTime"), z.AlarmLookupReloadTime},
        {QStringLiteral("TwoSection"), z.TwoSection},
        {QStringLiteral("AutoAck"), z.AutoAck},
        {QStringLiteral("OutputDelay"), z.OutputDelay},
        {QStringLiteral("ActivateAllSirens"), z.ActivateAllSirens},
        {QStringLiteral("Status"), z.Status},
    };
}

std::optional<SimZone> ZoneFromJson(const QJsonObject& json, QString* error) {
    SimZone z;
    const QString context = QStringLiteral("zone %1").arg(json.value(QStringLiteral("ZoneID")).toInt());
    SimJsonFields f(json, context);
    f.Number("ZoneID", z.ZoneID);
    f.Text("Name", z.Name);
    f.Text("AreaID", z.AreaID);
    f.HexBytes("ActivationOutput", OUTPUT_REF_BYTES, z.ActivationOutput);
    f.Number("AlarmOutputReloadTime", z.AlarmOutputReloadTime);
    f.Number("FaultOutputReloadTime", z.FaultOutputReloadTime);
    f.Number("ZoneControlDelayReloadTime", z.ZoneControlDelayReloadTime);
    f.Number("AlarmLookupReloadTime", z.AlarmLookupReloadTime);
    f.Number("TwoSection", z.TwoSection);
    f.Number("AutoAck", z.AutoAck);
    f.Number("OutputDelay", z.OutputDelay);
    f.Number("ActivateAllSirens", z.ActivateAllSirens);
    f.Number("Status", z.Status);
    if (!f.Finish(error) || !ReadOutputPair(f, "AlarmOutputs", z.AlarmOutputs, error, context) ||
        !ReadOutputPair(f, "FaultOutputs", z.FaultOutputs, error, context) || !f.Finish(error))
        return std::nullopt;
    if (z.ZoneID == 0 || z.ZoneID == 0xFF) {
        SimSetError(error, context + QStringLiteral(": field \"ZoneID\" must be 1 to 254"));
        return std::nullopt;
    }
    return z;
}

QJsonObject NeighborToJson(const SimNeighbor& n) {
    return QJsonObject{
        {QStringLiteral("OwnerNWK"), SimHex16(n.OwnerNWK)},
        {QStringLiteral("NeighborNWK"), SimHex16(n.NeighborNWK)},
        {QStringLiteral("extID"), SimHexBytes(Ieee8(n.Ieee))},
        {QStringLiteral("rxLqi"), n.rxLqi},
        {QStringLiteral("depth"), n.depth},
        {QStringLiteral("type"), n.type},
        {QStringLiteral("age"), n.age},
    };
}

std::optional<SimNeighbor> NeighborFromJson(const QJsonObject& json, QString* error) {
    SimNeighbor n;
    n.Ieee = QByteArray(8, '\0');
    SimJsonFields f(json, QStringLiteral("neighbor"));
    f.Hex16("OwnerNWK", n.OwnerNWK);
    f.Hex16("NeighborNWK", n.NeighborNWK);
    f.HexBytes("extID", 8, n.Ieee);
    f.Number("rxLqi", n.rxLqi);
    f.Number("depth", n.depth);
    f.Number("type", n.type);
    f.Number("age", n.age);
    if (!f.Finish(error))
        return std::nullopt;
    return n;
}

QJsonObject RouteToJson(const SimRoute& r) {
    return QJsonObject{
        {QStringLiteral("OwnerNWK"), SimHex16(r.OwnerNWK)},
        {QStringLiteral("DestNWK"), SimHex16(r.DestNWK)},
        {QStringLiteral("HopNWK"), SimHex16(r.HopNWK)},
        {QStringLiteral("status"), r.status},
    };
}

std::optional<SimRoute> RouteFromJson(const QJsonObject& json, QString* error) {
    SimRoute r;
    SimJsonFields f(json, QStringLiteral("route"));
    f.Hex16("OwnerNWK", r.OwnerNWK);
    f.Hex16("DestNWK", r.DestNWK);
    f.Hex16("HopNWK", r.HopNWK);
    f.Number("status", r.status);
    if (!f.Finish(error))
        return std::nullopt;
    return r;
}

QJsonObject RadioTestToJson(const SimRadioTest& t) {
    return QJsonObject{
        {QStringLiteral("TestTimer"), t.TestTimer},
        {QStringLiteral("TestCount"), t.TestCount},
        {QStringLiteral("TestUnitNWK"), SimHex16(t.TestUnitNWK)},
        {QStringLiteral("TestResults"), t.TestResults},
        {QStringLiteral("PacketsSent"), t.PacketsSent},
        {QStringLiteral("PacketsPerReport"), t.PacketsPerReport},
        {QStringLiteral("LossPercent"), t.LossPercent},
    };
}

std::optional<SimRadioTest> RadioTestFromJson(const QJsonObject& json, QString* error) {
    SimRadioTest t;
    SimJsonFields f(json, QStringLiteral("radio test"));
    f.Number("TestTimer", t.TestTimer);
    f.Number("TestCount", t.TestCount);
    f.Hex16("TestUnitNWK", t.TestUnitNWK);
    f.Number("TestResults", t.TestResults);
    f.Number("PacketsSent", t.PacketsSent);
    f.Number("PacketsPerReport", t.PacketsPerReport);
    f.Number("LossPercent", t.LossPercent);
    if (!f.Finish(error))
        return std::nullopt;
    if (t.LossPercent > 100 || t.PacketsSent > t.TestCount || t.TestResults > t.PacketsSent) {
        SimSetError(error, QStringLiteral("radio test: LossPercent must be at most 100 and "
                                          "TestResults <= PacketsSent <= TestCount"));
        return std::nullopt;
    }
    return t;
}
