#include "sim/SimNetwork.h"

#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/protocol/MacText.h"
#include "sim/SimRecorder.h"
#include "sim/SimUnit.h"

#include <QNetworkDatagram>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <utility>

namespace {

// A request stream that grows past this without holding a packet is noise; it is thrown away.
constexpr qsizetype MAX_TCP_BUFFER = 1024 * 1024;

const QString CARRIER_UDP = QStringLiteral("udp");
const QString CARRIER_TCP = QStringLiteral("tcp");

} // namespace

QString SimRemoteText(const QHostAddress& address, quint16 port) {
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    const QString host = isIpv4 ? QHostAddress(ipv4).toString() : address.toString();
    return host + QLatin1Char(':') + QString::number(port);
}

// One TCP connection to one unit: reassembles requests from the stream and writes the replies in
// order, with the delays, splits and joins the unit's misbehaviour asks for.
class SimTcpLink : public QObject {
public:
    SimTcpLink(SimNetwork* network, int unitIndex, QTcpSocket* socket)
        : QObject(network), Network(network), UnitIndex(unitIndex), Socket(socket) {
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        Remote = SimRemoteText(socket->peerAddress(), socket->peerPort());
        Idle.setSingleShot(true);
        Pump.setSingleShot(true);
        Flush.setSingleShot(true);
        connect(socket, &QTcpSocket::readyRead, this, [this] { OnReadyRead(); });
        connect(&Idle, &QTimer::timeout, this, [this] { Buffer.clear(); });
        connect(&Pump, &QTimer::timeout, this, [this] { PumpQueue(); });
        connect(&Flush, &QTimer::timeout, this, [this] {
            if (!Held.isEmpty()) {
                Queue.append(Write{0, Held});
                Held.clear();
                PumpQueue();
            }
        });
    }

    QTcpSocket* socket() const { return Socket; }

private:
    struct Write {
        int WaitMs = 0;
        QByteArray Bytes;
    };

    void OnReadyRead() {
        Buffer += Socket->readAll();
        if (Buffer.size() > MAX_TCP_BUFFER)
            Buffer.clear();
        for (;;) {
            const SimNetwork::FrameScan scan = SimNetwork::ScanForFrame(Buffer);
            if (scan.Result == SimNetwork::FrameScan::None) {
                Buffer.clear();
                Idle.stop();
                return;
            }
            if (scan.Result == SimNetwork::FrameScan::Incomplete) {
                Buffer.remove(0, scan.Start);
                Idle.start(Network->Config.TcpIdleDropMs);
                return;
            }
            const QByteArray frame = Buffer.mid(scan.Start, scan.Length);
            Buffer.remove(0, scan.Start + scan.Length);
            Idle.stop();
            Enqueue(Network->Answer(UnitIndex, frame, CARRIER_TCP, Remote));
            if (Buffer.isEmpty())
                return;
        }
    }

    void Enqueue(const QList<QByteArray>& packets) {
        if (packets.isEmpty())
            return;
        const SimMisbehaviourSettings& settings = Network->Units[UnitIndex].Unit->Misbehaviour.Settings();
        QList<QByteArray> writes;
        if (settings.CoalesceTcpReplies) {
            for (const QByteArray& packet : packets) {
                if (Held.isEmpty()) {
                    Held = packet;
                } else {
                    writes.append(Held + packet);
                    Held.clear();
                }
            }
            if (Held.isEmpty())
                Flush.stop();
            else
                Flush.start(settings.CoalesceFlushMs);
        } else {
            writes = packets;
        }
        int wait = settings.DelayMs;
        for (const QByteArray& bytes : writes) {
            const QList<QByteArray> pieces =
                Network->Units[UnitIndex].Unit->Misbehaviour.SplitForStream(bytes);
            for (int i = 0; i < pieces.size(); ++i) {
                Queue.append(Write{i == 0 ? wait : settings.SplitGapMs, pieces[i]});
                wait = 0;
            }
        }
        PumpQueue();
    }

    void PumpQueue() {
        while (!Queue.isEmpty()) {
            if (Pump.isActive())
                return;
            Write& head = Queue.first();
            if (head.WaitMs > 0) {
                Pump.start(head.WaitMs);
                head.WaitMs = 0;
                return;
            }
            if (Socket->state() == QAbstractSocket::ConnectedState) {
                Socket->write(head.Bytes);
                // Hand the reply to the kernel at once: waiting for the next turn of the loop costs
                // a whole wake-up per request, and the pieces of a split reply must leave as
                // separate writes anyway.
                Socket->flush();
                Network->RecordSent(UnitIndex, CARRIER_TCP, Remote, head.Bytes);
            }
            Queue.removeFirst();
        }
    }

    SimNetwork* Network;
    int UnitIndex;
    QTcpSocket* Socket;
    QString Remote;
    QByteArray Buffer;
    QList<Write> Queue;
    QByteArray Held; // a reply waiting for a second one to share its write
    QTimer Idle;
    QTimer Pump;
    QTimer Flush;
};

SimNetwork::SimNetwork(QObject* parent) : QObject(parent) {}

SimNetwork::~SimNetwork() {
    Stop();
}

SimNetwork::FrameScan SimNetwork::ScanForFrame(const QByteArray& buffer) {
    FrameScan pending;
    for (qsizetype start = buffer.indexOf(static_cast<char>(CONFIG_START_BYTE)); start >= 0;
         start = buffer.indexOf(static_cast<char>(CONFIG_START_BYTE), start + 1)) {
        const qsizetype available = buffer.size() - start;
        if (available < CONFIG_HEADER_SIZE) {
            if (pending.Result == FrameScan::None)
                pending = FrameScan{FrameScan::Incomplete, start, 0};
            continue;
        }
        const int payloadLength = ConfigEnvelopeClass::PayloadLength(buffer.mid(start, CONFIG_HEADER_SIZE));
        if (payloadLength < CONFIG_MIN_PAYLOAD_LENGTH)
            continue;
        const qsizetype length = payloadLength + CONFIG_ENVELOPE_OVERHEAD;
        if (available < length) {
            if (pending.Result == FrameScan::None)
                pending = FrameScan{FrameScan::Incomplete, start, length};
            continue;
        }
        // A later start that makes a sound packet wins over an earlier one still waiting for
        // bytes: the earlier one was a cut or lying packet.
        if (ConfigEnvelopeClass::VerifyConfigPacketChecksum(buffer.mid(start, length), length) == 1)
            return FrameScan{FrameScan::Complete, start, length};
    }
    return pending;
}

QHostAddress SimNetwork::UnitAddress(int index) const {
    if (index < 0 || index >= UnitCount())
        return {};
    return Units[static_cast<size_t>(index)].Address;
}

quint16 SimNetwork::UnitTcpPort(int index) const {
    if (index < 0 || index >= UnitCount() || Units[static_cast<size_t>(index)].Tcp == nullptr)
        return 0;
    return Units[static_cast<size_t>(index)].Tcp->serverPort();
}

int SimNetwork::TcpConnectionCount(int index) const {
    if (index < 0 || index >= UnitCount())
        return 0;
    return static_cast<int>(Units[static_cast<size_t>(index)].Links.size());
}

bool SimNetwork::Start(const QList<SimUnit*>& units, const SimNetworkOptions& options, QString* error) {
    Stop();
    Config = options;
    const quint32 first = options.FirstUnitAddress.toIPv4Address();
    for (int k = 0; k < units.size(); ++k) {
        UnitEndpoint endpoint;
        endpoint.Unit = units[k];
        if (!units[k]->Address.isEmpty())
            endpoint.Address = QHostAddress(units[k]->Address);
        else
            endpoint.Address = QHostAddress(options.SingleAddress ? first : first + static_cast<quint32>(k));
        Units.push_back(endpoint);
    }
    Running = true;
    if ((options.EnableUdp && !StartUdp(error)) || (options.EnableTcp && !StartTcp(error))) {
        Stop();
        return false;
    }
    return true;
}

bool SimNetwork::StartUdp(QString* error) {
    const auto shared = QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;
    ListenSocket = new QUdpSocket(this);
    if (!ListenSocket->bind(Config.ListenAddress, Config.UnitUdpPort, shared)) {
        if (error != nullptr)
            *error = QStringLiteral("Cannot listen for broadcasts on %1: %2")
                         .arg(SimRemoteText(Config.ListenAddress, Config.UnitUdpPort),
                              ListenSocket->errorString());
        return false;
    }
    UdpPort = ListenSocket->localPort();
    QList<int> everyUnit;
    for (int k = 0; k < UnitCount(); ++k)
        everyUnit.append(k);
    connect(ListenSocket, &QUdpSocket::readyRead, this,
            [this, everyUnit] { ReadDatagrams(ListenSocket, everyUnit); });

    for (int k = 0; k < UnitCount(); ++k) {
        UnitEndpoint& endpoint = Units[static_cast<size_t>(k)];
        AddressSocket* owner = nullptr;
        for (const auto& candidate : AddressSockets) {
            if (candidate->Address == endpoint.Address)
                owner = candidate.get();
        }
        if (owner == nullptr) {
            auto created = std::make_unique<AddressSocket>();
            created->Address = endpoint.Address;
            created->Socket = new QUdpSocket(this);
            if (!created->Socket->bind(endpoint.Address, UdpPort, shared)) {
                if (error != nullptr)
                    *error =
                        QStringLiteral(
                            "Cannot bind the unit address %1: %2 (every 127.x.y.z address works on "
                            "Linux; another address must belong to an interface)")
                            .arg(SimRemoteText(endpoint.Address, UdpPort), created->Socket->errorString());
                return false;
            }
            AddressSocket* raw = created.get();
            connect(raw->Socket, &QUdpSocket::readyRead, this,
                    [this, raw] { ReadDatagrams(raw->Socket, raw->UnitIndexes); });
            AddressSockets.push_back(std::move(created));
            owner = raw;
        }
        owner->UnitIndexes.append(k);
        endpoint.Udp = owner;
    }
    return true;
}

bool SimNetwork::StartTcp(QString* error) {
    for (int k = 0; k < UnitCount(); ++k) {
        UnitEndpoint& endpoint = Units[static_cast<size_t>(k)];
        // Units sharing an address take the ports after the first one's.
        int sharing = 0;
        for (int j = 0; j < k; ++j) {
            if (Units[static_cast<size_t>(j)].Address == endpoint.Address)
                ++sharing;
        }
        const quint16 port = Config.TcpPort == 0 ? 0 : static_cast<quint16>(Config.TcpPort + sharing);
        endpoint.Tcp = new QTcpServer(this);
        if (!endpoint.Tcp->listen(endpoint.Address, port)) {
            if (error != nullptr)
                *error = QStringLiteral("Cannot listen for TCP on %1: %2")
                             .arg(SimRemoteText(endpoint.Address, port), endpoint.Tcp->errorString());
            return false;
        }
        connect(endpoint.Tcp, &QTcpServer::newConnection, this, [this, k] { AcceptConnections(k); });
    }
    return true;
}

void SimNetwork::Stop() {
    for (UnitEndpoint& endpoint : Units) {
        const QList<SimTcpLink*> links = std::exchange(endpoint.Links, {});
        for (SimTcpLink* link : links) {
            link->socket()->disconnect(this); // no "disconnected" bookkeeping while tearing down
            link->socket()->abort();
            delete link;
        }
        delete endpoint.Tcp;
    }
    Units.clear();
    for (const auto& owner : AddressSockets)
        delete owner->Socket;
    AddressSockets.clear();
    delete ListenSocket;
    ListenSocket = nullptr;
    UdpPort = 0;
    Running = false;
}

void SimNetwork::ReadDatagrams(QUdpSocket* socket, const QList<int>& unitIndexes) {
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid())
            continue;
        for (const int index : unitIndexes)
            HandleDatagram(index, datagram.data(), datagram.senderAddress(),
                           static_cast<quint16>(datagram.senderPort()));
    }
}

void SimNetwork::HandleDatagram(int unitIndex, const QByteArray& datagram, const QHostAddress& sender,
                                quint16 port) {
    const QList<QByteArray> replies = Answer(unitIndex, datagram, CARRIER_UDP, SimRemoteText(sender, port));
    if (replies.isEmpty())
        return;
    bool isIpv4 = false;
    const quint32 ipv4 = sender.toIPv4Address(&isIpv4);
    QHostAddress destination =
        Config.ReplyByBroadcast ? Config.BroadcastAddress : (isIpv4 ? QHostAddress(ipv4) : sender);
    // A unit on a loopback address broadcasts on loopback only, never out of a real interface.
    if (destination == QHostAddress(QHostAddress::Broadcast) &&
        Units[static_cast<size_t>(unitIndex)].Address.isLoopback())
        destination = QHostAddress(QStringLiteral("127.255.255.255"));
    const quint16 destinationPort = Config.WorkstationPort != 0 ? Config.WorkstationPort : port;
    const int delay = Units[static_cast<size_t>(unitIndex)].Unit->Misbehaviour.Settings().DelayMs;
    SendDatagrams(unitIndex, replies, destination, destinationPort, delay);
}

void SimNetwork::SendDatagrams(int unitIndex, const QList<QByteArray>& packets,
                               const QHostAddress& destination, quint16 port, int delayMs) {
    QPointer<QUdpSocket> socket = Units[static_cast<size_t>(unitIndex)].Udp->Socket;
    auto send = [this, unitIndex, packets, destination, port, socket] {
        if (socket.isNull())
            return;
        const QString remote = SimRemoteText(destination, port);
        for (const QByteArray& packet : packets) {
            socket->writeDatagram(packet, destination, port);
            RecordSent(unitIndex, CARRIER_UDP, remote, packet);
        }
    };
    if (delayMs > 0)
        QTimer::singleShot(delayMs, socket.data(), send);
    else
        send();
}

void SimNetwork::AcceptConnections(int unitIndex) {
    UnitEndpoint& endpoint = Units[static_cast<size_t>(unitIndex)];
    while (endpoint.Tcp->hasPendingConnections()) {
        QTcpSocket* socket = endpoint.Tcp->nextPendingConnection();
        auto* link = new SimTcpLink(this, unitIndex, socket);
        endpoint.Links.append(link);
        connect(socket, &QTcpSocket::disconnected, this, [this, unitIndex, link] {
            if (unitIndex < UnitCount())
                Units[static_cast<size_t>(unitIndex)].Links.removeAll(link);
            link->deleteLater();
        });
    }
}

QList<QByteArray> SimNetwork::Answer(int unitIndex, const QByteArray& request, const QString& carrier,
                                     const QString& remote) {
    SimUnit& unit = *Units[static_cast<size_t>(unitIndex)].Unit;
    const QString mac = unit.MacText();
    if (unit.Misbehaviour.IsSilent()) {
        // A unit that stopped answering still hears what is meant for it.
        const QByteArray target = request.mid(CONFIG_MAC_OFFSET, MAC_BYTES);
        if (Recorder != nullptr && (target == unit.Mac() || target == QByteArray(MAC_BYTES, '\xFF')))
            Recorder->record(SimRecord::Received, mac, carrier, remote, request);
        return {};
    }
    const QList<QByteArray> replies = unit.HandleRequest(request);
    if (Recorder != nullptr && !unit.LastRequestWasForAnotherUnit())
        Recorder->record(SimRecord::Received, mac, carrier, remote, request);
    if (!replies.isEmpty())
        unit.Misbehaviour.AcceptRequest();
    Q_EMIT RequestHandled(unitIndex, carrier, static_cast<int>(replies.size()));
    return unit.Misbehaviour.ApplyToReplies(replies);
}

void SimNetwork::RecordSent(int unitIndex, const QString& carrier, const QString& remote,
                            const QByteArray& bytes) {
    if (Recorder == nullptr || unitIndex >= UnitCount())
        return;
    Recorder->record(SimRecord::Sent, Units[static_cast<size_t>(unitIndex)].Unit->MacText(), carrier, remote,
                     bytes);
}
