// Saving never loses the info file that was there before.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "document/CTravikDoc.h"
#include "document/FileIo.h"
#include "document/InfoFile.h"
#include "document/Merge.h"
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
        TestDoc::Note(*doc, 8, std::string(1000, 'n'));
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
    TestDoc::Note(doc2, 0, "x");
    EXPECT_FALSE(doc2.OnSaveDocument(path));
    EXPECT_EQ(frame2.messages,
              std::vector<std::string>{path + " is the open flash file; it is never written."});
    EXPECT_TRUE(doc2.IsModified());
    EXPECT_EQ(ReadFileBytes(path), own);
}

TEST(SaveTargets, LinksNeverLeadTheSaveToTheFlashFile) {
    TempDir dir;
    const std::string flash = dir.File("s.fls");
    const std::vector<uint8_t> image(64, 0x20);
    WriteFile(flash, image);

    // A planted temporary name pointing at the flash file is passed over.
    ASSERT_EQ(symlink(flash.c_str(), dir.File("s.ifo.tmp~").c_str()), 0);
    RecordingFrame frame;
    auto doc = OpenImage(frame, flash);
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(doc->OnSaveDocument(flash));
    EXPECT_EQ(ReadFileBytes(flash), image);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("s.ifo.tmp~")));
    EXPECT_FALSE(std::filesystem::is_symlink(dir.File("s.ifo")));
    EXPECT_EQ(ReadFileBytes(dir.File("s.ifo")).at(0), 64);

    // An info file that is a link to the flash file is refused.
    std::filesystem::remove(dir.File("s.ifo"));
    ASSERT_EQ(symlink(flash.c_str(), dir.File("s.ifo").c_str()), 0);
    frame.messages.clear();
    EXPECT_FALSE(doc->OnSaveDocument(flash));
    EXPECT_EQ(frame.messages,
              std::vector<std::string>{dir.File("s.ifo") + " is the open flash file; it is never "
                                                           "written."});
    EXPECT_EQ(ReadFileBytes(flash), image);
}

// Something that exists at the info path but cannot be read is never mistaken for a
// missing file, and never replaced by the defaults.
TEST(SaveTargets, UnreadableInfoFileOpensWithDefaultsAndIsNotReplaced) {
    struct Case {
        const char* what;
        void (*make)(const std::string& path);
        const char* reason;
    };
    const Case cases[] = {
        {"folder", [](const std::string& p) { ASSERT_EQ(mkdir(p.c_str(), 0755), 0); },
         "it is a folder"},
        {"fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); },
         "it is not a regular file"},
        {"device", [](const std::string& p) { ASSERT_EQ(symlink("/dev/zero", p.c_str()), 0); },
         "it is not a regular file"},
        {"too large",
         [](const std::string& p) {
             WriteFile(p, std::string("x"));
             ASSERT_EQ(truncate(p.c_str(), off_t{3} << 30), 0);  // sparse: costs no disk
         },
         "it is too large (3221225472 bytes)"},
    };
    // A FIFO that blocked the open would hang here: fail instead.
    alarm(20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteFile(dir.File("u.fls"), std::vector<uint8_t>(64, 0x20));
        const std::string info = dir.File("u.ifo");
        c.make(info);
        RecordingFrame frame;
        auto doc = OpenImage(frame, dir.File("u.fls"));
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->GetInfoState(), CTravikDoc::InfoState::kUnreadable);
        EXPECT_EQ(frame.messages,
                  std::vector<std::string>{info + " cannot be read: " + c.reason +
                                           ".\r\nLoading defaults; saving will not replace that "
                                           "file."});
        EXPECT_EQ(*doc->Headers().Find(0), "File: u.fls");

        frame.messages.clear();
        EXPECT_FALSE(doc->OnSaveDocument(dir.File("u.fls")));
        EXPECT_EQ(frame.messages, std::vector<std::string>{
                                      info + " could not be read when the flash file was opened, "
                                             "so it is not replaced."});
        EXPECT_TRUE(doc->IsModified());
        struct stat st {};
        ASSERT_EQ(lstat(info.c_str(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode) && st.st_size < 100);
    }
    alarm(0);
}

// A save keeps who may read the file it replaces, never replaces one its owner made
// read-only, and clears away the temporaries of saves that were killed.
TEST(SaveTargets, ModesReadOnlyFilesAndStaleTemporaries) {
    TempDir dir;
    const std::string flash = dir.File("m.fls");
    const std::string info = dir.File("m.ifo");
    WriteFile(flash, std::vector<uint8_t>(64, 0x20));
    RecordingFrame frame;
    auto doc = OpenImage(frame, flash);
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(doc->OnSaveDocument(flash));
    ASSERT_TRUE(doc->Session().ToggleBreakpoint(4));
    struct stat st {};
    for (const std::string& path : {info, doc->DebugMarksPath()}) {
        ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    }
    TestDoc::Note(*doc, 2, "private");
    ASSERT_TRUE(doc->OnSaveDocument(flash));
    ASSERT_TRUE(doc->Session().ToggleBreakpoint(6));
    for (const std::string& path : {info, doc->DebugMarksPath()}) {
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << path;
    }

    // Leftovers of killed saves: of this program's older naming, and of a process that
    // has ended, go; those of a running process and links stay.
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const std::string gone = info + ".tmp" + std::to_string(child) + "-0~";
    const std::string running = info + ".tmp" + std::to_string(getppid()) + "-0~";
    for (const std::string& path : {info + ".tmp~", info + ".tmp99~", gone, running})
        WriteFile(path, std::string(1000, 'x'));
    ASSERT_EQ(symlink(flash.c_str(), (info + ".tmp1-1~").c_str()), 0);
    TestDoc::Note(*doc, 2, "again");
    ASSERT_TRUE(doc->OnSaveDocument(flash));
    EXPECT_FALSE(FileExists(info + ".tmp~"));
    EXPECT_FALSE(FileExists(info + ".tmp99~"));
    EXPECT_FALSE(FileExists(gone));
    EXPECT_TRUE(FileExists(running));
    EXPECT_TRUE(std::filesystem::is_symlink(info + ".tmp1-1~"));

    // Read-only: refused, kept, and the document still holds the change.
    ASSERT_EQ(chmod(info.c_str(), 0444), 0);
    const std::vector<uint8_t> before = ReadFileBytes(info);
    TestDoc::Note(*doc, 2, "not saved");
    frame.messages.clear();
    EXPECT_FALSE(doc->OnSaveDocument(flash));
    EXPECT_EQ(frame.messages, std::vector<std::string>{info + " is read-only: not saved"});
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(ReadFileBytes(info), before);
}

// The open reads no info file larger than 8 bytes a halfword and 64 MiB: neither a save
// nor a merge makes one, and the document keeps its state.
TEST(SaveTargets, InfoFilesNeverGrowPastWhatTheOpenReads) {
    TempDir dir;
    const std::string flash = dir.File("l.fls");
    WriteFile(flash, std::vector<uint8_t>(1024, 0x20));
    const std::string limit = std::to_string(MaxInfoFileSize(1024));
    RecordingFrame frame;
    auto doc = OpenImage(frame, flash);
    ASSERT_NE(doc, nullptr);
    TestDoc::Note(*doc, 2, std::string(40 << 20, 'a'));
    ASSERT_TRUE(doc->OnSaveDocument(flash));
    const size_t saved = ReadFileBytes(dir.File("l.ifo")).size();

    // Another file of the image with a second long note: together too much.
    RecordingFrame otherFrame;
    auto other = OpenImage(otherFrame, flash);
    TestDoc::Note(*other, 2, std::string());
    TestDoc::Note(*other, 4, std::string(40 << 20, 'b'));
    const std::string otherInfo = WriteInfoFile(TestDoc::Tables(*other));
    frame.messages.clear();
    EXPECT_EQ(MergeInfoBytes(*doc, otherInfo, "o.ifo"), MergeOutcome::kTooLarge);
    ASSERT_EQ(frame.messages.size(), 1u);
    EXPECT_NE(frame.messages[0].find("Merging o.ifo would make an info file of "),
              std::string::npos);
    EXPECT_NE(frame.messages[0].find(" bytes, more than the " + limit), std::string::npos);
    EXPECT_EQ(doc->Notes().Find(4), nullptr);
    EXPECT_FALSE(doc->IsModified());

    TestDoc::Note(*doc, 4, std::string(30 << 20, 'c'));
    frame.messages.clear();
    EXPECT_FALSE(doc->OnSaveDocument(flash));
    ASSERT_EQ(frame.messages.size(), 1u);
    EXPECT_NE(frame.messages[0].find("more than the " + limit +
                                     " bytes an info file of this image may hold: not saved"),
              std::string::npos);
    EXPECT_EQ(ReadFileBytes(dir.File("l.ifo")).size(), saved);
}

}  // namespace
