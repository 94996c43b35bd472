#include "core/radio/RadioPayloadsClass.h"

#include "core/app/DebugLog.h"
#include "core/protocol/ByteReader.h"
#include "core/radio/ParseZoneElement.h"
#include "core/radio/RadioPayloadWindow.h"
#include "core/radio/RadioTexts.h"
#include "core/unit/UnitInfoClass.h"

#include <QLatin1Char>
#include <QTime>

namespace {

QString Hex(uint32_t value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

void LogRunsPast(const char* parser, qsizetype offset) {
    WriteLog(QLatin1String(parser) + QStringLiteral(". Record runs past the end of the payload. Offset: ") +
             QString::number(offset));
}

} // namespace

int RadioPayloadsClass::BackupStepResult(UnitInfoClass& unit, quint16 key) {
    return BackupStep ? BackupStep(unit, key) : 0;
}

// ---- Zones -----------------------------------------------------------------------------------

int RadioPayloadsClass::ParseZones(UnitInfoClass& unit, int length, const QByteArray& value) {
    const QByteArray payload = RadioPayloadWindow(value, length);
    WriteLog(QStringLiteral("ParseZones. KeyLen: ") + QString::number(length) +
             QStringLiteral(". First Pos: ") + QString::number(RadioPayloadFirstPos(payload)));
    if (payload.isEmpty())
        return BackupStepResult(unit, KEY_ZONES);

    const auto* data = reinterpret_cast<const unsigned char*>(payload.constData());
    const qsizetype size = payload.size();
    ByteReader reader(payload);
    do {
        const qsizetype start = reader.position();
        if (reader.remaining() < 5) {
            LogRunsPast("ParseZones", start);
            break;
        }
        const quint16 pos = reader.readU16BE();
        const quint8 zoneId = reader.readU8();
        const quint16 elementsLength = reader.readU16BE();
        WriteLog(QStringLiteral("Zone received. Pos: ") + QString::number(pos) + QStringLiteral(". ID: ") +
                 QString::number(zoneId) + QStringLiteral(". Length: ") + QString::number(elementsLength));
        ZoneObjectClass* zone = unit.FindOrAddZone(zoneId);

        // Elements: type, length n, n bytes. They may not leave their record nor the payload.
        const qsizetype end = reader.position() + elementsLength;
        const qsizetype bound = qMin(end, size);
        qsizetype p = reader.position();
        while (p < bound) {
            if (p + 2 > bound || p + 2 + data[p + 1] > bound) {
                WriteLog(QStringLiteral("ParseZones. Zone element runs past its record. ZoneID: ") +
                         QString::number(zoneId) + QStringLiteral(". Offset: ") + QString::number(p));
                break;
            }
            const int type = data[p];
            const int n = data[p + 1];
            ParseZoneElement(*zone, type, n, QByteArray::fromRawData(payload.constData() + p + 2, n));
            p += 2 + n;
        }
        Q_EMIT zonesChanged(unit.Mac, zoneId);

        if (end > size) {
            LogRunsPast("ParseZones", start);
            break;
        }
        reader.seek(end);
    } while (reader.position() < size - 5);
    return BackupStepResult(unit, KEY_ZONES);
}

// ---- Neighbors and routes --------------------------------------------------------------------

void RadioPayloadsClass::ParseNeighbors(UnitInfoClass& unit, int length, const QByteArray& value) {
    const QByteArray payload = RadioPayloadWindow(value, length);
    WriteLog(QStringLiteral("ParseNeighbors. KeyLen: ") + QString::number(length));
    if (payload.isEmpty()) {
        WriteLog(QStringLiteral("NO NEIGHBORS"));
        return;
    }
    Neighbors.Retries = 0;

    const auto* data = reinterpret_cast<const unsigned char*>(payload.constData());
    ByteReader reader(payload);
    do {
        const qsizetype start = reader.position();
        if (reader.remaining() < NEIGHBOR_RECORD_SIZE) {
            LogRunsPast("ParseNeighbors", start);
            break;
        }
        const quint16 owner = reader.readU16BE();
        const quint16 neighbor = reader.readU16BE();
        const QString extID = IeeeSpacedText(data + reader.position(), 8);
        reader.skip(8);
        const quint8 rxLqi = reader.readU8();
        const quint8 depth = reader.readU8();
        const quint8 type = reader.readU8();
        const quint8 age = reader.readU8();
        WriteLog(QStringLiteral("Neighbor received. OwnerNWK: 0x") + Hex(owner, 4) +
                 QStringLiteral(". NeighborNWK: 0x") + Hex(neighbor, 4) + QStringLiteral(". rxLqi: ") +
                 QString::number(rxLqi) + QStringLiteral(". depth: ") + QString::number(depth) +
                 QStringLiteral(". type: 0x") + Hex(type, 2) + QStringLiteral(". age: ") +
                 QString::number(age) + QStringLiteral(". extID: ") + extID);
        NeighborObjectClass* entry = unit.FindOrAddNeighbor(owner, neighbor);
        entry->extID = extID;
        entry->rxLqi = rxLqi;
        entry->depth = depth;
        entry->type = type;
        entry->age = age;
        entry->ReceivedTime = QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
    } while (reader.position() < payload.size() - 5);
    Q_EMIT neighborsChanged(unit.Mac);
}

void RadioPayloadsClass::ParseRoutes(UnitInfoClass& unit, int length, const QByteArray& value) {
    const QByteArray payload = RadioPayloadWindow(value, length);
    WriteLog(QStringLiteral("ParseRoutes. KeyLen: ") + QString::number(length));
    if (payload.isEmpty()) {
        WriteLog(QStringLiteral("NO ROUTES"));
        return;
    }
    Routes.Retries = 0;

    ByteReader reader(payload);
    do {
        const qsizetype start = reader.position();
        if (reader.remaining() < ROUTE_RECORD_SIZE) {
            LogRunsPast("ParseRoutes", start);
            break;
        }
        const quint16 owner = reader.readU16BE();
        const quint16 dest = reader.readU16BE();
        const quint16 hop = reader.readU16BE();
        const quint8 status = reader.readU8();
        WriteLog(QStringLiteral("Route received. OwnerNWK: 0x") + Hex(owner, 4) +
                 QStringLiteral(". DestNWK: 0x") + Hex(dest, 4) + QStringLiteral(". HopNWK: 0x") +
                 Hex(hop, 4) + QStringLiteral(". status: 0x") + Hex(status, 2));
        unit.FindOrAddRoute(owner, dest, hop)->status = status;
    } while (reader.position() < payload.size() - 5);
    Q_EMIT routesChanged(unit.Mac);
}

// ---- Radio test results ----------------------------------------------------------------------

void RadioPayloadsClass::ParseTestResults(UnitInfoClass& unit, int length, const QByteArray& value) {
    const QByteArray payload = RadioPayloadWindow(value, length);
    if (payload.size() < TEST_RESULT_RECORD_SIZE) {
        // Not an answer: the poll goes on as if nothing had come.
        WriteLog(QStringLiteral("ParseTestResults. Record shorter than 8 bytes. Length: ") +
                 QString::number(payload.size()));
        return;
    }
    ByteReader reader(payload);
    RadioTestResult result;
    result.TestTimer = reader.readU16BE();
    result.TestCount = reader.readU16BE();
    result.TestUnitNWK = reader.readU16BE();
    result.TestResults = reader.readU16BE();
    WriteLog(QStringLiteral("TestResults received. TestTimer: ") + QString::number(result.TestTimer) +
             QStringLiteral(". TestCount: ") + QString::number(result.TestCount) +
             QStringLiteral(". TestUnitNWK: ") + QString::number(result.TestUnitNWK) +
             QStringLiteral(". TestResults: ") + QString::number(result.TestResults));
    if (result.TestTimer == 0)
        TestResults.Countdown = 0; // the test is over: nothing more to ask for
    else
        TestResults.Retries = 0;
    Q_EMIT testResultReceived(unit.Mac, result);
}

// ---- ARP table -------------------------------------------------------------------------------

void RadioPayloadsClass::ParseArpTable(UnitInfoClass& unit, int length, const QByteArray& value) {
    const QByteArray payload = RadioPayloadWindow(value, length);
    WriteLog(QStringLiteral("ParseArpTable. KeyLen: ") + QString::number(length) +
             QStringLiteral(". First Pos: ") + QString::number(RadioPayloadFirstPos(payload)));
    if (payload.isEmpty())
        return;

    int lastPos = -1;
    ByteReader reader(payload);
    do {
        const qsizetype start = reader.position();
        const std::optional<ArpRow> row = ReadArpRow(reader);
        if (!row) {
            LogRunsPast("ParseArpTable", start);
            break;
        }
        lastPos = row->Pos;
        Q_EMIT arpRowAdded(unit.Mac, *row);
    } while (reader.position() < payload.size() - 5);

    // Position 0xFFFF has no successor: asking for 0 would start the table over, for ever.
    if (lastPos > 0 && lastPos < 0xFFFF)
        Q_EMIT requestShortKey(KEY_ARP_TABLE, static_cast<quint16>(lastPos + 1));
}

// ---- Polling ---------------------------------------------------------------------------------

void RadioPayloadsClass::StartRequestingNeighbors(const QString& node) {
    WriteLog(QStringLiteral("Start requesting Neighbors"));
    if (UnitInfoClass* unit = CurrentUnit ? CurrentUnit() : nullptr)
        unit->DeleteNeighbors(node);
    Neighbors = {POLL_START_COUNTDOWN, 0};
}

void RadioPayloadsClass::StartRequestingRoutes(const QString& node) {
    WriteLog(QStringLiteral("Start requesting Routes"));
    if (UnitInfoClass* unit = CurrentUnit ? CurrentUnit() : nullptr)
        unit->DeleteRoutes(node);
    Routes = {POLL_START_COUNTDOWN, 0};
}

void RadioPayloadsClass::StartRequestingTestResults() {
    WriteLog(QStringLiteral("Start requesting test results"));
    TestResults = {POLL_START_COUNTDOWN, 0};
}

void RadioPayloadsClass::TickTablePoll(PollState& poll, quint16 key, bool isNeighbors) {
    if (poll.Countdown <= 0 || --poll.Countdown > 0)
        return;
    ++poll.Retries;
    if (poll.Retries >= TABLE_POLL_STOP)
        return; // five polls in a row went unanswered
    poll.Countdown = TABLE_POLL_INTERVAL;
    WriteLog(isNeighbors ? QStringLiteral("Requesting Neighbors")
                         : QStringLiteral("Requesting Routes: ") + QString::number(poll.Retries));
    Q_EMIT requestKeyString(key, QString());
}

void RadioPayloadsClass::Tick() {
    TickTablePoll(Neighbors, KEY_NEIGHBORS, true);
    TickTablePoll(Routes, KEY_ROUTES, false);

    if (TestResults.Countdown <= 0 || --TestResults.Countdown > 0)
        return;
    ++TestResults.Retries;
    if (TestResults.Retries >= TEST_POLL_STOP)
        return;
    TestResults.Countdown = TEST_POLL_INTERVAL;
    WriteLog(QStringLiteral("Requesting Testresults: ") + QString::number(TestResults.Retries));
    Q_EMIT requestKeyString(KEY_TEST_RESULTS, QString());
}
