// The session's recorders on the demo firmware: the I/O access map and the writers of
// the display bytes give the same after a run as after as many single steps.
#include <gtest/gtest.h>

#include <map>

#include "listing/ListingFixture.h"
#include "listing/Disassembler.h"
#include "shell/Format.h"
#include "support/TestDoc.h"

namespace {

constexpr uint64_t kInstructions = 20000;
constexpr uint32_t kVars = 0x100;  // the demo's variables, 16 bytes into the RAM page

std::unique_ptr<CTravikDoc> DemoRecording(RecordingFrame& frame) {
    auto doc = OpenImage(frame, TRAVIK_DEMO_FLS);
    if (!doc) return doc;
    TestDoc::RamNames(*doc).SetName(kVars, "digits");
    for (uint32_t i = 1; i < 8; ++i) TestDoc::RamNames(*doc).SetContinued(kVars + i);
    TestDoc::RamNames(*doc).SetName(kVars + 12, "frames");
    doc->Session().RecordIoAccesses(true);
    doc->Session().RecordPixelWriters(true);
    doc->Session().Execute(RunCommand::kStart, 0);
    return doc;
}

std::string MapText(const IoAccessMap& map) {
    std::string text;
    for (const IoAddressCounts& c : map.Sorted()) {
        text += Format("%.8X %s\n", c.address, IoAddressSummary(c).c_str());
        for (const IoInstructionCounts& i : c.instructions)
            text += Format("  %.8X %s\n", i.instruction, IoInstructionSummary(i).c_str());
    }
    return text;
}

TEST(Recorders, RunRecordsWhatSingleStepsRecord) {
    RecordingFrame frame;
    auto run = DemoRecording(frame);
    auto steps = DemoRecording(frame);
    ASSERT_TRUE(run && steps);
    run->Session().RunBatch(DebugSession::BatchRun::kFree, 0, kInstructions);
    for (uint64_t i = 0; i < kInstructions; ++i) steps->Session().Execute(RunCommand::kStepInto, 0);
    EXPECT_EQ(run->Session().Emulator().InstructionCount(), kInstructions);
    EXPECT_EQ(steps->Session().Emulator().InstructionCount(), kInstructions);

    const std::string map = MapText(run->Session().IoMap());
    EXPECT_EQ(map, MapText(steps->Session().IoMap()));
    // The named bytes only: the digits' first word and the frame count, nothing between.
    EXPECT_NE(map.find("00100100 reads"), std::string::npos) << map;
    EXPECT_NE(map.find("0010010C "), std::string::npos) << map;
    EXPECT_EQ(map.find("00100108"), std::string::npos) << map;

    // Every display byte's writer is the same, its value is what the byte holds, and
    // its number is the instruction's: stepped again from Start, that many minus one
    // steps stand on it.
    const PixelWriters& a = run->Session().LcdWriters();
    const PixelWriters& b = steps->Session().LcdWriters();
    int written = 0;
    for (int y = 0; y < PhoneScreen::kLcdHeight; y += 8) {
        for (int x = 0; x < PhoneScreen::kLcdWidth; ++x) {
            const auto wa = a.WriterOf(x, y), wb = b.WriterOf(x, y);
            ASSERT_EQ(wa.has_value(), wb.has_value());
            if (!wa) continue;
            ++written;
            EXPECT_EQ(wa->instruction, wb->instruction);
            EXPECT_EQ(wa->number, wb->number);
            EXPECT_EQ(wa->value, run->RamBytes()[PhoneScreen::LcdBitOf(x, y).ramIndex]);
        }
    }
    EXPECT_EQ(written, PhoneScreen::kLcdWidth * PhoneScreen::kLcdHeight / 8);
    const auto title = a.WriterOf(12, 3);
    ASSERT_TRUE(title);
    auto again = DemoRecording(frame);
    for (uint64_t i = 1; i < title->number; ++i) again->Session().Execute(RunCommand::kStepInto, 0);
    EXPECT_EQ(again->Session().Emulator().r[15] - 4, title->instruction);
    EXPECT_EQ(PixelWriterText(*run, a, 12, 3),
              Format("Pixel 12,3: written by %.8X (%s) value %.2X at instruction 16,418",
                     title->instruction,
                     DisassembleThumb(*run, title->instruction - CEmulator::kFlashBase).c_str(),
                     title->value));

    // Start empties both; with recording off nothing is added.
    run->Session().RecordIoAccesses(false);
    run->Session().RecordPixelWriters(false);
    run->Session().Execute(RunCommand::kStop, 0);
    ASSERT_TRUE(run->Session().Execute(RunCommand::kStart, 0));
    run->Session().RunBatch(DebugSession::BatchRun::kFree, 0, 1000);
    EXPECT_TRUE(run->Session().IoMap().Empty());
    EXPECT_FALSE(a.WriterOf(12, 3));
}

// Thousands of instruction and address pairs (the table grows many times over), with
// accesses of every size at the edges of a named range: the totals are a plain count's.
TEST(Recorders, IoMapCountsEveryPairAsAPlainCountDoes) {
    IoAccessMap map;
    map.SetRamRanges({{0x100010, 0x100012}});
    std::map<std::pair<uint32_t, uint32_t>, std::pair<uint64_t, uint64_t>> plain;
    uint32_t seed = 1;
    for (int i = 0; i < 50000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const bool ram = seed >> 31;
        const uint8_t size = uint8_t{1} << (seed >> 8) % 3;
        const uint32_t address = ram ? 0x10000C + (seed >> 12) % 8 : 0x020000 + (seed >> 12) % 64;
        const MemoryAccess access{0x200000 + 2 * ((seed >> 20) % 100), address, seed & 0xFF, size,
                                  (seed >> 4) & 1 ? AccessKind::kWrite : AccessKind::kRead};
        map.OnAccess(access);
        if (ram && (address + size <= 0x100010 || address >= 0x100012)) continue;
        auto& [reads, writes] = plain[{address, access.instruction}];
        ++(access.kind == AccessKind::kWrite ? writes : reads);
    }
    std::map<std::pair<uint32_t, uint32_t>, std::pair<uint64_t, uint64_t>> counted;
    for (const IoAddressCounts& c : map.Sorted()) {
        uint64_t reads = 0, writes = 0;
        for (const IoInstructionCounts& i : c.instructions) {
            counted[{c.address, i.instruction}] = {i.reads, i.writes};
            reads += i.reads;
            writes += i.writes;
        }
        EXPECT_EQ(reads, c.reads);
        EXPECT_EQ(writes, c.writes);
    }
    EXPECT_EQ(counted, plain);
    EXPECT_GT(plain.size(), 5000u);
}

}  // namespace
