#include "listing/ListingKeys.h"

#include <algorithm>
#include <vector>

#include "document/CTravikDoc.h"
#include "document/Flags.h"
#include "shell/FrameServices.h"

namespace {

// The texts of the header (-1), item (0) and footer (1) lines.
constexpr DocEdit::TextKind kLineTexts[3] = {DocEdit::TextKind::kHeader, DocEdit::TextKind::kNote,
                                             DocEdit::TextKind::kFooter};
constexpr int kWheelNotch = 120;
constexpr int kMinBitmapWidth = 5;
constexpr int kMaxBitmapWidth = 84;
// Ctrl+0 and Ctrl+Shift+0 retype this many items after the cursor's.
constexpr int kCtrlZeroItems = 10;
constexpr int kCtrlShiftZeroItems = 64;

bool CursorInImage(const CTravikDoc& doc, const ListingViewState& state) {
    return uint64_t{state.cursorOffset} + 2 <= doc.ImageSize();
}

// The cursor row moves one down (Down step) or up (Up step), or the page scrolls under
// it once it reaches the anchor row.
void DownStep(const CTravikDoc& doc, ListingViewState& state, bool ctrl) {
    const int anchor = AnchorRow(state);
    if (ctrl)
        state.anchorFraction = std::min(
            1.0f, static_cast<float>(anchor + 1) / static_cast<float>(state.rowCount) + 0.0001f);
    if (state.cursorRow < anchor || doc.IsLastLine(state.topOffset)) {
        state.cursorRow = std::min(state.cursorRow + 1, state.rowCount);
        return;
    }
    MoveTopLine(doc, state, 1);
    if (state.cursorRow > anchor) state.cursorRow = std::max(state.cursorRow - 1, 1);
}

void UpStep(const CTravikDoc& doc, ListingViewState& state, bool ctrl) {
    const int anchor = AnchorRow(state);
    if (ctrl)
        state.anchorFraction = std::max(
            0.0f, static_cast<float>(anchor - 1) / static_cast<float>(state.rowCount) + 0.0001f);
    const int anchorAtLeastOne = std::max(1, anchor);
    if (state.cursorRow > anchorAtLeastOne || doc.IsFirstLine(state.topOffset, state.topSubLine)) {
        state.cursorRow = std::max(state.cursorRow - 1, 1);
        return;
    }
    MoveTopLine(doc, state, -1);
    if (state.cursorRow < anchorAtLeastOne)
        state.cursorRow = std::min(state.cursorRow + 1, state.rowCount);
}

const char* TypeName(uint8_t type) {
    switch (type) {
        case itemtype::kArm: return "ARM";
        case itemtype::kThumb: return "THUMB";
        case itemtype::kData2: return "2-byte data";
        case itemtype::kData4: return "4-byte data";
        case itemtype::kData8: return "8-byte data";
        case itemtype::kData12: return "12-byte data";
        default: return "16-byte data";
    }
}

// A, T and the digits: the cursor item gets the type (Ctrl+0 also the items after it),
// every view repaints and the cursor moves on.
ListingEffect Retype(CTravikDoc& doc, ListingViewState& state, uint8_t type, int extraItems) {
    if (!CursorInImage(doc, state)) return {.beep = true};
    std::vector<uint32_t> starts;
    {
        DocStep step(doc, StepLabel(doc, TypeName(type), state.cursorOffset), state.cursorOffset);
        doc.Apply(ItemTypeEdit(doc, state.cursorOffset, type, true, extraItems, &starts));
    }
    for (int i = 0; i < extraItems; ++i) {
        MoveTopLine(doc, state, 1);
        if (static_cast<size_t>(i) >= starts.size()) break;  // no item after the last one
        state.cursorOffset = starts[i];
    }
    DownStep(doc, state, false);
    return {.repaintAllViews = true};
}

ListingEffect Follow(CTravikDoc& doc, ListingViewState& state, bool ctrl) {
    const uint32_t target = CursorInImage(doc, state) ? doc.JumpTarget(state.cursorOffset / 2) : 0;
    if (target == 0) return {.beep = true};
    ListingEffect effect{.repaintAllViews = true};
    if (!ctrl) {
        doc.Session().PushTrail(state.cursorOffset, target);
        effect.refreshCallStack = true;
    }
    GoToOffset(doc, state, target, true);
    return effect;
}

ListingEffect WalkBack(CTravikDoc& doc, ListingViewState& state) {
    uint32_t callSite = 0;
    if (!doc.Session().PopTrail(callSite)) return {.beep = true};
    GoToOffset(doc, state, callSite, true);
    return {.repaintAllViews = true, .refreshCallStack = true};
}

ListingEffect FirstReferrer(const CTravikDoc& doc, ListingViewState& state) {
    const int64_t found = FindReferrer(doc, state.cursorOffset, 0, doc.ImageSize());
    if (found < 0) return {.beep = true};
    state.referrerTarget = state.cursorOffset;
    GoToOffset(doc, state, found, true);
    return {.repaintAllViews = true};
}

ListingEffect NextReferrer(const CTravikDoc& doc, ListingViewState& state) {
    if (state.referrerTarget == 0) return {.beep = true};
    int64_t found =
        FindReferrer(doc, state.referrerTarget, uint64_t{state.cursorOffset} + 2, doc.ImageSize());
    if (found < 0) found = FindReferrer(doc, state.referrerTarget, 0, state.cursorOffset);
    if (found < 0) return {.beep = true};
    GoToOffset(doc, state, found, true);
    return {.repaintAllViews = true};
}

ListingEffect MarkSelection(CTravikDoc& doc, const ListingViewState& state, bool end) {
    const bool none = doc.SelectionStart() == doc.SelectionEnd();
    if (end)
        doc.SetSelection(none ? state.cursorOffset - 1 : doc.SelectionStart(), state.cursorOffset);
    else
        doc.SetSelection(state.cursorOffset, none ? state.cursorOffset + 1 : doc.SelectionEnd());
    return {.repaintAllViews = true};
}

}  // namespace

int AnchorRow(const ListingViewState& state) {
    return static_cast<int>(static_cast<float>(state.rowCount) * state.anchorFraction);
}

ListingEffect ListingKeyDown(CTravikDoc& doc, ListingViewState& state, ListingKey key, bool ctrl,
                             bool shift) {
    if (doc.ImageSize() == 0) return {};
    switch (key) {
        case ListingKey::kPageUp:
            MoveTopLine(doc, state, -(state.rowCount - 1));
            return {.repaintView = true};
        case ListingKey::kPageDown:
            MoveTopLine(doc, state, state.rowCount - 1);
            return {.repaintView = true};
        case ListingKey::kHome:
            state.topOffset = -1;
            return {.repaintView = true};
        case ListingKey::kEnd: {
            int64_t o = (int64_t{doc.ImageSize()} - 2) & ~int64_t{1};
            if (o > 0) o = doc.ItemStart(static_cast<uint32_t>(o));
            state.topOffset = static_cast<int32_t>(o);
            state.topSubLine = 0;
            return {.repaintView = true};
        }
        case ListingKey::kUp:
            UpStep(doc, state, ctrl);
            return {.repaintView = true};
        case ListingKey::kDown:
            DownStep(doc, state, ctrl);
            return {.repaintView = true};
        case ListingKey::kRight:
            return Follow(doc, state, ctrl);
        case ListingKey::kLeft:
            return WalkBack(doc, state);
        case ListingKey::kF12:
            return FirstReferrer(doc, state);
        case ListingKey::kF11:
            return NextReferrer(doc, state);
        case ListingKey::kA:
            return Retype(doc, state, itemtype::kArm, 0);
        case ListingKey::kT:
            return Retype(doc, state, itemtype::kThumb, 0);
        case ListingKey::k2:
            return Retype(doc, state, itemtype::kData2, 0);
        case ListingKey::k4:
            return Retype(doc, state, itemtype::kData4, 0);
        case ListingKey::k8:
            return Retype(doc, state, itemtype::kData8, 0);
        case ListingKey::k9:
            return Retype(doc, state, itemtype::kData12, 0);
        case ListingKey::k0:
            return Retype(doc, state, itemtype::kData16,
                          !ctrl ? 0 : (shift ? kCtrlShiftZeroItems : kCtrlZeroItems));
        case ListingKey::kH:
            if (!CursorInImage(doc, state)) return {.beep = true};
            doc.Apply(FlagBitsEdit(doc, state.cursorOffset, flagbits::kRoutineStart),
                      StepLabel(doc, "Routine start", state.cursorOffset), state.cursorOffset);
            return {.repaintAllViews = true};
        case ListingKey::kF:
            if (!CursorInImage(doc, state)) return {.beep = true};
            doc.Apply(FlagBitsEdit(doc, state.cursorOffset, flagbits::kRoutineEnd),
                      StepLabel(doc, "Routine end", state.cursorOffset), state.cursorOffset);
            return {.repaintAllViews = true};
        case ListingKey::kE:
            return {.openAnnotationEditor = true};
        case ListingKey::kW:
            state.editingExplanation = 1;
            state.explanationOffset = state.cursorOffset;
            return {.repaintAllViews = true};
        case ListingKey::kP:
            return MarkSelection(doc, state, shift);
        case ListingKey::kOther:
            break;
    }
    return {};
}

int64_t FindReferrer(const CTravikDoc& doc, uint32_t target, uint64_t from, uint64_t to) {
    to = std::min<uint64_t>(to, doc.ImageSize());
    for (uint64_t o = (from + 1) & ~uint64_t{1}; o + 2 <= to; o += 2) {
        const uint32_t index = static_cast<uint32_t>(o / 2);
        // A halfword without a target refers to nothing, not to offset 0.
        if (doc.JumpKind(index) != jumpkind::kNone && doc.JumpTarget(index) == target)
            return static_cast<int64_t>(o);
    }
    return -1;
}

// ---------------------------------------------------------------------------------
// The mouse

int BitmapPixelWidth(const CTravikDoc& doc) {
    return doc.Options().bitmapWidth > 0 ? 3 * doc.Options().bitmapWidth + 27 : 0;
}

ListingEffect ListingMouseDown(const CTravikDoc& doc, ListingViewState& state,
                               ListingInputState& input, int x, int y, int clientWidth) {
    if (doc.Options().bitmapWidth > 0 && x > clientWidth - BitmapPixelWidth(doc)) {
        state.dragStartX = x;
        state.dragStartY = y;
        state.dragStartWidth = doc.Options().bitmapWidth;
        input.dragging = true;
        return {};
    }
    if (y < 0) y = 0;
    state.cursorRow = y / kListingRowHeight + 1;
    state.anchorFraction =
        static_cast<float>(state.cursorRow) / static_cast<float>(state.rowCount) + 0.0001f;
    return {.repaintView = true};
}

ListingEffect ListingMouseMove(CTravikDoc& doc, ListingViewState& state, ListingInputState& input,
                               int x, bool buttonHeld, int clientWidth) {
    if (!buttonHeld || doc.Options().bitmapWidth <= 0) {
        input.dragging = false;
        return {};
    }
    if (x <= clientWidth - BitmapPixelWidth(doc) && !input.dragging) return {};
    input.dragging = true;
    const int width = state.dragStartWidth - (x - state.dragStartX) / 3;
    doc.SetBitmapWidth(std::clamp(width, kMinBitmapWidth, kMaxBitmapWidth));
    return {.repaintView = true};
}

ListingEffect ListingWheel(const CTravikDoc& doc, ListingViewState& state, ListingInputState& input,
                           int delta) {
    input.wheelDelta += delta;
    int lines = 0;
    for (; input.wheelDelta >= kWheelNotch; input.wheelDelta -= kWheelNotch) --lines;
    for (; input.wheelDelta <= -kWheelNotch; input.wheelDelta += kWheelNotch) ++lines;
    if (lines == 0) return {};
    MoveTopLine(doc, state, lines);
    return {.repaintView = true};
}

// ---------------------------------------------------------------------------------
// The scroll bar

ListingEffect ListingScroll(const CTravikDoc& doc, ListingViewState& state, ScrollRequest request,
                            int position, int rangeMax) {
    if (doc.ImageSize() < 2) return {};
    switch (request) {
        case ScrollRequest::kLineUp:
            MoveTopLine(doc, state, -1);
            break;
        case ScrollRequest::kLineDown:
            MoveTopLine(doc, state, 1);
            break;
        case ScrollRequest::kPageUp:
            MoveTopLine(doc, state, -(state.rowCount - 1));
            break;
        case ScrollRequest::kPageDown:
            MoveTopLine(doc, state, state.rowCount - 1);
            break;
        case ScrollRequest::kThumb: {
            if (rangeMax <= 0) break;
            int64_t o = int64_t{doc.ImageSize()} * std::max(position, 0) / rangeMax;
            o = std::min<int64_t>(o, int64_t{doc.ImageSize()} - 20);
            o = std::max<int64_t>(o, 0) & ~int64_t{1};
            // Forward to the next item start, but never past the last halfword.
            state.topOffset = static_cast<int32_t>(
                doc.NextItemStart(static_cast<uint32_t>(o), 2 * doc.HalfwordCount() - 2));
            state.topSubLine = 0;
            break;
        }
    }
    return {.repaintView = true};
}

// ---------------------------------------------------------------------------------
// The editors

bool AnnotationEditText(const CTravikDoc& doc, const ListingViewState& state, std::string& text) {
    const AnnotationTable* table = state.cursorSubLine == -1  ? &doc.Headers()
                                   : state.cursorSubLine == 0 ? &doc.Notes()
                                   : state.cursorSubLine == 1 ? &doc.Footers()
                                                              : nullptr;
    if (table == nullptr) return false;
    const std::string* found =
        CursorInImage(doc, state) ? table->Find(state.cursorOffset / 2) : nullptr;
    text = found != nullptr ? *found : std::string();
    return true;
}

ListingEffect CommitAnnotation(CTravikDoc& doc, const ListingViewState& state,
                               const std::string& text) {
    // The line's text, and the item takes the user mark; the "End of File" line has
    // no text of its own.
    DocEdit edit;
    if (CursorInImage(doc, state)) {
        edit =
            state.cursorSubLine >= -1 && state.cursorSubLine <= 1
                ? TextEdit(doc, kLineTexts[state.cursorSubLine + 1], state.cursorOffset, text, true)
                : FlagBitsEdit(doc, state.cursorOffset, flagbits::kUserMark);
    }
    edit.after |= DocEdit::kJumpList;
    static const char* const kLineNames[] = {"Header", "Note", "Footer"};
    const bool ofLine = state.cursorSubLine >= -1 && state.cursorSubLine <= 1;
    doc.Apply(edit, StepLabel(doc, ofLine ? kLineNames[state.cursorSubLine + 1] : "Note", state.cursorOffset),
              state.cursorOffset);
    return {.repaintAllViews = true};
}

ListingEffect CommitExplanation(CTravikDoc& doc, ListingViewState& state, const std::string& text) {
    // The edit belongs to the item it was begun on, wherever the cursor went since.
    // The item's jump-list entry reads ">" now.
    if (state.editingExplanation && uint64_t{state.explanationOffset} + 2 <= doc.ImageSize())
        doc.Apply(TextEdit(doc, DocEdit::TextKind::kExplanation, state.explanationOffset, text, true),
                  StepLabel(doc, "Explanation", state.explanationOffset), state.explanationOffset);
    state.editingExplanation = 0;
    return {.repaintAllViews = true};
}
