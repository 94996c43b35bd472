#include "gui/app/AppWindows.h"

#include "core/unit/UnitInfoClass.h"
#include "gui/status/TFormInfoList.h"
#include "gui/status/TFormLiveDebug.h"
#include "gui/unit/TFormUnitInfo.h"

AppWindows::AppWindows(const TFormScan::Options& options) {
    FormScan = std::make_unique<TFormScan>(options);
    MainClass& main = FormScan->Main();
    FormUnitInfo = std::make_unique<TFormUnitInfo>(main);
    FormInfoList = std::make_unique<TFormInfoList>(main);
    FormLiveDebug = std::make_unique<TFormLiveDebug>(main);

    TFormScan* scan = FormScan.get();
    TFormUnitInfo* unitInfo = FormUnitInfo.get();
    TFormInfoList* infoList = FormInfoList.get();
    TFormLiveDebug* liveDebug = FormLiveDebug.get();

    scan->SetUnitWindow(unitInfo);
    QObject::connect(scan, &TFormScan::openUnitRequested, unitInfo, &TFormUnitInfo::OpenUnit);
    // The service codes of the main window switch on hidden parts of the unit window.
    QObject::connect(scan, &TFormScan::macModeEnabled, unitInfo,
                     [unitInfo] { unitInfo->SetMacSettingMode(true); });
    QObject::connect(scan, &TFormScan::debugModeEnabled, unitInfo,
                     [unitInfo] { unitInfo->SetDebugTextItemVisible(true); });
    QObject::connect(scan, &TFormScan::speedConfigEnabled, unitInfo,
                     [unitInfo] { unitInfo->SetEpanIdButtonVisible(true); });

    QObject::connect(unitInfo, &TFormUnitInfo::statusViewRequested, infoList, &TFormInfoList::OpenStatusView);
    QObject::connect(unitInfo, &TFormUnitInfo::unitWindowClosed, infoList, &QWidget::close);
    QObject::connect(unitInfo, &TFormUnitInfo::liveDebugRequested, liveDebug, [liveDebug] {
        liveDebug->show();
        liveDebug->raise();
    });
}

AppWindows::~AppWindows() {
    // The other windows hold the main window's services, so they go first.
    FormLiveDebug.reset();
    FormInfoList.reset();
    FormUnitInfo.reset();
    FormScan.reset();
}
