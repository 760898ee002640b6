#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "symbols/SymbolFile.h"

class CTravikDoc;

inline constexpr const char* kSymbolFileFilter =
    "Symbol Files (*.elf;*.sym;*.txt)|*.elf;*.sym;*.txt|All Files (*.*)|*.*||";

struct ImportReport {
    size_t routines = 0;   // routines that carry their symbol's name now
    size_t ramNames = 0;   // RAM names given
    size_t skipped = 0;    // symbols outside the image and the stack RAM
    bool changed = false;  // the annotations changed
};
// "N routines named, M RAM names, K skipped (outside the image)".
std::string ReportText(const ImportReport& report);

// Names what the symbols point at, as one step ("Import Symbols") that Undo takes back
// whole. A symbol at an even address inside the image (0x200000 + offset; bit 0 of a code
// symbol's address is the THUMB bit) makes a routine start there with the symbol's name
// as its header, taking the user mark as a typed header does; a halfword inside an item
// becomes a THUMB item of its own first. A header the user typed that differs is
// replaced only when the frame's Yes/No question says so; one the analysis made is
// replaced. A symbol in the stack RAM names its bytes (as many as its size, 1 when it has
// none, never into the next symbol's). Of several symbols at one address the first
// counts. Returns an error for the user, and changes nothing, when the info file would
// grow past what an open reads.
std::string ImportSymbols(CTravikDoc& doc, const std::vector<SymbolEntry>& symbols,
                          ImportReport& report);

// Reads the symbol file at `path` and imports it. False, with the reason shown in a box
// and nothing changed, when the file cannot be read, is damaged or is too much.
bool ImportSymbolFile(CTravikDoc& doc, const std::string& path, ImportReport& report);

// The Import Symbols command: asks for the file, imports it and shows the report.
void ImportSymbolsCommand(CTravikDoc& doc);
