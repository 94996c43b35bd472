#include "core/unit/ValueConversions.h"

#include <array>
#include <cstdint>
#include <cstdlib>

namespace {

// Supply breakpoints: T0 stands for 3.5 V and each further one for 0.5 V more. The battery curve uses
// the first thirteen of them.
constexpr std::array<int, 16> SUPPLY_BREAKPOINTS = {643,  706,  804,  902,  999,  1095, 1193, 1290,
                                                    1388, 1485, 1581, 1679, 1773, 1873, 1943, 2013};
constexpr int BATTERY_BREAKPOINT_COUNT = 13;

// Straight lines between breakpoints, five tenths of a volt per segment, starting at 3.5 V.
int VoltageFromBreakpoints(int reading, int count, int topResult) {
    if (reading <= SUPPLY_BREAKPOINTS[0])
        return 0;
    if (reading >= SUPPLY_BREAKPOINTS[count - 1])
        return topResult;
    for (int i = 0; i + 1 < count; ++i) {
        const int low = SUPPLY_BREAKPOINTS[i];
        const int high = SUPPLY_BREAKPOINTS[i + 1];
        if (reading < high) {
            const int step = (high - low) / 5;
            return (reading - low) / step + 5 * i + 35;
        }
    }
    return topResult;
}

constexpr std::array<int, 8> PERCENT_BREAKPOINTS = {1095, 1193, 1290, 1388, 1485, 1581, 1679, 1773};

struct PercentSegment {
    int Base;
    int Divisor;
};
// The battery's discharge curve is flat in the middle, so the segments there cover more percent.
constexpr std::array<PercentSegment, 7> PERCENT_SEGMENTS = {
    {{0, 5}, {5, 5}, {10, 10}, {20, 5}, {25, 25}, {50, 45}, {95, 5}}};

} // namespace

int AdcToSupplyVoltage(int reading) {
    return VoltageFromBreakpoints(reading, static_cast<int>(SUPPLY_BREAKPOINTS.size()), 110);
}

int AdcToBatteryVoltage(int reading) {
    return VoltageFromBreakpoints(reading, BATTERY_BREAKPOINT_COUNT, 95);
}

int AdcToBatteryPercent(int reading) {
    if (reading <= PERCENT_BREAKPOINTS.front())
        return 0;
    if (reading >= PERCENT_BREAKPOINTS.back())
        return 100;
    for (std::size_t i = 0; i + 1 < PERCENT_BREAKPOINTS.size(); ++i) {
        const int low = PERCENT_BREAKPOINTS[i];
        const int high = PERCENT_BREAKPOINTS[i + 1];
        if (reading < high) {
            const int step = (high - low) / PERCENT_SEGMENTS[i].Divisor;
            return PERCENT_SEGMENTS[i].Base + (reading - low) / step;
        }
    }
    return 100;
}

int Translate_IEEE_RSSI(int value) {
    if (value == 0)
        return 0;
    const int magnitude = std::abs(static_cast<int>(static_cast<int8_t>(value & 0xFF)));
    if (magnitude >= 100)
        return 0;
    if (magnitude <= 30)
        return 100;
    return ((70 - (magnitude - 30)) * 100) / 70;
}

QString Q7ProductName(int hardwareType) {
    switch (hardwareType) {
    case 1:
        return QStringLiteral("Q7 Smoke Detector");
    case 2:
        return QStringLiteral("Q7 Smoke Repeater");
    case 3:
        return QStringLiteral("Q7 Radio Tester");
    case 4:
        return QStringLiteral("Q7 Radio Tester Repeater");
    case 5:
        return QStringLiteral("Q7 Mini");
    case 6:
        return QStringLiteral("Q7 Mini Repeater");
    default:
        return QString();
    }
}
