#pragma once

#include <QByteArray>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

// Some failures only happen to ordinary users (a protected port, a serial port of a group the
// user is not in). When the tests run as root, such a test runs itself again in a fresh process
// of the test program as user "nobody" and passes on that run's verdict. A fresh process, not a
// bare fork: a forked copy of a program with threads may hang on a lock another thread held.
//
// Returns the exit status of that run (0: passed or skipped), or -1 when it could not be started.
inline int RerunAsOrdinaryUser(const char* testName) {
    const QByteArray filter = QByteArray("--gtest_filter=") + testName;
    char exe[] = "/proc/self/exe";
    char* const argv[] = {exe, const_cast<char*>(filter.constData()), nullptr};
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        // Only async-signal-safe calls between fork and exec. The working directory may be a
        // private temporary folder of an earlier test, which that user could not enter.
        if (chdir("/") == 0 && setgid(65534) == 0 && setuid(65534) == 0)
            execv(exe, argv);
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status) == 127 ? -1 : WEXITSTATUS(status);
}
