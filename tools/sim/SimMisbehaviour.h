#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>
#include <random>

// How a simulated unit misbehaves on purpose, so the tool's time-outs, retries and framing can be
// exercised without broken hardware. Every switch is off by default; fractions run from 0 (never)
// to 1 (always) and are drawn per reply packet from a seeded generator, so a run is repeatable.
struct SimMisbehaviourSettings {
    double DropFraction = 0;           // replies not sent at all
    int DelayMs = 0;                   // every reply waits this long
    double CorruptPacketChecksum = 0;  // packet checksum off by one: the tool's length/checksum check fails
    double CorruptPayloadChecksum = 0; // payload checksum off by one, packet checksum made to match it
    double DuplicateFraction = 0;      // the reply is sent twice
    double WrongLengthFraction = 0;    // length field one too high (packet checksum made to match)
    int SplitTcpWrites = 0;            // 2 or more: each TCP reply goes out in that many writes
    int SplitGapMs = 20;               // pause between the pieces of a split reply
    bool CoalesceTcpReplies = false;   // two replies in one TCP write (a lone one waits for the next)
    int CoalesceFlushMs = 150;         // how long a lone reply waits for company
    int StopAfterRequests = -1;        // answer this many requests, then fall silent (-1: never)
    quint32 Seed = 1;

    bool IsQuiet() const;
    QJsonObject ToJson() const;
    static std::optional<SimMisbehaviourSettings> FromJson(const QJsonObject& object, QString* error);
    // "drop=0.3,delay=200,split=3,stop-after=10": the command line's short form; keys as in
    // OptionHelp(). Applied on top of this object.
    bool ApplyOptionText(const QString& text, QString* error);
    static QString OptionHelp();
};

// The running side of the settings: the generator and the request count.
class SimMisbehaviour {
public:
    SimMisbehaviour() = default;
    explicit SimMisbehaviour(const SimMisbehaviourSettings& settings);

    const SimMisbehaviourSettings& Settings() const { return Config; }
    void SetSettings(const SimMisbehaviourSettings& settings);

    // Counts a request the unit is about to answer; false once the unit has stopped answering.
    bool AcceptRequest();
    int RequestsAccepted() const { return Accepted; }
    // True once the unit has answered all the requests it was allowed to.
    bool IsSilent() const { return Config.StopAfterRequests >= 0 && Accepted >= Config.StopAfterRequests; }
    // Starts counting again (a site reload, or a test reusing a unit).
    void Reset();

    // The reply packets as they should go on the wire: dropped, duplicated or damaged.
    QList<QByteArray> ApplyToReplies(const QList<QByteArray>& replies);
    // The pieces one TCP reply is written in (one piece unless splitting is on).
    QList<QByteArray> SplitForStream(const QByteArray& packet) const;

    // Damage helpers, usable on their own by tests: each keeps the rest of the packet consistent
    // so exactly one check of the receiver fails. A packet too short to hold the field is
    // returned unchanged.
    static QByteArray WithCorruptPacketChecksum(const QByteArray& packet);
    static QByteArray WithCorruptPayloadChecksum(const QByteArray& packet);
    static QByteArray WithWrongLength(const QByteArray& packet);

private:
    bool Draw(double fraction);

    SimMisbehaviourSettings Config;
    std::mt19937 Random{1};
    int Accepted = 0;
};
