#include "core/app/UnixSignalWatcher.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int SignalPipe[2] = {-1, -1};

void OnSignal(int signalNumber) {
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // Only async-signal-safe work here: hand the number to the event loop.
    [[maybe_unused]] const ssize_t written = ::write(SignalPipe[1], &byte, 1);
}
} // namespace

UnixSignalWatcher::UnixSignalWatcher(QObject* parent) : QObject(parent) {
    if (SignalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, SignalPipe) != 0)
        return;
    Notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

UnixSignalWatcher::~UnixSignalWatcher() {
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
}

void UnixSignalWatcher::readSignal() {
    unsigned char byte = 0;
    if (::read(SignalPipe[0], &byte, 1) == 1)
        Q_EMIT terminationRequested(byte);
}
