#pragma once

#include "cli/CliOptions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class MainClass;
class QEventLoop;
class UnitConfigHandlerClass;
class UnitInfoClass;

// Runs one command-line request against the core: it creates the application services, opens the
// carrier the options name, sends the same requests the windows send, and waits for the unit's
// answers. Every wait ends in one of three ways: what was asked for arrived; the unit left a
// request unanswered for the timeout (exit status 1); or the run was interrupted.
//
// "Answered in time" is judged request by request, not for the whole command: a device list of
// fifty pages is fine as long as each page comes within the timeout, and the pauses of a poll that
// the config handler's own timer drives do not count against the unit.
class CliSession : public QObject {
    Q_OBJECT
public:
    // A menu may come back in several packets with nothing marking the last; the answer is
    // complete once the unit has been quiet this long after a reply.
    static constexpr int SETTLE_MS = 250;
    // How often a wait looks at the clock while nothing happens.
    static constexpr int WAKE_MS = 20;
    // A paged list that is still asking for pages after this many replies is going round in
    // circles; positions are 16-bit, so no honest list gets near it.
    static constexpr int MAX_LIST_REPLIES = 70000;

    explicit CliSession(const CliOptions& options, QObject* parent = nullptr);
    ~CliSession() override;

    const CliOptions& Options() const { return Settings; }
    bool OverTcp() const { return Settings.UseTcp; }
    bool OverSerial() const { return !Settings.UseTcp && !Settings.SerialPorts.isEmpty(); }

    // Creates the services and opens the carrier: the TCP connection with --tcp, nothing yet for
    // serial ports (Scan opens them), the UDP endpoint otherwise. False on failure.
    bool Open();

    MainClass& Main() { return *Services; }
    UnitConfigHandlerClass& Handler();
    CommunicationClass& Transport();

    // --- failure ---
    bool Failed() const { return Failure.has_value(); }
    int ExitCode() const { return Failure ? *Failure : CLI_EXIT_OK; }
    const QString& ErrorText() const { return FailureText; }
    // Keeps the first failure; a running wait ends at once.
    void Fail(int exitCode, const QString& text);
    // A stop request from the terminal.
    void Interrupt();

    // --- finding units ---
    // "Scan for units" over the open carrier. Over UDP the answers are collected for the whole
    // timeout; over TCP the one unit's answer ends it. False (and failed) when nobody answered.
    bool Scan();
    // Discovery until the unit with the MAC answers; it then becomes the config handler's current
    // unit with the password, as opening it in the main window does. Over TCP an empty MAC means
    // the unit at the other end. nullptr (and failed) when it did not answer.
    UnitInfoClass* OpenUnit(const QString& mac);
    UnitInfoClass* Unit() const { return OpenedUnit; }
    // Serial devices that answered the identity request during Scan: MAC and port path.
    struct SerialDevice {
        QString Mac;
        QString Path;
    };
    const QList<SerialDevice>& SerialDevices() const { return SerialFound; }

    // --- requests to the open unit, each waiting for its answer ---
    // A menu read (RequestKeyGroup) or an input read (RequestInput): waits for the first reply
    // and then for the unit to go quiet.
    bool ReadGroup(quint16 group);
    bool ReadInput(const QString& address);
    // Sends write packets (send() gives how many it sent, or -1 when it sent nothing) and waits
    // until the unit acknowledged as many.
    bool SendWrites(const std::function<int()>& send);
    // A paged list: send() asks for the first page and the parsers ask for the next ones. The list
    // is complete when a reply carrying the key was parsed and asked for nothing further.
    bool ReadList(quint16 key, const std::function<bool()>& send);
    // Runs the event loop until done() holds, the open unit leaves a request unanswered for the
    // timeout, the connection drops, or the run is interrupted.
    bool WaitUntil(const std::function<bool()>& done);
    // What a failed wait reports when the unit leaves a request unanswered (each request operation
    // above sets its own).
    void SetNoAnswerText(const QString& text) { Expecting = text; }

    // Packets seen from the open unit so far, and the entries of the last one.
    quint64 UnitPacketCount() const { return UnitPackets; }
    // Length of the key's entry in the last config response from the open unit; -1 without one.
    int LastEntryLength(quint16 key) const;

    // The entry of the key in a sound config response: its value length, or nothing. Stays inside
    // the packet whatever its length field says.
    static std::optional<int> FindEntryLength(const QByteArray& packet, quint16 key);

private:
    void OnConfigPacket(const QByteArray& packet, const QString& senderIp, int socketType);
    void OnRequestSent();
    void OnUnitListChanged(UnitInfoClass* unit);
    void OnSerialFrame(const QByteArray& frame);
    void Wake();
    bool Counts(const QString& mac) const;
    bool OpenTcp();
    bool OpenUdp();
    bool ScanSerial();
    QString UnitName() const;

    CliOptions Settings;
    std::unique_ptr<MainClass> Services;
    bool WrapsParser = false; // config packets reach the handler through OnConfigPacket
    std::optional<int> Failure;
    QString FailureText;

    // Whose packets answer our requests: the open unit, or anyone (empty) during discovery.
    QString WatchedMac;
    // The failure text of the current wait when the unit leaves a request unanswered.
    QString Expecting;
    UnitInfoClass* OpenedUnit = nullptr;
    QSet<QString> Answered; // MACs whose config responses were parsed
    QList<SerialDevice> SerialFound;
    QString SerialPath;

    int Outstanding = 0;          // requests sent that no packet answered yet
    QElapsedTimer LastActivity;   // the last request or answer
    QElapsedTimer LastUnitPacket; // the last packet from the watched unit
    quint64 UnitPackets = 0;
    quint64 RequestsSent = 0;
    int Acks = 0;
    QByteArray LastPacket;

    quint16 ListKey = 0;
    bool ListDone = false;
    int ListReplies = 0;

    QEventLoop* Loop = nullptr;
    std::function<bool()> Condition;
    QTimer WakeTimer;
    QTimer DebugTicker;
};
