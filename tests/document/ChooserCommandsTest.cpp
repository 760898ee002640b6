// The window's Load RAM and Save RAM: the file chooser, the messages and the repaints
// around what the batch tool's run --ram/--save-ram show in the run_ram_files
// transcript, and a file longer than the RAM.
#include <gtest/gtest.h>

#include "document/RamFile.h"
#include "support/TestSupport.h"

namespace {

TEST(ChooserCommands, RamFilesThroughTheChooser) {
    TempDir dir;
    RecordingFrame frame;
    auto doc = OpenImageBytes(frame, dir.File("a.fls"), std::vector<uint8_t>(0x20, 0));
    ASSERT_NE(doc, nullptr);
    for (uint32_t i = 0; i < doc->RamSize(); ++i)
        TestDoc::Ram(*doc)[i] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> ram(doc->RamBytes(), doc->RamBytes() + doc->RamSize());
    frame.chooserAnswers = {dir.File("ram")};  // no extension is added
    SaveRam(*doc);
    EXPECT_EQ(ReadFileBytes(dir.File("ram")), ram);
    EXPECT_EQ(frame.chooserFilters, std::vector<std::string>{kRamFileFilter});
    WriteFile(dir.File("short.bin"), std::vector<uint8_t>(100, 0xEE));
    WriteFile(dir.File("long.bin"), std::vector<uint8_t>(doc->RamSize() + 5, 0x11));
    const struct {
        std::string file;
        std::vector<std::string> messages;
        uint8_t byte0, byte100;
    } loads[] = {
        {"short.bin", {"Wrong file size"}, 0xEE, ram[100]},
        {"ram", {}, ram[0], ram[100]},
        {"long.bin", {}, 0x11, 0x11},
        {"missing.bin", {"Cannot open file"}, 0x11, 0x11},
    };
    for (const auto& c : loads) {
        frame.messages.clear();
        const int repaints = frame.phoneRepaints + frame.memoryRepaints;
        frame.chooserAnswers = {dir.File(c.file)};
        LoadRam(*doc);
        EXPECT_EQ(frame.messages, c.messages) << c.file;
        EXPECT_EQ(doc->RamBytes()[0], c.byte0) << c.file;
        EXPECT_EQ(doc->RamBytes()[100], c.byte100) << c.file;
        EXPECT_EQ(frame.phoneRepaints + frame.memoryRepaints, repaints + 2) << c.file;
    }
    frame.messages.clear();
    frame.chooserAnswers = {dir.File("no/such/folder.bin"), dir.File("a.fls")};
    SaveRam(*doc);
    SaveRam(*doc);
    EXPECT_EQ(frame.messages,
              (std::vector<std::string>{
                  "Cannot open file",
                  dir.File("a.fls") + " is the open flash file; it is never written."}));
}

}  // namespace
