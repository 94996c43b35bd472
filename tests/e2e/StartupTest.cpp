#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {
QString LogPath(const QTemporaryDir& home) {
    return home.path() + QStringLiteral("/.local/share/QUIB/Unitscope/IPDebug.log");
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// Starts the real program offscreen with its folders in a temporary home, waits for the start-up
// lines, then closes the main window and expects a clean exit.
TEST(Startup, LogsTheStartupSequenceAndEndsCleanly) {
    QTemporaryDir home;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/.config"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(UNITSCOPE_BINARY_DIR "/src/app/unitscope"), {});
    ASSERT_TRUE(program.waitForStarted(10000));

    const QString logPath = LogPath(home);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ReadAll(logPath).contains(": Startup finished\n"); }, 20000))
        << ReadAll(logPath).constData();

    const QList<QByteArray> lines = ReadAll(logPath).split('\n');
    QStringList messages;
    for (const QByteArray& line : lines) {
        const qsizetype separator = line.indexOf(": ");
        if (separator > 0)
            messages.append(QString::fromUtf8(line.mid(separator + 2)));
    }
    // The main window's start-up steps come first and end the sequence; the windows created after
    // it may log their own lines later.
    const qsizetype finished = messages.indexOf(QStringLiteral("Startup finished"));
    ASSERT_GE(finished, 0);
    const qsizetype settings = messages.indexOf(QStringLiteral("Unable to load config file"));
    // The offscreen screen is 800 pixels wide, so the unit window goes full size.
    const qsizetype screen = messages.indexOf(QStringLiteral("Low screen width. Auto full size"));
    EXPECT_GE(settings, 0);
    EXPECT_GT(screen, settings);
    EXPECT_GT(finished, screen);

    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    // The settings file is never written at start or at exit.
    EXPECT_FALSE(QFile::exists(home.path() + QStringLiteral("/.local/share/QUIB/Unitscope/Unitscope.cfg")));
}
