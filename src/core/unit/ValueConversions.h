#pragma once

#include <QString>

// Raw radio readings to the numbers a technician reads. All arithmetic is integer arithmetic, so
// the results match what the units' own displays show.

// Supply ADC reading to tenths of a volt: 0 (3.5 V and below) up to 110 (11.0 V).
int AdcToSupplyVoltage(int reading);
// Battery ADC reading to tenths of a volt: 0 up to 95 (9.5 V).
int AdcToBatteryVoltage(int reading);
// Battery ADC reading to percent, 0-100.
int AdcToBatteryPercent(int reading);

// Signal strength in dBm to percent, 0-100. Only the low byte counts, read as a signed number;
// 0 means "no reading" and gives 0.
int Translate_IEEE_RSSI(int value);
// The signal percent of a key value; the same conversion under the name the value texts use.
inline int SignalPercent(int value) {
    return Translate_IEEE_RSSI(value);
}

// Product name of a Q7 hardware type 1-6; the empty text for any other number.
QString Q7ProductName(int hardwareType);
