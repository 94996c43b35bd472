#include "gui/app/TFormScan.h"

#include "core/app/DebugLog.h"
#include "core/app/MainClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"
#include "gui/app/DemoMode.h"
#include "gui/app/UnitListModel.h"
#include "sim/SimSerialDevice.h"
#include "sim/SimSite.h"
#include "support/TempHome.h"

#include <QAbstractEventDispatcher>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Runs the event loop until the condition holds; false when the time is up.
template <typename Condition> bool WaitUntil(Condition condition, int timeoutMs = 5000) {
    const QDeadlineTimer deadline(timeoutMs);
    QTimer tick;
    tick.start(20);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QAbstractEventDispatcher::instance()->processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The demo site on loopback and a main window pointed at it, with its folders in a temporary home.
class TFormScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        site.LoadDemo();
        QString error;
        ASSERT_TRUE(DemoMode::StartSite(site, &error)) << error.toStdString();
    }
    void Open(TFormScan::Options options = {}) {
        form = std::make_unique<TFormScan>(DemoMode::ToolOptions(site, options));
        form->show();
    }
    template <typename T> T* Child(const char* name) {
        T* child = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    UnitListModel& List() { return form->UnitList(); }
    QStringList Column(int column) {
        QStringList texts;
        for (int row = 0; row < List().rowCount(); ++row)
            texts.append(List().Text(row, column));
        return texts;
    }
    void Scan() {
        QTest::mouseClick(Child<QPushButton>("ScanButton"), Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return List().rowCount() == site.UnitCount(); }));
    }
    void SelectRow(int row) {
        auto* view = Child<QTableView>("UnitListView");
        view->setCurrentIndex(List().index(row, 0));
    }

    TempHome home;
    LogCapture log;
    SimSite site;
    std::unique_ptr<TFormScan> form;
};

TEST_F(TFormScanTest, ScanListsEveryDemoUnitWithItsTextsAndTheCount) {
    Open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Unitscope v2.0.16"));
    EXPECT_EQ(form->minimumSize(), QSize(550, 400));
    EXPECT_EQ(Child<QLabel>("CountLabel")->text(), QStringLiteral("Nr of units: 0"));
    // The demo's loopback adapter is offered, chosen and bound.
    EXPECT_EQ(Child<QComboBox>("AdapterBox")->currentText(),
              QStringLiteral("127.0.0.1 - Demo site (loopback)"));
    EXPECT_EQ(form->Main().Transport().BoundIP(), QStringLiteral("127.0.0.1"));

    // Choosing the bound adapter again logs the choice and keeps the binding.
    auto* adapters = Child<QComboBox>("AdapterBox");
    const quint16 port = form->Main().Transport().BoundPort();
    Q_EMIT adapters->activated(adapters->currentIndex());
    EXPECT_TRUE(log.contains(QStringLiteral("Select Ethernet adapter: Demo site (loopback). IP: 127.0.0.1. "
                                            "ComboBox->ItemIndex: %1")
                                 .arg(adapters->currentIndex())));
    EXPECT_FALSE(log.contains(QStringLiteral("Rebinding UDPserver")));
    EXPECT_EQ(form->Main().Transport().BoundPort(), port);

    // A scan three seconds after start ends the start-up logging; the debug code's countdown stays.
    DebugLog::instance().setCountdown(7);
    Scan();
    EXPECT_EQ(DebugLog::instance().countdown(), 0);
    DebugLog::instance().setCountdown(DebugLog::DEBUG_COUNTDOWN);

    EXPECT_EQ(Child<QLabel>("CountLabel")->text(), QStringLiteral("Nr of units: 3"));
    // With an empty password box the discovery is the 49-byte read of the six keys, broadcast.
    const QList<SimRecord> requests = site.Recorder().received(site.Unit(0).MacText());
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_EQ(requests.first().Carrier, QStringLiteral("udp"));
    EXPECT_EQ(requests.first().Bytes.size(), 49);
    for (int k = 0; k < site.UnitCount(); ++k) {
        const SimUnit& unit = site.Unit(k);
        const int row = Column(UnitListModel::COLUMN_MAC).indexOf(unit.MacText());
        ASSERT_GE(row, 0) << k;
        EXPECT_EQ(List().Text(row, UnitListModel::COLUMN_IP), QStringLiteral("127.0.0.%1").arg(k + 2));
        EXPECT_EQ(List().Text(row, UnitListModel::COLUMN_PRODUCT), unit.ProductText());
        EXPECT_EQ(List().Text(row, UnitListModel::COLUMN_OWNER), QString::fromLatin1(*unit.KeyValue(101)));
    }
    // Rows are sorted by MAC at start.
    QStringList macs = Column(UnitListModel::COLUMN_MAC);
    QStringList sorted = macs;
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(macs, sorted);

    // Clicking a header sorts by it, ascending every time.
    auto* header = Child<QTableView>("UnitListView")->horizontalHeader();
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(UnitListModel::COLUMN_OWNER) + 5, 5));
        QStringList owners = Column(UnitListModel::COLUMN_OWNER);
        QStringList expected = owners;
        expected.sort(Qt::CaseInsensitive);
        EXPECT_EQ(owners, expected);
    }
    EXPECT_EQ(log.count(QStringLiteral("Sort units by column: 3")), 2);

    // A second scan starts from an empty list and ends with the same three rows.
    Scan();
    EXPECT_EQ(Child<QLabel>("CountLabel")->text(), QStringLiteral("Nr of units: 3"));
}

TEST_F(TFormScanTest, OpenUnitHandsTheRowsUnitAndThePasswordOn) {
    Open();
    Scan();
    QList<std::pair<UnitInfoClass*, QString>> opened;
    QObject::connect(form.get(), &TFormScan::openUnitRequested,
                     [&](UnitInfoClass* unit, const QString& password) {
                         opened.append({unit, password});
                     });
    Child<QLineEdit>("PasswordEdit")->setText(QString::fromLatin1(SimSite::DEMO_PASSWORD));

    // Nothing happens without a selected row.
    form->OpenSelectedUnit();
    EXPECT_EQ(opened.count(), 0);

    auto* view = Child<QTableView>("UnitListView");
    SelectRow(1);
    UnitInfoClass* unit = form->Main().ConfigHandler().FindUnit(List().Text(1, UnitListModel::COLUMN_MAC));
    ASSERT_NE(unit, nullptr);
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).first, unit);
    EXPECT_EQ(opened.at(0).second, QStringLiteral("1234"));

    const QRect cell = view->visualRect(List().index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(opened.count(), 2);
    EXPECT_EQ(opened.at(1).first,
              form->Main().ConfigHandler().FindUnit(List().Text(2, UnitListModel::COLUMN_MAC)));
}

TEST_F(TFormScanTest, RemoteConnectReachesOneUnitAndTheCaptionFollowsTheConnection) {
    Open();
    Scan();
    auto* button = Child<QPushButton>("RemoteConnectButton");
    auto* host = Child<QLineEdit>("RemoteHostEdit");
    EXPECT_EQ(host->text(), QStringLiteral("Enter IP"));
    EXPECT_EQ(button->text(), QStringLiteral("Remote connect"));
    QWidget unitWindow;
    form->SetUnitWindow(&unitWindow);

    // Enter in the host box connects; only the unit at that address answers, over TCP.
    const QString address = site.UnitAddress(1).toString();
    host->setText(address);
    QTest::keyClick(host, Qt::Key_Return);
    EXPECT_EQ(List().rowCount(), 0);
    ASSERT_TRUE(WaitUntil([&] { return List().rowCount() == 1; }));
    EXPECT_EQ(button->text(), QStringLiteral("Disconnect"));
    EXPECT_EQ(List().Text(0, UnitListModel::COLUMN_MAC), site.Unit(1).MacText());
    EXPECT_EQ(form->Main().ConfigHandler().Units().front()->SocketType, UnitInfoClass::SOCKET_TCP);
    EXPECT_TRUE(log.contains(QStringLiteral("Remote Connect: ") + address));
    EXPECT_TRUE(log.contains(QStringLiteral("TCP Connect: ") + address));

    // The button disconnects, closes the open unit window and empties the list at once.
    unitWindow.show();
    form->Main().ConfigHandler().SetCurrentUnit(form->Main().ConfigHandler().Units().front().get(), {});
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(log.contains(QStringLiteral("Autoclose settings form")));
    EXPECT_FALSE(unitWindow.isVisible());
    EXPECT_TRUE(log.contains(QStringLiteral("TCP Disconnect")));
    EXPECT_EQ(List().rowCount(), 0);
    EXPECT_EQ(form->Main().ConfigHandler().CurrentUnit(), nullptr);
    EXPECT_EQ(Child<QLabel>("CountLabel")->text(), QStringLiteral("Nr of units: 0"));
    ASSERT_TRUE(WaitUntil([&] { return button->text() == QStringLiteral("Remote Connect"); }));

    // "Remote Connect" of the pop-up goes to the selected row's IP.
    Scan();
    SelectRow(2);
    const QString rowIp = List().Text(2, UnitListModel::COLUMN_IP);
    const QString rowMac = List().Text(2, UnitListModel::COLUMN_MAC);
    form->RemoteConnectToSelectedUnit();
    ASSERT_TRUE(
        WaitUntil([&] { return List().rowCount() == 1 && button->text() == QStringLiteral("Disconnect"); }));
    EXPECT_EQ(List().Text(0, UnitListModel::COLUMN_MAC), rowMac);
    EXPECT_EQ(List().Text(0, UnitListModel::COLUMN_IP), rowIp);
}

TEST_F(TFormScanTest, AFailedUdpBindIsShownAndRemoteConnectStillWorks) {
    // Another program holds the port the window wants.
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0, QUdpSocket::DontShareAddress));
    TFormScan::Options taken = DemoMode::ToolOptions(site);
    taken.Udp.LocalPort = holder.localPort();
    form = std::make_unique<TFormScan>(taken);
    form->show();

    auto* banner = Child<QLabel>("BindErrorLabel");
    EXPECT_TRUE(banner->isVisible());
    EXPECT_TRUE(banner->text().contains(
        QStringLiteral("Unable to bind UDP port %1 on 127.0.0.1").arg(holder.localPort())))
        << banner->text().toStdString();
    EXPECT_TRUE(banner->text().contains(QStringLiteral("remote and serial connections still work")));
    EXPECT_FALSE(form->Main().Transport().IsUdpBound());

    Child<QLineEdit>("RemoteHostEdit")->setText(site.UnitAddress(0).toString());
    QTest::mouseClick(Child<QPushButton>("RemoteConnectButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return List().rowCount() == 1; }));
    EXPECT_EQ(List().Text(0, UnitListModel::COLUMN_MAC), site.Unit(0).MacText());
}

TEST_F(TFormScanTest, ARefusedRemoteConnectIsReportedAndTheCaptionStays) {
    // A port nobody listens on any more.
    quint16 closedPort = 0;
    {
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        closedPort = server.serverPort();
    }
    TFormScan::Options options;
    options.TcpPortByHost.insert(QStringLiteral("127.0.0.1"), closedPort);
    Open(options);
    QSignalSpy messages(form.get(), &TFormScan::messageShown);
    auto* host = Child<QLineEdit>("RemoteHostEdit");
    host->setText(QStringLiteral("127.0.0.1"));
    QTest::keyClick(host, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return messages.count() == 1; }));
    EXPECT_TRUE(messages.at(0).at(0).toString().startsWith(
        QStringLiteral("Socket Error # %1\n").arg(int(QAbstractSocket::ConnectionRefusedError))))
        << messages.at(0).at(0).toString().toStdString();
    EXPECT_TRUE(
        log.contains(QStringLiteral("TCP Error: %1").arg(int(QAbstractSocket::ConnectionRefusedError))));
    EXPECT_EQ(Child<QPushButton>("RemoteConnectButton")->text(), QStringLiteral("Remote connect"));
    EXPECT_FALSE(form->Main().Transport().IsRemoteConnectionOpen());

    // The next press connects again rather than disconnecting.
    host->setText(site.UnitAddress(0).toString());
    QTest::keyClick(host, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return List().rowCount() == 1; }));
}

TEST_F(TFormScanTest, HiddenCodesFromCtrlF10InThePasswordBox) {
    Open();
    QSignalSpy macMode(form.get(), &TFormScan::macModeEnabled);
    QSignalSpy debugMode(form.get(), &TFormScan::debugModeEnabled);
    QSignalSpy messages(form.get(), &TFormScan::messageShown);
    auto* macLabel = Child<QLabel>("MacModeLabel");
    EXPECT_FALSE(macLabel->isVisible());

    const auto enter = [&](const QString& code) {
        QTest::keyClick(Child<QLineEdit>("PasswordEdit"), Qt::Key_F10, Qt::ControlModifier);
        QInputDialog* box = nullptr;
        EXPECT_TRUE(WaitUntil([&] {
            return (box = form->findChild<QInputDialog*>(QStringLiteral("HiddenCodeBox"))) != nullptr;
        }));
        if (box == nullptr)
            return;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Password"));
        EXPECT_EQ(box->labelText(), QStringLiteral("Enter Password"));
        box->setTextValue(code);
        box->accept();
        EXPECT_TRUE(WaitUntil(
            [&] { return form->findChild<QInputDialog*>(QStringLiteral("HiddenCodeBox")) == nullptr; }));
    };

    // Codes are exact: other texts, other case, do nothing.
    DebugLog::instance().setCountdown(5);
    for (const QString& code : {QStringLiteral("krawnut"), QStringLiteral("TIXELMORV "), QString()}) {
        enter(code);
        EXPECT_EQ(macMode.count() + debugMode.count() + messages.count(), 0) << code.toStdString();
        EXPECT_FALSE(macLabel->isVisible());
        EXPECT_EQ(DebugLog::instance().countdown(), 5);
    }

    enter(QStringLiteral("KRAWNUT"));
    EXPECT_TRUE(macLabel->isVisible());
    EXPECT_EQ(macLabel->text(), QStringLiteral("QUIB MAC ENABLED"));
    EXPECT_EQ(macMode.count(), 1);
    EXPECT_TRUE(form->MacModeEnabled());
    EXPECT_EQ(DebugLog::instance().countdown(), 5);

    enter(QStringLiteral("TIXELMORV"));
    EXPECT_EQ(DebugLog::instance().countdown(), 65535);
    EXPECT_EQ(debugMode.count(), 1);
    EXPECT_TRUE(form->DebugModeEnabled());
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.at(0).at(0).toString(), QStringLiteral("Debug to file activated for 65535 seconds"));

    // Double-click on the count label: the speed configuration.
    QSignalSpy speed(form.get(), &TFormScan::speedConfigEnabled);
    QTest::mouseDClick(Child<QLabel>("CountLabel"), Qt::LeftButton);
    EXPECT_EQ(speed.count(), 1);
    EXPECT_EQ(messages.last().at(0).toString(), QStringLiteral("EPAN Speed Config Enabled"));
}

TEST_F(TFormScanTest, SerialConnectOpensTheChosenPortAndGivesUpAfterTenSeconds) {
    Open();
    auto* box = Child<QComboBox>("ComPortBox");
    const QString path = site.SerialDevicePaths().value(0);
    const int entry = box->findData(path);
    ASSERT_GE(entry, 0) << path.toStdString();
    EXPECT_EQ(box->itemText(entry), QStringLiteral("COM%1 (%2)").arg(entry + 1).arg(path.mid(5)));
    box->setCurrentIndex(entry);

    QSignalSpy messages(form.get(), &TFormScan::messageShown);
    QTest::mouseClick(Child<QPushButton>("SerialConnectButton"), Qt::LeftButton);
    EXPECT_EQ(form->Main().Transport().SerialPortPath(), path);
    EXPECT_EQ(form->SerialDetectionCountdown(), 10);
    EXPECT_EQ(form->Main().ComPort, entry + 1);
    QFile settings(home.appFolder() + QStringLiteral("Unitscope.cfg"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(settings.readAll().startsWith(
        QStringLiteral("COMPORT=%1\r\nWINDOWSIZE=2\r\n").arg(entry + 1).toLatin1()));

    // The device is asked for its identity at once and on every tick until the countdown ends.
    const auto identityRequests = [&] {
        int count = 0;
        for (const SimRecord& record : site.Recorder().received(path))
            count += static_cast<int>(record.Bytes.count(QByteArray::fromHex("11010000")));
        return count;
    };
    ASSERT_TRUE(WaitUntil([&] { return identityRequests() >= 1; }));
    for (int tick = 1; tick < 10; ++tick)
        form->TimerTick();
    EXPECT_EQ(form->SerialDetectionCountdown(), 1);
    EXPECT_EQ(messages.count(), 0);
    ASSERT_TRUE(WaitUntil([&] { return identityRequests() >= 10; }));
    form->TimerTick();
    EXPECT_EQ(form->SerialDetectionCountdown(), 0);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.at(0).at(0).toString(), QStringLiteral("No device detected"));
    form->TimerTick();
    EXPECT_EQ(messages.count(), 1);
    EXPECT_EQ(identityRequests(), 10);
}

TEST_F(TFormScanTest, CloudItemsWaitForTheCloudAndClosingStopsUdp) {
    Open();
    auto* menu = form->findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    QStringList captions;
    for (QAction* action : menu->actions())
        captions.append(action->text());
    EXPECT_EQ(captions, QStringList({"Open Unit", "Remote Connect", "Nebryn Cloud"}));
    QMenu* cloud = menu->actions().last()->menu();
    ASSERT_NE(cloud, nullptr);
    ASSERT_EQ(cloud->actions().size(), 1);
    EXPECT_EQ(cloud->actions().first()->text(), QStringLiteral("Download Manuals"));
    EXPECT_FALSE(cloud->actions().first()->isEnabled());
    EXPECT_EQ(cloud->actions().first()->toolTip(), QStringLiteral("The cloud is not connected"));
    EXPECT_FALSE(Child<QLabel>("CloudLabel")->isVisible());

    QSignalSpy closed(form.get(), &TFormScan::closed);
    ASSERT_TRUE(form->Main().Transport().IsUdpBound());
    QTest::mouseClick(Child<QPushButton>("CloseButton"), Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form->Main().Transport().IsUdpBound());
}

} // namespace
