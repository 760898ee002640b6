// The listing window's and the printer's paint models: one representative page of
// each, every primitive compared with golden/*.txt (TRAVIK_BLESS=1 rewrites them; read
// the difference), plus the page counts and the view's moves that no picture shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "listing/ListingFixture.h"
#include "listing/ListingPage.h"
#include "listing/PrintLayout.h"

namespace {

const std::string kGolden = std::string(TRAVIK_TESTS_DIR) + "/listing/golden/";

// A listing with everything a page can show: a routine with its header, note and
// footer, nested branches and branches off the page, a joined item, breakpoints, the
// emulator's current instruction, a selection, the bitmap and an explanation.
struct Scene : ListingFixture {
    explicit Scene(uint32_t size = 0x1000) : ListingFixture(size) {
        TestDoc::Flags(*doc)[0x104 / 2] |= flagbits::kRoutineStart | flagbits::kRoutineEnd;
        TestDoc::Header(*doc, 0x104, "Head");
        TestDoc::Note(*doc, 0x104, "Note");
        TestDoc::Footer(*doc, 0x104, "Foot");
        TestDoc::Header(*doc, 0x112, std::string(200, 'H'));  // ends the first printed column
        TestDoc::Flags(*doc)[0x112 / 2] |= flagbits::kRoutineStart;
        Branch(0x102, 0x120);  // outer
        Branch(0x106, 0x110);  // inner
        Branch(0x10A, 0x0F0);  // above the page
        Branch(0x118, 0x180);  // below the page
        Branch(0x11A, 0x11A + 1000);  // too far for the window, not for paper
        Branch(0x11C, 0x11C + 998);
        Branch(0x11E, 0x11E + 2000);  // too far for paper too
        TestDoc::JumpCodes(*doc)[0x108 / 2] = CTravikDoc::kJumpLoad;
        Join(0x10C);
        for (uint32_t k = 0x124; k < 0x130; ++k) TestDoc::Image(*doc)[k] = static_cast<uint8_t>(k * 37);
        TestDoc::Options(*doc).bitmapWidth = 10;
        CEmulator& emu = TestDoc::Emulator(*doc);
        emu.r[15] = 0x200104 + 4;  // the routine with a header and a footer
        emu.runState = CEmulator::kSuspended;
        for (uint32_t o : {0x104u, 0x106u, 0x10Eu, 0x112u}) emu.SetBreakpoint(kFlashBase + o, true);
        TestDoc::Texts(*doc, DocEdit::TextKind::kExplanation).Set(0x108 / 2, "Why");
        doc->SetSelection(0x100, 0x10A);
    }
    void Branch(uint32_t from, uint32_t to) {
        const int32_t delta = (static_cast<int32_t>(to) - static_cast<int32_t>(from) - 4) / 2;
        Half(from, static_cast<uint16_t>(0xE000 | (delta & 0x7FF)));
        TestDoc::JumpCodes(*doc)[from / 2] = CTravikDoc::kJumpBranch;
    }
    std::string Paint(int w, int h) {
        ListingPaint paint;
        PaintListing(*doc, state, w, h, true, paint);
        char state_[200];
        std::snprintf(state_, sizeof state_, "state top %x/%d rows %d cursor %d at %x/%d bottom %x scroll %d %d explanation %d %s %d %d\n",
                      state.topOffset, state.topSubLine, state.rowCount, state.cursorRow, state.cursorOffset,
                      state.cursorSubLine, state.bottomOffset, paint.scrollMax, paint.scrollPos, paint.explanationShown,
                      paint.explanationText.c_str(), paint.explanationX, paint.explanationY);
        return DumpDrawList(paint.draw) + state_;
    }
    ListingViewState state;
};

TEST(PaintModel, ListingPage) {
    Scene s;
    s.state.topOffset = 0x100;
    s.state.cursorRow = 7;  // on 0x108, the current instruction with an explanation
    std::string text = "# page\n" + s.Paint(400, 300);
    // Without the current instruction, hidden jumps; the view at the image end.
    TestDoc::Emulator(*s.doc).runState = CEmulator::kStopped;
    TestDoc::Options(*s.doc).viewJumps = 0;
    s.state.topOffset = 0xFF0;
    text += "# end\n" + s.Paint(400, 300);
    RecordingFrame frame;
    CTravikDoc none(frame);
    ListingViewState state;
    ListingPaint paint;
    PaintListing(none, state, 400, 300, true, paint);
    ExpectGolden(kGolden + "listing_page.txt", text + "# no file\n" + DumpDrawList(paint.draw));
}

TEST(PaintModel, ATallWindowPaintsEveryRow) {
    ListingFixture f(0x1000);
    ListingViewState state{.topOffset = 0, .cursorRow = 560};
    ListingPaint paint;
    PaintListing(*f.doc, state, 800, 9000, true, paint);
    EXPECT_EQ(paint.rows.size(), 599u);
    EXPECT_EQ(state.cursorOffset, 2u * 559);
}

TEST(PaintModel, PrintedPages) {
    Scene s;
    s.doc->SetSelection(0xF1, 0xFFF);  // the first item starting in it is 0xF2
    std::string text;
    // Two columns of 20 lines: the second continues the first and page 2 the second.
    PrintPages(*s.doc, 2, {0, 0, 2000, -400}, [&](int page, const DrawList& d) {
        text += "# page " + std::to_string(page) + "\n" + DumpDrawList(d);
        return page < 2;
    });
    s.doc->SetSelection(0x300, 0x200);
    PrintPages(*s.doc, 2, {0, 0, 2000, -400}, [&](int, const DrawList& d) {
        text += "# nothing selected\n" + DumpDrawList(d);
        return true;
    });
    // What a painter with y downward draws: each primitive keeps its look.
    DrawList page;
    page.Rect({5, -30, 10, 10, kBlack}), page.Line({1, -2, 3, -4, kBlack}), page.Text({110, -20, FontId::kPrintListing, kBlack, true, kWhite, "x"});
    ExpectGolden(kGolden + "print_pages.txt", text + "# top down\n" + DumpDrawList(ToTopDown(page)));
}

TEST(PaintModel, PageCountFollowsTheSelectionAndColumns) {
    ListingFixture f(0x800);  // 1024 items and "End of File": 1025 lines, 284 a page
    constexpr PrintRect kA4{0, 0, 2000, -2870};
    const struct {
        uint32_t start, end;
        int columns, pages;
    } cases[] = {{0, 0x7FF, 2, 4},     {0, 0x7FF, 1, 8},     {0, 0x7FF, 10, 1}, {0, 0x7FF, 25, 1},
                 {0, 0x7FF, 0, 8},     {0, 2 * 284 - 2, 2, 1}, {0, 2 * 284, 2, 2}, {0x40, 0x40, 2, 1},
                 {0x900, 0x1000, 2, 1}, {0x3E, 0xFFFFFFFF, 1, 7}};
    for (const auto& c : cases) {
        f.doc->SetSelection(c.start, c.end);
        EXPECT_EQ(CountPrintPages(*f.doc, c.columns, kA4), c.pages)
            << std::hex << c.start << ".." << c.end << " in " << std::dec << c.columns;
    }
    // Columns of 7 lines: 70 a page at the most columns, 1025 lines in 15 pages.
    f.doc->SetSelection(0, 0x7FF);
    EXPECT_EQ(CountPrintPages(*f.doc, 25, {0, 0, 2000, -170}), 15);
}

TEST(PaintModel, GoToOffset) {
    // The page shows 0x100..0x124 (19 rows) with the cursor on row 4; 0x40 starts a
    // routine and 0x81 is the middle of a four-byte item at 0x80. Offset, forced, and
    // then top, its sub-line, the pending cursor and the cursor row.
    const std::vector<int64_t> cases[] = {
        {0x110, 0, 0x100, 0, 0x110, 4}, {0x102, 0, 0xFC, 0, -1, 4}, {0x110, 1, 0x10A, 0, -1, 4},
        {0x83, 1, 0x7A, 0, -1, 4},      {0x44, 1, 0x40, -1, -1, 4}, {0x02, 1, 0, 0, -1, 2},
        {0x400, 1, 0x100, 0, -1, 4},    {-2, 1, 0x100, 0, -1, 4}};
    for (const std::vector<int64_t>& c : cases) {
        ListingFixture f;
        TestDoc::Flags(*f.doc)[0x40 / 2] |= flagbits::kRoutineStart;
        f.Join(0x80);
        ListingViewState state;
        state.topOffset = 0x100;
        state.cursorRow = 4;
        ListingPaint paint;
        PaintListing(*f.doc, state, 400, 300, true, paint);
        GoToOffset(*f.doc, state, c[0], c[1] != 0);
        EXPECT_EQ((std::vector<int64_t>{c[0], c[1], state.topOffset, state.topSubLine, state.pendingCursor, state.cursorRow}), c);
    }
}

}  // namespace
