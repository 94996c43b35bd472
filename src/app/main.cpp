#include "core/app/UnixSignalWatcher.h"
#include "gui/app/TFormScan.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Unitscope"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Service tool for alarm transmission units"));
    parser.addHelpOption();
    const QCommandLineOption workDir(QStringLiteral("work-dir"),
                                     QStringLiteral("Folder for exports, downloads and backups."),
                                     QStringLiteral("DIR"));
    parser.addOption(workDir);
    parser.process(app);

    // Installed before the window exists, so a stop request during start-up is not lost either.
    UnixSignalWatcher signalWatcher;
    TFormScan formScan(TFormScan::Options{parser.value(workDir)});
    formScan.show();

    // A stop request from the terminal closes the main window the same way the Close button does.
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &formScan, &QWidget::close);
    return app.exec();
}
