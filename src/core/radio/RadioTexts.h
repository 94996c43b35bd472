#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

class IEEEObjectClass;

// Texts built from raw radio values. Devices keep them as fields so every view (and the backup
// file) shows the same words without recomputing them. The Update... forms set a device's field and
// leave it untouched when the text comes out as it was.

// Product name of a hardware type: "Q7 ..." for 1-6, "Unknown" for 7-254, and the empty text for 0
// (nothing reported yet) and 255 (a device that does not say what it is).
QString RadioProductName(int hardwareType);

// Rebuilds FirmwareDate ("2017-06-05") and FirmwareVersion ("Q7 Mini Repeater v1.12") from HW and
// the SW fields. HW 0 changes nothing; HW 255 empties the date and keeps the version.
void UpdateFirmwareTexts(IEEEObjectClass& device);

// "Gateway: -52dBm (68%) / Device: -61dBm (55%)"; with both readings 0 the dBm values read "- ".
QString BuildRSSIString(int8_t rssiBase, int8_t rssiDet);
// Sets the device's RSSIString from its RSSIbase and RSSIdet.
void UpdateRSSIString(IEEEObjectClass& device);

// The low byte of a device-specific value read as a signed temperature: "23C", "-4C".
QString TemperatureText(uint16_t specVariable);

// SpecVariableString from the base record: a temperature for sensor kinds 0-2, else empty.
QString SensorSpecVariableString(uint8_t sensorKind, uint16_t specVariable0);
// Sets the device's SpecVariableString from the sensor kind and its spec_var[0].
void UpdateSensorSpecVariableString(IEEEObjectClass& device, uint8_t sensorKind);

// SpecVariableString of a two-input device: "In 1: 21C. In 2: -3C" for the inputs that measure
// temperature (input type 6), empty when neither does.
QString InputTemperatureString(const IEEEObjectClass& device);
// Sets the device's SpecVariableString to its input temperature text.
void UpdateInputTemperatureString(IEEEObjectClass& device);

// An IEEE address as 16 upper-case hexadecimal digits (the device's Address).
QString IeeeAddressText(const unsigned char* bytes, qsizetype count);
// An IEEE address as byte pairs separated by single spaces (a neighbor's extID).
QString IeeeSpacedText(const unsigned char* bytes, qsizetype count);

// A ParentList entry as the lists show it: four hex digits, 0xFFFF (the gateway) as "0000".
QString ParentNwkText(uint16_t nwk);

// "RT_INIT" ... "RT_REPAIR"; any other status as "0x" + two hex digits.
QString RouteStatusText(uint8_t status);
