#include "sim/SimMisbehaviour.h"

#include "core/protocol/ConfigEnvelopeClass.h"

#include <QJsonValue>
#include <QStringList>
#include <algorithm>

namespace {

// Packet fields by offset, N being the payload length of the header.
qsizetype PayloadLengthOf(const QByteArray& packet) {
    const int n = ConfigEnvelopeClass::PayloadLength(packet);
    if (n < CONFIG_MIN_PAYLOAD_LENGTH || packet.size() != n + CONFIG_ENVELOPE_OVERHEAD)
        return -1;
    return n;
}

quint16 ReadU16(const QByteArray& bytes, qsizetype offset) {
    return static_cast<quint16>((static_cast<quint8>(bytes.at(offset)) << 8) |
                                static_cast<quint8>(bytes.at(offset + 1)));
}

void WriteU16(QByteArray& bytes, qsizetype offset, quint16 value) {
    bytes[offset] = static_cast<char>(value >> 8);
    bytes[offset + 1] = static_cast<char>(value & 0xFF);
}

quint16 Sum16(const QByteArray& bytes, qsizetype count) {
    quint16 sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum = static_cast<quint16>(sum + static_cast<quint8>(bytes.at(i)));
    return sum;
}

// The packet checksum sits after the payload checksum and the counter; it covers everything before it.
void RestorePacketChecksum(QByteArray& packet, qsizetype n) {
    const qsizetype at = CONFIG_HEADER_SIZE + n + 2;
    WriteU16(packet, at, Sum16(packet, at));
}

struct OptionKey {
    const char* Name;     // the command line's short form
    const char* JsonName; // the site file's member
    const char* Help;
};

constexpr OptionKey OPTION_KEYS[] = {
    {"drop", "DropFraction", "fraction of replies not sent (0..1)"},
    {"delay", "DelayMs", "milliseconds every reply waits"},
    {"corrupt-packet", "CorruptPacketChecksum", "fraction of replies with a wrong packet checksum"},
    {"corrupt-payload", "CorruptPayloadChecksum", "fraction of replies with a wrong payload checksum"},
    {"duplicate", "DuplicateFraction", "fraction of replies sent twice"},
    {"wrong-length", "WrongLengthFraction", "fraction of replies whose length field is one too high"},
    {"split", "SplitTcpWrites", "TCP replies written in this many pieces (2 or more)"},
    {"split-gap", "SplitGapMs", "milliseconds between the pieces of a split reply"},
    {"coalesce", "CoalesceTcpReplies", "1: two TCP replies in one write"},
    {"coalesce-flush", "CoalesceFlushMs", "milliseconds a lone reply waits for a second one"},
    {"stop-after", "StopAfterRequests", "answer this many requests, then stay silent"},
    {"seed", "Seed", "seed of the random draws"},
};

} // namespace

bool SimMisbehaviourSettings::IsQuiet() const {
    return DropFraction <= 0 && DelayMs <= 0 && CorruptPacketChecksum <= 0 && CorruptPayloadChecksum <= 0 &&
           DuplicateFraction <= 0 && WrongLengthFraction <= 0 && SplitTcpWrites < 2 && !CoalesceTcpReplies &&
           StopAfterRequests < 0;
}

QJsonObject SimMisbehaviourSettings::ToJson() const {
    QJsonObject object;
    object.insert(QStringLiteral("DropFraction"), DropFraction);
    object.insert(QStringLiteral("DelayMs"), DelayMs);
    object.insert(QStringLiteral("CorruptPacketChecksum"), CorruptPacketChecksum);
    object.insert(QStringLiteral("CorruptPayloadChecksum"), CorruptPayloadChecksum);
    object.insert(QStringLiteral("DuplicateFraction"), DuplicateFraction);
    object.insert(QStringLiteral("WrongLengthFraction"), WrongLengthFraction);
    object.insert(QStringLiteral("SplitTcpWrites"), SplitTcpWrites);
    object.insert(QStringLiteral("SplitGapMs"), SplitGapMs);
    object.insert(QStringLiteral("CoalesceTcpReplies"), CoalesceTcpReplies);
    object.insert(QStringLiteral("CoalesceFlushMs"), CoalesceFlushMs);
    object.insert(QStringLiteral("StopAfterRequests"), StopAfterRequests);
    object.insert(QStringLiteral("Seed"), static_cast<double>(Seed));
    return object;
}

std::optional<SimMisbehaviourSettings> SimMisbehaviourSettings::FromJson(const QJsonObject& object,
                                                                         QString* error) {
    SimMisbehaviourSettings settings;
    auto fraction = [&](const char* name, double& field) {
        const QJsonValue value = object.value(QLatin1String(name));
        if (value.isUndefined())
            return true;
        if (!value.isDouble() || value.toDouble() < 0 || value.toDouble() > 1) {
            if (error != nullptr)
                *error = QStringLiteral("Misbehaviour \"%1\" must be a number from 0 to 1")
                             .arg(QLatin1String(name));
            return false;
        }
        field = value.toDouble();
        return true;
    };
    auto integer = [&](const char* name, int& field, int minimum) {
        const QJsonValue value = object.value(QLatin1String(name));
        if (value.isUndefined())
            return true;
        if (!value.isDouble() || value.toDouble() < minimum || value.toDouble() > 1e9) {
            if (error != nullptr)
                *error = QStringLiteral("Misbehaviour \"%1\" must be a whole number of at least %2")
                             .arg(QLatin1String(name))
                             .arg(minimum);
            return false;
        }
        field = value.toInt();
        return true;
    };
    int seed = static_cast<int>(settings.Seed);
    if (!fraction("DropFraction", settings.DropFraction) || !integer("DelayMs", settings.DelayMs, 0) ||
        !fraction("CorruptPacketChecksum", settings.CorruptPacketChecksum) ||
        !fraction("CorruptPayloadChecksum", settings.CorruptPayloadChecksum) ||
        !fraction("DuplicateFraction", settings.DuplicateFraction) ||
        !fraction("WrongLengthFraction", settings.WrongLengthFraction) ||
        !integer("SplitTcpWrites", settings.SplitTcpWrites, 0) ||
        !integer("SplitGapMs", settings.SplitGapMs, 0) ||
        !integer("CoalesceFlushMs", settings.CoalesceFlushMs, 0) ||
        !integer("StopAfterRequests", settings.StopAfterRequests, -1) || !integer("Seed", seed, 0))
        return std::nullopt;
    settings.Seed = static_cast<quint32>(seed);
    settings.CoalesceTcpReplies = object.value(QStringLiteral("CoalesceTcpReplies")).toBool(false);
    return settings;
}

bool SimMisbehaviourSettings::ApplyOptionText(const QString& text, QString* error) {
    // The short form maps onto the JSON names, so both are checked by the same rules.
    QJsonObject object = ToJson();
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        const QString key = part.left(equals).trimmed();
        const QString valueText = equals < 0 ? QStringLiteral("1") : part.mid(equals + 1).trimmed();
        const OptionKey* found =
            std::find_if(std::begin(OPTION_KEYS), std::end(OPTION_KEYS),
                         [&](const OptionKey& option) { return key == QLatin1String(option.Name); });
        bool ok = false;
        const double value = valueText.toDouble(&ok);
        if (found == std::end(OPTION_KEYS) || !ok) {
            if (error != nullptr)
                *error = QStringLiteral("Unknown misbehaviour \"%1\"").arg(part);
            return false;
        }
        const QString jsonName = QLatin1String(found->JsonName);
        if (jsonName == QLatin1String("CoalesceTcpReplies"))
            object.insert(jsonName, value != 0);
        else
            object.insert(jsonName, value);
    }
    const std::optional<SimMisbehaviourSettings> parsed = FromJson(object, error);
    if (!parsed)
        return false;
    *this = *parsed;
    return true;
}

QString SimMisbehaviourSettings::OptionHelp() {
    QStringList lines;
    for (const OptionKey& key : OPTION_KEYS)
        lines.append(
            QStringLiteral("  %1: %2").arg(QLatin1String(key.Name), -16).arg(QLatin1String(key.Help)));
    return lines.join(QLatin1Char('\n'));
}

SimMisbehaviour::SimMisbehaviour(const SimMisbehaviourSettings& settings) {
    SetSettings(settings);
}

void SimMisbehaviour::SetSettings(const SimMisbehaviourSettings& settings) {
    Config = settings;
    Reset();
}

void SimMisbehaviour::Reset() {
    Random.seed(Config.Seed);
    Accepted = 0;
}

bool SimMisbehaviour::AcceptRequest() {
    if (Config.StopAfterRequests >= 0 && Accepted >= Config.StopAfterRequests)
        return false;
    ++Accepted;
    return true;
}

bool SimMisbehaviour::Draw(double fraction) {
    if (fraction <= 0)
        return false;
    if (fraction >= 1)
        return true;
    return std::uniform_real_distribution<double>(0.0, 1.0)(Random) < fraction;
}

QList<QByteArray> SimMisbehaviour::ApplyToReplies(const QList<QByteArray>& replies) {
    if (Config.IsQuiet())
        return replies;
    QList<QByteArray> wire;
    for (QByteArray packet : replies) {
        if (Draw(Config.DropFraction))
            continue;
        if (Draw(Config.CorruptPayloadChecksum))
            packet = WithCorruptPayloadChecksum(packet);
        if (Draw(Config.WrongLengthFraction))
            packet = WithWrongLength(packet);
        if (Draw(Config.CorruptPacketChecksum))
            packet = WithCorruptPacketChecksum(packet);
        wire.append(packet);
        if (Draw(Config.DuplicateFraction))
            wire.append(packet);
    }
    return wire;
}

QList<QByteArray> SimMisbehaviour::SplitForStream(const QByteArray& packet) const {
    const int pieces = std::min<qsizetype>(Config.SplitTcpWrites, packet.size());
    if (pieces < 2)
        return {packet};
    QList<QByteArray> parts;
    const qsizetype size = packet.size() / pieces;
    for (int i = 0; i < pieces; ++i) {
        const qsizetype start = i * size;
        parts.append(i == pieces - 1 ? packet.mid(start) : packet.mid(start, size));
    }
    return parts;
}

QByteArray SimMisbehaviour::WithCorruptPacketChecksum(const QByteArray& packet) {
    const qsizetype n = PayloadLengthOf(packet);
    if (n < 0)
        return packet;
    QByteArray damaged = packet;
    const qsizetype at = CONFIG_HEADER_SIZE + n + 2;
    WriteU16(damaged, at, static_cast<quint16>(ReadU16(damaged, at) + 1));
    return damaged;
}

QByteArray SimMisbehaviour::WithCorruptPayloadChecksum(const QByteArray& packet) {
    const qsizetype n = PayloadLengthOf(packet);
    if (n < 0)
        return packet;
    QByteArray damaged = packet;
    const qsizetype at = CONFIG_HEADER_SIZE + n - CONFIG_PAYLOAD_CHECKSUM_SIZE;
    WriteU16(damaged, at, static_cast<quint16>(ReadU16(damaged, at) + 1));
    RestorePacketChecksum(damaged, n);
    return damaged;
}

QByteArray SimMisbehaviour::WithWrongLength(const QByteArray& packet) {
    const qsizetype n = PayloadLengthOf(packet);
    if (n < 0 || n >= CONFIG_MAX_PAYLOAD_LENGTH)
        return packet;
    QByteArray damaged = packet;
    WriteU16(damaged, CONFIG_LENGTH_OFFSET, static_cast<quint16>(n + 1));
    RestorePacketChecksum(damaged, n);
    return damaged;
}
