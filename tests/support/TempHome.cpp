#include "support/TempHome.h"

#include "core/app/DebugLog.h"

#include <QDir>

TempHome::TempHome() {
    Names = {QStringLiteral("HOME"), QStringLiteral("XDG_DATA_HOME"), QStringLiteral("XDG_CONFIG_HOME"),
             QStringLiteral("XDG_DOCUMENTS_DIR")};
    for (const QString& name : Names) {
        const QByteArray key = name.toLatin1();
        WasSet.append(qEnvironmentVariableIsSet(key.constData()));
        Saved.append(qgetenv(key.constData()));
    }
    qputenv("HOME", Dir.path().toUtf8());
    qputenv("XDG_DATA_HOME", (Dir.path() + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (Dir.path() + QStringLiteral("/.config")).toUtf8());
    qunsetenv("XDG_DOCUMENTS_DIR");
}

TempHome::~TempHome() {
    for (int i = 0; i < Names.size(); ++i) {
        const QByteArray key = Names[i].toLatin1();
        if (WasSet[i])
            qputenv(key.constData(), Saved[i]);
        else
            qunsetenv(key.constData());
    }
}

QString TempHome::appFolder() const {
    return Dir.path() + QStringLiteral("/.local/share/QUIB/Unitscope/");
}

QString TempHome::workFolder() const {
    return Dir.path() + QStringLiteral("/Documents/Unitscope");
}

LogCapture::LogCapture() {
    DebugLog& log = DebugLog::instance();
    SavedCountdown = log.countdown();
    SavedFolder = log.folder();
    log.setFolder(Dir.path() + QLatin1Char('/'));
    log.setCountdown(DebugLog::DEBUG_COUNTDOWN);
    log.setObserver([this](const QString& line) { Lines.append(line); });
}

LogCapture::~LogCapture() {
    DebugLog& log = DebugLog::instance();
    log.setObserver({});
    log.setCountdown(SavedCountdown);
    log.setFolder(SavedFolder);
}
