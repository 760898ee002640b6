#include <algorithm>

#include "support/TestDoc.h"
#include "DebuggerFixture.h"
#include "debugger/MemoryDump.h"
#include "emulator/MemoryPaths.h"
#include "debugger/TextLines.h"

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
    // The background of the hex cell of byte `b` on dump line `line`.
    uint32_t HexCell(int line, int b) const { return draw.cells.at(0).At(3 * b, line); }

    MemoryViewState state;
    DrawList draw;
};

TEST_F(MemoryDumpTest, PagesFollowReadsWritesOrBothAndTheRestStay) {
    CEmulator& e = TestDoc::Emulator(*doc);
    struct Case {
        int page;
        bool followsRead, followsWrite;
    } cases[] = {{0, true, false}, {1, false, true}, {2, true, true}, {3, false, false}};
    for (const Case& c : cases) {
        MemoryViewState s;
        s.page = c.page;
        e.followMarks.read = 0x100123;
        e.followMarks.write = 0x10EABC;
        FollowEmulator(s, e.followMarks);
        const int32_t expected = c.followsWrite ? 0xEABC : c.followsRead ? 0x123 : 0;
        EXPECT_EQ(s.Current().cursor, expected) << c.page;
        EXPECT_EQ(e.followMarks.read == 0xFFFFFFFF, c.followsRead) << c.page;
        EXPECT_EQ(e.followMarks.write == 0xFFFFFFFF, c.followsWrite) << c.page;
    }
}

TEST_F(MemoryDumpTest, WriteFollowedOnPageTwoPutsTheByteOnTheSecondLine) {
    Start();
    TestDoc::Emulator(*doc).WriteWord(0x10EABC, 0x11223344);
    state.page = 1;  // Ctrl+F2
    FollowEmulator(state, doc->Session().FollowMarks());
    Paint();
    EXPECT_EQ(state.Current().cursor, 0xEABC);
    EXPECT_EQ(state.Current().top, 0xEA80);
    EXPECT_EQ(TextAt(draw, 10, 28)->text, "0010EAA0: ");
    EXPECT_EQ(HexCell(1, 0x1C), PackRgb(kMemoryCursor));
    EXPECT_EQ(TextAt(draw, 80 + 21 * 0x1C, 28)->text, "11");
    EXPECT_EQ(TextAt(draw, 10, 0)->text, "0010EABC: ");
    EXPECT_EQ(TextAt(draw, 1000 - 112, 0)->text, "Page: Ctrl+F2");
}

// Following a byte of the first line puts the top one line before the RAM; a tall
// window reaches past its end. Nothing there is read or drawn.
TEST_F(MemoryDumpTest, LinesOutsideTheRamAreBlank) {
    TestDoc::Emulator(*doc).followMarks.read = 0x100005;
    FollowEmulator(state, doc->Session().FollowMarks());
    Paint();
    EXPECT_EQ(state.Current().top, -32);
    EXPECT_EQ(TextAt(draw, 10, 16), nullptr);
    EXPECT_EQ(TextAt(draw, 80, 16), nullptr);
    EXPECT_EQ(HexCell(0, 0), DrawCells::kNoCell);
    EXPECT_EQ(TextAt(draw, 10, 28)->text, "00100000: ");

    state.Current().top = 0x10000 - 64;
    Paint(1000, 16 + 12 * 5 + 12);
    EXPECT_EQ(TextAt(draw, 10, 28)->text, "0010FFE0: ");
    EXPECT_EQ(TextAt(draw, 10, 40), nullptr);
}

TEST_F(MemoryDumpTest, CellColoursForCursorSelectionAndNames) {
    doc->Apply(RamNameEdit(*doc, 4, 6, "v"));
    MemoryPage& p = state.Current();
    p.cursor = 1;
    p.selectionStart = 1;
    p.selectionEnd = 2;
    Paint();
    const DrawCells& c = draw.cells.at(0);
    EXPECT_EQ(c.At(3 * 1, 0), PackRgb(kMemoryCursor));
    EXPECT_EQ(c.At(3 * 1 + 2, 0), PackRgb(kMemorySelection));  // separator inside
    EXPECT_EQ(c.At(3 * 2, 0), PackRgb(kMemorySelection));
    EXPECT_EQ(c.At(3 * 2 + 2, 0), PackRgb(kWhite));  // after the selection's end
    EXPECT_EQ(c.At(3 * 3 + 2, 0), PackRgb(kWhite));  // before the name: not continued
    EXPECT_EQ(c.At(3 * 4, 0), PackRgb(kMemoryNamed));
    EXPECT_EQ(c.At(3 * 4 + 2, 0), PackRgb(kMemoryNamed));  // byte 5 is continued
    EXPECT_EQ(c.At(3 * 6 + 2, 0), PackRgb(kWhite));
    EXPECT_EQ(c.At(96 + 2 + 1, 0), PackRgb(kMemoryCursor));  // character part
    EXPECT_EQ(c.At(96 + 2 + 4, 0), PackRgb(kWhite));         // names only in hex
}

// R and W watch the selection, or the cursor byte when nothing is selected; Shift
// stops watching. Watched bytes keep a colour of their own inside the selection too.
TEST_F(MemoryDumpTest, WatchKeysAndTheirColours) {
    Paint();  // a page on screen: the keys do not scroll it
    MemoryPage& p = state.Current();
    auto select = [&p](int32_t first, int32_t last, int32_t cursor) {
        p.selectionStart = first;
        p.selectionEnd = last;
        p.cursor = cursor;
    };
    select(2, 2, 2);
    EXPECT_TRUE(Key(MemoryKey::kWatchRead).repaint);
    select(4, 7, 7);
    Key(MemoryKey::kWatchWrite);
    select(6, 9, 9);
    Key(MemoryKey::kWatchRead);
    select(3, 3, 2);  // the emulator moved the cursor off a collapsed selection
    Key(MemoryKey::kWatchRead, true);

    select(6, 9, 9);
    Paint();  // bytes 4-5 write, 6-7 both, 8-9 read; 6-9 selected
    constexpr uint8_t R = CEmulator::kWatchRead, W = CEmulator::kWatchWrite;
    const struct {
        int byte;
        uint8_t kinds;
        Rgb background;
    } bytes[] = {{2, 0, kWhite},
                 {5, W, kMemoryWatchBackground[W]},
                 {6, R | W, kMemorySelection},
                 {9, R, kMemoryCursor}};
    for (const auto& b : bytes) {
        SCOPED_TRACE(b.byte);
        EXPECT_EQ(TestDoc::Emulator(*doc).WatchAt(0x100000 + b.byte), b.kinds);
        EXPECT_EQ(HexCell(0, b.byte), PackRgb(b.background));
        // A bar along the top of the hex cell, whatever its background.
        const int x = 80 + 21 * b.byte;
        const auto bar = std::find_if(draw.rects.begin(), draw.rects.end(), [&](const DrawRect& r) {
            return r.y == 16 && r.h == kMemoryWatchBarHeight && r.x <= x && x + 14 <= r.x + r.w;
        });
        EXPECT_EQ(bar != draw.rects.end(), b.kinds != 0);
        if (b.kinds != 0 && bar != draw.rects.end()) {
            EXPECT_EQ(bar->color, kMemoryWatchBar[b.kinds]);
        }
    }
}

TEST_F(MemoryDumpTest, HeaderShowsTheNameAndTheOffsetIntoIt) {
    doc->Apply(RamNameEdit(*doc, 0x20, 0x23, "counter"));
    struct Case {
        int32_t cursor;
        const char* header;
    } cases[] = {{0x1F, "0010001F: "},
                 {0x20, "00100020: counter"},
                 {0x22, "00100022: counter+02"},
                 {0x24, "00100024: "}};
    for (const Case& c : cases) {
        state.Current().cursor = c.cursor;
        Paint();
        EXPECT_EQ(TextAt(draw, 10, 0)->text, c.header);
    }
    doc->Apply(RamNameEdit(*doc, 0x40, 0x42, ""));  // no name, continued marks after it
    state.Current().cursor = 0x42;
    Paint();
    EXPECT_EQ(TextAt(draw, 10, 0)->text, "00100042: +02");
}

// Keys move the cursor inside the RAM and scroll the six lines on screen (bytes
// 0..191 after the first paint); Ctrl+Fn switches to page n, which keeps its own place.
TEST_F(MemoryDumpTest, KeysMoveScrollAndSwitchPages) {
    state.Current().cursor = state.Current().selectionStart = state.Current().selectionEnd = 0x10;
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
        int32_t toTop, toCursor;  // toTop -1: not checked
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
    MemoryPage& p = state.Current();
    p.cursor = p.selectionStart = 0x22;
    p.selectionEnd = 0x24;
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

TEST_F(MemoryDumpTest, AccessibleLinesReadAddressHexAndCharacters) {
    for (int i = 0; i < 32; ++i) TestDoc::Ram(*doc)[i] = static_cast<uint8_t>('A' + i % 26);
    TestDoc::Ram(*doc)[1] = 0x05;
    Paint();
    const std::vector<std::string> lines = TextLines(draw, 10, kMemoryCharWidth);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 25), "00100000: 41 05 43 44:45 ");
    EXPECT_NE(lines[1].find("A.CDEFGHIJKLMNOPQRSTUVWXYZABCDEF"), std::string::npos);
}

TEST_F(MemoryDumpTest, RamSettersFollowTheirRules) {
    struct Case {
        uint32_t first, last;
        const char* text;
        std::vector<uint8_t> bytes;
    } cases[] = {{4, 5, "1", {0x00, 0x01}},    {4, 5, "ABCDE", {0xBC, 0xDE}},
                 {4, 5, "1234", {0x12, 0x34}}, {4, 5, "5", {0x00, 0x05}},
                 {4, 5, "zz1f", {0x00, 0x1F}}, {4, 4, "ab", {0xAB}}};
    doc->SetModifiedFlag(false);  // the RAM is not part of the info file
    for (const Case& c : cases) {
        TestDoc::Ram(*doc)[4] = TestDoc::Ram(*doc)[5] = 0x77;
        doc->Apply(RamHexEdit(*doc, c.first, c.last, c.text));
        for (size_t i = 0; i < c.bytes.size(); ++i)
            EXPECT_EQ(doc->RamBytes()[c.first + i], c.bytes[i]) << c.text << " byte " << i;
    }
    EXPECT_FALSE(doc->IsModified());
    const int repaints = frame.memoryRepaints;
    // Either end outside the RAM: nothing, not even a repaint.
    EXPECT_TRUE(doc->Apply(RamHexEdit(*doc, 0xFFFF, 0x10000, "12")).parts.empty());
    EXPECT_TRUE(doc->Apply(RamNameEdit(*doc, 0x10, 0x10000, "x")).parts.empty());
    EXPECT_EQ(frame.memoryRepaints, repaints);
    doc->Apply(RamNameEdit(*doc, 0x10, 0x12, "x"));
    EXPECT_TRUE(doc->IsModified());  // the names are saved with the annotations
    EXPECT_EQ(frame.memoryRepaints, repaints + 1);
    EXPECT_EQ(doc->RamNames().At(0x12), RamNameTable::Entry::Continued);
    EXPECT_EQ(doc->RamNames().At(0x13), RamNameTable::Entry::None);
}

}  // namespace
