#include "ConfigTestSupport.h"
#include "core/app/DebugLog.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/UnitInfoClass.h"
#include "support/TempHome.h"

#include <functional>
#include <gtest/gtest.h>

using namespace configtest;

namespace {

// A handler with one unit open, as after "Open" in the main window.
struct OpenUnit {
    explicit OpenUnit(const QString& password = QString(), quint8 socketType = UnitInfoClass::SOCKET_UDP) {
        unit = handler.FindOrCreateUnit(UNIT_MAC, UNIT_IP);
        unit->SocketType = socketType;
        handler.SetCurrentUnit(unit, password);
    }
    UnitConfigHandlerClass handler;
    UnitInfoClass* unit = nullptr;
    SentPackets sent{handler};
};

struct RequestCase {
    const char* Name;
    std::function<bool(UnitConfigHandlerClass&)> Request;
    quint8 Type;
    const char* Entries; // after the password entry
    const char* LogLine;
};

} // namespace

TEST(UnitConfigHandler, EveryRequestLayoutWithAndWithoutPassword) {
    using H = UnitConfigHandlerClass;
    const QList<RequestCase> cases = {
        {"key group", [](H& h) { return h.RequestKeyGroup(0xF004); }, CONFIG_READ, "F0 04 00 00",
         "RequestKeyGroup(): 0xF004"},
        {"custom group", [](H& h) { return h.RequestKeyGroup(0xF010); }, CONFIG_READ, "F0 10 00 00",
         "RequestKeyGroup(): 0xF010"},
        {"input 3", [](H& h) { return h.RequestInput(QStringLiteral("3")); }, CONFIG_READ,
         "00 96 00 03 00 01 33", "RequestInput(): 3"},
        {"input 12", [](H& h) { return h.RequestInput(QStringLiteral("12")); }, CONFIG_READ,
         "00 96 00 04 00 01 31 32", "RequestInput(): 12"},
        {"event log page", [](H& h) { return h.RequestShortKey(0x00DD, 64); }, CONFIG_READ,
         "00 DD 00 02 00 40", "RequestShortKey(). Key: 221. Var: 64"},
        {"device page", [](H& h) { return h.RequestShortKey(0x1023, 0x0102); }, CONFIG_READ,
         "10 23 00 02 01 02", "RequestShortKey(). Key: 4131. Var: 258"},
        {"neighbors", [](H& h) { return h.RequestKeyString(0x1049, QStringLiteral("ALL")); }, CONFIG_READ,
         "10 49 00 03 41 4C 4C", "RequestKeyString(). Key: 4169. Data: ALL"},
        {"set MAC", [](H& h) { return h.PostKeyString(0x0005, QStringLiteral("00-1A")); }, CONFIG_WRITE,
         "00 05 00 05 30 30 2D 31 41", "PostKeyString(). Key: 5. Data: 00-1A"},
        {"ack input", [](H& h) { return h.PostKeyString(0x00A8, QStringLiteral("2")); }, CONFIG_WRITE,
         "00 A8 00 01 32", "PostKeyString(). Key: 168. Data: 2"},
        {"reboot", [](H& h) { return h.PostCommand(0xA001); }, CONFIG_WRITE, "A0 01 00 00",
         "PostCommand(). Key: 40961"},
        {"toggle output 2", [](H& h) { return h.PostCommand(0xA00A); }, CONFIG_WRITE, "A0 0A 00 00",
         "PostCommand(). Key: 40970"},
    };
    for (const QString& password : {QString(), QStringLiteral("abcd")}) {
        for (const RequestCase& c : cases) {
            SCOPED_TRACE(std::string(c.Name) + " password '" + password.toStdString() + "'");
            LogCapture log;
            OpenUnit open(password);
            ASSERT_TRUE(c.Request(open.handler));
            ASSERT_EQ(open.sent.size(), 1);
            const QByteArray& packet = open.sent.at(0).Packet;
            EXPECT_EQ(ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()), 1);
            EXPECT_EQ(ConfigEnvelopeClass::DecryptConfigPayload(packet), 1);
            EXPECT_EQ(ConfigEnvelopeClass::PacketMacText(packet), UNIT_MAC);
            EXPECT_EQ(ConfigEnvelopeClass::PacketType(packet), c.Type);
            const QByteArray passwordEntry =
                password.isEmpty() ? QByteArray() : Hex("A0 00 00 04 61 62 63 64");
            EXPECT_EQ(HexText(EntriesOf(packet)), HexText(passwordEntry + Hex(c.Entries)));
            EXPECT_TRUE(log.contains(QString::fromLatin1(c.LogLine)));
            // The operation's own line comes before the packet is built.
            EXPECT_LT(log.lines().indexOf(QString::fromLatin1(c.LogLine)),
                      log.lines().indexOf(QStringLiteral("Create Header. Mac: ") + UNIT_MAC));
        }
    }
}

TEST(UnitConfigHandler, WholePacketsMatchHandBuiltBytes) {
    {
        OpenUnit open;
        open.handler.RequestKeyGroup(0xF000);
        EXPECT_EQ(HexText(open.sent.at(0).Packet),
                  QStringLiteral("B0 00 1A 2B 3C 4D 5E 00 00 00 00 00 00 00 00 00 "
                                 "07 02 F0 00 00 00 00 F2 00 01 03 C8 F0"));
    }
    {
        OpenUnit open(QStringLiteral("1234"));
        open.handler.PostCommand(0xA001);
        EXPECT_EQ(
            HexText(open.sent.at(0).Packet),
            QStringLiteral("B0 00 1A 2B 3C 4D 5E 00 00 00 00 00 00 00 00 00 0F 01 A0 00 00 04 31 32 33 34 "
                           "A0 01 00 00 02 10 00 01 04 0E F0"));
    }
    {
        // Discovery goes to every unit, first packet after start-up.
        UnitConfigHandlerClass handler;
        SentPackets sent(handler);
        ASSERT_TRUE(handler.SendDiscovery(QString(), UnitInfoClass::SOCKET_TCP));
        EXPECT_EQ(
            HexText(sent.at(0).Packet),
            QStringLiteral("B0 FF FF FF FF FF FF 00 00 00 00 00 00 00 00 00 1B 02 00 01 00 00 00 05 00 00 "
                           "00 69 00 00 00 70 00 00 00 75 00 00 00 65 00 00 01 BB 00 01 09 3D F0"));
        EXPECT_EQ(sent.at(0).SocketType, UnitInfoClass::SOCKET_TCP);
    }
}

TEST(UnitConfigHandler, CarrierFollowsTheCurrentUnitsSocketType) {
    struct Case {
        quint8 UnitSocket;
        quint8 Carrier;
    };
    for (const Case c : {Case{UnitInfoClass::SOCKET_UDP, 0}, Case{UnitInfoClass::SOCKET_TCP, 1}}) {
        OpenUnit open(QString(), c.UnitSocket);
        open.handler.RequestKeyGroup(0xF000);
        open.handler.RequestShortKey(0x00DD, 0);
        ASSERT_EQ(open.sent.size(), 2);
        for (const SentPacket& sent : open.sent.Packets) {
            EXPECT_EQ(sent.SocketType, c.Carrier);
            EXPECT_EQ(sent.RemoteIp, UNIT_IP);
        }
    }

    // A serial device gets its own frames from the serial protocol, never a config packet.
    OpenUnit serial(QString(), UnitInfoClass::SOCKET_SERIAL);
    RecordingHooks hooks;
    serial.handler.SetHooks(&hooks);
    EXPECT_TRUE(serial.handler.RequestKeyGroup(0xF000));
    EXPECT_TRUE(serial.handler.PostCommand(0xA001));
    EXPECT_EQ(serial.sent.size(), 0);
    EXPECT_EQ(hooks.Calls, QStringList({QStringLiteral("SerialRequestKeyGroup f000"),
                                        QStringLiteral("SerialPostCommand a001")}));
}

TEST(UnitConfigHandler, FirstPageOfDeviceOrZoneListEmptiesThatListOnly) {
    OpenUnit open;
    auto fill = [&]() {
        open.unit->FindOrAddDevice(QStringLiteral("0011223344556677"));
        open.unit->FindOrAddZone(3);
    };
    fill();
    open.handler.RequestShortKey(0x1023, 5); // a later page keeps what came before
    EXPECT_EQ(open.unit->Devices.size(), 1);
    open.handler.RequestShortKey(0x1023, 0);
    EXPECT_EQ(open.unit->Devices.size(), 0);
    EXPECT_EQ(open.unit->Zones.size(), 1);
    EXPECT_EQ(HexText(EntriesOf(open.sent.last().Packet)), QStringLiteral("10 23 00 02 00 00"));

    fill();
    open.handler.RequestShortKey(0x1034, 0);
    EXPECT_EQ(open.unit->Zones.size(), 0);
    EXPECT_EQ(open.unit->Devices.size(), 1);
    open.handler.RequestShortKey(0x00E2, 0); // other lists are the parsers' business
    EXPECT_EQ(open.unit->Devices.size(), 1);
}

TEST(UnitConfigHandler, RequestsWithoutAnOpenUnitOrThatDoNotFitSendNothing) {
    LogCapture log;
    UnitConfigHandlerClass handler;
    SentPackets sent(handler);
    EXPECT_FALSE(handler.RequestKeyGroup(0xF000));
    EXPECT_FALSE(handler.RequestShortKey(0x1023, 0));
    EXPECT_FALSE(handler.PostCommand(0xA001));
    EXPECT_EQ(sent.size(), 0);
    EXPECT_TRUE(log.contains(QStringLiteral("Error Requesting keygroups")));
    EXPECT_TRUE(log.contains(QStringLiteral("Error Requesting Short Key")));
    EXPECT_TRUE(log.contains(QStringLiteral("Error PostCommand")));

    // A text argument too long for the 1300-byte request buffer is refused whole, and the counter
    // is not used up by it.
    OpenUnit open;
    const quint16 before = open.handler.Envelope().PacketCounter();
    EXPECT_FALSE(open.handler.PostKeyString(0x1030, QString(1300 - 17 - 1 - 4 - 7 + 1, QLatin1Char('x'))));
    EXPECT_EQ(open.sent.size(), 0);
    EXPECT_EQ(open.handler.Envelope().PacketCounter(), before);
    EXPECT_TRUE(log.contains(QStringLiteral("Error PostKeyString")));
    // One byte less fits exactly.
    EXPECT_TRUE(open.handler.PostKeyString(0x1030, QString(1300 - 17 - 1 - 4 - 7, QLatin1Char('x'))));
    ASSERT_EQ(open.sent.size(), 1);
    EXPECT_EQ(open.sent.at(0).Packet.size(), 1300);
}

TEST(UnitConfigHandler, ContactIdDefaultsGoToTheEditorsOfKeysTheUnitHas) {
    OpenUnit open(QStringLiteral("pw"));
    for (const int key : {0x1200, 0x1202, 0x1207, 0x1209, 0x121B, 0x1001})
        open.unit->SetKeyData(key, QByteArray("x"));
    open.unit->SetKeyData(0x121C, QByteArray("x")); // past the Contact ID keys

    QList<KeyEditorText> texts;
    QObject::connect(&open.handler, &UnitConfigHandlerClass::editorTextsRequested,
                     [&](const QList<KeyEditorText>& given) { texts = given; });
    ASSERT_TRUE(open.handler.PostCommand(UnitConfigHandlerClass::COMMAND_CONTACT_ID_DEFAULTS));

    QStringList got;
    for (const KeyEditorText& t : texts)
        got << QStringLiteral("%1=%2").arg(t.KeyId, 0, 16).arg(t.Text);
    EXPECT_EQ(
        got,
        QStringList({QStringLiteral("1200=11*,---,---,---,---"), QStringLiteral("1202=---,---,---,---,---"),
                     QStringLiteral("1207=375,376,---,---,---"), QStringLiteral("1209=15*,16*,10*,14*,---"),
                     QStringLiteral("121b=---,---,---,---,---"), QStringLiteral("1001=8")}));
    // No command entry for 0x1003: the write carries only the password.
    ASSERT_EQ(open.sent.size(), 1);
    EXPECT_EQ(ConfigEnvelopeClass::PacketType(open.sent.at(0).Packet), CONFIG_WRITE);
    EXPECT_EQ(HexText(EntriesOf(open.sent.at(0).Packet)), QStringLiteral("A0 00 00 02 70 77"));

    // All defaults of the table, on a unit with every Contact ID key.
    UnitInfoClass full(UNIT_MAC);
    for (int key = 0x1200; key <= 0x121B; ++key)
        full.SetKeyValue(key, 0);
    full.SetKeyValue(0x1002, 0);
    const QList<KeyEditorText> all = UnitConfigHandlerClass::ContactIdDefaults(full);
    ASSERT_EQ(all.size(), 29);
    QHash<int, QString> byKey;
    for (const KeyEditorText& t : all)
        byKey.insert(t.KeyId, t.Text);
    EXPECT_EQ(byKey.value(0x1201), QStringLiteral("373,---,---,---,---"));
    EXPECT_EQ(byKey.value(0x1203), QStringLiteral("13*,---,---,---,---"));
    EXPECT_EQ(byKey.value(0x1206), QStringLiteral("12*,---,---,---,---"));
    EXPECT_EQ(byKey.value(0x120A), QStringLiteral("20*,3**,---,---,---"));
    EXPECT_EQ(byKey.value(0x1218), QStringLiteral("401,---,---,---,---"));
    EXPECT_EQ(byKey.value(0x1210), QStringLiteral("---,---,---,---,---"));
    EXPECT_EQ(byKey.value(0x1002), QStringLiteral("11"));
    EXPECT_FALSE(byKey.contains(0x1001));
}

TEST(UnitConfigHandler, SendKeyChangesGoesToTheUnitOfTheMacOnItsCarrier) {
    LogCapture log;
    OpenUnit open;
    UnitInfoClass* tcpUnit = open.handler.FindOrCreateUnit(OTHER_MAC, QStringLiteral("10.0.0.9"));
    tcpUnit->SocketType = UnitInfoClass::SOCKET_TCP;

    const KeyChangeResult result = open.handler.SendKeyChanges(
        OTHER_MAC, QStringLiteral("pw"), {KeyChange{42, QStringLiteral("9006"), 8, QString()}});
    ASSERT_TRUE(result.Ok());
    ASSERT_EQ(open.sent.size(), 1);
    EXPECT_EQ(open.sent.at(0).SocketType, UnitInfoClass::SOCKET_TCP);
    EXPECT_EQ(open.sent.at(0).RemoteIp, QStringLiteral("10.0.0.9"));
    EXPECT_EQ(ConfigEnvelopeClass::PacketMacText(open.sent.at(0).Packet), OTHER_MAC);
    EXPECT_EQ(HexText(EntriesOf(open.sent.at(0).Packet)),
              QStringLiteral("A0 00 00 02 70 77 00 2A 00 02 23 2E"));
    EXPECT_TRUE(log.contains(QStringLiteral("SendKeyChanges(). Mac: ") + OTHER_MAC));
    EXPECT_TRUE(log.contains(QStringLiteral("TEdit (42) Changed to: 9006")));

    // Unknown MAC: refused, nothing sent.
    open.sent.clear();
    const KeyChangeResult unknown = open.handler.SendKeyChanges(
        QStringLiteral("AA-BB-CC-DD-EE-FF"), QString(), {KeyChange{42, QStringLiteral("1"), 8, QString()}});
    EXPECT_FALSE(unknown.Ok());
    EXPECT_EQ(open.sent.size(), 0);

    // A refused value: nothing at all goes out, and the refusal names key and value.
    const KeyChangeResult refused =
        open.handler.SendKeyChanges(UNIT_MAC, QString(),
                                    {KeyChange{42, QStringLiteral("80"), 8, QString()},
                                     KeyChange{1, QStringLiteral("10.0.0.300"), 3, {}}});
    ASSERT_FALSE(refused.Ok());
    EXPECT_EQ(refused.Refusal->KeyId, 1);
    EXPECT_EQ(refused.Refusal->ValueText, QStringLiteral("10.0.0.300"));
    EXPECT_EQ(open.sent.size(), 0);

    // Serial devices take the changes through their own protocol.
    RecordingHooks hooks;
    open.handler.SetHooks(&hooks);
    open.unit->SocketType = UnitInfoClass::SOCKET_SERIAL;
    open.handler.SendKeyChanges(UNIT_MAC, QString(), {KeyChange{4355, QStringLiteral("5"), 8, QString()}});
    EXPECT_EQ(open.sent.size(), 0);
    ASSERT_EQ(hooks.SerialChanges.size(), 1);
    EXPECT_EQ(hooks.SerialChanges.at(0).KeyId, 4355);
}

TEST(UnitConfigHandler, UnitRecordsAreFoundByMacAndClearedWithTheCurrentUnitAndInput) {
    LogCapture log;
    UnitConfigHandlerClass handler;
    UnitInfoClass* first = handler.FindOrCreateUnit(UNIT_MAC, QStringLiteral("10.0.0.1"));
    EXPECT_TRUE(log.contains(QStringLiteral("New unit. Mac: 00-1A-2B-3C-4D-5E. RemoteIP: 10.0.0.1")));
    EXPECT_EQ(handler.FindOrCreateUnit(UNIT_MAC, QStringLiteral("10.0.0.2")), first);
    EXPECT_EQ(first->RemoteIP, QStringLiteral("10.0.0.2"));
    EXPECT_EQ(log.count(QStringLiteral("New unit. Mac: 00-1A-2B-3C-4D-5E. RemoteIP: 10.0.0.1")), 1);
    handler.FindOrCreateUnit(OTHER_MAC, QString());
    ASSERT_EQ(handler.Units().size(), 2u);
    EXPECT_EQ(handler.Units().at(1)->Mac, OTHER_MAC);

    handler.SetCurrentUnit(first, QStringLiteral("pw"));
    handler.SetCurrentInput(first, first->FindOrAddInput(QStringLiteral("1")));
    EXPECT_TRUE(handler.IsCurrent(first));
    EXPECT_FALSE(handler.IsCurrent(handler.FindUnit(OTHER_MAC)));

    int cleared = 0;
    QObject::connect(&handler, &UnitConfigHandlerClass::unitsCleared, [&]() { ++cleared; });
    handler.ClearUnits();
    EXPECT_EQ(cleared, 1);
    EXPECT_TRUE(handler.Units().empty());
    EXPECT_EQ(handler.CurrentUnit(), nullptr);
    EXPECT_EQ(handler.CurrentInput(), nullptr);
    EXPECT_EQ(handler.FindUnit(UNIT_MAC), nullptr);
}

TEST(UnitConfigHandler, TimerTickRunsFirmwareRestoreThenRadioPolling) {
    OpenUnit open;
    RecordingHooks hooks;
    open.handler.SetHooks(&hooks);
    open.handler.Radio().StartRequestingNeighbors(QStringLiteral("ALL"));
    for (int tick = 0; tick < RadioPayloadsClass::POLL_START_COUNTDOWN; ++tick)
        open.handler.TimerTick();
    EXPECT_EQ(hooks.Calls.mid(0, 2),
              QStringList({QStringLiteral("FirmwareTimeoutTick"), QStringLiteral("RestoreCountdownTick")}));
    // The neighbor poller's request goes out through the handler as a read of 0x1049.
    ASSERT_GE(open.sent.size(), 1);
    const QByteArray entries = EntriesOf(open.sent.last().Packet);
    EXPECT_EQ(ConfigEnvelopeClass::PacketType(open.sent.last().Packet), CONFIG_READ);
    EXPECT_EQ(HexText(entries.first(2)), QStringLiteral("10 49"));
}

TEST(UnitConfigHandler, DestructorLeavesItsLogLine) {
    LogCapture log;
    { UnitConfigHandlerClass handler; }
    EXPECT_TRUE(log.contains(QStringLiteral("Destroy UnitConfigHandlerClass")));
}
