#include "core/transport/UdpEndpoint.h"

#include "core/transport/AddressText.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>
#include <QVariant>

namespace {

constexpr QAbstractSocket::BindMode SHARED_BIND =
    QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;

int InterfaceIndexOf(const QHostAddress& address) {
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (entry.ip().isEqual(address, QHostAddress::ConvertV4MappedToIPv4))
                return iface.index();
        }
    }
    return 0;
}

QString StateText(QAbstractSocket::SocketState state, const QUdpSocket* socket) {
    switch (state) {
    case QAbstractSocket::BoundState:
        return QStringLiteral("Bound to %1:%2")
            .arg(HostAddressText(socket->localAddress()))
            .arg(socket->localPort());
    case QAbstractSocket::ClosingState:
        return QStringLiteral("Closing");
    case QAbstractSocket::UnconnectedState:
        return QStringLiteral("Closed");
    default:
        return QStringLiteral("State %1").arg(static_cast<int>(state));
    }
}

} // namespace

UdpEndpoint::UdpEndpoint(QObject* parent) : QObject(parent) {}

UdpEndpoint::~UdpEndpoint() {
    // Closing emits state changes; nobody should hear them from a half-destroyed owner.
    if (AdapterSocket)
        AdapterSocket->disconnect(this);
    if (BroadcastListener)
        BroadcastListener->disconnect(this);
}

void UdpEndpoint::ConnectSocket(QUdpSocket* socket, bool isListener) {
    connect(socket, &QUdpSocket::readyRead, this,
            [this, socket, isListener] { ReadPending(socket, isListener); });
    connect(socket, &QUdpSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError) { Q_EMIT socketError(socket->errorString()); });
    if (!isListener) {
        connect(socket, &QUdpSocket::stateChanged, this, [this, socket](QAbstractSocket::SocketState state) {
            Q_EMIT statusChanged(StateText(state, socket));
        });
    }
}

UdpEndpoint::BindResult UdpEndpoint::Bind(const QHostAddress& address, quint16 port) {
    Close();
    BindResult result;

    AdapterSocket = new QUdpSocket(this);
    ConnectSocket(AdapterSocket, false);
    if (!AdapterSocket->bind(address, port, SHARED_BIND)) {
        result.ErrorText = AdapterSocket->errorString();
        result.PermissionDenied = AdapterSocket->error() == QAbstractSocket::SocketAccessError;
        AdapterSocket->disconnect(this);
        AdapterSocket->deleteLater();
        AdapterSocket = nullptr;
        return result;
    }
    result.Ok = true;
    AdapterInterfaceIndex = InterfaceIndexOf(address);
    EnlargeReceiveBuffer(AdapterSocket);

    // Bound to "any" already: that socket hears broadcasts itself.
    if (address == QHostAddress::AnyIPv4 || address == QHostAddress::Any)
        return result;

    BroadcastListener = new QUdpSocket(this);
    ConnectSocket(BroadcastListener, true);
    if (!BroadcastListener->bind(QHostAddress::AnyIPv4, AdapterSocket->localPort(), SHARED_BIND)) {
        result.ListenerErrorText = BroadcastListener->errorString();
        BroadcastListener->disconnect(this);
        BroadcastListener->deleteLater();
        BroadcastListener = nullptr;
    } else {
        EnlargeReceiveBuffer(BroadcastListener);
    }
    return result;
}

void UdpEndpoint::EnlargeReceiveBuffer(QUdpSocket* socket) {
    // Every unit on the LAN answers a discovery at the same moment. The kernel's default receive
    // buffer holds only a few hundred replies, so a large site would lose most of its units before
    // the event loop reads them. The kernel caps the size at net.core.rmem_max by itself.
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(RECEIVE_BUFFER_BYTES));
}

void UdpEndpoint::Close() {
    for (QUdpSocket** socket : {&BroadcastListener, &AdapterSocket}) {
        if (!*socket)
            continue;
        (*socket)->close();
        (*socket)->disconnect(this);
        (*socket)->deleteLater();
        *socket = nullptr;
    }
    AdapterInterfaceIndex = 0;
}

bool UdpEndpoint::IsBound() const {
    return AdapterSocket && AdapterSocket->state() == QAbstractSocket::BoundState;
}

QHostAddress UdpEndpoint::LocalAddress() const {
    return AdapterSocket ? AdapterSocket->localAddress() : QHostAddress();
}

quint16 UdpEndpoint::LocalPort() const {
    return AdapterSocket ? AdapterSocket->localPort() : 0;
}

bool UdpEndpoint::HearsBroadcasts() const {
    return BroadcastListener != nullptr || LocalAddress() == QHostAddress::AnyIPv4;
}

bool UdpEndpoint::Send(const QByteArray& bytes, const QHostAddress& address, quint16 port,
                       QString* errorText) {
    // An unbound socket would bind itself to a random port, where no unit's reply ever arrives.
    if (!IsBound()) {
        if (errorText)
            *errorText = QStringLiteral("UDP endpoint not bound");
        return false;
    }
    const qint64 written = AdapterSocket->writeDatagram(bytes, address, port);
    if (written != bytes.size()) {
        if (errorText)
            *errorText = AdapterSocket->errorString();
        return false;
    }
    return true;
}

void UdpEndpoint::ReadPending(QUdpSocket* socket, bool isListener) {
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            continue;
        if (isListener) {
            if (AdapterInterfaceIndex != 0 && datagram.interfaceIndex() != 0 &&
                static_cast<int>(datagram.interfaceIndex()) != AdapterInterfaceIndex)
                continue;
        }
        // Our own datagram looping back (a broadcast to our own port): it is a request, not a reply.
        if (AdapterSocket && datagram.senderPort() == AdapterSocket->localPort() &&
            datagram.senderAddress().isEqual(AdapterSocket->localAddress(),
                                             QHostAddress::ConvertV4MappedToIPv4))
            continue;
        Q_EMIT datagramReceived(datagram.data(), datagram.senderAddress(),
                                static_cast<quint16>(datagram.senderPort()));
    }
}
