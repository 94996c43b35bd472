// How many full device-list pages ParseIEEEUnits handles per second: a page as a unit sends it when
// its table is long, every record with the extended payload block (zone, power, name, counters and
// parent list), about 1,300 bytes.
#include "core/app/DebugLog.h"
#include "core/radio/RadioPayloadsClass.h"
#include "core/unit/UnitInfoClass.h"

#include <QByteArray>
#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

void U8(QByteArray& b, int v) {
    b.append(static_cast<char>(v & 0xFF));
}
void U16(QByteArray& b, int v) {
    U8(b, v >> 8);
    U8(b, v);
}

QByteArray DeviceRecord(int pos) {
    QByteArray b;
    U16(b, pos);
    b.append(QByteArray::fromHex("00124B0000000000"));
    b[b.size() - 1] = static_cast<char>(pos);
    U16(b, 0x1000 + pos); // NWK
    U16(b, 0x0000);       // parent
    U8(b, 0x05);          // status
    U8(b, -52);           // RSSI at the gateway
    U8(b, -61);           // RSSI at the device
    U16(b, 1500);         // battery
    U8(b, 0x00);
    U16(b, 0x0E10); // timeout timer, 24 bits
    U16(b, 3);      // resends
    U16(b, 60);     // poll time
    U8(b, 1);       // endpoint
    U8(b, 1);       // sensor kind: temperature
    U16(b, 21);     // spec_var[0]
    U8(b, 6);       // HW
    U8(b, 1);
    U8(b, 12);
    U8(b, 17);
    U8(b, 6);
    U8(b, 5);

    QByteArray block;
    U8(block, 2); // zone
    U8(block, 0); // disabled
    U8(block, 0); // alarm status
    U16(block, 0x0834);
    block.append("Detector ");
    block.append(QByteArray::number(pos));
    U8(block, 0x1F);
    U8(block, 0x05); // mini block and counters
    U8(block, 6);
    U8(block, 6);
    U16(block, 0xFFFD);
    U16(block, 4); // communication errors
    for (int parent : {0xFFFF, 0x1001, 0x1002, 0})
        U16(block, parent);
    U16(block, 2); // joins
    U8(b, 0xFD);
    U8(b, static_cast<int>(block.size()));
    b.append(block);
    return b;
}

QByteArray FullPage() {
    QByteArray page;
    for (int pos = 1; page.size() + 70 < 1300; ++pos)
        page.append(DeviceRecord(pos));
    return page;
}

// The steady state: the unit model already knows every device, the page refreshes them.
void ParseIEEEUnits_RefreshPage(benchmark::State& state) {
    const QByteArray page = FullPage();
    UnitInfoClass unit(QStringLiteral("00-1E-C0-00-00-01"));
    RadioPayloadsClass radio;
    radio.ParseIEEEUnits(unit, static_cast<int>(page.size()), page);
    for (auto _ : state)
        benchmark::DoNotOptimize(radio.ParseIEEEUnits(unit, static_cast<int>(page.size()), page));
    state.counters["packets/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["devices/page"] = static_cast<double>(unit.Devices.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.size());
}
BENCHMARK(ParseIEEEUnits_RefreshPage);

// The first download: every record creates its device (the list starts empty each time).
void ParseIEEEUnits_FirstPage(benchmark::State& state) {
    const QByteArray page = FullPage();
    RadioPayloadsClass radio;
    for (auto _ : state) {
        UnitInfoClass unit(QStringLiteral("00-1E-C0-00-00-01"));
        benchmark::DoNotOptimize(radio.ParseIEEEUnits(unit, static_cast<int>(page.size()), page));
    }
    state.counters["packets/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.size());
}
BENCHMARK(ParseIEEEUnits_FirstPage);

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
