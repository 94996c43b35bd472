// unitscope-cli: every core capability from a script, without a screen.

#include "cli/CliRunner.h"
#include "core/app/UnixSignalWatcher.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("unitscope-cli"));

    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return 1;

    CliRunner runner(out, err);
    // Ctrl+C or a stop from a service manager ends the wait in progress; sockets and files are
    // then closed the normal way.
    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &app,
                     [&runner](int) { runner.Interrupt(); });
    return runner.Run(QCoreApplication::arguments());
}
