#pragma once

#include "core/app/SettingsFile.h"
#include "core/transport/CommunicationClass.h"

#include <QObject>
#include <QString>

// Application services shared by every part of the program: the application folder with the
// settings file and the debug log, and the work folder where exports, downloads and backups go.
// One instance, created first by the main window (or the command-line front end) and reachable
// through MainClass::Instance().
class UnitConfigHandlerClass;

class MainClass : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString WorkDir; // empty: the default work folder
        CommunicationClass::UdpSettings Udp;
    };

    explicit MainClass(const Options& options, QObject* parent = nullptr);
    explicit MainClass(QObject* parent = nullptr) : MainClass(Options{}, parent) {}
    ~MainClass() override;

    static MainClass* Instance() { return TheInstance; }

    // Folder of "Unitscope.cfg" and "IPDebug.log", with a trailing '/'.
    const QString& ApplicationFolder() const { return AppFolder; }
    // Folder for files the technician works with; it is the process's working directory.
    const QString& WorkFolder() const { return WorkDir; }

    int ComPort = 0;
    int WindowSize = 0;

    // Reads "Unitscope.cfg"; false when it could not be read (defaults stay).
    bool LoadSettings();
    // Writes "Unitscope.cfg" from ComPort and the unit window's state.
    bool SaveSettings(int windowSize);
    void WriteLog(const QString& message) const;

    // Creates the transport and then the config handler and joins them: packets the handler builds
    // go out by the carrier it names, config packets that arrive go to the handler. The UDP
    // endpoint is not bound yet; the owner binds it once it knows the adapter.
    void CreateTransport();
    CommunicationClass& Transport() { return *Communication; }
    UnitConfigHandlerClass& ConfigHandler() { return *Handler; }
    bool HasTransport() const { return Communication != nullptr; }

    // The discovery read, over the open TCP connection or as a UDP broadcast.
    bool SendDiscovery(const QString& password, bool overTcp);

    QString SettingsPath() const { return AppFolder + SettingsFile::FILE_NAME; }

    // Where the application and work folders land without overrides.
    static QString DefaultApplicationFolder();
    static QString DefaultWorkFolder();

private:
    static MainClass* TheInstance;
    void SendHandlerPacket(const QByteArray& packet, quint8 socketType, const QString& remoteIp);

    Options StartOptions;
    QString AppFolder;
    QString WorkDir;
    CommunicationClass* Communication = nullptr;
    UnitConfigHandlerClass* Handler = nullptr;
};
