#include "UnitWindowFixture.h"
#include "sim/SimSerialDevice.h"

#include <QPushButton>

namespace {

// The demo site's serial device on a pseudo-terminal, opened by the tool's serial port.
class UnitSerialTest : public ::testing::Test {
protected:
    void SetUp() override {
        Site.LoadDemo();
        QString error;
        ASSERT_TRUE(Site.StartSerialOnly(&error)) << error.toStdString();
        MainClass::Options options;
        options.WorkDir = Home.workFolder();
        Main = std::make_unique<MainClass>(options);
        Main->CreateTransport();
        ASSERT_TRUE(Main->Transport().OpenSerialPath(Site.SerialDevicePaths().first()));
        Window = std::make_unique<TFormUnitInfo>(*Main);
        Window->SetDialogs(&Dialogs);
    }

    // Frames and texts the device received, as their bytes.
    QList<QByteArray> DeviceReceived() {
        QList<QByteArray> frames;
        for (const SimRecord& record : Site.Recorder().received())
            if (record.Carrier == QLatin1String("serial"))
                frames.append(record.Bytes);
        return frames;
    }

    TempHome Home;
    SimSite Site;
    ScriptedDialogs Dialogs;
    std::unique_ptr<MainClass> Main;
    std::unique_ptr<TFormUnitInfo> Window;
};

TEST_F(UnitSerialTest, DebugTextGoesOutWithACarriageReturnAndAnEmptyTextNotAtAll) {
    LogCapture log;
    Dialogs.TextAnswers = {QString(), std::nullopt, QStringLiteral(">x")};
    for (int i = 0; i < 3; ++i)
        Window->OnSendSerialDebugTextClick();
    // One write to the port in all: the empty text and the cancelled box send nothing.
    EXPECT_EQ(log.lines().filter(QStringLiteral("Send Serial. Len: ")).size(), 1);
    EXPECT_EQ(Dialogs.Prompts.first(), QStringLiteral("Free debugtext|Enter debugtext|>"));
    ASSERT_TRUE(WaitUntil([&] { return !Site.SerialDevice(0)->TextCommands().isEmpty(); }));
    EXPECT_EQ(DeviceReceived(), QList<QByteArray>{QByteArray(">x\r")});
}

TEST_F(UnitSerialTest, AutomaticRefreshPollsASerialDeviceAfterTenSecondsThenEveryFour) {
    UnitInfoClass* device =
        Main->ConfigHandler().FindOrCreateUnit(QStringLiteral("00 12 4B 00 01 A2 C3 D4"), {});
    device->SocketType = UnitInfoClass::SOCKET_SERIAL;
    Window->OpenSerialDevice(device);
    Window->OnAutoRefreshClick();
    for (int tick = 0; tick < 10 + 4; ++tick)
        Window->RefreshTimerTick();
    const QByteArray poll = QByteArray::fromHex("110C0000");
    ASSERT_TRUE(WaitUntil([&] { return DeviceReceived().size() >= 2; }));
    EXPECT_EQ(DeviceReceived(), (QList<QByteArray>{poll, poll}));

    // A device that has joined its network is asked for its radio status instead.
    device->SetKeyValue(4365, 11);
    for (int tick = 0; tick < 4; ++tick)
        Window->RefreshTimerTick();
    ASSERT_TRUE(WaitUntil([&] { return DeviceReceived().size() >= 3; }));
    EXPECT_EQ(DeviceReceived().at(2), QByteArray::fromHex("13010000"));
}

TEST_F(UnitSerialTest, SetEpanIdSendsItsFrameOnceTheButtonIsShown) {
    QPushButton* button = Window->FindButton(QStringLiteral("SET EPAN ID"));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isVisibleTo(Window.get()));
    Window->SetEpanIdButtonVisible(true);
    EXPECT_TRUE(button->isVisibleTo(Window.get()));
    button->click();
    ASSERT_TRUE(WaitUntil([&] { return !DeviceReceived().isEmpty(); }));
    EXPECT_EQ(DeviceReceived().first(), QByteArray::fromHex("100708001122334455667788"));
}

} // namespace
