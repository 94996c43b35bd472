#include "cli/CliRows.h"

#include "core/radio/RadioTexts.h"
#include "core/unit/FormatKeyValue.h"
#include "core/unit/UnitInfoClass.h"

#include <QMap>

namespace {

constexpr int INPUT_ADDRESS_KEY = 150;

QString Hex(uint32_t value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString Number(qint64 value) {
    return QString::number(value);
}

QString YesNo(int value) {
    return value == 1 ? QStringLiteral("Yes") : QStringLiteral("No");
}

// The settings list puts a key in "Settings" below type code 100, in "Status" from 100 up, and
// in "Unknown" when the key table does not know it.
QString GroupText(int keyId) {
    const uint16_t slot = FindKeyIndex(keyId);
    if (slot == KEY_NOT_FOUND)
        return QStringLiteral("Unknown");
    return IsStatusKeyType(KeyDefinitionAt(slot).Type) ? QStringLiteral("Status")
                                                       : QStringLiteral("Settings");
}

QString LabelText(int keyId) {
    const uint16_t slot = FindKeyIndex(keyId);
    return slot == KEY_NOT_FOUND ? QString() : KeyDefinitionAt(slot).Label;
}

QString DeviceName(const UnitInfoClass& unit, uint16_t nwk) {
    const IEEEObjectClass* device = unit.FindUnitIEEE(NwkText(nwk));
    return device != nullptr ? device->Name : QString();
}

// "Gateway (0000)", "Hall (1A2B)" or "1A2B": the group header of a reporting node.
QString OwnerText(const UnitInfoClass& unit, uint16_t owner) {
    if (owner == 0)
        return QStringLiteral("Gateway (0000)");
    if (const IEEEObjectClass* device = unit.FindUnitIEEE(NwkText(owner)))
        return device->Name + QStringLiteral(" (") + NwkText(owner) + QLatin1Char(')');
    return NwkText(owner);
}

// The views list owners by their NWK in decimal, sorted as text (so 10 comes before 9).
template <typename Entries> QList<uint16_t> OwnersInViewOrder(const Entries& entries) {
    QMap<QString, uint16_t> owners;
    for (const auto* entry : entries)
        owners.insert(QString::number(entry->OwnerNWK), entry->OwnerNWK);
    return owners.values();
}

QString DeviceTypeText(uint8_t type) {
    switch (type & 0x03) {
    case 0:
        return QStringLiteral("Gateway");
    case 1:
        return QStringLiteral("Router");
    default:
        return QStringLiteral("End Device");
    }
}

QString RelationText(uint8_t type) {
    switch (type >> 4) {
    case 0:
        return QStringLiteral("Parent");
    case 1:
        return QStringLiteral("Child");
    case 2:
        return QStringLiteral("Sibling");
    default:
        return QStringLiteral("Neighbor");
    }
}

QString ZoneStatusText(uint8_t status) {
    static const char* const TEXTS[] = {"Not used", "Disarmed", "Armed", "Armed Home"};
    return status < 4 ? QString::fromLatin1(TEXTS[status]) : QString();
}

} // namespace

// ---- unit list ---------------------------------------------------------------------------------

QStringList ScanColumns() {
    return {QStringLiteral("Mac"), QStringLiteral("IP"), QStringLiteral("Product"), QStringLiteral("Owner")};
}

QStringList ScanRow(const UnitInfoClass& unit) {
    const KeyObjectClass* product = unit.FindKey(105);
    const KeyObjectClass* owner = unit.FindKey(101);
    return {unit.Mac, unit.RemoteIP, product != nullptr ? product->DataText() : QString(),
            owner != nullptr ? owner->DataText() : QString()};
}

// ---- settings ----------------------------------------------------------------------------------

QStringList KeyColumns() {
    return {QStringLiteral("Key"), QStringLiteral("Label"), QStringLiteral("Group"), QStringLiteral("Value")};
}

QList<QStringList> MenuKeyRows(const UnitInfoClass& unit, KeyMenu menu) {
    const KeyMenuRange& range = KeyMenuRangeOf(menu);
    QList<QStringList> rows;
    for (const KeyObjectClass* key : unit.Keys) {
        if (key->Id < range.FirstKey || key->Id > range.LastKey)
            continue;
        rows.append({Number(key->Id), LabelText(key->Id), GroupText(key->Id), FormatKeyValue(*key, unit)});
    }
    return rows;
}

QStringList InputColumns() {
    return {QStringLiteral("Address"), QStringLiteral("Status")};
}

QList<QStringList> InputRows(const UnitInfoClass& unit) {
    QList<QStringList> rows;
    for (const InputObjectClass* input : unit.Inputs) {
        if (!input->Address.isEmpty())
            rows.append({input->Address, InputStatusText(input->Status)});
    }
    return rows;
}

QList<QStringList> InputDetailRows(const UnitInfoClass& unit, const InputObjectClass& input) {
    QList<QStringList> rows;
    for (const KeyObjectClass* key : unit.Keys) {
        if (!UnitInfoClass::IsInputKey(key->Id) || key->DataText() != input.Address)
            continue;
        QString value;
        switch (key->Id) {
        case INPUT_ADDRESS_KEY:
            value = input.Address;
            break;
        case 151:
            value = input.Text;
            break;
        case 152:
            value = GetKeyOptionText(152, input.Type);
            break;
        case 153:
            value = GetKeyOptionText(153, input.Balance);
            break;
        case 154:
            value = Number(input.MaxTemp);
            break;
        case 155:
            value = Number(input.MinTemp);
            break;
        case 156:
            value = Number(input.Delay);
            break;
        case 157:
            value = InputStatusText(input.Status);
            break;
        case 158:
            value = Number(input.Analog);
            break;
        case 159:
            value = input.Info;
            break;
        default:
            value = QStringLiteral(" "); // 168, the acknowledge button
            break;
        }
        rows.append({Number(key->Id), LabelText(key->Id), GroupText(key->Id), value});
    }
    return rows;
}

// ---- wireless devices and zones ----------------------------------------------------------------

QStringList DeviceColumns() {
    return {QStringLiteral("Pos"),
            QStringLiteral("Address"),
            QStringLiteral("Name"),
            QStringLiteral("ZoneID"),
            QStringLiteral("NWK"),
            QStringLiteral("ParentNWK"),
            QStringLiteral("EndPoint"),
            QStringLiteral("ZigbeeStatus"),
            QStringLiteral("AlarmStatus"),
            QStringLiteral("RSSIdet"),
            QStringLiteral("RSSIbase"),
            QStringLiteral("Battery"),
            QStringLiteral("Power"),
            QStringLiteral("Resends"),
            QStringLiteral("spec_var[0]"),
            QStringLiteral("spec_var[1]"),
            QStringLiteral("SpecVariableString"),
            QStringLiteral("TimeoutTimer"),
            QStringLiteral("PollTime"),
            QStringLiteral("HW"),
            QStringLiteral("SWHigh"),
            QStringLiteral("SWLow"),
            QStringLiteral("SWYear"),
            QStringLiteral("SWMonth"),
            QStringLiteral("SWDay"),
            QStringLiteral("Disabled"),
            QStringLiteral("RSSIString"),
            QStringLiteral("FirmwareDate"),
            QStringLiteral("FirmwareVersion"),
            QStringLiteral("InputTypes[0]"),
            QStringLiteral("InputTypes[1]")};
}

QList<QStringList> DeviceRows(const UnitInfoClass& unit) {
    QList<QStringList> rows;
    int index = 0;
    for (const IEEEObjectClass* d : unit.Devices) {
        rows.append({QStringLiteral("%1").arg(index++, 3, 10, QLatin1Char('0')),
                     d->Address,
                     d->Name,
                     Number(d->ZoneID),
                     Hex(d->NWK, 4),
                     Hex(d->ParentNWK, 4),
                     Number(d->EndPoint),
                     Hex(d->ZigbeeStatus, 4),
                     Hex(d->AlarmStatus, 4),
                     Number(d->RSSIdet),
                     Number(d->RSSIbase),
                     Number(d->Battery),
                     Number(d->Power),
                     Number(d->Resends),
                     Number(d->spec_var[0]),
                     Number(d->spec_var[1]),
                     d->SpecVariableString,
                     Number(d->TimeoutTimer),
                     Number(d->PollTime),
                     Number(d->HW),
                     Number(d->SWHigh),
                     Number(d->SWLow),
                     Number(d->SWYear),
                     Number(d->SWMonth),
                     Number(d->SWDay),
                     Number(d->Disabled),
                     d->RSSIString,
                     d->FirmwareDate,
                     d->FirmwareVersion,
                     Number(d->InputTypes[0]),
                     Number(d->InputTypes[1])});
    }
    return rows;
}

QStringList ZoneColumns() {
    return {QStringLiteral("ZoneID"),
            QStringLiteral("Name"),
            QStringLiteral("Område"),
            QStringLiteral("Status"),
            QStringLiteral("2-Section Dep."),
            QStringLiteral("Auto Ack"),
            QStringLiteral("Delayed Outputs"),
            QStringLiteral("Control Delay Time"),
            QStringLiteral("Alarm Lookup Time"),
            QStringLiteral("Activation Output"),
            QStringLiteral("Alarm Output"),
            QStringLiteral("Fault Output"),
            QStringLiteral("Alarm Output Time"),
            QStringLiteral("Fault Output Time")};
}

QList<QStringList> ZoneRows(const UnitInfoClass& unit) {
    QList<QStringList> rows;
    const QString between = QStringLiteral(" / ");
    for (const ZoneObjectClass* z : unit.Zones) {
        rows.append({Number(z->ZoneID), z->Name, z->AreaID, ZoneStatusText(z->Status), YesNo(z->TwoSection),
                     YesNo(z->AutoAck), YesNo(z->OutputDelay), Number(z->ZoneControlDelayReloadTime),
                     Number(z->AlarmLookupReloadTime), z->ActivationOutput.Text(),
                     z->AlarmOutputs[0].Text() + between + z->AlarmOutputs[1].Text(),
                     z->FaultOutputs[0].Text() + between + z->FaultOutputs[1].Text(),
                     Number(z->AlarmOutputReloadTime), Number(z->FaultOutputReloadTime)});
    }
    return rows;
}

// ---- neighbor and route tables -----------------------------------------------------------------

QStringList NeighborColumns() {
    return {QStringLiteral("Owner"),       QStringLiteral("Name"),     QStringLiteral("NWK"),
            QStringLiteral("Mac"),         QStringLiteral("rxLQI"),    QStringLiteral("Depth"),
            QStringLiteral("Device Type"), QStringLiteral("Relation"), QStringLiteral("Age"),
            QStringLiteral("Received")};
}

QList<QStringList> NeighborRows(const UnitInfoClass& unit) {
    QList<QStringList> rows;
    for (const uint16_t owner : OwnersInViewOrder(unit.Neighbors)) {
        const QString ownerText = OwnerText(unit, owner);
        for (const NeighborObjectClass* n : unit.Neighbors) {
            if (n->OwnerNWK != owner)
                continue;
            QString name = QStringLiteral("Gateway");
            if (n->NeighborNWK != 0) {
                const IEEEObjectClass* device = unit.FindUnitIEEE(NwkText(n->NeighborNWK));
                name = device != nullptr ? device->Name : QStringLiteral(" ");
            }
            rows.append({ownerText, name, NwkText(n->NeighborNWK), n->extID, Number(n->rxLqi),
                         n->depth == 255 ? QStringLiteral(" ") : Number(n->depth), DeviceTypeText(n->type),
                         RelationText(n->type), Number(n->age), n->ReceivedTime});
        }
    }
    return rows;
}

QStringList RouteColumns() {
    return {QStringLiteral("Owner"),   QStringLiteral("DestName"), QStringLiteral("DestNWK"),
            QStringLiteral("HopName"), QStringLiteral("HopNWK"),   QStringLiteral("Status")};
}

QList<QStringList> RouteRows(const UnitInfoClass& unit) {
    QList<QStringList> rows;
    auto nodeName = [&unit](uint16_t nwk) {
        return nwk == 0 ? QStringLiteral("Gateway") : DeviceName(unit, nwk);
    };
    for (const uint16_t owner : OwnersInViewOrder(unit.Routes)) {
        const QString ownerText = OwnerText(unit, owner);
        for (const RouteObjectClass* r : unit.Routes) {
            if (r->OwnerNWK != owner)
                continue;
            rows.append({ownerText, nodeName(r->DestNWK), NwkText(r->DestNWK), nodeName(r->HopNWK),
                         NwkText(r->HopNWK), RouteStatusText(r->status)});
        }
    }
    return rows;
}
