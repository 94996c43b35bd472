#include "sim/SimUnit.h"

#include "SimTestSupport.h"
#include "core/protocol/MacText.h"
#include "core/unit/FormatKeyValue.h"
#include "core/unit/KeyDefinitionTable.h"
#include "core/unit/KeyObjectClass.h"
#include "core/unit/UnitInfoClass.h"
#include "sim/SimSite.h"

#include <QJsonDocument>
#include <gtest/gtest.h>
#include <random>

namespace {

// The discovery request exactly as the tool sends it first after start-up.
const QByteArray DISCOVERY =
    HexBytes("B0 FF FF FF FF FF FF 00 00 00 00 00 00 00 00 00 1B 02 00 01 00 00 00 05 00 00 "
             "00 69 00 00 00 70 00 00 00 75 00 00 00 65 00 00 01 BB 00 01 09 3D F0");

QByteArray Read(const SimUnit& unit, const QByteArray& entries, const QString& password = {}) {
    return BuildRequest(unit.MacText(), CONFIG_READ, password, entries);
}

QByteArray Write(const SimUnit& unit, const QByteArray& entries, const QString& password = {}) {
    return BuildRequest(unit.MacText(), CONFIG_WRITE, password, entries);
}

QList<ReplyEntry> ReadEntries(SimUnit& unit, const QByteArray& entries, const QString& password = {}) {
    return AllEntries(unit.HandleRequest(Read(unit, entries, password)));
}

QByteArray ValueOf(SimUnit& unit, quint16 key) {
    const QList<ReplyEntry> entries = ReadEntries(unit, Entry(key), unit.Password());
    return entries.size() == 1 && entries[0].Id == key ? entries[0].Value : QByteArray("<missing>");
}

// Keeps every reply sound and of the expected type.
void ExpectSoundReplies(const QList<QByteArray>& replies, const SimUnit& unit, int type) {
    for (const QByteArray& packet : replies) {
        const ParsedReply reply = ParseReply(packet);
        EXPECT_TRUE(reply.Sound);
        if (type == CONFIG_RESPONSE) {
            EXPECT_TRUE(reply.EntriesFit);
        }
        EXPECT_EQ(reply.Type, type);
        EXPECT_EQ(reply.Mac, unit.MacText());
    }
}

TEST(SimUnitTest, EveryDemoUnitAnswersTheDiscoveryWithItsKeysInTheOrderAsked) {
    for (const auto& [product, index] : {std::pair{1, 0}, {3, 1}, {4, 2}}) {
        SimUnit unit = SimUnit::Demo(product, index);
        unit.SetPassword(QStringLiteral("secret")); // discovery needs none
        const QList<QByteArray> replies = unit.HandleRequest(DISCOVERY);
        ASSERT_EQ(replies.size(), 1) << product;
        ExpectSoundReplies(replies, unit, CONFIG_RESPONSE);
        const QList<ReplyEntry> entries = ParseReply(replies[0]).Entries;
        EXPECT_EQ(EntryIds(entries), (QList<quint16>{1, 5, 105, 112, 117, 101}));
        EXPECT_EQ(entries[1].Value, unit.Mac());
        EXPECT_TRUE(entries[2].Value.contains(" v")) << entries[2].Value.constData();
        EXPECT_EQ(((quint8)entries[3].Value[0] << 8) | (quint8)entries[3].Value[1], product);
        EXPECT_FALSE(entries[5].Value.isEmpty());

        // The same read with a wrong password still finds the unit; one of its keys alone does not.
        QByteArray six;
        for (const quint16 key : DISCOVERY_KEYS)
            six += Entry(key);
        EXPECT_EQ(
            unit.HandleRequest(BuildRequest(BROADCAST_MAC_TEXT, CONFIG_READ, QStringLiteral("wrong"), six))
                .size(),
            1);
        EXPECT_TRUE(
            unit.HandleRequest(BuildRequest(BROADCAST_MAC_TEXT, CONFIG_READ, {}, Entry(101))).isEmpty());
        EXPECT_TRUE(unit.HandleRequest(Read(unit, six)).isEmpty());
    }
}

TEST(SimUnitTest, AnswersOnlyItsOwnMacOrTheBroadcastMac) {
    SimUnit unit = SimUnit::Demo(1, 0);
    SimUnit other = SimUnit::Demo(1, 5);
    EXPECT_EQ(unit.HandleRequest(Read(other, Entry(0xF000))).size(), 0);
    EXPECT_TRUE(unit.LastRequestWasForAnotherUnit());
    EXPECT_GE(unit.HandleRequest(Read(unit, Entry(0xF000))).size(), 1);
    EXPECT_GE(unit.HandleRequest(BuildRequest(BROADCAST_MAC_TEXT, CONFIG_READ, {}, Entry(0xF000))).size(), 1);
}

TEST(SimUnitTest, GroupReadWithAFourCharacterPasswordIsAnsweredOnlyWithThatPassword) {
    SimUnit unit = SimUnit::Demo(4, 2);
    unit.SetPassword(QStringLiteral("1234"));
    const QByteArray request = Read(unit, Entry(0xF004), QStringLiteral("1234"));
    // The request layout the tool uses: type, password entry, group entry.
    EXPECT_EQ(request.mid(17, 13), HexBytes("02 A0 00 00 04 31 32 33 34 F0 04 00 00"));

    const QList<QByteArray> replies = unit.HandleRequest(request);
    ASSERT_FALSE(replies.isEmpty());
    ExpectSoundReplies(replies, unit, CONFIG_RESPONSE);
    const QList<ReplyEntry> entries = AllEntries(replies);
    QList<quint16> expected;
    for (const SimKey& key : unit.Keys()) {
        if (key.Id >= 100 && key.Id <= 149)
            expected.append(key.Id);
    }
    EXPECT_EQ(EntryIds(entries), expected);
    EXPECT_EQ(FindEntry(entries, 100)->Value, QByteArray("1234"));

    for (const QString& wrong : {QString(), QStringLiteral("1235"), QStringLiteral("12345")}) {
        EXPECT_TRUE(unit.HandleRequest(Read(unit, Entry(0xF004), wrong)).isEmpty()) << wrong.toStdString();
        EXPECT_EQ(unit.LastIgnoreReason(), QStringLiteral("wrong password"));
        EXPECT_TRUE(unit.HandleRequest(Write(unit, Entry(101, "Mallory"), wrong)).isEmpty());
    }
    EXPECT_EQ(ValueOf(unit, 101),
              QByteArray("Lindgatan 14 Housing Coop")); // the refused write changed nothing

    // A unit without a password takes requests with or without one.
    SimUnit open = SimUnit::Demo(1, 0);
    EXPECT_FALSE(open.HandleRequest(Read(open, Entry(0xF004), QStringLiteral("anything"))).isEmpty());
}

TEST(SimUnitTest, EveryMenuOfEveryProductReportsEveryTableKeyOfItsRange) {
    // Menus a product shows, by key range; Custom depends on the product and is checked apart.
    const QList<KeyMenu> fixedMenus = {MENU_IP,     MENU_GPRS, MENU_ALARMSERVER,
                                       MENU_SYSTEM, MENU_SMS,  MENU_LOGS};
    for (const auto& [product, index] : {std::pair{1, 0}, {3, 1}, {4, 2}}) {
        SimUnit unit = SimUnit::Demo(product, index);
        for (const KeyMenu menu : fixedMenus) {
            const KeyMenuRange& range = KeyMenuRangeOf(menu);
            const QList<QByteArray> replies = unit.HandleRequest(Read(unit, Entry(range.GroupId)));
            ExpectSoundReplies(replies, unit, CONFIG_RESPONSE);
            const QList<quint16> ids = EntryIds(AllEntries(replies));
            for (int slot = 0; slot < KEY_TABLE_SLOTS; ++slot) {
                const KeyDefinition& key = KeyDefinitionAt(slot);
                if (key.Id >= range.FirstKey && key.Id <= range.LastKey) {
                    EXPECT_EQ(ids.count(key.Id), 1) << "product " << product << " key " << key.Id;
                }
            }
            for (const quint16 id : ids)
                EXPECT_NE(FindKeyIndex(id), KEY_NOT_FOUND) << id;
        }
        const QList<quint16> custom = EntryIds(AllEntries(unit.HandleRequest(Read(unit, Entry(0xF010)))));
        EXPECT_TRUE(custom.contains(4608)) << product; // every product reports Contact ID codes
        EXPECT_EQ(custom.contains(4128), product == 3);
        EXPECT_EQ(custom.contains(4896), product == 4);
        EXPECT_EQ(custom.contains(4864), product == 1);
    }
}

TEST(SimUnitTest, ValuesReadBackThroughTheToolsKeyTextsAsATechnicianWouldSeeThem) {
    SimUnit unit = SimUnit::Demo(3, 1);
    UnitInfoClass record(unit.MacText());
    auto text = [&](int id) {
        const QByteArray value = ValueOf(unit, static_cast<quint16>(id));
        const int kind = KeyBaseKindOf(KeyDefinitionAt(FindKeyIndex(id)).Type);
        if (kind == KEY_KIND_TEXT || kind == KEY_KIND_IPV4 || kind == KEY_KIND_TEXTLINES ||
            kind == KEY_KIND_TEXT_SUGGEST || kind == KEY_KIND_ACTION) {
            record.SetKeyData(id, value);
        } else {
            qint32 number = 0;
            for (const char byte : value)
                number = (number << 8) | static_cast<quint8>(byte);
            record.SetKeyValue(id, number);
        }
        return FormatKeyValue(*record.FindKey(id), record);
    };
    EXPECT_EQ(text(1), QStringLiteral("127.0.0.3"));
    EXPECT_EQ(text(5), unit.MacText());
    EXPECT_EQ(text(8), QStringLiteral("+1"));
    EXPECT_EQ(text(44), QStringLiteral("00:01:30"));
    EXPECT_EQ(text(53), QStringLiteral("Korvex: v2.5.3"));
    EXPECT_EQ(text(112), QStringLiteral("Product: 3. Board: 6"));
    EXPECT_EQ(text(4133), QStringLiteral("15"));
    EXPECT_EQ(text(4139), QStringLiteral("2017-06-05"));
    EXPECT_TRUE(text(117).endsWith(QStringLiteral("Secs."))) << text(117).toStdString();
    EXPECT_TRUE(text(220).endsWith(QStringLiteral(" Events")));
    EXPECT_GE(text(220).section(QLatin1Char(' '), 0, 0).toInt(), 200);
    EXPECT_GE(text(225).section(QLatin1Char(' '), 0, 0).toInt(), 30);
    EXPECT_GE(text(4128).toInt(), 12);
}

TEST(SimUnitTest, InputsGroupGivesKey150ThenItsNineKeysForEveryInput) {
    for (const auto& [product, inputs] : {std::pair{1, 8}, {3, 3}, {4, 2}}) {
        SimUnit unit = SimUnit::Demo(product, 0);
        const QList<ReplyEntry> entries = ReadEntries(unit, Entry(0xF005));
        ASSERT_EQ(entries.size(), inputs * 10) << product;
        for (int i = 0; i < inputs; ++i) {
            EXPECT_EQ(entries[i * 10].Id, 150);
            EXPECT_EQ(entries[i * 10].Value, QByteArray::number(i + 1));
            for (int k = 1; k < 10; ++k)
                EXPECT_EQ(entries[i * 10 + k].Id, 150 + k);
        }
    }
}

TEST(SimUnitTest, OneInputIsReadThroughTheInputSelector) {
    SimUnit unit = SimUnit::Demo(1, 0);
    const QByteArray selector = HexBytes("00 96 00 03 00 01 33"); // RequestInput("3")
    const QList<ReplyEntry> entries = AllEntries(unit.HandleRequest(Read(unit, selector)));
    ASSERT_EQ(entries.size(), 10);
    EXPECT_EQ(entries[0].Value, QByteArray("3"));
    EXPECT_EQ(entries[1].Value, unit.Inputs[2].Text);
    // A backup asks for "003": the same input.
    EXPECT_EQ(AllEntries(unit.HandleRequest(Read(unit, Entry(0x0096, HexBytes("00 01") + "003"))))[0].Value,
              QByteArray("3"));
    EXPECT_TRUE(unit.HandleRequest(Read(unit, Entry(0x0096, HexBytes("00 01") + "9"))).isEmpty());
}

TEST(SimUnitTest, LongGroupAnswersAreSplitIntoPacketsOfTheConfiguredSize) {
    SimUnit unit = SimUnit::Demo(1, 0);
    unit.MaxReplyBytes = 100000;
    const QList<QByteArray> whole = unit.HandleRequest(Read(unit, Entry(0xF010)));
    ASSERT_EQ(whole.size(), 1);
    ASSERT_GT(whole[0].size(), 600);

    for (const int limit : {600, 300, SimUnit::MIN_MAX_REPLY_BYTES}) {
        unit.MaxReplyBytes = limit;
        const QList<QByteArray> parts = unit.HandleRequest(Read(unit, Entry(0xF010)));
        EXPECT_GT(parts.size(), 1) << limit;
        for (const QByteArray& part : parts)
            EXPECT_LE(part.size(), limit);
        ExpectSoundReplies(parts, unit, CONFIG_RESPONSE);
        EXPECT_EQ(EntryIds(AllEntries(parts)), EntryIds(AllEntries(whole))) << limit;
    }
    // An input's ten keys stay together.
    unit.MaxReplyBytes = 200;
    for (const QByteArray& part : unit.HandleRequest(Read(unit, Entry(0xF005))))
        EXPECT_EQ(ParseReply(part).Entries.first().Id, 150);
}

TEST(SimUnitTest, WritesAreAcknowledgedAppliedAndReadBack) {
    SimUnit unit = SimUnit::Demo(1, 0);
    QByteArray changes;
    changes += Entry(101, "New Owner AB");          // text
    changes += Entry(42, U16Bytes(9006));           // number, 2 bytes
    changes += Entry(8, HexBytes("0E"));            // choice
    changes += Entry(1, HexBytes("C0 A8 01 14"));   // 192.168.1.20
    changes += Entry(44, U16Bytes(0x151D));         // 01:30:05
    changes += Entry(4865, U16Bytes(19200));        // number with suggestions
    changes += Entry(117, HexBytes("00 00 00 01")); // a status key: the unit's own
    const QList<QByteArray> replies = unit.HandleRequest(Write(unit, changes));
    ASSERT_EQ(replies.size(), 1);
    ExpectSoundReplies(replies, unit, CONFIG_WRITE_ACK);

    EXPECT_EQ(ValueOf(unit, 101), QByteArray("New Owner AB"));
    EXPECT_EQ(ValueOf(unit, 42), U16Bytes(9006));
    EXPECT_EQ(ValueOf(unit, 8), HexBytes("0E"));
    EXPECT_EQ(ValueOf(unit, 1), HexBytes("C0 A8 01 14"));
    EXPECT_EQ(ValueOf(unit, 44), U16Bytes(5405));
    EXPECT_EQ(ValueOf(unit, 4865), U16Bytes(19200));
    EXPECT_GT(ValueOf(unit, 117), HexBytes("00 00 00 01"));

    // A number keeps the width the unit reports it in, whatever width was written.
    unit.HandleRequest(Write(unit, Entry(42, HexBytes("00 00 23 28"))));
    EXPECT_EQ(ValueOf(unit, 42), U16Bytes(9000));
    // A write with only the password (as after the Contact ID defaults) is still acknowledged.
    EXPECT_EQ(unit.HandleRequest(Write(unit, {})).size(), 1);
}

TEST(SimUnitTest, InputSelectorsRouteTheFollowingInputKeysToTheirInput) {
    SimUnit unit = SimUnit::Demo(1, 0);
    QByteArray changes;
    changes += HexBytes("00 96 00 03 00 01 32"); // input 2
    changes += Entry(151, "Sprinkler");
    changes += Entry(156, U16Bytes(45));
    changes += HexBytes("00 96 00 03 00 01 35"); // input 5
    changes += Entry(155, U16Bytes(static_cast<quint16>(-10)));
    ASSERT_EQ(unit.HandleRequest(Write(unit, changes)).size(), 1);
    EXPECT_EQ(unit.Inputs[1].Text, QByteArray("Sprinkler"));
    EXPECT_EQ(unit.Inputs[1].Delay, 45);
    EXPECT_EQ(static_cast<qint8>(unit.Inputs[4].MinTemp), -10);
    EXPECT_EQ(unit.Inputs[0].Text, QByteArray("Fire panel alarm"));

    // Read back the way the tool does.
    const QList<ReplyEntry> entries =
        AllEntries(unit.HandleRequest(Read(unit, HexBytes("00 96 00 03 00 01 32"))));
    EXPECT_EQ(FindEntry(entries, 151)->Value, QByteArray("Sprinkler"));

    // Input keys without a selector go nowhere.
    unit.HandleRequest(Write(unit, Entry(151, "Lost")));
    for (const SimInput& input : unit.Inputs)
        EXPECT_NE(input.Text, QByteArray("Lost"));

    // "Send Ack" acknowledges the inputs in alarm or fault.
    ASSERT_EQ(unit.Inputs[2].Status, 1);
    ASSERT_EQ(unit.Inputs[5].Status, 2);
    unit.HandleRequest(Write(unit, Entry(168, QByteArray(1, '\xFF'))));
    EXPECT_EQ(unit.Inputs[2].Status, 3);
    EXPECT_EQ(unit.Inputs[5].Status, 4);
}

TEST(SimUnitTest, CommandsRunAndAreAcknowledged) {
    SimUnit unit = SimUnit::Demo(1, 0);
    const QByteArray reboot = Write(unit, Entry(0xA001));
    EXPECT_EQ(reboot.mid(18, 4), HexBytes("A0 01 00 00"));
    ASSERT_EQ(unit.HandleRequest(reboot).size(), 1);
    EXPECT_EQ(unit.Reboots(), 1);
    EXPECT_LT(ValueOf(unit, 117), HexBytes("00 00 00 05")); // uptime starts again

    unit.HandleRequest(Write(unit, Entry(101, "Changed")));
    ASSERT_EQ(unit.HandleRequest(Write(unit, Entry(0xA006))).size(), 1);
    EXPECT_EQ(ValueOf(unit, 101), QByteArray("Brandvik Properties AB"));

    // Set Mac: the acknowledgement still carries the old MAC, later replies the new one.
    const QString oldMac = unit.MacText();
    const QList<QByteArray> ack = unit.HandleRequest(Write(unit, Entry(5, "02-3C-A7-01-02-03")));
    ASSERT_EQ(ack.size(), 1);
    EXPECT_EQ(ParseReply(ack[0]).Mac, oldMac);
    EXPECT_EQ(unit.MacText(), QStringLiteral("02-3C-A7-01-02-03"));
    EXPECT_EQ(ValueOf(unit, 5), HexBytes("02 3C A7 01 02 03"));
    unit.HandleRequest(Write(unit, Entry(5, "02-3C-A7-")));
    EXPECT_EQ(unit.MacText(), QStringLiteral("02-3C-A7-01-02-03"));
}

TEST(SimUnitTest, DeviceAndZoneCommandsChangeTheRadioLists) {
    SimUnit unit = SimUnit::Demo(3, 1);
    ASSERT_TRUE(unit.Radio.has_value());
    const int before = static_cast<int>(unit.Radio->Devices.size());
    const QByteArray address =
        QString::fromLatin1(unit.Radio->Devices.last().Ieee.toHex().toUpper()).toLatin1();
    ASSERT_EQ(unit.HandleRequest(Write(unit, Entry(0x102D, address))).size(), 1);
    EXPECT_EQ(unit.Radio->Devices.size(), before - 1);
    EXPECT_EQ(ValueOf(unit, 4128), U16Bytes(static_cast<quint16>(before - 1)));
}

QList<QByteArray> Pages(SimUnit& unit, quint16 key, int maxPages = 500) {
    QList<QByteArray> pages;
    quint16 position = 0;
    for (int i = 0; i < maxPages; ++i) {
        const QList<ReplyEntry> entries = ReadEntries(unit, Entry(key, U16Bytes(position)));
        if (entries.size() != 1 || entries[0].Id != key || entries[0].Value.size() < 3)
            break;
        pages.append(entries[0].Value);
        if (entries[0].Value[0] != 1)
            break;
        position = static_cast<quint16>((static_cast<quint8>(entries[0].Value[1]) << 8) |
                                        static_cast<quint8>(entries[0].Value[2]));
    }
    return pages;
}

TEST(SimUnitTest, EventLogIsPagedUntilItsLastPageAndSplitsIntoEveryEvent) {
    SimUnit unit = SimUnit::Demo(1, 0);
    const QList<QByteArray> pages = Pages(unit, 0x00DD);
    ASSERT_GT(pages.size(), 1);
    QByteArray log;
    for (const QByteArray& page : pages)
        log += page.mid(3);
    EXPECT_EQ(log, unit.Logs.EventLogBytes());
    int count = 0;
    for (qsizetype p = 0; p + 9 <= log.size(); p += 9 + static_cast<quint8>(log[p + 8]))
        ++count;
    EXPECT_EQ(count, unit.Logs.Events.size());
    EXPECT_GE(count, 200);
}

TEST(SimUnitTest, FirmwareUploadIsAnsweredStepByStepAndChecked) {
    SimUnit unit = SimUnit::Demo(1, 0);
    QByteArray file = QByteArray("...PRODUCT:RDM22SMS;PVER:3.5.0;") + QByteArray(2500 - 31, 'x');
    ASSERT_EQ(file.size(), 2500);
    quint16 checksum = 0;
    for (const char byte : file)
        checksum = static_cast<quint16>(checksum + static_cast<quint8>(byte));
    auto step = [&](const QByteArray& value) {
        return unit.HandleRequest(Write(unit, Entry(0xA005, value)));
    };
    auto status = [&](const QList<QByteArray>& replies) {
        EXPECT_EQ(replies.size(), 1); // a firmware response, no write acknowledgement
        ExpectSoundReplies(replies, unit, FIRMWARE_RESPONSE);
        return replies.isEmpty() ? QByteArray() : ParseReply(replies[0]).Body;
    };

    EXPECT_EQ(status(step(HexBytes("00 00 00 00 09 C4") + U16Bytes(checksum))), HexBytes("00 00"));
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(
            status(step(HexBytes("00 01") + U16Bytes(static_cast<quint16>(n)) + file.mid(n * 1024, 1024))),
            HexBytes("00 01 00") + QByteArray(1, static_cast<char>(n)));
    EXPECT_EQ(status(step(HexBytes("00 02"))), HexBytes("00 02"));
    EXPECT_EQ(unit.FirmwareUpdates(), 1);
    EXPECT_EQ(unit.ProductText(), QStringLiteral("RDM22SMS v3.5.0"));

    // The start entry of a 70000-byte file with checksum 0x1234, as the tool writes it.
    const QByteArray start = Write(unit, HexBytes("A0 05 00 08 00 00 00 01 11 70 12 34"));
    EXPECT_EQ(status(unit.HandleRequest(start)), HexBytes("00 00"));
    EXPECT_EQ(unit.FirmwareUpload().Size, 70000u);
    EXPECT_EQ(unit.FirmwareUpload().Checksum, 0x1234);

    // Checksum or size mismatch: FIRMWARE_UPDATE_CHKERROR.
    for (const int cut : {0, 1}) {
        status(step(HexBytes("00 00 00 00 09 C4") + U16Bytes(static_cast<quint16>(checksum + 1 - cut))));
        for (int n = 0; n < 3 - cut; ++n)
            status(step(HexBytes("00 01") + U16Bytes(static_cast<quint16>(n)) + file.mid(n * 1024, 1024)));
        EXPECT_EQ(status(step(HexBytes("00 02"))), HexBytes("00 03")) << cut;
    }
    EXPECT_EQ(unit.FirmwareUpdates(), 1);

    // Radio firmware: the version bytes land in the stored radio firmware keys.
    SimUnit gateway = SimUnit::Demo(3, 1);
    const QByteArray radio("PRODUCT:Q7 RF;PVER:1.2.3;");
    const quint16 radioSum = [&] {
        quint16 sum = 0;
        for (const char byte : radio)
            sum = static_cast<quint16>(sum + static_cast<quint8>(byte));
        return sum;
    }();
    auto radioStep = [&](const QByteArray& value) {
        return gateway.HandleRequest(Write(gateway, Entry(0x1043, value)));
    };
    radioStep(HexBytes("00 00") + HexBytes("00 00 00") + QByteArray(1, static_cast<char>(radio.size())) +
              U16Bytes(radioSum) + HexBytes("01 02 03 00"));
    radioStep(HexBytes("00 01 00 00") + radio);
    EXPECT_EQ(ParseReply(radioStep(HexBytes("00 02")).value(0)).Body, HexBytes("00 02"));
    EXPECT_EQ(ValueOf(gateway, 4164), HexBytes("01 02 03"));
    EXPECT_EQ(ValueOf(gateway, 4165), U16Bytes(radioSum));
}

// Whatever arrives, the unit neither crashes nor answers with anything but a sound packet; the
// cases that cannot be a request get no reply at all.
TEST(SimUnitTest, MalformedRequestsGetNoReplyAndNeverCrash) {
    SimUnit unit = SimUnit::Demo(3, 1);
    const QByteArray good = Read(unit, Entry(0xF000));
    auto withLength = [&](int n) {
        QByteArray packet = good;
        packet[15] = static_cast<char>(n >> 8);
        packet[16] = static_cast<char>(n & 0xFF);
        return packet;
    };
    auto resum = [](QByteArray packet) { // makes both checksums right again after an edit
        const int n = ConfigEnvelopeClass::PayloadLength(packet);
        quint16 sum = 0;
        for (int i = 17; i < 15 + n; ++i)
            sum = static_cast<quint16>(sum + static_cast<quint8>(packet[i]));
        packet[15 + n] = static_cast<char>(sum >> 8);
        packet[16 + n] = static_cast<char>(sum & 0xFF);
        sum = 0;
        for (int i = 0; i < 19 + n; ++i)
            sum = static_cast<quint16>(sum + static_cast<quint8>(packet[i]));
        packet[19 + n] = static_cast<char>(sum >> 8);
        packet[20 + n] = static_cast<char>(sum & 0xFF);
        return packet;
    };
    QByteArray badPacketChecksum = good;
    badPacketChecksum[good.size() - 2] = static_cast<char>(badPacketChecksum[good.size() - 2] ^ 0x01);
    QByteArray badPayloadChecksum = good;
    badPayloadChecksum[good.size() - 7] = static_cast<char>(badPayloadChecksum[good.size() - 7] ^ 0x01);
    QByteArray entryTooLong = good;
    entryTooLong[21] = 0x10; // the group entry claims 0x1000 bytes
    QByteArray typeFour = good;
    typeFour[17] = CONFIG_RESPONSE;
    QByteArray typeSeven = good;
    typeSeven[17] = 0x07;
    QByteArray halfEntry = Read(unit, Entry(0xF000)).left(17) + HexBytes("00 07 02 F0 00 00");

    const struct {
        const char* Name;
        QByteArray Packet;
    } cases[] = {
        {"empty", {}},
        {"one byte", HexBytes("B0")},
        {"header only", good.left(17)},
        {"cut in half", good.left(good.size() / 2)},
        {"one byte short", good.chopped(1)},
        {"one byte long", good + '\0'},
        {"wrong start byte", QByteArray(1, '\xB1') + good.mid(1)},
        {"wrong packet checksum", badPacketChecksum},
        {"wrong payload checksum", badPayloadChecksum},
        {"length says more", withLength(ConfigEnvelopeClass::PayloadLength(good) + 4)},
        {"length says less", withLength(ConfigEnvelopeClass::PayloadLength(good) - 4)},
        {"length below a payload", withLength(2)},
        {"length 65535", withLength(0xFFFF)},
        {"entry runs past the payload", resum(entryTooLong)},
        {"half an entry header", resum(halfEntry + HexBytes("00 00 00 00 00"))},
        {"a config response sent to the unit", resum(typeFour)},
        {"unknown packet type", resum(typeSeven)},
        {"unknown key only", Read(unit, Entry(0x7777))},
        {"input key without input", Read(unit, Entry(151))},
        {"firmware data without a start", Write(unit, Entry(0xA005, HexBytes("00 01 00 00 41 42")))},
        {"firmware step cut short", Write(unit, Entry(0xA005, HexBytes("00")))},
        {"firmware start cut short", Write(unit, Entry(0xA005, HexBytes("00 00 00 00")))},
        {"unknown firmware step", Write(unit, Entry(0xA005, HexBytes("00 09")))},
        {"input selector without address", Read(unit, Entry(0x0096))},
        {"page request without position", Read(unit, Entry(0x00DD, HexBytes("01")))},
        {"garbage", QByteArray("GET / HTTP/1.1\r\nHost: unit\r\n\r\n")},
        {"all 0xFF", QByteArray(64, '\xFF')},
    };
    for (const auto& c : cases) {
        const QList<QByteArray> replies = unit.HandleRequest(c.Packet);
        const bool mayAnswer = QByteArray(c.Name) == "page request without position"; // asks for page 0
        if (!mayAnswer) {
            EXPECT_TRUE(replies.isEmpty()) << c.Name;
        }
        ExpectSoundReplies(replies, unit, CONFIG_RESPONSE);
    }
    // A firmware start too large for the unit's flash is refused outright.
    const QList<QByteArray> huge =
        unit.HandleRequest(Write(unit, Entry(0xA005, HexBytes("00 00 7F FF FF FF 00 00"))));
    ASSERT_EQ(huge.size(), 1);
    EXPECT_EQ(ParseReply(huge[0]).Body, HexBytes("00 03"));
}

TEST(SimUnitTest, RandomlyDamagedRequestsNeverCrashTheUnit) {
    SimUnit unit = SimUnit::Demo(3, 1);
    const QList<QByteArray> seeds = {
        DISCOVERY,
        Read(unit, Entry(0xF005)),
        Read(unit, Entry(0x1023, U16Bytes(0)) + Entry(0x00E2, U16Bytes(0))),
        Write(unit,
              HexBytes("00 96 00 03 00 01 32") + Entry(151, "x") + Entry(0x1033, "0000000000000000\x00\x01")),
        Write(unit, Entry(0xA005, HexBytes("00 00 00 00 00 10 00 00"))),
        Write(unit, Entry(0x1035, HexBytes("05 00 03 41 42 43 0D 02 41 42"))),
    };
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        QByteArray packet = seeds[round % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !packet.isEmpty(); ++e) {
            const qsizetype at = static_cast<qsizetype>(random() % static_cast<quint32>(packet.size()));
            switch (random() % 3) {
            case 0:
                packet[at] = static_cast<char>(random());
                break;
            case 1:
                packet.truncate(at);
                break;
            default:
                packet.insert(at, static_cast<char>(random()));
                break;
            }
        }
        // Half of the damaged packets get their checksums mended, so the entry walk sees them too.
        if (round % 2 == 0 && packet.size() >= 22) {
            const int n = static_cast<int>(packet.size()) - 22;
            packet[15] = static_cast<char>(n >> 8);
            packet[16] = static_cast<char>(n & 0xFF);
            quint16 sum = 0;
            for (int i = 17; i < 15 + n; ++i)
                sum = static_cast<quint16>(sum + static_cast<quint8>(packet[i]));
            if (n >= 3) {
                packet[15 + n] = static_cast<char>(sum >> 8);
                packet[16 + n] = static_cast<char>(sum & 0xFF);
            }
            sum = 0;
            for (int i = 0; i < 19 + n; ++i)
                sum = static_cast<quint16>(sum + static_cast<quint8>(packet[i]));
            packet[19 + n] = static_cast<char>(sum >> 8);
            packet[20 + n] = static_cast<char>(sum & 0xFF);
        }
        for (const QByteArray& reply : unit.HandleRequest(packet))
            ASSERT_TRUE(ParseReply(reply).Sound) << packet.toHex().constData();
    }
}

TEST(SimUnitTest, JsonRoundTripKeepsEverythingTheUnitAnswers) {
    SimUnit unit = SimUnit::Demo(3, 1);
    unit.SetPassword(QStringLiteral("pw"));
    unit.Address = QStringLiteral("10.1.2.3");
    const QJsonObject json = unit.ToJson();
    QString error;
    std::optional<SimUnit> copy =
        SimUnit::FromJson(QJsonDocument::fromJson(QJsonDocument(json).toJson()).object(), &error);
    ASSERT_TRUE(copy.has_value()) << error.toStdString();
    EXPECT_EQ(copy->ToJson(), json);
    EXPECT_EQ(copy->Address, unit.Address);
    for (const quint16 group : {0xF000, 0xF001, 0xF002, 0xF004, 0xF005, 0xF007, 0xF010}) {
        EXPECT_EQ(EntryIds(ReadEntries(*copy, Entry(group), QStringLiteral("pw"))),
                  EntryIds(ReadEntries(unit, Entry(group), QStringLiteral("pw"))))
            << group;
    }
    EXPECT_EQ(ValueOf(*copy, 4135), ValueOf(unit, 4135));

    // A unit may start from a demo unit and override a few things.
    const QJsonObject small = QJsonDocument::fromJson(R"({"Demo": 4, "Index": 7, "Password": "abc",
        "Keys": [{"Key": 101, "Text": "Owner X"}, {"Key": 42, "Number": 9100}, {"Key": 2, "IP": "255.255.0.0"},
                 {"Key": 4999, "Hex": "01 02"}]})")
                                  .object();
    std::optional<SimUnit> demo = SimUnit::FromJson(small, &error);
    ASSERT_TRUE(demo.has_value()) << error.toStdString();
    EXPECT_EQ(demo->ProductCode(), 4);
    EXPECT_EQ(demo->Password(), QStringLiteral("abc"));
    EXPECT_EQ(ValueOf(*demo, 101), QByteArray("Owner X"));
    EXPECT_EQ(ValueOf(*demo, 42), U16Bytes(9100));
    EXPECT_EQ(ValueOf(*demo, 2), HexBytes("FF FF 00 00"));
    EXPECT_EQ(ValueOf(*demo, 4999), HexBytes("01 02"));
}

TEST(SimUnitTest, BadUnitDescriptionsAreRefusedWithAReason) {
    const char* bad[] = {
        R"({})",
        R"({"Mac": "02-3C"})",
        R"({"Demo": 2})",
        R"({"Mac": "02-3C-A7-00-00-09", "Keys": [{"Key": 0, "Text": "x"}]})",
        R"({"Mac": "02-3C-A7-00-00-09", "Keys": [{"Key": 42, "Number": 70000, "Bytes": 2}]})",
        R"({"Mac": "02-3C-A7-00-00-09", "Keys": [{"Key": 1, "IP": "300.1.1.1"}]})",
        R"({"Mac": "02-3C-A7-00-00-09", "Keys": [{"Key": 1, "Hex": "0G"}]})",
        R"({"Mac": "02-3C-A7-00-00-09", "Keys": "none"})",
        R"({"Mac": "02-3C-A7-00-00-09", "Inputs": [{"Address": ""}]})",
        R"({"Mac": "02-3C-A7-00-00-09", "MaxReplyBytes": 20})",
        R"({"Mac": "02-3C-A7-00-00-09", "Address": "not an address"})",
        R"({"Mac": "02-3C-A7-00-00-09", "Misbehaviour": {"DropFraction": 2}})",
    };
    for (const char* text : bad) {
        QString error;
        EXPECT_FALSE(SimUnit::FromJson(QJsonDocument::fromJson(text).object(), &error).has_value()) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
    }
}

} // namespace
