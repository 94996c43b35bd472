// KEY=VALUE arguments of `set` become what each key's editor hands to "Send New Settings".
#include "cli/CliKeyChanges.h"
#include "cli/CliOptions.h"

#include <gtest/gtest.h>

TEST(CliKeyArgument, ValuesBecomeWhatTheEditorHandsOver) {
    struct Case {
        const char* Argument;
        int KeyId;
        int RawType;
        const char* Value;
        const char* Input;
    };
    const Case cases[] = {
        {"NTP Server=10.1.2.3", 7, 3, "10.1.2.3", ""},
        {"ntp server=10.1.2.3", 7, 3, "10.1.2.3", ""}, // labels ignore case when nothing matches exactly
        {"0x0007=10.1.2.3", 7, 3, "10.1.2.3", ""},
        {"7=10.1.2.3", 7, 3, "10.1.2.3", ""},
        {"Use DHCP=yes", 4, 1, "Yes", ""},
        {"Use DHCP=NO", 4, 1, "No", ""},
        {"Timezone=+2", 8, 2, "14", ""}, // the option's index
        {"DNS Type=udp", 11, 2, "1", ""},
        {"Server Host (IP)=a.example\\nb.example", 40, 4, "a.example\r\nb.example", ""},
        {"Timeout (IP)=01:30:05", 44, 5, "01:30:05", ""},
        {"APN=my.apn", 21, 6, "my.apn", ""},
        {"System Owner=A=B", 101, 0, "A=B", ""}, // only the first "=" separates
        {"INPUT/3/Description=Back door", 151, 0, "Back door", "3"},
        {"input/12/Input Type=Burglary", 152, 2, "2", "12"},
        {"INPUT/1/156=30", 156, 8, "30", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Argument);
        CliKeyArgument key;
        CliKeyProblem problem;
        ASSERT_TRUE(ParseKeyArgument(QString::fromUtf8(c.Argument), key, problem))
            << problem.Text.toStdString();
        EXPECT_EQ(key.Change.KeyId, c.KeyId);
        EXPECT_EQ(key.Change.RawType, c.RawType);
        EXPECT_EQ(key.Change.ValueText, QString::fromUtf8(c.Value));
        EXPECT_EQ(key.Change.InputAddress, QString::fromUtf8(c.Input));
        EXPECT_EQ(key.IsInput, *c.Input != '\0');
    }
}

TEST(CliKeyArgument, ProblemsAreToldApartFromRefusedValues) {
    struct Case {
        const char* Argument;
        bool Refusal;
        const char* Says;
    };
    const Case cases[] = {
        {"NTP Server", false, "is not KEY=VALUE"},
        {"=5", false, "is not KEY=VALUE"},
        {"Nothing Like This=1", false, "unknown key"},
        {"0x7FFF=1", false, "unknown key"},
        {"Description=x", false, "INPUT/ADDRESS/KEY=VALUE"}, // an input key without its input
        {"INPUT/2/NTP Server=1.2.3.4", false, "among the input keys"},
        {"INPUT/2=x", false, "INPUT/ADDRESS/KEY"},
        {"Use DHCP=maybe", true, "Yes or No"},
        {"Timezone=+99", true, "not one of the options"},
        {"MAC Address=00-11-22-33-44-55", true, "status key"},
        {"INPUT/1/Acknowledge=1", true, "status key"},
        {"NTP Server=", true, "empty value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Argument);
        CliKeyArgument key;
        CliKeyProblem problem;
        EXPECT_FALSE(ParseKeyArgument(QString::fromUtf8(c.Argument), key, problem));
        EXPECT_EQ(problem.IsRefusal, c.Refusal);
        EXPECT_TRUE(problem.Text.contains(QString::fromUtf8(c.Says))) << problem.Text.toStdString();
    }
}

TEST(CliOptionsMac, MacTextsAreNormalisedOrRefused) {
    EXPECT_EQ(NormalizeMacText(QStringLiteral("02-3c-a7-00-01-0f")), QStringLiteral("02-3C-A7-00-01-0F"));
    EXPECT_EQ(NormalizeMacText(QStringLiteral("02:3C:A7:00:01:0F")), QStringLiteral("02-3C-A7-00-01-0F"));
    for (const char* bad : {"", "IP", "02-3C-A7-00-01", "02-3C-A7-00-01-0G", "02-3C-A7-00-01-0F-",
                            "023C-A7-00-01-0F0", "02.3C.A7.00.01.0F"})
        EXPECT_TRUE(NormalizeMacText(QString::fromLatin1(bad)).isEmpty()) << bad;
}
