#include "core/app/DebugLog.h"
// How many request/reply pairs the simulator answers per second over loopback
// TCP, so that a test or benchmark of the tool never ends up measuring the
// simulator instead. The lock-step figures (one request in flight) are bounded
// by the machine's loopback round trip as much as by the simulator; the
// pipelined figure and the unit's own cost per request show the simulator's
// capacity.

#include "core/protocol/ConfigEnvelopeClass.h"
#include "sim/SimSite.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QTcpSocket>
#include <QThread>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// The site runs on a thread of its own with its own event loop, the way it runs
// as a separate program; the benchmark thread plays the tool with a blocking
// socket.
class SiteThread {
public:
    SiteThread() {
        Thread.start();
        QSemaphore ready;
        Holder = new QObject;
        Holder->moveToThread(&Thread);
        QMetaObject::invokeMethod(
            Holder,
            [this, &ready] {
                Site = new SimSite(Holder);
                Site->LoadDemo();
                Site->RemoveSerialDevices();
                SimNetworkOptions options;
                options.UnitUdpPort = 0;
                options.TcpPort = 0;
                options.EnableUdp = false;
                Site->Recorder().setKeepInMemory(false);
                QString error;
                Started = Site->Start(options, &error);
                Address = Site->UnitAddress(0);
                Port = Site->UnitTcpPort(0);
                Mac = Site->Unit(0).MacText();
                ready.release();
            },
            Qt::QueuedConnection);
        ready.acquire();
    }
    ~SiteThread() {
        QMetaObject::invokeMethod(
            Holder, [this] { delete Holder; }, Qt::BlockingQueuedConnection);
        Thread.quit();
        Thread.wait();
    }

    QThread Thread;
    QObject* Holder = nullptr;
    SimSite* Site = nullptr;
    bool Started = false;
    QHostAddress Address;
    quint16 Port = 0;
    QString Mac;
};

QByteArray ReadOnePacket(QTcpSocket& socket, QByteArray& buffer) {
    for (;;) {
        if (buffer.size() >= CONFIG_HEADER_SIZE) {
            const int n = ConfigEnvelopeClass::PayloadLength(buffer.left(CONFIG_HEADER_SIZE));
            if (buffer.size() >= n + CONFIG_ENVELOPE_OVERHEAD) {
                QByteArray packet = buffer.left(n + CONFIG_ENVELOPE_OVERHEAD);
                buffer.remove(0, packet.size());
                return packet;
            }
        }
        if (!socket.waitForReadyRead(3000))
            return {};
        buffer += socket.readAll();
    }
}

// One request at a time, each waiting for its reply: what the tool's requests
// look like.
void BM_TcpRequestReply(benchmark::State& state, quint16 key) {
    SiteThread site;
    if (!site.Started) {
        state.SkipWithError("the site did not start");
        return;
    }
    QTcpSocket socket;
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket.connectToHost(site.Address, site.Port);
    if (!socket.waitForConnected(3000)) {
        state.SkipWithError("no connection");
        return;
    }
    ConfigEnvelopeClass envelope;
    const QByteArray request =
        envelope.BuildPacket(site.Mac, CONFIG_READ, {}, ConfigEnvelopeClass::KeyEntry(key), 1300);
    QByteArray buffer;
    for (auto _ : state) {
        socket.write(request);
        socket.flush();
        const QByteArray reply = ReadOnePacket(socket, buffer);
        if (reply.isEmpty()) {
            state.SkipWithError("no reply");
            return;
        }
        benchmark::DoNotOptimize(reply.data());
    }
    state.counters["pairs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Many requests in flight on one connection: what the simulator can take when
// it, not the round trip, is the limit.
void BM_TcpPipelined(benchmark::State& state) {
    SiteThread site;
    if (!site.Started) {
        state.SkipWithError("the site did not start");
        return;
    }
    QTcpSocket socket;
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket.connectToHost(site.Address, site.Port);
    if (!socket.waitForConnected(3000)) {
        state.SkipWithError("no connection");
        return;
    }
    const int inFlight = static_cast<int>(state.range(0));
    ConfigEnvelopeClass envelope;
    QByteArray burst;
    for (int i = 0; i < inFlight; ++i)
        burst += envelope.BuildPacket(site.Mac, CONFIG_READ, {}, ConfigEnvelopeClass::KeyEntry(101), 1300);
    QByteArray buffer;
    for (auto _ : state) {
        socket.write(burst);
        socket.flush();
        for (int i = 0; i < inFlight; ++i) {
            if (ReadOnePacket(socket, buffer).isEmpty()) {
                state.SkipWithError("no reply");
                return;
            }
        }
    }
    state.counters["pairs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * inFlight), benchmark::Counter::kIsRate);
}

// The unit's own work per request, without sockets: how far the simulator is
// from being the limit.
void BM_HandleRequest(benchmark::State& state, quint16 key) {
    SimUnit unit = SimUnit::Demo(1, 0);
    ConfigEnvelopeClass envelope;
    const QByteArray request =
        envelope.BuildPacket(unit.MacText(), CONFIG_READ, {}, ConfigEnvelopeClass::KeyEntry(key), 1300);
    for (auto _ : state)
        benchmark::DoNotOptimize(unit.HandleRequest(request));
    state.counters["pairs/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK_CAPTURE(BM_HandleRequest, OneKey, quint16(101));
BENCHMARK_CAPTURE(BM_HandleRequest, IpMenu, quint16(0xF000));
BENCHMARK_CAPTURE(BM_HandleRequest, CustomMenu, quint16(0xF010));
BENCHMARK(BM_TcpPipelined)->Arg(16)->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(BM_TcpRequestReply, OneKey, quint16(101))->UseRealTime()->MinTime(2.0);
BENCHMARK_CAPTURE(BM_TcpRequestReply, IpMenu, quint16(0xF000))->UseRealTime()->MinTime(2.0);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // Measure the simulator, not the debug log on disk.
    DebugLog::instance().setCountdown(0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
