#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "shell/DrawList.h"

class CEmulator;
class CTravikDoc;

// The Emulator window: registers, flags, the stack and the peripheral registers of the
// emulator of the document the bars show, with what changed in the last step in red.

inline constexpr FontId kRegistersFont = FontId::kListing;  // "Courier New" 15
inline constexpr int kRegisterRowHeight = 15;
inline constexpr int kRegisterRightX = 150;
inline constexpr int kRegisterEditorWidth = 80;
inline constexpr int kRegisterEditorHeight = 15;
inline constexpr int kRegisterEditorId = 9002;
// The fixed pitch of the font, for the accessible text's columns.
inline constexpr int kRegistersCharWidth = 9;

extern const char* const kRegisterNames[16];

// Paints the window; no document: "No file loaded" only. Reads the emulator and the
// stack RAM and changes neither (no warnings, no memory-access marks).
void PaintRegisters(const CTravikDoc* doc, DrawList& out);

// The register a double click at (x, y) edits and where its editor goes; none below
// the register rows.
struct RegisterEditPlace {
    int index = 0;
    int x = 0, y = 0;
};
std::optional<RegisterEditPlace> RegisterAt(int x, int y);

// The editor's starting text: the register in eight hex digits.
std::string RegisterEditText(const CEmulator& emulator, int index);
// Stores a typed hex value into the register (CEmulator::SetRegister: a new PC is a
// jump); false (nothing stored) when the text is not hexadecimal.
bool StoreRegisterEntry(CEmulator& emulator, int index, std::string_view text);
