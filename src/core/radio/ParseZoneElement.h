#pragma once

#include <QByteArray>
#include <cstdint>

class ZoneObjectClass;

// Element types of a zone record: one per zone field.
enum ZoneElementType : uint8_t {
    ZONE_ELEMENT_NAME = 0,
    ZONE_ELEMENT_ACTIVATION_OUTPUT = 1,
    ZONE_ELEMENT_ALARM_OUTPUT_1 = 2,
    ZONE_ELEMENT_ALARM_OUTPUT_2 = 3,
    ZONE_ELEMENT_FAULT_OUTPUT_1 = 4,
    ZONE_ELEMENT_FAULT_OUTPUT_2 = 5,
    ZONE_ELEMENT_ALARM_OUTPUT_RELOAD_TIME = 6,
    ZONE_ELEMENT_FAULT_OUTPUT_RELOAD_TIME = 7,
    ZONE_ELEMENT_ZONE_CONTROL_DELAY_RELOAD_TIME = 8,
    ZONE_ELEMENT_ALARM_LOOKUP_RELOAD_TIME = 9,
    ZONE_ELEMENT_TWO_SECTION = 10,
    ZONE_ELEMENT_AUTO_ACK = 11,
    ZONE_ELEMENT_OUTPUT_DELAY = 12,
    ZONE_ELEMENT_AREA_ID = 13,
    ZONE_ELEMENT_ACTIVATE_ALL_SIRENS = 14,
    ZONE_ELEMENT_STATUS = 15,
};

// Sets the one zone field an element names. Only the first `length` bytes of `value` count (and
// never more than `value` holds). Texts take every byte as one character; outputs take at most the
// nine bytes of an output reference; numbers need their full width (2 or 1 bytes) and are left as
// they were when the element is shorter. Types above 15 are ignored.
void ParseZoneElement(ZoneObjectClass& zone, int type, int length, const QByteArray& value);
