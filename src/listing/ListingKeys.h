#pragma once

#include <cstdint>
#include <string>

#include "listing/ListingPage.h"

class CTravikDoc;

// The keys a listing window acts on; the window translates its platform's key codes.
enum class ListingKey {
    kOther,
    kPageUp,
    kPageDown,
    kHome,
    kEnd,
    kUp,
    kDown,
    kRight,
    kLeft,
    kF11,
    kF12,
    kA,  // ARM code
    kT,  // THUMB code
    k2,  // data items of 2, 4, 8, 12 and 16 bytes
    k4,
    k8,
    k9,
    k0,
    kH,  // routine start
    kF,  // routine end
    kE,  // edit the cursor line's header, note or footer
    kW,  // edit the cursor item's explanation
    kP,  // selection start (with Shift: end)
};

// What an action asks of the window afterwards. The document's own changes (flags,
// annotations, the jump list) are already made.
struct ListingEffect {
    bool repaintView = false;
    bool repaintAllViews = false;  // every view of the document
    bool refreshCallStack = false;
    bool beep = false;
    bool openAnnotationEditor = false;  // place and show the one-line editor (E)
};

// Input state that all listing windows share: the wheel's accumulated delta and
// whether a bitmap-width drag is under way.
struct ListingInputState {
    int wheelDelta = 0;
    bool dragging = false;
};

// The anchor row: the cursor stays near this row while the keys scroll the page.
int AnchorRow(const ListingViewState& state);

ListingEffect ListingKeyDown(CTravikDoc& doc, ListingViewState& state, ListingKey key, bool ctrl,
                             bool shift);

// --- the mouse --------------------------------------------------------------------
// The width of the bitmap at the right edge, 0 when it is hidden.
int BitmapPixelWidth(const CTravikDoc& doc);
ListingEffect ListingMouseDown(const CTravikDoc& doc, ListingViewState& state,
                               ListingInputState& input, int x, int y, int clientWidth);
ListingEffect ListingMouseMove(CTravikDoc& doc, ListingViewState& state, ListingInputState& input,
                               int x, bool buttonHeld, int clientWidth);
ListingEffect ListingWheel(const CTravikDoc& doc, ListingViewState& state, ListingInputState& input,
                           int delta);

// --- the vertical scroll bar ----------------------------------------------------------
enum class ScrollRequest { kLineUp, kLineDown, kPageUp, kPageDown, kThumb };
// `position` and `rangeMax` are the bar's, for kThumb.
ListingEffect ListingScroll(const CTravikDoc& doc, ListingViewState& state, ScrollRequest request,
                            int position, int rangeMax);

// --- the two editors ------------------------------------------------------------------
// The text the one-line editor opens with; none on the "End of File" line, where the
// editor keeps what it had.
bool AnnotationEditText(const CTravikDoc& doc, const ListingViewState& state, std::string& text);
// Enter in the one-line editor: stores the header, note or footer of the cursor line,
// sets the user mark and rebuilds the jump list.
ListingEffect CommitAnnotation(CTravikDoc& doc, const ListingViewState& state,
                               const std::string& text);
// Ctrl+Enter in the explanation box: stores the explanation of the item W was pressed
// on and rebuilds the jump list.
ListingEffect CommitExplanation(CTravikDoc& doc, ListingViewState& state, const std::string& text);

// A halfword whose instruction or literal refers to `target`, searched upward from
// `from` to below `to`; -1 when there is none.
int64_t FindReferrer(const CTravikDoc& doc, uint32_t target, uint64_t from, uint64_t to);
