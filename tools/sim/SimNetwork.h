#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QTcpServer;
class QUdpSocket;
class SimRecorder;
class SimTcpLink;
class SimUnit;

// Where the simulated units sit on the network. By default unit k (from 0) has the loopback
// address 127.0.0.(k+2) with the standard ports, so each unit is reachable on its own, as on a
// LAN, and the tool (on 127.0.0.1) sees one IP per unit.
struct SimNetworkOptions {
    QHostAddress FirstUnitAddress{QStringLiteral("127.0.0.2")}; // unit k gets this address + k
    // All units on FirstUnitAddress, e.g. the one address of a network namespace. The units then
    // share the UDP port; unit k's TCP port is TcpPort + k.
    bool SingleAddress = false;
    // Broadcasts reach only a socket bound to the any-address, so the units listen there too.
    QHostAddress ListenAddress{QHostAddress::AnyIPv4};
    quint16 UnitUdpPort = 68;      // 0: a free port, the same for every unit
    quint16 WorkstationPort = 67;  // replies go to this port; 0: to the port the request came from
    bool ReplyByBroadcast = false; // reply to BroadcastAddress instead of the sender's address
    // Units on loopback addresses use 127.255.255.255 in place of 255.255.255.255.
    QHostAddress BroadcastAddress{QHostAddress::Broadcast};
    bool EnableUdp = true;
    bool EnableTcp = true;
    quint16 TcpPort = 9095; // 0: a free port per unit
    // Bytes of an unfinished request are dropped after this much silence, so a cut packet does
    // not swallow the next one.
    int TcpIdleDropMs = 1000;

    // Loopback addresses as above, free ports for UDP and TCP, replies to whatever port asked:
    // what a test in process needs to run beside others.
    static SimNetworkOptions FreePorts() {
        SimNetworkOptions options;
        options.UnitUdpPort = 0;
        options.TcpPort = 0;
        options.WorkstationPort = 0;
        return options;
    }
};

// Carries the config protocol between the tool and the simulated units: a UDP socket on the
// any-address hears broadcasts for every unit, one UDP socket per unit address sends the replies
// from that address (and hears unicasts to it), and one TCP server per unit takes any number of
// connections. Replies pass through each unit's misbehaviour settings on the way out.
class SimNetwork : public QObject {
    Q_OBJECT
public:
    explicit SimNetwork(QObject* parent = nullptr);
    ~SimNetwork() override;

    void SetRecorder(SimRecorder* recorder) { Recorder = recorder; }
    // The units must outlive the network (or Stop() must run first).
    bool Start(const QList<SimUnit*>& units, const SimNetworkOptions& options, QString* error);
    void Stop();
    bool IsRunning() const { return Running; }

    const SimNetworkOptions& Options() const { return Config; }
    int UnitCount() const { return static_cast<int>(Units.size()); }
    QHostAddress UnitAddress(int index) const;
    quint16 UnitUdpPort() const { return UdpPort; }
    quint16 UnitTcpPort(int index) const;
    int TcpConnectionCount(int index) const;

    // Frame search in a TCP byte stream: the first complete packet with a sound length and packet
    // checksum, or where an unfinished one starts. Bytes before Start can be dropped.
    struct FrameScan {
        enum Status { None, Incomplete, Complete };
        Status Result = None;
        qsizetype Start = 0;
        qsizetype Length = 0;
    };
    static FrameScan ScanForFrame(const QByteArray& buffer);

Q_SIGNALS:
    // After a unit took a request (answered or not): for logs and tests.
    void RequestHandled(int unitIndex, const QString& carrier, int replyCount);

private:
    friend class SimTcpLink;
    struct AddressSocket {
        QHostAddress Address;
        QUdpSocket* Socket = nullptr;
        QList<int> UnitIndexes;
    };
    struct UnitEndpoint {
        SimUnit* Unit = nullptr;
        QHostAddress Address;
        AddressSocket* Udp = nullptr;
        QTcpServer* Tcp = nullptr;
        QList<SimTcpLink*> Links;
    };

    bool StartUdp(QString* error);
    bool StartTcp(QString* error);
    void ReadDatagrams(QUdpSocket* socket, const QList<int>& unitIndexes);
    void HandleDatagram(int unitIndex, const QByteArray& datagram, const QHostAddress& sender, quint16 port);
    void SendDatagrams(int unitIndex, const QList<QByteArray>& packets, const QHostAddress& destination,
                       quint16 port, int delayMs);
    void AcceptConnections(int unitIndex);
    // The replies of one unit to one request, after its misbehaviour; empty when it stays silent.
    QList<QByteArray> Answer(int unitIndex, const QByteArray& request, const QString& carrier,
                             const QString& remote);
    void RecordSent(int unitIndex, const QString& carrier, const QString& remote, const QByteArray& bytes);

    SimNetworkOptions Config;
    SimRecorder* Recorder = nullptr;
    bool Running = false;
    quint16 UdpPort = 0;
    QUdpSocket* ListenSocket = nullptr;
    std::vector<std::unique_ptr<AddressSocket>> AddressSockets;
    std::vector<UnitEndpoint> Units;
};

QString SimRemoteText(const QHostAddress& address, quint16 port);
