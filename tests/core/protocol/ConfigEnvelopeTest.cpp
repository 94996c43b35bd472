#include "core/app/DebugLog.h"
#include "core/protocol/ByteReader.h"
#include "core/protocol/ByteWriter.h"
#include "core/protocol/ConfigEnvelopeClass.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace {

const QByteArray DISCOVERY_EXAMPLE =
    QByteArray::fromHex("B0FFFFFFFFFFFF0000000000000000001B02000100000005000000"
                        "690000007000000075000000650000"
                        "01BB0001093DF0");

// Fixes the packet checksum after a test has changed bytes before it.
void RepairPacketChecksum(QByteArray& packet) {
    quint16 sum = 0;
    for (qsizetype i = 0; i < packet.size() - 3; ++i)
        sum = static_cast<quint16>(sum + static_cast<quint8>(packet.at(i)));
    packet[packet.size() - 3] = static_cast<char>(sum >> 8);
    packet[packet.size() - 2] = static_cast<char>(sum & 0xFF);
}

quint16 CounterOf(const QByteArray& packet) {
    ByteReader reader(packet);
    reader.seek(packet.size() - 5);
    return reader.readU16BE();
}

} // namespace

TEST(ConfigEnvelope, DiscoveryAsFirstPacketIsTheKnownFortyNineBytes) {
    LogCapture log;
    ConfigEnvelopeClass envelope;
    const QByteArray packet = envelope.BuildDiscoveryRequest(QString());
    EXPECT_EQ(packet.toHex(' ').toUpper(), DISCOVERY_EXAMPLE.toHex(' ').toUpper());
    EXPECT_EQ(envelope.PacketCounter(), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("Create Header. Mac: FF-FF-FF-FF-FF-FF")));
    EXPECT_TRUE(log.contains(QStringLiteral("Uncrypted. Length: 44. Data: ") +
                             BytesToHexText(DISCOVERY_EXAMPLE.first(44))));
    // The header line comes before the data line.
    EXPECT_LT(log.lines().indexOf(QStringLiteral("Create Header. Mac: FF-FF-FF-FF-FF-FF")),
              log.lines().indexOf(QStringLiteral("Uncrypted. Length: 44. Data: ") +
                                  BytesToHexText(DISCOVERY_EXAMPLE.first(44))));

    EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()), 1);
    EXPECT_EQ(ConfigEnvelopeClass::DecryptConfigPayload(packet), 1);
    EXPECT_EQ(ConfigEnvelopeClass::PayloadLength(packet), 27);
    EXPECT_EQ(ConfigEnvelopeClass::PacketType(packet), CONFIG_READ);
    EXPECT_EQ(ConfigEnvelopeClass::PacketMacText(packet), QStringLiteral("FF-FF-FF-FF-FF-FF"));
}

TEST(ConfigEnvelope, PasswordEntryFollowsTheTypeByte) {
    LogCapture log;
    ConfigEnvelopeClass envelope;
    const QByteArray packet = envelope.BuildDiscoveryRequest(QStringLiteral("ab\u00E5\u01415"));
    // A0 00, length 5, the low byte of each character; then the discovery entries.
    EXPECT_EQ(packet.mid(17, 10).toHex().toUpper(), QByteArray("02A0000005 6162E54135").replace(' ', ""));
    EXPECT_EQ(packet.mid(27, 24), DISCOVERY_EXAMPLE.mid(18, 24));
    EXPECT_EQ(ConfigEnvelopeClass::PayloadLength(packet), 27 + 9);
    EXPECT_EQ(packet.size(), 49 + 9);
    EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()), 1);
    EXPECT_EQ(ConfigEnvelopeClass::DecryptConfigPayload(packet), 1);

    // A write with entries: header fields, counter and end byte land where a unit looks for them.
    const QByteArray entries = ConfigEnvelopeClass::KeyEntry(0x0005, QByteArray::fromHex("001A2B3C4D5E"));
    const QByteArray write = envelope.BuildPacket(QStringLiteral("00-1a-2b-3c-4d-5e"), CONFIG_WRITE,
                                                  QStringLiteral("1234"), entries, REQUEST_BUFFER_SIZE);
    ByteReader reader(write);
    EXPECT_EQ(reader.readU8(), CONFIG_START_BYTE);
    EXPECT_EQ(reader.readBytes(6), QByteArray::fromHex("001A2B3C4D5E"));
    reader.skip(8);
    const quint16 n = reader.readU16BE();
    EXPECT_EQ(n, 1 + 8 + 10 + 2);
    EXPECT_EQ(reader.readU8(), CONFIG_WRITE);
    EXPECT_EQ(reader.readU16BE(), PASSWORD_KEY);
    EXPECT_EQ(reader.readU16BE(), 4);
    EXPECT_EQ(reader.readBytes(4), QByteArray("1234"));
    EXPECT_EQ(reader.readBytes(10), entries);
    reader.skip(2);
    EXPECT_EQ(reader.readU16BE(), 2); // second packet of this envelope
    reader.skip(2);
    EXPECT_EQ(reader.readU8(), CONFIG_END_BYTE);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_TRUE(reader.ok());
    EXPECT_TRUE(log.contains(QStringLiteral("Create Header. Mac: 00-1a-2b-3c-4d-5e")));
}

TEST(ConfigEnvelope, CipherBlockIsZeroedInEveryHeader) {
    LogCapture log;
    ConfigEnvelopeClass envelope;
    for (int round = 0; round < 3; ++round) {
        envelope.Crypto().SetCipherBlock({0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02, 0x03, quint8(round + 1)});
        const QByteArray packet =
            round == 0 ? envelope.BuildDiscoveryRequest(QStringLiteral("pw"))
                       : envelope.BuildPacket(QStringLiteral("01-02-03-04-05-06"), CONFIG_READ, QString(),
                                              ConfigEnvelopeClass::KeyEntry(0xF000), REQUEST_BUFFER_SIZE);
        EXPECT_EQ(packet.mid(7, 8), QByteArray(8, '\0')) << round;
        EXPECT_EQ(envelope.Crypto().CipherBlockAsBytes(), QByteArray(8, '\0')) << round;
    }
}

TEST(ConfigEnvelope, CounterWrapsAfter65535Packets) {
    ConfigEnvelopeClass envelope;
    // Logging off for the long run; the counter is all that matters here.
    DebugLog& debugLog = DebugLog::instance();
    const int savedCountdown = debugLog.countdown();
    debugLog.setCountdown(0);
    QByteArray packet;
    for (int i = 1; i <= 65535; ++i)
        packet = envelope.BuildDiscoveryRequest(QString());
    EXPECT_EQ(CounterOf(packet), 65535);
    EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()), 1);
    packet = envelope.BuildDiscoveryRequest(QString());
    EXPECT_EQ(CounterOf(packet), 0);
    EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()), 1);
    packet = envelope.BuildDiscoveryRequest(QString());
    EXPECT_EQ(CounterOf(packet), 1);
    debugLog.setCountdown(savedCountdown);
}

TEST(ConfigEnvelope, VerificationResults) {
    struct Case {
        const char* Name;
        std::function<void(QByteArray&)> Damage;
        qsizetype LengthDelta; // received length relative to the bytes handed over
        int Verify;
        int Decrypt;
    } cases[] = {
        {"intact", [](QByteArray&) {}, 0, 1, 1},
        {"end byte is never checked", [](QByteArray& p) { p[48] = 0x00; }, 0, 1, 1},
        {"counter changed", [](QByteArray& p) { p[45] = 0x7F; }, 0, 2, 1},
        {"packet checksum changed", [](QByteArray& p) { p[47] = 0x3E; }, 0, 2, 1},
        {"MAC changed", [](QByteArray& p) { p[3] = 0x00; }, 0, 2, 1},
        {"payload changed, packet checksum repaired",
         [](QByteArray& p) {
             p[20] = 0x02;
             RepairPacketChecksum(p);
         },
         0, 1, 0},
        {"payload checksum changed, packet checksum repaired",
         [](QByteArray& p) {
             p[43] = char(0xBC);
             RepairPacketChecksum(p);
         },
         0, 1, 0},
        {"extra byte received", [](QByteArray& p) { p.append('\0'); }, 0, 0, 1},
        {"one byte missing", [](QByteArray& p) { p.chop(1); }, 0, 0, 1},
        {"length field one too small", [](QByteArray& p) { p[16] = 0x1A; }, 0, 0, 0},
        {"received length claims more than given", [](QByteArray&) {}, 1, 0, 1},
        {"received length below what was given", [](QByteArray& p) { p.append('\0'); }, -1, 1, 1},
    };
    for (const Case& c : cases) {
        QByteArray packet = DISCOVERY_EXAMPLE;
        c.Damage(packet);
        EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size() + c.LengthDelta),
                  c.Verify)
            << c.Name;
        EXPECT_EQ(ConfigEnvelopeClass::DecryptConfigPayload(packet), c.Decrypt) << c.Name;
    }
}

TEST(ConfigEnvelope, ShortOrLyingPacketsNeverReadOutside) {
    // Every truncation of a valid packet, handed over in a buffer of exactly that size (so the
    // sanitizer sees any read past it), with its true length and with the length it claims.
    for (qsizetype length = 0; length < DISCOVERY_EXAMPLE.size(); ++length) {
        const QByteArray cut(DISCOVERY_EXAMPLE.constData(), length);
        EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(cut, length), 0) << length;
        EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(cut, DISCOVERY_EXAMPLE.size()), 0)
            << length;
        // The payload checksum ends at byte 43: from 44 bytes on it is all there.
        EXPECT_EQ(ConfigEnvelopeClass::DecryptConfigPayload(cut), length >= 44 ? 1 : 0) << length;
        EXPECT_EQ(ConfigEnvelopeClass::PayloadLength(cut), length >= 17 ? 27 : -1) << length;
        EXPECT_EQ(ConfigEnvelopeClass::PacketType(cut), length >= 18 ? CONFIG_READ : -1) << length;
        EXPECT_EQ(ConfigEnvelopeClass::PacketMacText(cut).isEmpty(), length < 7) << length;
    }
    EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(DISCOVERY_EXAMPLE, -1), 0);

    // A header announcing the largest payload, in a small buffer, and a caller believing it.
    QByteArray huge = DISCOVERY_EXAMPLE;
    huge[15] = char(0xFF);
    huge[16] = char(0xFF);
    EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(huge, huge.size()), 0);
    EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(huge, 0xFFFF + 22), 0);
    EXPECT_EQ(ConfigEnvelopeClass::DecryptConfigPayload(huge), 0);
}

TEST(ConfigEnvelope, PayloadWithoutTypeByteIsRefused) {
    // N = 2 or less leaves no room for a type byte; the checksums alone would pass it.
    for (int n = 0; n <= 2; ++n) {
        ByteWriter writer(64);
        writer.writeU8(CONFIG_START_BYTE);
        writer.writeBytes(QByteArray(14, '\0'));
        writer.writeU16BE(quint16(n));
        writer.writeBytes(QByteArray(n, '\0'));
        writer.writeU16BE(0x0001);
        writer.writeU16BE(writer.sum16(0, writer.size()));
        writer.writeU8(CONFIG_END_BYTE);
        const QByteArray packet = writer.bytes();
        EXPECT_EQ(ConfigEnvelopeClass::DecryptConfigPayload(packet), 0) << n;
    }
}

TEST(ConfigEnvelope, PacketThatWouldNotFitIsNotBuilt) {
    LogCapture log;
    ConfigEnvelopeClass envelope;
    // Header 17 + type 1 + entry (4 + value) + checksum 2 + footer 5 = value + 29.
    const qsizetype fittingValue = REQUEST_BUFFER_SIZE - 29;
    const QByteArray fits = envelope.BuildPacket(
        QStringLiteral("01-02-03-04-05-06"), CONFIG_WRITE, QString(),
        ConfigEnvelopeClass::KeyEntry(0x00A8, QByteArray(fittingValue, 'a')), REQUEST_BUFFER_SIZE);
    EXPECT_EQ(fits.size(), REQUEST_BUFFER_SIZE);
    EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(fits, fits.size()), 1);
    EXPECT_EQ(CounterOf(fits), 1);

    log.clear();
    const QByteArray tooLong = envelope.BuildPacket(
        QStringLiteral("01-02-03-04-05-06"), CONFIG_WRITE, QString(),
        ConfigEnvelopeClass::KeyEntry(0x00A8, QByteArray(fittingValue + 1, 'a')), REQUEST_BUFFER_SIZE);
    EXPECT_TRUE(tooLong.isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("Request too long. Not sent. Length: 1301")));
    for (const QString& line : log.lines())
        EXPECT_FALSE(line.startsWith(QStringLiteral("Uncrypted."))) << line.toStdString();

    // A password that pushes the discovery past its 1024-byte buffer is refused as well; a
    // refused packet does not use up a counter value.
    const QByteArray refused = envelope.BuildDiscoveryRequest(QString(1024 - 49 - 4 + 1, QLatin1Char('p')));
    EXPECT_TRUE(refused.isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("Request too long. Not sent. Length: 1025")));
    const QByteArray longest = envelope.BuildDiscoveryRequest(QString(1024 - 49 - 4, QLatin1Char('p')));
    EXPECT_EQ(longest.size(), DISCOVERY_BUFFER_SIZE);
    EXPECT_EQ(CounterOf(longest), 2);

    // A buffer too small even for the header.
    log.clear();
    EXPECT_TRUE(
        envelope.BuildPacket(QStringLiteral("01-02-03-04-05-06"), CONFIG_READ, QString(), QByteArray(), 16)
            .isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("CreateHeader() error")));
    EXPECT_EQ(envelope.PacketCounter(), 2);
}

TEST(ConfigEnvelope, StepByStepBuildMatchesTheWholeBuild) {
    LogCapture log;
    ConfigEnvelopeClass stepwise;
    ByteWriter packet(KEY_CHANGE_BUFFER_SIZE);
    ASSERT_TRUE(stepwise.CreateHeader(packet, BROADCAST_MAC_TEXT));
    EXPECT_EQ(packet.bytes().mid(15, 2), QByteArray("xx")); // length placeholder until the payload is known
    packet.writeU8(CONFIG_READ);
    ASSERT_TRUE(stepwise.AddPasswordEntry(packet, QString()));
    EXPECT_EQ(packet.size(), 18);
    for (const quint16 key : DISCOVERY_KEYS)
        ASSERT_TRUE(ConfigEnvelopeClass::AppendKeyEntry(packet, key, QByteArray()));
    EXPECT_EQ(stepwise.FinishPacket(packet, CONFIG_TYPE_OFFSET), DISCOVERY_EXAMPLE);

    // Steps that cannot do their work say so and leave the counter alone.
    ByteWriter tiny(CONFIG_HEADER_SIZE + 1);
    stepwise.CreateHeader(tiny, BROADCAST_MAC_TEXT);
    tiny.writeU8(CONFIG_READ);
    EXPECT_FALSE(stepwise.AddPayloadChecksum(CONFIG_TYPE_OFFSET, tiny));
    EXPECT_TRUE(log.contains(QStringLiteral("AddPayloadChecksum() error")));
    EXPECT_FALSE(stepwise.CreateFooter(tiny));
    EXPECT_TRUE(log.contains(QStringLiteral("CreateFooter() error")));
    EXPECT_EQ(stepwise.PacketCounter(), 1);
}
