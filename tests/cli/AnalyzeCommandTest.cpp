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

TEST(CliAnalyze, FailuresAndUsage) {
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

    EXPECT_EQ(RunCli({"analyze", dir.File("missing.fls")}).status, 1);
    EXPECT_EQ(RunCli({"analyze"}).status, 2);
    EXPECT_EQ(RunCli({"analyze", dir.File("s.fls"), "--bogus"}).status, 2);
    EXPECT_EQ(RunCli({"nonsense"}).status, 2);
    EXPECT_EQ(RunCli({}).status, 2);
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
