#include "core/protocol/MacText.h"

#include <gtest/gtest.h>

TEST(MacText, TextToBytesReadsOnlyThePairPositions) {
    struct Case {
        QString Text;
        const char* ExpectedHex;
    } cases[] = {
        {QStringLiteral("00-1A-2B-3C-4D-5E"), "001A2B3C4D5E"},
        {QStringLiteral("00-1a-2b-3c-4d-5e"), "001A2B3C4D5E"},
        {QStringLiteral("00:1A:2B:3C:4D:5E"), "001A2B3C4D5E"},
        {QStringLiteral("00 1A.2B_3C--4D-5E"), "001A2B3C0405"}, // a stray separator shifts the pairs
        {QStringLiteral("FF-FF-FF-FF-FF-FF"), "FFFFFFFFFFFF"},
        // Characters that are not hexadecimal digits count as 0.
        {QStringLiteral("GZ-1G-G1-..-?\?-ff"), "0010010000FF"},
        // A character whose low byte is a hex digit is still not one.
        {QStringLiteral("\u0141A-00-00-00-00-\u0146\u0146"), "0A0000000000"},
        // Short texts: missing characters count as 0.
        {QStringLiteral("001A2B3C4D5E"), "00A23CD50000"},
        {QStringLiteral("AB-C"), "ABC000000000"},
        {QStringLiteral("A"), "A00000000000"},
        {QString(), "000000000000"},
        // Longer texts: the rest is not looked at.
        {QStringLiteral("00-1A-2B-3C-4D-5E-77-88"), "001A2B3C4D5E"},
    };
    for (const Case& c : cases) {
        const QByteArray expected = QByteArray::fromHex(QByteArray(c.ExpectedHex));
        EXPECT_EQ(MacTextToBytes(c.Text).toHex().toUpper(), expected.toHex().toUpper())
            << c.Text.toStdString();
        EXPECT_EQ(MacTextToBytes(c.Text).size(), MAC_BYTES);
    }
}

TEST(MacText, BytesToTextIsUpperCaseAndBounded) {
    const QByteArray packet = QByteArray::fromHex("B0001a2b3c4dfe");
    EXPECT_EQ(MacBytesToText(packet, 1), QStringLiteral("00-1A-2B-3C-4D-FE"));
    EXPECT_EQ(MacTextToBytes(MacBytesToText(packet, 1)), packet.mid(1));
    EXPECT_EQ(MacBytesToText(packet, 2), QString()); // only five bytes left
    EXPECT_EQ(MacBytesToText(QByteArray(), 0), QString());
    EXPECT_EQ(MacBytesToText(packet, -1), QString());
}

TEST(MacText, SerialFormRunsLastToFirst) {
    EXPECT_EQ(SerialMacText(QByteArray::fromHex("0102030405060708")),
              QStringLiteral("08 07 06 05 04 03 02 01"));
    EXPECT_EQ(SerialMacText(QByteArray::fromHex("AA0102030405060708ab"), 1),
              QStringLiteral("08 07 06 05 04 03 02 01"));
    EXPECT_EQ(SerialMacText(QByteArray::fromHex("00000000000000ab")),
              QStringLiteral("AB 00 00 00 00 00 00 00"));
    EXPECT_EQ(SerialMacText(QByteArray::fromHex("01020304050607")), QString());
}
