#pragma once

#include "sim/SimMisbehaviour.h"
#include "sim/SimRadioNetwork.h"
#include "sim/SimUnitLogs.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

// One wired input of a unit, as keys 150 to 159 report it.
struct SimInput {
    QString Address; // "1", "2", ...
    QByteArray Text;
    quint8 Type = 0;    // option index of key 152
    quint8 Balance = 0; // option index of key 153
    quint8 MaxTemp = 0;
    quint8 MinTemp = 0;
    quint8 Delay = 0;
    quint8 Status = 0; // 0 normal, 1 alarm, 2 fault, 3 alarm acked, 4 fault acked
    quint16 Analog = 0;
    quint16 Info = 0;

    QJsonObject ToJson() const;
    static std::optional<SimInput> FromJson(const QJsonObject& json, QString* error);
};

// One key as the unit stores it: the value bytes it reports.
struct SimKey {
    quint16 Id = 0;
    QByteArray Value;
};

// A firmware upload the unit is taking (unit firmware 0xA005 or radio firmware 0x1043).
struct SimFirmwareUpload {
    bool Active = false;
    quint16 Key = 0;
    quint32 Size = 0;
    quint16 Checksum = 0;
    QByteArray Version; // radio firmware: three version numbers
    QByteArray Received;
    int NextPacket = 0;
};

// One simulated network unit: its identity, keys, inputs, logs, optional radio network and its
// firmware upload. HandleRequest() is the whole unit side of the config protocol: it takes one
// received packet and returns the packets the unit sends back (none for a packet it ignores).
// It never throws and never reads outside the packet, whatever the packet holds.
class SimUnit {
public:
    // Firmware entry keys and their steps.
    static constexpr quint16 KEY_UNIT_FIRMWARE = 0xA005;
    static constexpr quint16 KEY_RADIO_FIRMWARE = 0x1043;
    static constexpr quint16 FIRMWARE_STEP_START = 0;
    static constexpr quint16 FIRMWARE_STEP_DATA = 1;
    static constexpr quint16 FIRMWARE_STEP_DONE = 2;
    static constexpr quint16 FIRMWARE_START_OK = 0;
    static constexpr quint16 FIRMWARE_DATA_OK = 1;
    static constexpr quint16 FIRMWARE_UPDATE_OK = 2;
    static constexpr quint16 FIRMWARE_UPDATE_CHKERROR = 3;
    static constexpr int FIRMWARE_PACKET_BYTES = 1024;
    // The unit's flash holds no more than this; a larger upload is refused at its start.
    static constexpr quint32 MAX_FIRMWARE_BYTES = 8 * 1024 * 1024;

    // Other ids of requests.
    static constexpr quint16 KEY_INPUT_SELECTOR = 0x0096;
    static constexpr quint16 KEY_INPUT_ACK = 168;
    static constexpr quint16 COMMAND_REBOOT = 0xA001;
    static constexpr quint16 COMMAND_FACTORY_RESET = 0xA006;
    static constexpr quint16 COMMAND_RESET_NETWORK = 0xA007;
    static constexpr quint16 COMMAND_FIND_REPEATER = 0xA008;
    static constexpr quint16 COMMAND_TOGGLE_OUTPUT1 = 0xA009;
    static constexpr quint16 COMMAND_TOGGLE_OUTPUT2 = 0xA00A;

    static constexpr int DEFAULT_MAX_REPLY_BYTES = 1400;
    // A reply packet needs room for its envelope and at least one small entry.
    static constexpr int MIN_MAX_REPLY_BYTES = 128;

    SimUnit();

    // --- identity ---
    QByteArray Mac() const { return MacBytes; }
    QString MacText() const;
    void SetMac(const QByteArray& sixBytes); // also key 5
    int ProductCode() const;                 // from key 112
    QString ProductText() const;             // key 105
    QString Password() const;                // key 100; empty: no password
    void SetPassword(const QString& password);
    // The IPv4 address the site gives this unit, empty for "the network's choice".
    QString Address;

    // --- keys, in the order the unit reports them ---
    const QList<SimKey>& Keys() const { return KeyList; }
    bool HasKey(quint16 id) const;
    // The stored value, or the live one for keys that change on their own (time, uptime,
    // counts from the radio and the logs).
    std::optional<QByteArray> KeyValue(quint16 id) const;
    // Stores a value; a key the unit does not have is appended at the end.
    void SetKey(quint16 id, const QByteArray& value);
    void RemoveKey(quint16 id);

    QList<SimInput> Inputs;
    SimUnitLogs Logs;
    std::optional<SimRadioNetwork> Radio;
    SimMisbehaviour Misbehaviour;
    // Largest reply packet, envelope included; longer answers are spread over several packets.
    int MaxReplyBytes = DEFAULT_MAX_REPLY_BYTES;

    // --- the protocol ---
    QList<QByteArray> HandleRequest(const QByteArray& packet);
    // Why the last request got no reply ("" when it got one): for the record and the tests.
    QString LastIgnoreReason() const { return IgnoreReason; }
    // True when the last packet was a sound request addressed to another unit's MAC.
    bool LastRequestWasForAnotherUnit() const { return ForAnotherUnit; }
    int RequestsHandled() const { return Handled; }
    const SimFirmwareUpload& FirmwareUpload() const { return Upload; }
    int FirmwareUpdates() const { return FirmwareUpdateCount; }
    int Reboots() const { return RebootCount; }

    // Builds one reply packet of this unit: header with its MAC, type, body, checksums, counter.
    QByteArray BuildReply(quint8 packetType, const QByteArray& body);

    // The state the unit goes back to on a factory reset: what it was loaded with.
    void MarkFactoryState();

    QJsonObject ToJson() const;
    static std::optional<SimUnit> FromJson(const QJsonObject& json, QString* error);
    // A unit of product 1, 3 or 4 with a value for every key of every menu its product shows;
    // index makes its MAC, address and details differ from its neighbours'.
    static SimUnit Demo(int productCode, int index);

private:
    struct Entry {
        quint16 Id;
        QByteArray Value;
    };
    bool ParseEntries(const QByteArray& packet, QList<Entry>& entries);
    QList<QByteArray> AnswerRead(const QList<Entry>& entries);
    QList<QByteArray> ApplyWrites(const QList<Entry>& entries);
    // The answer to one read entry as chunks that must each stay in one packet.
    QList<QByteArray> AnswerReadEntry(const Entry& entry, int room);
    QList<QByteArray> AnswerGroup(quint16 groupId);
    QByteArray InputEntries(const SimInput& input) const;
    QList<QByteArray> PackEntries(const QList<QByteArray>& chunks);
    void ApplyKeyWrite(quint16 id, const QByteArray& value, SimInput* input);
    void ApplyInputKey(SimInput& input, quint16 id, const QByteArray& value);
    void AcknowledgeInputs();
    void ToggleOutput(quint16 key);
    std::optional<QByteArray> FirmwareStep(quint16 key, const QByteArray& value);
    void FinishFirmware();
    SimInput* FindInput(const QString& address);
    int KeyIndex(quint16 id) const;
    // The value a read reports now: the stored one, or the live one for the clock, the uptime and
    // the keys that count what the radio network and the logs hold.
    QByteArray LiveValue(const SimKey& key) const;

    QByteArray MacBytes;
    QList<SimKey> KeyList;
    quint16 ReplyCounter = 0;
    qint64 StartedMs = 0; // for the uptime key
    mutable qint64 ClockSecond = -1;
    mutable QByteArray ClockText;
    quint32 UptimeAtStart = 0;
    SimFirmwareUpload Upload;
    int FirmwareUpdateCount = 0;
    int RebootCount = 0;
    int Handled = 0;
    QString IgnoreReason;
    bool ForAnotherUnit = false;

    struct FactoryState {
        QByteArray Mac;
        QList<SimKey> Keys;
        QList<SimInput> Inputs;
    };
    std::optional<FactoryState> Factory;
};
