#include "debugger/MemoryDump.h"

#include <algorithm>
#include <cstdio>

#include "document/CTravikDoc.h"
#include "shell/Format.h"

namespace {

bool InRam(const CTravikDoc& doc, int64_t offset) {
    return doc.RamBytes() != nullptr && offset >= 0 && offset < int64_t{doc.RamSize()};
}

void Follow(MemoryPage& page, uint32_t access) {
    if (access == LatestAccesses::kNone) return;
    page.cursor = static_cast<int32_t>(access - CEmulator::kStackBase);
    page.top = (page.cursor / kBytesPerLine - 1) * kBytesPerLine;
}

uint32_t Pack(Rgb c) {
    return PackRgb(c);
}

void HeaderText(const CTravikDoc& doc, int32_t c, char* text, size_t size) {
    const uint32_t address = static_cast<uint32_t>(c) + doc.RamBase();
    if (!InRam(doc, c)) {
        std::snprintf(text, size, "%.8X: ", address);
        return;
    }
    const uint32_t at = static_cast<uint32_t>(c);
    switch (doc.RamNames().At(at)) {
        case RamNameTable::Entry::None:
            std::snprintf(text, size, "%.8X: ", address);
            return;
        case RamNameTable::Entry::Name:
            std::snprintf(text, size, "%.8X: %s", address, doc.RamNames().Find(at)->c_str());
            return;
        case RamNameTable::Entry::Continued: {
            uint32_t k = 0;
            while (k <= at && doc.RamNames().At(at - k) == RamNameTable::Entry::Continued) ++k;
            // A range named with an empty text has continued bytes and no name.
            const std::string* name = k <= at ? doc.RamNames().Find(at - k) : nullptr;
            std::snprintf(text, size, "%.8X: %s+%.2x", address, name ? name->c_str() : "", k);
            return;
        }
    }
}

}  // namespace

void FollowEmulator(MemoryViewState& state, LatestAccesses& marks) {
    MemoryPage& page = state.Current();
    if (state.page == 0 || state.page == 2) Follow(page, marks.TakeRead());
    if (state.page == 1 || state.page == 2) Follow(page, marks.TakeWrite());
}

void ShowRamOffset(MemoryPage& page, int32_t offset) {
    Follow(page, CEmulator::kStackBase + static_cast<uint32_t>(offset));
    page.selectionStart = page.selectionEnd = page.cursor;
}

void PaintMemory(const CTravikDoc* doc, MemoryViewState& state, int clientWidth, int clientHeight,
                 DrawList& out) {
    out.Clear();
    out.Rect({.x = 0,
              .y = 0,
              .w = std::max(clientWidth, 0),
              .h = std::max(clientHeight, 0),
              .color = kWhite});
    auto text = [&out](int x, int y, std::string s) {
        out.Text({.x = x, .y = y, .font = kMemoryFont, .color = kBlack, .text = std::move(s)});
    };
    if (doc == nullptr) {
        text(10, 10, "No file loaded");
        return;
    }
    const int p = state.page;
    MemoryPage& page = state.pages[p];
    char buffer[400];
    HeaderText(*doc, page.cursor, buffer, sizeof buffer);
    text(10, 0, buffer);
    std::snprintf(buffer, sizeof buffer, "Page: Ctrl+F%d", p + 1);
    text(clientWidth - kMemoryCharWidth * 16, 0, buffer);

    const bool selection = page.selectionStart != page.selectionEnd;
    const int64_t start = page.selectionStart, end = page.selectionEnd;
    state.modifyPlaced = false;

    // Backgrounds: one grid of 7 x 12 cells for the whole dump; hex byte = 2 cells,
    // separator = 1, then a gap of 2 and the 32 character cells.
    constexpr int kHexCols = kBytesPerLine * 3;
    constexpr int kCharX = kMemoryHexX + kHexCols * kMemoryCharWidth + 14;
    constexpr int kCols = kHexCols + 2 + kBytesPerLine;
    int lines = 0;
    for (int y = kMemoryFirstLineY; y < clientHeight - kMemoryLineHeight; y += kMemoryLineHeight)
        ++lines;
    if (lines == 0) return;
    DrawCells cells{.x = kMemoryHexX,
                    .y = kMemoryFirstLineY,
                    .cellW = kMemoryCharWidth,
                    .cellH = kMemoryLineHeight,
                    .cols = kCols,
                    .rows = lines,
                    .colors = {}};
    cells.colors.assign(size_t(kCols) * size_t(lines), DrawCells::kNoCell);
    std::vector<DrawText> texts;
    texts.reserve(size_t(lines) * 72 + size_t(lines));
    std::vector<DrawRect> bars;
    const CEmulator& emu = doc->Emulator();
    auto watchAt = [&](int64_t a) -> uint8_t {
        return InRam(*doc, a) ? emu.WatchAt(CEmulator::kStackBase + static_cast<uint32_t>(a)) : 0;
    };

    for (int n = 0; n < lines; ++n) {
        const int y = kMemoryFirstLineY + n * kMemoryLineHeight;
        const int64_t a0 = int64_t{page.top} + int64_t{kBytesPerLine} * n;
        uint32_t* row = cells.colors.data() + size_t(n) * kCols;
        page.lastShown = static_cast<int32_t>(a0 + kBytesPerLine - 1);
        bool startOnLine = false;
        // Bytes b0..b-1 of this line share the watch kinds `runKinds`: one bar over their
        // hex cells (with the separators between them) and one over their characters.
        int b0 = 0;
        uint8_t runKinds = 0;
        auto endRun = [&](int b) {
            if (runKinds != 0 && b > b0) {
                const Rgb colour = kMemoryWatchBar[runKinds & 3];
                bars.push_back({kMemoryHexX + 3 * kMemoryCharWidth * b0, y,
                                3 * kMemoryCharWidth * (b - b0) - kMemoryCharWidth,
                                kMemoryWatchBarHeight, colour});
                bars.push_back({kCharX + kMemoryCharWidth * b0, y, kMemoryCharWidth * (b - b0),
                                kMemoryWatchBarHeight, colour});
            }
            b0 = b;
        };
        for (int b = 0; b < kBytesPerLine; ++b) {
            const int64_t a = a0 + b;
            const int x = kMemoryHexX + 3 * kMemoryCharWidth * b;
            if (a == start) {
                state.modifyPlaced = true;
                startOnLine = true;
                state.modifyLeft = x;
                state.modifyTop = y;
                state.modifyBottom = y + 14;
                state.modifyRight = kCharX;  // unless the end is on this line
            }
            // An end on a later line leaves the box over the rest of the start's line.
            if (a == end && startOnLine) state.modifyRight = x + 14;
            const uint8_t watch = watchAt(a);
            if (watch != runKinds) {
                endRun(b);
                runKinds = watch;
            }
            if (!InRam(*doc, a)) continue;  // lines outside the RAM stay blank
            const uint8_t byte = doc->RamBytes()[a];
            const auto entry = doc->RamNames().At(static_cast<uint32_t>(a));
            const bool selected = selection && start <= a && a <= end;
            Rgb cell = kWhite;
            if (a == page.cursor)
                cell = kMemoryCursor;
            else if (selected)
                cell = kMemorySelection;
            else if (watch != 0)
                cell = kMemoryWatchBackground[watch & 3];
            else if (entry != RamNameTable::Entry::None)
                cell = kMemoryNamed;
            Rgb sep = kWhite;
            if (selection && start <= a && a < end)
                sep = kMemorySelection;
            else if (watch != 0 && watchAt(a + 1) == watch)
                sep = kMemoryWatchBackground[watch & 3];
            else if (InRam(*doc, a + 1) && doc->RamNames().At(static_cast<uint32_t>(a + 1)) ==
                                               RamNameTable::Entry::Continued)
                sep = kMemoryNamed;
            row[3 * b] = row[3 * b + 1] = Pack(cell);
            row[3 * b + 2] = Pack(sep);

            static constexpr char kHex[] = "0123456789ABCDEF";
            texts.push_back({.x = x,
                             .y = y,
                             .font = kMemoryFont,
                             .color = kBlack,
                             .text = {kHex[byte >> 4], kHex[byte & 15]}});
            if (b % 4 == 3)
                texts.push_back({.x = x + 2 * kMemoryCharWidth,
                                 .y = y,
                                 .font = kMemoryFont,
                                 .color = kBlack,
                                 .text = ":"});

            Rgb charCell = kWhite;
            if (a == page.cursor)
                charCell = kMemoryCursor;
            else if (selected)
                charCell = kMemorySelection;
            else if (watch != 0)
                charCell = kMemoryWatchBackground[watch & 3];
            row[kHexCols + 2 + b] = Pack(charCell);
            texts.push_back({.x = kCharX + kMemoryCharWidth * b,
                             .y = y,
                             .font = kMemoryFont,
                             .color = kBlack,
                             .text = std::string(1, byte < 0x20 ? '.' : static_cast<char>(byte))});
        }
        endRun(kBytesPerLine);
        if (InRam(*doc, a0) || InRam(*doc, a0 + kBytesPerLine - 1)) {
            std::snprintf(buffer, sizeof buffer,
                          "%.8X: ", static_cast<uint32_t>(a0) + doc->RamBase());
            texts.push_back(
                {.x = 10, .y = y, .font = kMemoryFont, .color = kBlack, .text = buffer});
        }
    }
    out.Cells(std::move(cells));
    for (DrawText& t : texts) out.Text(std::move(t));
    for (const DrawRect& bar : bars) out.Rect(bar);
}

namespace {

void MoveTo(MemoryPage& page, int32_t offset, bool shift) {
    page.cursor = offset;
    if (!shift) {
        page.selectionStart = page.selectionEnd = offset;
    } else if (page.cursor < page.selectionStart) {
        page.selectionStart = page.cursor;
    } else {
        page.selectionEnd = page.cursor;
    }
}

}  // namespace

MemoryKeyResult MemoryKeyDown(CTravikDoc& doc, MemoryViewState& state, MemoryKey key, bool shift,
                              bool ctrl, int function) {
    MemoryKeyResult result;
    MemoryPage& page = state.Current();
    const int32_t ramSize = static_cast<int32_t>(doc.RamSize());
    switch (key) {
        case MemoryKey::kLeft:
            MoveTo(page, std::max(page.cursor - 1, 0), shift);
            break;
        case MemoryKey::kRight:
            MoveTo(page, std::min(page.cursor + 1, ramSize - 1), shift);
            break;
        case MemoryKey::kUp:
            MoveTo(page, page.cursor < kBytesPerLine ? 0 : page.cursor - kBytesPerLine, shift);
            break;
        case MemoryKey::kDown:
            MoveTo(page, std::min(page.cursor + kBytesPerLine, ramSize - 1), shift);
            break;
        case MemoryKey::kPageUp: {
            const int32_t d = std::max(0, std::min(page.lastShown - page.top + 1, page.top));
            page.top -= d;
            page.cursor -= d;
            page.lastShown -= d;
            page.selectionStart = page.selectionEnd = page.cursor;
            break;
        }
        case MemoryKey::kPageDown: {
            int32_t d = page.lastShown - page.top + 1;
            if (int64_t{page.lastShown} + d + 1 >= ramSize) d = ramSize - page.lastShown - 1;
            d = std::max(d, 0);
            page.top += d;
            page.cursor += d;
            page.lastShown += d;
            page.selectionStart = page.selectionEnd = page.cursor;
            break;
        }
        case MemoryKey::kFunction:
            if (ctrl && function >= 1 && function <= kMemoryPages) state.page = function - 1;
            break;
        case MemoryKey::kName: {
            // At() is None outside the RAM, which ends the walk there.
            uint32_t at = static_cast<uint32_t>(page.selectionStart);
            DocEdit::RamNames cleared{at, {}};
            for (; doc.RamNames().At(at) == RamNameTable::Entry::Continued; ++at)
                cleared.names.emplace_back();
            // The names are saved with the annotations: a change must reach the info file.
            if (!cleared.names.empty())
                doc.Apply(DocEdit{.parts = {std::move(cleared)}, .after = DocEdit::kModified},
                          Format("RAM name at %08X", doc.RamBase() + page.selectionStart),
                          EditStep::kNoFocus);
            if (const std::string* name = doc.RamNames().Find(at)) {
                result.setEditorText = true;
                result.editorText = *name;
            }
            result.editor = MemoryKeyResult::Editor::kName;
            result.first = page.selectionStart;
            result.last = page.selectionEnd;
            break;
        }
        case MemoryKey::kModify:
            result.editor = MemoryKeyResult::Editor::kModify;
            result.first = page.selectionStart;
            result.last = page.selectionEnd;
            break;
        case MemoryKey::kWatchRead:
        case MemoryKey::kWatchWrite: {
            // The selection, or the cursor byte alone: following the emulator moves the
            // cursor away from a collapsed selection.
            int64_t first = page.cursor, last = page.cursor;
            if (page.selectionStart != page.selectionEnd) {
                first = std::min(page.selectionStart, page.selectionEnd);
                last = std::max(page.selectionStart, page.selectionEnd);
            }
            first = std::max<int64_t>(first, 0);
            last = std::min<int64_t>(last, int64_t{ramSize} - 1);
            if (first > last) break;  // nothing of it lies in the RAM
            const uint8_t kind =
                key == MemoryKey::kWatchRead ? CEmulator::kWatchRead : CEmulator::kWatchWrite;
            doc.Session().SetWatchRange(CEmulator::kStackBase + static_cast<uint32_t>(first),
                                        static_cast<uint32_t>(last - first + 1), kind, !shift);
            break;
        }
    }
    result.repaint = key != MemoryKey::kName && key != MemoryKey::kModify;
    // One line of scrolling brings the cursor back into view.
    MemoryPage& now = state.Current();
    if (now.top > now.cursor) now.top -= kBytesPerLine;
    if (now.lastShown < now.cursor) now.top += kBytesPerLine;
    return result;
}

std::string MemoryCopyText(const CTravikDoc& doc, const MemoryPage& page) {
    const int64_t size = doc.RamSize();
    const int64_t first = std::max<int64_t>(std::min(page.selectionStart, page.selectionEnd), 0);
    const int64_t last = std::min<int64_t>(std::max(page.selectionStart, page.selectionEnd), size - 1);
    std::string text;
    for (int64_t i = first; i <= last && doc.RamBytes() != nullptr; ++i) {
        text += Format("%02X", doc.RamBytes()[i]);
        text += (i - first) % 16 == 15 || i == last ? '\n' : ' ';
    }
    return text;
}
