#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/RamFile.h"
#include "support/TestSupport.h"

namespace {

class RamFileTest : public ::testing::Test {
  protected:
    RamFileTest() {
        WriteFile(dir.File("a.fls"), std::vector<uint8_t>(0x20, 0));
        doc = OpenImage(frame, dir.File("a.fls"));
        for (uint32_t i = 0; i < doc->RamSize(); ++i)
            TestDoc::Ram(*doc)[i] = static_cast<uint8_t>(i * 7);
        frame.messages.clear();
    }
    TempDir dir;
    RecordingFrame frame;
    std::unique_ptr<CTravikDoc> doc;
};

TEST_F(RamFileTest, SaveThenLoadRestoresTheRamExactly) {
    const std::vector<uint8_t> before(doc->RamBytes(), doc->RamBytes() + doc->RamSize());
    frame.chooserAnswers.push_back(dir.File("ram"));  // no extension is added
    SaveRam(*doc);
    EXPECT_EQ(ReadFileBytes(dir.File("ram")), before);
    std::fill(TestDoc::Ram(*doc), TestDoc::Ram(*doc) + doc->RamSize(), 0);
    frame.chooserAnswers.push_back(dir.File("ram"));
    LoadRam(*doc);
    EXPECT_EQ(std::vector<uint8_t>(doc->RamBytes(), doc->RamBytes() + doc->RamSize()), before);
    EXPECT_TRUE(frame.messages.empty());
    EXPECT_EQ(frame.chooserFilters[0], kRamFileFilter);
    EXPECT_GE(frame.phoneRepaints, 1);
}

TEST_F(RamFileTest, ShortLongAndMissingFiles) {
    WriteFile(dir.File("short.bin"), std::vector<uint8_t>(100, 0xEE));
    WriteFile(dir.File("long.bin"), std::vector<uint8_t>(doc->RamSize() + 5, 0x11));
    const uint8_t kept = doc->RamBytes()[100];
    struct Case {
        std::string file;
        std::vector<std::string> messages;
        uint8_t byte0, byte100;
    } cases[] = {
        {"short.bin", {"Wrong file size"}, 0xEE, kept},
        {"long.bin", {}, 0x11, 0x11},
        {"missing.bin", {"Cannot open file"}, 0x11, 0x11},
        {"", {"Cannot open file"}, 0x11, 0x11},  // the folder itself
    };
    for (const Case& c : cases) {
        frame.messages.clear();
        frame.chooserAnswers.push_back(dir.File(c.file));
        LoadRam(*doc);
        EXPECT_EQ(frame.messages, c.messages) << c.file;
        EXPECT_EQ(doc->RamBytes()[0], c.byte0) << c.file;
        EXPECT_EQ(doc->RamBytes()[100], c.byte100) << c.file;
    }
}

TEST_F(RamFileTest, SaveFailuresLeaveTheOlderFileAndNeverTheFlashFile) {
    WriteFile(dir.File("old.bin"), std::string("old"));
    struct Case {
        std::string path;
        std::string message;
    } cases[] = {
        {dir.File("no/such/folder.bin"), "Cannot open file"},
        {dir.File("a.fls"), dir.File("a.fls") + " is the open flash file; it is never written."},
    };
    for (const Case& c : cases) {
        frame.messages.clear();
        frame.chooserAnswers.push_back(c.path);
        SaveRam(*doc);
        EXPECT_EQ(frame.messages, std::vector<std::string>{c.message}) << c.path;
    }
    EXPECT_EQ(ReadFileBytes(dir.File("a.fls")), std::vector<uint8_t>(0x20, 0));
}

}  // namespace
