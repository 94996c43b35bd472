#include "core/protocol/ConfigEnvelopeClass.h"

#include "core/app/DebugLog.h"
#include "core/protocol/ByteReader.h"
#include "core/protocol/ByteWriter.h"
#include "core/protocol/MacText.h"

bool ConfigEnvelopeClass::CreateHeader(ByteWriter& packet, const QString& macText) {
    WriteLog(QStringLiteral("Create Header. Mac: ") + macText);
    Cipher.ZeroCipherBlock();

    // Assembled first and written in one go, so a buffer too small for it gets none of it.
    QByteArray header;
    header.reserve(CONFIG_HEADER_SIZE);
    header.append(static_cast<char>(CONFIG_START_BYTE));
    header.append(MacTextToBytes(macText));
    header.append(Cipher.CipherBlockAsBytes());
    header.append(2, static_cast<char>(CONFIG_LENGTH_PLACEHOLDER));
    if (!packet.writeBytes(header)) {
        WriteLog(QStringLiteral("CreateHeader() error"));
        return false;
    }
    return true;
}

bool ConfigEnvelopeClass::AddPasswordEntry(ByteWriter& packet, const QString& password) {
    if (password.isEmpty())
        return true;
    return AppendKeyEntry(packet, PASSWORD_KEY, TextToLowBytes(password));
}

bool ConfigEnvelopeClass::AddPayloadChecksum(qsizetype start, ByteWriter& packet) {
    // The length goes into the two bytes before start, so start must leave room for them.
    if (start < 2 || start > packet.size()) {
        WriteLog(QStringLiteral("AddPayloadChecksum() error"));
        return false;
    }
    const quint16 sum = packet.sum16(start, packet.size() - start);
    if (!packet.writeU16BE(sum)) {
        WriteLog(QStringLiteral("AddPayloadChecksum() error"));
        return false;
    }
    const qsizetype payloadLength = packet.size() - start;
    if (payloadLength > CONFIG_MAX_PAYLOAD_LENGTH) {
        packet.markOverflow();
        WriteLog(QStringLiteral("AddPayloadChecksum() error"));
        return false;
    }
    return packet.patchU16BE(start - 2, static_cast<quint16>(payloadLength));
}

bool ConfigEnvelopeClass::CreateFooter(ByteWriter& packet) {
    // Checked before counting, so a footer that cannot be written does not use up a counter value.
    if (packet.overflowed() || packet.remaining() < CONFIG_FOOTER_SIZE) {
        WriteLog(QStringLiteral("CreateFooter() error"));
        return false;
    }
    ++Counter; // wraps from 65535 to 0
    packet.writeU16BE(Counter);
    packet.writeU16BE(packet.sum16(0, packet.size()));
    packet.writeU8(CONFIG_END_BYTE);
    return true;
}

QByteArray ConfigEnvelopeClass::FinishPacket(ByteWriter& packet, qsizetype payloadStart) {
    // Decided before anything more is written: a packet that cannot be finished whole in its
    // buffer is not sent at all, rather than sent cut short.
    const qsizetype fullLength = packet.requiredSize() + CONFIG_PAYLOAD_CHECKSUM_SIZE + CONFIG_FOOTER_SIZE;
    if (packet.overflowed() || fullLength > packet.capacity() ||
        fullLength - CONFIG_ENVELOPE_OVERHEAD > CONFIG_MAX_PAYLOAD_LENGTH) {
        WriteLog(QStringLiteral("Request too long. Not sent. Length: ") + QString::number(fullLength));
        return {};
    }
    if (!AddPayloadChecksum(payloadStart, packet))
        return {};

    WriteLog(QStringLiteral("Uncrypted. Length: ") + QString::number(packet.size()) +
             QStringLiteral(". Data: ") + BytesToHexText(packet.bytes()));

    Cipher.CipherPayload(packet, payloadStart, packet.size() - payloadStart);
    if (!CreateFooter(packet))
        return {};
    return packet.bytes();
}

QByteArray ConfigEnvelopeClass::BuildPacket(const QString& macText, quint8 packetType,
                                            const QString& password, const QByteArray& keyEntries,
                                            qsizetype capacity) {
    ByteWriter packet(capacity);
    CreateHeader(packet, macText);
    packet.writeU8(packetType);
    AddPasswordEntry(packet, password);
    packet.writeBytes(keyEntries);
    return FinishPacket(packet, CONFIG_TYPE_OFFSET);
}

QByteArray ConfigEnvelopeClass::BuildDiscoveryRequest(const QString& password) {
    QByteArray entries;
    for (const quint16 key : DISCOVERY_KEYS)
        entries.append(KeyEntry(key));
    return BuildPacket(BROADCAST_MAC_TEXT, CONFIG_READ, password, entries, DISCOVERY_BUFFER_SIZE);
}

bool ConfigEnvelopeClass::AppendKeyEntry(ByteWriter& packet, quint16 key, const QByteArray& value) {
    if (value.size() > 0xFFFF) {
        packet.markOverflow();
        return false;
    }
    QByteArray entry = KeyEntry(key, value);
    return packet.writeBytes(entry);
}

QByteArray ConfigEnvelopeClass::KeyEntry(quint16 key, const QByteArray& value) {
    if (value.size() > 0xFFFF)
        return {};
    ByteWriter entry(KEY_ENTRY_HEADER_SIZE + value.size());
    entry.writeU16BE(key);
    entry.writeU16BE(static_cast<quint16>(value.size()));
    entry.writeBytes(value);
    return entry.bytes();
}

int ConfigEnvelopeClass::VerifyConfigPacketChecksum(const QByteArray& bytes, qsizetype receivedLength) {
    // A caller claiming more bytes than it hands over gets nothing read past what is there.
    if (receivedLength < CONFIG_ENVELOPE_OVERHEAD || receivedLength > bytes.size())
        return 0;
    ByteReader reader(bytes.first(receivedLength));
    reader.seek(CONFIG_LENGTH_OFFSET);
    const int payloadLength = reader.readU16BE();
    if (reader.hasError() || receivedLength != payloadLength + CONFIG_ENVELOPE_OVERHEAD)
        return 0;

    reader.seek(0);
    const quint16 sum = reader.readSum16(CONFIG_HEADER_SIZE + payloadLength + 2); // through the counter
    const quint16 packetChecksum = reader.readU16BE();
    if (reader.hasError())
        return 0;
    return sum == packetChecksum ? 1 : 2;
}

int ConfigEnvelopeClass::DecryptConfigPayload(const QByteArray& bytes) {
    ByteReader reader(bytes);
    reader.seek(CONFIG_LENGTH_OFFSET);
    const int payloadLength = reader.readU16BE();
    // Without a type byte there is nothing to dispatch; such a packet is not a payload.
    if (reader.hasError() || payloadLength < CONFIG_MIN_PAYLOAD_LENGTH)
        return 0;
    const quint16 sum = reader.readSum16(payloadLength - CONFIG_PAYLOAD_CHECKSUM_SIZE);
    const quint16 payloadChecksum = reader.readU16BE();
    if (reader.hasError())
        return 0;
    return sum == payloadChecksum ? 1 : 0;
}

int ConfigEnvelopeClass::PayloadLength(const QByteArray& bytes) {
    ByteReader reader(bytes);
    reader.seek(CONFIG_LENGTH_OFFSET);
    const int payloadLength = reader.readU16BE();
    return reader.hasError() ? -1 : payloadLength;
}

int ConfigEnvelopeClass::PacketType(const QByteArray& bytes) {
    ByteReader reader(bytes);
    reader.seek(CONFIG_TYPE_OFFSET);
    const int type = reader.readU8();
    return reader.hasError() ? -1 : type;
}

QString ConfigEnvelopeClass::PacketMacText(const QByteArray& bytes) {
    return MacBytesToText(bytes, CONFIG_MAC_OFFSET);
}
