// The printed pages' model: where columns and pages start and end, what each pass
// draws where and in which font, and how a job ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "listing/LineText.h"
#include "listing/ListingFixture.h"
#include "listing/PrintLayout.h"

namespace {

// An A4-like printable area: 2000 wide, lines at y = 0, -20, ..., -2820 (142 a column).
constexpr PrintRect kA4{0, 0, 2000, -2870};
constexpr int kLinesPerColumn = 142;

struct Printout : ListingFixture {
    explicit Printout(uint32_t size = 0x800) : ListingFixture(size) {
        TestDoc::Options(*doc).bitmapWidth = -7;
        Select(0, size - 1);
    }
    void Select(uint32_t start, uint32_t end) { doc->SetSelection(start, end); }
    void Branch(uint32_t from, uint32_t to) {
        const int32_t delta = (static_cast<int32_t>(to) - static_cast<int32_t>(from) - 4) / 2;
        Half(from, static_cast<uint16_t>(0xE000 | (delta & 0x7FF)));
        TestDoc::JumpCodes(*doc)[from / 2] = CTravikDoc::kJumpBranch;
    }
    // Prints pages 1..n of a fresh job; the drawing and columns of page n.
    const DrawList& Page(int n, int columns = 2, PrintRect area = kA4) {
        job = std::make_unique<PrintJob>(*doc, columns, area, width);
        job->Begin();
        for (int p = 1; p <= n; ++p) {
            EXPECT_TRUE(job->Continues(p)) << "page " << p;
            job->PrintPage(p, draw);
        }
        return draw;
    }
    const DrawText* TextAt(int x, int y) const {
        for (const DrawText& t : draw.texts)
            if (t.x == x && t.y == y) return &t;
        return nullptr;
    }
    bool HasLine(DrawLine want) const {
        return std::any_of(draw.lines.begin(), draw.lines.end(), [&](const DrawLine& l) {
            return l.x1 == want.x1 && l.y1 == want.y1 && l.x2 == want.x2 && l.y2 == want.y2;
        });
    }

    std::unique_ptr<PrintJob> job;
    DrawList draw;
    PrintTextWidth width;
};

TEST(PrintLayout, TwoColumnsContinueEachOtherAndTheNextPageContinuesTheSecond) {
    Printout p;
    p.Page(1);
    const auto& cols = p.job->Columns();
    ASSERT_EQ(cols.size(), 2u);
    EXPECT_EQ(cols[0].left, 0);
    EXPECT_EQ(cols[0].right, 990);
    EXPECT_EQ(cols[1].left, 1000);
    EXPECT_EQ(cols[1].right, 1990);
    ASSERT_EQ(cols[0].lines.size(), size_t{kLinesPerColumn});
    EXPECT_EQ(cols[0].lines.back().y, -2820);
    // The second column starts with the item after the first column's last one.
    EXPECT_EQ(cols[1].start, 2 * kLinesPerColumn);
    const DrawText* top = p.TextAt(1110, 0);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->text, GetLineText(*p.doc, 2 * kLinesPerColumn, 0));
    EXPECT_EQ(top->font, FontId::kPrintListing);
    EXPECT_EQ(p.job->nextStart, 4 * kLinesPerColumn);

    p.Page(2);
    EXPECT_EQ(p.job->pageStart, 4 * kLinesPerColumn);
    EXPECT_EQ(p.job->Columns()[0].start, 4 * kLinesPerColumn);
    ASSERT_NE(p.TextAt(110, 0), nullptr);
    EXPECT_EQ(p.TextAt(110, 0)->text, GetLineText(*p.doc, 4 * kLinesPerColumn, 0));
}

TEST(PrintLayout, PageCountFollowsTheSelection) {
    Printout p;  // 1024 items and "End of File": 1025 lines, 284 a page
    const struct {
        uint32_t start, end;
        int columns;
        int pages;
    } cases[] = {
        {0, 0x7FF, 2, 4},   {0, 0x7FF, 1, 8},
        {0, 0x7FF, 10, 1},  {0, 2 * 284 - 2, 2, 1},  // exactly one page: no blank page after it
        {0, 2 * 284, 2, 2}, {0x100, 0x140, 2, 1},
    };
    for (const auto& c : cases) {
        p.Select(c.start, c.end);
        EXPECT_EQ(CountPrintPages(*p.doc, c.columns, kA4), c.pages)
            << std::hex << c.start << ".." << c.end << " in " << std::dec << c.columns;
    }
}

TEST(PrintLayout, EmptyOrUnusableSelectionPrintsTheMessageOnOnePage) {
    Printout p;
    const struct {
        uint32_t start, end;
    } cases[] = {
        {0x40, 0x40},        // nothing selected
        {0x300, 0x200},      // start after end
        {0xFFFFFFFF, 0x10},  // P on the first line: start before offset 0
        {0x900, 0x1000},     // beyond the image
    };
    for (const auto& c : cases) {
        p.Select(c.start, c.end);
        int pages = 0;
        PrintPages(*p.doc, 2, kA4, [&](int, const DrawList& d) {
            ++pages;
            EXPECT_EQ(d.texts.size(), 1u);
            EXPECT_EQ(d.texts.at(0).text, kPrintNoArea);
            EXPECT_EQ(d.texts.at(0).x, 10);
            EXPECT_EQ(d.texts.at(0).y, -10);
            return true;
        });
        EXPECT_EQ(pages, 1) << std::hex << c.start;
    }
}

TEST(PrintLayout, SelectionBeginsWithTheFirstItemStartingInIt) {
    Printout p;
    p.Join(0x20);  // 0x20..0x23 is one item
    // An odd start, one inside an item, and the last halfword.
    for (const auto& [start, first] : {std::pair{0x1Fu, 0x20}, {0x21u, 0x24}, {0x7FEu, 0x7FE}}) {
        p.Select(start, 0x7FF);
        p.Page(1);
        EXPECT_EQ(p.job->Columns()[0].lines.front().offset, first) << std::hex << start;
    }
}

TEST(PrintLayout, AColumnEndingInsideAnOffsetStartsTheNextWithThatOffsetAgain) {
    Printout p;
    // The first column's last line is the header separator of 0x11A.
    const uint32_t split = 2 * (kLinesPerColumn - 1);
    TestDoc::Flags(*p.doc)[split / 2] |= flagbits::kRoutineStart;
    TestDoc::Header(*p.doc, split, "Routine");
    p.Page(1);
    const auto& cols = p.job->Columns();
    EXPECT_EQ(cols[0].lines.back().offset, split);
    EXPECT_EQ(cols[0].lines.back().subLine, -1);
    EXPECT_EQ(cols[1].start, split);
    EXPECT_EQ(cols[1].lines.front().subLine, -1);
    for (int x : {620, 1620}) {
        const DrawText* header = p.TextAt(x, x == 620 ? -2820 : 0);
        ASSERT_NE(header, nullptr) << x;
        EXPECT_EQ(header->text, "Routine");
        EXPECT_EQ(header->font, FontId::kPrintHeader);
    }
}

TEST(PrintLayout, AnnotationsStandBesideTheirLinesInThePrintFonts) {
    Printout p;
    TestDoc::Flags(*p.doc)[0x10 / 2] |= flagbits::kRoutineStart;
    TestDoc::Flags(*p.doc)[0x14 / 2] |= flagbits::kRoutineEnd;
    TestDoc::Header(*p.doc, 0x10, "head");
    TestDoc::Note(*p.doc, 0x12, "note");
    TestDoc::Footer(*p.doc, 0x14, "foot");
    p.Select(0x0C, 0x40);
    p.Page(1, 1);
    // Lines: 0C, 0E, header 10, 10, 12, 14, footer 14, ...
    const struct {
        int line;
        const char* text;
        FontId font;
    } cases[] = {
        {2, "head", FontId::kPrintHeader},
        {4, "note", FontId::kPrintNote},
        {6, "foot", FontId::kPrintFooter},
    };
    for (const auto& c : cases) {
        const DrawText* t = p.TextAt(620, -20 * c.line);
        ASSERT_NE(t, nullptr) << c.text;
        EXPECT_EQ(t->text, c.text);
        EXPECT_EQ(t->font, c.font);
    }
    EXPECT_EQ(p.TextAt(110, -40)->text, kHeaderSeparator);
    EXPECT_EQ(p.TextAt(110, -120)->text, kFooterSeparator);
}

TEST(PrintLayout, LongTextsAreCutAtTheirColumnsRightEdge) {
    Printout p;
    TestDoc::Flags(*p.doc)[0x10 / 2] |= flagbits::kRoutineStart;
    TestDoc::Header(*p.doc, 0x10, std::string(200, 'H'));                   // first column
    TestDoc::Note(*p.doc, 2 * kLinesPerColumn + 4, std::string(200, 'N'));  // second column
    const PrintTextWidth tenEach = [](FontId, std::string_view t) { return 10.0 * t.size(); };
    for (const PrintTextWidth& width : {PrintTextWidth{}, tenEach}) {
        p.width = width;
        p.Page(1);
        for (const DrawText& t : p.draw.texts) {
            const double w = width ? width(t.font, t.text)
                                   : 0.6 * FontFaceOf(t.font).pixelHeight * t.text.size();
            EXPECT_LE(t.x + w, t.x < 1000 ? 990 : 1990) << t.text;
        }
    }
    // 370 units from the annotation's x to the column's right edge: 37 characters.
    const DrawText* header = p.TextAt(620, -160);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->text, std::string(37, 'H'));
    const auto note = std::find_if(p.draw.texts.begin(), p.draw.texts.end(),
                                   [](const DrawText& t) { return t.font == FontId::kPrintNote; });
    ASSERT_NE(note, p.draw.texts.end());
    EXPECT_EQ(note->x, 1620);
    EXPECT_EQ(note->text, std::string(37, 'N'));
}

TEST(PrintLayout, OnePageJobsEndAndColumnsStayWithinOneToTen) {
    Printout p(0x40);
    p.Select(0, 0xFFFFFFFF);  // to the end: stops after "End of File"
    EXPECT_EQ(CountPrintPages(*p.doc, 2, kA4), 1);
    p.Page(1);
    ASSERT_EQ(p.job->Columns().size(), 1u);  // the second column is never started
    const auto& lines = p.job->Columns()[0].lines;
    ASSERT_EQ(lines.size(), 0x20u + 1);
    EXPECT_EQ(lines.back().subLine, 2);
    EXPECT_EQ(p.job->nextStart, -1);
    EXPECT_FALSE(p.job->Continues(2));
    Printout wide(0x1000);
    wide.Page(1, 0);
    EXPECT_EQ(wide.job->Columns().size(), 1u);
    wide.Page(1, 25);
    ASSERT_EQ(wide.job->Columns().size(), 10u);
    EXPECT_EQ(wide.job->Columns()[9].left, 1800);
    // A column of one line: a routine start's header separator alone fills it.
    TestDoc::Flags(*wide.doc)[0] |= flagbits::kRoutineStart;
    EXPECT_EQ(CountPrintPages(*wide.doc, 2, PrintRect{0, 0, 2000, -30}), 1);
}

TEST(PrintLayout, BranchArrowsReachTwoThousandBytesAtMost) {
    for (const auto& [target, arrows] : {std::pair{0x10 + 1998u, true}, {0x10 + 2000u, false}}) {
        Printout p(0x1000);
        p.Branch(0x10, target);
        p.Select(0x10, 0xFFF);
        p.Page(1, 1);
        EXPECT_EQ(!p.draw.lines.empty(), arrows) << target;
    }
}

TEST(PrintLayout, ArrowShapesForTargetsBeforeInAndAfterTheColumn) {
    Printout p;
    p.Branch(0x40, 0x20);   // before the column start (0x30)
    p.Branch(0x44, 0x4C);   // inside: lines 10 -> 14
    p.Branch(0x48, 0x400);  // after the column's last line
    p.Select(0x30, 0x7FF);
    p.Page(1, 1);
    // Depth 1 (X = 90) for the two short ones, 2 (X = 80) for the long one that
    // overlaps the inner one; scale 10, heads a = 3 wide, pointing along the arrow.
    EXPECT_TRUE(p.HasLine({90, -170, 90, 0}));  // 0x40 is line 8
    EXPECT_TRUE(p.HasLine({90, 0, 87, -3}));
    EXPECT_TRUE(p.HasLine({90, -290, 105, -290}));
    EXPECT_TRUE(p.HasLine({105, -290, 102, -293}));
    EXPECT_TRUE(p.HasLine({80, -250, 80, -2870}));
    EXPECT_TRUE(p.HasLine({80, -2870, 77, -2867}));
}

TEST(PrintLayout, BitmapStripsHangFromTheTopAndStopAtTheSelectionEnd) {
    Printout p;
    p.Bytes(0x100, std::string("\x81\x02", 2));
    p.Select(0x100, 0x13F);
    p.Page(1, 1);
    EXPECT_TRUE(p.draw.cells.empty());  // hidden
    TestDoc::Options(*p.doc).bitmapWidth = 10;
    p.Page(1, 1);
    ASSERT_EQ(p.draw.cells.size(), 2u);
    const DrawCells& pages = p.draw.cells[0];
    const DrawCells& bytes = p.draw.cells[1];
    EXPECT_EQ(bytes.x, 1990 - 40);
    EXPECT_EQ(bytes.y, 0);
    EXPECT_EQ(bytes.cellW, 5);
    EXPECT_EQ(bytes.rows, 0x40);                 // one row per selected byte
    EXPECT_EQ(bytes.At(7, 0), PackRgb(kBlack));  // 0x81: bit 0 at the right edge
    EXPECT_EQ(bytes.At(1, 0), PackRgb(kWhite));
    EXPECT_EQ(pages.x, 1990 - 45 - 50);
    EXPECT_EQ(pages.cols, 10);
    EXPECT_EQ(pages.rows, 8 * 7);                // bands start at 0x100, 0x10A, ... 0x13C
    EXPECT_EQ(pages.At(0, 7), PackRgb(kBlack));  // bit 0 at the bottom of the band
    EXPECT_EQ(pages.At(1, 6), PackRgb(kBlack));  // 0x02, bit 1
}

TEST(PrintLayout, BitmapNeverReadsPastTheImage) {
    Printout p(0x40);
    TestDoc::Options(*p.doc).bitmapWidth = 84;
    p.Select(0x20, 0xFFFFFFFF);
    p.Page(1, 1);
    ASSERT_EQ(p.draw.cells.size(), 2u);
    EXPECT_EQ(p.draw.cells[1].rows, 0x20);
    const DrawCells& pages = p.draw.cells[0];
    EXPECT_EQ(pages.rows, 8);
    EXPECT_EQ(pages.At(31, 0), PackRgb(kWhite));
    EXPECT_EQ(pages.At(32, 0), DrawCells::kNoCell);
}

TEST(PrintLayout, TopDownTurnsEveryPrimitiveOver) {
    DrawList page;
    page.Text({110, -20, FontId::kPrintListing, kBlack, true, kWhite, "x"});
    page.Line({1, -2, 3, -4, kBlack});
    page.Rect({5, -30, 10, 10, kBlack});
    DrawCells cells;
    cells.y = 0;
    cells.x = 7;
    page.Cells(cells);
    const DrawList down = ToTopDown(page);
    ASSERT_EQ(down.order.size(), 4u);
    EXPECT_EQ(down.texts[0].y, 20);
    EXPECT_EQ(down.lines[0].y1, 2);
    EXPECT_EQ(down.lines[0].y2, 4);
    EXPECT_EQ(down.rects[0].y, 20);  // the rectangle from -30 up to -20
    EXPECT_EQ(down.cells[0].y, 0);
    EXPECT_EQ(down.cells[0].x, 7);
}

}  // namespace
