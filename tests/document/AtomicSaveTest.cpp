// Saving never loses the info file that was there before, never writes the flash file
// and never replaces what the open could not read.
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

namespace fs = std::filesystem;

// Fails one chosen step of writing a file.
class FailingIo : public FileIo {
  public:
    enum class Step { kOpen, kWriteMidway, kSync, kClose, kRename };
    explicit FailingIo(Step step) : step_(step) {}
    int Open(const char* path, int flags, int mode) override {
        return step_ == Step::kOpen ? (errno = EACCES, -1) : FileIo::Open(path, flags, mode);
    }
    ssize_t Write(int fd, const void* data, size_t size) override {
        if (step_ != Step::kWriteMidway) return FileIo::Write(fd, data, size);
        if (std::exchange(halfDone_, true)) return errno = ENOSPC, -1;
        return FileIo::Write(fd, data, size / 2);  // half goes through, then the disk is full
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
    bool halfDone_ = false;
};

TEST(AtomicSave, AnyFailingStepKeepsTheOldFileAndTheModifiedFlag) {
    using Step = FailingIo::Step;
    for (Step step : {Step::kOpen, Step::kWriteMidway, Step::kSync, Step::kClose, Step::kRename}) {
        SCOPED_TRACE(static_cast<int>(step));
        TempDir dir;
        RecordingFrame frame;
        auto doc = OpenImageBytes(frame, dir.File("a.fls"), std::vector<uint8_t>(64, 0x20));
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
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 2);  // no temporary left
        // Once the disk is fine again, the save goes through.
        doc->SetFileIo(nullptr);
        EXPECT_TRUE(doc->OnSaveDocument(dir.File("a.fls")));
        EXPECT_FALSE(doc->IsModified());
        EXPECT_NE(ReadFileBytes(dir.File("a.ifo")), before);
    }
}

// Links never lead a save to the flash file; a save keeps the mode of the file it
// replaces, never replaces a read-only one, and clears away the temporaries of killed
// saves (of ended processes; not of running ones, nor links).
TEST(SaveTargets, LinksModesReadOnlyFilesAndStaleTemporaries) {
    TempDir dir;
    const std::string flash = dir.File("m.fls"), info = dir.File("m.ifo");
    const std::vector<uint8_t> image(64, 0x20);
    ASSERT_EQ(symlink(flash.c_str(), (info + ".tmp~").c_str()), 0);
    RecordingFrame frame;
    auto doc = OpenImageBytes(frame, flash, image);
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(doc->OnSaveDocument(flash));
    EXPECT_EQ(ReadFileBytes(flash), image);
    EXPECT_FALSE(fs::is_symlink(info));
    fs::remove(info);
    ASSERT_EQ(symlink(flash.c_str(), info.c_str()), 0);
    frame.messages.clear();
    EXPECT_FALSE(doc->OnSaveDocument(flash));
    EXPECT_EQ(frame.messages,
              std::vector<std::string>{info + " is the open flash file; it is never written."});
    EXPECT_EQ(ReadFileBytes(flash), image);
    fs::remove(info);

    ASSERT_TRUE(doc->OnSaveDocument(flash));
    ASSERT_TRUE(doc->Session().ToggleBreakpoint(4));
    for (const std::string& path : {info, doc->DebugMarksPath()})
        ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const std::string gone = info + ".tmp" + std::to_string(child) + "-0~";
    const std::string running = info + ".tmp" + std::to_string(getppid()) + "-0~";
    for (const std::string& path : {gone, running}) WriteFile(path, std::string(10, 'x'));
    ASSERT_EQ(symlink(flash.c_str(), (info + ".tmp1-1~").c_str()), 0);
    TestDoc::Note(*doc, 2, "private");
    ASSERT_TRUE(doc->OnSaveDocument(flash));
    ASSERT_TRUE(doc->Session().ToggleBreakpoint(6));
    for (const std::string& path : {info, doc->DebugMarksPath()}) {
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << path;
    }
    EXPECT_FALSE(FileExists(gone));
    EXPECT_TRUE(FileExists(running));
    EXPECT_TRUE(fs::is_symlink(info + ".tmp~"));
    EXPECT_TRUE(fs::is_symlink(info + ".tmp1-1~"));

    ASSERT_EQ(chmod(info.c_str(), 0444), 0);
    const std::vector<uint8_t> before = ReadFileBytes(info);
    TestDoc::Note(*doc, 2, "not saved");
    frame.messages.clear();
    EXPECT_FALSE(doc->OnSaveDocument(flash));
    EXPECT_EQ(frame.messages, std::vector<std::string>{info + " is read-only: not saved"});
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(ReadFileBytes(info), before);
}

// Something at the info path that cannot be read is never mistaken for a missing file,
// and never replaced by the defaults.
TEST(SaveTargets, UnreadableInfoFileOpensWithDefaultsAndIsNotReplaced) {
    const struct {
        const char* what;
        void (*make)(const std::string& path);
        const char* reason;
    } cases[] = {
        {"folder", [](const std::string& p) { ASSERT_EQ(mkdir(p.c_str(), 0755), 0); },
         "it is a folder"},
        {"fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); },
         "it is not a regular file"},
        {"too large",
         [](const std::string& p) {
             WriteFile(p, std::string("x"));
             ASSERT_EQ(truncate(p.c_str(), off_t{3} << 30), 0);  // sparse: costs no disk
         },
         "it is too large (3221225472 bytes)"},
    };
    alarm(20);  // a FIFO that blocked the open would hang here: fail instead
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string info = dir.File("u.ifo");
        c.make(info);
        RecordingFrame frame;
        auto doc = OpenImageBytes(frame, dir.File("u.fls"), std::vector<uint8_t>(64, 0x20));
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->GetInfoState(), CTravikDoc::InfoState::kUnreadable);
        EXPECT_EQ(frame.messages, std::vector<std::string>{
                                      info + " cannot be read: " + c.reason +
                                      ".\r\nLoading defaults; saving will not replace that file."});
        EXPECT_EQ(*doc->Headers().Find(0), "File: u.fls");
        frame.messages.clear();
        EXPECT_FALSE(doc->OnSaveDocument(dir.File("u.fls")));
        EXPECT_EQ(frame.messages,
                  std::vector<std::string>{
                      info +
                      " could not be read when the flash file was opened, so it is not replaced."});
        EXPECT_TRUE(doc->IsModified());
        EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(info)) && fs::file_size(info) < 100);
    }
    alarm(0);
}

// The open reads no info file larger than 8 bytes a halfword and 64 MiB: neither a save
// nor a merge makes one, and the document keeps its state.
TEST(SaveTargets, InfoFilesNeverGrowPastWhatTheOpenReads) {
    TempDir dir;
    const std::string flash = dir.File("l.fls");
    const std::string limit = std::to_string(MaxInfoFileSize(1024));
    RecordingFrame frame;
    auto doc = OpenImageBytes(frame, flash, std::vector<uint8_t>(1024, 0x20));
    ASSERT_NE(doc, nullptr);
    TestDoc::Note(*doc, 2, std::string(40 << 20, 'a'));
    ASSERT_TRUE(doc->OnSaveDocument(flash));
    const size_t saved = ReadFileBytes(dir.File("l.ifo")).size();

    RecordingFrame otherFrame;
    auto other = OpenImage(otherFrame, flash);
    TestDoc::Note(*other, 2, std::string());
    TestDoc::Note(*other, 4, std::string(40 << 20, 'b'));  // with the first: too much
    frame.messages.clear();
    EXPECT_EQ(MergeInfoBytes(*doc, WriteInfoFile(TestDoc::Tables(*other)), "o.ifo"),
              MergeOutcome::kTooLarge);
    ASSERT_EQ(frame.messages.size(), 1u);
    EXPECT_EQ(frame.messages[0].rfind("Merging o.ifo would make an info file of ", 0), 0u);
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
