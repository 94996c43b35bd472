// How many config packets ParseConfig handles per second: the discovery reply every unit on the LAN
// sends after a scan, and a settings menu reply of about 1,400 bytes from the open unit.
#include "core/app/DebugLog.h"
#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/KeyDefinitionTable.h"
#include "core/unit/UnitInfoClass.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>
#include <benchmark/benchmark.h>

namespace {

const QString UNIT_MAC = QStringLiteral("00-1E-C0-00-00-01");
const QString UNIT_IP = QStringLiteral("192.168.1.50");

QByteArray Packet(const QString& mac, const QByteArray& entries) {
    ConfigEnvelopeClass envelope;
    return envelope.BuildPacket(mac, CONFIG_RESPONSE, QString(), entries, 0x10000);
}

QByteArray DiscoveryEntries() {
    return ConfigEnvelopeClass::KeyEntry(1, QByteArray::fromHex("C0A80132")) +
           ConfigEnvelopeClass::KeyEntry(5, QByteArray::fromHex("001EC0000001")) +
           ConfigEnvelopeClass::KeyEntry(105, QByteArray("RDM22 v4.2.1 2017-06-05")) +
           ConfigEnvelopeClass::KeyEntry(112, QByteArray::fromHex("00030100")) +
           ConfigEnvelopeClass::KeyEntry(117, QByteArray::fromHex("00015180")) +
           ConfigEnvelopeClass::KeyEntry(101, QByteArray("Shop on the corner"));
}

// Keys of the table in slot order, each with a value of its kind, until the payload holds about
// 1,400 bytes: what a unit sends for a long menu.
QByteArray MenuEntries() {
    QByteArray entries;
    for (int slot = 0; slot < KEY_TABLE_SLOTS && entries.size() < 1400 - 40; ++slot) {
        const KeyDefinition& key = KeyDefinitionAt(slot);
        if (key.Id == 0 || UnitInfoClass::IsInputKey(key.Id))
            continue;
        QByteArray value;
        switch (KeyBaseKindOf(key.Type)) {
        case KEY_KIND_YESNO:
        case KEY_KIND_CHOICE:
            value = QByteArray::fromHex("01");
            break;
        case KEY_KIND_IPV4:
            value = QByteArray::fromHex("C0A80114");
            break;
        case KEY_KIND_DURATION:
        case KEY_KIND_NUMBER:
            value = QByteArray::fromHex("0000151D");
            break;
        default:
            value = QByteArray("value of ") + QByteArray::number(key.Id);
            break;
        }
        entries.append(ConfigEnvelopeClass::KeyEntry(key.Id, value));
    }
    return entries;
}

void Counters(benchmark::State& state, const QByteArray& packet) {
    state.counters["packets/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes/packet"] = static_cast<double>(packet.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * packet.size());
}

// A unit already in the list answers again (a repeated scan).
void ParseConfig_DiscoveryReply(benchmark::State& state) {
    UnitConfigHandlerClass handler;
    const QByteArray packet = Packet(UNIT_MAC, DiscoveryEntries());
    handler.ParseConfig(packet, UNIT_IP, 0);
    for (auto _ : state)
        handler.ParseConfig(packet, UNIT_IP, 0);
    Counters(state, packet);
}
BENCHMARK(ParseConfig_DiscoveryReply);

// A scan of 1,000 units: every reply creates its unit record; the list is cleared after each round.
void ParseConfig_DiscoveryReplyNewUnits(benchmark::State& state) {
    constexpr int UNITS = 1000;
    UnitConfigHandlerClass handler;
    QList<QByteArray> packets;
    for (int i = 0; i < UNITS; ++i)
        packets.append(Packet(QStringLiteral("00-1E-C0-00-%1-%2")
                                  .arg(i >> 8, 2, 16, QLatin1Char('0'))
                                  .arg(i & 0xFF, 2, 16, QLatin1Char('0'))
                                  .toUpper(),
                              DiscoveryEntries()));
    int next = 0;
    for (auto _ : state) {
        handler.ParseConfig(packets.at(next), UNIT_IP, 0);
        if (++next == UNITS) {
            state.PauseTiming();
            handler.ClearUnits();
            next = 0;
            state.ResumeTiming();
        }
    }
    Counters(state, packets.first());
}
BENCHMARK(ParseConfig_DiscoveryReplyNewUnits);

// The open unit answers a menu request; its settings view would be reprinted.
void ParseConfig_MenuReply(benchmark::State& state) {
    UnitConfigHandlerClass handler;
    const QByteArray packet = Packet(UNIT_MAC, MenuEntries());
    handler.ParseConfig(packet, UNIT_IP, 0);
    handler.SetCurrentUnit(handler.FindUnit(UNIT_MAC), QString());
    for (auto _ : state)
        handler.ParseConfig(packet, UNIT_IP, 0);
    Counters(state, packet);
    state.counters["keys"] = static_cast<double>(handler.FindUnit(UNIT_MAC)->Keys.size());
}
BENCHMARK(ParseConfig_MenuReply);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The debug log is off in normal use after the first seconds; measure the parser, not the disk.
    DebugLog::instance().setCountdown(0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
