// How the main window copes with a scan that many units answer: every discovery reply goes through
// ParseConfig and the unit list of the window, which is shown offscreen and gets its events after
// every reply, as it would between datagrams. A scan of 1,000 units must not cost more than twelve
// times a scan of 100 (the list is kept sorted row by row, never rebuilt per reply), and each unit
// found may add at most 20 KB to the program's resident memory.
#include "core/app/DebugLog.h"
#include "core/app/MainClass.h"
#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "gui/app/TFormScan.h"
#include "gui/app/UnitListModel.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

TFormScan* Form = nullptr;
int Scans = 0; // each scan uses MACs no earlier scan used, so every reply makes a new record

struct Reply {
    QByteArray Packet;
    QString Ip;
};

// The replies of one scan of n units: the six discovery keys, owners that repeat and differ in
// case, IPs spread over a few subnets.
std::vector<Reply> ScanReplies(int n) {
    const int scan = Scans++;
    ConfigEnvelopeClass envelope;
    std::vector<Reply> replies;
    replies.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const QString mac = QStringLiteral("00-1E-%1-%2-%3-%4")
                                .arg(scan & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg((i >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg((i >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg(i & 0xFF, 2, 16, QLatin1Char('0'))
                                .toUpper();
        const QByteArray entries =
            ConfigEnvelopeClass::KeyEntry(1, QByteArray::fromHex("C0A80132")) +
            ConfigEnvelopeClass::KeyEntry(5, QByteArray::fromHex("001EC0000001")) +
            ConfigEnvelopeClass::KeyEntry(105, QByteArray("RDM22 v4.2.") + QByteArray::number(i % 7)) +
            ConfigEnvelopeClass::KeyEntry(112, QByteArray::fromHex("00000001")) +
            ConfigEnvelopeClass::KeyEntry(117, QByteArray::fromHex("00015180")) +
            ConfigEnvelopeClass::KeyEntry(101, (i % 2 ? QByteArray("Shop ") : QByteArray("shop ")) +
                                                   QByteArray::number((i * 7919) % 997));
        // Units answer in no particular order, so the IPs do not follow the MACs.
        const int host = (i * 131) % n;
        replies.push_back(
            {envelope.BuildPacket(mac, CONFIG_RESPONSE, QString(), entries, 0x10000),
             QStringLiteral("10.%1.%2.%3").arg(host / 65536).arg((host / 256) % 256).arg(host % 256)});
    }
    return replies;
}

void ProcessReplies(const std::vector<Reply>& replies) {
    UnitConfigHandlerClass& handler = Form->Main().ConfigHandler();
    for (const Reply& reply : replies) {
        handler.ParseConfig(reply.Packet, reply.Ip, 0);
        QCoreApplication::processEvents();
    }
}

void ClearList() {
    Form->Main().ConfigHandler().ClearUnits();
    QCoreApplication::processEvents();
}

// Resident memory of the process in KB (VmRSS).
double ResidentKB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble();
    }
    return 0;
}

// Runs first, in a process that has not held a unit yet, so nothing freed by an earlier scan
// hides the growth.
void DiscoveryList_MemoryPerUnit(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    double perUnit = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ClearList();
        const std::vector<Reply> replies = ScanReplies(n);
        const double before = ResidentKB();
        state.ResumeTiming();
        ProcessReplies(replies);
        state.PauseTiming();
        perUnit = (ResidentKB() - before) / n;
        state.ResumeTiming();
    }
    state.counters["KB/unit"] = perUnit;
    state.counters["rows"] = Form->UnitList().rowCount();
}
BENCHMARK(DiscoveryList_MemoryPerUnit)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

// One scan of n units from an empty list.
void DiscoveryList_Scan(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        ClearList();
        const std::vector<Reply> replies = ScanReplies(n);
        state.ResumeTiming();
        ProcessReplies(replies);
    }
    state.counters["replies/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * n, benchmark::Counter::kIsRate);
    state.counters["rows"] = Form->UnitList().rowCount();
}
// Three runs each, as the machine's load swings a one-second run by more than the goal allows.
BENCHMARK(DiscoveryList_Scan)
    ->Arg(100)
    ->Arg(1000)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

// The same scan with the list sorted by "Owner", where many rows share a text.
void DiscoveryList_ScanSortedByOwner(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Form->UnitList().SortByColumn(UnitListModel::COLUMN_OWNER);
    for (auto _ : state) {
        state.PauseTiming();
        ClearList();
        const std::vector<Reply> replies = ScanReplies(n);
        state.ResumeTiming();
        ProcessReplies(replies);
    }
    Form->UnitList().SortByColumn(UnitListModel::COLUMN_MAC);
    state.counters["rows"] = Form->UnitList().rowCount();
}
BENCHMARK(DiscoveryList_ScanSortedByOwner)
    ->Arg(100)
    ->Arg(1000)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's folders go to a temporary home, never the user's.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
    QApplication app(argc, argv);

    TFormScan::Options options;
    options.WorkDir = home.path() + QStringLiteral("/work");
    // Loopback and a free port: the window binds but never sends anything here.
    options.Udp.LocalPort = 0;
    options.LocalIP = QStringLiteral("127.0.0.1");
    options.ExtraAdapters.append(AdapterObject{QStringLiteral("127.0.0.1"), QStringLiteral("loopback"), -1});
    auto form = std::make_unique<TFormScan>(options);
    DebugLog::instance().setCountdown(0);
    form->show();
    QCoreApplication::processEvents();
    Form = form.get();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Form = nullptr;
    return 0;
}
