// Search over a 16 MiB image of THUMB code for a pattern found only near its end:
// aligned hex next to glibc's memmem over the same bytes in the same run, unaligned
// hex, and the text modes, which compose one listing line per item. The status texts
// go to a frame that counts them, as the window's would be set.
#include <benchmark/benchmark.h>
#include <string.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "listing/Search.h"
#include "shell/NullFrame.h"

namespace {

constexpr size_t kImageBytes = size_t{16} << 20;
constexpr char kNeedle[] = "\xDE\xAD\xBE\xEF\x01\x23\x45\x67";

class CountingFrame : public NullFrame {
  public:
    void SetStatusText(const std::string& text) override {
        ++texts;
        benchmark::DoNotOptimize(text.data());
    }
    size_t texts = 0;
};

struct Setup {
    Setup() {
        std::vector<uint8_t> image = MakeThumbImage(kImageBytes, 1);
        std::memcpy(image.data() + kImageBytes - 64, kNeedle, 8);
        const std::string path = WriteBenchImage(image, "search.fls");
        doc = std::make_unique<CTravikDoc>(frame);
        if (!doc->OnOpenDocument(path)) std::abort();
    }
    CountingFrame frame;
    std::unique_ptr<CTravikDoc> doc;
};

Setup& Doc() {
    static Setup setup;
    return setup;
}

void BM_Memmem(benchmark::State& state) {
    const CTravikDoc& doc = *Doc().doc;
    for (auto _ : state) {
        const void* hit = memmem(doc.image, doc.imageSize, kNeedle, 8);
        benchmark::DoNotOptimize(hit);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageBytes);
}
BENCHMARK(BM_Memmem)->Unit(benchmark::kMillisecond);

void BM_SearchHexAligned(benchmark::State& state) {
    const CTravikDoc& doc = *Doc().doc;
    for (auto _ : state) {
        const int32_t hit = Search(doc, "DEADBEEF01234567", 0, kSearchHex);
        if (hit != static_cast<int32_t>(kImageBytes - 64)) state.SkipWithError("wrong result");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageBytes);
}
BENCHMARK(BM_SearchHexAligned)->Unit(benchmark::kMillisecond);

void BM_SearchHexUnaligned(benchmark::State& state) {
    const CTravikDoc& doc = *Doc().doc;
    for (auto _ : state) {
        // Starts at the second digit: found through the low nibble of a byte.
        const int32_t hit = Search(doc, "EADBEEF0123456", 0, kSearchHexUnaligned);
        if (hit != static_cast<int32_t>(kImageBytes - 64)) state.SkipWithError("wrong result");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageBytes);
}
BENCHMARK(BM_SearchHexUnaligned)->Unit(benchmark::kMillisecond);

// A text that no line holds: every item line of the image is composed and searched.
void BM_SearchText(benchmark::State& state) {
    const CTravikDoc& doc = *Doc().doc;
    const int mode = static_cast<int>(state.range(0));
    int64_t items = 0;
    for (auto _ : state) {
        const int32_t hit = Search(doc, "no such text", 0, mode);
        if (hit != -1) state.SkipWithError("found");
    }
    // Item lines of the image (data items and BL pairs take more than one halfword).
    int64_t o = 0;
    for (int s = 0; o / 2 < doc.HalfwordCount(); ++items) {
        s = 1;
        o = doc.NextLine(o, s);
        if (s == 2) {
            ++items;
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * items);
    state.counters["item_lines"] = static_cast<double>(items);
}
BENCHMARK(BM_SearchText)->Arg(kSearchText)->Arg(kSearchTextCase)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
