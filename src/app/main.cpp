#include "core/app/UnixSignalWatcher.h"
#include "gui/app/AppWindows.h"
#include "gui/app/DemoMode.h"
#include "sim/SimSite.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Unitscope"));
    // Installed first, so a stop request during start-up is not lost either.
    UnixSignalWatcher signalWatcher;

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

    // The windows, the main window first: its constructor runs the start-up sequence.
    AppWindows windows(options);
    TFormScan& formScan = windows.Scan();
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
