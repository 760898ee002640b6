#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/DrawList.h"

class CEmulator;
class CTravikDoc;

// The Memory Dump window: a hex and character dump of the stack RAM with twelve
// independent pages; pages 0 to 2 follow the emulated code's reads, writes or both.

inline constexpr FontId kMemoryFont = FontId::kMemory;
inline constexpr int kMemoryCharWidth = 7;
inline constexpr int kMemoryLineHeight = 12;
inline constexpr int kMemoryFirstLineY = 16;
inline constexpr int kMemoryHexX = 80;
inline constexpr int kBytesPerLine = 32;
inline constexpr int kMemoryPages = 12;
inline constexpr int kMemoryEditorId = 9003;

inline constexpr Rgb kMemoryCursor{0, 255, 0};
inline constexpr Rgb kMemorySelection{128, 255, 128};
inline constexpr Rgb kMemoryNamed{128, 128, 128};

// Watched bytes: a background of their own (where the cursor or the selection does
// not colour it) and a bar in a strong shade along the top of the cell, over any
// background. Index: the watch kinds, 1 read, 2 write, 3 both.
inline constexpr Rgb kMemoryWatchBackground[4] = {
    kWhite, {170, 200, 255}, {255, 175, 175}, {225, 175, 255}};
inline constexpr Rgb kMemoryWatchBar[4] = {kWhite, {0, 0, 255}, {230, 0, 0}, {160, 0, 200}};
inline constexpr int kMemoryWatchBarHeight = 2;

// Offsets are RAM byte indexes; they may point outside the RAM (a page that follows a
// byte on the first line starts a line above it), nothing there is ever read.
struct MemoryPage {
    int32_t top = 0;
    int32_t lastShown = 0;
    int32_t cursor = 0;
    int32_t selectionStart = 0;
    int32_t selectionEnd = 0;
};

struct MemoryViewState {
    int page = 0;
    MemoryPage pages[kMemoryPages];
    // The selection's first cells as the last paint found them (for the modify box);
    // not placed when the selection's start was not on screen.
    bool modifyPlaced = false;
    int modifyLeft = 0, modifyTop = 0, modifyRight = 0, modifyBottom = 0;

    MemoryPage& Current() { return pages[page]; }
    const MemoryPage& Current() const { return pages[page]; }
};

// What Copy puts on the clipboard from the memory window: the selected RAM bytes in hex,
// sixteen to a line ("0A 1B ...", LF line ends).
std::string MemoryCopyText(const CTravikDoc& doc, const MemoryPage& page);

// Moves the current page to the emulator's latest stack access, if the page follows
// that kind, and consumes the access mark. Done where a run reports its changes (and
// when a following page is chosen), never by a paint: whether the dump follows an
// access must not depend on whether the bar happened to be painted.
class LatestAccesses;
void FollowEmulator(MemoryViewState& state, LatestAccesses& marks);

// Puts the page's cursor, with an empty selection, on the RAM byte `offset`, its line
// second from the top, as following an access does.
void ShowRamOffset(MemoryPage& page, int32_t offset);

// Paints the current page into `out` (cleared first) and records lastShown and the
// modify box's rectangle in the state. Reads the document only.
void PaintMemory(const CTravikDoc* doc, MemoryViewState& state, int clientWidth, int clientHeight,
                 DrawList& out);

enum class MemoryKey {
    kLeft,
    kRight,
    kUp,
    kDown,
    kPageUp,
    kPageDown,
    kFunction,
    kName,
    kModify,
    kWatchRead,   // R: a read watchpoint on the selection (or the cursor byte); Shift: remove
    kWatchWrite,  // W: the same for writes
};

// What a key asks of the window.
struct MemoryKeyResult {
    bool repaint = false;
    enum class Editor { kNone, kName, kModify } editor = Editor::kNone;
    // For the name editor: the name to show, when the range starts at a named byte.
    bool setEditorText = false;
    std::string editorText;
    int32_t first = 0, last = 0;  // the range the editor works on
};

// A key of the window (only with a document). For kFunction, `function` is 1..12.
// Key E (kName) unnames the continued bytes at the selection's start at once.
MemoryKeyResult MemoryKeyDown(CTravikDoc& doc, MemoryViewState& state, MemoryKey key, bool shift,
                              bool ctrl, int function = 0);
