#include "cli/CliSession.h"

#include "core/app/DebugLog.h"
#include "core/app/MainClass.h"
#include "core/protocol/ByteReader.h"
#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/protocol/MacText.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"

#include <QEventLoop>

namespace {

// Scan asks a serial device who it is, again every second until it answers, as the main window's
// serial detection does.
const QByteArray SERIAL_IDENTITY_REQUEST = QByteArray::fromHex("11010000");
constexpr int SERIAL_IDENTITY_ITEM = 1;
constexpr int SERIAL_FRAME_HEADER = 3; // item type, 16-bit little-endian value length
constexpr int SERIAL_RETRY_MS = 1000;

QString Seconds(int ms) {
    return QString::number(ms / 1000.0, 'g', 4) + QStringLiteral(" s");
}

QString GroupText(quint16 group) {
    return QStringLiteral("0x") + QStringLiteral("%1").arg(group, 4, 16, QLatin1Char('0')).toUpper();
}

// Units answer a discovery whatever the password, and ignore every other request that does not
// carry theirs, so an opened unit that goes silent most often means a wrong password.
const QString PASSWORD_HINT =
    QStringLiteral(" A unit ignores requests that do not carry its password (--password).");

} // namespace

CliSession::CliSession(const CliOptions& options, QObject* parent) : QObject(parent), Settings(options) {
    WakeTimer.setInterval(WAKE_MS);
    connect(&WakeTimer, &QTimer::timeout, this, &CliSession::Wake);
    // The main window runs the debug countdown down once a second; --debug-log keeps it for the run.
    DebugTicker.setInterval(1000);
    connect(&DebugTicker, &QTimer::timeout, this, [] { DebugLog::instance().tick(); });
    LastActivity.start();
    LastUnitPacket.start();
}

CliSession::~CliSession() {
    if (Services && Services->HasTransport()) {
        Transport().disconnect(this);
        Handler().disconnect(this);
    }
    Services.reset();
}

UnitConfigHandlerClass& CliSession::Handler() {
    return Services->ConfigHandler();
}

CommunicationClass& CliSession::Transport() {
    return Services->Transport();
}

// ---- opening -----------------------------------------------------------------------------------

bool CliSession::Open() {
    if (Settings.DebugLog)
        DebugLog::instance().setCountdown(DebugLog::DEBUG_COUNTDOWN);
    else
        DebugTicker.start();

    Services = std::make_unique<MainClass>(MainClass::Options{Settings.WorkDir, Settings.Udp});
    Services->CreateTransport();
    CommunicationClass& transport = Transport();
    UnitConfigHandlerClass& handler = Handler();

    // Packets reach the handler through this session, so it can tell whether parsing a reply
    // made the handler ask for more (the next page of a list).
    WrapsParser = QObject::disconnect(&transport, &CommunicationClass::configPacketReceived, &handler,
                                      &UnitConfigHandlerClass::ParseConfig);
    connect(&transport, &CommunicationClass::configPacketReceived, this, &CliSession::OnConfigPacket);
    connect(&handler, &UnitConfigHandlerClass::sendPacket, this, &CliSession::OnRequestSent);
    connect(&handler, &UnitConfigHandlerClass::unitListChanged, this, &CliSession::OnUnitListChanged);
    connect(&handler, &UnitConfigHandlerClass::writeAcknowledged, this, [this](UnitInfoClass* unit) {
        if (unit != nullptr && Counts(unit->Mac))
            ++Acks;
        Wake();
    });
    connect(&transport, &CommunicationClass::serialFrameReceived, this, &CliSession::OnSerialFrame);

    if (Settings.UseTcp)
        return OpenTcp();
    if (!Settings.SerialPorts.isEmpty()) {
        transport.SetExtraSerialPorts(Settings.SerialPorts);
        return true;
    }
    return OpenUdp();
}

bool CliSession::OpenTcp() {
    CommunicationClass& transport = Transport();
    const QString where = Settings.TcpHost + QLatin1Char(':') + QString::number(Settings.TcpPort);
    bool connected = false;
    connect(&transport, &CommunicationClass::tcpConnected, this, [this, &connected] {
        connected = true;
        Outstanding = 0;
        Wake();
    });
    connect(&transport, &CommunicationClass::tcpError, this, [this, where](int, const QString& text) {
        Fail(CLI_EXIT_NO_ANSWER, QStringLiteral("Could not reach %1: %2.").arg(where, text));
    });
    connect(&transport, &CommunicationClass::tcpDisconnected, this, [this, where] {
        Fail(CLI_EXIT_NO_ANSWER, QStringLiteral("The connection to %1 was closed.").arg(where));
    });

    WriteLog(QStringLiteral("Remote Connect: ") + Settings.TcpHost);
    WriteLog(QStringLiteral("TCP Connect: ") + Settings.TcpHost);
    Expecting = QStringLiteral("Could not connect to %1 within %2.").arg(where, Seconds(Settings.TimeoutMs));
    Outstanding = 1; // the connection attempt
    LastActivity.restart();
    transport.Connect(Settings.TcpHost, Settings.TcpPort);
    const bool ok = WaitUntil([&connected] { return connected; });
    // Later signals must not touch the local flag.
    disconnect(&transport, &CommunicationClass::tcpConnected, this, nullptr);
    return ok;
}

bool CliSession::OpenUdp() {
    CommunicationClass& transport = Transport();
    QString bindError;
    const QMetaObject::Connection failed = connect(&transport, &CommunicationClass::udpBindFailed, this,
                                                   [&bindError](const QString& text) { bindError = text; });
    std::optional<CommunicationClass::AdapterChoice> adapter;
    if (!Settings.Adapter.isEmpty())
        adapter = CommunicationClass::AdapterChoice{QStringLiteral("command line"), Settings.Adapter, 0};
    const int bound = transport.Bind(adapter);
    disconnect(failed);
    if (bound < 0) {
        Fail(CLI_EXIT_NO_ANSWER,
             bindError.isEmpty() ? QStringLiteral("Unable to bind the UDP port.") : bindError);
        return false;
    }
    return true;
}

// ---- failure -----------------------------------------------------------------------------------

void CliSession::Fail(int exitCode, const QString& text) {
    if (Failure)
        return;
    Failure = exitCode;
    FailureText = text;
    if (Loop != nullptr)
        Loop->quit();
}

void CliSession::Interrupt() {
    Fail(CLI_EXIT_NO_ANSWER, QStringLiteral("Interrupted."));
}

// ---- discovery ---------------------------------------------------------------------------------

bool CliSession::Scan() {
    if (OverSerial())
        return ScanSerial();
    // A scan in the main window stops the start-up logging unless debugging was switched on.
    if (DebugLog::instance().countdown() < DebugLog::START_COUNTDOWN)
        DebugLog::instance().setCountdown(0);
    Handler().ClearUnits();
    Answered.clear();
    WatchedMac.clear();

    if (OverTcp()) {
        Expecting = QStringLiteral("The unit at %1:%2 did not answer the discovery within %3.")
                        .arg(Settings.TcpHost)
                        .arg(Settings.TcpPort)
                        .arg(Seconds(Settings.TimeoutMs));
        Main().SendDiscovery(Settings.Password, true);
        return WaitUntil([this] { return !Answered.isEmpty(); });
    }

    // Any number of units may answer a broadcast, so the whole timeout is theirs.
    Main().SendDiscovery(Settings.Password, false);
    Outstanding = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    const int timeout = Settings.TimeoutMs;
    if (!WaitUntil([&elapsed, timeout] { return elapsed.elapsed() >= timeout; }))
        return false;
    if (Answered.isEmpty()) {
        Fail(CLI_EXIT_NO_ANSWER,
             QStringLiteral("No unit answered the discovery within %1.").arg(Seconds(timeout)));
        return false;
    }
    return true;
}

bool CliSession::ScanSerial() {
    CommunicationClass& transport = Transport();
    QString openError;
    const QMetaObject::Connection errors = connect(&transport, &CommunicationClass::serialError, this,
                                                   [&openError](const QString& text) { openError = text; });
    QTimer retry;
    retry.setInterval(SERIAL_RETRY_MS);
    connect(&retry, &QTimer::timeout, this, [&transport] { transport.SendSerial(SERIAL_IDENTITY_REQUEST); });

    bool ok = true;
    for (const QString& path : Settings.SerialPorts) {
        openError.clear();
        if (!transport.OpenSerialPath(path)) {
            Fail(CLI_EXIT_NO_ANSWER,
                 openError.isEmpty() ? QStringLiteral("Unable to open ") + path : openError);
            ok = false;
            break;
        }
        SerialPath = transport.SerialPortPath();
        const qsizetype before = SerialFound.size();
        Expecting =
            QStringLiteral("No device answered on %1 within %2.").arg(path, Seconds(Settings.TimeoutMs));
        transport.SendSerial(SERIAL_IDENTITY_REQUEST);
        Outstanding = 1;
        LastActivity.restart();
        retry.start();
        ok = WaitUntil([this, before] { return SerialFound.size() > before; });
        retry.stop();
        transport.CloseSerial();
        if (!ok)
            break;
    }
    disconnect(errors);
    return ok;
}

void CliSession::OnSerialFrame(const QByteArray& frame) {
    // Item 1 carries the device's eight MAC bytes.
    if (frame.size() < SERIAL_FRAME_HEADER || static_cast<quint8>(frame.at(0)) != SERIAL_IDENTITY_ITEM)
        return;
    const int length = static_cast<quint8>(frame.at(1)) | (static_cast<quint8>(frame.at(2)) << 8);
    if (length < SERIAL_MAC_BYTES || frame.size() < SERIAL_FRAME_HEADER + SERIAL_MAC_BYTES)
        return;
    const QString mac = SerialMacText(frame, SERIAL_FRAME_HEADER);
    for (const SerialDevice& device : SerialFound)
        if (device.Mac == mac && device.Path == SerialPath)
            return;
    SerialFound.append({mac, SerialPath});
    Outstanding = 0;
    LastActivity.restart();
    Wake();
}

UnitInfoClass* CliSession::OpenUnit(const QString& mac) {
    if (OverSerial()) {
        Fail(CLI_EXIT_USAGE,
             QStringLiteral("Only scan works with --serial-port: this build does not yet speak "
                            "the serial device protocol beyond the identity request."));
        return nullptr;
    }
    Handler().ClearUnits();
    Answered.clear();
    WatchedMac = OverTcp() ? QString() : mac;
    if (OverTcp()) {
        Expecting = QStringLiteral("The unit at %1:%2 did not answer the discovery within %3.")
                        .arg(Settings.TcpHost)
                        .arg(Settings.TcpPort)
                        .arg(Seconds(Settings.TimeoutMs));
        Main().SendDiscovery(Settings.Password, true);
        if (!WaitUntil([this] { return !Answered.isEmpty(); }))
            return nullptr;
    } else {
        Expecting = QStringLiteral("No unit with the MAC %1 answered the discovery within %2.")
                        .arg(mac, Seconds(Settings.TimeoutMs));
        Main().SendDiscovery(Settings.Password, false);
        if (!WaitUntil([this, mac] { return Answered.contains(mac); }))
            return nullptr;
    }

    const QString found = mac.isEmpty() ? *Answered.cbegin() : mac;
    if (!Answered.contains(found)) {
        Fail(CLI_EXIT_NO_ANSWER, QStringLiteral("The unit at %1:%2 is %3, not %4.")
                                     .arg(Settings.TcpHost)
                                     .arg(Settings.TcpPort)
                                     .arg(*Answered.cbegin(), mac));
        return nullptr;
    }
    UnitInfoClass* unit = Handler().FindUnit(found);
    if (unit == nullptr) {
        Fail(CLI_EXIT_NO_ANSWER, QStringLiteral("The unit %1 went away.").arg(found));
        return nullptr;
    }
    Handler().SetCurrentUnit(unit, Settings.Password);
    OpenedUnit = unit;
    WatchedMac = unit->Mac;
    return unit;
}

// ---- requests ----------------------------------------------------------------------------------

QString CliSession::UnitName() const {
    return OpenedUnit != nullptr ? OpenedUnit->Mac : WatchedMac;
}

bool CliSession::ReadGroup(quint16 group) {
    Expecting = QStringLiteral("The unit %1 did not answer the read of group %2 within %3.")
                    .arg(UnitName(), GroupText(group), Seconds(Settings.TimeoutMs)) +
                PASSWORD_HINT;
    const quint64 before = UnitPackets;
    if (!Handler().RequestKeyGroup(group)) {
        Fail(CLI_EXIT_NO_ANSWER,
             QStringLiteral("The read of group 0x%1 could not be sent.").arg(group, 4, 16));
        return false;
    }
    return WaitUntil([this, before] {
        return UnitPackets > before && Outstanding == 0 && LastUnitPacket.elapsed() >= SETTLE_MS;
    });
}

bool CliSession::ReadInput(const QString& address) {
    Expecting = QStringLiteral("The unit %1 did not answer the read of input %2 within %3.")
                    .arg(UnitName(), address, Seconds(Settings.TimeoutMs)) +
                PASSWORD_HINT;
    const quint64 before = UnitPackets;
    if (!Handler().RequestInput(address)) {
        Fail(CLI_EXIT_NO_ANSWER, QStringLiteral("The read of input %1 could not be sent.").arg(address));
        return false;
    }
    return WaitUntil([this, before] {
        return UnitPackets > before && Outstanding == 0 && LastUnitPacket.elapsed() >= SETTLE_MS;
    });
}

bool CliSession::SendWrites(const std::function<int()>& send) {
    Expecting = QStringLiteral("The unit %1 did not acknowledge the write within %2.")
                    .arg(UnitName(), Seconds(Settings.TimeoutMs)) +
                PASSWORD_HINT;
    const int before = Acks;
    const int packets = send();
    if (packets < 0 || Failed())
        return false;
    return WaitUntil([this, before, packets] { return Acks - before >= packets; });
}

bool CliSession::ReadList(quint16 key, const std::function<bool()>& send) {
    Expecting = QStringLiteral("The unit %1 did not answer the list read (key %2) within %3.")
                    .arg(UnitName())
                    .arg(key)
                    .arg(Seconds(Settings.TimeoutMs)) +
                PASSWORD_HINT;
    ListKey = key;
    ListDone = false;
    ListReplies = 0;
    if (!send()) {
        ListKey = 0;
        Fail(CLI_EXIT_NO_ANSWER, QStringLiteral("The list read (key %1) could not be sent.").arg(key));
        return false;
    }
    const bool ok = WaitUntil([this] { return ListDone; });
    ListKey = 0;
    return ok;
}

int CliSession::LastEntryLength(quint16 key) const {
    return FindEntryLength(LastPacket, key).value_or(-1);
}

std::optional<int> CliSession::FindEntryLength(const QByteArray& packet, quint16 key) {
    if (ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()) != 1 ||
        ConfigEnvelopeClass::DecryptConfigPayload(packet) != 1 ||
        ConfigEnvelopeClass::PacketType(packet) != CONFIG_RESPONSE)
        return std::nullopt;
    // The entries lie between the type byte and the payload checksum.
    const qsizetype end = CONFIG_LENGTH_OFFSET + ConfigEnvelopeClass::PayloadLength(packet);
    ByteReader reader(packet);
    qsizetype position = CONFIG_ENTRIES_OFFSET;
    while (end - position >= KEY_ENTRY_HEADER_SIZE) {
        reader.seek(position);
        const quint16 id = reader.readU16BE();
        const quint16 length = reader.readU16BE();
        if (reader.hasError() || length > end - position - KEY_ENTRY_HEADER_SIZE)
            break;
        if (id == key)
            return length;
        position += KEY_ENTRY_HEADER_SIZE + length;
    }
    return std::nullopt;
}

// ---- waiting -----------------------------------------------------------------------------------

bool CliSession::WaitUntil(const std::function<bool()>& done) {
    if (Failed())
        return false;
    if (done())
        return true;
    QEventLoop loop;
    Loop = &loop;
    Condition = done;
    WakeTimer.start();
    loop.exec();
    WakeTimer.stop();
    Condition = nullptr;
    Loop = nullptr;
    return !Failed() && done();
}

void CliSession::Wake() {
    if (Loop == nullptr)
        return;
    if (Failed() || (Condition && Condition())) {
        Loop->quit();
        return;
    }
    if (Outstanding > 0 && LastActivity.elapsed() > Settings.TimeoutMs)
        Fail(CLI_EXIT_NO_ANSWER, Expecting);
}

bool CliSession::Counts(const QString& mac) const {
    return WatchedMac.isEmpty() || mac == WatchedMac;
}

void CliSession::OnRequestSent() {
    ++RequestsSent;
    ++Outstanding;
    LastActivity.restart();
}

void CliSession::OnUnitListChanged(UnitInfoClass* unit) {
    if (unit != nullptr)
        Answered.insert(unit->Mac);
}

void CliSession::OnConfigPacket(const QByteArray& packet, const QString& senderIp, int socketType) {
    const quint64 before = RequestsSent;
    // Should the services ever hand packets to the handler themselves, they are not parsed twice.
    if (WrapsParser)
        Handler().ParseConfig(packet, senderIp, socketType);
    const bool askedForMore = RequestsSent != before;

    if (!Counts(ConfigEnvelopeClass::PacketMacText(packet))) {
        Wake();
        return;
    }
    ++UnitPackets;
    LastUnitPacket.restart();
    LastActivity.restart();
    if (Outstanding > 0)
        --Outstanding;
    LastPacket = packet;
    if (ListKey != 0 && FindEntryLength(packet, ListKey)) {
        ++ListReplies;
        if (!askedForMore)
            ListDone = true;
        else if (ListReplies > MAX_LIST_REPLIES)
            Fail(CLI_EXIT_NO_ANSWER,
                 QStringLiteral("The unit %1 kept sending pages of key %2; stopped after %3.")
                     .arg(UnitName())
                     .arg(ListKey)
                     .arg(ListReplies));
    }
    Wake();
}
