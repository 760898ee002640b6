// The main window's speed: opening a 16 MiB flash file as the batch tool does (no
// window) and from the main window (status texts, jump list, child frame and view);
// holding Down in its listing (a key press and a paint each); and a Step to Cursor
// that runs in slices against the emulator running the same code bare.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <string>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "session/DebugSession.h"
#include "shell/NullFrame.h"
#include "app/CMainFrame.h"
#include "app/QtSettingsStore.h"

namespace {

const std::string& ImagePath() {
    static const std::string path =
        WriteBenchImage(MakeThumbImage(size_t{16} << 20, 1), "window-open.fls");
    return path;
}

void BM_OpenWithoutWindow(benchmark::State& state) {
    for (auto _ : state) {
        NullFrame frame;
        CTravikDoc doc(frame);
        if (!doc.OnOpenDocument(ImagePath())) std::abort();
        benchmark::DoNotOptimize(doc.Flags());
    }
}
BENCHMARK(BM_OpenWithoutWindow)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_OpenInMainWindow(benchmark::State& state) {
    QTemporaryDir dir;
    QtSettingsStore settings(dir.filePath("settings.ini"));
    CMainFrame frame(settings);
    frame.SetUnattended(true);
    frame.resize(1280, 1024);
    frame.show();
    for (auto _ : state) {
        if (!frame.OpenDocumentFile(QString::fromStdString(ImagePath()))) std::abort();
        QApplication::processEvents();
        state.PauseTiming();
        frame.CloseDocument(*frame.Document(0));
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenInMainWindow)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// One Down key press and the paint it asks for, with the cursor at the anchor so that
// every press scrolls the page.
void BM_HoldDown(benchmark::State& state) {
    QTemporaryDir dir;
    QtSettingsStore settings(dir.filePath("settings.ini"));
    CMainFrame frame(settings);
    frame.SetUnattended(true);
    frame.resize(1920, 1080);
    frame.show();
    if (!frame.OpenDocumentFile(QString::fromStdString(ImagePath()))) std::abort();
    CTravikView& view = *frame.ActiveView();
    DisplayOptions options = view.GetDocument().Options();
    options.bitmapWidth = 16;
    view.GetDocument().SetOptions(options);
    frame.MdiArea()->activeSubWindow()->showMaximized();
    QApplication::processEvents();
    for (auto _ : state) {
        QTest::keyClick(&view, Qt::Key_Down);
        view.repaint();
    }
    state.counters["paints/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
    state.counters["rows"] = view.State().rowCount;
    frame.CloseDocument(view.GetDocument());
}
BENCHMARK(BM_HoldDown)->Unit(benchmark::kMillisecond)->MinTime(5.0)->UseRealTime();

// The demo's main loop, run towards a line it never reaches: in the window (slices with
// a full refresh between them) and bare (the emulator's own run, as travik-cli does).
constexpr uint32_t kNeverReached = 0x20020C;
constexpr uint64_t kBareInstructions = 200'000'000;

void BM_StepToCursorInWindow(benchmark::State& state) {
    QTemporaryDir dir;
    QtSettingsStore settings(dir.filePath("settings.ini"));
    // Every debugger bar shown: each slice ends with their refresh.
    for (const auto& key : {settings::kViewCallStack, settings::kViewRegisters,
                            settings::kViewWarnings, settings::kViewMemory, settings::kViewPhone})
        settings::Write(settings, key, 1);
    CMainFrame frame(settings);
    frame.SetUnattended(true);
    frame.resize(1280, 1024);
    frame.show();
    if (!frame.OpenDocumentFile(QString::fromStdString(TRAVIK_DEMO_FLS))) std::abort();
    frame.MdiArea()->activeSubWindow()->showMaximized();
    QApplication::processEvents();
    CTravikView& view = *frame.ActiveView();
    view.GoToOffset(0x00C, true);
    view.repaint();
    view.OnRunCommand(RunCommand::kStart);
    const CEmulator& emu = view.GetDocument().Emulator();
    uint64_t instructions = 0;
    for (auto _ : state) {
        view.GoToOffset(kNeverReached - 0x200000, true);
        view.repaint();
        view.OnRunCommand(RunCommand::kStepToCursor);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 2000) QApplication::processEvents();
        instructions += emu.LongRunExecuted();
        view.OnRunCommand(RunCommand::kBreak);
    }
    state.counters["instructions/s"] =
        benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StepToCursorInWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_StepToCursorBare(benchmark::State& state) {
    NullFrame frame;
    CTravikDoc doc(frame);
    if (!doc.OnOpenDocument(TRAVIK_DEMO_FLS)) std::abort();
    CEmulator emu;  // the emulator alone, without the session's slices
    emu.Start(0x20000C, doc.Image(), doc.ImageSize(), doc.EmulatorRam(),
              CEmulator::kInitialStackPointer);
    uint64_t instructions = 0;
    for (auto _ : state) instructions += emu.RunUntil(kNeverReached, kBareInstructions).executed;
    state.counters["instructions/s"] =
        benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StepToCursorBare)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
