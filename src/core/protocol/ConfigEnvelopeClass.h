#pragma once

#include "core/protocol/ConfigCryptoClass.h"
#include "core/protocol/MacText.h"

#include <QByteArray>
#include <QString>
#include <array>

class ByteWriter;

// Packet types (the byte right after the header).
inline constexpr quint8 CONFIG_WRITE = 0x01;
inline constexpr quint8 CONFIG_READ = 0x02;
inline constexpr quint8 CONFIG_WRITE_ACK = 0x03;
inline constexpr quint8 CONFIG_RESPONSE = 0x04;
inline constexpr quint8 FIRMWARE_RESPONSE = 0x05;

// Envelope layout: 17-byte header, payload (type byte, key entries, 2-byte payload checksum),
// 5-byte footer (counter, packet checksum, end byte). All numbers big-endian.
inline constexpr quint8 CONFIG_START_BYTE = 0xB0;
inline constexpr quint8 CONFIG_END_BYTE = 0xF0;
inline constexpr quint8 CONFIG_LENGTH_PLACEHOLDER = 0x78; // "x", overwritten once the payload is known
inline constexpr int CONFIG_MAC_OFFSET = 1;
inline constexpr int CONFIG_CIPHER_BLOCK_OFFSET = 7;
inline constexpr int CONFIG_LENGTH_OFFSET = 15;
inline constexpr int CONFIG_HEADER_SIZE = 17;
inline constexpr int CONFIG_TYPE_OFFSET = 17;
inline constexpr int CONFIG_ENTRIES_OFFSET = 18;
inline constexpr int CONFIG_PAYLOAD_CHECKSUM_SIZE = 2;
inline constexpr int CONFIG_FOOTER_SIZE = 5;
// Header + footer + the bytes between the payload length N and the whole packet: N + 22.
inline constexpr int CONFIG_ENVELOPE_OVERHEAD = 22;
// A payload holds at least its type byte and its checksum.
inline constexpr int CONFIG_MIN_PAYLOAD_LENGTH = 3;
inline constexpr int CONFIG_MAX_PAYLOAD_LENGTH = 0xFFFF;
inline constexpr int KEY_ENTRY_HEADER_SIZE = 4;

// Buffers the packets are built in; a packet that would not fit is not sent.
inline constexpr qsizetype DISCOVERY_BUFFER_SIZE = 1024;
inline constexpr qsizetype REQUEST_BUFFER_SIZE = 1300;
inline constexpr qsizetype KEY_CHANGE_BUFFER_SIZE = 1424;

// Key id of the password entry that leads a request's payload when a password is set.
inline constexpr quint16 PASSWORD_KEY = 0xA000;

// Keys every unit answers a discovery with: IP, MAC, product info, and the rest of the list row.
inline constexpr std::array<quint16, 6> DISCOVERY_KEYS = {1, 5, 105, 112, 117, 101};

// Builds and checks config packets. The config handler owns one: it holds the one packet counter
// all units and carriers share (0 at start, the first packet carries 1, wraps to 0 after 65535)
// and the payload cipher hook.
class ConfigEnvelopeClass {
public:
    // --- building, step by step (the key-change sender interleaves its own log lines) ---

    // Logs "Create Header. Mac: " + MAC text, zeroes the cipher block and appends the 17-byte
    // header with "xx" where the payload length goes. False when the buffer cannot hold it.
    bool CreateHeader(ByteWriter& packet, const QString& macText);
    // The password entry (key 0xA000, length, low byte of each character), or nothing for an
    // empty password.
    bool AddPasswordEntry(ByteWriter& packet, const QString& password);
    // Appends the 16-bit sum of the bytes from start (the type byte) to the end, then writes the
    // payload length into the two bytes before start.
    bool AddPayloadChecksum(qsizetype start, ByteWriter& packet);
    // Counts the packet, appends the counter, the 16-bit sum of all bytes so far and the end byte.
    bool CreateFooter(ByteWriter& packet);

    // Steps after the key entries: payload checksum, the "Uncrypted. Length: " log line, cipher,
    // footer. Returns the finished packet, or an empty array (after the log line
    // "Request too long. Not sent. Length: " + the length it would have had) when it does not fit
    // its buffer; a refused packet does not use up a counter value.
    QByteArray FinishPacket(ByteWriter& packet, qsizetype payloadStart);

    // The whole build in a buffer of capacity bytes: header for the MAC text, type byte, password
    // entry, the key-entry bytes as given, then FinishPacket. Empty when refused.
    QByteArray BuildPacket(const QString& macText, quint8 packetType, const QString& password,
                           const QByteArray& keyEntries, qsizetype capacity);
    // The read of DISCOVERY_KEYS addressed to every unit, in the 1024-byte discovery buffer.
    QByteArray BuildDiscoveryRequest(const QString& password);

    // One key entry: key id, 16-bit value length, the value. False (and the packet refused) when
    // it does not fit or the value is longer than a 16-bit length can say.
    static bool AppendKeyEntry(ByteWriter& packet, quint16 key, const QByteArray& value);
    // The same entry as bytes, for callers that collect entries first; empty when the value is
    // longer than a 16-bit length can say.
    static QByteArray KeyEntry(quint16 key, const QByteArray& value = {});

    // --- receiving; all stay inside the bytes given, whatever the packet claims ---

    // 0 when the received length is not N + 22 (or more than the bytes given), 1 when the packet
    // checksum matches, 2 when it does not.
    static int VerifyConfigPacketChecksum(const QByteArray& bytes, qsizetype receivedLength);
    // 1 when the payload checksum matches the sum of the payload bytes, otherwise 0 (also for a
    // packet too short to hold the payload its header announces, or one without a type byte).
    static int DecryptConfigPayload(const QByteArray& bytes);
    // The payload length N from the header, or -1 when the header is not all there.
    static int PayloadLength(const QByteArray& bytes);
    // The packet type byte, or -1 when the packet is too short to have one.
    static int PacketType(const QByteArray& bytes);
    // The sender's MAC text from bytes 1 to 6, or empty when they are not all there.
    static QString PacketMacText(const QByteArray& bytes);

    // --- state ---
    quint16 PacketCounter() const { return Counter; }
    // Lets a test or a long-running session start from a known counter value.
    void SetPacketCounter(quint16 value) { Counter = value; }
    ConfigCryptoClass& Crypto() { return Cipher; }
    const ConfigCryptoClass& Crypto() const { return Cipher; }

private:
    quint16 Counter = 0;
    ConfigCryptoClass Cipher;
};
