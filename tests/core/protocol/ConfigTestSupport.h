#pragma once

// Small helpers shared by the config handler, key change and response parser tests.

#include "core/protocol/ByteReader.h"
#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

namespace configtest {

inline const QString UNIT_MAC = QStringLiteral("00-1A-2B-3C-4D-5E");
inline const QString OTHER_MAC = QStringLiteral("00-1A-2B-3C-4D-5F");
inline const QString UNIT_IP = QStringLiteral("192.168.1.50");

// "02 A0 00" -> bytes; spaces are ignored.
inline QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline QString HexText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

inline QByteArray Entry(quint16 key, const QByteArray& value = {}) {
    return ConfigEnvelopeClass::KeyEntry(key, value);
}

// A packet as a unit would send it: valid envelope around the entries.
inline QByteArray UnitPacket(const QString& mac, const QByteArray& entries, quint8 type = CONFIG_RESPONSE) {
    ConfigEnvelopeClass envelope;
    return envelope.BuildPacket(mac, type, QString(), entries, 0x20000);
}

// The payload between the type byte and the payload checksum of a well-formed packet.
inline QByteArray EntriesOf(const QByteArray& packet) {
    const int n = ConfigEnvelopeClass::PayloadLength(packet);
    return packet.mid(CONFIG_ENTRIES_OFFSET, n - 3);
}

// Rewrites both checksums after a test changed bytes of a packet (the length field stays).
inline void RepairChecksums(QByteArray& packet) {
    const int n = ConfigEnvelopeClass::PayloadLength(packet);
    if (n < 3 || packet.size() < n + CONFIG_ENVELOPE_OVERHEAD)
        return;
    quint16 sum = 0;
    for (int i = CONFIG_TYPE_OFFSET; i < CONFIG_LENGTH_OFFSET + n; ++i)
        sum = static_cast<quint16>(sum + static_cast<quint8>(packet.at(i)));
    packet[CONFIG_LENGTH_OFFSET + n] = static_cast<char>(sum >> 8);
    packet[CONFIG_LENGTH_OFFSET + n + 1] = static_cast<char>(sum & 0xFF);
    sum = 0;
    for (int i = 0; i < n + 19; ++i)
        sum = static_cast<quint16>(sum + static_cast<quint8>(packet.at(i)));
    packet[n + 19] = static_cast<char>(sum >> 8);
    packet[n + 20] = static_cast<char>(sum & 0xFF);
}

struct SentPacket {
    QByteArray Packet;
    quint8 SocketType = 0;
    QString RemoteIp;
};

// Keeps every packet the handler hands to the carrier.
class SentPackets {
public:
    explicit SentPackets(UnitConfigHandlerClass& handler) {
        QObject::connect(&handler, &UnitConfigHandlerClass::sendPacket, &Context,
                         [this](const QByteArray& packet, quint8 socketType, const QString& ip) {
                             Packets.append({packet, socketType, ip});
                         });
    }
    qsizetype size() const { return Packets.size(); }
    const SentPacket& at(qsizetype i) const { return Packets.at(i); }
    const SentPacket& last() const { return Packets.last(); }
    void clear() { Packets.clear(); }

    QList<SentPacket> Packets;

private:
    QObject Context;
};

} // namespace configtest

#include "core/protocol/UnitConfigHooks.h"

#include <QStringList>

namespace configtest {

// Records what the handler asks of the backup, restore, firmware and serial parts.
class RecordingHooks : public UnitConfigHooks {
public:
    bool Backup = false;
    bool Restore = false;
    int CheckResult = 0;
    QStringList Calls;
    QList<KeyChange> SerialChanges;

    bool BackupRunning() const override { return Backup; }
    int CheckBackupList(int id) override {
        Calls << QStringLiteral("CheckBackupList %1").arg(id);
        return CheckResult;
    }
    void RequestNextBackupItem() override { Calls << QStringLiteral("RequestNextBackupItem"); }
    bool RestoreRunning() const override { return Restore; }
    void PurgeRestoreItems() override { Calls << QStringLiteral("PurgeRestoreItems"); }
    void FirmwareTimeoutTick() override { Calls << QStringLiteral("FirmwareTimeoutTick"); }
    void RestoreCountdownTick() override { Calls << QStringLiteral("RestoreCountdownTick"); }
    void SerialRequestKeyGroup(quint16 group) override {
        Calls << QStringLiteral("SerialRequestKeyGroup %1").arg(group, 4, 16, QLatin1Char('0'));
    }
    void SerialPostCommand(quint16 code) override {
        Calls << QStringLiteral("SerialPostCommand %1").arg(code, 4, 16, QLatin1Char('0'));
    }
    KeyChangeResult SerialSendKeyChanges(const QList<KeyChange>& changes) override {
        Calls << QStringLiteral("SerialSendKeyChanges");
        SerialChanges = changes;
        return {};
    }
};

} // namespace configtest
