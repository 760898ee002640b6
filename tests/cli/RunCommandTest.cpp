// travik-cli run, end to end on a crafted image (the demo firmware's run is in
// tests/emulator/DemoFirmwareTest.cpp).
#include <gtest/gtest.h>

#include <cstdio>

#include "support/TestSupport.h"

namespace {

// 00 MOV R0, #5; 02 BL 0x08; 06 B .; 08 MOV R1, #0x30; 0A LDR R2, [R1, #0]
// (an unknown area); 0C MOV PC, LR.
std::vector<uint8_t> CallImage() {
    std::vector<uint8_t> b;
    for (uint16_t h : {0x2005, 0xF000, 0xF801, 0xE7FE, 0x2130, 0x680A, 0x46F7, 0x46C0})
        PutHalf(b, h);
    return b;
}

// The registers block as the command prints it; only R0-R2, SP, LR and PC vary here.
std::string Registers(uint32_t r0, uint32_t r1, uint32_t r2, uint32_t lr, uint32_t pc) {
    const uint32_t values[16] = {r0, r1, r2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x10EAC0, lr, pc};
    const char* names[16] = {"R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7",
                             "H0", "H1", "H2", "H3", "H4", "SP", "LR", "PC"};
    std::string text = "registers:\n";
    for (int i = 0; i < 16; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%s = %.8X\n", names[i], values[i]);
        text += line;
    }
    return text;
}

struct RunCliTest : testing::Test {
    TempDir dir;
    std::string fls;
    void SetUp() override {
        fls = dir.File("c.fls");
        WriteFile(fls, CallImage());
    }
};

TEST_F(RunCliTest, StepsPrintWarningsRegistersFlagsAndTheCallStack) {
    const CliResult r = RunCli({"run", fls, "--start", "0", "--steps", "3"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "note: " + dir.File("c.ifo") + " not found.\nLoading defaults.\n");
    EXPECT_EQ(r.out, "\nStart emulation from 00200000\n" +
                         Registers(5, 0x30, 0, 0x200007, 0x20000E) +
                         "N:0 Z:0 C:0 V:0 T:1\n"
                         "call stack:\n"
                         "00200002 -> 00200008\n");
}

TEST_F(RunCliTest, UntilRunsThroughTheCallAndItsWarning) {
    const CliResult r = RunCli({"run", fls, "--start", "0", "--until", "200006"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "\nStart emulation from 00200000\n"
              "0020000A: Accessing unknown area: 00000030 for reading\n" +
                  Registers(5, 0x30, 0xCADADADA, 0x200007, 0x20000A) +
                  "N:0 Z:0 C:0 V:0 T:1\n"
                  "call stack:\n");
}

TEST_F(RunCliTest, OverRunsABlAndIsOneStepOtherwise) {
    const CliResult bl = RunCli({"run", fls, "--start", "2", "--over"});
    EXPECT_EQ(bl.status, 0);
    EXPECT_NE(bl.out.find("PC = 0020000A\n"), std::string::npos);
    EXPECT_EQ(bl.out.substr(bl.out.size() - 12), "call stack:\n");

    const CliResult one = RunCli({"run", fls, "--start", "0", "--over"});
    EXPECT_NE(one.out.find("R0 = 00000005\nR1 = 00000000\n"), std::string::npos);
    EXPECT_NE(one.out.find("PC = 00200006\n"), std::string::npos);
}

TEST_F(RunCliTest, MaxStepsBoundsARunThatNeverArrives) {
    const CliResult r =
        RunCli({"run", fls, "--start", "6", "--until", "200000", "--max-steps", "1000"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("stopped after 1000 instructions: the step bound"), std::string::npos);
    EXPECT_NE(r.out.find("PC = 0020000A\n"), std::string::npos);

    const CliResult steps =
        RunCli({"run", fls, "--start", "6", "--steps", "50", "--max-steps", "7"});
    EXPECT_NE(steps.err.find("stopped after 7 instructions: the step bound"), std::string::npos);
}

TEST_F(RunCliTest, RamImageFeedsTheLcdPicture) {
    std::vector<uint8_t> ram(0x10000, 0);
    ram[0x7600] = 0x01;                // column 0, row 0
    ram[0x7600 + 84] = 0x80;           // column 0, row 15
    ram[0x7600 + 5 * 84 + 83] = 0x80;  // column 83, row 47
    WriteFile(dir.File("ram.bin"), ram);
    const CliResult r = RunCli({"run", fls, "--start", "0", "--ram", dir.File("ram.bin"), "--lcd"});
    EXPECT_EQ(r.status, 0);
    std::string lcd = "lcd:\n";
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 84; ++x)
            lcd += (x == 0 && (y == 0 || y == 15)) || (x == 83 && y == 47) ? '#' : '.';
        lcd += '\n';
    }
    EXPECT_EQ(r.out.substr(r.out.find("lcd:\n")), lcd);
}

TEST_F(RunCliTest, ShortRamFileIsLoadedAndReported) {
    WriteFile(dir.File("short.bin"), std::vector<uint8_t>(100, 0xFF));
    const CliResult r =
        RunCli({"run", fls, "--start", "0", "--ram", dir.File("short.bin"), "--lcd"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("Wrong file size\n"), std::string::npos);
    const CliResult missing = RunCli({"run", fls, "--start", "0", "--ram", dir.File("none.bin")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Cannot open file: " + dir.File("none.bin") +
                               ": No such file or directory\n"),
              std::string::npos);
}

}  // namespace
