// travik-cli analyze and jumplist, end to end.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

std::vector<uint8_t> SampleImage() {
    std::vector<uint8_t> b;
    PutWord(b, 0x00000000);
    PutWord(b, 0xE28F0001);  // ADD R0, PC, #1
    PutWord(b, 0xE12FFF10);  // BX R0
    PutHalf(b, 0xF000);      // 0x0C: BL 0x14
    PutHalf(b, 0xF802);
    PutHalf(b, 0x46F7);      // 0x10: MOV PC, LR
    PutHalf(b, 0xD0FE);      // 0x12: BEQ 0x12
    PutHalf(b, 0x4800);      // 0x14: LDR R0, [PC, #0] -> 0x18
    PutHalf(b, 0xBD00);      // 0x16: POP {PC}
    PutWord(b, 0x00200004);  // 0x18: a flash pointer -> 0x04
    return b;
}

TEST(CliAnalyze, CountsWhatTheOpenFound) {
    TempDir dir;
    WriteFile(dir.File("s.fls"), SampleImage());
    const CliResult r = RunCli({"analyze", dir.File("s.fls")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "note: " + dir.File("s.ifo") + " not found.\nLoading defaults.\n");
    EXPECT_EQ(r.out,
              "image: 28\n"
              "items: 12\n"
              "routine starts: 3\n"
              "routine ends: 2\n"
              "calls: 1\n"
              "branches: 1\n"
              "literals: 2\n"
              "notes: 0\n"
              "headers: 3\n"
              "footers: 2\n"
              "explanations: 0\n"
              "ram names: 0\n");
    EXPECT_FALSE(FileExists(dir.File("s.ifo")));
}

TEST(CliAnalyze, SaveWritesTheInfoFileAndTheNextOpenReadsIt) {
    TempDir dir;
    WriteFile(dir.File("s.fls"), SampleImage());
    const CliResult first = RunCli({"analyze", dir.File("s.fls"), "--save"});
    EXPECT_EQ(first.status, 0);
    EXPECT_NE(first.out.find("saved: " + dir.File("s.ifo") + "\n"), std::string::npos);
    ASSERT_TRUE(FileExists(dir.File("s.ifo")));
    const CliResult second = RunCli({"analyze", dir.File("s.fls")});
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.err, "");
    EXPECT_EQ(second.out, first.out.substr(0, first.out.find("saved: ")));
}

TEST(CliAnalyze, OpenFailures) {
    TempDir dir;
    WriteFile(dir.File("empty.fls"), std::vector<uint8_t>{});
    CliResult r = RunCli({"analyze", dir.File("empty.fls")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Wrong file length\n");
    EXPECT_EQ(r.out, "");
    WriteFile(dir.File("s.fls"), SampleImage());
    WriteFile(dir.File("s.ifo"), std::vector<uint8_t>{1, 2, 3, 4, 5});
    r = RunCli({"analyze", dir.File("s.fls")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, dir.File("s.ifo") + "not derived from opened flash File (wrong size)\n");
}

// Every command: a missing flash file fails (1), a bad command line is a usage error (2).
TEST(CliUsage, BadArgumentsAndMissingFiles) {
    TempDir dir;
    const std::string f = dir.File("v.fls"), none = dir.File("none.fls");
    WriteFile(f, std::vector<uint8_t>(0x400, 0));
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;  // part of stderr, if any
    } cases[] = {
        {{}, 2, ""},
        {{"nonsense"}, 2, ""},
        {{"analyze"}, 2, ""},
        {{"analyze", f, "--bogus"}, 2, ""},
        {{"analyze", none}, 1, ""},
        {{"lines", f, "--from"}, 2, ""},
        {{"lines", f, "--from", "xyz"}, 2, ""},
        {{"lines", f, "-o", dir.File("x")}, 2, ""},
        {{"lines", none}, 1, ""},
        {{"export", f, "--from", "0", "--to", "4"}, 2, ""},
        {{"export", f, "--from", "0", "-o", dir.File("x.asm")}, 2, ""},
        {{"export", f, "--from", "4", "--to", "4", "-o", dir.File("x.asm")}, 2,
         "Please select an area to export (with P / shift-P)."},
        {{"export", f, "--from", "0", "--to", "4", "-o", dir.File("no/e.asm")}, 1, "Cannot open file"},
        {{"run", f}, 2, ""},
        {{"run", f, "--start", "zz"}, 2, ""},
        {{"run", f, "--start", "0", "--steps"}, 2, ""},
        {{"run", f, "--start", "0", "--over", "--steps", "2"}, 2, ""},
        {{"run", f, "--start", "3"}, 2, "--start 3: not an even image offset below 400"},
        {{"run", f, "--start", "400"}, 2, "--start 400: not an even image offset below 400"},
        {{"run", f, "--start", "0", "--until", "3a"}, 2, "for image offset 3a give 20003a"},
        {{"run", f, "--start", "0", "--ram", "/"}, 1, "Cannot open file: /: it is a folder"},
        {{"run", f, "--start", "0", "--ram", ""}, 2, "usage: travik-cli run"},
        {{"run", f, "--start", "0", "--save-ram", ""}, 2, "usage: travik-cli run"},
        {{"run", none, "--start", "0"}, 1, ""},
        {{"search", f, "477"}, 2, "even hex digits"},
        {{"search", f, "47zz"}, 2, ""},
        {{"search", f, "--mode", "5", "x"}, 2, ""},
    };
    for (const auto& c : cases) {
        const CliResult r = RunCli(c.args);
        EXPECT_EQ(r.status, c.status) << testing::PrintToString(c.args);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << testing::PrintToString(c.args);
    }
    EXPECT_FALSE(FileExists(dir.File("x.asm")));
    const CliResult all = RunCli({"--help"});
    EXPECT_EQ(all.status, 0);
    for (const char* command : {"analyze", "jumplist", "lines", "export", "run"}) {
        EXPECT_NE(all.out.find(std::string("  ") + command + " FLASH"), std::string::npos);
        const CliResult one = RunCli({command, "--help"});
        EXPECT_EQ(one.status, 0);
        EXPECT_EQ(one.out.rfind(std::string("usage: travik-cli ") + command + " FLASH", 0), 0u);
    }
}

TEST(CliJumplist, ShowsUserHeadersWithTheBaseOption) {
    // An info file with a user-marked header at halfword 2 and an explanation.
    TempDir dir;
    WriteFile(dir.File("j.fls"), std::vector<uint8_t>(8, 0));
    std::vector<uint8_t> info;
    PutLe32(info, 8);
    info.insert(info.end(), {2, 2, 2 | 0x10 | 0x40, 2});
    PutLe32(info, 0xFFFFFFFF);
    PutLe32(info, 0xFFFFFFFF);  // notes
    PutLe32(info, 2);           // headers
    PutLe32(info, 5);
    info.insert(info.end(), {'m', 'a', 'i', 'n', 0});
    PutLe32(info, 0xFFFFFFFF);
    PutLe32(info, 0xFFFFFFFF);  // footers
    PutLe32(info, 2);           // explanations
    PutLe32(info, 2);
    info.insert(info.end(), {'x', 0});
    PutLe32(info, 0xFFFFFFFF);
    PutLe32(info, 0xFFFFFFFF);  // RAM names
    WriteFile(dir.File("j.ifo"), info);
    CliResult r = RunCli({"jumplist", dir.File("j.fls")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "00000004 > main\n");
    r = RunCli({"jumplist", dir.File("j.fls"), "--base"});
    EXPECT_EQ(r.out, "00200004 > main\n");
}

}  // namespace
