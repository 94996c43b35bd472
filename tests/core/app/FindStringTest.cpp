#include "core/app/FindString.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

TEST(FindString, TextSearchWithOneCharacterWildcard) {
    struct Case {
        const char* Text;
        const char* Pattern;
        int First;
        int Last;
        int Expected;
    } cases[] = {
        {"COMPORT=3\nSIZE=1", "COMPORT=", 0, 0, 1},
        {"COMPORT=3\nSIZE=1", "C*MPORT=", 0, 0, 1},
        {"COMPORT=3\nSIZE=1", "SIZE=", 0, 0, 11},
        {"COMPORT=3\nSIZE=1", "S*Z*=", 0, 0, 11},
        {"COMPORT=3\nSIZE=1", "comport=", 0, 0, 0}, // case matters
        {"COMP", "COMPORT=", 0, 0, 0},              // pattern longer than the text
        {"", "A", 0, 0, 0},
        {"ABC", "", 0, 0, 0},
        {"ABC", "***", 0, 0, 1},
        {"ABC", "****", 0, 0, 0},
        {"A*C", "A*C", 0, 0, 1},
        {"ABAB", "AB", 2, 0, 1}, // either bound 0: whole text
        {"ABAB", "AB", 0, 3, 1},
        {"ABAB", "AB", 2, 4, 3},
        {"ABAB", "AB", 2, 3, 0},   // the match must end by last
        {"ABAB", "AB", 3, 100, 3}, // last is cut to the text
        {"ABAB", "AB", 5, 9, 0},   // first past the end
        {"ABAB", "AB", 4, 2, 0},   // empty range
        {"xxABxx", "A*", 3, 4, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindString(QString::fromLatin1(c.Text), QString::fromLatin1(c.Pattern), c.First, c.Last),
                  c.Expected)
            << c.Text << " / " << c.Pattern << " / " << c.First << ".." << c.Last;
}

TEST(FindString, ImpossibleRangeLogsAnError) {
    LogCapture log;
    EXPECT_EQ(FindString(QStringLiteral("ABC"), QStringLiteral("A"), -1, 3), 0);
    EXPECT_EQ(log.count(QStringLiteral("FindString Error")), 1);
    EXPECT_EQ(FindString(QStringLiteral("ABC"), QStringLiteral("A"), 1, -5), 0);
    EXPECT_EQ(log.count(QStringLiteral("FindString Error")), 2);
    EXPECT_EQ(FindString(QStringLiteral("ABC"), QStringLiteral("Z")), 0);
    EXPECT_EQ(log.count(QStringLiteral("FindString Error")), 2); // not finding is no error
}

TEST(FindString, ByteSearchGivesTheIndexOfTheFirstByte) {
    const QByteArray file =
        QByteArray("PRODUCT:Q7 RF;") + QByteArray::fromHex("00FF") + QByteArray("PVER:1.2;");
    EXPECT_EQ(FindBytes(file, "PRODUCT:"), 0);
    EXPECT_EQ(FindBytes(file, "PVER:"), 16);
    EXPECT_EQ(FindBytes(file, "P*ER:"), 16);
    EXPECT_EQ(FindBytes(file, ";**PVER"), 13); // "*" matches a 0x00 and a 0xFF byte
    EXPECT_EQ(FindBytes(file, "PRODUCT:", 1), -1);
    EXPECT_EQ(FindBytes(file, "PVER:1.2;X"), -1); // would run past the end
    EXPECT_EQ(FindBytes(file, QByteArray()), -1);
    EXPECT_EQ(FindBytes(QByteArray(), "P"), -1);
    EXPECT_EQ(FindBytes(file, "P", -1), -1);
    EXPECT_EQ(FindBytes(file, "P", 100), -1);
}
