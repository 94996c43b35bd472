#include "core/radio/RadioTexts.h"

#include "core/unit/IEEEObjectClass.h"

#include <gtest/gtest.h>

namespace {
QString S(const char* text) {
    return QString::fromUtf8(text);
}
} // namespace

TEST(RadioTexts, UpdateFirmwareTexts) {
    const struct {
        int HW, High, Low, Year, Month, Day;
        const char* Date;
        const char* Version;
    } cases[] = {
        {6, 1, 12, 17, 6, 5, "2017-06-05", "Q7 Mini Repeater v1.12"},
        {1, 2, 0, 5, 12, 31, "2005-12-31", "Q7 Smoke Detector v2.0"},
        {3, 0, 9, 105, 1, 1, "2105-01-01", "Q7 Radio Tester v0.9"},
        {7, 1, 1, 20, 2, 3, "2020-02-03", "Unknown v1.1"},
        {254, 1, 1, 20, 2, 3, "2020-02-03", "Unknown v1.1"},
        // No hardware type yet: nothing changes. 255: the date is emptied, the version kept.
        {0, 3, 4, 20, 2, 3, "old date", "old version"},
        {255, 3, 4, 20, 2, 3, "", "old version"},
    };
    for (const auto& c : cases) {
        IEEEObjectClass device(S("0000000000000001"));
        device.HW = static_cast<uint8_t>(c.HW);
        device.SWHigh = static_cast<uint8_t>(c.High);
        device.SWLow = static_cast<uint8_t>(c.Low);
        device.SWYear = static_cast<uint8_t>(c.Year);
        device.SWMonth = static_cast<uint8_t>(c.Month);
        device.SWDay = static_cast<uint8_t>(c.Day);
        device.FirmwareDate = S("old date");
        device.FirmwareVersion = S("old version");
        UpdateFirmwareTexts(device);
        EXPECT_EQ(device.FirmwareDate, S(c.Date)) << c.HW;
        EXPECT_EQ(device.FirmwareVersion, S(c.Version)) << c.HW;
    }
}

TEST(RadioTexts, ProductNames) {
    EXPECT_EQ(RadioProductName(2), S("Q7 Smoke Repeater"));
    EXPECT_EQ(RadioProductName(4), S("Q7 Radio Tester Repeater"));
    EXPECT_EQ(RadioProductName(5), S("Q7 Mini"));
    EXPECT_EQ(RadioProductName(100), S("Unknown"));
    EXPECT_EQ(RadioProductName(0), S(""));
    EXPECT_EQ(RadioProductName(255), S(""));
}

TEST(RadioTexts, RSSIString) {
    EXPECT_EQ(BuildRSSIString(-52, -61), S("Gateway: -52dBm (68%) / Device: -61dBm (55%)"));
    EXPECT_EQ(BuildRSSIString(-52, 0), S("Gateway: -52dBm (68%) / Device: 0dBm (0%)"));
    EXPECT_EQ(BuildRSSIString(0, -30), S("Gateway: 0dBm (0%) / Device: -30dBm (100%)"));
    EXPECT_EQ(BuildRSSIString(0, 0), S("Gateway: - dBm (0%) / Device: - dBm (0%)"));
    EXPECT_EQ(BuildRSSIString(-100, -99), S("Gateway: -100dBm (0%) / Device: -99dBm (1%)"));
}

TEST(RadioTexts, TemperatureTexts) {
    EXPECT_EQ(TemperatureText(0x0017), S("23C"));
    EXPECT_EQ(TemperatureText(0xABFC), S("-4C")); // only the low byte counts
    EXPECT_EQ(SensorSpecVariableString(2, 0x0017), S("23C"));
    EXPECT_EQ(SensorSpecVariableString(3, 0x0017), S(""));

    const struct {
        int Type0, Type1;
        const char* Expected;
    } cases[] = {{6, 6, "In 1: 21C. In 2: -3C"}, {6, 0, "In 1: 21C"}, {1, 6, "In 2: -3C"}, {1, 2, ""}};
    for (const auto& c : cases) {
        IEEEObjectClass device(S("0000000000000001"));
        device.InputTypes = {static_cast<uint8_t>(c.Type0), static_cast<uint8_t>(c.Type1)};
        device.spec_var = {21, 0xFFFD};
        EXPECT_EQ(InputTemperatureString(device), S(c.Expected)) << c.Type0 << " " << c.Type1;
    }
}

TEST(RadioTexts, AddressesAndStatus) {
    const unsigned char ieee[] = {0x00, 0x12, 0x4B, 0x00, 0x0A, 0xBC, 0xDE, 0xF0};
    EXPECT_EQ(IeeeAddressText(ieee, 8), S("00124B000ABCDEF0"));
    EXPECT_EQ(IeeeSpacedText(ieee, 8), S("00 12 4B 00 0A BC DE F0"));
    EXPECT_EQ(ParentNwkText(0xFFFF), S("0000"));
    EXPECT_EQ(ParentNwkText(0x00A3), S("00A3"));
    EXPECT_EQ(RouteStatusText(0), S("RT_INIT"));
    EXPECT_EQ(RouteStatusText(1), S("RT_ACTIVE"));
    EXPECT_EQ(RouteStatusText(2), S("RT_DISC"));
    EXPECT_EQ(RouteStatusText(3), S("RT_LINK_FAIL"));
    EXPECT_EQ(RouteStatusText(4), S("RT_REPAIR"));
    EXPECT_EQ(RouteStatusText(0xAB), S("0xAB"));
}
