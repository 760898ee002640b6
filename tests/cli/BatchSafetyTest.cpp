// What transcripts cannot lay out or watch: links, FIFOs, huge and unwritable files,
// full RAM images and memory use. Nothing the batch tool is asked to do may write the
// flash file, lose the info file, exhaust memory or report a failure as success.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

int Shell(const std::string& line) {
    const int raw = std::system(("bash -c '" + line + "'").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Every writer of the batch tool checks its target before it opens anything.
TEST(BatchOutputs, NoWriterTouchesTheFlashItsOwnFilesOrSpecialFiles) {
    TempDir dir;
    const ForbiddenTargets places(dir);
    for (const ForbiddenTargets::Target& target : places.All()) {
        for (const char* option : {"-o", "--save-ram"}) {
            const bool run = option[1] == '-';
            const CliResult r = RunCli({run ? "run" : "export", places.Flash(), run ? "--start" : "--from",
                                        "0", run ? "--steps" : "--to", "10", option, target.path});
            EXPECT_EQ(r.status, 1) << option << " " << target.path;
            EXPECT_EQ(r.err + places.Changed(), target.refusal + "\n");
        }
    }
}

TEST(BatchInputs, UnreadableInfoFilesFailAndSurviveSaveAndFifosNeverHang) {
    TempDir dir;
    const std::string flash = dir.File("v.fls"), info = dir.File("v.ifo");
    WriteFile(flash, std::vector<uint8_t>(0x400, 0));
    WriteFile(info, std::string("x"));
    ASSERT_EQ(truncate(info.c_str(), off_t{3} << 30), 0);
    CliResult r = RunCli({"analyze", flash, "--save"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, info + " cannot be read: it is too large (3221225472 bytes).\nLoading "
                            "defaults; saving will not replace that file.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(std::filesystem::file_size(info), uintmax_t{3} << 30);

    std::remove(info.c_str());
    ASSERT_EQ(mkfifo(info.c_str(), 0644), 0);
    r = RunCli({"analyze", flash});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("it is not a regular file"), std::string::npos) << r.err;
    ASSERT_EQ(mkfifo(dir.File("p.fls").c_str(), 0644), 0);
    r = RunCli({"analyze", dir.File("p.fls")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot open file: " + dir.File("p.fls") + ": not a regular file\n");
}

// Standard output that cannot be written fails the command; a whole RAM image goes in
// and comes out byte for byte.
TEST(BatchOutputs, FullStdoutFailsAndRamFilesRoundTrip) {
    TempDir dir;
    const std::string flash = dir.File("v.fls");
    WriteFile(flash, std::vector<uint8_t>(0x400, 0));
    for (const char* args : {"analyze", "lines", "run --start 0 --steps 3 "})
        EXPECT_EQ(Shell(std::string(TRAVIK_CLI) + " " + args + " " + flash + " >/dev/full 2>/dev/null"), 1) << args;
    std::vector<uint8_t> ram(0x10000);
    for (size_t i = 0; i < ram.size(); ++i) ram[i] = static_cast<uint8_t>(i * 13);
    WriteFile(dir.File("in.bin"), ram);
    const CliResult r = RunCli({"run", flash, "--start", "20", "--steps", "0", "--ram", dir.File("in.bin"),
                                "--save-ram", dir.File("out.bin")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(dir.File("out.bin")), ram);
}

// The whole demo listing: one line per item and separator, then "End of File".
TEST(BatchLines, WholeDemoListing) {
    TempDir dir;  // its own copy: no info file saved beside the build's image is read
    std::filesystem::copy_file(TRAVIK_DEMO_FLS, dir.File("d.fls"));
    const CliResult r = RunCli({"lines", dir.File("d.fls"), "--no-strings"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 524222 + 14 + 13 + 1);
    EXPECT_EQ(r.out.substr(r.out.size() - 46), "0ffffe :0000 .. : LSL R0, R0, #.0\nEnd of File\n");
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__has_feature)
#define TRAVIK_PLAIN_BUILD 1
#elif defined(__has_feature)
#if !__has_feature(address_sanitizer)
#define TRAVIK_PLAIN_BUILD 1
#endif
#endif

#ifdef TRAVIK_PLAIN_BUILD
// Every step over an image of zeros writes several warnings: the seven million lines of
// a million steps (400 MB) must stream through, not pile up; under this address-space
// limit a pile-up ends in an abort.
TEST(BatchRun, MillionsOfWarningsFitInBoundedMemory) {
    TempDir dir;
    WriteFile(dir.File("z.fls"), std::vector<uint8_t>(4096, 0));
    EXPECT_EQ(Shell("ulimit -v 400000; " + std::string(TRAVIK_CLI) + " run " + dir.File("z.fls") +
                    " --start 0 --steps 1000000 >/dev/null 2>&1"),
              0);
}
#endif

}  // namespace
