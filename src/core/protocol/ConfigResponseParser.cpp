#include "core/protocol/ConfigResponseParser.h"

#include "core/app/DebugLog.h"
#include "core/protocol/ByteReader.h"
#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/KeyDefinitionTable.h"
#include "core/unit/SaveDebugData.h"
#include "core/unit/UnitInfoClass.h"

#include <exception>

namespace {

constexpr int INPUT_ADDRESS_KEY = 150;
constexpr int FIRST_INPUT_FIELD_KEY = 151;
constexpr int LAST_INPUT_FIELD_KEY = 169;
// Key 4099 has the "Set To Default" button of the Contact ID keys; it must exist wherever the
// first Contact ID key (4608) is shown.
constexpr int CONTACT_ID_FIRST_KEY = 4608;
constexpr int CONTACT_ID_DEFAULTS_KEY = 4099;

// Event-log page: more flag, next position (2 bytes), log bytes. Entry: 9 fixed bytes, the ninth
// giving how many bytes follow.
constexpr int EVENT_LOG_PAGE_HEADER = 3;
constexpr int EVENT_LOG_ENTRY_FIXED = 9;

// A discovery reply is parsed hundreds of thousands of times a second in a busy scan; the log
// texts are only built while the debug log is being written.
bool LogActive() {
    return DebugLog::instance().countdown() > 0;
}

// The value bytes as a big-endian number when there are 1 to 4 of them; 0 for any other length.
qint32 BigEndianNumber(const QByteArray& value) {
    if (value.isEmpty() || value.size() > 4)
        return 0;
    quint32 number = 0;
    for (const char byte : value)
        number = (number << 8) | static_cast<quint8>(byte);
    return static_cast<qint32>(number);
}

} // namespace

void ConfigResponseParser::ParseConfig(const QByteArray& packet, const QString& senderIp, int socketType) {
    try {
        WriteLog(QStringLiteral("Parse Config from IP: ") + senderIp + QStringLiteral(". SocketType: ") +
                 QString::number(socketType));

        // The record is found or made before any check, so even a damaged packet shows that a unit
        // with this MAC is out there. Without the six MAC bytes there is nobody to record.
        const QString mac = ConfigEnvelopeClass::PacketMacText(packet);
        if (mac.isEmpty()) {
            WriteLog(QStringLiteral("VerifyConfigPacketChecksum(): FAIL"));
            return;
        }
        UnitInfoClass* unit = Handler.FindOrCreateUnit(mac, senderIp);
        unit->SocketType = static_cast<uint8_t>(socketType);

        if (ConfigEnvelopeClass::VerifyConfigPacketChecksum(packet, packet.size()) != 1) {
            WriteLog(QStringLiteral("VerifyConfigPacketChecksum(): FAIL"));
            return;
        }
        if (ConfigEnvelopeClass::DecryptConfigPayload(packet) != 1) {
            WriteLog(QStringLiteral("DecryptConfigPayload(): FAIL"));
            return;
        }

        switch (ConfigEnvelopeClass::PacketType(packet)) {
        case CONFIG_WRITE_ACK: {
            const quint64 generation = Handler.UnitsGeneration();
            Handler.PurgeRestoreItems();
            if (Handler.UnitsGeneration() == generation)
                Q_EMIT Handler.writeAcknowledged(unit);
            break;
        }
        case FIRMWARE_RESPONSE:
            if (Handler.IsCurrent(unit))
                Q_EMIT Handler.firmwareResponse(packet);
            break;
        case CONFIG_RESPONSE:
            ParseConfigResponse(*unit, packet);
            break;
        default:
            WriteLog(QStringLiteral("Unknown Config Response"));
            break;
        }
    } catch (const std::exception&) {
        WriteLog(QStringLiteral("ParseConfig Error"));
    } catch (...) {
        WriteLog(QStringLiteral("ParseConfig Error"));
    }
}

void ConfigResponseParser::ParseConfigResponse(UnitInfoClass& unit, const QByteArray& packet) {
    // The envelope checks passed, so the packet holds exactly N + 22 bytes and the entries lie
    // between the type byte and the payload checksum at N + 15.
    const int payloadLength = ConfigEnvelopeClass::PayloadLength(packet);
    WriteLog(QStringLiteral("Config Response. PayloadLength: ") + QString::number(payloadLength));
    const qsizetype end = CONFIG_LENGTH_OFFSET + payloadLength;

    // Parsers send requests and views react to signals while the walk goes on; should any of that
    // clear the unit list, the record is gone and the walk must not touch it again.
    const quint64 generation = Handler.UnitsGeneration();
    auto unitGone = [&]() { return Handler.UnitsGeneration() != generation; };
    const bool current = Handler.IsCurrent(&unit);
    bool special = false;
    int pageResult = 0;
    int backupResult = 0;
    ByteReader reader(packet);
    qsizetype position = CONFIG_ENTRIES_OFFSET;
    while (position < end) {
        reader.seek(position);
        const quint16 keyId = reader.readU16BE();
        const quint16 length = reader.readU16BE();
        if (end - position < KEY_ENTRY_HEADER_SIZE || length > end - position - KEY_ENTRY_HEADER_SIZE) {
            WriteLog(QStringLiteral("Key entry runs past the payload. Walk ended. KeyPos: ") +
                     QString::number(position) + QStringLiteral(". PayloadLength: ") +
                     QString::number(payloadLength));
            break;
        }
        const QByteArray value = packet.mid(position + KEY_ENTRY_HEADER_SIZE, length);

        if (current && ParseSpecialEntry(unit, keyId, value, pageResult))
            special = true;
        else
            ParseKey(unit, keyId, value, static_cast<int>(position));
        if (unitGone())
            return;

        if (pageResult == 0 && backupResult == 0 && Handler.BackupRunning()) {
            const int group = BackupGroupOfKey(keyId);
            if (group >= 0)
                backupResult = Handler.CheckBackupList(group);
        }
        position += KEY_ENTRY_HEADER_SIZE + length;
    }

    // A device or zone parser that asked for its next page keeps the backup waiting for it.
    if (pageResult < RadioPayloadsClass::NEXT_PAGE_REQUESTED)
        Handler.RequestNextBackupItem();
    if (unitGone())
        return;

    try {
        Q_EMIT Handler.unitListChanged(&unit);
    } catch (...) {
        WriteLog(QStringLiteral("Unable to update unitlist"));
    }
    // Radio and log replies refresh their own views; reprinting the settings would only flicker.
    if (!special && !unitGone() && Handler.IsCurrent(&unit)) {
        try {
            Q_EMIT Handler.settingsChanged();
        } catch (...) {
            WriteLog(QStringLiteral("Unable to update settingslist"));
        }
    }
}

bool ConfigResponseParser::ParseSpecialEntry(UnitInfoClass& unit, int keyId, const QByteArray& value,
                                             int& pageResult) {
    RadioPayloadsClass& radio = Handler.Radio();
    const int length = static_cast<int>(value.size());
    switch (keyId) {
    case UnitConfigHandlerClass::KEY_DEBUG_LOG:
        Handler.DebugDownload().SaveDebugData(unit, length, value);
        return true;
    case UnitConfigHandlerClass::KEY_EVENT_LOG:
        CollectEventLog(unit, value);
        return true;
    case UnitConfigHandlerClass::KEY_IEEE_UNITS:
        pageResult = radio.ParseIEEEUnits(unit, length, value);
        return true;
    case UnitConfigHandlerClass::KEY_NEIGHBORS:
        radio.ParseNeighbors(unit, length, value);
        return true;
    case UnitConfigHandlerClass::KEY_ROUTES:
        radio.ParseRoutes(unit, length, value);
        return true;
    case UnitConfigHandlerClass::KEY_TEST_RESULTS:
        radio.ParseTestResults(unit, length, value);
        return true;
    case UnitConfigHandlerClass::KEY_ZONES:
        pageResult = radio.ParseZones(unit, length, value);
        return true;
    case UnitConfigHandlerClass::KEY_ARP_TABLE:
        radio.ParseArpTable(unit, length, value);
        return true;
    default:
        return false;
    }
}

void ConfigResponseParser::ParseKey(UnitInfoClass& unit, int keyId, const QByteArray& value,
                                    int entryPosition) {
    if (LogActive())
        WriteLog(QStringLiteral("Parse Key: ") + QString::number(keyId) + QStringLiteral(". DataLength: ") +
                 QString::number(value.size()) + QStringLiteral(". KeyPos: ") +
                 QString::number(entryPosition));

    if (keyId == INPUT_ADDRESS_KEY) {
        const QString address = QString::fromLatin1(value);
        Handler.SetCurrentInput(&unit, unit.FindOrAddInput(address));
        WriteLog(QStringLiteral("New LastParsedInput: ") + address);
        return;
    }
    if (keyId >= FIRST_INPUT_FIELD_KEY && keyId <= LAST_INPUT_FIELD_KEY) {
        ParseInputKey(keyId, value, unit);
        return;
    }

    const uint16_t slot = FindKeyIndex(keyId);
    if (slot == KEY_NOT_FOUND)
        return;
    const KeyDefinition& definition = KeyDefinitionAt(slot);
    switch (KeyBaseKindOf(definition.Type)) {
    case KEY_KIND_YESNO:
        unit.SetKeyValue(keyId, value.isEmpty() ? 0 : static_cast<quint8>(value.at(0)));
        break;
    case KEY_KIND_CHOICE:
    case KEY_KIND_DURATION:
    case KEY_KIND_NUMBER:
    case KEY_KIND_COUNT_ACTION:
    case KEY_KIND_SIGNAL_LEVEL:
    case KEY_KIND_NUMBER_SUGGEST:
        unit.SetKeyValue(keyId, BigEndianNumber(value));
        break;
    case KEY_KIND_TEXT:
    case KEY_KIND_TEXT_SUGGEST:
    case KEY_KIND_ACTION:
        if (keyId == CONTACT_ID_FIRST_KEY)
            unit.SetKeyData(CONTACT_ID_DEFAULTS_KEY, QByteArray());
        unit.SetKeyData(keyId, value);
        break;
    case KEY_KIND_IPV4:
    case KEY_KIND_TEXTLINES:
        unit.SetKeyData(keyId, value);
        break;
    default:
        WriteLog(QStringLiteral("Unknown KEY-component. Key: ") + QString::number(keyId) +
                 QStringLiteral(". Text: ") + definition.Label + QStringLiteral(". ComponentType: ") +
                 QString::number(definition.Type));
        break;
    }
}

void ConfigResponseParser::ParseInputKey(int keyId, const QByteArray& value, UnitInfoClass& unit) {
    // The current input is the one the last key 150 named. It belongs to one unit: input keys of
    // another unit's reply must not land in it.
    InputObjectClass* input = Handler.CurrentInput();
    if (input == nullptr || Handler.CurrentInputUnit() != &unit)
        return;
    if (keyId == 151) {
        input->Text = QString::fromLatin1(value);
        return;
    }
    if (keyId == 159) {
        if (value.size() >= 2)
            input->Info = InputInfoText(value);
        return;
    }
    if (keyId == 158) {
        if (value.size() >= 2)
            input->Analog = (static_cast<quint8>(value.at(0)) << 8) | static_cast<quint8>(value.at(1));
        return;
    }
    // A field the unit sent no byte for keeps what it had.
    if (value.isEmpty())
        return;
    const int firstByte = static_cast<quint8>(value.at(0));
    switch (keyId) {
    case 152:
        input->Type = firstByte;
        break;
    case 153:
        input->Balance = firstByte;
        break;
    case 154:
        input->MaxTemp = firstByte;
        break;
    case 155:
        input->MinTemp = firstByte;
        break;
    case 156:
        input->Delay = firstByte;
        break;
    case 157:
        input->Status = firstByte;
        break;
    default:
        break; // 160-169 carry nothing the inputs keep
    }
}

QString ConfigResponseParser::InputInfoText(const QByteArray& value) {
    // Read as one 16-bit number. Writing the high byte times 256 and the low byte as two decimal
    // texts side by side would make different values look alike (0x0A02 and 0x0A0A give "25602"
    // and "256010", 0x0100 + 25 and 0x0A00 + 2 are hard to tell apart), so it is not done.
    if (value.size() < 2)
        return QString();
    const int number = (static_cast<quint8>(value.at(0)) << 8) | static_cast<quint8>(value.at(1));
    return QString::number(number);
}

void ConfigResponseParser::CollectEventLog(UnitInfoClass& unit, const QByteArray& value) {
    // A page too short for its own header carries neither log bytes nor the way on.
    if (value.size() < EVENT_LOG_PAGE_HEADER) {
        WriteLog(QStringLiteral("Event log page too short. Length: ") + QString::number(value.size()));
        return;
    }
    QByteArray& collected = Handler.EventLogAccumulator();
    collected.append(value.mid(EVENT_LOG_PAGE_HEADER));
    WriteLog(QStringLiteral("Stored ") + QString::number(collected.size()) + QStringLiteral(" bytes of log"));

    const bool more = static_cast<quint8>(value.at(0)) == 1;
    if (more) {
        const quint16 next =
            static_cast<quint16>((static_cast<quint8>(value.at(1)) << 8) | static_cast<quint8>(value.at(2)));
        Handler.RequestShortKey(UnitConfigHandlerClass::KEY_EVENT_LOG, next);
        return;
    }
    SplitEventLog(unit);
    collected.clear();
    Q_EMIT Handler.eventLogReady();
}

void ConfigResponseParser::SplitEventLog(UnitInfoClass& unit) {
    const QByteArray& collected = Handler.EventLogAccumulator();
    const qsizetype total = collected.size();
    // p is 1-based, as the log lines show it.
    qsizetype p = 1;
    while (p <= total) {
        const qsizetype left = total - p + 1;
        if (left < EVENT_LOG_ENTRY_FIXED) {
            ++p;
            continue;
        }
        const qsizetype entryLength = static_cast<quint8>(collected.at(p - 1 + 8)) + EVENT_LOG_ENTRY_FIXED;
        WriteLog(QStringLiteral("Offset: ") + QString::number(p) + QStringLiteral(". LogPostLength: ") +
                 QString::number(entryLength) + QStringLiteral(". Total Logs: ") +
                 QString::number(unit.EventLog.size()));
        // The last entry may be cut short by the end of the log; what there is of it is kept.
        const QByteArray entry = collected.mid(p - 1, entryLength);
        WriteLog(QStringLiteral("LogPost Length: ") + QString::number(entry.size()));
        unit.EventLog.append(QString::fromLatin1(entry));
        p += entryLength;
    }
}

int ConfigResponseParser::BackupGroupOfKey(int keyId) {
    struct Range {
        int First;
        int Last;
        int Group;
    };
    static constexpr Range RANGES[] = {
        {1, 19, 0xF000}, {20, 39, 0xF001},   {40, 69, 0xF002},   {100, 149, 0xF004},   {150, 150, 0xF005},
        {151, 169, 150}, {180, 199, 0xF007}, {220, 300, 0xF009}, {4096, 8192, 0xF010},
    };
    for (const Range& range : RANGES)
        if (keyId >= range.First && keyId <= range.Last)
            return range.Group;
    return -1;
}
