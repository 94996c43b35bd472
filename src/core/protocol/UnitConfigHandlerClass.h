#pragma once

#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/protocol/KeyChangeEncoder.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <vector>

class ConfigResponseParser;
class DebugDownloadClass;
class InputObjectClass;
class RadioPayloadsClass;
class UnitConfigHooks;
class UnitInfoClass;

// A text the settings view should put into a key's editor (the Contact ID defaults).
struct KeyEditorText {
    quint16 KeyId = 0;
    QString Text;
};

// The one object through which the program talks to units. It owns the unit records, knows the
// unit being configured (the current unit) and its password, builds every request packet and hands
// it to the carrier through sendPacket, and parses what the units send back (ParseConfig). Views,
// the command line and tests follow what happens through the signals.
class UnitConfigHandlerClass : public QObject {
    Q_OBJECT
public:
    // Group ids of RequestKeyGroup: one per settings menu.
    static constexpr quint16 GROUP_IP = 0xF000;
    static constexpr quint16 GROUP_GPRS = 0xF001;
    static constexpr quint16 GROUP_ALARM_SERVER = 0xF002;
    static constexpr quint16 GROUP_NEBRYN = 0xF003;
    static constexpr quint16 GROUP_SYSTEM = 0xF004;
    static constexpr quint16 GROUP_INPUTS = 0xF005;
    static constexpr quint16 GROUP_SMS_BACKUP = 0xF006;
    static constexpr quint16 GROUP_SMS = 0xF007;
    static constexpr quint16 GROUP_LOGS = 0xF009;
    static constexpr quint16 GROUP_CUSTOM = 0xF010;

    // Command codes of PostCommand.
    static constexpr quint16 COMMAND_REBOOT = 0xA001;
    static constexpr quint16 COMMAND_FACTORY_RESET = 0xA006;
    static constexpr quint16 COMMAND_NETWORK_RESET = 0xA007;
    static constexpr quint16 COMMAND_FIND_REPEATER = 0xA008;
    static constexpr quint16 COMMAND_TOGGLE_OUTPUT_1 = 0xA009;
    static constexpr quint16 COMMAND_TOGGLE_OUTPUT_2 = 0xA00A;
    static constexpr quint16 COMMAND_CONTACT_ID_DEFAULTS = 0x1003;

    // Ids of paged lists and other requests.
    static constexpr quint16 KEY_INPUT_SELECT = 0x0096;
    static constexpr quint16 KEY_INPUT_ACK = 0x00A8;
    static constexpr quint16 KEY_SET_MAC = 0x0005;
    static constexpr quint16 KEY_EVENT_LOG = 0x00DD;
    static constexpr quint16 KEY_DEBUG_LOG = 0x00DF;
    static constexpr quint16 KEY_ARP_TABLE = 0x00E2;
    static constexpr quint16 KEY_IEEE_UNITS = 0x1023;
    static constexpr quint16 KEY_ZONES = 0x1034;
    static constexpr quint16 KEY_NEIGHBORS = 0x1049;
    static constexpr quint16 KEY_ROUTES = 0x104C;
    static constexpr quint16 KEY_TEST_RESULTS = 0x104D;

    explicit UnitConfigHandlerClass(QObject* parent = nullptr);
    ~UnitConfigHandlerClass() override;

    // --- unit records ---
    const std::vector<std::unique_ptr<UnitInfoClass>>& Units() const { return UnitRecords; }
    UnitInfoClass* FindUnit(const QString& mac) const;
    // The record of the MAC; a new one is appended ("New unit. Mac: ...") when there is none. Either
    // way its RemoteIP becomes the IP text.
    UnitInfoClass* FindOrCreateUnit(const QString& mac, const QString& remoteIp);
    // Destroys every unit record (a new scan, a remote connect or disconnect); the current unit and
    // current input go with them.
    void ClearUnits();
    // Counts ClearUnits calls, so code holding a unit record across a signal can tell whether the
    // record may have been destroyed meanwhile.
    quint64 UnitsGeneration() const { return Generation; }

    // --- the unit being configured ---
    UnitInfoClass* CurrentUnit() const { return Current; }
    const QString& UnitPassword() const { return Password; }
    // Opening a unit: it becomes the current unit and its password goes into every request.
    void SetCurrentUnit(UnitInfoClass* unit, const QString& password);
    void ClearCurrentUnit();
    void SetUnitPassword(const QString& password) { Password = password; }
    bool IsCurrent(const UnitInfoClass* unit) const;
    // The input the input keys 151-159 of a reply apply to, and the unit it belongs to.
    InputObjectClass* CurrentInput() const { return CurrentInputRecord; }
    UnitInfoClass* CurrentInputUnit() const { return CurrentInputOwner; }
    void SetCurrentInput(UnitInfoClass* unit, InputObjectClass* input);
    // Input named by the last selector written into a key-change packet.
    const QString& LastInputAddress() const { return LastInput; }

    // --- requests to the current unit; each logs its line first. False when nothing was sent ---
    // Read a settings menu (GROUP_IP ...).
    bool RequestKeyGroup(quint16 group);
    // Read the keys of one input.
    bool RequestInput(const QString& address);
    // Read one page of a list; position 0 of the device or zone list empties that list first.
    bool RequestShortKey(quint16 key, quint16 position);
    // Read a key that takes a text argument (a node address, for instance).
    bool RequestKeyString(quint16 key, const QString& text);
    // Write a key from text (device and zone commands, set MAC, acknowledge an input).
    bool PostKeyString(quint16 key, const QString& text);
    // Run a command (COMMAND_REBOOT ...). COMMAND_CONTACT_ID_DEFAULTS sends no command: it hands
    // the default texts to the settings view (editorTextsRequested) and sends the password only.
    bool PostCommand(quint16 code);
    // Builds a packet of the type with the current unit's MAC, the unit password and the entries,
    // and sends it by the current unit's carrier (TCP for SocketType 1, UDP otherwise).
    bool RequestKeys(const QByteArray& entries, quint8 packetType);
    // The discovery read addressed to every unit, sent on the carrier given (UDP broadcast, or the
    // open TCP connection of a remote connect).
    bool SendDiscovery(const QString& password, quint8 socketType = 0);
    // "Send New Settings": all changes of the unit with that MAC, validated first; sends nothing when
    // a value is refused or there is no such unit. Several packets when they do not fit one.
    KeyChangeResult SendKeyChanges(const QString& mac, const QString& password,
                                   const QList<KeyChange>& changes);

    // The editor texts COMMAND_CONTACT_ID_DEFAULTS gives the keys the unit has.
    static QList<KeyEditorText> ContactIdDefaults(const UnitInfoClass& unit);

    // --- receiving ---
    // Every config packet from UDP or TCP (connect CommunicationClass::configPacketReceived here).
    void ParseConfig(const QByteArray& packet, const QString& senderIp, int socketType);

    // --- parts the handler owns or lends ---
    ConfigEnvelopeClass& Envelope() { return EnvelopeBuilder; }
    RadioPayloadsClass& Radio() { return *RadioPayloads; }
    // The unit debug log download ("UnitDebug_" + MAC + ".log").
    DebugDownloadClass& DebugDownload() { return *DebugDownloads; }
    // Bytes of an event-log download collected so far (until its last page arrives).
    QByteArray& EventLogAccumulator() { return EventLogBytes; }
    // Backup, restore, firmware timeout and serial devices plug in here; nullptr restores the
    // built-in hooks that do nothing. Not owned.
    void SetHooks(UnitConfigHooks* hooks);
    UnitConfigHooks& Hooks() const { return *InstalledHooks; }
    // Forwarded to the hooks; without a backup or restore running they do nothing (and give 0).
    bool BackupRunning() const;
    int CheckBackupList(int id);
    void RequestNextBackupItem();
    bool RestoreRunning() const;
    void PurgeRestoreItems();

    // One tick of the 1-second timer: firmware timeout, restore countdown, radio polling.
    void TimerTick();

Q_SIGNALS:
    // A finished packet for the carrier: socketType 0 UDP broadcast, 1 the TCP connection.
    void sendPacket(const QByteArray& packet, quint8 socketType, const QString& remoteIp);
    // A config response was parsed for the unit: its row in the unit list may have changed.
    void unitListChanged(UnitInfoClass* unit);
    // A config response of plain keys from the current unit: the settings view reprints its menu.
    void settingsChanged();
    // The last page of an event log arrived and the unit's EventLog holds the entries.
    void eventLogReady();
    // A firmware response from the current unit (the whole packet).
    void firmwareResponse(const QByteArray& packet);
    // A unit acknowledged a write.
    void writeAcknowledged(UnitInfoClass* unit);
    // Texts for the settings view to put into key editors (Contact ID defaults).
    void editorTextsRequested(const QList<KeyEditorText>& texts);
    // Every unit record is about to be destroyed; drop any pointer to one.
    void unitsCleared();

private:
    void ConnectRadio();
    bool SendToCurrentUnit(const QByteArray& packet);

    ConfigEnvelopeClass EnvelopeBuilder;
    std::vector<std::unique_ptr<UnitInfoClass>> UnitRecords;
    QHash<QString, UnitInfoClass*> UnitByMac;
    quint64 Generation = 0;
    UnitInfoClass* Current = nullptr;
    QString Password;
    InputObjectClass* CurrentInputRecord = nullptr;
    UnitInfoClass* CurrentInputOwner = nullptr;
    QString LastInput;
    QByteArray EventLogBytes;
    UnitConfigHooks* InstalledHooks;
    QTimer Timer;
    std::unique_ptr<ConfigResponseParser> Parser;
    // Child QObjects, destroyed with the handler.
    RadioPayloadsClass* RadioPayloads;
    DebugDownloadClass* DebugDownloads;
};
