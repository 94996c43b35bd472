#pragma once

#include <QString>
#include <functional>

// The one writer of "IPDebug.log". Lines are written only while the countdown runs, so a normal
// run keeps just its first seconds; the hidden debug code raises the countdown to about 18 hours.
// The file is opened and closed for every line so another program can read it at any time.
class DebugLog {
public:
    static constexpr qint64 ROTATE_SIZE = 10000000;
    static constexpr int START_COUNTDOWN = 10;
    static constexpr int DEBUG_COUNTDOWN = 65535;

    static DebugLog& instance();

    // Folder with a trailing separator; while empty, lines go to the working directory.
    void setFolder(const QString& folder) { Folder = folder; }
    const QString& folder() const { return Folder; }
    QString logPath() const;
    QString backupPath() const;

    int countdown() const { return Countdown; }
    void setCountdown(int seconds) { Countdown = seconds; }
    // One tick of the main window's 1-second timer.
    void tick();

    void write(const QString& message);

    // Sees every line that is written (tests and the CLI's --debug-log use it).
    using Observer = std::function<void(const QString& message)>;
    void setObserver(Observer observer) { LineObserver = std::move(observer); }

    // "yyyy-mm-dd hh:nn:ss.zzz" of the local time.
    static QString timeStamp();

private:
    DebugLog() = default;
    QString Folder;
    int Countdown = START_COUNTDOWN;
    Observer LineObserver;
};

// Every part of the program logs through this one call.
void WriteLog(const QString& message);

// "AB 01 FF " — each byte as two upper-case hexadecimal digits and a space.
QString BytesToHexText(const QByteArray& bytes);
QString BytesToHexText(const unsigned char* bytes, qsizetype count);
