// Breakpoints and watchpoints of a session, kept in NAME.brk beside the info file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "document/CTravikDoc.h"
#include "document/DebugMarksFile.h"
#include "support/TestSupport.h"

namespace {

constexpr uint8_t kRead = CEmulator::kWatchRead;
constexpr uint8_t kWrite = CEmulator::kWatchWrite;

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

struct DebugMarksTest : testing::Test {
    TempDir dir;
    RecordingFrame frame;
    std::string fls = dir.File("phone.fls");
    std::string brk = dir.File("phone.brk");
    std::unique_ptr<CTravikDoc> Open() {
        frame.messages.clear();
        return OpenImageBytes(frame, fls, std::vector<uint8_t>(0x40, 0));
    }
};

TEST_F(DebugMarksTest, EveryChangeIsWrittenAndTheNextOpenReadsItBack) {
    auto doc = Open();
    ASSERT_TRUE(doc);
    DebugSession& session = doc->Session();
    EXPECT_TRUE(session.ToggleBreakpoint(0x3E));
    EXPECT_TRUE(session.ToggleBreakpoint(0x10));
    EXPECT_TRUE(session.SetWatchRange(0x10EABC, 4, kRead, true));
    EXPECT_TRUE(session.SetWatchRange(0x10EA00, 2, kRead | kWrite, true));
    EXPECT_TRUE(session.SetWatchRange(0x10EABD, 2, kRead, false));
    const std::string text =
        "# Travik breakpoints and watchpoints\n00200010\n0020003E\n"
        "R 0010EA00 2\nR 0010EABC 1\nR 0010EABF 1\nW 0010EA00 2\n";
    EXPECT_EQ(ReadText(brk), text);
    EXPECT_EQ(frame.messages.size(), 1u);  // only the info file's notice

    auto again = Open();
    ASSERT_TRUE(again);
    CEmulator& emu = TestDoc::Emulator(*again);
    EXPECT_EQ(WriteDebugMarks(emu), text);
    // Marks read while the blocks of an earlier run are decoded stop the next run.
    emu.ClearBreakpoints();
    emu.Start(CEmulator::kFlashBase, again->Image(), again->ImageSize(), again->EmulatorRam(),
              CEmulator::kInitialStackPointer);
    EXPECT_EQ(emu.RunFree(100).stop, RunStop::kWarning);  // off the end of the image
    emu.SkipTo(CEmulator::kFlashBase);
    EXPECT_EQ(ReadDebugMarks(text, emu).marksRead, 6u);
    EXPECT_EQ(emu.RunFree(100).stop, RunStop::kBreakpoint);
    EXPECT_EQ(emu.r[15] - 4, 0x200010u);
    // With no mark left the file goes.
    EXPECT_TRUE(again->Session().ToggleBreakpoint(0x10));
    EXPECT_TRUE(again->Session().ClearAllBreakpoints());
    EXPECT_TRUE(again->Session().ClearAllWatchpoints());
    EXPECT_FALSE(FileExists(brk));
}

// A remote debugger's marks act in the emulator but never reach the file, not even when
// the user's next change writes it; the user's kinds on the same bytes are the user's.
TEST_F(DebugMarksTest, UnsavedMarksStayOutOfTheFile) {
    auto doc = Open();
    ASSERT_TRUE(doc);
    DebugSession& session = doc->Session();
    EXPECT_TRUE(session.SetBreakpoint(0x200010, true, false));
    EXPECT_TRUE(session.SetWatchRange(0x10EA00, 4, kRead | kWrite, true, false));
    EXPECT_FALSE(FileExists(brk));
    EXPECT_TRUE(session.SetWatchRange(0x10EA02, 1, kWrite, true));
    EXPECT_TRUE(session.ToggleBreakpoint(0x20));
    const std::string text = "# Travik breakpoints and watchpoints\n00200020\nW 0010EA02 1\n";
    EXPECT_EQ(ReadText(brk), text);
    EXPECT_TRUE(session.Emulator().IsBreakpoint(0x200010));
    EXPECT_EQ(session.Emulator().WatchAt(0x10EA00), kRead | kWrite);
    EXPECT_TRUE(session.SetWatchRange(0x10EA00, 4, kRead | kWrite, false, false));
    EXPECT_TRUE(session.SetBreakpoint(0x200010, false, false));
    EXPECT_TRUE(session.SetBreakpoint(0x200020, false, false));  // the user's stays
    EXPECT_TRUE(session.ToggleBreakpoint(0x22));
    EXPECT_EQ(ReadText(brk), "# Travik breakpoints and watchpoints\n00200020\n00200022\n"
                             "W 0010EA02 1\n");
}

TEST_F(DebugMarksTest, ADamagedFileKeepsWhatCouldBeReadAndNamesItsFirstBadLine) {
    WriteFile(brk,
              "# a comment\r\n00200004\r\n\n"
              "0020000X\n"            // line 4: not hex
              "00200011\n"            // odd
              "00200040\n"            // past the image
              "W 0020_0000 4\n"       // not hex
              "R 0010FFFE 3\n"        // past the RAM
              "W 10E000 0\n"          // no bytes
              "b 0010E000 2\n"        // no such kind
              "00200006 00200008\n"   // two on a line
              "\x1b[2J\n"             // a terminal escape
              "  w  0010e000\t8  \n"  // blanks and case are fine
              "0020003e");            // no line end
    auto doc = Open();
    ASSERT_TRUE(doc);
    ASSERT_EQ(frame.messages.size(), 2u);  // the info file's notice, then ours
    EXPECT_EQ(frame.messages[1],
              brk +
                  ", line 4: \"0020000X\" is not a breakpoint or watchpoint of this image (9 "
                  "such lines in all).\r\nThe 3 that could be read are set; the next change of "
                  "a breakpoint or watchpoint rewrites the file without the lines that could "
                  "not.");
    EXPECT_EQ(WriteDebugMarks(TestDoc::Emulator(*doc)),
              "# Travik breakpoints and watchpoints\n00200004\n0020003E\nW 0010E000 8\n");
    EXPECT_EQ(ReadDebugMarks("\x1b[2J\n", TestDoc::Emulator(*doc)).firstBadText, "?[2J");
}

// A side file that cannot be read, and the flash file opened under the side file's
// name: marks change in memory only. Marks the emulator cannot hold are refused. (The
// batch tool, which opens without the side file, leaves it alone: run_stops.)
TEST_F(DebugMarksTest, FilesThatMustNotBeReplaced) {
    ASSERT_EQ(::mkdir(brk.c_str(), 0755), 0);
    auto doc = Open();
    ASSERT_TRUE(doc);
    ASSERT_EQ(frame.messages.size(), 2u);
    EXPECT_EQ(frame.messages[1].rfind(brk + " cannot be read: ", 0), 0u);
    frame.messages.clear();
    EXPECT_FALSE(doc->Session().ToggleBreakpoint(0x10));
    EXPECT_TRUE(TestDoc::Emulator(*doc).IsBreakpoint(0x200010));
    ASSERT_EQ(frame.messages.size(), 1u);
    EXPECT_EQ(frame.messages[0].rfind(brk + " could not be read when", 0), 0u);
    frame.messages.clear();
    EXPECT_FALSE(doc->Session().ToggleBreakpoint(0x40));
    EXPECT_FALSE(doc->Session().SetWatchRange(0x10FFFF, 2, kRead, true));
    EXPECT_EQ(frame.messages.size(), 2u);

    const std::vector<uint8_t> image(0x40, 0x30);
    RecordingFrame other;
    auto flash = OpenImageBytes(other, dir.File("image.brk"), image);
    ASSERT_TRUE(flash);
    EXPECT_TRUE(TestDoc::Emulator(*flash).Breakpoints().empty());
    EXPECT_FALSE(flash->Session().ToggleBreakpoint(0x10));
    EXPECT_FALSE(flash->Session().SetWatchRange(0x10E000, 1, kRead, true));
    EXPECT_EQ(ReadFileBytes(dir.File("image.brk")), image);
}

}  // namespace
