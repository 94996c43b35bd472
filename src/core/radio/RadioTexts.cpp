#include "core/radio/RadioTexts.h"

#include "core/unit/IEEEObjectClass.h"
#include "core/unit/ValueConversions.h"

#include <QLatin1Char>

namespace {

constexpr uint8_t HW_NONE = 0;
constexpr uint8_t HW_UNDEFINED = 255;
constexpr uint8_t INPUT_TYPE_TEMPERATURE = 6;

const char HEX_DIGITS[] = "0123456789ABCDEF";

QString PaddedNumber(int value, int width) {
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
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
    device.FirmwareDate = QLatin1Char('2') + PaddedNumber(device.SWYear, 3) + QLatin1Char('-') +
                          PaddedNumber(device.SWMonth, 2) + QLatin1Char('-') + PaddedNumber(device.SWDay, 2);
    device.FirmwareVersion = RadioProductName(device.HW) + QStringLiteral(" v") +
                             QString::number(device.SWHigh) + QLatin1Char('.') +
                             QString::number(device.SWLow);
}

QString BuildRSSIString(int8_t rssiBase, int8_t rssiDet) {
    if (rssiBase == 0 && rssiDet == 0)
        return QStringLiteral("Gateway: - dBm (0%) / Device: - dBm (0%)");
    return QStringLiteral("Gateway: ") + QString::number(rssiBase) + QStringLiteral("dBm (") +
           QString::number(Translate_IEEE_RSSI(rssiBase)) + QStringLiteral("%) / Device: ") +
           QString::number(rssiDet) + QStringLiteral("dBm (") +
           QString::number(Translate_IEEE_RSSI(rssiDet)) + QStringLiteral("%)");
}

QString TemperatureText(uint16_t specVariable) {
    return QString::number(static_cast<int8_t>(specVariable & 0xFF)) + QLatin1Char('C');
}

QString SensorSpecVariableString(uint8_t sensorKind, uint16_t specVariable0) {
    // Sensor kinds 0-2 measure temperature; other kinds use spec_var for something else.
    if (sensorKind <= 2)
        return TemperatureText(specVariable0);
    return QString();
}

QString InputTemperatureString(const IEEEObjectClass& device) {
    QString text;
    if (device.InputTypes[0] == INPUT_TYPE_TEMPERATURE)
        text = QStringLiteral("In 1: ") + TemperatureText(device.spec_var[0]);
    if (device.InputTypes[1] == INPUT_TYPE_TEMPERATURE) {
        if (!text.isEmpty())
            text += QStringLiteral(". ");
        text += QStringLiteral("In 2: ") + TemperatureText(device.spec_var[1]);
    }
    return text;
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
