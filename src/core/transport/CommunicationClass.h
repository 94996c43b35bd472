#pragma once

#include "core/transport/SerialBatchBuffer.h"
#include "core/transport/TcpPacketFramer.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <optional>

class QTcpSocket;
class QTimer;
class UdpEndpoint;

// The program's three carriers to units: a UDP endpoint on one local adapter, a TCP client for a
// unit reached by host name, and a serial port for a wireless device on a cable. It sends the
// byte buffers the config handler built, logs every byte sent and received, and hands on what
// arrives. One instance, owned by MainClass; everything runs on the event-loop thread.
//
// Signals (the config handler, the main window and the command-line front end connect to these):
//   configPacketReceived(packet, senderIp, socketType)
//       one config packet starting with 0xB0: each UDP datagram (socketType SOCKET_UDP; not while
//       a remote TCP connection is open) and each complete packet framed from the TCP stream
//       (SOCKET_TCP). senderIp is dotted IPv4 text.
//   serialFrameReceived(frame)  a serial reply frame: item type, 16-bit little-endian value
//                               length L, L value bytes (L + 3 bytes in all).
//   serialTextLine(text)        one debug text line of the serial device, without CR/LF.
//   tcpConnected()              the TCP connection is up (the owner sends discovery over it).
//   tcpDisconnected()           an open TCP connection was closed, by either side.
//   tcpError(code, text)        connecting failed or an open connection broke; code is the
//                               QAbstractSocket::SocketError number that "TCP Error: " logs. The
//                               connection is closed afterwards; no tcpDisconnected follows when
//                               it never came up.
//   udpBound(ip, port)          the UDP endpoint was (re)bound.
//   udpBindFailed(text)         binding failed; text says why and what to do. TCP and serial
//                               stay usable; UDP sends fail until a later Bind succeeds.
//   serialOpened(path)          the serial port is open.
//   serialError(text)           opening, reading or writing the serial port failed; for a
//                               permission problem text explains the fix.
class CommunicationClass : public QObject {
    Q_OBJECT
public:
    // SocketType of a unit record: the carrier of its last packet.
    static constexpr int SOCKET_UDP = 0;
    static constexpr int SOCKET_TCP = 1;
    static constexpr int SOCKET_SERIAL = 2;

    static constexpr quint16 DEFAULT_UDP_LOCAL_PORT = 67;
    static constexpr quint16 DEFAULT_UDP_REMOTE_PORT = 68;
    static constexpr quint16 DEFAULT_TCP_PORT = 9095;
    static constexpr qint32 SERIAL_BAUD_RATE = 115200;
    static constexpr int SERIAL_TIMER_INTERVAL_MS = 1;

    struct UdpSettings {
        quint16 LocalPort = DEFAULT_UDP_LOCAL_PORT;   // where replies arrive; 0 lets the system choose
        quint16 RemotePort = DEFAULT_UDP_REMOTE_PORT; // where the units listen
        QString BroadcastAddress = QStringLiteral("255.255.255.255");
    };

    // The adapter chosen in the main window's "Local IP:" box.
    struct AdapterChoice {
        QString Description;
        QString IP;
        int Index = -1; // position in the box
    };

    explicit CommunicationClass(const UdpSettings& settings, QObject* parent = nullptr);
    explicit CommunicationClass(QObject* parent = nullptr) : CommunicationClass(UdpSettings{}, parent) {}
    ~CommunicationClass() override;

    // ---- UDP ----
    // Binds the UDP endpoint to the chosen adapter (none chosen: the adapter IP stays as it was,
    // and while it is empty the machine's current local IP is used). Returns 1 when the
    // endpoint was (re)bound, 0 when it was already bound to that IP, -1 when binding failed
    // (udpBindFailed has been emitted). The owner calls it once after construction and again
    // whenever the user picks another adapter.
    int Bind(const std::optional<AdapterChoice>& selected = std::nullopt);
    // Closes the UDP endpoint (the main window is closing).
    void StopUdp();
    bool IsUdpBound() const;
    const QString& AdapterIP() const { return AdapterAddress; }
    QString BoundIP() const;
    quint16 BoundPort() const;
    const UdpSettings& Settings() const { return Udp; }
    // Broadcasts one datagram to the broadcast address and the units' port; units pick out
    // their packets by the MAC in the header.
    bool SendUdp(const QByteArray& bytes);
    // Sends one datagram to one unit's IP on the units' port.
    bool SendUdpTo(const QByteArray& bytes, const QString& ip);
    // The first IPv4 address of an up, non-loopback interface; "127.0.0.1" when there is none.
    static QString CurrentLocalIP();

    // ---- TCP ----
    // Opens the TCP client to host:port (an open or pending connection is dropped first).
    void Connect(const QString& host, quint16 port = DEFAULT_TCP_PORT);
    // Closes the TCP client; tcpDisconnected follows when a connection was open or pending.
    void Disconnect();
    // The client is connecting or connected: UDP replies are then not handed on.
    bool IsRemoteConnectionOpen() const;
    bool IsTcpConnected() const;
    bool SendTcp(const QByteArray& bytes);

    // Sends a config packet by the SocketType of the unit it is for: SOCKET_UDP broadcasts,
    // SOCKET_TCP goes on the open connection. Serial devices take frames, not config packets
    // (SendSerial), so any other type sends nothing and returns false.
    bool SendConfigPacket(const QByteArray& packet, int socketType);

    // ---- Serial ----
    // Ports to offer besides those the system lists (pseudo-terminals are never listed).
    void SetExtraSerialPorts(const QStringList& paths) { ExtraSerialPorts = paths; }
    // System locations of the available ports and the extra ones, sorted, without repeats;
    // "COMn" in the main window is entry n (1-based).
    QStringList SerialPortList() const;
    // Opens entry n of SerialPortList(); switches from a port that is already open.
    bool OpenSerial(int n);
    bool OpenSerialPath(const QString& path);
    void CloseSerial();
    bool IsSerialOpen() const;
    QString SerialPortPath() const;
    bool SendSerial(const QByteArray& bytes);
    // The message for a port that would not open; a permission problem names the fix.
    static QString SerialOpenErrorText(const QString& path, QSerialPort::SerialPortError error,
                                       const QString& systemText);

Q_SIGNALS:
    void configPacketReceived(const QByteArray& packet, const QString& senderIp, int socketType);
    void serialFrameReceived(const QByteArray& frame);
    void serialTextLine(const QString& text);
    void tcpConnected();
    void tcpDisconnected();
    void tcpError(int code, const QString& text);
    void udpBound(const QString& ip, quint16 port);
    void udpBindFailed(const QString& text);
    void serialOpened(const QString& path);
    void serialError(const QString& text);

private:
    void OnUdpDatagram(const QByteArray& data, const QHostAddress& sender, quint16 senderPort);
    void OnTcpConnected();
    void OnTcpDisconnected();
    void OnTcpError();
    void OnTcpReadyRead();
    void OnSerialReadyRead();
    void OnSerialError(QSerialPort::SerialPortError error);
    void OnSerialTick();
    void ParseSerialBatch(const QByteArray& batch);
    QString BindErrorText(const QString& ip, const QString& systemText, bool permissionDenied) const;

    UdpSettings Udp;
    QString AdapterAddress;
    QString BoundAddress; // IP of the current binding; empty when there is none
    UdpEndpoint* UdpServer = nullptr;

    QTcpSocket* TcpClient = nullptr;
    TcpPacketFramer TcpFramer;

    QSerialPort* SerialPort = nullptr;
    QTimer* SerialBatchTimer = nullptr;
    SerialBatchBuffer SerialBatch;
    QStringList ExtraSerialPorts;
    QString SerialPath; // the open port's path; empty while closed
};
