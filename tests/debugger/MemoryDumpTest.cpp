// The memory dump bar: its paint (compared whole with debugger/paints), its keys and
// how it follows the emulator.
#include "DebuggerFixture.h"
#include "debugger/MemoryDump.h"
#include "emulator/MemoryPaths.h"

namespace {

class MemoryDumpTest : public DebuggerTest {
  protected:
    void SetUp() override { Open(); }
    void Paint(int width = 1000, int height = 16 + 12 * 6 + 12) {
        PaintMemory(doc.get(), state, width, height, draw);
    }
    MemoryKeyResult Key(MemoryKey key, bool shift = false, bool ctrl = false, int f = 0) {
        return MemoryKeyDown(*doc, state, key, shift, ctrl, f);
    }
    void Select(int32_t first, int32_t last, int32_t cursor) {
        state.Current().selectionStart = first;
        state.Current().selectionEnd = last;
        state.Current().cursor = cursor;
    }
    MemoryViewState state;
    DrawList draw;
};

TEST_F(MemoryDumpTest, PagesFollowReadsWritesOrBothAndTheRestStay) {
    LatestAccesses& marks = emu().followMarks;
    const struct {
        int page;
        bool followsRead, followsWrite;
    } cases[] = {{0, true, false}, {1, false, true}, {2, true, true}, {3, false, false}};
    for (const auto& c : cases) {
        MemoryViewState s;
        s.page = c.page;
        marks.read = 0x100123;
        marks.write = 0x10EABC;
        FollowEmulator(s, marks);
        EXPECT_EQ(s.Current().cursor, c.followsWrite  ? 0xEABC
                                      : c.followsRead ? 0x123
                                                      : 0)
            << c.page;
        EXPECT_EQ(marks.read == 0xFFFFFFFF, c.followsRead) << c.page;
        EXPECT_EQ(marks.write == 0xFFFFFFFF, c.followsWrite) << c.page;
    }
}

// A write followed on page 2 puts its byte on the second line; following a byte of the
// first line puts the top one line before the RAM, and a tall window reaches past its
// end: nothing there is read or drawn.
TEST_F(MemoryDumpTest, FollowedPlacesAndLinesOutsideTheRam) {
    Start();
    emu().WriteWord(0x10EABC, 0x11223344);
    state.page = 1;  // Ctrl+F2
    FollowEmulator(state, doc->Session().FollowMarks());
    Paint();
    ExpectPaint("memory_followed_write", draw, kMemoryCharWidth);
    state = {};
    emu().followMarks.read = 0x100005;
    FollowEmulator(state, doc->Session().FollowMarks());
    Paint();
    EXPECT_EQ(state.Current().top, -32);
    ExpectPaint("memory_before_the_ram", draw, kMemoryCharWidth);
    state.Current().top = 0x10000 - 64;
    Paint(1000, 16 + 12 * 5 + 12);
    ExpectPaint("memory_after_the_ram", draw, kMemoryCharWidth);
}

// Cursor, selection, named bytes and watched bytes (set with R and W on the selection
// or the cursor byte, Shift+R taking one off) each have their colours, the watched
// ones a bar too; the header names the cursor's byte.
TEST_F(MemoryDumpTest, ColoursOfCursorSelectionNamesAndWatches) {
    for (int i = 0; i < 32; ++i) TestDoc::Ram(*doc)[i] = static_cast<uint8_t>('A' + i % 26);
    TestDoc::Ram(*doc)[1] = 0x05;
    doc->Apply(RamNameEdit(*doc, 0x14, 0x16, "v"));
    Paint();  // a page on screen: the keys do not scroll it
    Select(2, 2, 2);
    EXPECT_TRUE(Key(MemoryKey::kWatchRead).repaint);
    Select(4, 7, 7);
    Key(MemoryKey::kWatchWrite);
    Select(6, 9, 9);
    Key(MemoryKey::kWatchRead);
    Select(3, 3, 2);  // the emulator moved the cursor off a collapsed selection
    Key(MemoryKey::kWatchRead, true);
    EXPECT_EQ(emu().WatchAt(0x100002), 0);
    Select(6, 9, 7);  // the selection's last byte is not the cursor's
    Paint();
    ExpectPaint("memory_colours", draw, kMemoryCharWidth);
}

TEST_F(MemoryDumpTest, HeaderShowsTheNameAndTheOffsetIntoIt) {
    doc->Apply(RamNameEdit(*doc, 0x20, 0x23, "counter"));
    doc->Apply(RamNameEdit(*doc, 0x40, 0x42, ""));  // no name, continued marks after it
    const struct {
        int32_t cursor;
        const char* header;
    } cases[] = {{0x1F, "0010001F: "},
                 {0x20, "00100020: counter"},
                 {0x22, "00100022: counter+02"},
                 {0x24, "00100024: "},
                 {0x42, "00100042: +02"}};
    for (const auto& c : cases) {
        state.Current().cursor = c.cursor;
        Paint();
        EXPECT_EQ(TextAt(draw, 10, 0)->text, c.header);
    }
}

// Keys move the cursor inside the RAM and scroll the six lines on screen (bytes
// 0..191 after the first paint); Ctrl+Fn switches to page n, which keeps its own place.
TEST_F(MemoryDumpTest, KeysMoveScrollAndSwitchPages) {
    Select(0x10, 0x10, 0x10);
    Paint();
    EXPECT_EQ(state.Current().lastShown, 191);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Key(MemoryKey::kRight, true).repaint);
    Key(MemoryKey::kLeft, true);
    EXPECT_EQ(state.Current().selectionStart, 0x10);
    EXPECT_EQ(state.Current().selectionEnd, 0x12);
    Key(MemoryKey::kLeft);
    EXPECT_EQ(state.Current().selectionStart, 0x11);
    EXPECT_EQ(state.Current().selectionEnd, 0x11);
    const struct {
        int32_t top, cursor;
        MemoryKey key;
        int32_t toTop, toCursor;  // -1: not checked
    } cases[] = {
        {0, 0, MemoryKey::kLeft, 0, 0},
        {0, 0x1F, MemoryKey::kUp, 0, 0},
        {0, 0x40, MemoryKey::kUp, 0, 0x20},
        {0, 0x40, MemoryKey::kDown, 0, 0x60},
        {0, 191, MemoryKey::kDown, 32, 191 + 32},  // past the last line: one line
        {0x10000 - 192, 0xFFFF, MemoryKey::kRight, -1, 0xFFFF},
        {0x10000 - 192, 0xFFF0, MemoryKey::kDown, -1, 0xFFFF},
        {0, 0, MemoryKey::kPageDown, 192, 192},
        {192, 192, MemoryKey::kPageUp, 0, 0},
        {0, 0, MemoryKey::kPageUp, 0, 0},  // not above the RAM
        {0x10000 - 192, 0x10000 - 100, MemoryKey::kPageDown, 0x10000 - 192, -1},  // at the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.top << " " << c.cursor << " key " << int(c.key));
        state.Current().top = c.top;
        state.Current().cursor = c.cursor;
        Paint();
        Key(c.key);
        EXPECT_EQ(state.Current().top, c.toTop < 0 ? state.Current().top : c.toTop);
        EXPECT_EQ(state.Current().cursor, c.toCursor < 0 ? state.Current().cursor : c.toCursor);
    }
    Key(MemoryKey::kFunction, false, true, 4);
    EXPECT_EQ(state.page, 3);
    EXPECT_EQ(state.Current().top, 0);
    Key(MemoryKey::kFunction, false, false, 1);  // without Ctrl: only a repaint
    EXPECT_EQ(state.page, 3);
}

TEST_F(MemoryDumpTest, NameKeyUnnamesContinuedBytesAndOffersTheName) {
    doc->Apply(RamNameEdit(*doc, 0x20, 0x23, "a"));
    doc->Apply(RamNameEdit(*doc, 0x24, 0x25, "b"));
    doc->SetModifiedFlag(false);
    Select(0x22, 0x24, 0x22);
    const MemoryKeyResult r = Key(MemoryKey::kName);
    EXPECT_FALSE(r.repaint);
    EXPECT_EQ(r.editor, MemoryKeyResult::Editor::kName);
    EXPECT_EQ(doc->RamNames().At(0x22), RamNameTable::Entry::None);
    EXPECT_EQ(doc->RamNames().At(0x23), RamNameTable::Entry::None);
    EXPECT_TRUE(r.setEditorText);
    EXPECT_EQ(r.editorText, "b");
    EXPECT_EQ(r.first, 0x22);
    EXPECT_EQ(r.last, 0x24);
    EXPECT_TRUE(doc->IsModified());
}

}  // namespace
