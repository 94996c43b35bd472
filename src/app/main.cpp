#include "core/app/UnixSignalWatcher.h"
#include "core/unit/UnitInfoClass.h"
#include "gui/app/DemoMode.h"
#include "gui/app/TFormScan.h"
#include "sim/SimSite.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#if __has_include("gui/unit/TFormUnitInfo.h")
#include "gui/unit/TFormUnitInfo.h"
#define UNITSCOPE_HAS_UNIT_WINDOW 1
#endif
#if __has_include("gui/status/TFormInfoList.h")
#include "gui/status/TFormInfoList.h"
#define UNITSCOPE_HAS_INFO_LIST 1
#endif
#if __has_include("gui/status/TFormLiveDebug.h")
#include "gui/status/TFormLiveDebug.h"
#define UNITSCOPE_HAS_LIVE_DEBUG 1
#endif

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Unitscope"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Service tool for alarm transmission units"));
    parser.addHelpOption();
    const QCommandLineOption workDir(QStringLiteral("work-dir"),
                                     QStringLiteral("Folder for exports, downloads and backups."),
                                     QStringLiteral("DIR"));
    const QCommandLineOption serialPort(QStringLiteral("serial-port"),
                                        QStringLiteral("Offer this serial port too (a pseudo-terminal, for "
                                                       "instance); may be given more than once."),
                                        QStringLiteral("PATH"));
    const QCommandLineOption demo(
        QStringLiteral("demo"), QStringLiteral("Run simulated units and a simulated serial device inside the "
                                               "program, on loopback, and work with them."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the main window to FILE a moment after "
                       "start (after the first scan with --demo), then quit."),
        QStringLiteral("FILE"));
    parser.addOptions({workDir, serialPort, demo, screenshot});
    parser.process(app);

    TFormScan::Options options;
    options.WorkDir = parser.value(workDir);
    options.ExtraSerialPorts = parser.values(serialPort);

    // The site outlives the windows, so nothing the tool still sends finds it gone.
    SimSite site;
    if (parser.isSet(demo)) {
        site.LoadDemo();
        QString error;
        if (!DemoMode::StartSite(site, &error)) {
            std::fprintf(stderr, "unitscope: the demo site could not start: %s\n", qPrintable(error));
            return 1;
        }
        options = DemoMode::ToolOptions(site, options);
    }

    // Installed before the windows exist, so a stop request during start-up is not lost either.
    UnixSignalWatcher signalWatcher;

    // The windows in the order the program has always made them; the main window runs the
    // start-up sequence in its constructor.
    TFormScan formScan(options);
#ifdef UNITSCOPE_HAS_UNIT_WINDOW
    TFormUnitInfo formUnitInfo(formScan.Main());
    formScan.SetUnitWindow(&formUnitInfo);
    QObject::connect(&formScan, &TFormScan::openUnitRequested, &formUnitInfo, &TFormUnitInfo::OpenUnit);
#endif
#ifdef UNITSCOPE_HAS_INFO_LIST
    TFormInfoList formInfoList(formScan.Main());
#endif
#ifdef UNITSCOPE_HAS_LIVE_DEBUG
    TFormLiveDebug formLiveDebug(formScan.Main());
#endif
    formScan.show();

    // Closing the main window ends the program, whatever other windows are open.
    QObject::connect(&formScan, &TFormScan::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // A stop request from the terminal closes the main window the same way the Close button does.
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &formScan, &QWidget::close);

    if (parser.isSet(demo)) {
        // A newcomer should see the demo units at once, not an empty list.
        QTimer::singleShot(0, &formScan, &TFormScan::ScanForUnits);
    }
    if (parser.isSet(screenshot)) {
        const QString file = parser.value(screenshot);
        QTimer::singleShot(1500, &formScan, [&formScan, file] {
            if (!formScan.grab().save(file))
                std::fprintf(stderr, "unitscope: could not save %s\n", qPrintable(file));
            formScan.close();
        });
    }
    return app.exec();
}
