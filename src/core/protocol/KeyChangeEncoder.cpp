#include "core/protocol/KeyChangeEncoder.h"

#include "core/app/DebugLog.h"
#include "core/protocol/ByteWriter.h"
#include "core/protocol/ConfigEnvelopeClass.h"

#include <QLatin1String>
#include <memory>

namespace {

constexpr int IPV4_PARTS = 4;
constexpr int DURATION_TEXT_LENGTH = 8; // "HH:MM:SS"
// Type byte, payload checksum and footer around the entries of a packet.
constexpr qsizetype PACKET_FIXED_BYTES =
    CONFIG_HEADER_SIZE + 1 + CONFIG_PAYLOAD_CHECKSUM_SIZE + CONFIG_FOOTER_SIZE;

QString IpDotsTail(const QString& part, const QString& text) {
    return part + QStringLiteral(". Length: ") + QString::number(text.size()) + QStringLiteral(". Var: ") +
           text;
}

bool IsInputKeyChange(const KeyChange& change) {
    return change.KeyId >= KeyChangeEncoder::FIRST_INPUT_KEY &&
           change.KeyId <= KeyChangeEncoder::LAST_INPUT_KEY && !change.InputAddress.isEmpty();
}

qsizetype PasswordEntrySize(const QString& password) {
    return password.isEmpty() ? 0 : KEY_ENTRY_HEADER_SIZE + password.size();
}

KeyChangeResult Refuse(quint16 key, const QString& value, const QString& reason) {
    WriteLog(QStringLiteral("SendKeyChanges(): value refused, nothing sent. Key: ") + QString::number(key) +
             QStringLiteral(". Value: ") + value + QStringLiteral(". Reason: ") + reason);
    KeyChangeResult result;
    result.Refusal = KeyChangeRefusal{key, value, reason};
    return result;
}

} // namespace

bool KeyChangeEncoder::ParseInteger(const QString& text, int& number) {
    bool ok = false;
    number = text.trimmed().toInt(&ok, 10);
    return ok;
}

bool KeyChangeEncoder::EncodeValue(int rawType, const QString& text, QByteArray& value, QString& reason) {
    value.clear();
    int number = 0;
    switch (rawType) {
    case 1:
        // The Yes/No list hands over "Yes" or "No"; anything else is a typing mistake, and sending
        // it as "No" would switch a feature off that the user meant to switch on.
        if (text == QLatin1String("Yes") || text == QLatin1String("Ja") || text == QLatin1String("1")) {
            value.append(char(1));
            return true;
        }
        if (text == QLatin1String("No") || text == QLatin1String("Nej") || text == QLatin1String("0")) {
            value.append(char(0));
            return true;
        }
        reason = QStringLiteral("is not Yes or No");
        return false;
    case 2:
        if (!ParseInteger(text, number)) {
            reason = QStringLiteral("is not a whole number");
            return false;
        }
        // One byte on the wire: a larger number would arrive as a different option.
        if (number < 0 || number > 0xFF) {
            reason = QStringLiteral("is not an option number from 0 to 255");
            return false;
        }
        value.append(static_cast<char>(number));
        return true;
    case 3:
        return EncodeIpDots(text, value, reason);
    case 5:
        return EncodeDuration(text, value, reason);
    case 8:
    case 9:
    case 10:
    case 11:
        if (!ParseInteger(text, number)) {
            reason = QStringLiteral("is not a whole number");
            return false;
        }
        // Two bytes on the wire. Negative numbers go as their two's complement, which a unit
        // reading the value as signed gets back; anything wider would be cut to another number.
        if (number < -0x8000 || number > 0xFFFF) {
            reason = QStringLiteral("is outside -32768 to 65535");
            return false;
        }
        value.append(static_cast<char>((number >> 8) & 0xFF));
        value.append(static_cast<char>(number & 0xFF));
        return true;
    case 0:
    case 4:
    case 6:
        for (const QChar c : text) {
            if (c.unicode() > 0xFF) {
                reason = QStringLiteral("holds the character \"") + c +
                         QStringLiteral("\", which cannot be sent as one byte");
                return false;
            }
        }
        if (text.size() > 0xFFFF) {
            reason = QStringLiteral("is longer than 65535 characters");
            return false;
        }
        value = text.toLatin1();
        return true;
    default:
        // Status keys and action keys have no editor value to send.
        reason = QStringLiteral("belongs to a key that cannot be written (type ") + QString::number(rawType) +
                 QStringLiteral(")");
        return false;
    }
}

bool KeyChangeEncoder::EncodeIpDots(const QString& text, QByteArray& value, QString& reason) {
    // The masked editor shows "192.168.  1. 20": spaces are padding; each part ends at a "." or at
    // the last character.
    QString digits;
    int parts = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool dot = c == QLatin1Char('.');
        if (!dot && c != QLatin1Char(' '))
            digits.append(c);
        if (!dot && i != text.size() - 1)
            continue;

        WriteLog(QStringLiteral("Extracting CTYPE_IPDOTS info. Part: ") + IpDotsTail(digits, text));
        bool ok = false;
        const int number = digits.toInt(&ok, 10);
        // A part left out would move the following parts up one byte and address another host, and
        // a part above 255 would be cut to another number: refuse both rather than send them.
        if (!ok || number < 0 || number > 0xFF || digits.startsWith(QLatin1Char('+'))) {
            WriteLog(QStringLiteral("Unable to extract CTYPE_IPDOTS info. Part: ") +
                     IpDotsTail(digits, text));
            reason = QStringLiteral("is not an IPv4 address (four numbers from 0 to 255 joined by dots)");
            value.clear();
            return false;
        }
        if (++parts > IPV4_PARTS)
            break;
        value.append(static_cast<char>(number));
        digits.clear();
    }
    if (parts != IPV4_PARTS) {
        reason = QStringLiteral("is not an IPv4 address (four numbers from 0 to 255 joined by dots)");
        value.clear();
        return false;
    }
    return true;
}

bool KeyChangeEncoder::EncodeDuration(const QString& text, QByteArray& value, QString& reason) {
    // Digits at fixed places of "HH:MM:SS"; what stands between them is not looked at.
    static constexpr int PLACES[] = {0, 1, 3, 4, 6, 7};
    static constexpr int WEIGHTS[] = {36000, 3600, 600, 60, 10, 1};
    if (text.size() < DURATION_TEXT_LENGTH) {
        reason = QStringLiteral("is not a time HH:MM:SS");
        return false;
    }
    int seconds = 0;
    for (int i = 0; i < 6; ++i) {
        const QChar c = text.at(PLACES[i]);
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            reason = QStringLiteral("is not a time HH:MM:SS");
            return false;
        }
        seconds += WEIGHTS[i] * (c.unicode() - u'0');
    }
    // The unit keeps the seconds in 16 bits; a longer time would be stored as a much shorter one.
    if (seconds > 0xFFFF) {
        reason = QStringLiteral("is longer than 18:12:15 (65535 seconds)");
        return false;
    }
    value.append(static_cast<char>(seconds >> 8));
    value.append(static_cast<char>(seconds & 0xFF));
    return true;
}

std::optional<QByteArray> KeyChangeEncoder::EncodeKeyEntry(const KeyChange& change, QString& reason) {
    QByteArray value;
    if (!EncodeValue(change.RawType, change.ValueText, value, reason))
        return std::nullopt;
    return ConfigEnvelopeClass::KeyEntry(change.KeyId, value);
}

QByteArray KeyChangeEncoder::InputSelectorEntry(const QString& address) {
    QByteArray value;
    value.append(char(0x00));
    value.append(char(0x01));
    value.append(TextToLowBytes(address));
    return ConfigEnvelopeClass::KeyEntry(INPUT_SELECTOR_KEY, value);
}

QString KeyChangeEncoder::EditorKindOf(int rawType) {
    switch (rawType) {
    case 1:
    case 2:
    case 6:
    case 11:
        return QStringLiteral("TComboBox");
    case 3:
    case 5:
        return QStringLiteral("TMaskEdit");
    case 4:
        return QStringLiteral("TMemo");
    default:
        return QStringLiteral("TEdit");
    }
}

KeyChangeResult KeyChangeEncoder::BuildPackets(ConfigEnvelopeClass& envelope, const QString& macText,
                                               const QString& password, const QList<KeyChange>& changes,
                                               QString& lastInputAddress) {
    // Everything is converted and measured before the first byte is built.
    const qsizetype fixedBytes = PACKET_FIXED_BYTES + PasswordEntrySize(password);
    if (fixedBytes > KEY_CHANGE_BUFFER_SIZE)
        return Refuse(PASSWORD_KEY, QString(), QStringLiteral("the password is too long for a write packet"));

    QList<QByteArray> entries;
    entries.reserve(changes.size());
    for (const KeyChange& change : changes) {
        QString reason;
        std::optional<QByteArray> entry = EncodeKeyEntry(change, reason);
        if (!entry)
            return Refuse(change.KeyId, change.ValueText, reason);
        const qsizetype selectorBytes =
            IsInputKeyChange(change) ? InputSelectorEntry(change.InputAddress).size() : 0;
        if (fixedBytes + selectorBytes + entry->size() > KEY_CHANGE_BUFFER_SIZE)
            return Refuse(
                change.KeyId, change.ValueText,
                QStringLiteral("is too long to fit a write packet of %1 bytes").arg(KEY_CHANGE_BUFFER_SIZE));
        entries.append(*entry);
    }

    KeyChangeResult result;
    std::unique_ptr<ByteWriter> packet;
    int entriesInPacket = 0;
    bool broken = false;

    auto startPacket = [&]() {
        packet = std::make_unique<ByteWriter>(KEY_CHANGE_BUFFER_SIZE);
        envelope.CreateHeader(*packet, macText);
        packet->writeU8(CONFIG_WRITE);
        envelope.AddPasswordEntry(*packet, password);
        lastInputAddress.clear();
        entriesInPacket = 0;
    };
    auto finishPacket = [&]() {
        const QByteArray bytes = envelope.FinishPacket(*packet, CONFIG_TYPE_OFFSET);
        if (bytes.isEmpty())
            broken = true;
        result.Packets.append(bytes);
    };

    startPacket();
    const qsizetype tailBytes = CONFIG_PAYLOAD_CHECKSUM_SIZE + CONFIG_FOOTER_SIZE;
    for (qsizetype i = 0; i < changes.size(); ++i) {
        const KeyChange& change = changes.at(i);
        const bool input = IsInputKeyChange(change);
        QByteArray selector;
        if (input && change.InputAddress != lastInputAddress)
            selector = InputSelectorEntry(change.InputAddress);
        if (entriesInPacket > 0 &&
            packet->size() + selector.size() + entries.at(i).size() + tailBytes > KEY_CHANGE_BUFFER_SIZE) {
            finishPacket();
            startPacket();
            // A new packet starts without a selected input, so an input key needs its selector again.
            if (input)
                selector = InputSelectorEntry(change.InputAddress);
        }
        if (!selector.isEmpty()) {
            packet->writeBytes(selector);
            lastInputAddress = change.InputAddress;
        }
        WriteLog(EditorKindOf(change.RawType) + QStringLiteral(" (") + QString::number(change.KeyId) +
                 QStringLiteral(") Changed to: ") + change.ValueText);
        packet->writeBytes(entries.at(i));
        ++entriesInPacket;
    }
    finishPacket();

    if (broken) {
        // Cannot happen with the sizes checked above; kept so a packet is never sent half-built.
        result = Refuse(0, QString(), QStringLiteral("the write packet could not be built"));
    }
    return result;
}
