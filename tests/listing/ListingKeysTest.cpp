// The listing window's keys, mouse, wheel and scroll bar, driven through the core's
// handlers with a paint between actions, as the window does.
#include <gtest/gtest.h>

#include "listing/ListingFixture.h"
#include "listing/ListingKeys.h"
#include "listing/ListingPage.h"

namespace {

// A 465-pixel-high window shows 30 rows.
constexpr int kWidth = 800;
constexpr int kHeight = 465;

struct Window : ListingFixture {
    explicit Window(uint32_t size = 0x400) : ListingFixture(size) { Paint(); }
    void Paint() { PaintListing(*doc, state, kWidth, kHeight, true, paint); }
    ListingEffect Key(ListingKey key, bool ctrl = false, bool shift = false) {
        const ListingEffect e = ListingKeyDown(*doc, state, key, ctrl, shift);
        Paint();
        return e;
    }
    // A BL pair at `from` calling `to`, as the analysis marks it.
    void Call(uint32_t from, uint32_t to) {
        const uint32_t off = (to - from - 4) / 2;
        Half(from, static_cast<uint16_t>(0xF000 | ((off >> 11) & 0x7FF)));
        Half(from + 2, static_cast<uint16_t>(0xF800 | (off & 0x7FF)));
        Join(from);
        TestDoc::JumpCodes(*doc)[from / 2] = CTravikDoc::kJumpCall;
    }
    ListingViewState state;
    ListingPaint paint;
    ListingInputState input;
};

TEST(ListingKeys, DownWalksToTheAnchorThenScrollsThenMovesAgainAtTheEnd) {
    Window w(0x100);  // 128 items, no separators
    ASSERT_EQ(w.state.rowCount, 30);
    for (int i = 0; i < 8; ++i) w.Key(ListingKey::kDown);
    EXPECT_EQ(w.state.cursorRow, 9);
    EXPECT_EQ(w.state.topOffset, 0);
    for (int i = 0; i < 5; ++i) w.Key(ListingKey::kDown);
    EXPECT_EQ(w.state.cursorRow, 9);
    EXPECT_EQ(w.state.topOffset, 10);
    EXPECT_EQ(w.state.cursorOffset, 10u + 16);
    // The page scrolls until the last item is the top line; the cursor stays on the
    // page, which ends with "End of File", and the next Down leaves the top alone.
    for (int i = 0; i < 200 && w.state.topOffset < 0xFE; ++i) w.Key(ListingKey::kDown);
    ASSERT_EQ(w.state.topOffset, 0xFE);
    w.Key(ListingKey::kDown);
    EXPECT_EQ(w.state.topOffset, 0xFE);
    EXPECT_EQ(w.state.cursorRow, w.state.rowCount);
    EXPECT_EQ(w.state.cursorSubLine, 2);

    // Ctrl moves the anchor by a row: Ctrl+Down from A = 9 gives 10/30.
    Window c(0x100);
    c.Key(ListingKey::kDown, true);
    EXPECT_FLOAT_EQ(c.state.anchorFraction, 10.0f / 30 + 0.0001f);
    c.Key(ListingKey::kUp, true);
    EXPECT_FLOAT_EQ(c.state.anchorFraction, 9.0f / 30 + 0.0001f);
}

TEST(ListingKeys, UpStopsAtTheFirstLineAndPagesKeepTheCursorRow) {
    Window w(0x400);
    w.Key(ListingKey::kUp);
    EXPECT_EQ(w.state.cursorRow, 1);
    EXPECT_EQ(w.state.topOffset, 0);
    w.Key(ListingKey::kPageDown);
    EXPECT_EQ(w.state.topOffset, 2 * 29);
    w.Key(ListingKey::kPageDown);
    w.Key(ListingKey::kPageUp);
    EXPECT_EQ(w.state.topOffset, 2 * 29);
    w.Key(ListingKey::kEnd);
    EXPECT_EQ(w.state.topOffset, 0x3FE);
    w.Key(ListingKey::kPageDown);  // never past "End of File"
    EXPECT_EQ(w.state.topSubLine, 2);
    w.Key(ListingKey::kHome);
    EXPECT_EQ(w.state.topOffset, 0);
    EXPECT_EQ(w.state.cursorRow, 1);
}

TEST(ListingKeys, FollowRecordsTheWayBackAndCtrlFollowsWithoutIt) {
    Window w;
    w.Call(0x10, 0x200);
    for (int i = 0; i < 8; ++i) w.Key(ListingKey::kDown);
    ASSERT_EQ(w.state.cursorOffset, 0x10u);
    const ListingEffect e = w.Key(ListingKey::kRight);
    EXPECT_TRUE(e.refreshCallStack);
    EXPECT_EQ(w.state.cursorOffset, 0x200u);
    EXPECT_EQ(w.state.cursorRow, 9);
    ASSERT_EQ(TestDoc::Emulator(*w.doc).callTracks[0].size(), 1u);
    EXPECT_EQ(TestDoc::Emulator(*w.doc).callTracks[0][0].callSite, 0x10u);
    EXPECT_EQ(TestDoc::Emulator(*w.doc).callTracks[0][0].target, 0x200u);

    EXPECT_TRUE(w.Key(ListingKey::kLeft).refreshCallStack);
    EXPECT_EQ(w.state.cursorOffset, 0x10u);
    EXPECT_TRUE(TestDoc::Emulator(*w.doc).callTracks[0].empty());

    EXPECT_FALSE(w.Key(ListingKey::kRight, true).refreshCallStack);
    EXPECT_EQ(w.state.cursorOffset, 0x200u);
    EXPECT_TRUE(w.Key(ListingKey::kLeft).beep);
    EXPECT_EQ(w.state.cursorOffset, 0x200u);
    // No target: a beep and nothing else.
    EXPECT_TRUE(w.Key(ListingKey::kRight).beep);
    EXPECT_TRUE(TestDoc::Emulator(*w.doc).callTracks[0].empty());
}

TEST(ListingKeys, ReferrersCycleAndWrap) {
    Window w(0x800);
    w.Call(0x120, 0x400);
    w.Call(0x300, 0x400);
    GoToOffset(*w.doc, w.state, 0x400, true);
    w.Paint();
    ASSERT_EQ(w.state.cursorOffset, 0x400u);
    EXPECT_TRUE(w.Key(ListingKey::kF11).beep);  // nothing remembered yet
    w.Key(ListingKey::kF12);
    EXPECT_EQ(w.state.cursorOffset, 0x120u);
    w.Key(ListingKey::kF11);
    EXPECT_EQ(w.state.cursorOffset, 0x300u);
    w.Key(ListingKey::kF11);
    EXPECT_EQ(w.state.cursorOffset, 0x120u);
    // Halfwords without targets are no referrers of offset 0.
    GoToOffset(*w.doc, w.state, 0, true);
    w.Paint();
    EXPECT_TRUE(w.Key(ListingKey::kF12).beep);
}

TEST(ListingKeys, SelectionMarks) {
    const struct {
        std::vector<std::pair<uint32_t, bool>> marks;  // cursor offset, Shift
        uint32_t start, end;
    } cases[] = {
        {{{0x100, false}}, 0x100, 0x101},
        {{{0x100, false}, {0x200, true}}, 0x100, 0x200},
        {{{0x200, true}}, 0x1FF, 0x200},
    };
    for (const auto& c : cases) {
        Window w;
        for (const auto& [offset, shift] : c.marks) {
            GoToOffset(*w.doc, w.state, offset, true);
            w.Paint();
            w.Key(ListingKey::kP, false, shift);
        }
        EXPECT_EQ(w.doc->SelectionStart(), c.start);
        EXPECT_EQ(w.doc->SelectionEnd(), c.end);
    }
}

TEST(ListingKeys, CtrlShiftZeroMakesSixtyFiveSixteenByteItems) {
    Window w(0x800);
    w.Key(ListingKey::k0, true, true);
    for (uint32_t item = 0; item < 65; ++item)
        ASSERT_EQ(w.doc->Flags()[item * 8] & flagbits::kTypeMask, itemtype::kData16) << item;
    EXPECT_EQ(w.doc->Flags()[65 * 8] & flagbits::kTypeMask, itemtype::kThumb);
    // Ctrl+0 does the cursor item and ten more.
    Window ten(0x800);
    ten.Key(ListingKey::k0, true, false);
    EXPECT_EQ(ten.doc->Flags()[10 * 8] & flagbits::kTypeMask, itemtype::kData16);
    EXPECT_EQ(ten.doc->Flags()[11 * 8] & flagbits::kTypeMask, itemtype::kThumb);
}

TEST(ListingKeys, ExplanationGoesToTheItemWWasPressedOnAndItsJumpEntryReadsExplained) {
    Window w;
    TestDoc::Header(*w.doc, 0x40, "entry");
    TestDoc::Flags(*w.doc)[0x20] |= flagbits::kUserMark;
    GoToOffset(*w.doc, w.state, 0x40, true);
    w.Paint();
    w.Key(ListingKey::kW);
    w.Key(ListingKey::kDown);
    w.Key(ListingKey::kDown);
    ASSERT_NE(w.state.cursorOffset, 0x40u);
    CommitExplanation(*w.doc, w.state, "why");
    ASSERT_NE(w.doc->Explanations().Find(0x20), nullptr);
    EXPECT_EQ(*w.doc->Explanations().Find(0x20), "why");
    EXPECT_EQ(w.doc->Explanations().Find(w.state.cursorOffset / 2), nullptr);
    EXPECT_EQ(w.frame.jumpList, std::vector<std::string>{"00000040 > entry"});
}

TEST(ListingMouse, ClickPlacesTheCursorRowAndTheAnchor) {
    Window w;
    ListingMouseDown(*w.doc, w.state, w.input, 200, 44, kWidth);
    EXPECT_EQ(w.state.cursorRow, 3);
    EXPECT_FLOAT_EQ(w.state.anchorFraction, 3.0f / 30 + 0.0001f);
}

TEST(ListingMouse, BitmapDragWidensByAByteEveryThreePixelsWithinItsLimits) {
    const struct {
        int moveTo;
        int width;
    } cases[] = {{kWidth - 50 - 30, 20}, {kWidth + 500, 5}, {-5000, 84}};
    for (const auto& c : cases) {
        Window w;
        TestDoc::Options(*w.doc).bitmapWidth = 10;
        ListingMouseDown(*w.doc, w.state, w.input, kWidth - 50, 100, kWidth);
        ASSERT_TRUE(w.input.dragging);
        ListingMouseMove(*w.doc, w.state, w.input, c.moveTo, true, kWidth);
        EXPECT_EQ(w.doc->Options().bitmapWidth, c.width);
        EXPECT_EQ(settings::Read(w.frame.settings, settings::kViewBitmap), c.width);
        // A move without the button ends the drag.
        ListingMouseMove(*w.doc, w.state, w.input, c.moveTo, false, kWidth);
        EXPECT_FALSE(w.input.dragging);
    }
}

TEST(ListingMouse, WheelNotchesAndHalfNotches) {
    Window w;
    GoToOffset(*w.doc, w.state, 0x100, true);
    w.Paint();
    const int32_t top = w.state.topOffset;
    ListingWheel(*w.doc, w.state, w.input, 120);
    EXPECT_EQ(w.state.topOffset, top - 2);
    EXPECT_FALSE(ListingWheel(*w.doc, w.state, w.input, -60).repaintView);
    EXPECT_EQ(w.state.topOffset, top - 2);
    ListingWheel(*w.doc, w.state, w.input, -60);
    EXPECT_EQ(w.state.topOffset, top);
}

TEST(ListingScrollBar, ThumbAtTheEndShowsTheLastTwentyBytesFromAnItemStart) {
    Window w(0x400);
    w.doc->Apply(ItemTypeEdit(*w.doc, 0x3E8, itemtype::kData16, true));  // 0x3EC is inside it
    ListingScroll(*w.doc, w.state, ScrollRequest::kThumb, 1024, 1024);
    EXPECT_EQ(w.state.topOffset, 0x3F8);  // 0x400 - 20 = 0x3EC, moved on to 0x3F8
    EXPECT_EQ(w.state.topSubLine, 0);
}

}  // namespace
