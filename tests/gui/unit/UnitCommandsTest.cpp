#include "UnitWindowFixture.h"
#include "core/app/SettingsFile.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace {

QByteArray EntryValue(const QList<ReplyEntry>& entries, quint16 id) {
    const ReplyEntry* entry = FindEntry(entries, id);
    return entry != nullptr ? entry->Value : QByteArray("<missing>");
}

bool IsRed(QTreeWidgetItem* row) {
    return row != nullptr && row->foreground(0).color() == QColor(Qt::red) &&
           row->data(0, Qt::ForegroundRole).isValid();
}

// A unit that wants a newer program than this one.
class NewerVersionTest : public UnitWindowTest {
protected:
    void AdjustSite(SimSite& site) override { site.Unit(0).SetKey(109, QByteArray::fromHex("020011")); }
};

TEST_F(NewerVersionTest, RequiredVersionNewerThanThisProgramPaintsItsRowRed) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    ChooseMenu(QStringLiteral("System"), QStringLiteral("Required version of Unitscope"));
    EXPECT_EQ(Row("Required version of Unitscope")->text(1), QStringLiteral("v2.0.17"));
    EXPECT_TRUE(IsRed(Row("Required version of Unitscope")));
    EXPECT_FALSE(IsRed(Row("Required version of Korvex")));
    EXPECT_FALSE(IsRed(Row("System Owner")));
}

TEST(RequiredVersionTest, OnlyANewerVersionCounts) {
    struct Case {
        const char* Hex;
        bool Newer;
    };
    const Case cases[] = {{"020011", true}, {"020010", false}, {"010963", false}, {"030000", true},
                          {"020100", true}, {"02000F", false}, {"0200", false},   {"", false},
                          {"FF0000", true}, {"0200FF", true}};
    UnitInfoClass unit(QStringLiteral("02-3C-A7-00-00-01"));
    for (const Case& c : cases) {
        unit.SetKeyData(109, QByteArray::fromHex(c.Hex));
        EXPECT_EQ(RequiresNewerProgram(*unit.FindKey(109)), c.Newer) << c.Hex;
    }
}

TEST_F(UnitWindowTest, CloudInformationOfOnePaintsItsRowRedAndOffersInfo) {
    // Demo unit 1 (product 3) has new software waiting in the cloud.
    ASSERT_NE(OpenDemoUnit(1), nullptr);
    ChooseMenu(QStringLiteral("System"), QStringLiteral("Nebryn Information"));
    EXPECT_TRUE(IsRed(Row("Nebryn Information")));
    auto* button = EditorOf<QPushButton>("Nebryn Information");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Show Info"));
    // The cloud client is not there yet: the button says so instead of doing nothing.
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(button->toolTip().isEmpty());
    ChooseMenu(QStringLiteral("Custom"), QStringLiteral("Q7 Mode"));
    EXPECT_FALSE(IsRed(Row("Q7 Mode"))); // "Protected"
}

TEST_F(UnitWindowTest, SetToDefaultFillsTheContactIdEditorsForTheUserToSend) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    ChooseMenu(QStringLiteral("Custom"), QStringLiteral("Contact ID Inhibited Alarm"));
    auto* button = EditorOf<QPushButton>("Contact ID Default Codes");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Set To Default"));
    auto* fire = EditorOf<QLineEdit>("Contact ID Fire Alarm");
    ASSERT_NE(fire, nullptr);
    fire->setText(QStringLiteral("typed before"));
    button->click();
    EXPECT_EQ(fire->text(), QStringLiteral("11*,---,---,---,---"));
    EXPECT_EQ(EditorOf<QLineEdit>("Contact ID Water Alarm")->text(), QStringLiteral("---,---,---,---,---"));
    EXPECT_EQ(EditorOf<QLineEdit>("Contact ID Event Offset")->text(), QStringLiteral("8"));
    EXPECT_EQ(EditorOf<QLineEdit>("Contact ID Address Offset")->text(), QStringLiteral("11"));
    // Only the password goes out now; the codes go with "Send New Settings".
    ASSERT_TRUE(WaitUntil([&] { return !WritesReceived(0).isEmpty(); }));
    EXPECT_TRUE(WritesReceived(0).first().isEmpty());
    Window->OnSendNewSettingsClick();
    ASSERT_TRUE(WaitUntil([&] { return WritesReceived(0).size() == 2; }));
    EXPECT_EQ(WritesReceived(0).at(1).size(), 28 + 2);
    EXPECT_EQ(EntryValue(WritesReceived(0).at(1), 4608), QByteArray("11*,---,---,---,---"));
}

TEST_F(UnitWindowTest, SetMacSendsOnlyAMacOfSeventeenCharacters) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    // The unit takes the new address at once; its records keep the one it had.
    const QString mac = Site.Unit(0).MacText();
    QAction* setMac = Window->FindAction(QStringLiteral("Set Mac"));
    ASSERT_NE(setMac, nullptr);
    EXPECT_FALSE(setMac->isVisible());
    Window->SetMacSettingMode(true);
    EXPECT_TRUE(setMac->isVisible());

    Dialogs.TextAnswers = {QStringLiteral("02-3C-A7-"), QStringLiteral("02-3C-A7-01-02-0"),
                           QStringLiteral("02-3C-A7-01-02-033"), std::nullopt,
                           QStringLiteral("02-3C-A7-01-02-03")};
    for (int i = 0; i < 5; ++i)
        setMac->trigger();
    EXPECT_EQ(Dialogs.Prompts.first(), QStringLiteral("New Mac|Enter MAC-address|02-3C-A7-"));
    ASSERT_TRUE(WaitUntil([&] { return !WritesReceivedBy(mac).isEmpty(); }));
    const QList<QList<ReplyEntry>> writes = WritesReceivedBy(mac);
    ASSERT_EQ(writes.size(), 1);
    ASSERT_EQ(writes.first().size(), 1);
    EXPECT_EQ(writes.first().first().Id, 5);
    EXPECT_EQ(writes.first().first().Value, QByteArray("02-3C-A7-01-02-03"));
}

TEST_F(UnitWindowTest, CommandsAskFirstAndSendOnlyOnOk) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    EXPECT_TRUE(Window->FindAction(QStringLiteral("Reboot"))->isVisible());
    EXPECT_TRUE(Window->FindAction(QStringLiteral("Memory Reset (Factory Reset)"))->isVisible());
    EXPECT_FALSE(Window->FindAction(QStringLiteral("Reset Network Connection"))->isVisible());
    EXPECT_FALSE(Window->FindAction(QStringLiteral("Live Debug Window"))->isVisible());
    EXPECT_FALSE(Window->FindAction(QStringLiteral("Send Serial Debugtext"))->isVisible());
    EXPECT_TRUE(Window->FindAction(QStringLiteral("Refresh"))->isVisible());

    Dialogs.ConfirmAnswers = {false, false, true};
    Window->FindAction(QStringLiteral("Reboot"))->trigger();
    Window->OnFactoryResetClick();
    Window->OnResetNetworkClick();
    EXPECT_EQ(
        Dialogs.Questions,
        (QStringList{
            QStringLiteral("Reboot unit?"), QStringLiteral("Warning!!!\nDo you want to erase ALL settings?"),
            QStringLiteral("Do you want to erase current network status?\nA network join is required "
                           "after this command.")}));
    ASSERT_TRUE(WaitUntil([&] { return !WritesReceived(0).isEmpty(); }));
    const QList<QList<ReplyEntry>> writes = WritesReceived(0);
    ASSERT_EQ(writes.size(), 1);
    EXPECT_EQ(EntryIds(writes.first()), QList<quint16>{0xA007});
}

TEST_F(UnitWindowTest, AutomaticRefreshRequestsTheShownMenuEveryTenSecondsUntilClosed) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    ChooseMenu(QStringLiteral("Logs"), QStringLiteral("IP Sockets"));
    QAction* automatic = Window->FindAction(QStringLiteral("Auto 10 sec"));
    QAction* manual = Window->FindAction(QStringLiteral("Only Manual"));
    EXPECT_TRUE(manual->isChecked());
    automatic->trigger();
    EXPECT_TRUE(automatic->isChecked());
    EXPECT_FALSE(manual->isChecked());
    const int before = GroupReadsReceived(0).count(0xF009);
    for (int tick = 0; tick < 9; ++tick)
        Window->RefreshTimerTick();
    Window->RefreshTimerTick();
    for (int tick = 0; tick < 10; ++tick)
        Window->RefreshTimerTick();
    ASSERT_TRUE(WaitUntil([&] { return GroupReadsReceived(0).count(0xF009) == before + 2; }));

    // Closing stops it; the check mark stays.
    Window->close();
    EXPECT_EQ(Window->RefreshCountdown, 0);
    EXPECT_TRUE(automatic->isChecked());
    EXPECT_EQ(Handler().CurrentUnit(), nullptr);
}

TEST_F(UnitWindowTest, LogButtonsOpenTheirViewsAndAskTheUnit) {
    UnitInfoClass* unit = OpenDemoUnit(0);
    ASSERT_NE(unit, nullptr);
    ChooseMenu(QStringLiteral("Logs"), QStringLiteral("ARP Table"));
    QSignalSpy views(Window.get(), &TFormUnitInfo::statusViewRequested);
    const struct {
        const char* Row;
        const char* Caption;
        int Mode;
    } buttons[] = {{"IP Sockets", "Show Sockets", 2},
                   {"GPRS Sockets", "Show Sockets", 3},
                   {"Event Log", "Download Log", 4},
                   {"ARP Table", "Show ARP Table", 5}};
    for (const auto& b : buttons) {
        auto* button = EditorOf<QPushButton>(QString::fromLatin1(b.Row));
        ASSERT_NE(button, nullptr) << b.Row;
        EXPECT_EQ(button->text(), QString::fromLatin1(b.Caption));
        button->click();
        ASSERT_FALSE(views.isEmpty());
        EXPECT_EQ(views.takeLast().at(0).toInt(), b.Mode) << b.Row;
    }
    EXPECT_EQ(EditorOf<QPushButton>("Debug Log")->text(), QStringLiteral("Download Debug"));
    // The event log and the ARP table are asked for from their first page.
    auto firstPageAsked = [&](quint16 key) {
        for (const SimRecord& record : Site.Recorder().received(unit->Mac)) {
            const ParsedReply packet = ParseReply(record.Bytes);
            const ReplyEntry* entry = FindEntry(packet.Entries, key);
            if (packet.Type == 0x02 && entry != nullptr && entry->Value == QByteArray(2, '\0'))
                return true;
        }
        return false;
    };
    EXPECT_TRUE(WaitUntil([&] { return firstPageAsked(0xDD) && firstPageAsked(0xE2); }));
}

TEST_F(UnitWindowTest, ASerialDeviceGetsOnlyTheCustomMenuAndTheWholeWidth) {
    UnitInfoClass* device = Handler().FindOrCreateUnit(QStringLiteral("00 12 4B 00 01 A2 C3 D4"), QString());
    device->SocketType = UnitInfoClass::SOCKET_SERIAL;
    device->SetKeyValue(4355, 5);
    Window->OpenSerialDevice(device);
    EXPECT_EQ(device->ProductCode, UnitInfoClass::PRODUCT_Q7_DEVICE);
    ASSERT_EQ(Window->MenuListView().count(), 1);
    EXPECT_EQ(Window->MenuListView().item(0)->text(), QStringLiteral("Custom"));
    EXPECT_FALSE(Window->MenuListView().isVisibleTo(Window.get()));
    EXPECT_EQ(Window->SettingsCaption(), QStringLiteral("Settings for: 00 12 4B 00 01 A2 C3 D4"));
    EXPECT_NE(Row("Poll time (min)"), nullptr);
    EXPECT_TRUE(Window->FindAction(QStringLiteral("Live Debug Window"))->isVisible());
    EXPECT_TRUE(Window->FindAction(QStringLiteral("Reset Network Connection"))->isVisible());
    EXPECT_FALSE(Window->FindAction(QStringLiteral("Set Mac"))->isVisible());
    // The "Refresh" menu is not offered for a serial device.
    ASSERT_NE(Window->FindAction(QStringLiteral("Refresh")), nullptr);
    EXPECT_FALSE(Window->FindAction(QStringLiteral("Refresh"))->isVisible());
}

TEST_F(UnitWindowTest, FullAndNormalScreenAreSavedInTheSettingsFile) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    auto savedState = [&]() {
        QFile file(Main->SettingsPath());
        if (!file.open(QIODevice::ReadOnly))
            return QByteArray();
        return file.readAll();
    };
    Window->FindAction(QStringLiteral("Full Screen"))->trigger();
    EXPECT_EQ(Main->WindowSize, 2);
    EXPECT_TRUE(savedState().contains("WINDOWSIZE=2"));
    Window->FindAction(QStringLiteral("Normal Screen"))->trigger();
    EXPECT_EQ(Main->WindowSize, 0);
    EXPECT_TRUE(savedState().contains("WINDOWSIZE=0"));
}

TEST_F(UnitWindowTest, ANewScanLeavesNoRowsOrEditorsOfTheGoneUnit) {
    UnitInfoClass* unit = OpenDemoUnit(0);
    ASSERT_NE(unit, nullptr);
    QPointer<QWidget> editor = Window->SettingsListView().RowEditor(Row("Gateway"));
    ASSERT_FALSE(editor.isNull());
    Handler().ClearUnits();
    EXPECT_EQ(Window->SettingsListView().RowCount(), 0);
    EXPECT_EQ(Window->MenuListView().count(), 0);
    EXPECT_TRUE(editor.isNull());
    // Buttons of the window do nothing harmful without a unit.
    Window->OnRefreshClick();
    Window->OnSendNewSettingsClick();
    EXPECT_EQ(Dialogs.Messages.size(), 1);
    Window->RefreshTimerTick();
}

} // namespace
