// The batch tool as a careless or hostile user drives it: nothing it is asked to do may
// write the flash file, lose the info file, exhaust memory or report a failure as success.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

class BatchSafety : public ::testing::Test {
  protected:
    BatchSafety() {
        flash = dir.File("v.fls");
        for (int i = 0; i < 512; ++i) PutHalf(image, 0x2005);  // MOV R0, #5
        WriteFile(flash, image);
    }
    TempDir dir;
    std::string flash;
    std::vector<uint8_t> image;
};

// Every writer of the batch tool checks its target before it opens anything.
TEST(BatchOutputs, NoWriterTouchesTheFlashItsOwnFilesOrSpecialFiles) {
    TempDir dir;
    const ForbiddenTargets places(dir);
    for (const ForbiddenTargets::Target& target : places.All()) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"export", places.Flash(), "--from", "0", "--to", "10", "-o",
                                       target.path},
              std::vector<std::string>{"run", places.Flash(), "--start", "0", "--steps", "1",
                                       "--save-ram", target.path}}) {
            SCOPED_TRACE(args[0] + " " + target.path);
            const CliResult r = RunCli(args);
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err, target.refusal + "\n");
            EXPECT_EQ(places.Changed(), "");
        }
    }
}

TEST_F(BatchSafety, UnreadableInfoFileFailsAndSurvivesSave) {
    const std::string info = dir.File("v.ifo");
    WriteFile(info, std::string("x"));
    ASSERT_EQ(truncate(info.c_str(), off_t{3} << 30), 0);
    const CliResult r = RunCli({"analyze", flash, "--save"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, info +
                         " cannot be read: it is too large (3221225472 bytes).\nLoading "
                         "defaults; saving will not replace that file.\n");
    EXPECT_EQ(r.out, "");
    struct stat st {};
    ASSERT_EQ(stat(info.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, off_t{3} << 30);

    // A FIFO answers at once instead of hanging the open.
    std::remove(info.c_str());
    ASSERT_EQ(mkfifo(info.c_str(), 0644), 0);
    const CliResult fifo = RunCli({"analyze", flash});
    EXPECT_EQ(fifo.status, 1);
    EXPECT_NE(fifo.err.find("it is not a regular file"), std::string::npos);
    // Nor does a FIFO named as the flash file.
    ASSERT_EQ(mkfifo(dir.File("p.fls").c_str(), 0644), 0);
    const CliResult flashFifo = RunCli({"analyze", dir.File("p.fls")});
    EXPECT_EQ(flashFifo.status, 1);
    EXPECT_EQ(flashFifo.err, "Cannot open file: " + dir.File("p.fls") + ": not a regular file\n");
}

TEST_F(BatchSafety, DamagedRamNamesAreNamedAndKeptOnSave) {
    std::vector<uint8_t> info;
    PutLe32(info, 1024);
    info.insert(info.end(), 512, 2);
    for (int s = 0; s < 5; ++s) PutLe32(info, 0xFFFFFFFF);
    PutLe32(info, 0x20000);  // a RAM name past the RAM's end
    WriteFile(dir.File("v.ifo"), info);
    const CliResult r = RunCli({"analyze", flash, "--save"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, dir.File("v.ifo") + " corrupted.\nwarning: " + dir.File("v.ifo") +
                         ": the RAM names are damaged at byte 536: 0 names before it were kept, "
                         "the rest were dropped; the first save keeps the damaged file as " +
                         dir.File("v.ifo") + ".bak\nnote: The damaged " + dir.File("v.ifo") +
                         " was kept as " + dir.File("v.ifo") + ".bak.\n");
    EXPECT_EQ(ReadFileBytes(dir.File("v.ifo.bak")), info);
}

TEST_F(BatchSafety, OutputThatCannotBeWrittenFails) {
    for (const char* command : {"analyze", "lines"}) {
        const std::string line =
            std::string(TRAVIK_CLI) + " " + command + " " + flash + " >/dev/full 2>/dev/null";
        const int raw = std::system(line.c_str());
        EXPECT_EQ(WEXITSTATUS(raw), 1) << command;
    }
    const std::string run =
        std::string(TRAVIK_CLI) + " run " + flash + " --start 0 --steps 3 >/dev/full 2>/dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(run.c_str())), 1);
}

TEST_F(BatchSafety, AnnotationTextsCannotForgeLinesOrDriveTheTerminal) {
    // A note with a terminal escape and a line break, written by an earlier save.
    std::vector<uint8_t> info;
    PutLe32(info, 1024);
    info.insert(info.end(), 512, 2);
    PutLe32(info, 0xFFFFFFFF);
    const std::string note = "\x1b[2J\nfake";
    PutLe32(info, 1);
    PutLe32(info, static_cast<uint32_t>(note.size() + 1));
    info.insert(info.end(), note.begin(), note.end());
    info.push_back(0);
    for (int s = 0; s < 5; ++s) PutLe32(info, 0xFFFFFFFF);
    WriteFile(dir.File("v.ifo"), info);
    const CliResult r = RunCli({"lines", flash, "--from", "2", "--to", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "000002 :2005  . : MOV R0, #5" + std::string(70 - 28, ' ') + "\\x1b[2J\\x0afake\n");
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
    const std::string line = "ulimit -v 400000; " + std::string(TRAVIK_CLI) + " run " +
                             dir.File("z.fls") + " --start 0 --steps 1000000 >/dev/null 2>&1";
    const int raw = std::system(("bash -c '" + line + "'").c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw;
}
#endif

}  // namespace
