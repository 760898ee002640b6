#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

// An image with BX LR at 0x10 and at its last halfword, PUSH at 0x20.
class MergeSearchCliTest : public ::testing::Test {
  protected:
    MergeSearchCliTest() {
        std::vector<uint8_t> image(0x40, 0);
        image[0x10] = 0x47, image[0x11] = 0x70;
        image[0x3E] = 0x47, image[0x3F] = 0x70;
        image[0x20] = 0xB5, image[0x21] = 0x10;
        WriteFile(fls, image);
    }
    TempDir dir;
    std::string fls = dir.File("a.fls");
};

TEST_F(MergeSearchCliTest, SearchModes) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
    } cases[] = {
        {{"--start", "12", "4770"}, 0, "3e\n"},
        {{"--start", "12", "--mode", "2", "770"}, 0, "3e\n"},
        {{"--all", "4770"}, 0, "10\n3e\n"},
        {{"--mode", "3", "push"}, 0, "20\n"},
        {{"--mode", "4", "push"}, 1, "-1\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"search", fls};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
        EXPECT_EQ(r.out, c.out) << c.args.back();
    }
}

TEST_F(MergeSearchCliTest, MergeAsksSavesAndRefuses) {
    // Our own info file with a marked note, and another with a different marked note.
    ASSERT_EQ(RunCli({"analyze", fls, "--save"}).status, 0);
    const std::vector<uint8_t> own = ReadFileBytes(dir.File("a.ifo"));
    std::vector<uint8_t> other;
    PutLe32(other, 0x40);
    for (int i = 0; i < 0x20; ++i) other.push_back(i == 8 ? 0x12 : 0x02);
    PutLe32(other, 0xFFFFFFFF);
    PutLe32(other, 8), PutLe32(other, 4), other.insert(other.end(), {'n', 'e', 'w', 0});
    for (int i = 0; i < 5; ++i) PutLe32(other, 0xFFFFFFFF);
    WriteFile(dir.File("b.ifo"), other);

    // Into a document without that note: taken without a question.
    CliResult r = RunCli({"merge", fls, dir.File("b.ifo")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(RunCli({"lines", fls}).out.find("new"), std::string::npos);

    // Now both are marked: the question, answered yes.
    other[other.size() - 5 * 4 - 4] = 'N';
    WriteFile(dir.File("b.ifo"), other);
    r = RunCli({"merge", fls, dir.File("b.ifo"), "--answer", "yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Replace Note at 00000010: \nnew\n with new note:\nNew\nanswer: yes\n");

    // Another image's file and a damaged one: refused, the info file untouched.
    const std::vector<uint8_t> saved = ReadFileBytes(dir.File("a.ifo"));
    std::vector<uint8_t> wrong = other;
    wrong[0] = 0x42;
    WriteFile(dir.File("c.ifo"), wrong);
    r = RunCli({"merge", fls, dir.File("c.ifo")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not derived from opened flash File (wrong size)"), std::string::npos);
    WriteFile(dir.File("c.ifo"), std::vector<uint8_t>(other.begin(), other.begin() + 50));
    r = RunCli({"merge", fls, dir.File("c.ifo")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(" corrupted."), std::string::npos);
    EXPECT_EQ(ReadFileBytes(dir.File("a.ifo")), saved);
    EXPECT_NE(own, saved);
}

TEST_F(MergeSearchCliTest, FixAndRamRoundTrip) {
    EXPECT_EQ(RunCli({"fix", fls}).status, 0);
    EXPECT_TRUE(FileExists(dir.File("a.ifo")));
    std::vector<uint8_t> ram(0x10000);
    for (size_t i = 0; i < ram.size(); ++i) ram[i] = static_cast<uint8_t>(i * 13);
    WriteFile(dir.File("in.bin"), ram);
    const CliResult r = RunCli({"run", fls, "--start", "20", "--steps", "0", "--ram",
                                dir.File("in.bin"), "--save-ram", dir.File("out.bin")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(dir.File("out.bin")), ram);
    EXPECT_EQ(RunCli({"run", fls, "--start", "0", "--save-ram", fls}).status, 1);
    EXPECT_EQ(ReadFileBytes(fls).size(), 0x40u);
}

}  // namespace
