#pragma once

#include <QStringList>

class CliSession;
class QIODevice;

// One run of unitscope-cli: parses the arguments, checks the command's arguments, runs it against
// the core and writes the result (aligned text, or one JSON document with --json) to out and
// every problem, in plain words, to err. Returns the exit status: 0 success, 1 the unit did not
// answer in time (or could not be reached), 2 bad usage or a refused value.
//
// It runs the event loop itself while it waits, so a test can call it with simulated units in the
// same process.
class CliRunner {
public:
    CliRunner(QIODevice& out, QIODevice& err) : Out(out), Err(err) {}

    int Run(const QStringList& arguments);
    // A stop request (Ctrl+C): the running command ends with exit status 1.
    void Interrupt();

private:
    void PrintError(const QString& text);

    QIODevice& Out;
    QIODevice& Err;
    CliSession* Running = nullptr;
    bool InterruptRequested = false;
};
