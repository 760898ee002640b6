#include "listing/ListingPage.h"

#include <algorithm>

#include "document/CTravikDoc.h"
#include "document/Flags.h"
#include "listing/LineText.h"
#include "session/DebugSession.h"

namespace {

constexpr int64_t kMaxBranchDistance = 1000;
constexpr int kScrollRange = 32000;

Rgb CursorColour(uint8_t jumpKind) {
    switch (jumpKind) {
        case jumpkind::kLiteral:
            return kCursorLiteral;
        case jumpkind::kCall:
        case jumpkind::kBranch:
            return kCursorJump;
        default:
            return kCursorPlain;
    }
}

// The annotation drawn beside a line, or nullptr.
const std::string* AnnotationOf(const CTravikDoc& doc, int64_t offset, int subLine, FontId& font) {
    const uint32_t index = static_cast<uint32_t>(offset / 2);
    switch (subLine) {
        case -1:
            font = FontId::kHeader;
            return doc.Headers().Find(index);
        case 0:
            font = FontId::kNote;
            return doc.Notes().Find(index);
        case 1:
            font = FontId::kFooter;
            return doc.Footers().Find(index);
        default:
            return nullptr;
    }
}

// Whether a halfword of the item at `offset` holds a breakpoint: one set on the second
// halfword of a BL shows on the BL's line.
bool ItemHasBreakpoint(const CTravikDoc& doc, int64_t offset) {
    const CEmulator& emu = doc.Emulator();
    uint32_t half = static_cast<uint32_t>(offset / 2);
    do {
        if (emu.IsBreakpoint(CEmulator::kFlashBase + 2 * half)) return true;
        ++half;
    } while (half < doc.HalfwordCount() && (doc.Flags()[half] & flagbits::kContinuation));
    return false;
}

// A round dot of kBreakpointMarkSize pixels: three overlapping rectangles.
void PaintBreakpointMark(int row, DrawList& draw) {
    constexpr int x = kBreakpointMarkX, d = kBreakpointMarkSize;
    const int y = row * kListingRowHeight + (kListingRowHeight - d) / 2;
    draw.Rect({x + 2, y, d - 4, d, kBreakpointMark});
    draw.Rect({x + 1, y + 1, d - 2, d - 2, kBreakpointMark});
    draw.Rect({x, y + 2, d, d - 4, kBreakpointMark});
}

// One bit of a bitmap byte as a cell colour; bytes past the image end stay unpainted.
uint32_t BitColour(const CTravikDoc& doc, int64_t offset, int bit, uint32_t cursorOffset) {
    if (offset < 0 || offset >= int64_t{doc.ImageSize()}) return DrawCells::kNoCell;
    const bool set = (doc.Image()[offset] >> bit) & 1;
    if (offset == int64_t{cursorOffset}) return PackRgb(set ? kRed : kBitmapCursorClear);
    return PackRgb(set ? kBlack : kWhite);
}

void PaintBitmap(const CTravikDoc& doc, const ListingViewState& state, int w, int h,
                 ListingPaint& out) {
    const int64_t n = doc.Options().bitmapWidth;
    const int64_t top = state.topOffset;
    // Byte strip: one byte per 3-pixel row, bit 0 at the right edge.
    DrawCells bytes;
    bytes.x = w - 24;
    bytes.cellW = bytes.cellH = 3;
    bytes.cols = 8;
    bytes.rows = h > 3 ? (h - 3 + 2) / 3 : 0;  // rows k with 3k < h - 3
    bytes.colors.resize(size_t(bytes.cols) * size_t(bytes.rows));
    for (int k = 0; k < bytes.rows; ++k) {
        for (int bit = 0; bit < 8; ++bit)
            bytes.colors[size_t(k) * 8 + size_t(7 - bit)] =
                BitColour(doc, top + k, bit, state.cursorOffset);
    }
    // Page strip: bands of 8 cell rows, n bytes side by side, bit 0 at the top. Only
    // the columns inside the window are built, whatever the width.
    const int64_t stripX = int64_t{w} - 3 * n - 27;
    const int64_t firstCol = stripX < 0 ? (-stripX) / 3 : 0;
    DrawCells pages;
    pages.cellW = pages.cellH = 3;
    pages.x = static_cast<int>(stripX + 3 * firstCol);
    pages.cols = static_cast<int>(std::max<int64_t>(0, n - firstCol));
    const int bands = h > 3 ? (h - 3 + 23) / 24 : 0;  // bands m with 24m < h - 3
    pages.rows = 8 * bands;
    pages.colors.resize(size_t(pages.cols) * size_t(pages.rows));
    for (int m = 0; m < bands; ++m) {
        for (int col = 0; col < pages.cols; ++col) {
            const int64_t offset = top + m * n + firstCol + col;
            for (int bit = 0; bit < 8; ++bit)
                pages.colors[size_t(8 * m + bit) * size_t(pages.cols) + size_t(col)] =
                    BitColour(doc, offset, bit, state.cursorOffset);
        }
    }
    if (pages.cols > 0 && pages.rows > 0) out.draw.Cells(std::move(pages));
    if (bytes.rows > 0) out.draw.Cells(std::move(bytes));
}

// PlacePage, also handing the page's lines to the paint in `rows` (cleared first) when
// it is given.
void PlaceRows(const CTravikDoc& doc, ListingViewState& state, int clientHeight, bool cursor,
               std::vector<ListingPaint::Row>* rows) {
    if (rows != nullptr) rows->clear();
    if (doc.ImageSize() < 2) return;
    // An unplaced top, or one a smaller document left behind, starts at the first line.
    if (state.topOffset < 0 || int64_t{state.topOffset} + 2 > int64_t{doc.ImageSize()}) {
        state.topOffset = 0;
        state.cursorRow = 1;
        state.topSubLine = doc.FirstSubLine(0);
    }
    struct Line {
        int64_t offset = -1;
        int subLine = 0;
    } last, onCursorRow, pending;
    int64_t o = state.topOffset;
    int s = state.topSubLine;
    int count = 0, pendingRow = 0;
    // The rows the paint draws: while they fit above the last fifteen pixels, up to the
    // "End of File" line.
    for (int y = 0; y < clientHeight - kListingRowHeight; y += kListingRowHeight) {
        last = {o, s};
        if (rows != nullptr) rows->push_back({o, s});
        ++count;
        if (count == state.cursorRow) onCursorRow = last;
        if (pendingRow == 0 && o == state.pendingCursor) {
            pendingRow = count;
            pending = last;
        }
        if (s == 2) break;
        o = doc.NextLine(o, s);
    }
    state.rowCount = count;
    // A window too low for any row keeps its cursor row for when it grows again.
    if (count == 0) return;
    state.bottomOffset = static_cast<uint32_t>(last.offset);
    if (state.cursorRow > count) {
        state.cursorRow = count;
        onCursorRow = last;
    }
    if (!cursor) return;
    if (pendingRow != 0) {
        state.cursorRow = pendingRow;
        state.pendingCursor = -1;
        onCursorRow = pending;
    } else if (state.pendingCursor != -1) {
        return;  // its item is not on the page: no cursor until it is
    }
    if (onCursorRow.offset < 0) return;
    state.cursorOffset = static_cast<uint32_t>(onCursorRow.offset);
    state.cursorSubLine = onCursorRow.subLine;
}

}  // namespace

void PlacePage(const CTravikDoc& doc, ListingViewState& state, int clientHeight, bool cursor) {
    PlaceRows(doc, state, clientHeight, cursor, nullptr);
}

void PaintListing(const CTravikDoc& doc, ListingViewState& state, int clientWidth, int clientHeight,
                  bool active, ListingPaint& out) {
    out.draw.Clear();
    out.rows.clear();
    out.scrollValid = false;
    out.explanationShown = false;
    out.explanationSetText = false;
    out.explanationFocus = false;
    out.explanationText.clear();
    const int w = clientWidth;
    const int h = clientHeight;
    out.draw.Rect({0, 0, w, h, kWhite});

    if (doc.ImageSize() < 2) {
        out.draw.Text({10, 10, FontId::kListing, kBlack, true, kWhite, "No File loaded"});
        return;
    }
    PlaceRows(doc, state, h, active, &out.rows);
    const bool cursor = active && state.pendingCursor == -1;

    // Text pass.
    const bool selection = doc.SelectionStart() != doc.SelectionEnd();
    const bool running = doc.Emulator().runState != CEmulator::kStopped;
    const int64_t current = CurrentInstructionOffset(doc);
    for (size_t r = 0; r < out.rows.size(); ++r) {
        const auto [o, s] = out.rows[r];
        const int row = static_cast<int>(r) + 1;
        const int y = static_cast<int>(r) * kListingRowHeight;
        GetLineText(doc, o, s, out.line);
        Rgb background = kWhite;
        if (cursor && row == state.cursorRow) {
            background = CursorColour(doc.JumpKind(static_cast<uint32_t>(o / 2)));
        } else if (running && s == 0 && o == current) {
            background = kCurrentInstruction;
        }
        const uint32_t u = static_cast<uint32_t>(o);
        const bool outside = selection && (u < doc.SelectionStart() || u > doc.SelectionEnd());
        out.draw.Text({kListingTextX, y, FontId::kListing, outside ? kOutsideSelection : kBlack,
                       true, background, std::string(out.line.View())});
    }

    // Annotation pass. Annotations cover the line text beneath them, as on a page
    // drawn with an opaque white background.
    out.arrows.Begin(doc, kMaxBranchDistance);
    for (size_t r = 0; r < out.rows.size(); ++r) {
        const auto [offset, subLine] = out.rows[r];
        const int y = static_cast<int>(r) * kListingRowHeight;
        FontId font = FontId::kNote;
        if (const std::string* text = AnnotationOf(doc, offset, subLine, font))
            out.draw.Text({kListingAnnotationX, y, font, kBlack, true, kWhite, *text});
        if (subLine == 0 && ItemHasBreakpoint(doc, offset))
            PaintBreakpointMark(static_cast<int>(r), out.draw);
        out.arrows.AddLine(offset, subLine);
    }
    out.arrows.Draw({0, kListingRowHeight / 2, kListingRowHeight, 0, h}, out.draw);

    out.scrollValid = true;
    out.scrollMax = static_cast<int>(std::min<int64_t>(doc.ImageSize(), kScrollRange));
    out.scrollPos =
        static_cast<int>(int64_t{state.topOffset} * out.scrollMax / int64_t{doc.ImageSize()});

    if (doc.Options().bitmapWidth > 0) PaintBitmap(doc, state, w, h, out);

    const std::string* explanation = state.cursorOffset < doc.ImageSize()
                                         ? doc.Explanations().Find(state.cursorOffset / 2)
                                         : nullptr;
    if (explanation != nullptr || state.editingExplanation) {
        out.explanationShown = true;
        out.explanationX = kListingAnnotationX;
        out.explanationY = state.cursorRow * kListingRowHeight;
        out.explanationW = w - 5;
        out.explanationH = h;
        out.explanationSetText = !state.editingExplanation;
        if (explanation != nullptr && !state.editingExplanation) out.explanationText = *explanation;
        out.explanationReadOnly = !state.editingExplanation;
        out.explanationFocus = state.editingExplanation != 0;
    }
}

std::vector<std::string> VisibleLineTexts(const CTravikDoc& doc, const ListingPaint& paint) {
    std::vector<std::string> lines;
    lines.reserve(paint.rows.size());
    // Row r's text is the r-th text of the paint, after the background.
    for (size_t r = 0; r < paint.rows.size() && r < paint.draw.texts.size(); ++r) {
        std::string text = paint.draw.texts[r].text;
        FontId font;
        if (const std::string* a =
                AnnotationOf(doc, paint.rows[r].offset, paint.rows[r].subLine, font)) {
            text += '\t';
            text += *a;
        }
        lines.push_back(std::move(text));
    }
    return lines;
}

void GoToOffset(const CTravikDoc& doc, ListingViewState& state, int64_t offset, bool force) {
    int64_t o = offset & ~int64_t{1};
    // Only offsets of whole halfwords of the image have an item.
    if (o < 0 || o + 2 > int64_t{doc.ImageSize()}) return;
    o = doc.ItemStart(static_cast<uint32_t>(o));
    if (!force && int64_t{state.topOffset} + 5 <= o && o <= int64_t{state.bottomOffset} - 5) {
        state.pendingCursor = static_cast<int32_t>(o);
        state.topSubLine = 0;
        return;
    }
    state.topOffset = static_cast<int32_t>(o);
    state.topSubLine = 0;
    // An older request would otherwise take the cursor away from this item.
    state.pendingCursor = -1;
    const int stepped = -MoveTopLine(doc, state, -(state.cursorRow - 1));
    // Near the start of the listing the item line stands higher than the cursor row.
    if (stepped < state.cursorRow - 1) state.cursorRow = stepped + 1;
}

int MoveTopLine(const CTravikDoc& doc, ListingViewState& state, int lines) {
    if (doc.ImageSize() < 2) return 0;
    if (state.topOffset < 0) {
        state.topOffset = 0;
        state.topSubLine = doc.FirstSubLine(0);
    }
    int64_t o = state.topOffset;
    int sub = state.topSubLine;
    int moved = 0;
    for (; moved < lines && sub != 2; ++moved) o = doc.NextLine(o, sub);
    for (; moved > lines; --moved) {
        int previousSub = sub;
        const int64_t previous = doc.PreviousLine(o, previousSub);
        if (previous < 0) break;
        o = previous;
        sub = previousSub;
    }
    state.topOffset = static_cast<int32_t>(o);
    state.topSubLine = sub;
    return moved;
}
