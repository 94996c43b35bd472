#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

class QUdpSocket;

// The UDP side of the transport: sends from one local adapter and hears the units' replies,
// whether a unit answers to our address or by broadcast.
//
// Two sockets share the local port:
// - the adapter socket, bound to the adapter's IP. Everything is sent from it, so a broadcast
//   leaves by that adapter (the bound source address picks the interface) and replies addressed
//   to us arrive on it.
// - the broadcast listener, bound to 0.0.0.0. A socket bound to one IP never sees broadcasts,
//   so without it a unit that answers by broadcast would go unheard.
// Both carry ShareAddress|ReuseAddressHint, which lets a specific and a wildcard binding coexist
// on one port; the kernel hands unicasts to the specific one and broadcasts to the wildcard one,
// so nothing arrives twice. A single 0.0.0.0 socket reading IP_PKTINFO was the alternative, but
// a socket bound to 0.0.0.0 sends its broadcasts out of whichever interface the routing table
// prefers, and choosing the adapter for sending is the point of binding to it.
//
// The listener would also hear broadcasts on every other adapter; those that arrive on another
// interface than the adapter's are dropped, as the chosen adapter's network is the one we talk to.
class UdpEndpoint : public QObject {
    Q_OBJECT
public:
    explicit UdpEndpoint(QObject* parent = nullptr);
    ~UdpEndpoint() override;

    struct BindResult {
        bool Ok = false;
        QString ErrorText; // why the adapter socket could not be bound
        bool PermissionDenied = false;
        QString ListenerErrorText; // set when only the broadcast listener failed (replies by
                                   // broadcast are then not heard; everything else works)
    };

    // Closes any earlier binding, then binds both sockets. Port 0 lets the system choose a port;
    // the listener then takes the same one.
    BindResult Bind(const QHostAddress& address, quint16 port);
    void Close();

    bool IsBound() const;
    QHostAddress LocalAddress() const;
    quint16 LocalPort() const;
    bool HearsBroadcasts() const;

    // Sends one datagram from the adapter socket; false with *errorText set when it failed.
    bool Send(const QByteArray& bytes, const QHostAddress& address, quint16 port, QString* errorText);

Q_SIGNALS:
    // One datagram from a peer (never one of our own, never twice).
    void datagramReceived(const QByteArray& data, const QHostAddress& sender, quint16 senderPort);
    void statusChanged(const QString& text);
    void socketError(const QString& text);

private:
    static constexpr int RECEIVE_BUFFER_BYTES = 4 * 1024 * 1024;
    static void EnlargeReceiveBuffer(QUdpSocket* socket);
    void ReadPending(QUdpSocket* socket, bool isListener);
    void ConnectSocket(QUdpSocket* socket, bool isListener);

    QUdpSocket* AdapterSocket = nullptr;
    QUdpSocket* BroadcastListener = nullptr;
    int AdapterInterfaceIndex = 0; // 0 when unknown: then nothing is dropped by interface
};
