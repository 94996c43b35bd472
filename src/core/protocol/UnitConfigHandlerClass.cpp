#include "core/protocol/UnitConfigHandlerClass.h"

#include "core/app/DebugLog.h"
#include "core/protocol/ByteWriter.h"
#include "core/protocol/ConfigResponseParser.h"
#include "core/protocol/UnitConfigHooks.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/SaveDebugData.h"
#include "core/unit/UnitInfoClass.h"

namespace {

constexpr int TIMER_INTERVAL_MS = 1000;

// Serves when no backup, restore, firmware or serial implementation is installed.
UnitConfigHooks& NoHooks() {
    static UnitConfigHooks hooks;
    return hooks;
}

QByteArray ShortValue(quint16 value) {
    QByteArray bytes;
    bytes.append(static_cast<char>(value >> 8));
    bytes.append(static_cast<char>(value & 0xFF));
    return bytes;
}

struct ContactIdDefault {
    quint16 Key;
    const char* Text;
};

// Keys not listed here get EMPTY_CONTACT_ID.
constexpr ContactIdDefault CONTACT_ID_DEFAULTS[] = {
    {0x1200, "11*,---,---,---,---"}, {0x1201, "373,---,---,---,---"}, {0x1203, "13*,---,---,---,---"},
    {0x1206, "12*,---,---,---,---"}, {0x1207, "375,376,---,---,---"}, {0x1209, "15*,16*,10*,14*,---"},
    {0x120A, "20*,3**,---,---,---"}, {0x1218, "401,---,---,---,---"},
};
constexpr const char* EMPTY_CONTACT_ID = "---,---,---,---,---";
constexpr quint16 FIRST_CONTACT_ID_KEY = 0x1200;
constexpr quint16 LAST_CONTACT_ID_KEY = 0x121B;
constexpr quint16 CONTACT_ID_ACCOUNT_KEY = 0x1001;
constexpr quint16 CONTACT_ID_FORMAT_KEY = 0x1002;

} // namespace

UnitConfigHandlerClass::UnitConfigHandlerClass(QObject* parent)
    : QObject(parent), InstalledHooks(&NoHooks()), Parser(std::make_unique<ConfigResponseParser>(*this)),
      RadioPayloads(new RadioPayloadsClass(this)), DebugDownloads(new DebugDownloadClass(this)) {
    ConnectRadio();
    Timer.setInterval(TIMER_INTERVAL_MS);
    connect(&Timer, &QTimer::timeout, this, &UnitConfigHandlerClass::TimerTick);
    Timer.start();
}

UnitConfigHandlerClass::~UnitConfigHandlerClass() {
    WriteLog(QStringLiteral("Destroy UnitConfigHandlerClass"));
}

void UnitConfigHandlerClass::ConnectRadio() {
    RadioPayloads->SetBackupStep([this](UnitInfoClass&, quint16 key) { return CheckBackupList(key); });
    RadioPayloads->SetCurrentUnitSource([this]() { return Current; });
    connect(RadioPayloads, &RadioPayloadsClass::requestShortKey, this,
            [this](quint16 key, quint16 position) { RequestShortKey(key, position); });
    connect(RadioPayloads, &RadioPayloadsClass::requestKeyString, this,
            [this](quint16 key, const QString& text) { RequestKeyString(key, text); });
    connect(DebugDownloads, &DebugDownloadClass::requestShortKey, this,
            [this](quint16 key, quint16 position) { RequestShortKey(key, position); });
}

// ---- unit records ----------------------------------------------------------------------------

UnitInfoClass* UnitConfigHandlerClass::FindUnit(const QString& mac) const {
    return UnitByMac.value(mac, nullptr);
}

UnitInfoClass* UnitConfigHandlerClass::FindOrCreateUnit(const QString& mac, const QString& remoteIp) {
    UnitInfoClass* unit = FindUnit(mac);
    if (unit == nullptr) {
        UnitRecords.push_back(std::make_unique<UnitInfoClass>(mac));
        unit = UnitRecords.back().get();
        UnitByMac.insert(mac, unit);
        WriteLog(QStringLiteral("New unit. Mac: ") + mac + QStringLiteral(". RemoteIP: ") + remoteIp);
    }
    unit->RemoteIP = remoteIp;
    return unit;
}

void UnitConfigHandlerClass::ClearUnits() {
    Q_EMIT unitsCleared();
    ++Generation;
    Current = nullptr;
    CurrentInputRecord = nullptr;
    CurrentInputOwner = nullptr;
    UnitByMac.clear();
    UnitRecords.clear();
}

void UnitConfigHandlerClass::SetCurrentUnit(UnitInfoClass* unit, const QString& password) {
    Current = unit;
    Password = password;
}

void UnitConfigHandlerClass::ClearCurrentUnit() {
    Current = nullptr;
}

bool UnitConfigHandlerClass::IsCurrent(const UnitInfoClass* unit) const {
    return Current != nullptr && unit != nullptr && Current->Mac == unit->Mac;
}

void UnitConfigHandlerClass::SetCurrentInput(UnitInfoClass* unit, InputObjectClass* input) {
    CurrentInputOwner = input != nullptr ? unit : nullptr;
    CurrentInputRecord = input;
}

// ---- requests --------------------------------------------------------------------------------

bool UnitConfigHandlerClass::RequestKeys(const QByteArray& entries, quint8 packetType) {
    if (Current == nullptr) {
        WriteLog(QStringLiteral("RequestKeys(): no unit open. Not sent."));
        return false;
    }
    const QByteArray packet =
        EnvelopeBuilder.BuildPacket(Current->Mac, packetType, Password, entries, REQUEST_BUFFER_SIZE);
    if (packet.isEmpty()) {
        WriteLog(QStringLiteral("Error Requesting KeyInfo"));
        return false;
    }
    return SendToCurrentUnit(packet);
}

bool UnitConfigHandlerClass::SendToCurrentUnit(const QByteArray& packet) {
    // Units reached over TCP get their requests on that connection; everything else is broadcast
    // and the unit picks out the packets that carry its MAC.
    const quint8 carrier = Current->SocketType == UnitInfoClass::SOCKET_TCP ? UnitInfoClass::SOCKET_TCP
                                                                            : UnitInfoClass::SOCKET_UDP;
    Q_EMIT sendPacket(packet, carrier, Current->RemoteIP);
    return true;
}

bool UnitConfigHandlerClass::RequestKeyGroup(quint16 group) {
    WriteLog(QStringLiteral("RequestKeyGroup(): 0x") +
             QStringLiteral("%1").arg(group, 4, 16, QLatin1Char('0')).toUpper());
    if (Current != nullptr && Current->SocketType == UnitInfoClass::SOCKET_SERIAL) {
        InstalledHooks->SerialRequestKeyGroup(group);
        return true;
    }
    if (RequestKeys(ConfigEnvelopeClass::KeyEntry(group), CONFIG_READ))
        return true;
    WriteLog(QStringLiteral("Error Requesting keygroups"));
    return false;
}

bool UnitConfigHandlerClass::RequestInput(const QString& address) {
    WriteLog(QStringLiteral("RequestInput(): ") + address);
    if (RequestKeys(KeyChangeEncoder::InputSelectorEntry(address), CONFIG_READ))
        return true;
    WriteLog(QStringLiteral("Error Requesting inputs"));
    return false;
}

bool UnitConfigHandlerClass::RequestShortKey(quint16 key, quint16 position) {
    WriteLog(QStringLiteral("RequestShortKey(). Key: ") + QString::number(key) + QStringLiteral(". Var: ") +
             QString::number(position));
    // The first page rebuilds the list from scratch; later pages only add to it.
    if (position == 0 && Current != nullptr) {
        if (key == KEY_IEEE_UNITS)
            Current->ClearDevices();
        else if (key == KEY_ZONES)
            Current->ClearZones();
    }
    if (RequestKeys(ConfigEnvelopeClass::KeyEntry(key, ShortValue(position)), CONFIG_READ))
        return true;
    WriteLog(QStringLiteral("Error Requesting Short Key"));
    return false;
}

bool UnitConfigHandlerClass::RequestKeyString(quint16 key, const QString& text) {
    WriteLog(QStringLiteral("RequestKeyString(). Key: ") + QString::number(key) + QStringLiteral(". Data: ") +
             text);
    const QByteArray entry = ConfigEnvelopeClass::KeyEntry(key, TextToLowBytes(text));
    if (!entry.isEmpty() && RequestKeys(entry, CONFIG_READ))
        return true;
    WriteLog(QStringLiteral("Error RequestKeyString"));
    return false;
}

bool UnitConfigHandlerClass::PostKeyString(quint16 key, const QString& text) {
    WriteLog(QStringLiteral("PostKeyString(). Key: ") + QString::number(key) + QStringLiteral(". Data: ") +
             text);
    const QByteArray entry = ConfigEnvelopeClass::KeyEntry(key, TextToLowBytes(text));
    if (!entry.isEmpty() && RequestKeys(entry, CONFIG_WRITE))
        return true;
    WriteLog(QStringLiteral("Error PostKeyString"));
    return false;
}

bool UnitConfigHandlerClass::PostCommand(quint16 code) {
    WriteLog(QStringLiteral("PostCommand(). Key: ") + QString::number(code));
    if (Current != nullptr && Current->SocketType == UnitInfoClass::SOCKET_SERIAL) {
        InstalledHooks->SerialPostCommand(code);
        return true;
    }
    QByteArray entries;
    if (code == COMMAND_CONTACT_ID_DEFAULTS) {
        // Not a unit command: the defaults go into the editors, and the user sends them with
        // "Send New Settings". The packet below then carries only the password.
        if (Current != nullptr)
            Q_EMIT editorTextsRequested(ContactIdDefaults(*Current));
    } else {
        entries = ConfigEnvelopeClass::KeyEntry(code);
    }
    if (RequestKeys(entries, CONFIG_WRITE))
        return true;
    WriteLog(QStringLiteral("Error PostCommand"));
    return false;
}

QList<KeyEditorText> UnitConfigHandlerClass::ContactIdDefaults(const UnitInfoClass& unit) {
    QList<KeyEditorText> texts;
    for (quint16 key = FIRST_CONTACT_ID_KEY; key <= LAST_CONTACT_ID_KEY; ++key) {
        if (unit.FindKey(key) == nullptr)
            continue;
        QString text = QString::fromLatin1(EMPTY_CONTACT_ID);
        for (const ContactIdDefault& entry : CONTACT_ID_DEFAULTS)
            if (entry.Key == key)
                text = QString::fromLatin1(entry.Text);
        texts.append({key, text});
    }
    if (unit.FindKey(CONTACT_ID_ACCOUNT_KEY) != nullptr)
        texts.append({CONTACT_ID_ACCOUNT_KEY, QStringLiteral("8")});
    if (unit.FindKey(CONTACT_ID_FORMAT_KEY) != nullptr)
        texts.append({CONTACT_ID_FORMAT_KEY, QStringLiteral("11")});
    return texts;
}

bool UnitConfigHandlerClass::SendDiscovery(const QString& password, quint8 socketType) {
    const QByteArray packet = EnvelopeBuilder.BuildDiscoveryRequest(password);
    if (packet.isEmpty())
        return false;
    Q_EMIT sendPacket(packet, socketType, QString());
    return true;
}

KeyChangeResult UnitConfigHandlerClass::SendKeyChanges(const QString& mac, const QString& password,
                                                       const QList<KeyChange>& changes) {
    WriteLog(QStringLiteral("SendKeyChanges(). Mac: ") + mac);
    UnitInfoClass* unit = FindUnit(mac);
    if (unit == nullptr) {
        WriteLog(QStringLiteral("SendKeyChanges(): no unit with this MAC. Nothing sent."));
        KeyChangeResult result;
        result.Refusal = KeyChangeRefusal{0, QString(), QStringLiteral("no unit with the MAC ") + mac};
        return result;
    }
    if (unit->SocketType == UnitInfoClass::SOCKET_SERIAL)
        return InstalledHooks->SerialSendKeyChanges(changes);

    KeyChangeResult result =
        KeyChangeEncoder::BuildPackets(EnvelopeBuilder, mac, password, changes, LastInput);
    if (!result.Ok())
        return result;
    const quint8 carrier =
        unit->SocketType == UnitInfoClass::SOCKET_TCP ? UnitInfoClass::SOCKET_TCP : UnitInfoClass::SOCKET_UDP;
    for (const QByteArray& packet : result.Packets)
        Q_EMIT sendPacket(packet, carrier, unit->RemoteIP);
    return result;
}

// ---- receiving -------------------------------------------------------------------------------

void UnitConfigHandlerClass::ParseConfig(const QByteArray& packet, const QString& senderIp, int socketType) {
    Parser->ParseConfig(packet, senderIp, socketType);
}

// ---- hooks -----------------------------------------------------------------------------------

void UnitConfigHandlerClass::SetHooks(UnitConfigHooks* hooks) {
    InstalledHooks = hooks != nullptr ? hooks : &NoHooks();
}

bool UnitConfigHandlerClass::BackupRunning() const {
    return InstalledHooks->BackupRunning();
}

int UnitConfigHandlerClass::CheckBackupList(int id) {
    return InstalledHooks->BackupRunning() ? InstalledHooks->CheckBackupList(id) : 0;
}

void UnitConfigHandlerClass::RequestNextBackupItem() {
    if (InstalledHooks->BackupRunning())
        InstalledHooks->RequestNextBackupItem();
}

bool UnitConfigHandlerClass::RestoreRunning() const {
    return InstalledHooks->RestoreRunning();
}

void UnitConfigHandlerClass::PurgeRestoreItems() {
    if (InstalledHooks->RestoreRunning())
        InstalledHooks->PurgeRestoreItems();
}

void UnitConfigHandlerClass::TimerTick() {
    InstalledHooks->FirmwareTimeoutTick();
    InstalledHooks->RestoreCountdownTick();
    RadioPayloads->Tick();
}
