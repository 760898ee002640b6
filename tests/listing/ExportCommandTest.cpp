#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "document/FileIo.h"
#include "document/RamFile.h"
#include "listing/Export.h"
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

// A full disk: the older export stays whole, no temporary file is left and the error
// is the system's.
TEST(ExportCommand, FailedWriteKeepsTheOlderFileWhole) {
    ListingFixture f(0x40000);
    f.doc->SetSelection(0, 0x3FFFE);
    TempDir dir;
    const std::string path = dir.File("old.asm");
    const std::string older = "the older export\r\n";
    WriteFile(path, older);
    FillingIo full(100000);  // the export is several megabytes
    int error = 0;
    EXPECT_EQ(ExportSelection(*f.doc, path, &error, &full), ExportResult::kWriteFailed);
    EXPECT_EQ(error, ENOSPC);
    EXPECT_EQ(ReadFileBytes(path), std::vector<uint8_t>(older.begin(), older.end()));
    EXPECT_FALSE(FileExists(path + ".tmp~"));
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
