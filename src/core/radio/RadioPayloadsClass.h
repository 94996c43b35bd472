#pragma once

#include "core/unit/StatusDecoders.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class UnitInfoClass;
class IEEEObjectClass;
class ByteReader;

// One radio test report: TestTimer 0xFFFF is a test that just started, 0 a finished one, anything
// else a test in progress; TestResults counts the test packets that came back out of TestCount.
struct RadioTestResult {
    quint16 TestTimer = 0;
    quint16 TestCount = 0;
    quint16 TestUnitNWK = 0;
    quint16 TestResults = 0;
};

// The radio key entries of a unit's replies: device list, zones, neighbor and route tables, radio
// test results and the ARP table. The parsers fill the unit model, continue paged lists by asking
// for the next page, and tell the views what changed. The config handler owns one instance, hands
// it the entries of the current unit, connects the request signals to its request operations and
// calls Tick() from its 1-second timer to drive the neighbor, route and test-result polling.
//
// Every parser stays inside the bytes it was given: a record, element or name that would run past
// them ends the walk (and is logged), and what was complete before it is kept.
class RadioPayloadsClass : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 KEY_IEEE_UNITS = 0x1023;
    static constexpr quint16 KEY_ZONES = 0x1034;
    static constexpr quint16 KEY_NEIGHBORS = 0x1049;
    static constexpr quint16 KEY_ROUTES = 0x104C;
    static constexpr quint16 KEY_TEST_RESULTS = 0x104D;
    static constexpr quint16 KEY_ARP_TABLE = 0x00E2;

    // Result of ParseIEEEUnits when it asked for the next page itself.
    static constexpr int NEXT_PAGE_REQUESTED = 2;

    static constexpr int DEVICE_BASE_SIZE = 36;
    static constexpr int NEIGHBOR_RECORD_SIZE = 16;
    static constexpr int ROUTE_RECORD_SIZE = 7;
    static constexpr int TEST_RESULT_RECORD_SIZE = 8;

    // Polling: first poll 2 ticks after the start; neighbors and routes then every 4 ticks until 5
    // polls in a row went unanswered, test results every 3 ticks until 3 went unanswered.
    static constexpr int POLL_START_COUNTDOWN = 2;
    static constexpr int TABLE_POLL_INTERVAL = 4;
    static constexpr int TABLE_POLL_STOP = 6;
    static constexpr int TEST_POLL_INTERVAL = 3;
    static constexpr int TEST_POLL_STOP = 4;

    struct PollState {
        int Countdown = 0; // ticks to the next poll; 0 = polling off
        int Retries = 0;   // polls sent since the last useful reply
    };

    explicit RadioPayloadsClass(QObject* parent = nullptr) : QObject(parent) {}

    // The backup sequencer's "item received" step for a list key: 1 when a backup was waiting for
    // it, else 0. Until one is set the step gives 0.
    using BackupStepFunction = std::function<int(UnitInfoClass& unit, quint16 key)>;
    void SetBackupStep(BackupStepFunction step) { BackupStep = std::move(step); }

    // The unit whose neighbor and route entries a new poll clears (the config handler's current
    // unit); may return nullptr.
    using CurrentUnitFunction = std::function<UnitInfoClass*()>;
    void SetCurrentUnitSource(CurrentUnitFunction source) { CurrentUnit = std::move(source); }

    // Key 0x1023. Returns 2 when it asked for the next page itself, else the backup step result.
    int ParseIEEEUnits(UnitInfoClass& unit, int length, const QByteArray& value);
    // Key 0x1034. Returns the backup step result; zones come in one reply, no paging.
    int ParseZones(UnitInfoClass& unit, int length, const QByteArray& value);
    // Key 0x1049: 16-byte neighbor records; a non-empty reply counts as an answer to the poll.
    void ParseNeighbors(UnitInfoClass& unit, int length, const QByteArray& value);
    // Key 0x104C: 7-byte route records.
    void ParseRoutes(UnitInfoClass& unit, int length, const QByteArray& value);
    // Key 0x104D: one 8-byte record; TestTimer 0 ends the test-result polling.
    void ParseTestResults(UnitInfoClass& unit, int length, const QByteArray& value);
    // Key 0x00E2: 13-byte ARP records, paged.
    void ParseArpTable(UnitInfoClass& unit, int length, const QByteArray& value);

    // Start (or restart) a poll. The node text is four upper-case hex digits, "GATEWAY" or "ALL";
    // it selects which stored entries of the current unit are cleared first (neighbors by their
    // NeighborNWK, routes by their OwnerNWK).
    void StartRequestingNeighbors(const QString& node);
    void StartRequestingRoutes(const QString& node);
    void StartRequestingTestResults();

    // One tick of the handler's 1-second timer: the neighbor, route and test-result pollers.
    void Tick();

    const PollState& NeighborsPoll() const { return Neighbors; }
    const PollState& RoutesPoll() const { return Routes; }
    const PollState& TestResultsPoll() const { return TestResults; }

Q_SIGNALS:
    void requestShortKey(quint16 key, quint16 position);
    void requestKeyString(quint16 key, const QString& text);

    // View refreshes. The unit is named by its MAC text.
    void devicesChanged(const QString& mac);
    // One zone row changed (sent after each zone record).
    void zonesChanged(const QString& mac, quint8 zoneId);
    void neighborsChanged(const QString& mac);
    void routesChanged(const QString& mac);
    void testResultReceived(const QString& mac, const RadioTestResult& result);
    void arpRowAdded(const QString& mac, const ArpRow& row);

private:
    int BackupStepResult(UnitInfoClass& unit, quint16 key);
    // Reads one device record at the reader's position; false when the record ran past the payload
    // (the walk ends). lastPos gets the record's Pos once its base part is complete.
    bool ParseDeviceRecord(UnitInfoClass& unit, const QByteArray& payload, ByteReader& reader, int& lastPos);
    void ParseExtendedInfo(IEEEObjectClass& device, const QByteArray& payload, ByteReader& reader,
                           bool& complete);
    void ParseExtendedPayload(IEEEObjectClass& device, const QByteArray& payload, qsizetype start,
                              qsizetype end);
    void TickTablePoll(PollState& poll, quint16 key, bool isNeighbors);

    BackupStepFunction BackupStep;
    CurrentUnitFunction CurrentUnit;
    PollState Neighbors;
    PollState Routes;
    PollState TestResults;
};
