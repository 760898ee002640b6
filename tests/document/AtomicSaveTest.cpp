// Saving never loses the info file that was there before.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "document/CTravikDoc.h"
#include "document/FileIo.h"
#include "support/TestSupport.h"

namespace {

// Fails one chosen step of writing a file.
class FailingIo : public FileIo {
  public:
    enum class Step { kNone, kOpen, kWriteMidway, kSync, kClose, kRename };
    explicit FailingIo(Step step) : step_(step) {}
    int Open(const char* path, int flags, int mode) override {
        if (step_ == Step::kOpen) {
            errno = EACCES;
            return -1;
        }
        return FileIo::Open(path, flags, mode);
    }
    ssize_t Write(int fd, const void* data, size_t size) override {
        if (step_ == Step::kWriteMidway) {
            // Half of it goes through, then the disk is full.
            if (written_ == 0) {
                written_ = size / 2;
                return FileIo::Write(fd, data, size / 2);
            }
            errno = ENOSPC;
            return -1;
        }
        return FileIo::Write(fd, data, size);
    }
    int Sync(int fd) override {
        return step_ == Step::kSync ? (errno = EIO, -1) : FileIo::Sync(fd);
    }
    int Close(int fd) override {
        const int result = FileIo::Close(fd);
        return step_ == Step::kClose ? (errno = EIO, -1) : result;
    }
    int Rename(const char* from, const char* to) override {
        return step_ == Step::kRename ? (errno = EXDEV, -1) : FileIo::Rename(from, to);
    }

  private:
    Step step_;
    size_t written_ = 0;
};

TEST(AtomicSave, AnyFailingStepKeepsTheOldFileAndTheModifiedFlag) {
    using Step = FailingIo::Step;
    for (Step step : {Step::kOpen, Step::kWriteMidway, Step::kSync, Step::kClose, Step::kRename}) {
        SCOPED_TRACE(static_cast<int>(step));
        TempDir dir;
        WriteFile(dir.File("a.fls"), std::vector<uint8_t>(64, 0x20));
        RecordingFrame frame;
        auto doc = OpenImage(frame, dir.File("a.fls"));
        ASSERT_NE(doc, nullptr);
        ASSERT_TRUE(doc->OnSaveDocument(dir.File("a.fls")));
        const auto before = ReadFileBytes(dir.File("a.ifo"));

        FailingIo io(step);
        doc->SetFileIo(&io);
        doc->SetNote(8, std::string(1000, 'n'));
        frame.messages.clear();
        EXPECT_FALSE(doc->OnSaveDocument(dir.File("a.fls")));
        EXPECT_EQ(frame.messages, std::vector<std::string>{"Error in saving IFO file"});
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(ReadFileBytes(dir.File("a.ifo")), before);
        // No temporary file is left behind.
        size_t files = 0;
        for (auto& entry : std::filesystem::directory_iterator(dir.Path()))
            files += entry.is_regular_file();
        EXPECT_EQ(files, 2u);

        // Once the disk is fine again, the save goes through.
        doc->SetFileIo(nullptr);
        EXPECT_TRUE(doc->OnSaveDocument(dir.File("a.fls")));
        EXPECT_FALSE(doc->IsModified());
        EXPECT_NE(ReadFileBytes(dir.File("a.ifo")), before);
    }
}

TEST(AtomicSave, FolderThatCannotTakeTheFileFails) {
    TempDir dir;
    WriteFile(dir.File("a.fls"), std::vector<uint8_t>(8, 0));
    RecordingFrame frame;
    auto doc = OpenImage(frame, dir.File("a.fls"));
    ASSERT_NE(doc, nullptr);
    frame.messages.clear();
    EXPECT_FALSE(doc->OnSaveDocument(dir.File("gone/a.fls")));
    EXPECT_EQ(frame.messages, std::vector<std::string>{"Error in saving IFO file"});
    EXPECT_TRUE(doc->IsModified());
}

TEST(AtomicSave, FlashFileNamedLikeItsInfoFileIsNeverOverwritten) {
    TempDir dir;
    const std::string path = dir.File("image.ifo");
    WriteFile(path, std::vector<uint8_t>(32, 0x46));
    // Its own info file would be itself; as an info file it has the wrong size.
    RecordingFrame frame;
    CTravikDoc doc(frame);
    EXPECT_FALSE(doc.OnOpenDocument(path));
    EXPECT_EQ(frame.messages,
              std::vector<std::string>{path + "not derived from opened flash File (wrong size)"});

    // One that is, byte for byte, a valid info file of its own length opens; saving
    // it must still refuse rather than overwrite the image.
    std::vector<uint8_t> own = {56, 0, 0, 0};
    own.insert(own.end(), 28, 2);
    for (int s = 0; s < 6; ++s) own.insert(own.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_EQ(own.size(), 56u);
    WriteFile(path, own);
    RecordingFrame frame2;
    CTravikDoc doc2(frame2);
    ASSERT_TRUE(doc2.OnOpenDocument(path));
    doc2.SetNote(0, "x");
    EXPECT_FALSE(doc2.OnSaveDocument(path));
    EXPECT_EQ(frame2.messages, std::vector<std::string>{"Error in saving IFO file"});
    EXPECT_TRUE(doc2.IsModified());
    EXPECT_EQ(ReadFileBytes(path), own);
}

}  // namespace
