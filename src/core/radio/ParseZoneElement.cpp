#include "core/radio/ParseZoneElement.h"

#include "core/unit/ZoneObjectClass.h"

#include <QString>
#include <algorithm>

void ParseZoneElement(ZoneObjectClass& zone, int type, int length, const QByteArray& value) {
    const qsizetype n = std::clamp<qsizetype>(length, 0, value.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.constData());
    const auto u16 = [&](uint16_t& field) {
        if (n >= 2)
            field = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
    };
    const auto u8 = [&](uint8_t& field) {
        if (n >= 1)
            field = bytes[0];
    };

    switch (type) {
    case ZONE_ELEMENT_NAME:
        zone.Name = QString::fromLatin1(value.constData(), n);
        break;
    case ZONE_ELEMENT_AREA_ID:
        zone.AreaID = QString::fromLatin1(value.constData(), n);
        break;
    case ZONE_ELEMENT_ACTIVATION_OUTPUT:
        zone.ActivationOutput.SetFromElement(bytes, n);
        break;
    case ZONE_ELEMENT_ALARM_OUTPUT_1:
        zone.AlarmOutputs[0].SetFromElement(bytes, n);
        break;
    case ZONE_ELEMENT_ALARM_OUTPUT_2:
        zone.AlarmOutputs[1].SetFromElement(bytes, n);
        break;
    case ZONE_ELEMENT_FAULT_OUTPUT_1:
        zone.FaultOutputs[0].SetFromElement(bytes, n);
        break;
    case ZONE_ELEMENT_FAULT_OUTPUT_2:
        zone.FaultOutputs[1].SetFromElement(bytes, n);
        break;
    case ZONE_ELEMENT_ALARM_OUTPUT_RELOAD_TIME:
        u16(zone.AlarmOutputReloadTime);
        break;
    case ZONE_ELEMENT_FAULT_OUTPUT_RELOAD_TIME:
        u16(zone.FaultOutputReloadTime);
        break;
    case ZONE_ELEMENT_ZONE_CONTROL_DELAY_RELOAD_TIME:
        u16(zone.ZoneControlDelayReloadTime);
        break;
    case ZONE_ELEMENT_ALARM_LOOKUP_RELOAD_TIME:
        u16(zone.AlarmLookupReloadTime);
        break;
    case ZONE_ELEMENT_TWO_SECTION:
        u8(zone.TwoSection);
        break;
    case ZONE_ELEMENT_AUTO_ACK:
        u8(zone.AutoAck);
        break;
    case ZONE_ELEMENT_OUTPUT_DELAY:
        u8(zone.OutputDelay);
        break;
    case ZONE_ELEMENT_ACTIVATE_ALL_SIRENS:
        u8(zone.ActivateAllSirens);
        break;
    case ZONE_ELEMENT_STATUS:
        u8(zone.Status);
        break;
    default:
        break; // newer firmware may report fields this program does not know
    }
}
