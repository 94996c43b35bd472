#include "core/protocol/KeyChangeEncoder.h"

#include "ConfigTestSupport.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

using namespace configtest;

namespace {

struct ValueCase {
    int Type;
    const char* Text;
    const char* Bytes; // nullptr: refused
};

// Reads the entries of a write packet back into (input, key, value) lines, checking on the way that
// the packet stands on its own: password first, and no input key without a selector before it.
QStringList DecodeWrite(const QByteArray& packet, const QByteArray& passwordEntry, bool& selfContained) {
    QStringList lines;
    const QByteArray entries = EntriesOf(packet);
    selfContained = entries.startsWith(passwordEntry);
    ByteReader reader(entries);
    reader.skip(passwordEntry.size());
    QString input;
    while (!reader.atEnd()) {
        const quint16 key = reader.readU16BE();
        const quint16 length = reader.readU16BE();
        const QByteArray value = reader.readBytes(length);
        if (reader.hasError()) {
            selfContained = false;
            break;
        }
        if (key == KeyChangeEncoder::INPUT_SELECTOR_KEY) {
            input = QString::fromLatin1(value.mid(2));
            continue;
        }
        const bool inputKey = key >= 151 && key <= 169;
        if (inputKey && input.isEmpty())
            selfContained = false;
        lines << QStringLiteral("%1/%2=%3").arg(inputKey ? input : QString()).arg(key).arg(HexText(value));
    }
    return lines;
}

} // namespace

TEST(KeyChangeEncoder, ValueEncodingByType) {
    const QList<ValueCase> cases = {
        // Yes/No
        {1, "Yes", "01"},
        {1, "Ja", "01"},
        {1, "1", "01"},
        {1, "No", "00"},
        {1, "Nej", "00"},
        {1, "yes", nullptr}, // would otherwise silently switch the feature off
        {1, "", nullptr},
        // option index, one byte
        {2, "0", "00"},
        {2, "3", "03"},
        {2, "255", "FF"},
        {2, "256", nullptr},
        {2, "-1", nullptr},
        {2, "three", nullptr},
        // IPv4: spaces of the mask are padding
        {3, "192.168.1.20", "C0 A8 01 14"},
        {3, "192.168.  1. 20", "C0 A8 01 14"},
        {3, "  0.  0.  0.  0", "00 00 00 00"},
        {3, "1.2.3.4.", "01 02 03 04"},
        {3, "192.168..20", nullptr}, // a missing part would shift the others
        {3, "1.2.3", nullptr},       // three parts
        {3, "1.2.3.4.5", nullptr},   // five parts
        {3, "300.1.1.1", nullptr},   // not a byte
        {3, "10.0.0.x", nullptr},    // not a number
        {3, "   .   .   .   ", nullptr},
        // HH:MM:SS in seconds
        {5, "01:30:05", "15 1D"},
        {5, "00:00:00", "00 00"},
        {5, "18:12:15", "FF FF"},
        {5, "18:12:16", nullptr}, // 65536 s does not fit
        {5, "01:3 :05", nullptr},
        {5, "01:30", nullptr},
        // numbers, two bytes big-endian
        {8, "1000", "03 E8"},
        {8, " 42 ", "00 2A"},
        {8, "65535", "FF FF"},
        {8, "-1", "FF FF"},
        {8, "-32768", "80 00"},
        {8, "65536", nullptr},
        {8, "-32769", nullptr},
        {8, "12a", nullptr},
        {8, "", nullptr},
        {9, "7", "00 07"},
        {10, "7", "00 07"},
        {11, "9600", "25 80"},
        // text kinds: one byte a character
        {0, "abc", "61 62 63"},
        {0, "", ""},
        {6, "internet.apn", "69 6E 74 65 72 6E 65 74 2E 61 70 6E"},
        {4, "a\r\nb", "61 0D 0A 62"},
        {0, "\xC3\xA5", "E5"}, // a Latin-1 letter goes as its own byte
        // not writable
        {7, "x", nullptr},
        {100, "x", nullptr},
        {108, "5", nullptr},
    };
    LogCapture log;
    for (const ValueCase& c : cases) {
        const QString text = QString::fromUtf8(c.Text);
        SCOPED_TRACE(QStringLiteral("type %1 text '%2'").arg(c.Type).arg(text).toStdString());
        QByteArray value("junk");
        QString reason;
        const bool ok = KeyChangeEncoder::EncodeValue(c.Type, text, value, reason);
        if (c.Bytes == nullptr) {
            EXPECT_FALSE(ok);
            EXPECT_FALSE(reason.isEmpty());
        } else {
            EXPECT_TRUE(ok) << reason.toStdString();
            EXPECT_EQ(HexText(value), HexText(Hex(c.Bytes)));
        }
    }

    // A character beyond one byte cannot be sent without turning into another character.
    QByteArray value;
    QString reason;
    EXPECT_FALSE(KeyChangeEncoder::EncodeValue(0, QStringLiteral("5 \u20AC"), value, reason));
    EXPECT_TRUE(reason.contains(QStringLiteral("\u20AC")));
}

TEST(KeyChangeEncoder, IpPartsAreLoggedOneByOne) {
    LogCapture log;
    QByteArray value;
    QString reason;
    ASSERT_TRUE(KeyChangeEncoder::EncodeValue(3, QStringLiteral("192.168.  1. 20"), value, reason));
    const QString tail = QStringLiteral(". Length: 15. Var: 192.168.  1. 20");
    EXPECT_EQ(log.lines().filter(QStringLiteral("CTYPE_IPDOTS")),
              QStringList({QStringLiteral("Extracting CTYPE_IPDOTS info. Part: 192") + tail,
                           QStringLiteral("Extracting CTYPE_IPDOTS info. Part: 168") + tail,
                           QStringLiteral("Extracting CTYPE_IPDOTS info. Part: 1") + tail,
                           QStringLiteral("Extracting CTYPE_IPDOTS info. Part: 20") + tail}));
    log.clear();
    EXPECT_FALSE(KeyChangeEncoder::EncodeValue(3, QStringLiteral("10..1.2"), value, reason));
    EXPECT_TRUE(
        log.contains(QStringLiteral("Unable to extract CTYPE_IPDOTS info. Part: . Length: 7. Var: 10..1.2")));
}

TEST(KeyChangeEncoder, InputSelectorsGroupTheChangesOfEachInput) {
    LogCapture log;
    ConfigEnvelopeClass envelope;
    QString lastInput = QStringLiteral("stale");
    const QList<KeyChange> changes = {
        {152, QStringLiteral("1"), 2, QStringLiteral("2")},
        {156, QStringLiteral("30"), 8, QStringLiteral("2")},
        {151, QStringLiteral("Door"), 0, QStringLiteral("5")},
    };
    const KeyChangeResult result =
        KeyChangeEncoder::BuildPackets(envelope, UNIT_MAC, QStringLiteral("1234"), changes, lastInput);
    ASSERT_TRUE(result.Ok());
    ASSERT_EQ(result.Packets.size(), 1);
    EXPECT_EQ(
        HexText(result.Packets.at(0)),
        QStringLiteral("B0 00 1A 2B 3C 4D 5E 00 00 00 00 00 00 00 00 00 2C 01 A0 00 00 04 31 32 33 34 00 96 "
                       "00 03 00 01 32 00 98 00 01 01 00 9C 00 02 00 1E 00 96 00 03 00 01 35 00 97 00 04 44 "
                       "6F 6F 72 06 8F 00 01 09 2D F0"));
    EXPECT_EQ(lastInput, QStringLiteral("5"));
    EXPECT_EQ(log.lines().filter(QStringLiteral("Changed to")),
              QStringList({QStringLiteral("TComboBox (152) Changed to: 1"),
                           QStringLiteral("TEdit (156) Changed to: 30"),
                           QStringLiteral("TEdit (151) Changed to: Door")}));
}

TEST(KeyChangeEncoder, EditorKindsInTheChangeLog) {
    LogCapture log;
    ConfigEnvelopeClass envelope;
    QString lastInput;
    const KeyChangeResult result = KeyChangeEncoder::BuildPackets(envelope, UNIT_MAC, QString(),
                                                                  {{4, QStringLiteral("Yes"), 1, {}},
                                                                   {1, QStringLiteral("10.0.0.1"), 3, {}},
                                                                   {44, QStringLiteral("00:01:00"), 5, {}},
                                                                   {40, QStringLiteral("a\r\nb"), 4, {}},
                                                                   {21, QStringLiteral("apn"), 6, {}},
                                                                   {4865, QStringLiteral("9600"), 11, {}}},
                                                                  lastInput);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(log.lines().filter(QStringLiteral("Changed to")),
              QStringList({QStringLiteral("TComboBox (4) Changed to: Yes"),
                           QStringLiteral("TMaskEdit (1) Changed to: 10.0.0.1"),
                           QStringLiteral("TMaskEdit (44) Changed to: 00:01:00"),
                           QStringLiteral("TMemo (40) Changed to: a\r\nb"),
                           QStringLiteral("TComboBox (21) Changed to: apn"),
                           QStringLiteral("TComboBox (4865) Changed to: 9600")}));
    EXPECT_EQ(
        HexText(EntriesOf(result.Packets.at(0))),
        QStringLiteral("00 04 00 01 01 00 01 00 04 0A 00 00 01 00 2C 00 02 00 3C 00 28 00 04 61 0D 0A 62 "
                       "00 15 00 03 61 70 6E 13 01 00 02 25 80"));
}

TEST(KeyChangeEncoder, ARefusedValueLeavesNothingBuilt) {
    LogCapture log;
    ConfigEnvelopeClass envelope;
    QString lastInput;
    const KeyChangeResult result =
        KeyChangeEncoder::BuildPackets(envelope, UNIT_MAC, QString(),
                                       {{42, QStringLiteral("80"), 8, {}},
                                        {156, QStringLiteral("ten"), 8, QStringLiteral("3")},
                                        {101, QStringLiteral("Owner"), 0, {}}},
                                       lastInput);
    ASSERT_FALSE(result.Ok());
    EXPECT_EQ(result.Refusal->KeyId, 156);
    EXPECT_EQ(result.Refusal->ValueText, QStringLiteral("ten"));
    EXPECT_EQ(result.Refusal->Reason, QStringLiteral("is not a whole number"));
    EXPECT_TRUE(result.Packets.isEmpty());
    EXPECT_EQ(envelope.PacketCounter(), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("SendKeyChanges(): value refused, nothing sent. Key: 156. Value: "
                                            "ten. Reason: is not a whole number")));
    EXPECT_TRUE(log.lines().filter(QStringLiteral("Changed to")).isEmpty());
    EXPECT_TRUE(log.lines().filter(QStringLiteral("Create Header")).isEmpty());

    // One value too long for any write packet is refused too, rather than cut off.
    const qsizetype room = KEY_CHANGE_BUFFER_SIZE - 17 - 1 - 2 - 5 - 4;
    const KeyChangeResult tooLong = KeyChangeEncoder::BuildPackets(
        envelope, UNIT_MAC, QString(), {{101, QString(room + 1, QLatin1Char('x')), 0, {}}}, lastInput);
    EXPECT_FALSE(tooLong.Ok());
    const KeyChangeResult fits = KeyChangeEncoder::BuildPackets(
        envelope, UNIT_MAC, QString(), {{101, QString(room, QLatin1Char('x')), 0, {}}}, lastInput);
    ASSERT_TRUE(fits.Ok());
    EXPECT_EQ(fits.Packets.at(0).size(), KEY_CHANGE_BUFFER_SIZE);
}

TEST(KeyChangeEncoder, SplitsExactlyAtTheBufferLimit) {
    ConfigEnvelopeClass envelope;
    QString lastInput;
    const QString password = QStringLiteral("1234");
    // With the password, 1424 - 33 = 1391 bytes are left for entries.
    auto build = [&](int secondLength) {
        return KeyChangeEncoder::BuildPackets(envelope, UNIT_MAC, password,
                                              {{101, QString(691, QLatin1Char('a')), 0, {}},
                                               {22, QString(secondLength, QLatin1Char('b')), 0, {}}},
                                              lastInput);
    };
    const KeyChangeResult full = build(692); // 695 + 696 = 1391
    ASSERT_TRUE(full.Ok());
    ASSERT_EQ(full.Packets.size(), 1);
    EXPECT_EQ(full.Packets.at(0).size(), KEY_CHANGE_BUFFER_SIZE);

    const KeyChangeResult split = build(693);
    ASSERT_TRUE(split.Ok());
    ASSERT_EQ(split.Packets.size(), 2);
    EXPECT_EQ(split.Packets.at(0).size(), 33 + 695);
    EXPECT_EQ(split.Packets.at(1).size(), 33 + 697);
    for (const QByteArray& packet : split.Packets) {
        EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()), 1);
        EXPECT_EQ(ConfigEnvelopeClass::DecryptConfigPayload(packet), 1);
    }
    // Each packet counts on its own.
    EXPECT_EQ(envelope.PacketCounter(), 3);
}

TEST(KeyChangeEncoder, ALargeSetOfInputChangesIsSpreadOverSelfContainedPackets) {
    ConfigEnvelopeClass envelope;
    QString lastInput;
    const QString password = QStringLiteral("secret");
    const QByteArray passwordEntry = Entry(0xA000, QByteArray("secret"));
    QList<KeyChange> changes;
    QStringList expected;
    for (int input = 1; input <= 9; ++input) {
        const QString address = QString::number(input);
        const QString text = QString(400, QLatin1Char('a' + input));
        changes.append({151, text, 0, address});
        changes.append({152, QStringLiteral("1"), 2, address});
        changes.append({156, QString::number(input * 10), 8, address});
        changes.append({101, QStringLiteral("Owner %1").arg(input), 0, {}});
        expected
            << QStringLiteral("%1/151=%2").arg(address, HexText(text.toLatin1()))
            << QStringLiteral("%1/152=01").arg(address)
            << QStringLiteral("%1/156=00 %2").arg(address).arg(input * 10, 2, 16, QLatin1Char('0')).toUpper()
            << QStringLiteral("/101=%1").arg(HexText(QStringLiteral("Owner %1").arg(input).toLatin1()));
    }
    const KeyChangeResult result =
        KeyChangeEncoder::BuildPackets(envelope, UNIT_MAC, password, changes, lastInput);
    ASSERT_TRUE(result.Ok());
    ASSERT_GE(result.Packets.size(), 3);

    QStringList decoded;
    for (const QByteArray& packet : result.Packets) {
        EXPECT_LE(packet.size(), KEY_CHANGE_BUFFER_SIZE);
        EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()), 1);
        EXPECT_EQ(ConfigEnvelopeClass::PacketType(packet), CONFIG_WRITE);
        bool selfContained = false;
        decoded += DecodeWrite(packet, passwordEntry, selfContained);
        EXPECT_TRUE(selfContained);
    }
    // Every change arrives once, in order, for the input it was made on.
    EXPECT_EQ(decoded, expected);
    // Packets are filled before a new one starts: the first entry of each following packet
    // (with its selector) would not have fitted the one before.
    for (qsizetype i = 0; i + 1 < result.Packets.size(); ++i) {
        const QByteArray next = EntriesOf(result.Packets.at(i + 1)).mid(passwordEntry.size());
        ByteReader reader(next);
        reader.skip(2);
        qsizetype firstEntry = 4 + reader.readU16BE();
        if (next.startsWith(Hex("00 96"))) {
            reader.skip(firstEntry - 4);
            reader.skip(2);
            firstEntry += 4 + reader.readU16BE();
        }
        EXPECT_GT(result.Packets.at(i).size() + firstEntry, KEY_CHANGE_BUFFER_SIZE);
    }
}

TEST(KeyChangeEncoder, NoChangesStillSendsThePasswordOnly) {
    ConfigEnvelopeClass envelope;
    QString lastInput = QStringLiteral("4");
    const KeyChangeResult result =
        KeyChangeEncoder::BuildPackets(envelope, UNIT_MAC, QStringLiteral("pw"), {}, lastInput);
    ASSERT_TRUE(result.Ok());
    ASSERT_EQ(result.Packets.size(), 1);
    EXPECT_EQ(HexText(EntriesOf(result.Packets.at(0))), QStringLiteral("A0 00 00 02 70 77"));
    EXPECT_TRUE(lastInput.isEmpty());

    // A password that leaves no room for a packet is refused.
    const KeyChangeResult refused = KeyChangeEncoder::BuildPackets(
        envelope, UNIT_MAC, QString(KEY_CHANGE_BUFFER_SIZE, QLatin1Char('p')), {}, lastInput);
    EXPECT_FALSE(refused.Ok());
}

TEST(KeyChangeEncoder, ASplitInsideOneInputRepeatsItsSelector) {
    ConfigEnvelopeClass envelope;
    QString lastInput;
    // Password entry 10 bytes: 1424 - 35 = 1389 bytes for entries. Selector (7) + text entry (4 + 1375)
    // leave 3 bytes, too few for the next key of the same input.
    const KeyChangeResult result =
        KeyChangeEncoder::BuildPackets(envelope, UNIT_MAC, QStringLiteral("secret"),
                                       {{151, QString(1375, QLatin1Char('t')), 0, QStringLiteral("7")},
                                        {152, QStringLiteral("4"), 2, QStringLiteral("7")},
                                        {153, QStringLiteral("1"), 2, QStringLiteral("7")}},
                                       lastInput);
    ASSERT_TRUE(result.Ok());
    ASSERT_EQ(result.Packets.size(), 2);
    EXPECT_EQ(result.Packets.at(0).size(), KEY_CHANGE_BUFFER_SIZE - 3);
    EXPECT_EQ(
        HexText(EntriesOf(result.Packets.at(1))),
        QStringLiteral("A0 00 00 06 73 65 63 72 65 74 00 96 00 03 00 01 37 00 98 00 01 04 00 99 00 01 01"));
    EXPECT_EQ(lastInput, QStringLiteral("7"));
}
