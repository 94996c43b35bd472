// A scan of N simulated units over loopback UDP, everything in one process as in the tool: from
// "Scan for units" (the unit list emptied, the discovery broadcast sent) to the moment the last
// unit's record exists. The per-unit cost should stay flat: N = 1,000 may take at most twelve
// times as long as N = 100.
#include "core/app/DebugLog.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/transport/CommunicationClass.h"
#include "sim/SimSite.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QUdpSocket>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// Gives up on a round when the replies stop coming (they were dropped).
constexpr int ROUND_TIMEOUT_MS = 10000;

struct ScanRig {
    SimSite Site;
    std::unique_ptr<CommunicationClass> Transport;
    std::unique_ptr<UnitConfigHandlerClass> Handler;
    QString Error;

    explicit ScanRig(int units) {
        for (int i = 0; i < units; ++i) {
            SimUnit unit = SimUnit::Demo(1, i % 200);
            // Demo MACs repeat after 255 units; every unit needs its own.
            unit.SetMac(QByteArray::fromHex("023CA7") + QByteArray(1, char(i >> 16)) + char((i >> 8) & 0xFF) +
                        char(i & 0xFF));
            unit.Logs = SimUnitLogs(); // a scan never reads them
            Site.AddUnit(std::move(unit));
        }
        Site.Recorder().setKeepInMemory(false);
        // All units on one address share one socket: a thousand sockets would measure the kernel.
        SimNetworkOptions options;
        options.SingleAddress = true;
        options.UnitUdpPort = 0;
        options.WorkstationPort = 0;
        options.EnableTcp = false;
        if (!Site.Start(options, &Error))
            return;
        Site.SetRadioClockEnabled(false);

        CommunicationClass::UdpSettings udp;
        udp.LocalPort = 0;
        udp.RemotePort = Site.UnitUdpPort();
        udp.BroadcastAddress = QStringLiteral("127.255.255.255");
        Transport = std::make_unique<CommunicationClass>(udp);
        Handler = std::make_unique<UnitConfigHandlerClass>();
        QObject::connect(Transport.get(), &CommunicationClass::configPacketReceived, Handler.get(),
                         &UnitConfigHandlerClass::ParseConfig);
        QObject::connect(Handler.get(), &UnitConfigHandlerClass::sendPacket, Transport.get(),
                         [this](const QByteArray& packet, quint8 socketType, const QString&) {
                             Transport->SendConfigPacket(packet, socketType);
                         });
        if (Transport->Bind(CommunicationClass::AdapterChoice{QStringLiteral("loopback"),
                                                              QStringLiteral("127.0.0.1"), 0}) < 0)
            Error = QStringLiteral("the tool's UDP endpoint did not bind");
    }

    // One scan; false when not every unit was heard in time.
    bool Scan(int units) {
        Handler->ClearUnits();
        Handler->SendDiscovery(QString(), CommunicationClass::SOCKET_UDP);
        const QDeadlineTimer deadline(ROUND_TIMEOUT_MS);
        while (static_cast<int>(Handler->Units().size()) < units) {
            if (deadline.hasExpired())
                return false;
            QAbstractEventDispatcher::instance()->processEvents(QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
};

void Discovery_ScanLoopbackUnits(benchmark::State& state) {
    const int units = static_cast<int>(state.range(0));
    ScanRig rig(units);
    if (!rig.Error.isEmpty()) {
        state.SkipWithError(rig.Error.toStdString().c_str());
        return;
    }
    for (auto _ : state) {
        if (!rig.Scan(units)) {
            const std::string message = "only " + std::to_string(rig.Handler->Units().size()) + " of " +
                                        std::to_string(units) + " units were heard: replies were dropped";
            state.SkipWithError(message.c_str());
            return;
        }
    }
    state.counters["units"] = units;
    state.counters["units/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * units, benchmark::Counter::kIsRate);
}
BENCHMARK(Discovery_ScanLoopbackUnits)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The debug log is off in normal use after the first seconds; measure the scan, not the disk.
    DebugLog::instance().setCountdown(0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
