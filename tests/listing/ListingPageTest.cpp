// The listing window's paint model: what one paint draws where, in which colour, and
// how it moves the view's cursor state.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "listing/LineText.h"
#include "listing/ListingFixture.h"
#include "listing/ListingPage.h"
#include "listing/PrintLayout.h"

namespace {

constexpr Rgb kCyan = kCursorPlain;

// A plain THUMB listing of `size` bytes without annotations.
struct Page : ListingFixture {
    explicit Page(uint32_t size = 0x400) : ListingFixture(size) {}

    // An unconditional branch at `from` to `to`, as the analysis marks it.
    void Branch(uint32_t from, uint32_t to) {
        const int32_t delta = (static_cast<int32_t>(to) - static_cast<int32_t>(from) - 4) / 2;
        Half(from, static_cast<uint16_t>(0xE000 | (delta & 0x7FF)));
        TestDoc::JumpCodes(*doc)[from / 2] = CTravikDoc::kJumpBranch;
    }

    const ListingPaint& Paint(int w = 400, int h = 300, bool active = true) {
        PaintListing(*doc, state, w, h, active, paint);
        return paint;
    }

    // The text drawn for row r (texts come in row order before the annotations).
    const DrawText& Row(size_t r) const { return paint.draw.texts.at(r); }
    std::vector<DrawLine> Lines() const { return paint.draw.lines; }

    ListingViewState state;
    ListingPaint paint;
};

bool HasLine(const std::vector<DrawLine>& lines, DrawLine want) {
    return std::any_of(lines.begin(), lines.end(), [&](const DrawLine& l) {
        return l.x1 == want.x1 && l.y1 == want.y1 && l.x2 == want.x2 && l.y2 == want.y2;
    });
}

TEST(ListingPage, RowsAreDrawnWhileTheyFitAboveTheLastFifteenPixels) {
    Page p;
    p.Paint(400, 300);
    ASSERT_EQ(p.paint.rows.size(), 19u);
    EXPECT_EQ(p.state.rowCount, 19);
    for (size_t r = 0; r < 19; ++r) {
        EXPECT_EQ(p.Row(r).y, static_cast<int>(15 * r));
        EXPECT_EQ(p.Row(r).text, GetLineText(*p.doc, 2 * r, 0));
    }
    EXPECT_EQ(p.Row(0).x, 110);
    EXPECT_EQ(p.Row(0).font, FontId::kListing);
    EXPECT_TRUE(p.Row(0).opaque);
    EXPECT_EQ(p.state.bottomOffset, 36u);
    // The first row is the erased background, the whole client.
    ASSERT_FALSE(p.paint.draw.rects.empty());
    EXPECT_EQ(p.paint.draw.rects[0].w, 400);
    EXPECT_EQ(p.paint.draw.rects[0].h, 300);
}

TEST(ListingPage, NoFileLoaded) {
    RecordingFrame frame;
    CTravikDoc doc(frame);
    ListingViewState state;
    ListingPaint paint;
    PaintListing(doc, state, 400, 300, true, paint);
    ASSERT_EQ(paint.draw.texts.size(), 1u);
    EXPECT_EQ(paint.draw.texts[0].text, "No File loaded");
    EXPECT_FALSE(paint.scrollValid);
    EXPECT_EQ(state.topOffset, -1);
}

TEST(ListingPage, FirstPaintStartsAtTheFirstLineWithItsHeader) {
    Page p;
    TestDoc::Flags(*p.doc)[0] |= flagbits::kRoutineStart;
    p.state.cursorRow = 7;
    p.Paint();
    EXPECT_EQ(p.state.topOffset, 0);
    EXPECT_EQ(p.state.topSubLine, -1);
    EXPECT_EQ(p.Row(0).text, kHeaderSeparator);
    EXPECT_EQ(p.state.cursorRow, 1);
    EXPECT_EQ(p.Row(0).background, kCyan);
}

TEST(ListingPage, CursorColourFollowsTheJumpKind) {
    struct Case {
        const char* name;
        uint8_t code;
        Rgb colour;
    };
    const Case cases[] = {
        {"none", CTravikDoc::kJumpNone, kCursorPlain},
        {"literal", CTravikDoc::kJumpLoad, kCursorLiteral},
        {"literal pointer", CTravikDoc::kJumpPointer, kCursorLiteral},
        {"call", CTravikDoc::kJumpCall, kCursorJump},
        {"branch", CTravikDoc::kJumpBranch, kCursorJump},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Page p;
        p.state.topOffset = 0x40;
        p.state.cursorRow = 3;
        TestDoc::JumpCodes(*p.doc)[(0x40 + 4) / 2] = c.code;
        p.Paint();
        EXPECT_EQ(p.Row(2).background, c.colour);
        EXPECT_EQ(p.Row(1).background, kWhite);
        EXPECT_EQ(p.Row(3).background, kWhite);
        EXPECT_EQ(p.state.cursorOffset, 0x44u);
        EXPECT_EQ(p.state.cursorSubLine, 0);
    }
}

TEST(ListingPage, TextOutsideTheSelectionIsGrey) {
    Page p;
    p.state.topOffset = 0xF0;
    p.Paint();
    for (size_t r = 0; r < p.paint.rows.size(); ++r) EXPECT_EQ(p.Row(r).color, kBlack);

    p.doc->SetSelection(0x100, 0x110);
    p.Paint();
    for (size_t r = 0; r < p.paint.rows.size(); ++r) {
        const uint32_t o = static_cast<uint32_t>(p.paint.rows[r].offset);
        SCOPED_TRACE(o);
        EXPECT_EQ(p.Row(r).color, (o >= 0x100 && o <= 0x110) ? kBlack : kOutsideSelection);
    }
}

// The rows whose breakpoint mark the paint drew; every piece of a mark stays inside its
// row and the margin left of the text.
std::vector<int> MarkedRows(const DrawList& draw) {
    std::vector<int> rows;
    for (const DrawRect& r : draw.rects) {
        if (!(r.color == kBreakpointMark)) continue;
        const int row = r.y / kListingRowHeight;
        EXPECT_GE(r.x, 0);
        EXPECT_LT(r.x + r.w, kListingTextX);
        EXPECT_LE(r.y + r.h, (row + 1) * kListingRowHeight) << "row " << row;
        if (rows.empty() || rows.back() != row) rows.push_back(row);
    }
    return rows;
}

TEST(ListingPage, BreakpointMarkStandsWithCursorCurrentInstructionSelectionAndArrows) {
    Page p;
    CEmulator& emu = TestDoc::Emulator(*p.doc);
    p.state.topOffset = 0x100;
    p.state.cursorRow = 3;  // 0x104
    p.Branch(0x106, 0x110);
    p.Join(0x10C);  // one item of two halfwords, 0x10C and 0x10E
    emu.r[15] = 0x200108 + 4;
    emu.runState = CEmulator::kSuspended;
    p.doc->SetSelection(0x100, 0x10A);
    // Rows: 0x100 + 2r up to the item 0x10C on row 6, then 0x110 on row 7.
    for (uint32_t o : {0x104u, 0x106u, 0x108u, 0x10Eu, 0x112u})
        ASSERT_TRUE(emu.SetBreakpoint(CEmulator::kFlashBase + o, true));
    p.Paint();
    EXPECT_EQ(MarkedRows(p.paint.draw), (std::vector<int>{2, 3, 4, 6, 8}));
    EXPECT_EQ(p.Row(2).background, kCyan);
    EXPECT_EQ(p.Row(4).background, kCurrentInstruction);
    EXPECT_EQ(p.Row(8).color, kOutsideSelection);
    emu.runState = CEmulator::kStopped;  // a stopped emulator has no current instruction
    p.Paint();
    EXPECT_EQ(p.Row(4).background, kWhite);
    emu.runState = CEmulator::kSuspended;
    p.Paint();
    ASSERT_TRUE(HasLine(p.Lines(), {105, 3 * 15 + 7, 90, 3 * 15 + 7}));
    // The arrows come after the marks, so an arrow crossing a mark stays seen.
    const auto& order = p.paint.draw.order;
    const auto lastMark = std::find_if(order.rbegin(), order.rend(), [&](const DrawItem& i) {
        return i.kind == DrawItem::Kind::kRect &&
               p.paint.draw.rects[i.index].color == kBreakpointMark;
    });
    EXPECT_TRUE(std::none_of(lastMark, order.rend(),
                             [](const DrawItem& i) { return i.kind == DrawItem::Kind::kLine; }));
    // Paper shows no breakpoints.
    int pages = 0;
    PrintPages(*p.doc, 1, {0, 0, 2000, -2800}, [&](int, const DrawList& page) {
        ++pages;
        EXPECT_TRUE(MarkedRows(page).empty());
        return true;
    });
    EXPECT_EQ(pages, 1);
}

TEST(ListingPage, AnnotationsInTheirFontsAtColumn500) {
    Page p;
    TestDoc::Flags(*p.doc)[4 / 2] |= flagbits::kRoutineStart | flagbits::kRoutineEnd;
    TestDoc::Texts(*p.doc, DocEdit::TextKind::kHeader).Set(2, "Head");
    TestDoc::Texts(*p.doc, DocEdit::TextKind::kNote).Set(2, "Note");
    TestDoc::Texts(*p.doc, DocEdit::TextKind::kFooter).Set(2, "Foot");
    p.Paint(600, 300, false);
    // Rows: 0, 2, header(4), 4, footer(4), 6...
    const auto& texts = p.paint.draw.texts;
    const size_t rows = p.paint.rows.size();
    ASSERT_EQ(texts.size(), rows + 3);
    struct Want {
        const char* text;
        int y;
        FontId font;
    };
    const Want want[] = {
        {"Head", 30, FontId::kHeader}, {"Note", 45, FontId::kNote}, {"Foot", 60, FontId::kFooter}};
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(texts[rows + k].text, want[k].text);
        EXPECT_EQ(texts[rows + k].x, 500);
        EXPECT_EQ(texts[rows + k].y, want[k].y);
        EXPECT_EQ(texts[rows + k].font, want[k].font);
    }
    const auto lines = VisibleLineTexts(*p.doc, p.paint);
    EXPECT_EQ(lines[2], std::string(kHeaderSeparator) + "\tHead");
    EXPECT_EQ(lines[3], GetLineText(*p.doc, 4, 0) + "\tNote");
    EXPECT_EQ(lines[5], GetLineText(*p.doc, 6, 0));
}

TEST(ListingPage, NestedBranchesMoveOutward) {
    Page p;
    p.Branch(0x02, 0x20);  // rows 1..16, the outer one
    p.Branch(0x08, 0x10);  // rows 4..8, inside it
    p.Branch(0x24, 0x28);  // rows 18..20, beside both
    p.Paint(400, 400);     // placed by distance: 4, 8, 30
    const auto lines = p.Lines();
    EXPECT_TRUE(HasLine(lines, {105, 67, 90, 67}));   // inner at depth 1, scale 10
    EXPECT_TRUE(HasLine(lines, {90, 67, 90, 127}));
    EXPECT_TRUE(HasLine(lines, {105, 127, 102, 124}));  // its head points right, size 3
    EXPECT_TRUE(HasLine(lines, {80, 22, 80, 247}));   // outer at depth 2
    EXPECT_TRUE(HasLine(lines, {90, 277, 90, 307}));  // beside, depth 1
}

TEST(ListingPage, ManyNestedBranchesShareTheMargin) {
    Page p;
    // Eleven brackets each inside the next: depths 1..11, scale 100/11, arrowheads 2.
    for (uint32_t k = 0; k < 11; ++k) p.Branch(0x20 - 2 * k, 0x22 + 2 * k);
    p.Paint(400, 600);
    for (const auto& [depth, x] : {std::pair{1, 91}, {5, 55}}) {
        const int ys = 15 * (17 - depth) + 7;
        EXPECT_TRUE(HasLine(p.Lines(), {105, ys, x, ys})) << depth;
    }
    EXPECT_TRUE(HasLine(p.Lines(), {105, 15 * 17 + 7, 103, 15 * 17 + 5}));
}

TEST(ListingPage, BranchesToTargetsOffThePage) {
    Page p;
    p.state.topOffset = 0x100;
    p.Branch(0x104, 0x0F0);  // above: row 2
    p.Branch(0x110, 0x180);  // below: row 8
    p.Paint(400, 300);
    const auto lines = p.Lines();
    // Up to y = 0 and down to the client height, each with an arrowhead there.
    EXPECT_TRUE(HasLine(lines, {90, 37, 90, 0}));
    EXPECT_TRUE(HasLine(lines, {90, 0, 87, 3}));
    EXPECT_TRUE(HasLine(lines, {90, 127, 90, 300}));
    EXPECT_TRUE(HasLine(lines, {90, 300, 87, 297}));
}

TEST(ListingPage, BranchesAreLeftOutWhenJumpsAreHiddenOrFar) {
    Page p(0x1000);
    p.Branch(0x04, 0x10);
    TestDoc::Options(*p.doc).viewJumps = 0;
    p.Paint();
    EXPECT_TRUE(p.Lines().empty());
    TestDoc::Options(*p.doc).viewJumps = 1;
    p.Branch(0x04, 0x04 + 1000);  // |t - o| must stay below 1000
    p.Paint();
    EXPECT_TRUE(p.Lines().empty());
}

TEST(ListingPage, BitmapStripsAndTheCursorByte) {
    Page p;
    TestDoc::Options(*p.doc).bitmapWidth = 10;
    p.state.topOffset = 0x20;
    p.state.cursorRow = 2;  // cursor on 0x22
    TestDoc::Image(*p.doc)[0x22] = 0x81;
    TestDoc::Image(*p.doc)[0x23] = 0x01;
    p.Paint(400, 300);
    ASSERT_EQ(p.paint.draw.cells.size(), 2u);
    const DrawCells& pages = p.paint.draw.cells[0];
    const DrawCells& bytes = p.paint.draw.cells[1];
    // Byte strip: 24 pixels at the right edge, one byte per 3 pixels while y < 297.
    EXPECT_EQ(bytes.x, 376);
    EXPECT_EQ(bytes.cols, 8);
    EXPECT_EQ(bytes.rows, 99);
    const uint32_t red = PackRgb(kRed), pink = PackRgb(kBitmapCursorClear);
    const uint32_t black = PackRgb(kBlack), white = PackRgb(kWhite);
    // Row 2 is the byte at 0x22 (the cursor's): bit 0 at the right edge.
    EXPECT_EQ(bytes.At(7, 2), red);
    EXPECT_EQ(bytes.At(0, 2), red);
    EXPECT_EQ(bytes.At(3, 2), pink);
    EXPECT_EQ(bytes.At(7, 3), black);
    EXPECT_EQ(bytes.At(6, 3), white);
    // Page strip: 30 pixels wide from 57 pixels left of the right edge; bands of 24.
    EXPECT_EQ(pages.x, 400 - 57);
    EXPECT_EQ(pages.cols, 10);
    EXPECT_EQ(pages.rows, 8 * 13);
    EXPECT_EQ(pages.At(2, 0), red);   // byte 0x22, bit 0 at the top
    EXPECT_EQ(pages.At(2, 7), red);   // bit 7
    EXPECT_EQ(pages.At(2, 1), pink);  // bit 1
    EXPECT_EQ(pages.At(3, 0), black);
    EXPECT_EQ(pages.At(3, 8), white);  // band 1 starts at byte 0x20 + 10
}

TEST(ListingPage, BitmapPastTheImageEndAndHidden) {
    Page p(0x40);
    TestDoc::Options(*p.doc).bitmapWidth = 10;
    p.state.topOffset = 0x30;
    p.Paint(400, 300);
    const DrawCells& bytes = p.paint.draw.cells.at(1);
    EXPECT_NE(bytes.At(0, 15), DrawCells::kNoCell);
    EXPECT_EQ(bytes.At(0, 16), DrawCells::kNoCell);

    TestDoc::Options(*p.doc).bitmapWidth = -7;
    p.Paint(400, 300);
    EXPECT_TRUE(p.paint.draw.cells.empty());
}

TEST(ListingPage, TheListingStopsAtEndOfFile) {
    Page p(0x20);
    p.state.topOffset = 0;
    p.state.cursorRow = 30;
    p.Paint(400, 600);
    ASSERT_EQ(p.paint.rows.size(), 17u);
    EXPECT_EQ(p.Row(16).text, kEndOfFile);
    EXPECT_EQ(p.state.rowCount, 17);
    EXPECT_EQ(p.state.cursorRow, 17);
    // The row found too late for this paint carries the cursor from the next one on.
    p.Paint(400, 600);
    EXPECT_EQ(p.Row(16).background, kCyan);
}

TEST(ListingPage, ATallWindowPaintsEveryRow) {
    Page p(0x1000);
    p.state.topOffset = 0;
    p.state.cursorRow = 560;
    p.Branch(0x440, 0x460);  // rows 544..560
    TestDoc::Options(*p.doc).bitmapWidth = 7;
    p.Paint(800, 9000);
    ASSERT_EQ(p.paint.rows.size(), 599u);
    EXPECT_EQ(p.Row(598).y, 8970);
    EXPECT_EQ(p.Row(598).text, GetLineText(*p.doc, 2 * 598, 0));
    EXPECT_EQ(p.state.bottomOffset, 2u * 598);
    EXPECT_EQ(p.Row(559).background, kCyan);
    EXPECT_EQ(p.state.cursorOffset, 2u * 559);
    EXPECT_TRUE(HasLine(p.Lines(), {90, 544 * 15 + 7, 90, 560 * 15 + 7}));
    EXPECT_EQ(p.paint.draw.cells.at(1).rows, 2999);
}

TEST(ListingPage, ScrollBarAndExplanationBox) {
    Page p(0x10000);
    p.state.topOffset = 0x8000;
    p.state.cursorRow = 4;
    p.Paint(400, 300);
    EXPECT_EQ(p.paint.scrollMax, 32000);
    EXPECT_EQ(p.paint.scrollPos, 16000);
    EXPECT_FALSE(p.paint.explanationShown);

    TestDoc::Texts(*p.doc, DocEdit::TextKind::kExplanation).Set(0x8006 / 2, "Why");
    p.Paint(400, 300);
    EXPECT_TRUE(p.paint.explanationShown);
    EXPECT_EQ(p.paint.explanationText, "Why");
    EXPECT_EQ(p.paint.explanationY, 60);  // the cursor row's
    EXPECT_TRUE(p.paint.explanationReadOnly);

    p.state.editingExplanation = 1;
    p.Paint(400, 300);
    EXPECT_TRUE(p.paint.explanationShown);
    EXPECT_FALSE(p.paint.explanationSetText);
    EXPECT_FALSE(p.paint.explanationReadOnly);
    EXPECT_TRUE(p.paint.explanationFocus);
}

TEST(ListingPage, GoToOffset) {
    struct Case {
        const char* name;
        int64_t offset;
        bool force;
        int32_t top, topSub, pending, cursorRow;
    };
    // The page shows 0x100..0x124 (19 rows) with the cursor on row 4; 0x40 starts a
    // routine and 0x81 is the middle of a four-byte item at 0x80.
    const Case cases[] = {
        {"on the page", 0x110, false, 0x100, 0, 0x110, 4},
        {"near the page edge", 0x102, false, 0xFC, 0, -1, 4},
        {"forced", 0x110, true, 0x10A, 0, -1, 4},
        {"inside an item", 0x83, true, 0x7A, 0, -1, 4},
        {"below a header", 0x44, true, 0x40, -1, -1, 4},
        {"near the start", 0x02, true, 0, 0, -1, 2},
        {"past the end", 0x400, true, 0x100, 0, -1, 4},
        {"negative", -2, true, 0x100, 0, -1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Page p;
        TestDoc::Flags(*p.doc)[0x40 / 2] |= flagbits::kRoutineStart;
        p.Join(0x80);
        p.state.topOffset = 0x100;
        p.state.cursorRow = 4;
        p.Paint();
        GoToOffset(*p.doc, p.state, c.offset, c.force);
        EXPECT_EQ(p.state.topOffset, c.top);
        EXPECT_EQ(p.state.topSubLine, c.topSub);
        EXPECT_EQ(p.state.pendingCursor, c.pending);
        EXPECT_EQ(p.state.cursorRow, c.cursorRow);
    }
}

}  // namespace
