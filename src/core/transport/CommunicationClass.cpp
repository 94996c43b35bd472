#include "core/transport/CommunicationClass.h"

#include "core/app/DebugLog.h"
#include "core/transport/AddressText.h"
#include "core/transport/UdpEndpoint.h"

#include <QNetworkInterface>
#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr unsigned char CONFIG_START_BYTE = 0xB0;

bool StartsConfigPacket(const QByteArray& bytes) {
    return !bytes.isEmpty() && static_cast<unsigned char>(bytes.at(0)) == CONFIG_START_BYTE;
}

} // namespace

CommunicationClass::CommunicationClass(const UdpSettings& settings, QObject* parent)
    : QObject(parent), Udp(settings) {
    SerialPort = new QSerialPort(this);
    SerialPort->setBaudRate(SERIAL_BAUD_RATE);
    connect(SerialPort, &QSerialPort::readyRead, this, &CommunicationClass::OnSerialReadyRead);
    connect(SerialPort, &QSerialPort::errorOccurred, this, &CommunicationClass::OnSerialError);

    // The timer only runs while a batch is waiting for the line to go quiet: ticking every
    // millisecond with nothing to do would keep the machine awake for nothing.
    SerialBatchTimer = new QTimer(this);
    SerialBatchTimer->setTimerType(Qt::PreciseTimer);
    SerialBatchTimer->setInterval(SERIAL_TIMER_INTERVAL_MS);
    connect(SerialBatchTimer, &QTimer::timeout, this, &CommunicationClass::OnSerialTick);

    UdpServer = new UdpEndpoint(this);
    connect(UdpServer, &UdpEndpoint::datagramReceived, this, &CommunicationClass::OnUdpDatagram);
    connect(UdpServer, &UdpEndpoint::statusChanged, this,
            [](const QString& text) { WriteLog(QStringLiteral("UDP Status: ") + text); });
    connect(UdpServer, &UdpEndpoint::socketError, this,
            [](const QString& text) { WriteLog(QStringLiteral("UDP Exeption: ") + text); });

    TcpClient = new QTcpSocket(this);
    connect(TcpClient, &QTcpSocket::connected, this, &CommunicationClass::OnTcpConnected);
    connect(TcpClient, &QTcpSocket::disconnected, this, &CommunicationClass::OnTcpDisconnected);
    connect(TcpClient, &QTcpSocket::errorOccurred, this, &CommunicationClass::OnTcpError);
    connect(TcpClient, &QTcpSocket::readyRead, this, &CommunicationClass::OnTcpReadyRead);
}

CommunicationClass::~CommunicationClass() {
    // Closing the carriers emits their state signals; this object must not react to them
    // while it is being taken apart.
    UdpServer->disconnect(this);
    TcpClient->disconnect(this);
    SerialPort->disconnect(this);
    SerialBatchTimer->stop();
    UdpServer->Close();
    TcpClient->abort();
    SerialPort->close();
}

// ---- UDP ----

QString CommunicationClass::CurrentLocalIP() {
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                return entry.ip().toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}

QString CommunicationClass::BindErrorText(const QString& ip, const QString& systemText,
                                          bool permissionDenied) const {
    QString text =
        QStringLiteral("Unable to bind UDP port %1 on %2: %3.").arg(Udp.LocalPort).arg(ip, systemText);
    if (permissionDenied && Udp.LocalPort < 1024) {
        text += QStringLiteral(" Ports below 1024 need privilege: allow the program with "
                               "'sudo setcap cap_net_bind_service=+ep' on its executable, or use a local "
                               "port of 1024 or above.");
    }
    text += QStringLiteral(" Units cannot be found by broadcast; remote and serial connections still work.");
    return text;
}

int CommunicationClass::Bind(const std::optional<AdapterChoice>& selected) {
    if (selected) {
        WriteLog(QStringLiteral("Select Ethernet adapter: ") + selected->Description +
                 QStringLiteral(". IP: ") + selected->IP + QStringLiteral(". ComboBox->ItemIndex: ") +
                 QString::number(selected->Index));
        AdapterAddress = selected->IP;
    }
    const QString ip = AdapterAddress.isEmpty() ? CurrentLocalIP() : AdapterAddress;

    if (!BoundAddress.isEmpty()) {
        if (BoundAddress == ip)
            return 0;
        WriteLog(QStringLiteral("Rebinding UDPserver"));
        UdpServer->Close();
        BoundAddress.clear();
    }

    WriteLog(QStringLiteral("Init UDP Server. IP: ") + ip);
    QHostAddress address;
    UdpEndpoint::BindResult result;
    if (!address.setAddress(ip) || address.protocol() != QAbstractSocket::IPv4Protocol)
        result.ErrorText = QStringLiteral("not an IPv4 address");
    else
        result = UdpServer->Bind(address, Udp.LocalPort);

    if (!result.Ok) {
        const QString text = BindErrorText(ip, result.ErrorText, result.PermissionDenied);
        WriteLog(QStringLiteral("UDP Bind ERROR: ") + text);
        Q_EMIT udpBindFailed(text);
        return -1;
    }
    if (!result.ListenerErrorText.isEmpty()) {
        WriteLog(QStringLiteral("UDP Broadcast Listener ERROR: ") + result.ListenerErrorText +
                 QStringLiteral(". Replies sent by broadcast will not be heard."));
    }
    BoundAddress = ip;
    Q_EMIT udpBound(ip, UdpServer->LocalPort());
    return 1;
}

void CommunicationClass::StopUdp() {
    UdpServer->Close();
    BoundAddress.clear();
}

bool CommunicationClass::IsUdpBound() const {
    return UdpServer->IsBound();
}

QString CommunicationClass::BoundIP() const {
    return BoundAddress;
}

quint16 CommunicationClass::BoundPort() const {
    return UdpServer->LocalPort();
}

bool CommunicationClass::SendUdp(const QByteArray& bytes) {
    WriteLog(QStringLiteral("Broadcast UDP TX. Length: ") + QString::number(bytes.size()) +
             QStringLiteral(". Data: ") + BytesToHexText(bytes));
    QString error;
    if (!UdpServer->Send(bytes, QHostAddress(Udp.BroadcastAddress), Udp.RemotePort, &error)) {
        WriteLog(QStringLiteral("UDP Send ERROR: ") + error);
        return false;
    }
    return true;
}

bool CommunicationClass::SendUdpTo(const QByteArray& bytes, const QString& ip) {
    WriteLog(QStringLiteral("UDP TX. Length: ") + QString::number(bytes.size()) +
             QStringLiteral(". RemoteIP: ") + ip + QStringLiteral(". Data: ") + BytesToHexText(bytes));
    QString error;
    const QHostAddress address(ip);
    if (address.isNull()) {
        error = QStringLiteral("not an IP address");
    } else if (UdpServer->Send(bytes, address, Udp.RemotePort, &error)) {
        return true;
    }
    WriteLog(QStringLiteral("UDP Send ERROR: ") + error);
    return false;
}

void CommunicationClass::OnUdpDatagram(const QByteArray& data, const QHostAddress& sender, quint16) {
    const QString ip = HostAddressText(sender);
    WriteLog(QStringLiteral("UDP Read. RemoteIP: ") + ip + QStringLiteral(". Length: ") +
             QString::number(data.size()));
    WriteLog(QStringLiteral("UDP Data: ") + BytesToHexText(data));
    // While a unit is reached over TCP, its list is the only one shown; broadcast replies of
    // other units must not slip into it.
    if (StartsConfigPacket(data) && !IsRemoteConnectionOpen())
        Q_EMIT configPacketReceived(data, ip, SOCKET_UDP);
}

// ---- TCP ----

void CommunicationClass::Connect(const QString& host, quint16 port) {
    WriteLog(QStringLiteral("TCP Connecting. Port: ") + QString::number(port) + QStringLiteral(". Host: ") +
             host + QStringLiteral(". SourceIP: ") + AdapterAddress);
    if (TcpClient->state() != QAbstractSocket::UnconnectedState)
        TcpClient->abort();
    TcpFramer.Clear();
    TcpClient->connectToHost(host, port);
}

void CommunicationClass::Disconnect() {
    switch (TcpClient->state()) {
    case QAbstractSocket::UnconnectedState:
        return;
    case QAbstractSocket::ConnectedState:
        // Sends what is still queued, then reports through OnTcpDisconnected.
        TcpClient->disconnectFromHost();
        return;
    default:
        // Still looking up or connecting: no disconnect signal would come, so report it here.
        TcpClient->abort();
        TcpFramer.Clear();
        WriteLog(QStringLiteral("TCP Disconnected"));
        Q_EMIT tcpDisconnected();
        return;
    }
}

bool CommunicationClass::IsRemoteConnectionOpen() const {
    return TcpClient->state() != QAbstractSocket::UnconnectedState;
}

bool CommunicationClass::IsTcpConnected() const {
    return TcpClient->state() == QAbstractSocket::ConnectedState;
}

bool CommunicationClass::SendTcp(const QByteArray& bytes) {
    WriteLog(QStringLiteral("TCP TX. Length: ") + QString::number(bytes.size()) + QStringLiteral(". Data: ") +
             BytesToHexText(bytes));
    // A packet only partly taken is as good as lost: the unit cannot parse the rest.
    if (!IsTcpConnected() || TcpClient->write(bytes) != bytes.size()) {
        WriteLog(QStringLiteral("TCP Send ERROR"));
        return false;
    }
    return true;
}

void CommunicationClass::OnTcpConnected() {
    WriteLog(QStringLiteral("TCP Connected"));
    Q_EMIT tcpConnected();
}

void CommunicationClass::OnTcpDisconnected() {
    TcpFramer.Clear();
    WriteLog(QStringLiteral("TCP Disconnected"));
    Q_EMIT tcpDisconnected();
}

void CommunicationClass::OnTcpError() {
    const QAbstractSocket::SocketError error = TcpClient->error();
    // The peer closing its end is an ordinary disconnect, reported as such.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    WriteLog(QStringLiteral("TCP Error: ") + QString::number(static_cast<int>(error)));
    Q_EMIT tcpError(static_cast<int>(error), TcpClient->errorString());
}

void CommunicationClass::OnTcpReadyRead() {
    const QByteArray bytes = TcpClient->readAll();
    if (bytes.isEmpty())
        return;
    const QString ip = HostAddressText(TcpClient->peerAddress());
    WriteLog(QStringLiteral("TCP Read. Length: ") + QString::number(bytes.size()) +
             QStringLiteral(". Port: ") + QString::number(TcpClient->peerPort()) +
             QStringLiteral(". RemoteIP: ") + ip);
    WriteLog(QStringLiteral("TCP Data: ") + BytesToHexText(bytes));

    const TcpPacketFramer::Result framed = TcpFramer.Push(bytes);
    for (const QByteArray& skipped : framed.Skipped) {
        WriteLog(QStringLiteral("TCP Skipped. Length: ") + QString::number(skipped.size()) +
                 QStringLiteral(". Data: ") + BytesToHexText(skipped));
    }
    for (const QByteArray& packet : framed.Packets)
        Q_EMIT configPacketReceived(packet, ip, SOCKET_TCP);
}

bool CommunicationClass::SendConfigPacket(const QByteArray& packet, int socketType) {
    switch (socketType) {
    case SOCKET_UDP:
        return SendUdp(packet);
    case SOCKET_TCP:
        return SendTcp(packet);
    default:
        return false;
    }
}
