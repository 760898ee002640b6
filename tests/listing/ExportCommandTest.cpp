#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "document/FileIo.h"
#include "listing/Export.h"
#include "document/RamFile.h"
#include "listing/ExportCommand.h"
#include "listing/ListingFixture.h"

namespace {

// Refuses every write after the first `allowed` bytes, as a full disk would.
class FillingIo : public FileIo {
  public:
    explicit FillingIo(size_t allowed) : left_(allowed) {}
    ssize_t Write(int fd, const void* data, size_t size) override {
        if (left_ == 0) {
            errno = ENOSPC;
            return -1;
        }
        const size_t n = std::min(size, left_);
        left_ -= n;
        return FileIo::Write(fd, data, n);
    }

  private:
    size_t left_;
};

class ExportCommandTest : public ::testing::Test {
  protected:
    ExportCommandTest() : f(0x40000) { f.doc->SetSelection(0, 0x3FFFE); }
    ListingFixture f;
    TempDir dir;
};

TEST_F(ExportCommandTest, FailedWriteKeepsTheOlderFileWholeAndEachFailureIsSaid) {
    const std::string path = dir.File("old.asm");
    WriteFile(path, std::string("the older export\r\n"));
    FillingIo full(100000);  // the export is several megabytes
    int error = 0;
    EXPECT_EQ(ExportSelection(*f.doc, path, &error, &full), ExportResult::kWriteFailed);
    EXPECT_EQ(error, ENOSPC);
    const std::vector<uint8_t> kept = ReadFileBytes(path);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "the older export\r\n");
    EXPECT_FALSE(FileExists(path + ".tmp~"));

    f.frame.messages.clear();
    f.frame.chooserAnswers.push_back(dir.File("missing/out.asm"));
    ExportAssembly(*f.doc);
    EXPECT_EQ(f.frame.messages, std::vector<std::string>{"Cannot open file"});
    EXPECT_EQ(f.frame.chooserFilters.back(), kExportFilter);
    f.doc->SetSelection(f.doc->SelectionStart(), 0);
    f.frame.messages.clear();
    f.frame.chooserFilters.clear();
    ExportAssembly(*f.doc);
    EXPECT_EQ(f.frame.messages,
              std::vector<std::string>{"Please select an area to export (with P / shift-P)."});
    EXPECT_TRUE(f.frame.chooserFilters.empty());
}

// File > Export... and File > Save RAM... refuse, in a box, what every writer refuses.
TEST(WindowWriters, ExportAndSaveRamRefuseEveryForbiddenTarget) {
    TempDir dir;
    const ForbiddenTargets places(dir);
    RecordingFrame frame;
    auto doc = OpenImage(frame, places.Flash());
    ASSERT_NE(doc, nullptr);
    doc->SetSelection(doc->SelectionStart(), 0x10);
    for (const ForbiddenTargets::Target& target : places.All()) {
        for (void (*command)(CTravikDoc&) : {&ExportAssembly, &SaveRam}) {
            frame.messages.clear();
            frame.chooserAnswers.push_back(target.path);
            command(*doc);
            EXPECT_EQ(frame.messages, std::vector<std::string>{target.refusal});
            EXPECT_EQ(places.Changed(), "") << target.path;
        }
    }
}

}  // namespace
