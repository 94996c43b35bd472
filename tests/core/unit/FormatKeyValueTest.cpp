#include "core/unit/FormatKeyValue.h"

#include "core/unit/KeyObjectClass.h"
#include "core/unit/UnitInfoClass.h"

#include <gtest/gtest.h>
#include <initializer_list>

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (int v : values)
        bytes.append(static_cast<char>(v));
    return bytes;
}

struct Case {
    int Id;
    int32_t Value;
    QByteArray Data;
    QString Expected;
};

// Formats a free-standing key of the unit, so a case never depends on what other keys the unit holds.
QString Format(UnitInfoClass& unit, int id, int32_t value, const QByteArray& data) {
    KeyObjectClass key(unit, id);
    key.Value = value;
    key.Data = data;
    key.Length = static_cast<int32_t>(data.size());
    return FormatKeyValue(key, unit);
}

void RunCases(UnitInfoClass& unit, const std::vector<Case>& cases) {
    for (const Case& c : cases)
        EXPECT_EQ(Format(unit, c.Id, c.Value, c.Data), c.Expected)
            << "key " << c.Id << " value " << c.Value << " data " << c.Data.toHex(' ').constData();
}

QString S(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

TEST(FormatKeyValue, KeyRules) {
    UnitInfoClass unit(QStringLiteral("00-1E-C0-11-22-33"));
    const QByteArray eight = Bytes({1, 2, 3, 4, 5, 6, 7, 8});
    QByteArray sockets(48, '\0');
    sockets[24] = 0x00;
    sockets[25] = 0x50;
    RunCases(unit, {
                       {8, 13, {}, S("+1")},
                       {8, 12, {}, S("0")},
                       {5, 0, Bytes({0x02, 0x3C, 0xA7, 0x00, 0x00, 0x01}), S("02-3C-A7-00-00-01")},
                       {53, 0, Bytes({1, 2, 3, 4}), S("Korvex: v2.3.4")},
                       {53, 0, Bytes({2, 1, 0, 9}), S("ZTM: v1.0.9")},
                       {53, 0, Bytes({0, 2, 3, 4}), QString::fromLatin1(Bytes({0, 2, 3, 4}))},
                       {109, 0, Bytes({2, 0, 16}), S("v2.0.16")},
                       {111, 0, Bytes({1, 2, 3, 4}), S("v1.2.3")},
                       {112, 0, Bytes({0x01, 0x02, 9, 9, 9, 7}), S("Product: 258. Board: 7")},
                       {117, 86400 + 3600 + 60 + 1, {}, S("1 Days. 1 Hours. 1 Mins. 1 Secs.")},
                       {117, 0, {}, S("0 Days. 0 Hours. 0 Mins. 0 Secs.")},
                       {118, 0, {}, S("No firmware available")},
                       {118, 1, {}, S("New firmware available")},
                       {118, 2, {}, S("New firmware available")},
                       // As received: the parser stores this key's value as bytes.
                       {118, 0, Bytes({1}), S("New firmware available")},
                       {118, 0, Bytes({0x00, 0x02}), S("New firmware available")},
                       {118, 0, Bytes({0}), S("No firmware available")},
                       {185, 0, QByteArray("a\r\nb\n\nc"), S("a;b;c")},
                       {185, 0, QByteArray("a\r\r\rb\n"), S("a;;b;")},
                       {220, 0, Bytes({0x01, 0x02}), S("258 Events")},
                       {222, 0, Bytes({0x00, 0x10, 0xFF}), S("16 Bytes")},
                       {225, 0, Bytes({0x00, 0x00}), S("0 Items")},
                       {224, 0, sockets, S("1 Sockets")},
                       {224, 0, {}, S("0 Sockets")},
                       {252, 0, QByteArray("a;b;c;"), S("2 Sockets")},
                       {252, 0, QByteArray(";"), S("0 Sockets")},
                       {4138, 0, Bytes({1, 2, 3}), S("v1.2.3")},
                       {4164, 0, Bytes({4, 0, 12}), S("v4.0.12")},
                       {4139, 0, Bytes({17, 6, 5}), S("2017-06-05")},
                       {4139, 0, Bytes({9, 11, 30}), S("2009-11-30")},
                       {4165, 0xBEEF, {}, S("0xBEEF")},
                       {4165, 5, {}, S("0x0005")},
                       {4352, 0, {}, S("00-1E-C0-11-22-33")},
                       {4353, 0, Bytes({0x00, 0x06, 0x01, 0x0C, 0x11, 0x06, 0x05}),
                        S("Q7 Mini Repeater v1.12 - 2017-06-05")},
                       {4353, 0, Bytes({0x00, 0x09, 0x02, 0x00, 0x12, 0x0A, 0x1F}), S(" v2.0 - 2018-10-31")},
                       {4354, 0xC5, {}, S("-59 dBm (58%)")},
                       {4354, 0, {}, S("0 dBm (0%)")},
                       {4358, 0xF6, {}, S("-10")},
                       {4359, 25, {}, S("25")},
                       {4406, 0x180, {}, S("-128")},
                       {4361, 0, eight, S("0102030405060708")},
                       {4373, 0, eight, S("08 07 06 05 04 03 02 01")},
                       {4362, 0, Bytes({0xAA, 0xBB}), S("*****")},
                       {4364, 3723 * 1000 + 999, {}, S("1 Hours. 2 Mins. 3 Secs.")},
                       {4364, 90061 * 1000, {}, S("1 Hours. 1 Mins. 1 Secs.")},
                       {4365, 0, {}, S("0: NETWORK_STARTUP (Offline)")},
                       {4365, 4, {}, S("4: NETWORK_JOINED (Online)")},
                       {4365, 12, {}, S("12: NETWORK_CHECKING (Online)")},
                       {4365, 13, {}, S("13: ")},
                       {4365, -1, {}, S("-1: ")},
                       {4371, 1500, {}, S("30% (8.0V / 1500ADC)")},
                       {4371, 1773, {}, S("100% (9.5V / 1773ADC)")},
                       {4374, 0xA3, {}, S("00A3")},
                       {4375, 2013, {}, S("11.0V / 2013ADC")},
                       {4375, 643, {}, S("0.0V / 643ADC")},
                       // 4407 without key 4401 in the unit: plain number.
                       {4407, 0xF6, {}, S("246")},
                   });
}

TEST(FormatKeyValue, DefaultDisplayByBaseKind) {
    UnitInfoClass unit(QStringLiteral("00-00-00-00-00-01"));
    RunCases(unit,
             {
                 {4, 0, {}, S("No")},                                     // Yes/No
                 {4, 7, {}, S("Yes")},                                    //
                 {25, 2, {}, S("Online")},                                // Choice (status form)
                 {25, 5, {}, S("")},                                      // past the options
                 {8, 50, {}, S("")},                                      // past the 50 slots
                 {8, -1, {}, S("")},                                      //
                 {1, 0, Bytes({192, 168, 1, 10, 99}), S("192.168.1.10")}, // IPv4
                 {44, 3725, {}, S("01:02:05")},                           // Duration
                 {51, 360000, {}, S("100:00:00")},                        //
                 {42, -7, {}, S("-7")},                                   // Number
                 {4128, 12, {}, S("12")},                                 // Count with action
                 {4865, 9600, {}, S("9600")},                             // Number with suggestions
                 {21, 0, QByteArray("m2m"), S("m2m")},                    // Text with suggestions
                 {40, 0, Bytes({'h', 0xE9, '\n', 'x'}), QString::fromLatin1(Bytes({'h', 0xE9, '\n', 'x'}))},
                 {4099, 0, {}, S("")}, // Action without bytes
                 // Ids the key table does not know: number, ". ", raw bytes.
                 {77, 5, Bytes({0x0A, 0xFF}), S("5. 0A FF ")},
                 {77, 0, {}, S("0. ")},
             });
}

// Keys whose rule needs more bytes than the unit sent fall back to the base kind's display, and
// an IPv4 value that is too short shows nothing. None of them may read past the data.
TEST(FormatKeyValue, ShortDataFallsBackToTheDefaultDisplay) {
    UnitInfoClass unit(QStringLiteral("00-00-00-00-00-02"));
    auto chars = [](std::initializer_list<int> values) { return QString::fromLatin1(Bytes(values)); };
    RunCases(unit, {
                       {5, 0, Bytes({0x41, 0x42}), S("AB")},
                       {5, 0, {}, S("")},
                       {53, 0, Bytes({1}), chars({1})},
                       {53, 0, Bytes({2, 5, 6}), chars({2, 5, 6})},
                       {109, 0, Bytes({2, 0}), chars({2, 0})},
                       {112, 0, Bytes({0, 1, 2, 3, 4}), chars({0, 1, 2, 3, 4})},
                       {220, 0, Bytes({7}), chars({7})},
                       {224, 0, Bytes({0x00}), S("0 Sockets")},
                       // The second record has only one byte: it is not counted.
                       {224, 0,
                        [] {
                            QByteArray d(25, '\0');
                            d[1] = 1;
                            d[24] = 1;
                            return d;
                        }(),
                        S("1 Sockets")},
                       {4138, 0, Bytes({1, 2}), chars({1, 2})},
                       {4139, 0, Bytes({17, 6}), chars({17, 6})},
                       {4353, 0, Bytes({0, 6, 1}), chars({0, 6, 1})},
                       {4353, 0, Bytes({0, 6, 1, 12, 17, 6}), chars({0, 6, 1, 12, 17, 6})},
                       {4361, 0, Bytes({1, 2, 3, 4, 5, 6, 7}), chars({1, 2, 3, 4, 5, 6, 7})},
                       {4373, 0, Bytes({1}), chars({1})},
                       {1, 0, Bytes({10, 0, 0}), S("")},
                       {1, 0, {}, S("")},
                   });
}

TEST(FormatKeyValue, AnalogInputFollowsTheInputType) {
    UnitInfoClass unit(QStringLiteral("00-00-00-00-00-03"));
    unit.SetKeyValue(4407, 0xF6);
    unit.SetKeyValue(4408, 0xF6);
    const KeyObjectClass& input1 = *unit.FindKey(4407);
    const KeyObjectClass& input2 = *unit.FindKey(4408);

    unit.SetKeyValue(4401, 2); // Temperature: the low byte is a signed reading
    unit.SetKeyValue(4402, 1);
    EXPECT_EQ(FormatKeyValue(input1, unit), S("-10"));
    EXPECT_EQ(FormatKeyValue(input2, unit), S("246"));

    unit.SetKeyValue(4401, 0);
    unit.SetKeyValue(4402, 2);
    EXPECT_EQ(FormatKeyValue(input1, unit), S("246"));
    EXPECT_EQ(FormatKeyValue(input2, unit), S("-10"));
}

TEST(FormatKeyValue, NetworkStateNames) {
    EXPECT_EQ(NetworkStateName(6), S("NETWORK_DISCOVER_QUIB_COORD_OK (Online)"));
    EXPECT_EQ(NetworkStateName(10), S("NETWORK_COMISSIONED (Online)"));
    EXPECT_EQ(NetworkStateName(13), QString());
    EXPECT_EQ(NetworkStateName(-1), QString());
}
