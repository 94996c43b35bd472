#include "core/unit/FormatKeyValue.h"

#include "core/app/DebugLog.h"
#include "core/unit/KeyDefinitionTable.h"
#include "core/unit/KeyObjectClass.h"
#include "core/unit/UnitInfoClass.h"
#include "core/unit/ValueConversions.h"

#include <cstdint>
#include <iterator>

namespace {

const char HEX_DIGITS[] = "0123456789ABCDEF";

QString Num(qint64 n) {
    return QString::number(n);
}

// "0" in front of numbers below 10, as dates and clock times are written.
QString TwoDigit(qint64 n) {
    return n < 10 ? QStringLiteral("0") + Num(n) : Num(n);
}

QString HexByte(int b) {
    const QChar pair[2] = {QLatin1Char(HEX_DIGITS[(b >> 4) & 0x0F]), QLatin1Char(HEX_DIGITS[b & 0x0F])};
    return QString(pair, 2);
}

QString Hex4(int value) {
    return HexByte((value >> 8) & 0xFF) + HexByte(value & 0xFF);
}

int SignedLowByte(int32_t value) {
    return static_cast<int8_t>(value & 0xFF);
}

// Unsigned byte i of the key; the caller has checked that the key holds it.
int B(const KeyObjectClass& key, qsizetype i) {
    return key.ByteAt(i);
}

QString Version3(const KeyObjectClass& key) {
    if (!key.HasBytes(3))
        return QString();
    return QStringLiteral("v") + Num(B(key, 0)) + QLatin1Char('.') + Num(B(key, 1)) + QLatin1Char('.') +
           Num(B(key, 2));
}

QString BigEndianCount(const KeyObjectClass& key, const QString& unitText) {
    if (!key.HasBytes(2))
        return QString();
    return Num(B(key, 0) * 256 + B(key, 1)) + unitText;
}

QString MacAddress(const KeyObjectClass& key) {
    if (!key.HasBytes(6))
        return QString();
    QString text;
    for (int i = 0; i < 6; ++i) {
        if (i > 0)
            text += QLatin1Char('-');
        text += HexByte(B(key, i));
    }
    return text;
}

QString ServerVersion(const KeyObjectClass& key) {
    if (!key.HasBytes(4))
        return QString();
    QString product;
    if (B(key, 0) == 1)
        product = QStringLiteral("Korvex: ");
    else if (B(key, 0) == 2)
        product = QStringLiteral("ZTM: ");
    else
        return QString();
    return product + QStringLiteral("v") + Num(B(key, 1)) + QLatin1Char('.') + Num(B(key, 2)) +
           QLatin1Char('.') + Num(B(key, 3));
}

QString HardwareInfo(const KeyObjectClass& key) {
    if (!key.HasBytes(6))
        return QString();
    return QStringLiteral("Product: ") + Num(B(key, 0) * 256 + B(key, 1)) + QStringLiteral(". Board: ") +
           Num(B(key, 5));
}

QString Uptime(int32_t value) {
    const qint64 rest = value % 86400;
    return Num(value / 86400) + QStringLiteral(" Days. ") + Num(rest / 3600) + QStringLiteral(" Hours. ") +
           Num(rest % 3600 / 60) + QStringLiteral(" Mins. ") + Num(rest % 60) + QStringLiteral(" Secs.");
}

QString LastRadioContact(int32_t milliseconds) {
    const qint64 s = milliseconds / 1000;
    return Num((s % 86400) / 3600) + QStringLiteral(" Hours. ") + Num(s / 60 % 60) +
           QStringLiteral(" Mins. ") + Num(s % 60) + QStringLiteral(" Secs.");
}

QString FirmwareInformation(int32_t value) {
    if (value == 0)
        return QStringLiteral("No firmware available");
    if (value == 1 || value == 2)
        return QStringLiteral("New firmware available");
    return QString();
}

// A CR or LF, together with one CR or LF right after it, is one line break.
QString ReceiverList(const KeyObjectClass& key) {
    QString text;
    text.reserve(key.Data.size());
    const qsizetype n = key.Data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = key.Data.at(i);
        if (c == '\r' || c == '\n') {
            if (i + 1 < n && (key.Data.at(i + 1) == '\r' || key.Data.at(i + 1) == '\n'))
                ++i;
            text += QLatin1Char(';');
        } else {
            text += QLatin1Char(c);
        }
    }
    return text;
}

// Socket records are 24 bytes; a record whose first two bytes are 0 is an unused slot.
QString IpSockets(const KeyObjectClass& key) {
    constexpr qsizetype SOCKET_RECORD_SIZE = 24;
    int count = 0;
    for (qsizetype start = 0; start + 1 < key.Data.size(); start += SOCKET_RECORD_SIZE)
        if (B(key, start) != 0 || B(key, start + 1) != 0)
            ++count;
    return Num(count) + QStringLiteral(" Sockets");
}

// The unit ends every socket description with ";", except that a trailing one counts for nothing.
QString GprsSockets(const KeyObjectClass& key) {
    int count = 0;
    for (qsizetype i = 0; i + 1 < key.Data.size(); ++i)
        if (key.Data.at(i) == ';')
            ++count;
    return Num(count) + QStringLiteral(" Sockets");
}

QString RadioFirmwareDate(const KeyObjectClass& key) {
    if (!key.HasBytes(3))
        return QString();
    return QStringLiteral("20") + TwoDigit(B(key, 0)) + QLatin1Char('-') + TwoDigit(B(key, 1)) +
           QLatin1Char('-') + TwoDigit(B(key, 2));
}

QString DeviceFirmware(const KeyObjectClass& key) {
    if (!key.HasBytes(7))
        return QString();
    return Q7ProductName(B(key, 1)) + QStringLiteral(" v") + Num(B(key, 2)) + QLatin1Char('.') +
           Num(B(key, 3)) + QStringLiteral(" - 20") + TwoDigit(B(key, 4)) + QLatin1Char('-') +
           TwoDigit(B(key, 5)) + QLatin1Char('-') + TwoDigit(B(key, 6));
}

// Eight bytes as hexadecimal pairs, first to last or last to first.
QString EightBytesHex(const KeyObjectClass& key, bool lastFirst, QStringView separator) {
    if (!key.HasBytes(8))
        return QString();
    QString text;
    for (int i = 0; i < 8; ++i) {
        if (i > 0)
            text += separator;
        text += HexByte(B(key, lastFirst ? 7 - i : i));
    }
    return text;
}

QString BatteryLevel(int32_t value) {
    const int v = AdcToBatteryVoltage(value);
    return Num(AdcToBatteryPercent(value)) + QStringLiteral("% (") + Num(v / 10) + QLatin1Char('.') +
           Num(v % 10) + QStringLiteral("V / ") + Num(value) + QStringLiteral("ADC)");
}

QString PowerLevel(int32_t value) {
    const int v = AdcToSupplyVoltage(value);
    return Num(v / 10) + QLatin1Char('.') + Num(v % 10) + QStringLiteral("V / ") + Num(value) +
           QStringLiteral("ADC");
}

QString AnalogInput(const KeyObjectClass& key, const UnitInfoClass& unit, int inputTypeKey) {
    constexpr int INPUT_TYPE_TEMPERATURE = 2;
    const KeyObjectClass* inputType = unit.FindKey(inputTypeKey);
    if (inputType != nullptr && inputType->Value == INPUT_TYPE_TEMPERATURE)
        return Num(SignedLowByte(key.Value));
    return Num(key.Value);
}

// The text of a key's own rule, or the empty text when it has none (or lacks the bytes for it).
QString SpecialText(const KeyObjectClass& key, const UnitInfoClass& unit) {
    switch (key.Id) {
    case 5:
        return MacAddress(key);
    case 53:
        return ServerVersion(key);
    case 109:
    case 110:
    case 111:
    case 4138:
    case 4164:
        return Version3(key);
    case 112:
        return HardwareInfo(key);
    case 117:
        return Uptime(key.Value);
    case 118: {
        // The unit sends this status as an action-kind key, so the parser keeps its bytes rather
        // than a number; read the number from them, or the text would always say "none".
        int32_t state = key.Value;
        if (!key.Data.isEmpty()) {
            state = 0;
            for (qsizetype i = 0; i < key.Data.size() && i < 4; ++i)
                state = static_cast<int32_t>((static_cast<uint32_t>(state) << 8) |
                                             static_cast<uint8_t>(key.Data[i]));
        }
        return FirmwareInformation(state);
    }
    case 185:
        return ReceiverList(key);
    case 220:
        return BigEndianCount(key, QStringLiteral(" Events"));
    case 222:
        return BigEndianCount(key, QStringLiteral(" Bytes"));
    case 225:
        return BigEndianCount(key, QStringLiteral(" Items"));
    case 224:
        return IpSockets(key);
    case 252:
        return GprsSockets(key);
    case 4139:
        return RadioFirmwareDate(key);
    case 4165:
        return QStringLiteral("0x") + Hex4(key.Value);
    case 4352:
        return unit.Mac;
    case 4353:
        return DeviceFirmware(key);
    case 4354:
        return Num(SignedLowByte(key.Value)) + QStringLiteral(" dBm (") + Num(SignalPercent(key.Value)) +
               QStringLiteral("%)");
    case 4358:
    case 4359:
    case 4403:
    case 4404:
    case 4405:
    case 4406:
        return Num(SignedLowByte(key.Value));
    case 4361:
        return EightBytesHex(key, false, QStringView());
    case 4362:
        return QStringLiteral("*****");
    case 4364:
        return LastRadioContact(key.Value);
    case 4365:
        return Num(key.Value) + QStringLiteral(": ") + NetworkStateName(key.Value);
    case 4371:
        return BatteryLevel(key.Value);
    case 4373:
        return EightBytesHex(key, true, u" ");
    case 4374:
        return Hex4(key.Value);
    case 4375:
        return PowerLevel(key.Value);
    case 4407:
        return AnalogInput(key, unit, 4401);
    case 4408:
        return AnalogInput(key, unit, 4402);
    default:
        return QString();
    }
}

QString Duration(int32_t seconds) {
    return TwoDigit(seconds / 3600) + QLatin1Char(':') + TwoDigit(seconds / 60 % 60) + QLatin1Char(':') +
           TwoDigit(seconds % 60);
}

QString IPv4(const KeyObjectClass& key) {
    if (!key.HasBytes(4))
        return QString();
    return Num(B(key, 0)) + QLatin1Char('.') + Num(B(key, 1)) + QLatin1Char('.') + Num(B(key, 2)) +
           QLatin1Char('.') + Num(B(key, 3));
}

QString DefaultText(const KeyObjectClass& key, int typeCode) {
    switch (KeyBaseKindOf(typeCode)) {
    case KEY_KIND_YESNO:
        return key.Value == 0 ? QStringLiteral("No") : QStringLiteral("Yes");
    case KEY_KIND_CHOICE:
        return GetKeyOptionText(key.Id, key.Value);
    case KEY_KIND_IPV4:
        return IPv4(key);
    case KEY_KIND_DURATION:
        return Duration(key.Value);
    case KEY_KIND_NUMBER:
    case KEY_KIND_COUNT_ACTION:
    case KEY_KIND_SIGNAL_LEVEL:
    case KEY_KIND_NUMBER_SUGGEST:
        return Num(key.Value);
    case KEY_KIND_TEXT:
    case KEY_KIND_TEXTLINES:
    case KEY_KIND_TEXT_SUGGEST:
    case KEY_KIND_ACTION:
    default:
        return key.DataText();
    }
}

} // namespace

QString NetworkStateName(int state) {
    static const char* const NAMES[] = {
        "NETWORK_STARTUP (Offline)",
        "NETWORK_NOCONF (Offline)",
        "NETWORK_REJOIN (Offline)",
        "NETWORK_FULLJOIN (Offline)",
        "NETWORK_JOINED (Online)",
        "NETWORK_DISCOVER_QUIB (Online)",
        "NETWORK_DISCOVER_QUIB_COORD_OK (Online)",
        "NETWORK_DISCOVER_IAS (Online)",
        "NETWORK_DISCOVER_IAS_HAS_CIE (Online)",
        "NETWORK_DISCOVER_IAS_HAS_CIE_IEEE (Online)",
        "NETWORK_COMISSIONED (Online)",
        "NETWORK_RUNNING (Online)",
        "NETWORK_CHECKING (Online)",
    };
    if (state < 0 || state >= static_cast<int>(std::size(NAMES)))
        return QString();
    return QString::fromLatin1(NAMES[state]);
}

QString FormatKeyValue(const KeyObjectClass& key, const UnitInfoClass& unit) {
    const uint16_t slot = FindKeyIndex(key.Id);
    if (slot == KEY_NOT_FOUND)
        return Num(key.Value) + QStringLiteral(". ") + BytesToHexText(key.Data);
    const QString special = SpecialText(key, unit);
    if (!special.isEmpty())
        return special;
    return DefaultText(key, KeyDefinitionAt(slot).Type);
}

QString InputStatusText(int status) {
    switch (status) {
    case 0:
        return QStringLiteral("Normal");
    case 1:
        return QStringLiteral("Alarm");
    case 2:
        return QStringLiteral("Fault");
    case 3:
        return QStringLiteral("Ack Alarm");
    case 4:
        return QStringLiteral("Ack Fault");
    default:
        return QStringLiteral("Unknown: ") + QString::number(status);
    }
}
