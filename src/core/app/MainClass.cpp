#include "core/app/MainClass.h"

#include "core/app/DebugLog.h"
#include "core/protocol/UnitConfigHandlerClass.h"

#include <QDir>
#include <QStandardPaths>

MainClass* MainClass::TheInstance = nullptr;

QString MainClass::DefaultApplicationFolder() {
    // The common data folder; when the system has none we fall back to the work folder so the
    // settings file and the log still have a home.
    QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (path.isEmpty())
        return DefaultWorkFolder() + QLatin1Char('/');
    path += QStringLiteral("/QUIB");
    QDir dir;
    if (dir.exists(path) || dir.mkpath(path)) {
        path += QStringLiteral("/Unitscope");
        dir.mkpath(path);
    }
    return path + QLatin1Char('/');
}

QString MainClass::DefaultWorkFolder() {
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();
    return documents + QStringLiteral("/Unitscope");
}

MainClass::MainClass(const Options& options, QObject* parent) : QObject(parent), StartOptions(options) {
    TheInstance = this;
    AppFolder = DefaultApplicationFolder();
    DebugLog::instance().setFolder(AppFolder);

    // The program's own folder is not writable here, so files the technician works with go to
    // the work folder, which becomes the working directory.
    WorkDir = options.WorkDir.isEmpty() ? DefaultWorkFolder() : QDir(options.WorkDir).absolutePath();
    QDir().mkpath(WorkDir);
    if (!QDir::setCurrent(WorkDir))
        WriteLog(QStringLiteral("Unable to use work folder: ") + WorkDir);
}

MainClass::~MainClass() {
    // The transport goes first so nothing arrives for a handler that is being torn down.
    delete Communication;
    Communication = nullptr;
    delete Handler;
    Handler = nullptr;
    if (TheInstance == this)
        TheInstance = nullptr;
}

bool MainClass::LoadSettings() {
    SettingsValues values{ComPort, WindowSize};
    if (!SettingsFile::Load(SettingsPath(), values))
        return false;
    ComPort = values.ComPort;
    WindowSize = values.WindowSize;
    return true;
}

bool MainClass::SaveSettings(int windowSize) {
    return SettingsFile::Save(SettingsPath(), SettingsValues{ComPort, windowSize});
}

void MainClass::WriteLog(const QString& message) const {
    ::WriteLog(message);
}

void MainClass::CreateTransport() {
    if (Communication != nullptr)
        return;
    Communication = new CommunicationClass(StartOptions.Udp);
    Handler = new UnitConfigHandlerClass;
    connect(Communication, &CommunicationClass::configPacketReceived, Handler,
            &UnitConfigHandlerClass::ParseConfig);
    connect(Handler, &UnitConfigHandlerClass::sendPacket, this, &MainClass::SendHandlerPacket);
}

void MainClass::SendHandlerPacket(const QByteArray& packet, quint8 socketType, const QString& remoteIp) {
    Q_UNUSED(remoteIp);
    // Every UDP request is a broadcast: units pick theirs by the MAC in the header.
    Communication->SendConfigPacket(packet, socketType);
}

bool MainClass::SendDiscovery(const QString& password, bool overTcp) {
    if (Handler == nullptr)
        return false;
    return Handler->SendDiscovery(password,
                                  overTcp ? CommunicationClass::SOCKET_TCP : CommunicationClass::SOCKET_UDP);
}
