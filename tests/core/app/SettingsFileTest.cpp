#include "core/app/SettingsFile.h"

#include "core/app/MainClass.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(SettingsFile, ParsesEachKeyAtItsFirstOccurrence) {
    struct Case {
        const char* Content;
        int ComPort;
        int WindowSize;
    } cases[] = {
        {"COMPORT=3\r\nWINDOWSIZE=2\r\n", 3, 2},
        {"COMPORT=3\r\n", 3, 7}, // only one key: the other stays
        {"WINDOWSIZE=2", 5, 2},
        {"xxCOMPORT=  -4 junk WINDOWSIZE=0", -4, 0}, // found anywhere in the text
        {"COMPORT=1\nCOMPORT=9\n", 1, 7},            // first occurrence wins
        {"COMPORT=\r\nWINDOWSIZE=abc", 5, 7},        // half-written values leave the settings
        {"COMPORT=65535", 5, 7},                     // 65535 means "not read"
        {"COMPORT=99999999999", 5, 7},               // out of range: not read
        {"", 5, 7},
        {"\xff\xfe\x00garbage", 5, 7},
    };
    for (const Case& c : cases) {
        SettingsValues values{5, 7};
        SettingsFile::ParseInto(QByteArray(c.Content), values);
        EXPECT_EQ(values.ComPort, c.ComPort) << c.Content;
        EXPECT_EQ(values.WindowSize, c.WindowSize) << c.Content;
    }
}

TEST(SettingsFile, SavesTwoCrLfLinesAndLoadsThemBack) {
    TempHome home;
    MainClass main;
    EXPECT_EQ(main.ApplicationFolder(), home.appFolder());
    EXPECT_TRUE(QDir(home.appFolder()).exists());

    EXPECT_FALSE(main.LoadSettings()); // no file yet: defaults stay
    EXPECT_EQ(main.ComPort, 0);
    EXPECT_EQ(main.WindowSize, 0);

    main.ComPort = 3;
    ASSERT_TRUE(main.SaveSettings(2));
    QFile file(main.SettingsPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("COMPORT=3\r\nWINDOWSIZE=2\r\n"));

    MainClass again;
    ASSERT_TRUE(again.LoadSettings());
    EXPECT_EQ(again.ComPort, 3);
    EXPECT_EQ(again.WindowSize, 2);
}

TEST(MainClass, WorkFolderBecomesTheWorkingDirectory) {
    TempHome home;
    const QString before = QDir::currentPath();
    {
        MainClass main;
        EXPECT_EQ(main.WorkFolder(), home.workFolder());
        EXPECT_EQ(QDir::currentPath(), home.workFolder());
        EXPECT_EQ(MainClass::Instance(), &main);
    }
    {
        const QString chosen = home.path() + QStringLiteral("/chosen");
        MainClass::Options options;
        options.WorkDir = chosen;
        MainClass main(options);
        EXPECT_EQ(main.WorkFolder(), chosen);
        EXPECT_EQ(QDir::currentPath(), chosen);
    }
    EXPECT_EQ(MainClass::Instance(), nullptr);
    QDir::setCurrent(before);
}
