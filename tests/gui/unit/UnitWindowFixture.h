#pragma once

#include "core/app/MainClass.h"
#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"
#include "gui/unit/SettingsTreeWidget.h"
#include "gui/unit/TFormUnitInfo.h"
#include "gui/unit/UnitWindowDialogs.h"
#include "gui/unit/VisualsClass.h"
#include "sim/SimSite.h"
#include "sim/SimTestSupport.h"
#include "support/TempHome.h"

#include <QListWidget>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

// Answers the unit window's questions from a script and keeps what it was asked.
class ScriptedDialogs : public UnitWindowDialogs {
public:
    QList<bool> ConfirmAnswers;
    QList<std::optional<QString>> TextAnswers;
    QStringList Questions;
    QStringList Prompts; // caption | prompt | default text
    QStringList Messages;

    bool Confirm(QWidget*, const QString& text) override {
        Questions.append(text);
        return ConfirmAnswers.isEmpty() ? false : ConfirmAnswers.takeFirst();
    }
    std::optional<QString> AskText(QWidget*, const QString& caption, const QString& prompt,
                                   const QString& defaultText) override {
        Prompts.append(caption + QLatin1Char('|') + prompt + QLatin1Char('|') + defaultText);
        return TextAnswers.isEmpty() ? std::nullopt : TextAnswers.takeFirst();
    }
    void ShowMessage(QWidget*, const QString& text) override { Messages.append(text); }
    QString OpenFileName(QWidget*, const QString&) override { return QString(); }
};

// The demo site on loopback, the tool's services bound to it, and the unit window.
class UnitWindowTest : public ::testing::Test {
protected:
    // Changes to the demo units before the site starts.
    virtual void AdjustSite(SimSite&) {}

    void SetUp() override {
        Site.LoadDemo();
        AdjustSite(Site);
        SimNetworkOptions options;
        options.UnitUdpPort = 0;
        options.TcpPort = 0;
        options.WorkstationPort = 0;
        options.BroadcastAddress = QHostAddress(QStringLiteral("127.255.255.255"));
        QString error;
        ASSERT_TRUE(Site.Start(options, &error)) << error.toStdString();

        MainClass::Options mainOptions;
        mainOptions.WorkDir = Home.workFolder();
        mainOptions.Udp.LocalPort = 0;
        mainOptions.Udp.RemotePort = Site.UnitUdpPort();
        mainOptions.Udp.BroadcastAddress = QStringLiteral("127.255.255.255");
        Main = std::make_unique<MainClass>(mainOptions);
        Main->CreateTransport();
        ASSERT_EQ(Main->Transport().Bind(CommunicationClass::AdapterChoice{QStringLiteral("lo"),
                                                                           QStringLiteral("127.0.0.1"), 0}),
                  1);
        Window = std::make_unique<TFormUnitInfo>(*Main);
        Window->SetDialogs(&Dialogs);
    }

    UnitConfigHandlerClass& Handler() { return Main->ConfigHandler(); }

    // Finds demo unit k the way the main window does: a discovery broadcast.
    UnitInfoClass* Discover(int index) {
        const QString mac = Site.Unit(index).MacText();
        Main->SendDiscovery(QString(), false);
        const bool found = WaitUntil([&] {
            UnitInfoClass* unit = Handler().FindUnit(mac);
            return unit != nullptr && unit->FindKey(112) != nullptr;
        });
        EXPECT_TRUE(found) << "demo unit " << index << " did not answer the discovery";
        return Handler().FindUnit(mac);
    }

    // Opens demo unit k and waits until its IP menu is printed.
    UnitInfoClass* OpenDemoUnit(int index) {
        UnitInfoClass* unit = Discover(index);
        if (unit == nullptr)
            return nullptr;
        Window->OpenUnit(unit, QString());
        EXPECT_TRUE(WaitUntil([&] { return Row(QStringLiteral("Gateway")) != nullptr; }))
            << "the IP menu was not printed";
        return unit;
    }

    // Clicks a menu by its caption and waits until a row of it is printed.
    void ChooseMenu(const QString& caption, const QString& rowCaption) {
        QListWidget& menus = Window->MenuListView();
        const QList<QListWidgetItem*> items = menus.findItems(caption, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << caption.toStdString();
        menus.setCurrentItem(items.first());
        ASSERT_TRUE(WaitUntil([&] { return Row(rowCaption) != nullptr; })) << rowCaption.toStdString();
    }

    QTreeWidgetItem* Row(const QString& caption) { return Window->SettingsListView().FindRow(caption); }

    template <typename Editor> Editor* EditorOf(const QString& caption) {
        QTreeWidgetItem* row = Row(caption);
        return row == nullptr ? nullptr : qobject_cast<Editor*>(Window->SettingsListView().RowEditor(row));
    }

    // Write packets the simulated unit received, as their entries.
    QList<QList<ReplyEntry>> WritesReceived(int index) {
        return WritesReceivedBy(Site.Unit(index).MacText());
    }
    QList<QList<ReplyEntry>> WritesReceivedBy(const QString& mac) {
        QList<QList<ReplyEntry>> writes;
        for (const SimRecord& record : Site.Recorder().received(mac)) {
            const ParsedReply packet = ParseReply(record.Bytes);
            if (packet.Sound && packet.Type == 0x01)
                writes.append(packet.Entries);
        }
        return writes;
    }

    // Group reads the simulated unit received, by their group id.
    QList<quint16> GroupReadsReceived(int index) {
        QList<quint16> groups;
        for (const SimRecord& record : Site.Recorder().received(Site.Unit(index).MacText())) {
            const ParsedReply packet = ParseReply(record.Bytes);
            if (!packet.Sound || packet.Type != 0x02)
                continue;
            for (const ReplyEntry& entry : packet.Entries)
                if (entry.Id >= 0xF000 && entry.Id <= 0xF010)
                    groups.append(entry.Id);
        }
        return groups;
    }

    TempHome Home;
    SimSite Site;
    ScriptedDialogs Dialogs;
    std::unique_ptr<MainClass> Main;
    std::unique_ptr<TFormUnitInfo> Window;
};
