// travik-cli run --run: why the free run stopped, with breakpoints and watchpoints
// from the command line only.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

// 00 MOV R0, #5; 02 PUSH {R0} (to 10EABC); 04 POP {R2}; 06 MOV R1, #0x30;
// 08 LDR R3, [R1, #0] (an unknown area: a warning); 0A B .
struct RunStopCliTest : testing::Test {
    TempDir dir;
    std::string fls = dir.File("s.fls");
    std::string brk = dir.File("s.brk");
    const std::string kMarks = "00200002\nW 0010EABC 4\nR 0010EABC 4\n00200001\n";
    void SetUp() override {
        std::vector<uint8_t> image;
        for (uint16_t h : {0x2005, 0xB401, 0xBC04, 0x2130, 0x680B, 0xE7FE}) PutHalf(image, h);
        WriteFile(fls, image);
        // Marks a window left beside the image: the batch run must not see them (nor
        // read the file at all: its bad line would be reported).
        WriteFile(brk, kMarks);
    }
    CliResult Run(std::vector<std::string> options) {
        std::vector<std::string> args = {"run", fls, "--start", "0", "--run"};
        args.insert(args.end(), options.begin(), options.end());
        return RunCli(args);
    }
};

TEST_F(RunStopCliTest, TheLineBeforeTheRegistersSaysWhyTheRunStopped) {
    const std::string start = "\nStart emulation from 00200000\n";
    const std::string warning = "00200008: Accessing unknown area: 00000030 for reading\n";
    struct Case {
        std::vector<std::string> options;
        std::string lines;
    };
    const Case cases[] = {
        {{"--break", "200004"}, "stopped: breakpoint 00200004\ninstructions: 2\n"},
        {{"--break", "0x200000", "--break", "200006"},
         "stopped: breakpoint 00200006\ninstructions: 3\n"},
        {{"--watch-write", "10EABC"},
         "stopped: write watchpoint 0010EABC by 00200002 value 00000005\ninstructions: 2\n"},
        {{"--watch-read", "10EABE:2", "--watch-write", "10EAC0:4"},
         "stopped: read watchpoint 0010EABC by 00200004 value 00000005\ninstructions: 3\n"},
        {{}, warning + "stopped: warning\ninstructions: 5\n"},
    };
    for (const Case& c : cases) {
        const CliResult r = Run(c.options);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.substr(0, r.out.find("registers:\n")), start + c.lines)
            << testing::PrintToString(c.options);
        EXPECT_EQ(r.err.find(brk), std::string::npos) << r.err;
    }
    const std::vector<uint8_t> marks = ReadFileBytes(brk);
    EXPECT_EQ(std::string(marks.begin(), marks.end()), kMarks);

    const CliResult limit =
        RunCli({"run", fls, "--start", "A", "--run", "--max-steps", "50", "--break", "200000"});
    EXPECT_EQ(limit.status, 0);
    EXPECT_EQ(limit.out.substr(0, limit.out.find("registers:\n")),
              "\nStart emulation from 0020000A\nstopped: limit\ninstructions: 50\n");
    EXPECT_NE(limit.err.find("stopped after 50 instructions"), std::string::npos);
}

TEST_F(RunStopCliTest, MarksTheImageCannotHoldAreUsageErrors) {
    const CliResult offset = Run({"--break", "4"});
    EXPECT_EQ(offset.status, 2);
    EXPECT_NE(offset.err.find("\n--break 4: not the phone address of a halfword of this image "
                              "(image offset + 200000, even): for image offset 4 give 200004\n"),
              std::string::npos)
        << offset.err;
    for (const std::vector<std::string>& options : {std::vector<std::string>{"--break", "200001"},
                                                    {"--break", "20000C"},
                                                    {"--watch-read", "10FFFF:2"},
                                                    {"--watch-write", "20000"},
                                                    {"--watch-read", "10E000:0"}}) {
        const CliResult r = Run(options);
        EXPECT_EQ(r.status, 2) << options[1];
        EXPECT_NE(r.err.find("usage: travik-cli run"), std::string::npos) << options[1];
        EXPECT_TRUE(r.out.empty()) << options[1];
    }
    const CliResult noRun = RunCli({"run", fls, "--start", "0", "--break", "200004"});
    EXPECT_EQ(noRun.status, 2);
    EXPECT_EQ(noRun.err.rfind("--break, --watch-read and --watch-write need --run\n", 0), 0u);
}

}  // namespace
