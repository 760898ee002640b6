// Search over a 16 MiB image of THUMB code for a pattern found only near its end:
// aligned hex next to glibc's memmem over the same bytes in the same run, unaligned
// hex, and the text modes, which compose one listing line per item. Then the hex
// patterns that match almost everywhere, on 16 MiB images of zeros and of a repeated
// pair: whole bytes found at every offset while a nibble or the last byte does not
// match, and SearchAll with a match at every offset. Find in the window waits for one
// Search, so the slowest of these is how long it can freeze. The status texts go to a
// frame that counts them, as the window's would be set. Find All with wildcards in both
// hex modes, and the References bar's list of a routine called from 10,000 places.
#include <benchmark/benchmark.h>
#include <string.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchImage.h"
#include "document/CTravikDoc.h"
#include "listing/References.h"
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
    explicit Setup(const std::string& path) {
        doc = std::make_unique<CTravikDoc>(frame);
        if (!doc->OnOpenDocument(path)) std::abort();
    }
    CountingFrame frame;
    std::unique_ptr<CTravikDoc> doc;
};

Setup& Doc() {
    static Setup setup([] {
        std::vector<uint8_t> image = MakeThumbImage(kImageBytes, 1);
        std::memcpy(image.data() + kImageBytes - 64, kNeedle, 8);
        return WriteBenchImage(image, "search.fls");
    }());
    return setup;
}

void BM_Memmem(benchmark::State& state) {
    const CTravikDoc& doc = *Doc().doc;
    for (auto _ : state) {
        const void* hit = memmem(doc.Image(), doc.ImageSize(), kNeedle, 8);
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

// Find All with wildcards over the whole image: any byte (mode 1) and any digit (mode 2).
void BM_FindAllWildcards(benchmark::State& state) {
    const CTravikDoc& doc = *Doc().doc;
    const bool unaligned = state.range(0) == kSearchHexUnaligned;
    const char* pattern = unaligned ? "EA?BEEF0?23456" : "DE??BEEF01??4567";
    state.SetLabel(pattern);
    for (auto _ : state) {
        const std::vector<uint32_t> all = SearchAll(doc, pattern, static_cast<int>(state.range(0)));
        if (all.size() != 1 || all[0] != kImageBytes - 64) state.SkipWithError("wrong result");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageBytes);
}
BENCHMARK(BM_FindAllWildcards)
    ->Arg(kSearchHex)
    ->Arg(kSearchHexUnaligned)
    ->Unit(benchmark::kMillisecond);

// A routine in the middle called by 10,000 BLs spread over 6 MiB of a 16 MiB image of
// code (BLs the analysis found, aimed at it): the referrers found and each one's line with its
// kind, as `refs` prints them.
void BM_ReferencesList(benchmark::State& state) {
    static Setup setup([] {
        std::vector<uint8_t> image = MakeThumbImage(kImageBytes, 2);
        // The BLs the analysis found that reach the middle of the image.
        constexpr uint32_t kTarget = kImageBytes / 2;
        std::vector<uint32_t> calls;
        {
            const Setup first(WriteBenchImage(image, "calls.fls"));
            for (uint32_t i = 0; i < first.doc->HalfwordCount(); ++i)
                if (first.doc->JumpCodes()[i] == CTravikDoc::kJumpCall &&
                    2 * i + (3u << 20) > kTarget && 2 * i < kTarget + (3u << 20))
                    calls.push_back(2 * i);
        }
        if (calls.size() < 10000) std::abort();
        // A routine in the middle: PUSH {LR}; POP {PC}.
        image[kTarget] = 0xB5, image[kTarget + 1] = 0x00, image[kTarget + 2] = 0xBD,
        image[kTarget + 3] = 0x00;
        for (uint32_t k = 0; k < 10000; ++k) {
            const uint32_t o = calls[k * (calls.size() / 10000)];
            const int32_t offset =
                (static_cast<int32_t>(kTarget) - static_cast<int32_t>(o + 4)) >> 1;
            image[o] = static_cast<uint8_t>(0xF0 | (offset >> 19 & 7));
            image[o + 1] = static_cast<uint8_t>(offset >> 11);
            image[o + 2] = static_cast<uint8_t>(0xF8 | (offset >> 8 & 7));
            image[o + 3] = static_cast<uint8_t>(offset);
        }
        return WriteBenchImage(image, "refs.fls");
    }());
    const CTravikDoc& doc = *setup.doc;
    size_t calls = 0;
    for (auto _ : state) {
        const std::vector<Reference> refs = ReferencesTo(doc, kImageBytes / 2);
        size_t length = 0;
        calls = 0;
        for (const Reference& r : refs) {
            length += ReferenceLine(doc, r).size();
            calls += r.kind == ReferenceKind::kCall;
        }
        benchmark::DoNotOptimize(length);
    }
    if (calls < 10000) state.SkipWithError("the calls were not all found");
    state.counters["calls"] = static_cast<double>(calls);
}
BENCHMARK(BM_ReferencesList)->Unit(benchmark::kMillisecond);

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

// A 16 MiB image of one repeated byte pair, opened once per pair.
const CTravikDoc& FilledDoc(uint16_t pair) {
    static std::map<uint16_t, std::unique_ptr<Setup>> docs;
    std::unique_ptr<Setup>& setup = docs[pair];
    if (!setup) {
        std::vector<uint8_t> image(kImageBytes);
        for (size_t i = 0; i < kImageBytes; i += 2)
            image[i] = static_cast<uint8_t>(pair >> 8), image[i + 1] = static_cast<uint8_t>(pair);
        const std::string path = WriteBenchImage(image, "filled.fls");
        setup = std::make_unique<Setup>(path);
    }
    return *setup->doc;
}

struct HardCase {
    const char* name;
    uint16_t pair;  // the image's repeated bytes
    std::string pattern;
    int mode;
    bool all;
    int64_t expected;  // Search's result, or SearchAll's number of items
};

const std::vector<HardCase>& HardCases() {
    const std::string zeros(4000, '0');
    static const std::vector<HardCase> cases = {
        // 2,000 zero bytes at every offset, the tail nibble never 1.
        {"zeros/mode2/4000x0+1", 0, zeros + "1", kSearchHexUnaligned, false, -1},
        {"zeros/mode2/4000x0+1/all", 0, zeros + "1", kSearchHexUnaligned, true, 0},
        // 1,999 zero bytes at every offset, the last byte never 01.
        {"zeros/mode1/3999x0+1", 0, zeros.substr(1) + "1", kSearchHex, false, -1},
        {"zeros/mode1/3999x0+1/all", 0, zeros.substr(1) + "1", kSearchHex, true, 0},
        // The lead nibble only: checked at every offset.
        {"zeros/mode2/1", 0, "1", kSearchHexUnaligned, false, -1},
        // The first byte at every other offset, the second never: memchr stops often.
        {"0002/mode1/0001", 0x0002, "0001", kSearchHex, false, -1},
        // A partial match that falls back along its borders at every other byte.
        {"0000/mode1/000000000001", 0x0000, "000000000001", kSearchHex, false, -1},
        {"0101/mode2/0101010101010102", 0x0101, "0101010101010102", kSearchHexUnaligned, false, -1},
        // A match at every offset: the time grows with the items listed only.
        {"zeros/mode1/00/all", 0, "00", kSearchHex, true, kImageBytes / 2},
        {"zeros/mode2/000/all", 0, "000", kSearchHexUnaligned, true, kImageBytes / 2},
        {"zeros/mode2/0/all", 0, "0", kSearchHexUnaligned, true, kImageBytes / 2},
    };
    return cases;
}

void BM_SearchHard(benchmark::State& state) {
    const HardCase& c = HardCases()[static_cast<size_t>(state.range(0))];
    const CTravikDoc& doc = FilledDoc(c.pair);
    state.SetLabel(c.name);
    for (auto _ : state) {
        const int64_t result = c.all
                                   ? static_cast<int64_t>(SearchAll(doc, c.pattern, c.mode).size())
                                   : Search(doc, c.pattern, 0, c.mode);
        if (result != c.expected) state.SkipWithError("wrong result");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageBytes);
}
BENCHMARK(BM_SearchHard)->DenseRange(0, 10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
