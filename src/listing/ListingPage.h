#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "listing/BranchArrows.h"
#include "listing/TextFormat.h"
#include "shell/DrawList.h"

class CTravikDoc;

// What one listing window remembers between paints. The keys (and GoToOffset) move
// the top line and the cursor row; PlacePage works out the cursor's line, the row
// count and the last offset on the page from them, before the keys read them and in
// every paint.
struct ListingViewState {
    int32_t topOffset = -1;  // -1: not placed yet, the next paint starts at the first line
    int32_t topSubLine = 0;
    uint32_t bottomOffset = 0;   // offset of the last line of the latest paint
    int32_t pendingCursor = -1;  // offset whose line the next paint puts the cursor on
    int32_t cursorRow = 1;       // 1 = the first row
    int32_t rowCount = 1;
    uint32_t cursorOffset = 0;
    int32_t cursorSubLine = 0;
    uint32_t referrerTarget = 0;
    int32_t editingExplanation = 0;
    uint32_t explanationOffset = 0;  // the item whose explanation is being edited
    float anchorFraction = 0.3f;
    int32_t dragStartX = 0;
    int32_t dragStartY = 0;
    int32_t dragStartWidth = 0;
};

inline constexpr int kListingRowHeight = 15;
inline constexpr int kListingTextX = 110;
inline constexpr int kListingAnnotationX = 500;

inline constexpr Rgb kCursorLiteral{0, 196, 0};
inline constexpr Rgb kCursorJump{0, 255, 0};
inline constexpr Rgb kCursorPlain{0, 255, 255};
inline constexpr Rgb kCurrentInstruction{192, 192, 192};
inline constexpr Rgb kOutsideSelection{128, 128, 128};
inline constexpr Rgb kBitmapCursorClear{255, 200, 200};

// A breakpoint line's mark: a red dot at the left edge of the branch-arrow margin,
// centred on the row, drawn before the arrows so that an arrow passing it stays seen.
inline constexpr Rgb kBreakpointMark{220, 0, 0};
inline constexpr int kBreakpointMarkX = 2;
inline constexpr int kBreakpointMarkSize = 9;

// Everything one paint of a listing window produces besides its state changes.
struct ListingPaint {
    DrawList draw;

    // The vertical scroll bar: range 0..scrollMax, thumb at scrollPos. Not set when
    // there is no file.
    bool scrollValid = false;
    int scrollMax = 0;
    int scrollPos = 0;

    // The explanation box: where it goes, its text (when not editing), read-only.
    bool explanationShown = false;
    bool explanationSetText = false;  // false while the user edits it
    bool explanationReadOnly = true;
    bool explanationFocus = false;
    int explanationX = 0, explanationY = 0, explanationW = 0, explanationH = 0;
    std::string explanationText;

    // The lines on the page, top to bottom; row r's text is draw.texts[r].
    struct Row {
        int64_t offset;
        int subLine;
    };
    std::vector<Row> rows;

    // Per-paint tables, kept here so that repeated paints reuse their storage.
    BranchArrows arrows;
    LineBuffer line;
};

// Lays out the page of a window `clientHeight` high without drawing it: places an
// unplaced top line, sets rowCount and bottomOffset (keeping the cursor row on the
// page) and, with `cursor`, puts a pending cursor on the first line of its offset when
// that is on the page and sets cursorOffset and cursorSubLine to the cursor row's line.
// The cursor's item thus follows from the state whether or not a paint came between.
void PlacePage(const CTravikDoc& doc, ListingViewState& state, int clientHeight, bool cursor);

// Paints the page of a listing window of `doc` into `out` (cleared first) after
// PlacePage (which places the cursor only when `active`). `active`: this is the
// active view of the active frame, the only one with a cursor.
void PaintListing(const CTravikDoc& doc, ListingViewState& state, int clientWidth, int clientHeight,
                  bool active, ListingPaint& out);

// The visible lines of the latest paint, top to bottom, each as painted and followed
// by a tab and its annotation when it has one: what assistive technology reads.
std::vector<std::string> VisibleLineTexts(const CTravikDoc& doc, const ListingPaint& paint);

// Puts the cursor on the item containing `offset`: without `force`, an item well
// inside the page only moves the cursor; otherwise the page moves so that the item
// line stands on the cursor's row. Offsets outside the image are ignored. The caller
// repaints.
void GoToOffset(const CTravikDoc& doc, ListingViewState& state, int64_t offset, bool force);

// Moves the top line `lines` lines down (negative: up), never past the first line or
// the "End of File" line; the number of lines it moved.
int MoveTopLine(const CTravikDoc& doc, ListingViewState& state, int lines);
