#include "UnitWindowFixture.h"
#include "gui/unit/KeyEditors.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {

QStringList MenuCaptions(QListWidget& menus) {
    QStringList captions;
    for (int i = 0; i < menus.count(); ++i)
        captions.append(menus.item(i)->text());
    return captions;
}

QByteArray EntryValue(const QList<ReplyEntry>& entries, quint16 id) {
    const ReplyEntry* entry = FindEntry(entries, id);
    return entry != nullptr ? entry->Value : QByteArray("<missing>");
}

TEST_F(UnitWindowTest, OpeningAProductOneUnitShowsItsMenusAndTheIpMenuWithEditors) {
    LogCapture log;
    UnitInfoClass* unit = OpenDemoUnit(0);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->ProductCode, UnitInfoClass::PRODUCT_RDM22SMS);
    EXPECT_EQ(MenuCaptions(Window->MenuListView()),
              (QStringList{"IP", "GPRS", "Alarm Server", "System", "Inputs", "SMS", "Logs", "Custom"}));
    EXPECT_TRUE(Window->MenuListView().isVisibleTo(Window.get()));
    EXPECT_EQ(Window->SettingsCaption(), QStringLiteral("IP Settings for: ") + unit->Mac);
    EXPECT_EQ(GroupReadsReceived(0), QList<quint16>{0xF000});

    SettingsTreeWidget& list = Window->SettingsListView();
    EXPECT_EQ(list.headerItem()->text(0), QStringLiteral("Key"));
    EXPECT_EQ(list.headerItem()->text(1), QStringLiteral("Value"));
    EXPECT_EQ(list.headerItem()->text(2), QStringLiteral("New Value"));
    EXPECT_EQ(list.topLevelItem(0)->text(0), QStringLiteral("Settings"));
    EXPECT_EQ(list.topLevelItem(1)->text(0), QStringLiteral("Status"));

    // Every key of the menu has its row with the value text, in the right group.
    const QStringList settings = {"IP Address", "Subnet Mask", "Gateway",    "Use DHCP", "Use IP",
                                  "NTP Server", "Timezone",    "DNS Server", "DNS Type"};
    for (const QString& caption : settings) {
        ASSERT_NE(Row(caption), nullptr) << caption.toStdString();
        EXPECT_EQ(Row(caption)->parent()->text(0), QStringLiteral("Settings")) << caption.toStdString();
    }
    for (const QString& caption : {QStringLiteral("MAC Address"), QStringLiteral("Current Time")}) {
        ASSERT_NE(Row(caption), nullptr) << caption.toStdString();
        EXPECT_EQ(Row(caption)->parent()->text(0), QStringLiteral("Status"));
        // Status keys show no editor.
        EXPECT_EQ(list.RowEditor(Row(caption)), nullptr) << caption.toStdString();
    }
    EXPECT_EQ(Row("IP Address")->text(1), QStringLiteral("127.0.0.2"));
    EXPECT_EQ(Row("Timezone")->text(1), QStringLiteral("+1"));
    EXPECT_EQ(Row("MAC Address")->text(1), unit->Mac);
    EXPECT_EQ(Row("DNS Type")->text(1), QStringLiteral("UDP"));

    // Editors by kind, all empty: the column holds only what the user enters.
    auto* ip = EditorOf<QLineEdit>("IP Address");
    ASSERT_NE(ip, nullptr);
    EXPECT_EQ(ip->displayText(), QLatin1String(KeyEditors::IPV4_EMPTY_TEXT));
    auto* dhcp = EditorOf<QComboBox>("Use DHCP");
    ASSERT_NE(dhcp, nullptr);
    EXPECT_FALSE(dhcp->isEditable());
    EXPECT_EQ(dhcp->count(), 3);
    EXPECT_EQ(dhcp->itemText(2), QStringLiteral("Yes"));
    EXPECT_EQ(dhcp->currentIndex(), -1);
    auto* zone = EditorOf<QComboBox>("Timezone");
    ASSERT_NE(zone, nullptr);
    EXPECT_EQ(zone->count(), 26);
    EXPECT_EQ(zone->itemText(0), QStringLiteral(" "));
    EXPECT_EQ(zone->itemText(1), QStringLiteral("-12"));
    EXPECT_EQ(zone->itemText(25), QStringLiteral("+12"));
    EXPECT_TRUE(ip->isVisibleTo(Window.get()));

    for (const QString& line :
         {QStringLiteral("RequestKeyGroup(): 0xF000"),
          QStringLiteral("Building Menu: PRODUCT_RDM22SMS. ProductName: ") + unit->FindKey(105)->DataText(),
          QStringLiteral("Print All Keys. Menu (0): IP"),
          QStringLiteral("Building SettingsListView: MENU_IP"), QStringLiteral("Keys printed")})
        EXPECT_TRUE(log.contains(line)) << line.toStdString();
    EXPECT_EQ(log.lines()
                  .filter(QRegularExpression(QStringLiteral("^Component Created: IP Address. Type: 3. "
                                                            "ComponentPointer: [0-9]+$")))
                  .size(),
              1);
}

TEST_F(UnitWindowTest, SendNewSettingsWritesExactlyTheChangedEditorsAndResetsThem) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    auto* dhcp = EditorOf<QComboBox>("Use DHCP");
    auto* useIp = EditorOf<QComboBox>("Use IP");
    auto* zone = EditorOf<QComboBox>("Timezone");
    auto* ntp = EditorOf<QLineEdit>("NTP Server");
    auto* gateway = EditorOf<QLineEdit>("Gateway");
    ASSERT_TRUE(dhcp && useIp && zone && ntp && gateway);
    dhcp->setCurrentIndex(2);  // "Yes"
    useIp->setCurrentIndex(0); // the blank item: no change
    zone->setCurrentIndex(15); // "+2", option 14
    ntp->setFocus();
    ntp->setCursorPosition(0);
    QTest::keyClicks(ntp, QStringLiteral("10.0.0.1"));
    EXPECT_EQ(gateway->displayText(), QLatin1String(KeyEditors::IPV4_EMPTY_TEXT));

    // A duration on another menu: editors keep their text while the user moves between menus.
    ChooseMenu(QStringLiteral("Alarm Server"), QStringLiteral("Timeout (IP)"));
    auto* timeout = EditorOf<QLineEdit>("Timeout (IP)");
    ASSERT_NE(timeout, nullptr);
    timeout->setCursorPosition(0);
    QTest::keyClicks(timeout, QStringLiteral("013005"));
    EXPECT_EQ(timeout->displayText(), QStringLiteral("01:30:05"));

    Window->FindButton(QStringLiteral("Send New Settings"))->click();
    ASSERT_TRUE(WaitUntil([&] { return !WritesReceived(0).isEmpty(); }));
    const QList<ReplyEntry> write = WritesReceived(0).first();
    // In the unit's key order: Use DHCP, NTP Server, Timezone, then Timeout (IP).
    EXPECT_EQ(EntryIds(write), (QList<quint16>{4, 7, 8, 44}));
    EXPECT_EQ(EntryValue(write, 4), QByteArray::fromHex("01"));
    EXPECT_EQ(EntryValue(write, 7), QByteArray::fromHex("0A000001"));
    EXPECT_EQ(EntryValue(write, 8), QByteArray::fromHex("0E"));
    EXPECT_EQ(EntryValue(write, 44), QByteArray::fromHex("151D"));
    EXPECT_TRUE(Dialogs.Messages.isEmpty());

    // Sent editors are empty again; the window re-read the menu shown, which now shows the change.
    EXPECT_EQ(dhcp->currentIndex(), -1);
    EXPECT_EQ(zone->currentIndex(), -1);
    EXPECT_EQ(ntp->displayText(), QLatin1String(KeyEditors::IPV4_EMPTY_TEXT));
    EXPECT_EQ(timeout->displayText(), QLatin1String(KeyEditors::DURATION_EMPTY_TEXT));
    EXPECT_TRUE(WaitUntil([&] { return Row("Timeout (IP)")->text(1) == QStringLiteral("01:30:05"); }));
    EXPECT_EQ(GroupReadsReceived(0).count(0xF002), 2);

    // A second send without new entries writes nothing but the (here empty) password.
    Window->OnSendNewSettingsClick();
    ASSERT_TRUE(WaitUntil([&] { return WritesReceived(0).size() == 2; }));
    EXPECT_TRUE(WritesReceived(0).at(1).isEmpty());
}

TEST_F(UnitWindowTest, ARefusedValueSendsNothingNamesKeyAndValueAndKeepsEveryEditor) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    auto* dhcp = EditorOf<QComboBox>("Use DHCP");
    ASSERT_NE(dhcp, nullptr);
    dhcp->setCurrentIndex(1); // "No"
    ChooseMenu(QStringLiteral("Alarm Server"), QStringLiteral("Timeout (IP)"));
    auto* timeout = EditorOf<QLineEdit>("Timeout (IP)");
    ASSERT_NE(timeout, nullptr);
    timeout->setCursorPosition(0);
    QTest::keyClicks(timeout, QStringLiteral("1"));
    const QString halfTime = timeout->displayText();
    EXPECT_EQ(halfTime, QStringLiteral("1 :  :  "));

    Window->OnSendNewSettingsClick();
    ASSERT_EQ(Dialogs.Messages.size(), 1);
    const QString message = Dialogs.Messages.first();
    EXPECT_TRUE(message.contains(QStringLiteral("\"Timeout (IP)\" (key 44)"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("\"1 :  :  \""))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("is not a time HH:MM:SS"))) << message.toStdString();

    // Every editor is as the user left it, and it stays so across a refresh.
    EXPECT_EQ(dhcp->currentIndex(), 1);
    EXPECT_EQ(timeout->displayText(), halfTime);
    const int readsBefore = GroupReadsReceived(0).size();
    Window->OnRefreshClick();
    ASSERT_TRUE(WaitUntil([&] { return GroupReadsReceived(0).size() == readsBefore + 1; }));
    // The refresh went out after the refused send, so a write would have arrived before it.
    EXPECT_TRUE(WritesReceived(0).isEmpty());
    EXPECT_EQ(EditorOf<QLineEdit>("Timeout (IP)"), timeout);
    EXPECT_EQ(timeout->displayText(), halfTime);
    EXPECT_EQ(dhcp->currentIndex(), 1);

    // Corrected, the same editors go out together.
    timeout->clear();
    timeout->setCursorPosition(0);
    QTest::keyClicks(timeout, QStringLiteral("000100"));
    Window->OnSendNewSettingsClick();
    ASSERT_TRUE(WaitUntil([&] { return !WritesReceived(0).isEmpty(); }));
    const QList<ReplyEntry> write = WritesReceived(0).first();
    EXPECT_EQ(EntryIds(write), (QList<quint16>{4, 44}));
    EXPECT_EQ(EntryValue(write, 4), QByteArray::fromHex("00"));
    EXPECT_EQ(EntryValue(write, 44), QByteArray::fromHex("003C"));
}

TEST_F(UnitWindowTest, AReprintUpdatesValuesInPlaceAndKeepsRowsAndEditors) {
    UnitInfoClass* unit = OpenDemoUnit(0);
    ASSERT_NE(unit, nullptr);
    QTreeWidgetItem* row = Row("Use DHCP");
    auto* dhcp = EditorOf<QComboBox>("Use DHCP");
    ASSERT_NE(dhcp, nullptr);
    dhcp->setCurrentIndex(2);
    const int rows = Window->SettingsListView().RowCount();

    // The unit's value changes behind the tool's back; the next answer reprints the menu.
    Site.Unit(0).SetKey(4, QByteArray(1, '\1'));
    const int readsBefore = GroupReadsReceived(0).size();
    Handler().RequestKeyGroup(UnitConfigHandlerClass::GROUP_IP);
    ASSERT_TRUE(WaitUntil([&] { return Row("Use DHCP")->text(1) == QStringLiteral("Yes"); }));
    EXPECT_EQ(GroupReadsReceived(0).size(), readsBefore + 1);
    EXPECT_EQ(Row("Use DHCP"), row);
    EXPECT_EQ(EditorOf<QComboBox>("Use DHCP"), dhcp);
    EXPECT_EQ(dhcp->currentIndex(), 2);
    EXPECT_EQ(Window->SettingsListView().RowCount(), rows);

    // Another menu and back: new rows, the same editor with the user's choice.
    ChooseMenu(QStringLiteral("GPRS"), QStringLiteral("APN"));
    EXPECT_EQ(Row("Use DHCP"), nullptr);
    ChooseMenu(QStringLiteral("IP"), QStringLiteral("Use DHCP"));
    EXPECT_EQ(EditorOf<QComboBox>("Use DHCP"), dhcp);
    EXPECT_EQ(dhcp->currentIndex(), 2);
}

TEST_F(UnitWindowTest, InputsOverviewAndDetailShowTheInputsAndSendUnderTheirSelector) {
    UnitInfoClass* unit = OpenDemoUnit(0);
    ASSERT_NE(unit, nullptr);
    ChooseMenu(QStringLiteral("Inputs"), QStringLiteral("8"));
    SettingsTreeWidget& list = Window->SettingsListView();
    EXPECT_EQ(list.headerItem()->text(0), QStringLiteral("Inputs"));
    EXPECT_EQ(list.RowCount(), 8);
    EXPECT_EQ(Row("1")->parent()->text(0), QStringLiteral("Status"));
    EXPECT_EQ(Row("1")->text(1), QStringLiteral("Normal"));
    EXPECT_EQ(Row("3")->text(1), QStringLiteral("Alarm"));
    EXPECT_EQ(Row("6")->text(1), QStringLiteral("Fault"));
    auto* edit = EditorOf<QPushButton>("2");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("Edit"));

    edit->click();
    EXPECT_TRUE(Window->Visuals().InputDetail);
    EXPECT_EQ(list.headerItem()->text(0), QStringLiteral("Key"));
    ASSERT_TRUE(WaitUntil([&] { return Row("Description") != nullptr; }));
    EXPECT_EQ(Row("Address")->text(1), QStringLiteral("2"));
    EXPECT_EQ(Row("Description")->text(1), QStringLiteral("Fire panel fault"));
    EXPECT_EQ(Row("Input Type")->text(1), QStringLiteral("Operational"));
    EXPECT_EQ(Row("Balanced")->text(1), QStringLiteral("Balanced"));
    EXPECT_EQ(Row("Input Status")->text(1), QStringLiteral("Normal"));
    EXPECT_EQ(Row("Analog Value")->text(1), QStringLiteral("509"));
    EXPECT_EQ(Row("Input Status")->parent()->text(0), QStringLiteral("Status"));
    EXPECT_EQ(list.RowEditor(Row("Address")), nullptr);
    auto* ack = EditorOf<QPushButton>("Acknowledge");
    ASSERT_NE(ack, nullptr);
    EXPECT_EQ(ack->text(), QStringLiteral("Send Ack"));

    auto* description = EditorOf<QLineEdit>("Description");
    auto* type = EditorOf<QComboBox>("Input Type");
    ASSERT_TRUE(description && type);
    EXPECT_EQ(type->count(), 19);
    description->setText(QStringLiteral("Door contact"));
    type->setCurrentIndex(3); // "Burglary", option 2
    Window->OnSendNewSettingsClick();
    ASSERT_TRUE(WaitUntil([&] { return !WritesReceived(0).isEmpty(); }));
    const QList<ReplyEntry> write = WritesReceived(0).first();
    EXPECT_EQ(EntryIds(write), (QList<quint16>{0x0096, 151, 152}));
    EXPECT_EQ(EntryValue(write, 0x0096), QByteArray::fromHex("000132"));
    EXPECT_EQ(EntryValue(write, 151), QByteArray("Door contact"));
    EXPECT_EQ(EntryValue(write, 152), QByteArray::fromHex("02"));
    // Sending re-reads the chosen menu, which leaves the input detail.
    EXPECT_FALSE(Window->Visuals().InputDetail);
    ASSERT_TRUE(WaitUntil([&] { return Row("2") != nullptr; }));
    EXPECT_EQ(Site.Unit(0).Inputs.at(1).Text, QByteArray("Door contact"));
}

TEST_F(UnitWindowTest, CopyValuePutsTheCurrentValueIntoATextEditor) {
    ASSERT_NE(OpenDemoUnit(0), nullptr);
    ChooseMenu(QStringLiteral("System"), QStringLiteral("System Owner"));
    QTreeWidgetItem* owner = Row("System Owner");
    auto* editor = EditorOf<QLineEdit>("System Owner");
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->text().isEmpty());
    Window->Visuals().CopyValueToEditor(owner->text(0), owner->text(1));
    EXPECT_EQ(editor->text(), owner->text(1));
    EXPECT_FALSE(editor->text().isEmpty());

    // Choice keys take no copied text.
    ChooseMenu(QStringLiteral("IP"), QStringLiteral("Timezone"));
    auto* zone = EditorOf<QComboBox>("Timezone");
    Window->Visuals().CopyValueToEditor(QStringLiteral("Timezone"), Row("Timezone")->text(1));
    EXPECT_EQ(zone->currentIndex(), -1);
}

} // namespace
