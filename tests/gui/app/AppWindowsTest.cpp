#include "gui/app/AppWindows.h"

#include "core/app/MainClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"
#include "gui/app/DemoMode.h"
#include "gui/app/UnitListModel.h"
#include "gui/status/TFormInfoList.h"
#include "gui/unit/TFormUnitInfo.h"
#include "sim/SimSite.h"
#include "support/TempHome.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

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

// The windows joined as the program joins them, on the demo site: what the main window does reaches
// the unit window, and what the unit window asks for reaches the list window.
TEST(AppWindowsTest, MainWindowOpensUnitsAndSwitchesOnTheUnitWindowsHiddenParts) {
    TempHome home;
    SimSite site;
    site.LoadDemo();
    QString error;
    ASSERT_TRUE(DemoMode::StartSite(site, &error)) << error.toStdString();
    AppWindows windows(DemoMode::ToolOptions(site));
    TFormScan& scan = windows.Scan();
    TFormUnitInfo& unitWindow = windows.UnitInfo();
    scan.show();

    ASSERT_FALSE(unitWindow.FindAction(QStringLiteral("Set Mac"))->isVisible());
    scan.ApplyHiddenCode(QStringLiteral("KRAWNUT"));
    EXPECT_TRUE(unitWindow.FindAction(QStringLiteral("Set Mac"))->isEnabled());
    scan.ApplyHiddenCode(QStringLiteral("TIXELMORV"));
    EXPECT_TRUE(unitWindow.FindAction(QStringLiteral("Send Serial Debugtext"))->isVisible());

    // The protected unit opens with the password typed in the main window.
    scan.ScanForUnits();
    ASSERT_TRUE(WaitUntil([&] { return scan.UnitList().rowCount() == site.UnitCount(); }));
    const QString mac = site.Unit(SimSite::DEMO_PASSWORD_UNIT).MacText();
    const int row = scan.UnitList().RowOf(scan.Main().ConfigHandler().FindUnit(mac));
    ASSERT_GE(row, 0);
    scan.findChild<QLineEdit*>(QStringLiteral("PasswordEdit"))
        ->setText(QLatin1String(SimSite::DEMO_PASSWORD));
    auto* list = scan.findChild<QTableView*>(QStringLiteral("UnitListView"));
    list->setCurrentIndex(scan.UnitList().index(row, 0));
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return unitWindow.isVisible(); }));
    EXPECT_EQ(scan.Main().ConfigHandler().CurrentUnit(), scan.Main().ConfigHandler().FindUnit(mac));
    EXPECT_EQ(scan.Main().ConfigHandler().UnitPassword(), QStringLiteral("1234"));
    EXPECT_EQ(unitWindow.UnitMac, mac);

    // A status view asked for in the unit window opens in the list window for the open unit.
    Q_EMIT unitWindow.statusViewRequested(TFormInfoList::LIST_IP_SOCKETS);
    EXPECT_EQ(windows.InfoList().Mode(), TFormInfoList::LIST_IP_SOCKETS);
    EXPECT_EQ(windows.InfoList().ListMac(), mac);

    // A remote connect while the unit window is open closes it, and the list window with it.
    scan.findChild<QLineEdit*>(QStringLiteral("RemoteHostEdit"))->setText(site.UnitAddress(0).toString());
    scan.RemoteConnect();
    ASSERT_TRUE(WaitUntil([&] { return scan.Main().Transport().IsTcpConnected(); }));
    windows.InfoList().show();
    scan.RemoteConnect();
    EXPECT_FALSE(unitWindow.isVisible());
    EXPECT_FALSE(windows.InfoList().isVisible());
}

} // namespace
