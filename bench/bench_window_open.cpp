// Opening a 16 MiB flash file: as the batch tool does (no window) and from the main
// window (status texts, the jump list, the child frame and its listing view).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>
#include <string>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "shell/NullFrame.h"
#include "shell/qt/CMainFrame.h"
#include "shell/qt/QtSettingsStore.h"

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
        benchmark::DoNotOptimize(doc.flags);
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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    return 0;
}
