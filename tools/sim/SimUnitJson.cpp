#include "core/protocol/MacText.h"
#include "core/unit/KeyDefinitionTable.h"
#include "sim/SimJsonFields.h"
#include "sim/SimUnit.h"

#include <QHostAddress>
#include <QJsonArray>

// The site file's form of a unit. Key values are written the way a person would edit them (text,
// number, dotted address), falling back to hexadecimal for anything else; a unit may also start
// from a demo unit and override only some of it:
//   {"Demo": 3, "Index": 1, "Password": "1234", "Keys": [{"Key": 101, "Text": "New owner"}]}

namespace {

bool IsPrintable(const QByteArray& bytes) {
    for (const char c : bytes) {
        const auto byte = static_cast<quint8>(c);
        if ((byte < 32 && byte != '\r' && byte != '\n' && byte != '\t') || byte == 127)
            return false;
    }
    return true;
}

int BaseKindOfKey(quint16 id) {
    const uint16_t slot = FindKeyIndex(id);
    return slot == KEY_NOT_FOUND ? -1 : KeyBaseKindOf(KeyDefinitionAt(slot).Type);
}

bool IsNumberKind(int kind) {
    return kind == KEY_KIND_YESNO || kind == KEY_KIND_CHOICE || kind == KEY_KIND_DURATION ||
           kind == KEY_KIND_NUMBER || kind == KEY_KIND_COUNT_ACTION || kind == KEY_KIND_SIGNAL_LEVEL ||
           kind == KEY_KIND_NUMBER_SUGGEST;
}

QJsonObject KeyToJson(const SimKey& key) {
    QJsonObject object;
    object.insert(QStringLiteral("Key"), key.Id);
    const uint16_t slot = FindKeyIndex(key.Id);
    if (slot != KEY_NOT_FOUND)
        object.insert(QStringLiteral("Label"), KeyDefinitionAt(slot).Label); // for the reader only
    const int kind = BaseKindOfKey(key.Id);
    if (kind == KEY_KIND_IPV4 && key.Value.size() == 4) {
        object.insert(QStringLiteral("IP"), QStringLiteral("%1.%2.%3.%4")
                                                .arg(static_cast<quint8>(key.Value[0]))
                                                .arg(static_cast<quint8>(key.Value[1]))
                                                .arg(static_cast<quint8>(key.Value[2]))
                                                .arg(static_cast<quint8>(key.Value[3])));
    } else if (IsNumberKind(kind) && !key.Value.isEmpty() && key.Value.size() <= 4) {
        quint32 number = 0;
        for (const char byte : key.Value)
            number = (number << 8) | static_cast<quint8>(byte);
        object.insert(QStringLiteral("Number"), static_cast<double>(number));
        object.insert(QStringLiteral("Bytes"), static_cast<int>(key.Value.size()));
    } else if (kind >= 0 && !IsNumberKind(kind) && kind != KEY_KIND_IPV4 && IsPrintable(key.Value)) {
        object.insert(QStringLiteral("Text"), QString::fromLatin1(key.Value));
    } else {
        object.insert(QStringLiteral("Hex"), SimHexBytes(key.Value));
    }
    return object;
}

std::optional<SimKey> KeyFromJson(const QJsonObject& object, QString* error) {
    SimKey key;
    SimJsonFields fields(object, QStringLiteral("key"));
    int id = -1;
    fields.Number("Key", id);
    if (!fields.Finish(error))
        return std::nullopt;
    if (id < 1 || id > 0xFFFF) {
        SimSetError(error, QStringLiteral("key: field \"Key\" must be a key id from 1 to 65535"));
        return std::nullopt;
    }
    key.Id = static_cast<quint16>(id);
    const QString context = QStringLiteral("key %1").arg(id);
    SimJsonFields value(object, context);
    if (object.contains(QStringLiteral("Text"))) {
        QString text;
        value.Text("Text", text);
        if (!value.Finish(error))
            return std::nullopt;
        for (const QChar c : text) {
            if (c.unicode() > 0xFF) {
                SimSetError(error,
                            context + QStringLiteral(": the text holds a character a unit cannot store"));
                return std::nullopt;
            }
        }
        key.Value = text.toLatin1();
    } else if (object.contains(QStringLiteral("Number"))) {
        qint64 number = 0;
        const int kind = BaseKindOfKey(key.Id);
        int width = kind == KEY_KIND_YESNO || kind == KEY_KIND_CHOICE ? 1 : 2;
        value.Number("Number", number);
        value.Number("Bytes", width);
        if (!value.Finish(error))
            return std::nullopt;
        if (width < 1 || width > 4 || number < 0 || (width < 4 && number >= (qint64(1) << (8 * width))) ||
            number > 0xFFFFFFFFLL) {
            SimSetError(error, context + QStringLiteral(": the number does not fit its byte count (1 to 4)"));
            return std::nullopt;
        }
        key.Value = QByteArray(width, '\0');
        for (int i = width - 1; i >= 0; --i) {
            key.Value[i] = static_cast<char>(number & 0xFF);
            number >>= 8;
        }
    } else if (object.contains(QStringLiteral("IP"))) {
        QString text;
        value.Text("IP", text);
        if (!value.Finish(error))
            return std::nullopt;
        bool ok = false;
        const QHostAddress address(text);
        const quint32 ip = address.toIPv4Address(&ok);
        if (!ok) {
            SimSetError(error, context + QStringLiteral(": \"IP\" must be a dotted IPv4 address"));
            return std::nullopt;
        }
        key.Value.clear();
        for (const int shift : {24, 16, 8, 0})
            key.Value.append(static_cast<char>((ip >> shift) & 0xFF));
    } else if (object.contains(QStringLiteral("Hex"))) {
        QString text;
        value.Text("Hex", text);
        if (!value.Finish(error))
            return std::nullopt;
        if (!SimParseHex(text, key.Value)) {
            SimSetError(error, context + QStringLiteral(": \"Hex\" must be pairs of hexadecimal digits"));
            return std::nullopt;
        }
    }
    // No value member: the key exists and is empty (as the log keys are before the logs fill them).
    return key;
}

} // namespace

QJsonObject SimInput::ToJson() const {
    return QJsonObject{
        {QStringLiteral("Address"), Address}, {QStringLiteral("Text"), QString::fromLatin1(Text)},
        {QStringLiteral("Type"), Type},       {QStringLiteral("Balance"), Balance},
        {QStringLiteral("MaxTemp"), MaxTemp}, {QStringLiteral("MinTemp"), MinTemp},
        {QStringLiteral("Delay"), Delay},     {QStringLiteral("Status"), Status},
        {QStringLiteral("Analog"), Analog},   {QStringLiteral("Info"), Info},
    };
}

std::optional<SimInput> SimInput::FromJson(const QJsonObject& json, QString* error) {
    SimInput input;
    SimJsonFields fields(json, QStringLiteral("input"));
    fields.Text("Address", input.Address);
    fields.Latin1("Text", input.Text);
    fields.Number("Type", input.Type);
    fields.Number("Balance", input.Balance);
    fields.Number("MaxTemp", input.MaxTemp);
    fields.Number("MinTemp", input.MinTemp);
    fields.Number("Delay", input.Delay);
    fields.Number("Status", input.Status);
    fields.Number("Analog", input.Analog);
    fields.Number("Info", input.Info);
    if (!fields.Finish(error))
        return std::nullopt;
    if (input.Address.isEmpty() || input.Address.size() > 32) {
        SimSetError(error, QStringLiteral("input: field \"Address\" must be a text of 1 to 32 characters"));
        return std::nullopt;
    }
    return input;
}

QJsonObject SimUnit::ToJson() const {
    QJsonObject object;
    object.insert(QStringLiteral("Mac"), MacText());
    if (!Address.isEmpty())
        object.insert(QStringLiteral("Address"), Address);
    object.insert(QStringLiteral("MaxReplyBytes"), MaxReplyBytes);
    QJsonArray keys;
    for (const SimKey& key : KeyList)
        keys.append(KeyToJson(key));
    object.insert(QStringLiteral("Keys"), keys);
    QJsonArray inputs;
    for (const SimInput& input : Inputs)
        inputs.append(input.ToJson());
    object.insert(QStringLiteral("Inputs"), inputs);
    object.insert(QStringLiteral("Logs"), Logs.ToJson());
    if (Radio)
        object.insert(QStringLiteral("Radio"), Radio->ToJson());
    if (!Misbehaviour.Settings().IsQuiet())
        object.insert(QStringLiteral("Misbehaviour"), Misbehaviour.Settings().ToJson());
    return object;
}

std::optional<SimUnit> SimUnit::FromJson(const QJsonObject& json, QString* error) {
    SimUnit unit;
    SimJsonFields fields(json, QStringLiteral("unit"));
    int demoProduct = 0;
    int demoIndex = 0;
    fields.Number("Demo", demoProduct);
    fields.Number("Index", demoIndex);
    QString macText;
    QString password;
    bool hasPassword = json.contains(QStringLiteral("Password"));
    fields.Text("Mac", macText);
    fields.Text("Address", unit.Address);
    fields.Text("Password", password);
    fields.Number("MaxReplyBytes", unit.MaxReplyBytes);
    const QJsonArray keys = fields.Array("Keys");
    const QJsonArray inputs = fields.Array("Inputs");
    if (!fields.Finish(error))
        return std::nullopt;

    if (demoProduct != 0) {
        if (demoProduct != 1 && demoProduct != 3 && demoProduct != 4) {
            SimSetError(
                error, QStringLiteral("unit: field \"Demo\" must be a product with a demo unit (1, 3 or 4)"));
            return std::nullopt;
        }
        if (demoIndex < 0 || demoIndex > 250) {
            SimSetError(error, QStringLiteral("unit: field \"Index\" must be from 0 to 250"));
            return std::nullopt;
        }
        unit = Demo(demoProduct, demoIndex);
        fields = SimJsonFields(json, QStringLiteral("unit"));
        fields.Text("Address", unit.Address);
        fields.Number("MaxReplyBytes", unit.MaxReplyBytes);
    } else if (macText.isEmpty()) {
        SimSetError(error, QStringLiteral("unit: needs \"Mac\" (or \"Demo\" with a product number)"));
        return std::nullopt;
    }
    if (unit.MaxReplyBytes < MIN_MAX_REPLY_BYTES || unit.MaxReplyBytes > 0xFFFF) {
        SimSetError(error, QStringLiteral("unit: field \"MaxReplyBytes\" must be from %1 to 65535")
                               .arg(MIN_MAX_REPLY_BYTES));
        return std::nullopt;
    }
    if (!macText.isEmpty()) {
        if (macText.size() != 17) {
            SimSetError(error, QStringLiteral("unit: field \"Mac\" must look like 02-3C-A7-00-00-01"));
            return std::nullopt;
        }
        unit.MacBytes = MacTextToBytes(macText);
    }
    if (!unit.Address.isEmpty() && QHostAddress(unit.Address).protocol() != QAbstractSocket::IPv4Protocol) {
        SimSetError(error, QStringLiteral("unit: field \"Address\" must be an IPv4 address"));
        return std::nullopt;
    }
    for (const QJsonValue& value : keys) {
        const std::optional<SimKey> key = KeyFromJson(value.toObject(), error);
        if (!key)
            return std::nullopt;
        if (key->Id == 5 && key->Value.size() == MAC_BYTES && macText.isEmpty())
            unit.MacBytes = key->Value; // a file without "Mac" names the unit by its key 5
        unit.SetKey(key->Id, key->Value);
    }
    if (unit.HasKey(5))
        unit.SetKey(5, unit.MacBytes);
    if (json.contains(QStringLiteral("Inputs"))) {
        unit.Inputs.clear();
        for (const QJsonValue& value : inputs) {
            const std::optional<SimInput> input = SimInput::FromJson(value.toObject(), error);
            if (!input)
                return std::nullopt;
            unit.Inputs.append(*input);
        }
    }
    if (hasPassword)
        unit.SetPassword(password);
    if (json.contains(QStringLiteral("Logs"))) {
        std::optional<SimUnitLogs> logs =
            SimUnitLogs::FromJson(json.value(QStringLiteral("Logs")).toObject(), error);
        if (!logs)
            return std::nullopt;
        unit.Logs = std::move(*logs);
    }
    if (json.contains(QStringLiteral("Radio"))) {
        const QJsonValue radio = json.value(QStringLiteral("Radio"));
        if (radio.isNull()) {
            unit.Radio.reset();
        } else {
            std::optional<SimRadioNetwork> network = SimRadioNetwork::FromJson(radio.toObject(), error);
            if (!network)
                return std::nullopt;
            unit.Radio = std::move(*network);
        }
    }
    if (json.contains(QStringLiteral("Misbehaviour"))) {
        const std::optional<SimMisbehaviourSettings> settings =
            SimMisbehaviourSettings::FromJson(json.value(QStringLiteral("Misbehaviour")).toObject(), error);
        if (!settings)
            return std::nullopt;
        unit.Misbehaviour.SetSettings(*settings);
    }
    unit.MarkFactoryState();
    return unit;
}
