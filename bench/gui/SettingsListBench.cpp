// What the unit window costs for the "Logs" menu of a full unit: the first print of the menu, which
// makes the rows and the editors, against a reprint after the unit answered again, which only
// puts the new values into the rows it has. A reprint happens every few seconds while a technician
// watches the counters, so it has to stay cheap.
//
// Needs the windows library; runs offscreen.
#include "core/app/DebugLog.h"
#include "core/app/MainClass.h"
#include "core/protocol/ConfigEnvelopeClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/KeyDefinitionTable.h"
#include "core/unit/UnitInfoClass.h"
#include "gui/unit/SettingsTreeWidget.h"
#include "gui/unit/TFormUnitInfo.h"
#include "gui/unit/VisualsClass.h"
#include "sim/SimUnit.h"

#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

const QString UNIT_IP = QStringLiteral("127.0.0.2");

// Every menu a product-1 unit shows, as the unit answers it.
QList<QByteArray> Replies(SimUnit& unit, quint16 group) {
    ConfigEnvelopeClass envelope;
    const QByteArray request = envelope.BuildPacket(unit.MacText(), CONFIG_READ, QString(),
                                                    ConfigEnvelopeClass::KeyEntry(group), 4096);
    return unit.HandleRequest(request);
}

// The tool with one full unit open in its window; the carriers are never bound, so requests go
// nowhere and only the window's own work is measured.
class OpenUnit {
public:
    OpenUnit() {
        MainClass::Options options;
        options.WorkDir = WorkDir.path();
        Main = std::make_unique<MainClass>(options);
        Main->CreateTransport();
        Window = std::make_unique<TFormUnitInfo>(*Main);
        for (int menu = 0; menu < MENU_COUNT; ++menu)
            Feed(KeyMenuRangeOf(static_cast<KeyMenu>(menu)).GroupId);
        Unit = Handler().FindUnit(Sim.MacText());
        Window->OpenUnit(Unit, QString());
        Window->resize(1040, 660);
        QApplication::processEvents();
        LogsRow = Window->MenuListView().findItems(QStringLiteral("Logs"), Qt::MatchExactly).first();
        IpRow = Window->MenuListView().findItems(QStringLiteral("IP"), Qt::MatchExactly).first();
        // Two answers of the "Logs" menu whose counters differ, so every reprint has new values.
        LogsReplies[0] = Replies(Sim, UnitConfigHandlerClass::GROUP_LOGS);
        for (quint16 id = 227; id <= 258; ++id)
            if (Sim.HasKey(id))
                Sim.SetKey(id, QByteArray::fromHex("00012345"));
        LogsReplies[1] = Replies(Sim, UnitConfigHandlerClass::GROUP_LOGS);
    }

    UnitConfigHandlerClass& Handler() { return Main->ConfigHandler(); }
    void Feed(quint16 group) {
        for (const QByteArray& reply : Replies(Sim, group))
            Handler().ParseConfig(reply, UNIT_IP, 0);
    }
    void Choose(QListWidgetItem* row) {
        VisualsClass& visuals = Window->Visuals();
        visuals.SelectedMenuIndex = Window->MenuListView().row(row);
        visuals.UpdateSettingsList(0);
    }

    QTemporaryDir WorkDir;
    SimUnit Sim = SimUnit::Demo(1, 0);
    std::unique_ptr<MainClass> Main;
    std::unique_ptr<TFormUnitInfo> Window;
    UnitInfoClass* Unit = nullptr;
    QListWidgetItem* LogsRow = nullptr;
    QListWidgetItem* IpRow = nullptr;
    QList<QByteArray> LogsReplies[2];
};

// Made on first use and destroyed before the application object, which its windows need.
std::unique_ptr<OpenUnit> TheFixture;

OpenUnit& Fixture() {
    if (!TheFixture)
        TheFixture = std::make_unique<OpenUnit>();
    return *TheFixture;
}

void Counters(benchmark::State& state) {
    state.counters["rows"] = Fixture().Window->SettingsListView().RowCount();
}

// The first print of "Logs": a new list of rows and a new editor for every key that has one.
// paint: 1 also lets the window lay out and paint what changed, as the user sees it.
void SettingsList_FirstPrintWithNewEditors(benchmark::State& state) {
    OpenUnit& open = Fixture();
    const bool paint = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        open.Choose(open.IpRow);
        open.Window->Visuals().RemoveEditors(open.Unit);
        QApplication::processEvents();
        state.ResumeTiming();
        open.Choose(open.LogsRow);
        if (paint)
            QApplication::processEvents();
    }
    Counters(state);
}
BENCHMARK(SettingsList_FirstPrintWithNewEditors)
    ->ArgName("paint")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

// The same after the editors were made once: the rows are new, the editors come from the parking.
void SettingsList_FirstPrintWithKeptEditors(benchmark::State& state) {
    OpenUnit& open = Fixture();
    const bool paint = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        open.Choose(open.IpRow);
        QApplication::processEvents();
        state.ResumeTiming();
        open.Choose(open.LogsRow);
        if (paint)
            QApplication::processEvents();
    }
    Counters(state);
}
BENCHMARK(SettingsList_FirstPrintWithKeptEditors)
    ->ArgName("paint")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

// The unit answered again with new values for every counter of the menu: the menu is reprinted
// with the values in place. The answer is parsed outside the timing (with the reprint it would
// trigger held back); the reprint is what the window does on its signal.
void SettingsList_ReprintAfterResponse(benchmark::State& state) {
    OpenUnit& open = Fixture();
    const bool paint = state.range(0) != 0;
    open.Choose(open.LogsRow);
    QApplication::processEvents();
    SettingsTreeWidget& list = open.Window->SettingsListView();
    QWidget* editor = list.RowEditor(list.FindRow(QStringLiteral("Event Log")));
    auto parse = [&](int which) {
        const QSignalBlocker quiet(&open.Handler());
        for (const QByteArray& reply : open.LogsReplies[which])
            open.Handler().ParseConfig(reply, UNIT_IP, 0);
    };
    int which = 0;
    for (auto _ : state) {
        state.PauseTiming();
        which ^= 1;
        parse(which);
        state.ResumeTiming();
        open.Window->Visuals().RefreshAfterResponse();
        if (paint)
            QApplication::processEvents();
    }
    // The reprint must have put the new values into the rows and kept the editors it had.
    parse(1);
    open.Window->Visuals().RefreshAfterResponse();
    if (list.RowEditor(list.FindRow(QStringLiteral("Event Log"))) != editor)
        state.SkipWithError("the reprint rebuilt the editors");
    if (list.FindRow(QStringLiteral("IP packets received"))->text(SettingsTreeWidget::COLUMN_VALUE) !=
        QStringLiteral("74565"))
        state.SkipWithError("the reprint did not show the new values");
    Counters(state);
}
BENCHMARK(SettingsList_ReprintAfterResponse)->ArgName("paint")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    DebugLog::instance().setCountdown(0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    TheFixture.reset();
    benchmark::Shutdown();
    return 0;
}
