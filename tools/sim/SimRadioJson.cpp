// Site-file forms of the radio records.
#include "sim/SimJsonFields.h"
#include "sim/SimRadioRecords.h"

#include <QJsonArray>

namespace {

constexpr int OUTPUT_REF_BYTES = 9;

QByteArray Ieee8(const QByteArray& ieee) {
    return SimPadded(ieee, 8);
}

QByteArray OutputRef9(const QByteArray& ref) {
    return SimPadded(ref, OUTPUT_REF_BYTES);
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
