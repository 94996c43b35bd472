#include "gui/status/TFormLiveDebug.h"

#include "StatusTestSession.h"
#include "sim/SimSerialDevice.h"

#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

const QRegularExpression STAMPED(S("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}: (.*)$"));

// The text after the time stamp of each line, or "<unstamped>".
QStringList Texts(const QStringList& lines) {
    QStringList texts;
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = STAMPED.match(line);
        texts.append(match.hasMatch() ? match.captured(1) : S("<unstamped>"));
    }
    return texts;
}

QStringList ListTexts(const QListWidget& list) {
    QStringList lines;
    for (int i = 0; i < list.count(); ++i)
        lines.append(list.item(i)->text());
    return lines;
}

// The site's serial device on its pseudo-terminal, opened by the program's serial port; the
// device speaks only when told to.
struct SerialSession {
    StatusTestSession Session;
    SimSerialDevice* Device = nullptr;

    bool Start(QString* error) {
        SimSite& site = Session.DemoSite();
        if (site.SerialDeviceCount() == 0) {
            *error = S("the demo site has no serial device");
            return false;
        }
        Device = site.SerialDevice(0);
        Device->SetPollInterval(0);
        Device->SetTextInterval(0);
        if (!Session.StartServices(error))
            return false;
        if (!Session.Main->Transport().OpenSerialPath(site.SerialDevicePaths().at(0))) {
            *error = S("the serial port did not open");
            return false;
        }
        return true;
    }
};

TEST(TFormLiveDebug, KeepsEveryDeviceLineAndListsThoseThatArriveWhileOpen) {
    SerialSession serial;
    QString error;
    ASSERT_TRUE(serial.Start(&error)) << error.toStdString();
    TFormLiveDebug window(*serial.Session.Main);
    EXPECT_EQ(window.windowTitle(), S("Live Debug"));
    EXPECT_EQ(window.CloseButton()->text(), S("Close"));
    EXPECT_EQ(window.ClearButton()->text(), S("Clear Log"));
    EXPECT_EQ(window.SaveButton()->text(), S("Save To File"));

    // Closed: kept, not listed.
    serial.Device->SendTextLine(S("boot done"));
    ASSERT_TRUE(WaitUntil([&] { return window.Lines().size() == 1; }));
    EXPECT_EQ(window.LogList()->count(), 0);

    // Open: listed too, newest line selected; lines seen before opening stay out of the list.
    window.show();
    serial.Device->SendTextLine(S("join; parent 0000 \"ok\""));
    serial.Device->SendTextLine(QString(300, QLatin1Char('x')));
    ASSERT_TRUE(WaitUntil([&] { return window.Lines().size() == 3; }));
    EXPECT_EQ(Texts(window.Lines()),
              (QStringList{S("boot done"), S("join; parent 0000 \"ok\""), QString(300, 'x')}));
    EXPECT_EQ(Texts(ListTexts(*window.LogList())),
              (QStringList{S("join; parent 0000 \"ok\""), QString(300, 'x')}));
    EXPECT_EQ(window.LogList()->currentRow(), 1);
    if (const QByteArray folder = qgetenv("UNITSCOPE_SCREENSHOT_DIR"); !folder.isEmpty())
        window.grab().save(QString::fromLocal8Bit(folder) + S("/live-debug.png"));

    // "Close" keeps both.
    window.CloseButton()->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.Lines().size(), 3);
    EXPECT_EQ(window.LogList()->count(), 2);

    // "Clear Log" empties both.
    window.show();
    window.ClearButton()->click();
    EXPECT_TRUE(window.Lines().isEmpty());
    EXPECT_EQ(window.LogList()->count(), 0);
    serial.Device->SendTextLine(S("after clear"));
    ASSERT_TRUE(WaitUntil([&] { return window.Lines().size() == 1; }));
    EXPECT_EQ(Texts(ListTexts(*window.LogList())), QStringList{S("after clear")});
}

TEST(TFormLiveDebug, SaveToFileProposesATimedNameAndAppendsEveryKeptLine) {
    SerialSession serial;
    QString error;
    ASSERT_TRUE(serial.Start(&error)) << error.toStdString();
    TFormLiveDebug window(*serial.Session.Main);
    QString proposed;
    QString answer;
    window.ChooseSaveFile = [&](QWidget*, const QString& path, const QString&) {
        proposed = path;
        return answer;
    };
    serial.Device->SendTextLine(S("first"));
    serial.Device->SendTextLine(S("second; with \"quotes\""));
    ASSERT_TRUE(WaitUntil([&] { return window.Lines().size() == 2; }));

    // Cancelled: nothing written.
    window.SaveButton()->click();
    const QString folder = serial.Session.WorkFolder();
    EXPECT_TRUE(QRegularExpression(S("^") + QRegularExpression::escape(folder) +
                                   S("/Q7_Live_Debug_\\d{8}_\\d{6}\\.log$"))
                    .match(proposed)
                    .hasMatch())
        << proposed.toStdString();
    EXPECT_TRUE(QDir(folder).entryList({S("Q7_Live_Debug_*")}).isEmpty());

    answer = folder + S("/live.log");
    {
        QFile old(answer);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier session\n");
    }
    window.SaveButton()->click();
    QFile file(answer);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text, S("earlier session\n") + window.Lines().join(QLatin1Char('\n')) + S("\n"));
    EXPECT_EQ(Texts(window.Lines()), (QStringList{S("first"), S("second; with \"quotes\"")}));

    EXPECT_EQ(TFormLiveDebug::DefaultFileName(QDateTime(QDate(2024, 3, 9), QTime(7, 5, 2))),
              S("Q7_Live_Debug_20240309_070502.log"));
}

} // namespace
