// The demo firmware, end to end: what opening it finds and what its listing shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

constexpr uint32_t kDemoSize = 1u << 20;

// A separator line with its annotation at column 70, as the listing commands print it.
std::string Separator(char end, const std::string& annotation) {
    std::string line(41, '-');
    line += end;
    line.resize(70, ' ');
    return line + annotation;
}
std::string Header(const std::string& text) {
    return Separator('v', text);
}
std::string EndRoutine() {
    return Separator('^', "end routine");
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Every test works on its own copy, so that no info file saved beside the build's
// image (by hand, or by another test) changes what is read.
class DemoListing : public ::testing::Test {
  protected:
    void SetUp() override {
        image_ = ReadFileBytes(TRAVIK_DEMO_FLS);
        ASSERT_EQ(image_.size(), kDemoSize) << TRAVIK_DEMO_FLS;
        WriteFile(Fls(), image_);
    }
    std::string Fls() const { return dir_.File("demo.fls"); }
    std::string Ifo() const { return dir_.File("demo.ifo"); }

    // The lines of `lines FLASH --from FROM --to TO` plus `options`.
    std::vector<std::string> Lines(const std::string& from, const std::string& to,
                                   std::vector<std::string> options = {"--no-ascii"}) {
        std::vector<std::string> args = {"lines", Fls(), "--from", from, "--to", to};
        args.insert(args.end(), options.begin(), options.end());
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return SplitLines(r.out);
    }

    TempDir dir_;
    std::vector<uint8_t> image_;
};

TEST_F(DemoListing, OpeningFindsTheEntryPointAndEveryRoutine) {
    const CliResult r = RunCli({"analyze", Fls()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "note: " + Ifo() + " not found.\nLoading defaults.\n");
    // 12 called routines, the entry point and the file header; 13 returns.
    EXPECT_EQ(r.out,
              "image: 1048576\n"
              "items: 524222\n"
              "routine starts: 14\n"
              "routine ends: 13\n"
              "calls: 15\n"
              "branches: 29\n"
              "literals: 59\n"
              "notes: 0\n"
              "headers: 14\n"
              "footers: 13\n"
              "explanations: 0\n"
              "ram names: 0\n");
}

TEST_F(DemoListing, StartShowsVeneerEntryPointCallsStringsAndTheFirstRoutine) {
    const std::vector<std::string> expected = {
        Header("File: demo.fls"),
        "000000 :e004    : B c",
        "000002 :46c0    : NOP",
        // The veneer is THUMB code to the analysis; only its pattern marks the entry.
        "000004 :e28f    : B 526",
        "000006 :0001    : LSL R1, R0, #.0",
        "000008 :e12f    : B 26a",
        "00000a :ff10    : BL ...?",
        Header("THUMB Entry point"),
        "00000c :480b    : LDR R0, #00107600",
        "00000e :f000f823: BL 58 (Routine (1 calls))",
        "000012 :f000f828: BL 66 (Routine (1 calls))",
        "000016 :480a    : LDR R0, #0020020c 'TRAVIK DEMO'",
        "000018 :490a    : LDR R1, #00107609",
        "00001a :f000f839: BL 90 (Routine (3 calls))",
        "00001e :480a    : LDR R0, #002a3cd4 ('Welcome!')",
        "000020 :490a    : LDR R1, #00107666",
        "000022 :f000f85b: BL dc (Routine (1 calls))",
        "000026 :f000f88d: BL 144 (Routine (1 calls))",
        "00002a :4809    : LDR R0, #00200218 'FRAME '",
        "00002c :4909    : LDR R1, #001077ad",
        "00002e :f000f82f: BL 90 (Routine (3 calls))",
        "000032 :f000f897: BL 164 (Routine (1 calls))",
        "000036 :f000f8bd: BL 1b4 (Routine (1 calls))",
        "00003a :e7fa    : B 32",
        // The literal pool: data words, annotated with the texts they point at.
        "00003c :00107600:        : ..v. ",
        "000040 :0020020c:        : . ..  (TRAVIK DEMO)",
        "000044 :00107609:        : ..v. ",
        "000048 :002a3cd4:        : .*<\xd4  (Welcome!)",
        "00004c :00107666:        : ..vf ",
        "000050 :00200218:        : . ..  (FRAME )",
        "000054 :001077ad:        : ..w\xad ",
        Header("Routine (1 calls)"),
        "000058 :2100    : MOV R1, #0",
        "00005a :2200    : MOV R2, #0",
        "00005c :233f    : MOV R3, #3f",
        "00005e :c006    : STMIA R0!, {R1,R2,}",
        "000060 :3b01    : SUB R3, #1",
        "000062 :d1fc    : BNE 5e",
        "000064 :46f7    : MOV PC, LR",
        EndRoutine(),
    };
    EXPECT_EQ(Lines("0", "64"), expected);
}

TEST_F(DemoListing, MergedShiftsAndLongBranches) {
    EXPECT_EQ(Lines("16e", "16e"), std::vector<std::string>{"00016e :06000e00: AND R0, #000000ff"});
    EXPECT_EQ(Lines("fe", "fe"), std::vector<std::string>{"0000fe :d118    : BNE 132"});
    EXPECT_EQ(Lines("526", "526"), std::vector<std::string>{"000526 :e571    : B c"});
}

TEST_F(DemoListing, RamLiteralsShowTheNamesOfAnInfoFile) {
    // Save what the defaults found, then give the info file RAM names: the saved file
    // ends with the empty RAM name section's end marker.
    ASSERT_EQ(RunCli({"analyze", Fls(), "--save"}).status, 0);
    std::vector<uint8_t> info = ReadFileBytes(Ifo());
    ASSERT_GE(info.size(), 4u);
    ASSERT_TRUE(std::all_of(info.end() - 4, info.end(), [](uint8_t b) { return b == 0xFF; }));
    info.resize(info.size() - 4);
    auto name = [&info](uint32_t index, const std::string& text, uint32_t count) {
        PutLe32(info, index);
        PutLe32(info, static_cast<uint32_t>(text.size() + 1));
        info.insert(info.end(), text.begin(), text.end());
        info.push_back(0);
        PutLe32(info, count);
    };
    name(0x100, "digits", 6);
    name(0x7600, "lcd_buffer", 504);
    PutLe32(info, 0xFFFFFFFF);
    WriteFile(Ifo(), info);

    const CliResult r = RunCli({"lines", Fls(), "--from", "c", "--to", "2c", "--no-ascii"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");  // the info file was read: no defaults message
    const std::vector<std::string> lines = SplitLines(r.out);
    ASSERT_EQ(lines.size(), 13u) << r.out;
    EXPECT_EQ(lines[1], "00000c :480b    : LDR R0, #00107600 (lcd_buffer)");
    EXPECT_EQ(lines[12], "00002c :4909    : LDR R1, #001077ad (lcd_buffer+1ad)");
    EXPECT_EQ(Lines("66", "66"), (std::vector<std::string>{
                                     Header("Routine (1 calls)"),
                                     "000066 :4808    : LDR R0, #00100100 (digits)",
                                 }));
}

TEST_F(DemoListing, WholeListingHasOneLinePerItemAndSeparatorAndEndsTheFile) {
    const CliResult r = RunCli({"lines", Fls()});
    ASSERT_EQ(r.status, 0);
    const std::vector<std::string> lines = SplitLines(r.out);
    // 524,222 items, 14 header and 13 footer separators, "End of File".
    EXPECT_EQ(lines.size(), 524222u + 14u + 13u + 1u);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), Header("File: demo.fls"));
    EXPECT_EQ(lines[lines.size() - 2], "0ffffe :0000 .. : LSL R0, R0, #.0");
    EXPECT_EQ(lines.back(), "End of File");
}

}  // namespace
