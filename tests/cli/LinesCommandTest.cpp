#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

// A routine that calls another, both ending, a literal pointing at a text.
std::vector<uint8_t> SmallImage() {
    std::vector<uint8_t> b;
    for (uint16_t h : {0xB510, 0x46C0, 0xF000, 0xF802, 0xBD10, 0x46C0, 0x4770, 0x46F7, 0x4801,
                       0x0000, 0x0000, 0x0000})
        PutHalf(b, h);
    PutWord(b, 0x0020001C);
    for (char c : std::string("Hi there\0\0", 10)) b.push_back(static_cast<uint8_t>(c));
    return b;
}

std::vector<std::string> SplitLines(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find(end, start)) != std::string::npos; start = at + end.size())
        lines.push_back(text.substr(start, at - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

class LinesCommandTest : public ::testing::Test {
  protected:
    LinesCommandTest() {
        flash = dir.File("t.fls");
        WriteFile(flash, SmallImage());
    }
    TempDir dir;
    std::string flash;
};

TEST_F(LinesCommandTest, ExportWritesTheSameLinesWithCrLf) {
    const CliResult r =
        RunCli({"export", flash, "--from", "0", "--to", "25", "-o", dir.File("out")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    ASSERT_TRUE(FileExists(dir.File("out.asm")));
    EXPECT_FALSE(FileExists(dir.File("out")));
    const std::vector<uint8_t> bytes = ReadFileBytes(dir.File("out.asm"));
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(SplitLines(text, "\r\n"), SplitLines(RunCli({"lines", flash}).out, "\n"));
    // A path with a dot keeps its name.
    ASSERT_EQ(RunCli({"export", flash, "--from", "0", "--to", "2", "-o", dir.File("o.txt")}).status,
              0);
    EXPECT_TRUE(FileExists(dir.File("o.txt")));
}

// A range with nothing in it leaves an earlier export alone.
TEST_F(LinesCommandTest, EmptyExportRangeKeepsTheOldFile) {
    WriteFile(dir.File("keep.asm"), std::string("kept"));
    for (const auto& [from, to] : {std::pair{"8", "4"}, std::pair{"800", "900"}}) {
        const CliResult empty =
            RunCli({"export", flash, "--from", from, "--to", to, "-o", dir.File("keep.asm")});
        EXPECT_EQ(empty.status, 2) << from;
        EXPECT_EQ(ReadFileBytes(dir.File("keep.asm")).size(), 4u);
    }
}

}  // namespace
