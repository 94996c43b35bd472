#include "core/radio/RadioTexts.h"

#include "core/unit/IEEEObjectClass.h"
#include "core/unit/ValueConversions.h"

#include <QLatin1Char>

namespace {

constexpr uint8_t HW_NONE = 0;
constexpr uint8_t HW_UNDEFINED = 255;
constexpr uint8_t INPUT_TYPE_TEMPERATURE = 6;

const char HEX_DIGITS[] = "0123456789ABCDEF";

// Builds a short Latin-1 text on the stack. A device page refreshes every text of every device a few
// times a minute; most of them come out as they were, and then the field is left alone instead of
// being replaced by an equal copy.
class ShortText {
public:
    ShortText& operator<<(const char* text) {
        while (*text)
            Put(*text++);
        return *this;
    }
    ShortText& operator<<(char c) {
        Put(c);
        return *this;
    }
    ShortText& operator<<(const QString& text) {
        for (QChar c : text)
            Put(static_cast<char>(c.unicode() & 0xFF));
        return *this;
    }
    // Decimal, zero-padded to the width.
    ShortText& Number(int value, int width = 0) {
        char digits[12];
        int count = 0;
        const bool negative = value < 0;
        unsigned magnitude = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
        do {
            digits[count++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (negative)
            Put('-');
        for (int pad = count; pad < width; ++pad)
            Put('0');
        while (count > 0)
            Put(digits[--count]);
        return *this;
    }
    bool IsEmpty() const { return Length == 0; }
    void AssignTo(QString& field) const {
        const QLatin1String text(Buffer, Length);
        if (field != text)
            field = text;
    }
    QString ToString() const { return QString::fromLatin1(Buffer, Length); }

private:
    void Put(char c) {
        if (Length < static_cast<qsizetype>(sizeof(Buffer)))
            Buffer[Length++] = c;
    }
    char Buffer[96];
    qsizetype Length = 0;
};

void RSSIText(ShortText& text, int8_t rssiBase, int8_t rssiDet) {
    if (rssiBase == 0 && rssiDet == 0) {
        text << "Gateway: - dBm (0%) / Device: - dBm (0%)";
        return;
    }
    text << "Gateway: ";
    text.Number(rssiBase) << "dBm (";
    text.Number(Translate_IEEE_RSSI(rssiBase)) << "%) / Device: ";
    text.Number(rssiDet) << "dBm (";
    text.Number(Translate_IEEE_RSSI(rssiDet)) << "%)";
}

void Temperature(ShortText& text, uint16_t specVariable) {
    text.Number(static_cast<int8_t>(specVariable & 0xFF)) << 'C';
}

void SensorText(ShortText& text, uint8_t sensorKind, uint16_t specVariable0) {
    // Sensor kinds 0-2 measure temperature; other kinds use spec_var for something else.
    if (sensorKind <= 2)
        Temperature(text, specVariable0);
}

void InputText(ShortText& text, const IEEEObjectClass& device) {
    if (device.InputTypes[0] == INPUT_TYPE_TEMPERATURE) {
        text << "In 1: ";
        Temperature(text, device.spec_var[0]);
    }
    if (device.InputTypes[1] == INPUT_TYPE_TEMPERATURE) {
        if (!text.IsEmpty())
            text << ". ";
        text << "In 2: ";
        Temperature(text, device.spec_var[1]);
    }
}

} // namespace

QString RadioProductName(int hardwareType) {
    if (hardwareType == HW_NONE || hardwareType == HW_UNDEFINED)
        return QString();
    const QString name = Q7ProductName(hardwareType);
    return name.isEmpty() ? QStringLiteral("Unknown") : name;
}

void UpdateFirmwareTexts(IEEEObjectClass& device) {
    if (device.HW == HW_NONE)
        return;
    if (device.HW == HW_UNDEFINED) {
        // A device without a hardware type reports no usable firmware date either.
        device.FirmwareDate.clear();
        return;
    }
    ShortText date;
    date << '2';
    date.Number(device.SWYear, 3) << '-';
    date.Number(device.SWMonth, 2) << '-';
    date.Number(device.SWDay, 2);
    date.AssignTo(device.FirmwareDate);

    ShortText version;
    version << RadioProductName(device.HW) << " v";
    version.Number(device.SWHigh) << '.';
    version.Number(device.SWLow);
    version.AssignTo(device.FirmwareVersion);
}

QString BuildRSSIString(int8_t rssiBase, int8_t rssiDet) {
    ShortText text;
    RSSIText(text, rssiBase, rssiDet);
    return text.ToString();
}

void UpdateRSSIString(IEEEObjectClass& device) {
    ShortText text;
    RSSIText(text, device.RSSIbase, device.RSSIdet);
    text.AssignTo(device.RSSIString);
}

QString TemperatureText(uint16_t specVariable) {
    ShortText text;
    Temperature(text, specVariable);
    return text.ToString();
}

QString SensorSpecVariableString(uint8_t sensorKind, uint16_t specVariable0) {
    ShortText text;
    SensorText(text, sensorKind, specVariable0);
    return text.ToString();
}

void UpdateSensorSpecVariableString(IEEEObjectClass& device, uint8_t sensorKind) {
    ShortText text;
    SensorText(text, sensorKind, device.spec_var[0]);
    text.AssignTo(device.SpecVariableString);
}

QString InputTemperatureString(const IEEEObjectClass& device) {
    ShortText text;
    InputText(text, device);
    return text.ToString();
}

void UpdateInputTemperatureString(IEEEObjectClass& device) {
    ShortText text;
    InputText(text, device);
    text.AssignTo(device.SpecVariableString);
}

QString IeeeAddressText(const unsigned char* bytes, qsizetype count) {
    QString text;
    text.reserve(count * 2);
    for (qsizetype i = 0; i < count; ++i) {
        text += QLatin1Char(HEX_DIGITS[bytes[i] >> 4]);
        text += QLatin1Char(HEX_DIGITS[bytes[i] & 0x0F]);
    }
    return text;
}

QString IeeeSpacedText(const unsigned char* bytes, qsizetype count) {
    QString text;
    text.reserve(count * 3);
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            text += QLatin1Char(' ');
        text += QLatin1Char(HEX_DIGITS[bytes[i] >> 4]);
        text += QLatin1Char(HEX_DIGITS[bytes[i] & 0x0F]);
    }
    return text;
}

QString ParentNwkText(uint16_t nwk) {
    // The unit writes the gateway as 0xFFFF in parent lists; everywhere else the gateway is 0000.
    const uint16_t shown = nwk == 0xFFFF ? 0 : nwk;
    return QStringLiteral("%1").arg(shown, 4, 16, QLatin1Char('0')).toUpper();
}

QString RouteStatusText(uint8_t status) {
    switch (status) {
    case 0:
        return QStringLiteral("RT_INIT");
    case 1:
        return QStringLiteral("RT_ACTIVE");
    case 2:
        return QStringLiteral("RT_DISC");
    case 3:
        return QStringLiteral("RT_LINK_FAIL");
    case 4:
        return QStringLiteral("RT_REPAIR");
    default:
        return QStringLiteral("0x") + QStringLiteral("%1").arg(status, 2, 16, QLatin1Char('0')).toUpper();
    }
}
