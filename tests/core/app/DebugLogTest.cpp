#include "core/app/DebugLog.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Points the log at a temporary folder and restores it afterwards.
class DebugLogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Saved = DebugLog::instance().countdown();
        SavedFolder = DebugLog::instance().folder();
        DebugLog::instance().setFolder(Dir.path() + QLatin1Char('/'));
    }
    void TearDown() override {
        DebugLog::instance().setCountdown(Saved);
        DebugLog::instance().setFolder(SavedFolder);
    }
    QByteArray logContent(const QString& name = QStringLiteral("IPDebug.log")) const {
        QFile file(Dir.path() + QLatin1Char('/') + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir Dir;
    int Saved = 0;
    QString SavedFolder;
};

} // namespace

TEST_F(DebugLogFixture, WritesStampedLinesOnlyWhileTheCountdownRuns) {
    DebugLog::instance().setCountdown(2);
    WriteLog(QStringLiteral("first"));
    DebugLog::instance().tick();
    WriteLog(QStringLiteral("second"));
    DebugLog::instance().tick();
    WriteLog(QStringLiteral("dropped"));
    DebugLog::instance().tick(); // never goes below zero
    EXPECT_EQ(DebugLog::instance().countdown(), 0);

    const QList<QByteArray> lines = logContent().split('\n');
    ASSERT_EQ(lines.size(), 3);
    const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}: "));
    EXPECT_TRUE(stamp.match(QString::fromUtf8(lines[0])).hasMatch()) << lines[0].constData();
    EXPECT_TRUE(lines[0].endsWith(": first"));
    EXPECT_TRUE(lines[1].endsWith(": second"));
    EXPECT_TRUE(lines[2].isEmpty());
}

TEST_F(DebugLogFixture, RotatesAfterTheLinePastTenMillionBytes) {
    DebugLog::instance().setCountdown(DebugLog::DEBUG_COUNTDOWN);
    {
        QFile old(Dir.path() + QStringLiteral("/IPDebug_Backup.log"));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("older backup");
    }
    {
        QFile log(Dir.path() + QStringLiteral("/IPDebug.log"));
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        ASSERT_TRUE(log.resize(10000000)); // exactly the limit: no rotation yet
    }
    WriteLog(QStringLiteral("at the limit"));
    EXPECT_TRUE(QFile::exists(Dir.path() + QStringLiteral("/IPDebug.log")));
    EXPECT_EQ(logContent(QStringLiteral("IPDebug_Backup.log")), QByteArray("older backup"));

    // Now above the limit: this line still lands in the big file, which then becomes the backup.
    WriteLog(QStringLiteral("past the limit"));
    EXPECT_FALSE(QFile::exists(Dir.path() + QStringLiteral("/IPDebug.log")));
    const QByteArray backup = logContent(QStringLiteral("IPDebug_Backup.log"));
    EXPECT_GT(backup.size(), 10000000);
    EXPECT_TRUE(backup.endsWith(": past the limit\n"));

    WriteLog(QStringLiteral("fresh"));
    EXPECT_TRUE(logContent().endsWith(": fresh\n"));
    EXPECT_LT(logContent().size(), 100);
}

TEST_F(DebugLogFixture, UnwritableFolderLosesTheLineQuietly) {
    DebugLog::instance().setCountdown(5);
    DebugLog::instance().setFolder(Dir.path() + QStringLiteral("/missing/folder/"));
    WriteLog(QStringLiteral("nowhere to go"));
    EXPECT_FALSE(QFile::exists(Dir.path() + QStringLiteral("/missing/folder/IPDebug.log")));
}

TEST(BytesToHexText, UpperCaseWithTrailingSpaces) {
    EXPECT_EQ(BytesToHexText(QByteArray::fromHex("00ab7ff0")), QStringLiteral("00 AB 7F F0 "));
    EXPECT_EQ(BytesToHexText(QByteArray()), QString());
}
