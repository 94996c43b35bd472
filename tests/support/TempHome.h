#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Points HOME and the XDG folders into a fresh temporary folder for the lifetime of the object,
// so tests never touch the real application or work folders.
class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    QString path() const { return Dir.path(); }
    // Where the application folder lands under this home.
    QString appFolder() const;
    QString workFolder() const;

private:
    QTemporaryDir Dir;
    QStringList Names;
    QList<QByteArray> Saved;
    QList<bool> WasSet;
};

// Collects the debug-log lines written while it lives (the countdown is kept running).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    const QStringList& lines() const { return Lines; }
    bool contains(const QString& line) const { return Lines.contains(line); }
    int count(const QString& line) const { return static_cast<int>(Lines.count(line)); }
    void clear() { Lines.clear(); }

private:
    QStringList Lines;
    int SavedCountdown;
    QString SavedFolder;
    QTemporaryDir Dir;
};
