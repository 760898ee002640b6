// The listing window's keys, mouse, wheel and scroll bar, driven through the core's
// handlers with a paint between actions as the window does. One script; after each
// action the view state, the effect and the document's marks are logged and the log is
// compared with golden/listing_keys.txt (TRAVIK_BLESS=1 rewrites it; read the diff).
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "listing/ListingFixture.h"
#include "listing/ListingKeys.h"
#include "listing/ListingPage.h"

namespace {

constexpr int kWidth = 800, kHeight = 465;  // 30 rows

// A BL pair at `from` calling `to`, as the analysis marks it.
void Call(ListingFixture& f, uint32_t from, uint32_t to) {
    const uint32_t off = (to - from - 4) / 2;
    f.Half(from, static_cast<uint16_t>(0xF000 | ((off >> 11) & 0x7FF)));
    f.Half(from + 2, static_cast<uint16_t>(0xF800 | (off & 0x7FF)));
    f.Join(from);
    TestDoc::JumpCodes(*f.doc)[from / 2] = CTravikDoc::kJumpCall;
}

TEST(ListingKeys, ScriptedSession) {
    ListingFixture f(0x800);
    Call(f, 0x10, 0x200);
    Call(f, 0x120, 0x400);
    Call(f, 0x300, 0x400);
    TestDoc::Header(*f.doc, 0x40, "entry");
    TestDoc::Flags(*f.doc)[0x20] |= flagbits::kUserMark;
    TestDoc::Options(*f.doc).bitmapWidth = 10;
    ListingViewState state;
    ListingPaint paint;
    ListingInputState input;
    auto repaint = [&] { PaintListing(*f.doc, state, kWidth, kHeight, true, paint); };
    repaint();
    using enum ListingKey;
    const std::map<std::string, ListingKey> keys = {
        {"down", kDown}, {"up", kUp}, {"pgdn", kPageDown}, {"pgup", kPageUp}, {"home", kHome}, {"end", kEnd},
        {"right", kRight}, {"left", kLeft}, {"f11", kF11}, {"f12", kF12}, {"p", kP}, {"w", kW}, {"0", k0},
        {"a", kA}, {"2", k2}, {"h", kH}, {"f", kF}, {"t", kT}};
    // ^ Ctrl, + Shift, *N repeats; go OFFSET, click X Y, drag X, wheel D, thumb, why.
    const char* script[] = {
        "down*8", "down*5", "^down", "^up", "up*30", "pgdn", "pgdn", "pgup", "end", "pgdn", "down",
        "home", "up", "go 10", "right", "left", "^right", "left", "right", "go 400", "f11", "f12",
        "f11", "f11", "go 0", "f12", "go 100", "p", "go 200", "+p", "go 1f0", "+p", "^0", "^+0", "go 60",
        "a", "2", "h", "f", "t", "go 40", "w", "down", "down", "why", "click 200 44", "drag 710",
        "drag -5000", "drag 5000", "wheel 120", "wheel -60", "wheel -60", "thumb 1024",
    };
    std::string log;
    for (const char* line : script) {
        std::istringstream in(line);
        std::string action, arg, arg2;
        in >> action >> arg >> arg2;
        const int value = arg.empty() ? 0 : std::stoi(arg, nullptr, action == "go" ? 16 : 10);
        const bool ctrl = action[0] == '^' && (action.erase(0, 1), true);
        const bool shift = action[0] == '+' && (action.erase(0, 1), true);
        int times = 1;
        if (const size_t star = action.find('*'); star != std::string::npos) {
            times = std::stoi(action.substr(star + 1));
            action.resize(star);
        }
        const uint32_t before = state.cursorOffset;
        ListingEffect e;
        if (action == "go") {
            GoToOffset(*f.doc, state, value, true);
        } else if (action == "click") {
            e = ListingMouseDown(*f.doc, state, input, value, std::stoi(arg2), kWidth);
        } else if (action == "drag") {
            ListingMouseDown(*f.doc, state, input, kWidth - 50, 100, kWidth);
            e = ListingMouseMove(*f.doc, state, input, value, true, kWidth);
            ListingMouseMove(*f.doc, state, input, value, false, kWidth);
        } else if (action == "wheel") {
            e = ListingWheel(*f.doc, state, input, value);
        } else if (action == "thumb") {
            e = ListingScroll(*f.doc, state, ScrollRequest::kThumb, value, 1024);
        } else if (action == "why") {
            e = CommitExplanation(*f.doc, state, "why");
        } else {
            for (int i = 0; i < times; ++i, repaint()) e = ListingKeyDown(*f.doc, state, keys.at(action), ctrl, shift);
        }
        repaint();
        char text[200];
        const uint32_t at = state.cursorOffset;
        std::snprintf(text, sizeof text,
                      "%-12s top %x/%d row %d/%d cursor %x/%d anchor %.4f sel %x-%x flags %02x %02x "
                      "width %d tracks %zu%s%s%s\n",
                      line, state.topOffset, state.topSubLine, state.cursorRow, state.rowCount, at,
                      state.cursorSubLine, state.anchorFraction, f.doc->SelectionStart(),
                      f.doc->SelectionEnd(), f.doc->Flags()[before / 2], f.doc->Flags()[at / 2], f.doc->Options().bitmapWidth,
                      TestDoc::Emulator(*f.doc).callTracks[0].size(), e.beep ? " beep" : "",
                      e.refreshCallStack ? " calls" : "", e.repaintView ? " repaint" : "");
        log += text;
    }
    for (uint32_t item = 0; item < 0x800 / 2; item += 8)
        log += (f.doc->Flags()[item] & flagbits::kTypeMask) == itemtype::kData16 ? 'D' : '.';
    log += "\nexplanation at 0x40: " + std::string(f.doc->Explanations().Find(0x20) ? *f.doc->Explanations().Find(0x20) : "none");
    for (const std::string& entry : f.frame.jumpList) log += "\njump list: " + entry;
    ExpectGolden(std::string(TRAVIK_TESTS_DIR) + "/listing/golden/listing_keys.txt", log + "\n");
}

}  // namespace
