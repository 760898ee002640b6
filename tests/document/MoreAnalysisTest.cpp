// Find More Routines on the compiled workloads, against their ELF symbols: the FUNC
// symbols that become routine starts, the routine starts that fall inside a function,
// and the bytes the ELF's data mapping symbols ($d, up to the next mapping symbol)
// cover that are shown as data. Then its edit on an image with the user's own items.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "document/MoreAnalysis.h"
#include "document/MoreFacts.h"
#include "support/TestSupport.h"
#include "symbols/ElfFormat.h"
#include "symbols/SymbolFile.h"

namespace {

uint32_t Be32(const std::string& b, uint64_t at) {
    return (uint32_t(uint8_t(b[at])) << 24) | (uint32_t(uint8_t(b[at + 1])) << 16) |
           (uint32_t(uint8_t(b[at + 2])) << 8) | uint8_t(b[at + 3]);
}

// The mapping symbols of a big-endian ELF32: address -> true for data ($d), false for
// code ($t, $a). The symbol reader leaves them out; the workloads are ours and sound.
std::map<uint32_t, bool> MappingSymbols(const std::string& elf) {
    std::map<uint32_t, bool> marks;
    const uint32_t shoff = Be32(elf, 32);
    const uint32_t shnum = (uint8_t(elf[48]) << 8) | uint8_t(elf[49]);
    for (uint32_t k = 0; k < shnum; ++k) {
        const uint64_t sh = shoff + uint64_t{k} * elf::kSectionHeaderSize;
        if (Be32(elf, sh + 4) != elf::kSectionSymtab) continue;
        const uint64_t strings = shoff + uint64_t{Be32(elf, sh + 24)} * elf::kSectionHeaderSize;
        const uint32_t names = Be32(elf, strings + 16);
        for (uint64_t at = Be32(elf, sh + 16);
             at < Be32(elf, sh + 16) + uint64_t{Be32(elf, sh + 20)}; at += elf::kSymbolSize) {
            const std::string name = elf.c_str() + names + Be32(elf, at);
            if (name == "$d" || name == "$t" || name == "$a")
                marks[Be32(elf, at + 4)] = name == "$d";
        }
    }
    return marks;
}

struct Figures {
    size_t funcs = 0, funcsFound = 0, starts = 0, startsInside = 0, dataBytes = 0, dataShown = 0;
    size_t codeAsData = 0;  // bytes of code shown as data
};

Figures Measure(const CTravikDoc& doc, const std::string& elf) {
    Figures f;
    const uint32_t size = doc.ImageSize();
    std::vector<std::pair<uint32_t, uint32_t>> funcs;  // image offset, size (0: none given)
    for (const SymbolEntry& s : ReadSymbolFile(elf).symbols) {
        if (s.code && s.address >= kFlashBase && s.address < kFlashBase + size)
            funcs.emplace_back(uint32_t(s.address - kFlashBase), uint32_t(s.size));
    }
    std::sort(funcs.begin(), funcs.end());
    funcs.erase(std::unique(funcs.begin(), funcs.end(),
                            [](auto& a, auto& b) { return a.first == b.first; }),
                funcs.end());
    auto flag = [&](uint32_t o) { return doc.Flags()[o / 2]; };
    for (size_t k = 0; k < funcs.size(); ++k) {
        ++f.funcs;
        if (flag(funcs[k].first) & flagbits::kRoutineStart) ++f.funcsFound;
    }
    for (uint32_t o = 0; o + 1 < size; o += 2) {
        if (!(flag(o) & flagbits::kRoutineStart)) continue;
        ++f.starts;
        // Inside a function: after its start, before its end (or the next function's start).
        auto next = std::upper_bound(funcs.begin(), funcs.end(), std::make_pair(o, UINT32_MAX));
        if (next == funcs.begin()) continue;
        const auto& fn = *(next - 1);
        const uint32_t end = fn.second             ? fn.first + fn.second
                             : next != funcs.end() ? next->first
                                                   : size;
        if (fn.first != o && o < end) ++f.startsInside;
    }
    const auto marks = MappingSymbols(elf);
    for (auto it = marks.begin(); it != marks.end(); ++it) {
        if (it->first < kFlashBase) continue;
        const uint32_t end =
            std::next(it) != marks.end() ? std::next(it)->first - kFlashBase : size;
        for (uint32_t o = it->first - kFlashBase; o < std::min(end, size); ++o) {
            const uint8_t type = flag(o & ~1u) & flagbits::kTypeMask;
            const bool data = type >= itemtype::kData2 && type <= itemtype::kData16;
            f.dataBytes += it->second;
            f.dataShown += it->second && data;
            f.codeAsData += !it->second && data;
        }
    }
    return f;
}

TEST(MoreAnalysis, FindsTheWorkloadsRoutinesAndData) {
    Figures all;
    for (const std::string& base : WorkloadBases()) {
        RecordingFrame frame;
        std::unique_ptr<CTravikDoc> doc = OpenImage(frame, base + ".fls");
        ASSERT_TRUE(doc) << base;
        FindMoreRoutines(*doc);
        const std::vector<uint8_t> bytes = ReadFileBytes(base + ".elf");
        const Figures f = Measure(*doc, std::string(bytes.begin(), bytes.end()));
        std::printf(
            "%-10s functions %zu/%zu, routine starts %zu (%zu inside a function), "
            "data bytes %zu/%zu, code bytes as data %zu\n",
            base.substr(base.rfind('/') + 1).c_str(), f.funcsFound, f.funcs, f.starts,
            f.startsInside, f.dataShown, f.dataBytes, f.codeAsData);
        EXPECT_GE(f.funcsFound * 100, f.funcs * 95) << base;
        EXPECT_LE(f.startsInside * 100, f.starts * 2) << base;
        EXPECT_GE(f.dataShown * 100, f.dataBytes * 95) << base;
        all.funcs += f.funcs, all.funcsFound += f.funcsFound, all.starts += f.starts;
        all.startsInside += f.startsInside, all.dataBytes += f.dataBytes,
            all.dataShown += f.dataShown;
        all.codeAsData += f.codeAsData;
    }
    std::printf(
        "all        functions %zu/%zu, routine starts %zu (%zu inside a function), "
        "data bytes %zu/%zu, code bytes as data %zu\n",
        all.funcsFound, all.funcs, all.starts, all.startsInside, all.dataShown, all.dataBytes,
        all.codeAsData);
}

}  // namespace

namespace {

// A routine that loads a code pointer from a pool at offset 2, the routine it points
// to, a prologue after that routine's end, a string, and items the user typed.
TEST(MoreAnalysis, LeavesTheUsersItemsAndUndoesAsOneStep) {
    TempDir dir;
    RecordingFrame frame;
    auto doc =
        OpenImageBytes(frame, dir.File("u.fls"),
                       ImageOfHalfwords({0xB500, 0x4801, 0xBD00, 0x0000,     // 00: LDR at 2
                                         0x0020, 0x0011, 0x0000, 0x0000,     // 08: pointer to 10
                                         0xB510, 0xBD10, 0xB500, 0xBD00,     // 10, 14
                                         0x4865, 0x6C6C, 0x6F00, 0x0000,     // 18: "Hello"
                                         0xB500, 0xBD00, 0xB500, 0xBD00}));  // 20, 24 (user's)
    ASSERT_TRUE(doc);
    doc->Apply(ItemTypeEdit(*doc, 0x14, itemtype::kData2, true));
    doc->Apply(TextEdit(*doc, DocEdit::TextKind::kHeader, 0x24, "mine", true));
    const std::vector<uint8_t> flags(doc->Flags(), doc->Flags() + doc->HalfwordCount());
    const size_t headers = doc->Headers().Size();

    const MoreReport report = FindMoreRoutines(*doc);
    EXPECT_EQ(report.pointerRoutines, 1u);
    EXPECT_EQ(report.prologueRoutines, 1u);  // 0x20; 0x14 and 0x24 are the user's
    auto header = [&](uint32_t o) {
        const std::string* h = doc->Headers().Find(o / 2);
        return (doc->Flags()[o / 2] & flagbits::kRoutineStart) && h ? *h : std::string("-");
    };
    EXPECT_EQ(header(0x10), "Routine (pointer)");
    EXPECT_EQ(header(0x20), "Routine (prologue)");
    EXPECT_EQ(doc->Flags()[0x08 / 2], itemtype::kData4);
    EXPECT_EQ(doc->Flags()[0x18 / 2], itemtype::kData8);  // the string and its zeros
    for (uint32_t o : {0x14u, 0x24u}) EXPECT_EQ(doc->Flags()[o / 2], flags[o / 2]) << o;
    EXPECT_EQ(*doc->Headers().Find(0x24 / 2), "mine");
    EXPECT_EQ(doc->History().UndoLabel(), kFindMoreRoutinesLabel);

    doc->Undo();
    EXPECT_EQ(std::vector<uint8_t>(doc->Flags(), doc->Flags() + doc->HalfwordCount()), flags);
    EXPECT_EQ(doc->Headers().Size(), headers);
}

}  // namespace

namespace {

// The scans done beside the walk, eight and sixty-four bytes at a time, against a plain
// reading of every byte: images of odd sizes, with text, zeros, pointers and branches
// across the block edges.
TEST(MoreAnalysis, ImageScanAgreesWithAPlainReading) {
    auto isText = [](uint8_t b) {
        return b == '\t' || b == '\n' || b == '\r' || (b >= 0x20 && b < 0x7F) || b >= 0xA0;
    };
    uint32_t seed = 1;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
    for (uint32_t size : {1u, 7u, 64u, 131u, 4099u, 20001u}) {
        std::vector<uint8_t> image(size);
        for (uint32_t c = 0; c < size; ++c) {
            const uint32_t r = next() % 8;
            image[c] = r < 3 ? static_cast<uint8_t>('a' + next() % 26) : r < 6 ? 0 : static_cast<uint8_t>(next());
        }
        for (uint32_t o = 0; o + 4 <= size; o += 12) image[o + 1] = static_cast<uint8_t>(0x20 + next() % 2);  // flash words
        std::vector<uint8_t> codes(size / 2);
        for (auto& c : codes) c = static_cast<uint8_t>(next() % 4);

        const more::ImageFacts facts = more::ScanImage(image.data(), codes.data(), size);
        std::vector<std::pair<uint32_t, uint32_t>> ends;
        for (uint32_t c = 0, run = 0; c < size; ++c) {
            if (isText(image[c])) continue;
            if (image[c] == 0 && c - run >= more::kMinString) ends.emplace_back(c, run);
            run = c + 1;
        }
        EXPECT_EQ(facts.textEnds, ends) << size;
        for (uint32_t o = 0; o + 4 <= size; o += 4) {
            const uint32_t word = uint32_t{image[o]} << 24 | image[o + 1] << 16 | image[o + 2] << 8 | image[o + 3];
            ASSERT_EQ(facts.IsFlashWord(o), word - 0x200000u < size) << size << " " << o;
        }
        std::vector<bool> targets(size / 2);
        for (uint32_t i = 0; i < size / 2; ++i) {
            if (codes[i] != CTravikDoc::kJumpBranch) continue;
            const uint32_t h = uint32_t{image[2 * i]} << 8 | image[2 * i + 1];
            const int64_t t = (h >> 12) == 0xD ? 2 * i + 4 + 2 * int64_t{static_cast<int8_t>(h & 0xFF)}
                                               : 2 * i + 4 + 2 * int64_t{static_cast<int16_t>(h << 5) >> 5};
            if (t >= 0 && t / 2 < size / 2) targets[t / 2] = true;
        }
        for (uint32_t i = 0; i < size / 2; ++i) ASSERT_EQ(facts.IsBranchTarget(i), targets[i]) << size << " " << i;
    }
}

}  // namespace
