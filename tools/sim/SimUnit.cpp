#include "sim/SimUnit.h"

#include "core/protocol/ByteReader.h"
#include "core/protocol/ByteWriter.h"
#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/protocol/MacText.h"
#include "core/unit/KeyDefinitionTable.h"

#include <algorithm>

namespace {

// Header, type byte, payload checksum and footer around the entries of a reply.
constexpr int REPLY_OVERHEAD = CONFIG_ENVELOPE_OVERHEAD + 1 + CONFIG_PAYLOAD_CHECKSUM_SIZE;

// The discovery read: the six list keys, each once and empty, addressed to every unit.
bool IsDiscoveryRead(const QByteArray& target, const QList<QPair<quint16, qsizetype>>& entries) {
    if (target != QByteArray(MAC_BYTES, '\xFF') ||
        entries.size() != static_cast<qsizetype>(DISCOVERY_KEYS.size()))
        return false;
    return std::all_of(DISCOVERY_KEYS.begin(), DISCOVERY_KEYS.end(), [&](quint16 key) {
        return std::count_if(entries.begin(), entries.end(), [key](const auto& entry) {
                   return entry.first == key && entry.second == 0;
               }) == 1;
    });
}

// A number of 1 to 4 big-endian bytes; nullopt for any other length.
std::optional<quint32> BigEndianNumber(const QByteArray& value) {
    if (value.isEmpty() || value.size() > 4)
        return std::nullopt;
    quint32 number = 0;
    for (const char byte : value)
        number = (number << 8) | static_cast<quint8>(byte);
    return number;
}

QByteArray NumberBytes(quint32 number, int width) {
    QByteArray bytes(width, '\0');
    for (int i = width - 1; i >= 0; --i) {
        bytes[i] = static_cast<char>(number & 0xFF);
        number >>= 8;
    }
    return bytes;
}

// Width a unit reports a number key in when it has no value yet to copy the width from.
int DefaultNumberWidth(int baseKind) {
    switch (baseKind) {
    case KEY_KIND_YESNO:
    case KEY_KIND_CHOICE:
        return 1;
    case KEY_KIND_COUNT_ACTION:
    case KEY_KIND_SIGNAL_LEVEL:
        return 4;
    default:
        return 2;
    }
}

bool IsNumberKind(int baseKind) {
    return baseKind == KEY_KIND_YESNO || baseKind == KEY_KIND_CHOICE || baseKind == KEY_KIND_DURATION ||
           baseKind == KEY_KIND_NUMBER || baseKind == KEY_KIND_COUNT_ACTION ||
           baseKind == KEY_KIND_SIGNAL_LEVEL || baseKind == KEY_KIND_NUMBER_SUGGEST;
}

// Input addresses are compared as numbers when both are, so "001" (how a backup asks) finds "1".
bool SameInputAddress(const QString& a, const QString& b) {
    if (a == b)
        return true;
    bool okA = false;
    bool okB = false;
    const int numberA = a.toInt(&okA);
    const int numberB = b.toInt(&okB);
    return okA && okB && numberA == numberB;
}

} // namespace

SimUnit::SimUnit() : MacBytes(MAC_BYTES, '\0'), StartedMs(QDateTime::currentMSecsSinceEpoch()) {}

QString SimUnit::MacText() const {
    return MacBytesToText(MacBytes);
}

void SimUnit::SetMac(const QByteArray& sixBytes) {
    if (sixBytes.size() != MAC_BYTES)
        return;
    MacBytes = sixBytes;
    SetKey(5, sixBytes);
}

int SimUnit::ProductCode() const {
    const std::optional<QByteArray> info = KeyValue(112);
    if (!info || info->size() < 2)
        return 0;
    return (static_cast<quint8>(info->at(0)) << 8) | static_cast<quint8>(info->at(1));
}

QString SimUnit::ProductText() const {
    return QString::fromLatin1(KeyValue(105).value_or(QByteArray()));
}

QString SimUnit::Password() const {
    return QString::fromLatin1(KeyValue(100).value_or(QByteArray()));
}

void SimUnit::SetPassword(const QString& password) {
    SetKey(100, TextToLowBytes(password));
}

int SimUnit::KeyIndex(quint16 id) const {
    for (int i = 0; i < KeyList.size(); ++i) {
        if (KeyList[i].Id == id)
            return i;
    }
    return -1;
}

bool SimUnit::HasKey(quint16 id) const {
    return KeyIndex(id) >= 0;
}

std::optional<QByteArray> SimUnit::KeyValue(quint16 id) const {
    const int index = KeyIndex(id);
    if (index < 0)
        return std::nullopt;
    return LiveValue(KeyList[index]);
}

QByteArray SimUnit::LiveValue(const SimKey& key) const {
    switch (key.Id) {
    case 9: {
        // Formatting a local time is slow; the text only changes once a second.
        const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
        if (second != ClockSecond) {
            ClockSecond = second;
            ClockText = QDateTime::fromSecsSinceEpoch(second)
                            .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                            .toLatin1();
        }
        return ClockText;
    }
    case 117:
        return NumberBytes(UptimeAtStart +
                               static_cast<quint32>((QDateTime::currentMSecsSinceEpoch() - StartedMs) / 1000),
                           4);
    default:
        break;
    }
    // Counts and tables that follow the radio network and the logs.
    if (key.Id >= 4096 && Radio) {
        if (std::optional<QByteArray> live = Radio->KeyValue(key.Id))
            return *live;
    }
    if (key.Id >= 220 && key.Id <= 300) {
        if (std::optional<QByteArray> live = Logs.KeyValue(key.Id))
            return *live;
    }
    return key.Value;
}

void SimUnit::SetKey(quint16 id, const QByteArray& value) {
    const int index = KeyIndex(id);
    if (index >= 0)
        KeyList[index].Value = value;
    else
        KeyList.append(SimKey{id, value});
    if (id == 117) {
        // The uptime runs on from the value given.
        UptimeAtStart = BigEndianNumber(value).value_or(0);
        StartedMs = QDateTime::currentMSecsSinceEpoch();
    }
}

void SimUnit::RemoveKey(quint16 id) {
    const int index = KeyIndex(id);
    if (index >= 0)
        KeyList.removeAt(index);
}

SimInput* SimUnit::FindInput(const QString& address) {
    for (SimInput& input : Inputs) {
        if (SameInputAddress(input.Address, address))
            return &input;
    }
    return nullptr;
}

void SimUnit::MarkFactoryState() {
    Factory = FactoryState{MacBytes, KeyList, Inputs};
}

QByteArray SimUnit::BuildReply(quint8 packetType, const QByteArray& body) {
    const qsizetype payloadLength = 1 + body.size() + CONFIG_PAYLOAD_CHECKSUM_SIZE;
    if (payloadLength > CONFIG_MAX_PAYLOAD_LENGTH)
        return {};
    ByteWriter packet(payloadLength + CONFIG_ENVELOPE_OVERHEAD);
    packet.writeU8(CONFIG_START_BYTE);
    packet.writeBytes(MacBytes);
    packet.writeBytes(QByteArray(8, '\0'));
    packet.writeU16BE(static_cast<quint16>(payloadLength));
    packet.writeU8(packetType);
    packet.writeBytes(body);
    packet.writeU16BE(packet.sum16(CONFIG_TYPE_OFFSET, packet.size() - CONFIG_TYPE_OFFSET));
    packet.writeU16BE(++ReplyCounter);
    packet.writeU16BE(packet.sum16(0, packet.size()));
    packet.writeU8(CONFIG_END_BYTE);
    return packet.bytes();
}

bool SimUnit::ParseEntries(const QByteArray& packet, QList<Entry>& entries) {
    const int payloadLength = ConfigEnvelopeClass::PayloadLength(packet);
    ByteReader reader(packet);
    reader.seek(CONFIG_ENTRIES_OFFSET);
    const qsizetype end = CONFIG_HEADER_SIZE + payloadLength - CONFIG_PAYLOAD_CHECKSUM_SIZE;
    while (reader.ok() && reader.position() < end) {
        if (end - reader.position() < KEY_ENTRY_HEADER_SIZE)
            return false;
        const quint16 id = reader.readU16BE();
        const quint16 length = reader.readU16BE();
        // An entry that claims more than the payload holds makes the whole request suspect:
        // acting on half of it could apply half a write.
        if (length > end - reader.position())
            return false;
        entries.append(Entry{id, reader.readBytes(length)});
    }
    return reader.ok();
}

QList<QByteArray> SimUnit::HandleRequest(const QByteArray& packet) {
    IgnoreReason.clear();
    ForAnotherUnit = false;
    auto ignore = [this](const char* reason) {
        IgnoreReason = QLatin1String(reason);
        return QList<QByteArray>();
    };
    if (packet.size() < CONFIG_ENVELOPE_OVERHEAD + CONFIG_MIN_PAYLOAD_LENGTH ||
        static_cast<quint8>(packet.at(0)) != CONFIG_START_BYTE)
        return ignore("not a config packet");
    if (ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()) != 1)
        return ignore("length or packet checksum wrong");
    if (ConfigEnvelopeClass::DecryptConfigPayload(packet) != 1)
        return ignore("payload checksum wrong");
    const QByteArray target = packet.mid(CONFIG_MAC_OFFSET, MAC_BYTES);
    if (target != MacBytes && target != QByteArray(MAC_BYTES, '\xFF')) {
        ForAnotherUnit = true;
        return ignore("addressed to another unit");
    }

    QList<Entry> entries;
    if (!ParseEntries(packet, entries))
        return ignore("key entry runs past the payload");
    QString givenPassword;
    if (!entries.isEmpty() && entries.first().Id == PASSWORD_KEY)
        givenPassword = QString::fromLatin1(entries.takeFirst().Value);

    const int type = ConfigEnvelopeClass::PacketType(packet);
    if (type != CONFIG_READ && type != CONFIG_WRITE)
        return ignore("not a request");

    QList<QPair<quint16, qsizetype>> shape;
    for (const Entry& entry : entries)
        shape.append({entry.Id, entry.Value.size()});
    // Anyone on the LAN may see that a unit is there; everything else needs its password.
    const bool discovery = type == CONFIG_READ && IsDiscoveryRead(target, shape);
    const QString password = Password();
    if (!discovery && !password.isEmpty() && givenPassword != password)
        return ignore("wrong password");

    ++Handled;
    QList<QByteArray> replies = type == CONFIG_READ ? AnswerRead(entries) : ApplyWrites(entries);
    if (replies.isEmpty() && IgnoreReason.isEmpty())
        IgnoreReason = QStringLiteral("nothing to answer");
    return replies;
}

QList<QByteArray> SimUnit::AnswerRead(const QList<Entry>& entries) {
    const int room = std::max(MaxReplyBytes, MIN_MAX_REPLY_BYTES) - REPLY_OVERHEAD;
    QList<QByteArray> chunks;
    for (const Entry& entry : entries)
        chunks.append(AnswerReadEntry(entry, room));
    return PackEntries(chunks);
}

QList<QByteArray> SimUnit::AnswerReadEntry(const Entry& entry, int room) {
    for (int menu = 0; menu < MENU_COUNT; ++menu) {
        if (KeyMenuRangeOf(static_cast<KeyMenu>(menu)).GroupId == entry.Id)
            return AnswerGroup(entry.Id);
    }
    if (entry.Id == KEY_INPUT_SELECTOR) {
        // 00 01 and the address characters.
        if (SimInput* input = FindInput(QString::fromLatin1(entry.Value.mid(2))))
            return {InputEntries(*input)};
        return {};
    }
    if (std::optional<QByteArray> page = Logs.AnswerRead(entry.Id, entry.Value, room))
        return {*page};
    if (Radio) {
        if (std::optional<QByteArray> page = Radio->AnswerRead(entry.Id, entry.Value, room))
            return {*page};
    }
    if (entry.Id >= 150 && entry.Id <= 169)
        return {}; // input keys only make sense with an input selected
    if (std::optional<QByteArray> value = KeyValue(entry.Id))
        return {ConfigEnvelopeClass::KeyEntry(entry.Id, *value)};
    return {};
}

QList<QByteArray> SimUnit::AnswerGroup(quint16 groupId) {
    QList<QByteArray> chunks;
    if (groupId == KeyMenuRangeOf(MENU_INPUTS).GroupId) {
        for (const SimInput& input : Inputs)
            chunks.append(InputEntries(input));
        return chunks;
    }
    for (int menu = 0; menu < MENU_COUNT; ++menu) {
        const KeyMenuRange& range = KeyMenuRangeOf(static_cast<KeyMenu>(menu));
        if (range.GroupId != groupId)
            continue;
        for (const SimKey& key : KeyList) {
            if (key.Id >= range.FirstKey && key.Id <= range.LastKey)
                chunks.append(ConfigEnvelopeClass::KeyEntry(key.Id, LiveValue(key)));
        }
    }
    return chunks;
}

QByteArray SimUnit::InputEntries(const SimInput& input) const {
    QByteArray entries;
    entries += ConfigEnvelopeClass::KeyEntry(150, input.Address.toLatin1());
    entries += ConfigEnvelopeClass::KeyEntry(151, input.Text);
    entries += ConfigEnvelopeClass::KeyEntry(152, NumberBytes(input.Type, 1));
    entries += ConfigEnvelopeClass::KeyEntry(153, NumberBytes(input.Balance, 1));
    entries += ConfigEnvelopeClass::KeyEntry(154, NumberBytes(input.MaxTemp, 1));
    entries += ConfigEnvelopeClass::KeyEntry(155, NumberBytes(input.MinTemp, 1));
    entries += ConfigEnvelopeClass::KeyEntry(156, NumberBytes(input.Delay, 1));
    entries += ConfigEnvelopeClass::KeyEntry(157, NumberBytes(input.Status, 1));
    entries += ConfigEnvelopeClass::KeyEntry(158, NumberBytes(input.Analog, 2));
    entries += ConfigEnvelopeClass::KeyEntry(159, NumberBytes(input.Info, 2));
    return entries;
}

QList<QByteArray> SimUnit::PackEntries(const QList<QByteArray>& chunks) {
    const int room = std::max(MaxReplyBytes, MIN_MAX_REPLY_BYTES) - REPLY_OVERHEAD;
    QList<QByteArray> packets;
    QByteArray body;
    bool any = false;
    for (const QByteArray& chunk : chunks) {
        if (chunk.isEmpty())
            continue;
        if (!body.isEmpty() && body.size() + chunk.size() > room) {
            packets.append(BuildReply(CONFIG_RESPONSE, body));
            body.clear();
        }
        // A chunk larger than a packet still goes out whole, in a packet of its own.
        body += chunk;
        any = true;
    }
    if (any)
        packets.append(BuildReply(CONFIG_RESPONSE, body));
    packets.removeAll(QByteArray());
    return packets;
}

QList<QByteArray> SimUnit::ApplyWrites(const QList<Entry>& entries) {
    const QByteArray macBefore = MacBytes;
    QList<QByteArray> firmwareReplies;
    bool acknowledge = entries.isEmpty();
    SimInput* input = nullptr;
    for (const Entry& entry : entries) {
        if (entry.Id == KEY_UNIT_FIRMWARE || entry.Id == KEY_RADIO_FIRMWARE) {
            if (std::optional<QByteArray> body = FirmwareStep(entry.Id, entry.Value))
                firmwareReplies.append(BuildReply(FIRMWARE_RESPONSE, *body));
            continue;
        }
        acknowledge = true;
        if (entry.Id == KEY_INPUT_SELECTOR) {
            input = FindInput(QString::fromLatin1(entry.Value.mid(2)));
            continue;
        }
        ApplyKeyWrite(entry.Id, entry.Value, input);
    }
    QList<QByteArray> replies = firmwareReplies;
    if (acknowledge) {
        // Acknowledged under the MAC the request reached, even when it changed the MAC.
        const QByteArray macAfter = MacBytes;
        MacBytes = macBefore;
        replies.append(BuildReply(CONFIG_WRITE_ACK, {}));
        MacBytes = macAfter;
    }
    return replies;
}

void SimUnit::ApplyKeyWrite(quint16 id, const QByteArray& value, SimInput* input) {
    const QDateTime now = QDateTime::currentDateTime();
    switch (id) {
    case COMMAND_REBOOT:
        ++RebootCount;
        UptimeAtStart = 0;
        StartedMs = QDateTime::currentMSecsSinceEpoch();
        Logs.AddEvent(1, now, {});
        Logs.AddDebugLine(now, QStringLiteral("Reboot requested by config"));
        return;
    case COMMAND_FACTORY_RESET:
        if (Factory) {
            MacBytes = Factory->Mac;
            KeyList = Factory->Keys;
            Inputs = Factory->Inputs;
        }
        Logs.AddDebugLine(now, QStringLiteral("Factory reset"));
        return;
    case COMMAND_TOGGLE_OUTPUT1:
        ToggleOutput(4413);
        return;
    case COMMAND_TOGGLE_OUTPUT2:
        ToggleOutput(4414);
        return;
    case KEY_INPUT_ACK:
        if (input != nullptr) {
            if (input->Status == 1 || input->Status == 2)
                input->Status = static_cast<quint8>(input->Status + 2);
        } else {
            AcknowledgeInputs();
        }
        return;
    default:
        break;
    }
    if (Radio && Radio->ApplyWrite(id, value))
        return;
    if (Logs.ApplyWrite(id, value))
        return;
    if (id >= 150 && id <= 169) {
        if (input != nullptr)
            ApplyInputKey(*input, id, value);
        return;
    }
    if (id == 5) {
        // Set from the tool's "Set Mac" as the 17-character text.
        if (value.size() == 17)
            SetMac(MacTextToBytes(QString::fromLatin1(value)));
        return;
    }
    const uint16_t slot = FindKeyIndex(id);
    if (slot == KEY_NOT_FOUND)
        return;
    const KeyDefinition& definition = KeyDefinitionAt(slot);
    // Status keys are the unit's to report, not the tool's to set.
    if (IsStatusKeyType(definition.Type))
        return;
    const int kind = KeyBaseKindOf(definition.Type);
    if (kind == KEY_KIND_ACTION)
        return;
    if (IsNumberKind(kind)) {
        const std::optional<quint32> number = BigEndianNumber(value);
        if (!number)
            return;
        const std::optional<QByteArray> old = KeyValue(id);
        const int width = old && !old->isEmpty() && old->size() <= 4 ? static_cast<int>(old->size())
                                                                     : DefaultNumberWidth(kind);
        SetKey(id, NumberBytes(*number, width));
        return;
    }
    if (kind == KEY_KIND_IPV4 && value.size() != 4)
        return;
    SetKey(id, value);
}

void SimUnit::ApplyInputKey(SimInput& input, quint16 id, const QByteArray& value) {
    if (id == 151) {
        input.Text = value;
        return;
    }
    const std::optional<quint32> number = BigEndianNumber(value);
    if (!number)
        return;
    // The unit keeps one byte per field; a negative temperature written as 16 bits keeps its low byte.
    const quint8 low = static_cast<quint8>(*number & 0xFF);
    switch (id) {
    case 152:
        input.Type = low;
        break;
    case 153:
        input.Balance = low;
        break;
    case 154:
        input.MaxTemp = low;
        break;
    case 155:
        input.MinTemp = low;
        break;
    case 156:
        input.Delay = static_cast<quint8>(std::min<quint32>(*number, 255));
        break;
    default:
        break; // status, analog value and info are measured, not set
    }
}

void SimUnit::AcknowledgeInputs() {
    for (SimInput& input : Inputs) {
        if (input.Status == 1 || input.Status == 2) {
            Logs.AddEvent(input.Status == 1 ? 22 : 23, QDateTime::currentDateTime(),
                          input.Address.toLatin1());
            input.Status = static_cast<quint8>(input.Status + 2);
        }
    }
}

void SimUnit::ToggleOutput(quint16 key) {
    const std::optional<QByteArray> old = KeyValue(key);
    if (!old)
        return;
    SetKey(key, *old == "On" ? QByteArray("Off") : QByteArray("On"));
}
