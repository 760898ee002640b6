// One Step Into with its full refresh: the listing, the registers, the memory dump, the
// phone and the call stack, with every bar shown, on the demo firmware. Animation and
// the sliced long runs repaint this way after every step or slice.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <string>

#include "BenchImage.h"
#include "debugger/CallStackTree.h"
#include "debugger/MemoryDump.h"
#include "debugger/PhoneScreen.h"
#include "debugger/RegistersPage.h"
#include "document/CTravikDoc.h"
#include "session/DebugSession.h"
#include "shell/NullFrame.h"
#include "app/CMainFrame.h"
#include "app/CResizableBar.h"
#include "app/QtSettingsStore.h"

namespace {

const std::string& FlashPath() {
    static const std::string path = [] {
        const std::string demo = TRAVIK_DEMO_FLS;
        if (!demo.empty() && std::getenv("TRAVIK_BENCH_SYNTHETIC") == nullptr) return demo;
        return WriteBenchImage(MakeThumbImage(size_t{1} << 20, 7), "refresh.fls");
    }();
    return path;
}

// The main window at 1600 x 1000 with the flash file open, every bar shown and an
// emulation started at the first instruction.
// Counts the paints of the windows it watches.
struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
    int64_t count = 0;
};

struct Window {
    Window() : settings(dir.filePath("settings.ini")), frame(settings) {
        frame.SetUnattended(true);
        frame.resize(1600, 1000);
        frame.show();
        if (!frame.OpenDocumentFile(QString::fromStdString(FlashPath()))) std::abort();
        frame.MdiArea()->activeSubWindow()->showMaximized();
        for (int bar = 0; bar < CMainFrame::kBarCount; ++bar) {
            frame.BarOf(CMainFrame::Bar(bar))->show();
            frame.BarOf(CMainFrame::Bar(bar))->Hosted()->installEventFilter(&paints);
        }
        frame.ActiveView()->installEventFilter(&paints);
        // The registers at full height on the right, the dump wide at the bottom.
        frame.addDockWidget(Qt::RightDockWidgetArea, frame.BarOf(CMainFrame::kEmulatorBar));
        frame.resizeDocks({frame.BarOf(CMainFrame::kEmulatorBar)}, {330}, Qt::Horizontal);
        frame.resizeDocks({frame.BarOf(CMainFrame::kMemoryBar)}, {230}, Qt::Vertical);
        frame.resizeDocks({frame.BarOf(CMainFrame::kMemoryBar)}, {1000}, Qt::Horizontal);
        frame.ActiveView()->GoToOffset(0, true);
        frame.ActiveView()->OnRunCommand(RunCommand::kStart);
        QApplication::processEvents();
    }
    PaintCounter paints;
    QTemporaryDir dir;
    QtSettingsStore settings;
    CMainFrame frame;
};

// Step Into and everything it repaints, until the window is idle again.
void BM_StepIntoWithFullRefresh(benchmark::State& state) {
    Window w;
    const int64_t before = w.paints.count;
    for (auto _ : state) {
        w.frame.ActiveView()->OnRunCommand(RunCommand::kStepInto);
        QApplication::processEvents();
    }
    // Four: the listing, the registers, the memory dump and the phone (the call stack's
    // tree is a standard control and not counted); less means a window did not paint.
    state.counters["paints/step"] =
        double(w.paints.count - before) / double(std::max<int64_t>(state.iterations(), 1));
}
BENCHMARK(BM_StepIntoWithFullRefresh)->Unit(benchmark::kMicrosecond)->MinTime(3.0);

// The same steps with every bar hidden: what the listing alone costs.
void BM_StepIntoListingOnly(benchmark::State& state) {
    Window w;
    for (int bar = 0; bar < CMainFrame::kBarCount; ++bar)
        w.frame.BarOf(CMainFrame::Bar(bar))->hide();
    QApplication::processEvents();
    for (auto _ : state) {
        w.frame.ActiveView()->OnRunCommand(RunCommand::kStepInto);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_StepIntoListingOnly)->Unit(benchmark::kMicrosecond)->MinTime(3.0);

// Run (F9) in the window for a second of wall time: how often the registers and the
// phone repaint while it runs (about 30 a second by the clock), and its rate.
void BM_RunInTheWindow(benchmark::State& state) {
    Window w;
    PaintCounter registers, phone;
    w.frame.BarOf(CMainFrame::kEmulatorBar)->Hosted()->installEventFilter(&registers);
    w.frame.BarOf(CMainFrame::kPhoneBar)->Hosted()->installEventFilter(&phone);
    const CEmulator& emu = w.frame.ActiveView()->GetDocument().Emulator();
    double seconds = 0;
    uint64_t instructions = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        w.frame.ActiveView()->OnRunCommand(RunCommand::kRun);
        while (clock.elapsed() < 1000) QApplication::processEvents();
        instructions += emu.LongRunExecuted();
        w.frame.ActiveView()->OnRunCommand(RunCommand::kBreak);
        seconds += static_cast<double>(clock.nsecsElapsed()) / 1e9;
        QApplication::processEvents();
    }
    state.counters["register paints/s"] = static_cast<double>(registers.count) / seconds;
    state.counters["phone paints/s"] = static_cast<double>(phone.count) / seconds;
    state.counters["M instr/s"] = static_cast<double>(instructions) / seconds / 1e6;
}
BENCHMARK(BM_RunInTheWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

// The core's share: the four paint models of the debugger windows after a step.
void BM_DebuggerPaintModels(benchmark::State& state) {
    NullFrame frame;
    CTravikDoc doc(frame);
    if (!doc.OnOpenDocument(FlashPath())) std::abort();
    doc.Session().Execute(RunCommand::kStart, 0);
    DrawList registers, memory;
    MemoryViewState view;
    PhoneScreen screen;
    for (auto _ : state) {
        doc.Session().Execute(RunCommand::kStepInto, 0);
        PaintRegisters(&doc, registers);
        FollowEmulator(view, doc.Session().FollowMarks());
        PaintMemory(&doc, view, 1000, 230, memory);
        screen.Update(&doc);
        benchmark::DoNotOptimize(BuildCallStack(doc));
    }
}
BENCHMARK(BM_DebuggerPaintModels)->Unit(benchmark::kMicrosecond);

}  // namespace
