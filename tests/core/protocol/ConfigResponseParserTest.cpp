#include "core/protocol/ConfigResponseParser.h"

#include "ConfigTestSupport.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"
#include "support/TempHome.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace configtest;

namespace {

// A handler that has heard of one unit and has it open, with counters on the view signals.
struct Receiver {
    Receiver() {
        unit = handler.FindOrCreateUnit(UNIT_MAC, UNIT_IP);
        handler.SetCurrentUnit(unit, QString());
        QObject::connect(&handler, &UnitConfigHandlerClass::settingsChanged, [this]() { ++settings; });
        QObject::connect(&handler, &UnitConfigHandlerClass::unitListChanged,
                         [this](UnitInfoClass* changed) { listed << changed->Mac; });
        QObject::connect(&handler, &UnitConfigHandlerClass::eventLogReady, [this]() { ++eventLogs; });
    }
    void Receive(const QByteArray& packet, const QString& ip = UNIT_IP, int socketType = 0) {
        handler.ParseConfig(packet, ip, socketType);
    }
    void ReceiveFromUnit(const QByteArray& entries) { Receive(UnitPacket(UNIT_MAC, entries)); }
    void ReceiveFromOther(const QByteArray& entries) { Receive(UnitPacket(OTHER_MAC, entries)); }
    UnitInfoClass* Other() const { return handler.FindUnit(OTHER_MAC); }

    UnitConfigHandlerClass handler;
    UnitInfoClass* unit = nullptr;
    SentPackets sent{handler};
    int settings = 0;
    int eventLogs = 0;
    QStringList listed;
};

// A reply to the discovery request.
QByteArray DiscoveryReplyEntries() {
    return Entry(1, Hex("C0 A8 01 32")) + Entry(5, Hex("00 1A 2B 3C 4D 5E")) +
           Entry(105, QByteArray("RDM22 v4.2.1")) + Entry(112, Hex("00 03 01 00")) +
           Entry(117, Hex("00 01 51 80")) + Entry(101, QByteArray("Shop on the corner"));
}

} // namespace

TEST(ConfigResponseParser, KeysAreStoredByTheirType) {
    LogCapture log;
    Receiver r;
    r.ReceiveFromUnit(Entry(42, Hex("01 02 03")) + Entry(5, Hex("00 1A 2B 3C 4D 5E")) +
                      Entry(4, Hex("01 FF")) + Entry(8, Hex("00 05")) + Entry(44, Hex("00 00 15 1D")) +
                      Entry(1, Hex("C0 A8 01 14")) + Entry(40, QByteArray("host")) +
                      Entry(4608, QByteArray("11*")) + Entry(77, Hex("01")) + Entry(4354, Hex("C8")) +
                      Entry(4865, Hex("00 00 25 80")) + Entry(30, Hex("FF FF FF FF")) +
                      Entry(117, Hex("01 02 03 04 05")));
    struct Stored {
        int Id;
        int Value;
        const char* Data;
    };
    const QList<Stored> expected = {
        {42, 66051, ""},             // type 8, three bytes big-endian
        {5, 0, "00 1A 2B 3C 4D 5E"}, // type 100 counts as 0: bytes
        {4, 1, ""},                  // type 1: first byte only
        {8, 5, ""},                  // type 2
        {44, 5405, ""},              // type 5
        {1, 0, "C0 A8 01 14"},       // type 3
        {40, 0, "68 6F 73 74"},      // type 4
        {4099, 0, ""},               // made for the Contact ID "Set To Default" button
        {4608, 0, "31 31 2A"},       // type 0
        {4354, 200, ""},             // type 110
        {4865, 9600, ""},            // type 11
        {30, -1, ""},                // type 108, four bytes
        {117, 0, ""},                // five bytes are no number
    };
    ASSERT_EQ(r.unit->Keys.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const KeyObjectClass* key = r.unit->Keys.at(i);
        SCOPED_TRACE(expected[i].Id);
        EXPECT_EQ(key->Id, expected[i].Id);
        EXPECT_EQ(key->Value, expected[i].Value);
        EXPECT_EQ(HexText(key->Data), HexText(Hex(expected[i].Data)));
    }
    EXPECT_EQ(r.unit->FindKey(77), nullptr); // not in the key table: dropped
    EXPECT_TRUE(log.contains(QStringLiteral("Parse Config from IP: 192.168.1.50. SocketType: 0")));
    EXPECT_TRUE(log.contains(QStringLiteral("Parse Key: 42. DataLength: 3. KeyPos: 18")));
    EXPECT_TRUE(log.contains(QStringLiteral("Parse Key: 5. DataLength: 6. KeyPos: 25")));
    EXPECT_TRUE(log.contains(QStringLiteral("Parse Key: 77. DataLength: 1. KeyPos: 78")));

    // A number key reported again with five bytes becomes 0.
    r.ReceiveFromUnit(Entry(42, Hex("01 02 03 04 05")));
    EXPECT_EQ(r.unit->FindKey(42)->Value, 0);
    r.ReceiveFromUnit(Entry(42, Hex("01 02 03 04")));
    EXPECT_EQ(r.unit->FindKey(42)->Value, 0x01020304);
}

TEST(ConfigResponseParser, DiscoveryReplyCreatesTheUnitAndRefreshesItsRow) {
    LogCapture log;
    Receiver r;
    r.handler.ClearUnits();
    r.Receive(UnitPacket(OTHER_MAC, DiscoveryReplyEntries()), QStringLiteral("10.1.2.3"), 1);
    UnitInfoClass* unit = r.Other();
    ASSERT_NE(unit, nullptr);
    EXPECT_TRUE(log.contains(QStringLiteral("New unit. Mac: 00-1A-2B-3C-4D-5F. RemoteIP: 10.1.2.3")));
    EXPECT_EQ(unit->RemoteIP, QStringLiteral("10.1.2.3"));
    EXPECT_EQ(unit->SocketType, 1);
    EXPECT_EQ(unit->Keys.size(), 6);
    EXPECT_EQ(unit->FindKey(101)->DataText(), QStringLiteral("Shop on the corner"));
    EXPECT_EQ(r.listed, QStringList({OTHER_MAC}));
    EXPECT_EQ(r.settings, 0); // no unit is open
    EXPECT_TRUE(log.contains(QStringLiteral("Config Response. PayloadLength: ") +
                             QString::number(3 + DiscoveryReplyEntries().size())));
}

TEST(ConfigResponseParser, RadioAndLogIdsAreHandedOnOnlyForTheCurrentUnit) {
    LogCapture log;
    Receiver r;
    r.ReceiveFromOther(Entry(0x1023) + Entry(0x00DD, Hex("01 00 40 AA BB")));
    EXPECT_TRUE(log.contains(QStringLiteral("Parse Key: 4131. DataLength: 0. KeyPos: 18")));
    EXPECT_TRUE(log.contains(QStringLiteral("Parse Key: 221. DataLength: 5. KeyPos: 22")));
    EXPECT_TRUE(log.lines().filter(QStringLiteral("ParseIEEEUnits")).isEmpty());
    EXPECT_EQ(r.sent.size(), 0); // no event-log page was asked for
    EXPECT_TRUE(r.handler.EventLogAccumulator().isEmpty());

    log.clear();
    r.ReceiveFromUnit(Entry(0x1023));
    EXPECT_FALSE(log.lines().filter(QStringLiteral("ParseIEEEUnits. KeyLen: 0")).isEmpty());
    EXPECT_TRUE(log.lines().filter(QStringLiteral("Parse Key: 4131")).isEmpty());
}

TEST(ConfigResponseParser, SettingsViewRefreshesOnlyForPlainKeysOfTheCurrentUnit) {
    Receiver r;
    r.ReceiveFromUnit(Entry(42, Hex("00 50")));
    EXPECT_EQ(r.settings, 1);
    r.ReceiveFromUnit(Entry(42, Hex("00 51")) + Entry(0x1049));
    EXPECT_EQ(r.settings, 1);
    r.ReceiveFromOther(Entry(42, Hex("00 52")));
    EXPECT_EQ(r.settings, 1);
    // Every config response refreshes the sender's row in the unit list.
    EXPECT_EQ(r.listed, QStringList({UNIT_MAC, UNIT_MAC, OTHER_MAC}));
    EXPECT_EQ(r.unit->FindKey(42)->Value, 0x51);
}

TEST(ConfigResponseParser, EventLogInTwoPagesAsksOnceForTheSecondAndSplitsTheEntries) {
    LogCapture log;
    Receiver r;
    // Entry 1: nine fixed bytes with n = 3, then 3 bytes. Entry 2: n = 0. Entry 3 says n = 10 but the
    // log ends 7 bytes early.
    const QByteArray entry1 = Hex("01 02 03 04 05 06 07 08 03 41 42 43");
    const QByteArray entry2 = Hex("11 12 13 14 15 16 17 18 00");
    const QByteArray entry3 = Hex("21 22 23 24 25 26 27 28 0A 61 62 63");
    const QByteArray logBytes = entry1 + entry2 + entry3;

    r.ReceiveFromUnit(Entry(0x00DD, Hex("01 00 40") + logBytes.first(17)));
    ASSERT_EQ(r.sent.size(), 1);
    EXPECT_EQ(HexText(EntriesOf(r.sent.at(0).Packet)), QStringLiteral("00 DD 00 02 00 40"));
    EXPECT_TRUE(log.contains(QStringLiteral("RequestShortKey(). Key: 221. Var: 64")));
    EXPECT_TRUE(log.contains(QStringLiteral("Stored 17 bytes of log")));
    EXPECT_EQ(r.eventLogs, 0);
    EXPECT_TRUE(r.unit->EventLog.isEmpty());

    r.ReceiveFromUnit(Entry(0x00DD, Hex("00 00 00") + logBytes.mid(17)));
    EXPECT_EQ(r.sent.size(), 1);
    EXPECT_EQ(r.eventLogs, 1);
    EXPECT_EQ(r.unit->EventLog, QStringList({QString::fromLatin1(entry1), QString::fromLatin1(entry2),
                                             QString::fromLatin1(entry3)}));
    EXPECT_TRUE(r.handler.EventLogAccumulator().isEmpty());
    const QStringList expectedLines = {
        QStringLiteral("Stored 33 bytes of log"),
        QStringLiteral("Offset: 1. LogPostLength: 12. Total Logs: 0"),
        QStringLiteral("LogPost Length: 12"),
        QStringLiteral("Offset: 13. LogPostLength: 9. Total Logs: 1"),
        QStringLiteral("LogPost Length: 9"),
        QStringLiteral("Offset: 22. LogPostLength: 19. Total Logs: 2"),
        QStringLiteral("LogPost Length: 12"),
    };
    const qsizetype first = log.lines().indexOf(expectedLines.first());
    ASSERT_GE(first, 0);
    EXPECT_EQ(log.lines().mid(first).filter(QRegularExpression(QStringLiteral("^(Stored|Offset|LogPost)"))),
              expectedLines);
    // A log reply does not reprint the settings.
    EXPECT_EQ(r.settings, 0);

    // Fewer than nine bytes left over are no entry.
    r.unit->EventLog.clear();
    r.ReceiveFromUnit(Entry(0x00DD, Hex("00 00 00") + entry2 + Hex("01 02 03 04 05 06 07 08")));
    EXPECT_EQ(r.unit->EventLog, QStringList({QString::fromLatin1(entry2)}));
}

TEST(ConfigResponseParser, InputKeysGoToTheInputNamedByKey150OfTheSameUnit) {
    LogCapture log;
    Receiver r;
    // Before any key 150 there is no input to apply them to.
    r.ReceiveFromUnit(Entry(151, QByteArray("Lost")) + Entry(157, Hex("01")));
    EXPECT_TRUE(r.unit->Inputs.isEmpty());

    r.ReceiveFromUnit(Entry(150, QByteArray("2")) + Entry(151, QByteArray("Garage")) + Entry(152, Hex("02")) +
                      Entry(153, Hex("01")) + Entry(154, Hex("28")) + Entry(155, Hex("05")) +
                      Entry(156, Hex("0A")) + Entry(157, Hex("01")) + Entry(158, Hex("01 02")) +
                      Entry(159, Hex("01 02")) + Entry(160, QByteArray("zz")));
    ASSERT_EQ(r.unit->Inputs.size(), 1);
    const InputObjectClass* input = r.unit->Inputs.at(0);
    EXPECT_EQ(input->Address, QStringLiteral("2"));
    EXPECT_EQ(input->Text, QStringLiteral("Garage"));
    EXPECT_EQ(input->Type, 2);
    EXPECT_EQ(input->Balance, 1);
    EXPECT_EQ(input->MaxTemp, 40);
    EXPECT_EQ(input->MinTemp, 5);
    EXPECT_EQ(input->Delay, 10);
    EXPECT_EQ(input->Status, 1);
    EXPECT_EQ(input->Analog, 258);
    EXPECT_EQ(input->Info, QStringLiteral("258"));
    EXPECT_TRUE(log.contains(QStringLiteral("New LastParsedInput: 2")));
    EXPECT_EQ(r.handler.CurrentInput(), input);

    // A later reply without key 150 still applies to input 2; missing bytes change nothing.
    r.ReceiveFromUnit(Entry(157, Hex("03")) + Entry(152) + Entry(158, Hex("07")));
    EXPECT_EQ(input->Status, 3);
    EXPECT_EQ(input->Type, 2);
    EXPECT_EQ(input->Analog, 258);

    // Another unit's input keys never land in this unit's input.
    r.ReceiveFromOther(Entry(157, Hex("04")) + Entry(151, QByteArray("Other")));
    EXPECT_EQ(input->Status, 3);
    EXPECT_EQ(input->Text, QStringLiteral("Garage"));
    EXPECT_TRUE(r.Other()->Inputs.isEmpty());
}

TEST(ConfigResponseParser, InputInfoIsOneSixteenBitNumber) {
    EXPECT_EQ(ConfigResponseParser::InputInfoText(Hex("0A 02")), QStringLiteral("2562"));
    EXPECT_EQ(ConfigResponseParser::InputInfoText(Hex("00 19")), QStringLiteral("25"));
    EXPECT_EQ(ConfigResponseParser::InputInfoText(Hex("FF FF 01")), QStringLiteral("65535"));
    EXPECT_EQ(ConfigResponseParser::InputInfoText(Hex("07")), QString());
}

TEST(ConfigResponseParser, WriteAcknowledgementsAndFirmwareResponses) {
    Receiver r;
    RecordingHooks hooks;
    r.handler.SetHooks(&hooks);
    QStringList acked;
    QList<QByteArray> firmware;
    QObject::connect(&r.handler, &UnitConfigHandlerClass::writeAcknowledged,
                     [&](UnitInfoClass* unit) { acked << unit->Mac; });
    QObject::connect(&r.handler, &UnitConfigHandlerClass::firmwareResponse,
                     [&](const QByteArray& packet) { firmware << packet; });

    r.Receive(UnitPacket(UNIT_MAC, {}, CONFIG_WRITE_ACK));
    EXPECT_EQ(acked, QStringList({UNIT_MAC}));
    EXPECT_TRUE(hooks.Calls.isEmpty()); // no restore running
    hooks.Restore = true;
    r.Receive(UnitPacket(OTHER_MAC, {}, CONFIG_WRITE_ACK));
    EXPECT_EQ(acked, QStringList({UNIT_MAC, OTHER_MAC}));
    EXPECT_EQ(hooks.Calls, QStringList({QStringLiteral("PurgeRestoreItems")}));

    const QByteArray fromCurrent = UnitPacket(UNIT_MAC, Hex("00 01 00 05"), FIRMWARE_RESPONSE);
    r.Receive(fromCurrent);
    r.Receive(UnitPacket(OTHER_MAC, Hex("00 01 00 05"), FIRMWARE_RESPONSE));
    ASSERT_EQ(firmware.size(), 1);
    EXPECT_EQ(firmware.at(0), fromCurrent);
    EXPECT_EQ(r.settings, 0);
    EXPECT_TRUE(r.listed.isEmpty());
}

TEST(ConfigResponseParser, BackupChecksTheFirstEntryThatHasAGroupThenAsksForTheNextItem) {
    Receiver r;
    RecordingHooks hooks;
    r.handler.SetHooks(&hooks);
    r.ReceiveFromUnit(Entry(1, Hex("01 02 03 04")));
    EXPECT_TRUE(hooks.Calls.isEmpty()); // no backup running

    hooks.Backup = true;
    r.ReceiveFromUnit(Entry(77, Hex("01")) + Entry(151, QByteArray("x")) + Entry(1, Hex("01 02 03 04")));
    EXPECT_EQ(hooks.Calls,
              QStringList({QStringLiteral("CheckBackupList 150"), QStringLiteral("CheckBackupList 61440"),
                           QStringLiteral("RequestNextBackupItem")}));
    hooks.Calls.clear();
    hooks.CheckResult = 1; // the first check completed an item: no more checks for this packet
    r.ReceiveFromUnit(Entry(20, Hex("01")) + Entry(180, Hex("01")));
    EXPECT_EQ(hooks.Calls, QStringList({QStringLiteral("CheckBackupList 61441"),
                                        QStringLiteral("RequestNextBackupItem")}));

    struct Group {
        int Key;
        int Expected;
    };
    for (const Group g : {Group{1, 0xF000},   Group{19, 0xF000},   Group{20, 0xF001},   Group{69, 0xF002},
                          Group{70, -1},      Group{99, -1},       Group{100, 0xF004},  Group{149, 0xF004},
                          Group{150, 0xF005}, Group{151, 150},     Group{169, 150},     Group{170, -1},
                          Group{180, 0xF007}, Group{200, -1},      Group{220, 0xF009},  Group{300, 0xF009},
                          Group{4095, -1},    Group{4096, 0xF010}, Group{8192, 0xF010}, Group{8193, -1}})
        EXPECT_EQ(ConfigResponseParser::BackupGroupOfKey(g.Key), g.Expected) << g.Key;
}

// ---- damaged and hostile packets --------------------------------------------------------------

TEST(ConfigResponseParserFuzz, EveryTruncationIsRefusedButStillRecordsTheSender) {
    const QByteArray reply = UnitPacket(OTHER_MAC, DiscoveryReplyEntries());
    for (qsizetype length = 1; length < reply.size(); ++length) {
        SCOPED_TRACE(length);
        LogCapture log;
        Receiver r;
        r.Receive(reply.first(length));
        EXPECT_TRUE(log.contains(QStringLiteral("VerifyConfigPacketChecksum(): FAIL")));
        // Once the six MAC bytes are there, the unit is known, with nothing stored.
        UnitInfoClass* other = r.Other();
        EXPECT_EQ(other != nullptr, length >= 7);
        if (other != nullptr) {
            EXPECT_TRUE(other->Keys.isEmpty());
            EXPECT_EQ(other->RemoteIP, UNIT_IP);
        }
        EXPECT_TRUE(r.listed.isEmpty());
    }
}

TEST(ConfigResponseParserFuzz, EachEnvelopeFaultHasItsLogLine) {
    const QByteArray good = UnitPacket(OTHER_MAC, DiscoveryReplyEntries());
    const int n = ConfigEnvelopeClass::PayloadLength(good);
    auto withLength = [&](int length) {
        QByteArray packet = good;
        packet[15] = static_cast<char>(length >> 8);
        packet[16] = static_cast<char>(length & 0xFF);
        return packet;
    };
    auto packetChecksumFixed = [](QByteArray packet) {
        quint16 sum = 0;
        for (qsizetype i = 0; i < packet.size() - 3; ++i)
            sum = static_cast<quint16>(sum + static_cast<quint8>(packet.at(i)));
        packet[packet.size() - 3] = static_cast<char>(sum >> 8);
        packet[packet.size() - 2] = static_cast<char>(sum & 0xFF);
        return packet;
    };
    QByteArray badPacketSum = good;
    badPacketSum[badPacketSum.size() - 2] =
        static_cast<char>(badPacketSum.at(badPacketSum.size() - 2) ^ 0x01);
    QByteArray badPayloadSum = good;
    badPayloadSum[CONFIG_LENGTH_OFFSET + n] =
        static_cast<char>(badPayloadSum.at(CONFIG_LENGTH_OFFSET + n) ^ 0x10);
    badPayloadSum = packetChecksumFixed(badPayloadSum);
    // A header and footer around a payload of two bytes: no type byte to go by.
    QByteArray noType = Hex("B0 00 1A 2B 3C 4D 5F 00 00 00 00 00 00 00 00 00 02 00 00 00 01 00 00 F0");
    noType = packetChecksumFixed(noType);

    struct Case {
        const char* Name;
        QByteArray Packet;
        const char* Line;
    };
    const QList<Case> cases = {
        {"packet checksum", badPacketSum, "VerifyConfigPacketChecksum(): FAIL"},
        {"payload checksum", badPayloadSum, "DecryptConfigPayload(): FAIL"},
        {"length one more", packetChecksumFixed(withLength(n + 1)), "VerifyConfigPacketChecksum(): FAIL"},
        {"length one less", packetChecksumFixed(withLength(n - 1)), "VerifyConfigPacketChecksum(): FAIL"},
        {"length 0xFFFF", packetChecksumFixed(withLength(0xFFFF)), "VerifyConfigPacketChecksum(): FAIL"},
        {"length 0", packetChecksumFixed(withLength(0)), "VerifyConfigPacketChecksum(): FAIL"},
        {"two packets in one read", good + good, "VerifyConfigPacketChecksum(): FAIL"},
        {"trailing byte", good + Hex("F0"), "VerifyConfigPacketChecksum(): FAIL"},
        {"no type byte", noType, "DecryptConfigPayload(): FAIL"},
        {"unknown type", UnitPacket(OTHER_MAC, DiscoveryReplyEntries(), 0x07), "Unknown Config Response"},
        {"a read request", UnitPacket(OTHER_MAC, DiscoveryReplyEntries(), CONFIG_READ),
         "Unknown Config Response"},
        {"a write request", UnitPacket(OTHER_MAC, DiscoveryReplyEntries(), CONFIG_WRITE),
         "Unknown Config Response"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        LogCapture log;
        Receiver r;
        r.Receive(c.Packet, QStringLiteral("10.9.9.9"), 1);
        EXPECT_TRUE(log.contains(QString::fromLatin1(c.Line)));
        ASSERT_NE(r.Other(), nullptr);
        EXPECT_EQ(r.Other()->RemoteIP, QStringLiteral("10.9.9.9"));
        EXPECT_EQ(r.Other()->SocketType, 1);
        EXPECT_TRUE(r.Other()->Keys.isEmpty());
        EXPECT_TRUE(r.listed.isEmpty());
        EXPECT_FALSE(log.contains(QStringLiteral("ParseConfig Error")));
    }
}

TEST(ConfigResponseParserFuzz, AnEntryRunningPastThePayloadEndsTheWalk) {
    struct Case {
        const char* Name;
        QByteArray Entries;
        int Stored; // entries kept before the walk ended
        int EndPosition;
    };
    const QByteArray first = Entry(42, Hex("00 50"));
    const QList<Case> cases = {
        {"value longer than what is left", first + Hex("00 65 00 32 41 42 43"), 1, 24},
        {"length 0xFFFF", first + Hex("00 65 FF FF 41"), 1, 24},
        {"entry header cut after its id", first + Hex("00 65"), 1, 24},
        {"one stray byte", first + Hex("00"), 1, 24},
        {"first entry already too long", Hex("00 2A 00 09 00 50"), 0, 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        LogCapture log;
        Receiver r;
        r.ReceiveFromUnit(c.Entries);
        EXPECT_EQ(r.unit->Keys.size(), c.Stored);
        EXPECT_EQ(r.unit->FindKey(101), nullptr);
        const int n = 3 + static_cast<int>(c.Entries.size());
        EXPECT_TRUE(log.contains(QStringLiteral("Key entry runs past the payload. Walk ended. KeyPos: %1. "
                                                "PayloadLength: %2")
                                     .arg(c.EndPosition)
                                     .arg(n)));
        // What was complete still counts as a reply.
        EXPECT_EQ(r.listed, QStringList({UNIT_MAC}));
    }

    // A log page or radio list with a lying length is never handed to its parser.
    LogCapture log;
    Receiver r;
    r.ReceiveFromUnit(Hex("00 DD 00 10 01 00 40"));
    r.ReceiveFromUnit(Hex("10 23 01 00 00 01"));
    EXPECT_EQ(r.sent.size(), 0);
    EXPECT_TRUE(log.lines().filter(QStringLiteral("ParseIEEEUnits")).isEmpty());
}

TEST(ConfigResponseParserFuzz, MutatedRepliesNeverCrashOrTouchAnotherUnit) {
    // Replies carrying every kind of entry the parser knows, from the open unit.
    const QByteArray entries = DiscoveryReplyEntries() + Entry(150, QByteArray("1")) +
                               Entry(151, QByteArray("Door")) + Entry(158, Hex("01 02")) +
                               Entry(0x00DD, Hex("00 00 00 01 02 03 04 05 06 07 08 01 41")) +
                               Entry(0x1023, Hex("00 00")) + Entry(0x1034, Hex("01 00 04 41 42 43 44")) +
                               Entry(0x1049, QByteArray(16, '\x01')) + Entry(0x104C, QByteArray(7, '\x02')) +
                               Entry(0x104D, QByteArray(8, '\x03')) + Entry(0x00E2, QByteArray(13, '\x04')) +
                               Entry(4608, QByteArray("x"));
    const QByteArray base = UnitPacket(UNIT_MAC, entries);

    Receiver r;
    UnitInfoClass* bystander = r.handler.FindOrCreateUnit(QStringLiteral("AA-AA-AA-AA-AA-AA"), QString());
    bystander->SetKeyValue(42, 7);
    quint32 seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFF;
    };
    for (int round = 0; round < 3000; ++round) {
        QByteArray packet = base;
        const int flips = 1 + static_cast<int>(next() % 6);
        for (int i = 0; i < flips; ++i) {
            // Leave the MAC alone so every mutation lands on the open unit.
            const qsizetype at = 7 + next() % (packet.size() - 7);
            packet[at] = static_cast<char>(next() & 0xFF);
        }
        if (next() % 4 == 0)
            packet.truncate(1 + next() % packet.size());
        // Most rounds get valid checksums, so the entry walk sees the damage.
        if (next() % 4 != 0)
            RepairChecksums(packet);
        r.Receive(packet);
        // The handler must be intact afterwards: an unmodified reply is still parsed in full.
        if (round % 500 == 0) {
            r.Receive(base);
            EXPECT_EQ(r.unit->FindKey(101)->DataText(), QStringLiteral("Shop on the corner"));
        }
    }
    EXPECT_EQ(bystander->Keys.size(), 1);
    EXPECT_EQ(bystander->FindKey(42)->Value, 7);
    EXPECT_TRUE(bystander->Inputs.isEmpty());
    EXPECT_EQ(r.handler.Units().size(), 2u);
}

TEST(ConfigResponseParser, AUnitListClearedFromASignalEndsTheParseSafely) {
    // A view that starts a new scan when a row changes, and a carrier that does so when a request
    // goes out: the record being parsed is destroyed under the parser's feet.
    {
        Receiver r;
        QObject::connect(&r.handler, &UnitConfigHandlerClass::unitListChanged, &r.handler,
                         [&r]() { r.handler.ClearUnits(); });
        r.ReceiveFromUnit(Entry(42, Hex("00 50")));
        EXPECT_TRUE(r.handler.Units().empty());
        EXPECT_EQ(r.settings, 0);
    }
    {
        Receiver r;
        QObject::connect(&r.handler, &UnitConfigHandlerClass::sendPacket, &r.handler,
                         [&r]() { r.handler.ClearUnits(); });
        r.ReceiveFromUnit(Entry(0x00DD, Hex("01 00 40 01 02 03")) + Entry(42, Hex("00 50")));
        EXPECT_TRUE(r.handler.Units().empty());
        EXPECT_TRUE(r.listed.isEmpty());
        // The next reply makes a fresh record.
        r.ReceiveFromUnit(Entry(42, Hex("00 51")));
        ASSERT_NE(r.handler.FindUnit(UNIT_MAC), nullptr);
        EXPECT_EQ(r.handler.FindUnit(UNIT_MAC)->FindKey(42)->Value, 0x51);
    }
}
