#pragma once

#include "core/protocol/ByteReader.h"
#include "core/protocol/ConfigEnvelopeClass.h"

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <QTimer>

// Requests built by the tool's own envelope code, and replies read back with its checks, so the
// simulator is tested against the same bytes the tool puts on and takes off the wire.

// Runs the event loop until the condition holds (true) or the time is up (false). Unlike
// QTest::qWaitFor it does not sleep between looks, so a test of many round trips stays quick.
template <typename Condition> bool WaitUntil(Condition condition, int timeoutMs = 3000) {
    const QDeadlineTimer deadline(timeoutMs);
    QTimer tick; // wakes the loop now and then so the deadline is seen even when nothing happens
    tick.start(20);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QAbstractEventDispatcher::instance()->processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline QByteArray HexBytes(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline QByteArray Entry(quint16 key, const QByteArray& value = {}) {
    return ConfigEnvelopeClass::KeyEntry(key, value);
}

inline QByteArray U16Bytes(quint16 value) {
    return QByteArray(1, static_cast<char>(value >> 8)) + QByteArray(1, static_cast<char>(value & 0xFF));
}

inline QByteArray BuildRequest(const QString& macText, quint8 type, const QString& password,
                               const QByteArray& entries) {
    static ConfigEnvelopeClass envelope;
    return envelope.BuildPacket(macText, type, password, entries, 4096);
}

struct ReplyEntry {
    quint16 Id = 0;
    QByteArray Value;
};

struct ParsedReply {
    bool Sound = false; // length, packet checksum and payload checksum all right
    int Type = -1;
    QString Mac;
    QByteArray Body; // between the type byte and the payload checksum
    QList<ReplyEntry> Entries;
    bool EntriesFit = true; // every entry lies inside the payload
};

inline ParsedReply ParseReply(const QByteArray& packet) {
    ParsedReply reply;
    reply.Sound = ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()) == 1 &&
                  ConfigEnvelopeClass::DecryptConfigPayload(packet) == 1;
    reply.Type = ConfigEnvelopeClass::PacketType(packet);
    reply.Mac = ConfigEnvelopeClass::PacketMacText(packet);
    if (!reply.Sound)
        return reply;
    const int n = ConfigEnvelopeClass::PayloadLength(packet);
    reply.Body = packet.mid(CONFIG_ENTRIES_OFFSET, n - 3);
    ByteReader reader(reply.Body);
    while (!reader.atEnd()) {
        ReplyEntry entry;
        entry.Id = reader.readU16BE();
        const quint16 length = reader.readU16BE();
        entry.Value = reader.readBytes(length);
        if (reader.hasError()) {
            reply.EntriesFit = false;
            break;
        }
        reply.Entries.append(entry);
    }
    return reply;
}

inline QList<ReplyEntry> AllEntries(const QList<QByteArray>& packets) {
    QList<ReplyEntry> entries;
    for (const QByteArray& packet : packets)
        entries += ParseReply(packet).Entries;
    return entries;
}

inline QList<quint16> EntryIds(const QList<ReplyEntry>& entries) {
    QList<quint16> ids;
    for (const ReplyEntry& entry : entries)
        ids.append(entry.Id);
    return ids;
}

inline const ReplyEntry* FindEntry(const QList<ReplyEntry>& entries, quint16 id) {
    for (const ReplyEntry& entry : entries) {
        if (entry.Id == id)
            return &entry;
    }
    return nullptr;
}
