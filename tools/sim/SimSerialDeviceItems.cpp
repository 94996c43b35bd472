// The serial device's items: which a kind of device has, their factory and live values, and the
// site-file form of a device.
#include "core/protocol/MacText.h"
#include "sim/SimJsonFields.h"
#include "sim/SimSerialDevice.h"
#include "sim/SimSerialItems.h"

using namespace SimSerialItems;

void SimSerialDevice::SetHardwareType(quint8 hw) {
    Hardware = hw;
    const QByteArray mac = Items.value(ITEM_MAC, QByteArray(8, '\0'));
    Items.clear();
    Items.insert(ITEM_MAC, mac);
    ResetSettings();
    const Kind kind = KindOf(hw);
    const bool mini = kind == KIND_MINI;
    Items.insert(ITEM_FIRMWARE, QByteArray::fromHex(mini ? "0100010C150310" : "0100020E130B04"));
    Items[ITEM_FIRMWARE][1] = char(hw);
    Items.insert(ITEM_SIGNAL, Le(quint8(SignalAt(0)), 1));
    Items.insert(ITEM_CHANNEL, Le(15, 1));
    Items.insert(ITEM_RETRANSMISSIONS, Le(3, 2));
    Items.insert(ITEM_RADIO_STATUS, Le(RADIO_JOINED, 1));
    // Parent: a mini repeater of the unit's network, least significant byte first.
    Items.insert(ITEM_PARENT_MAC, QByteArray::fromHex("B7010A0037514F02"));
    Items.insert(ITEM_PARENT_NWK, Le(0x9E07, 2));
    if (kind == KIND_DETECTOR) {
        Items.insert(ITEM_EVENTS, Le(0, 1));
        Items.insert(16, Le(1712, 2)); // battery
        Items.insert(17, Le(21, 1));   // temperature
        Items.insert(20, Le(hw == 2 ? 1990 : 0, 2));
    } else if (mini) {
        Items.insert(ITEM_EVENTS, Le(0x01, 1)); // input 1 active
        Items.insert(16, Le(1688, 2));
        Items.insert(20, Le(hw == 6 ? 1992 : 0, 2));
        Items.insert(87, Le(512, 2)); // analog values of the inputs
        Items.insert(88, Le(23, 2));
    }
}

void SimSerialDevice::ResetSettings() {
    // The writable items, at their factory values.
    const Kind kind = KindOf(Hardware);
    Items.insert(ITEM_POLL_TIME, Le(60, 2));
    Items.insert(ITEM_TX_POWER, Le(20, 1)); // 10 dBm plus the offset of 10
    Items.insert(ITEM_EXTENDED_PANID, QByteArray::fromHex("0012AB3700005137"));
    Items.insert(ITEM_TC_LINK_KEY, QByteArray::fromHex("8F3A51C2D4E6077B19A2C3B4D5E6F708"));
    if (kind == KIND_DETECTOR) {
        Items.insert(5, Le(quint8(-10), 1));
        Items.insert(6, Le(57, 1));
        Items.insert(10, Le(15, 2));
    } else if (kind == KIND_MINI) {
        const quint8 factory[] = {5, 0, 2, quint8(-5), 2, 40, 8};
        for (int i = 0; i < int(std::size(factory)); ++i)
            Items.insert(quint8(80 + i), Le(factory[i], 1));
        Items.insert(89, Le(0, 1));
        Items.insert(90, Le(10, 1));
        Items.insert(91, Le(0, 1));
        Items.insert(92, Le(1, 1));
    }
}

void SimSerialDevice::SetMac(const QByteArray& mac) {
    QByteArray bytes = mac.left(8);
    bytes.append(QByteArray(8 - bytes.size(), '\0'));
    Items.insert(ITEM_MAC, bytes);
}

QString SimSerialDevice::MacText() const {
    return SerialMacText(Mac());
}

void SimSerialDevice::SetItemValue(quint8 item, const QByteArray& value) {
    Items.insert(item, value.left(MAX_FRAME_VALUE));
}

std::optional<QByteArray> SimSerialDevice::ItemValue(quint8 item) const {
    UpdateLiveItems();
    if (item == ITEM_LAST_CONTACT)
        return Le(quint32(qMax<qint64>(0, Clock.elapsed() - LastContactMs)), 4);
    if (!Items.contains(item))
        return std::nullopt;
    return Items.value(item);
}

void SimSerialDevice::UpdateLiveItems() const {
    const qint64 now = Clock.elapsed();
    if (SearchUntilMs >= 0) {
        if (now < SearchUntilMs)
            return; // no contact while searching
        // Found a parent again: the repeater nearest the desk.
        SearchUntilMs = -1;
        Items.insert(ITEM_RADIO_STATUS, Le(RADIO_JOINED, 1));
        Items.insert(ITEM_PARENT_NWK, Le(0x4C21, 2));
        Items.insert(ITEM_PARENT_MAC, QByteArray::fromHex("0000A10037514F02"));
        LastContactMs = now;
    }
    if (now - LastContactMs >= CONTACT_PERIOD_MS) {
        const int contact = int(now / CONTACT_PERIOD_MS);
        LastContactMs = now - (now % CONTACT_PERIOD_MS);
        Items.insert(ITEM_SIGNAL, Le(quint8(SignalAt(contact)), 1));
        if (contact % 4 == 0)
            Items.insert(ITEM_RETRANSMISSIONS, Le(LeNumber(Items.value(ITEM_RETRANSMISSIONS)) + 1, 2));
        if (Items.contains(87))
            Items.insert(87, Le(500 + (contact * 37) % 40, 2));
    }
}

QJsonObject SimSerialDevice::ToJson() const {
    QJsonObject items;
    for (auto it = Items.cbegin(); it != Items.cend(); ++it) {
        if (it.key() != ITEM_MAC && it.key() != ITEM_FIRMWARE)
            items.insert(QString::number(it.key()), SimHexBytes(it.value()));
    }
    return QJsonObject{
        {QStringLiteral("Hardware"), Hardware},
        {QStringLiteral("Mac"), SimHexBytes(Mac())},
        {QStringLiteral("Items"), items},
        {QStringLiteral("PollIntervalMs"), PollTimer.interval()},
        {QStringLiteral("TextIntervalMs"), TextTimer.interval()},
    };
}

bool SimSerialDevice::LoadJson(const QJsonObject& json, QString* error) {
    quint8 hw = Hardware;
    QByteArray mac = Mac();
    int pollMs = PollTimer.interval();
    int textMs = TextTimer.interval();
    SimJsonFields fields(json, QStringLiteral("serial device"));
    fields.Number("Hardware", hw);
    fields.HexBytes("Mac", 8, mac);
    fields.Number("PollIntervalMs", pollMs);
    fields.Number("TextIntervalMs", textMs);
    if (!fields.Finish(error))
        return false;
    const QJsonValue itemsValue = json.value(QStringLiteral("Items"));
    if (!itemsValue.isUndefined() && !itemsValue.isObject()) {
        SimSetError(error, QStringLiteral("serial device: field \"Items\" must be an object"));
        return false;
    }
    QMap<quint8, QByteArray> items;
    const QJsonObject itemsObject = itemsValue.toObject();
    for (auto it = itemsObject.constBegin(); it != itemsObject.constEnd(); ++it) {
        bool converted = false;
        const uint item = it.key().toUInt(&converted);
        QByteArray value;
        if (!converted || item == 0 || item > 0xFF || !SimParseHex(it.value().toString(), value) ||
            value.size() > MAX_FRAME_VALUE) {
            SimSetError(error,
                        QStringLiteral("serial device: item \"%1\" must be a number 1-255 with a hexadecimal "
                                       "value of at most %2 bytes")
                            .arg(it.key())
                            .arg(MAX_FRAME_VALUE));
            return false;
        }
        items.insert(quint8(item), value);
    }
    if (pollMs < 0 || textMs < 0) {
        SimSetError(error, QStringLiteral("serial device: intervals cannot be negative"));
        return false;
    }
    SetMac(mac);
    SetHardwareType(hw);
    for (auto it = items.cbegin(); it != items.cend(); ++it)
        Items.insert(it.key(), it.value());
    SetPollInterval(pollMs);
    SetTextInterval(textMs);
    return true;
}
