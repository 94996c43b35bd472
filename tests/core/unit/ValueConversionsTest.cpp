#include "core/unit/ValueConversions.h"

#include "core/unit/OutputRef.h"

#include <gtest/gtest.h>

namespace {
struct Conversion {
    int Reading;
    int Expected;
};
} // namespace

// Readings at, just below and just above the breakpoints, where an off-by-one in the segment
// search or the step shows first.
TEST(ValueConversions, SupplyVoltage) {
    const Conversion cases[] = {
        {-5, 0},    {0, 0},     {643, 0},    {644, 35},   {705, 40},   {706, 40},   {804, 45},   {1095, 60},
        {1500, 80}, {1773, 95}, {1873, 100}, {1942, 104}, {1943, 105}, {2012, 109}, {2013, 110}, {65535, 110},
    };
    for (const Conversion& c : cases)
        EXPECT_EQ(AdcToSupplyVoltage(c.Reading), c.Expected) << c.Reading;
}

TEST(ValueConversions, BatteryVoltageStopsAtTheThirteenthBreakpoint) {
    const Conversion cases[] = {
        {643, 0},   {644, 35},  {1095, 60}, {1500, 80}, {1679, 90},
        {1772, 95}, {1773, 95}, {1873, 95}, {2013, 95},
    };
    for (const Conversion& c : cases)
        EXPECT_EQ(AdcToBatteryVoltage(c.Reading), c.Expected) << c.Reading;
}

TEST(ValueConversions, BatteryPercent) {
    const Conversion cases[] = {
        {0, 0},
        {1095, 0},
        {1096, 0},
        {1192, 5},
        {1193, 5},
        {1290, 10},
        {1388, 20},
        // Integer steps overshoot inside the 25 % and 45 % segments, so the curve dips where they end.
        {1485, 25},
        {1500, 30},
        {1580, 56},
        {1581, 50},
        {1678, 98},
        {1679, 95},
        {1772, 100},
        {1773, 100},
        {4000, 100},
    };
    for (const Conversion& c : cases)
        EXPECT_EQ(AdcToBatteryPercent(c.Reading), c.Expected) << c.Reading;
}

TEST(ValueConversions, SignalPercent) {
    const Conversion cases[] = {
        {0, 0},   {-30, 100}, {30, 100}, {-31, 98},  {-52, 68},   {-61, 55},    {-65, 50},
        {-99, 1}, {-100, 0},  {-128, 0}, {0xC5, 58}, {0x1C5, 58}, {0x100, 100}, {127, 0},
    };
    for (const Conversion& c : cases) {
        EXPECT_EQ(Translate_IEEE_RSSI(c.Reading), c.Expected) << c.Reading;
        EXPECT_EQ(SignalPercent(c.Reading), c.Expected) << c.Reading;
    }
}

TEST(ValueConversions, ProductNames) {
    EXPECT_EQ(Q7ProductName(1), QStringLiteral("Q7 Smoke Detector"));
    EXPECT_EQ(Q7ProductName(4), QStringLiteral("Q7 Radio Tester Repeater"));
    EXPECT_EQ(Q7ProductName(6), QStringLiteral("Q7 Mini Repeater"));
    EXPECT_EQ(Q7ProductName(0), QString());
    EXPECT_EQ(Q7ProductName(7), QString());
}

TEST(OutputRef, TextForm) {
    struct Case {
        QByteArray Bytes;
        const char* Text;
    } cases[] = {
        {QByteArray(9, '\0'), ""},
        {QByteArray(), ""},
        {QByteArray::fromHex("FE03"), "3"},
        {QByteArray::fromHex("FEFF00AABBCCDDEEFF"), "255"},
        {QByteArray::fromHex("FE0301"), "FE03010000000000:0"},
        {QByteArray::fromHex("00112233AABBCCDD01"), "00112233AABBCCDD:1"},
        {QByteArray::fromHex("0000000000000000FF"), "0000000000000000:255"},
        // Anything past nine bytes is not part of the reference.
        {QByteArray::fromHex("00112233AABBCCDD0207"), "00112233AABBCCDD:2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutputRef::FromBytes(c.Bytes).Text(), QString::fromLatin1(c.Text))
            << c.Bytes.toHex().constData();
}

TEST(OutputRef, ElementReplacesTheWholeReference) {
    OutputRef ref = OutputRef::FromBytes(QByteArray::fromHex("00112233AABBCCDD01"));
    const unsigned char unitOutput[] = {0xFE, 0x04};
    ref.SetFromElement(unitOutput, 2);
    EXPECT_EQ(ref.Text(), QStringLiteral("4"));
    EXPECT_EQ(ref, OutputRef::FromBytes(QByteArray::fromHex("FE04")));

    const unsigned char tooLong[12] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60,
                                       0x70, 0x80, 0x05, 0x99, 0x99, 0x99};
    ref.SetFromElement(tooLong, 12);
    EXPECT_EQ(ref.Text(), QStringLiteral("1020304050607080:5"));

    ref.SetFromElement(nullptr, 5);
    EXPECT_TRUE(ref.IsNone());
    ref.SetFromElement(tooLong, -3);
    EXPECT_TRUE(ref.IsNone());
}
