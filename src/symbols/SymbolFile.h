#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A symbol read from a symbol file.
struct SymbolEntry {
    uint64_t address = 0;
    uint64_t size = 0;  // 0: not given
    // The symbol names code, so an odd address in the image is a THUMB routine's (an nm
    // text symbol, a plain ADDRESS NAME line). ELF FUNC symbols come with bit 0 cleared.
    bool code = false;
    std::string name;
};

// What a symbol file held, or why it could not be read.
struct SymbolFile {
    std::vector<SymbolEntry> symbols;
    std::string error;  // empty when read; else one line for the user
};

// The longest symbol name taken: longer ones mark a damaged or hostile file.
inline constexpr size_t kMaxSymbolName = 1024;
// The largest symbol file read (an exported ELF holds the whole image).
inline constexpr uint64_t kMaxSymbolFileSize = uint64_t{512} << 20;

// Reads the symbols of a file, telling the three kinds apart:
//   an ELF32 file (either byte order): its FUNC and OBJECT symbols (the .symtab, else
//     the .dynsym), undefined ones left out;
//   nm output: "ADDRESS [SIZE] TYPE NAME" lines (any type letter; the lines of undefined
//     symbols, which have no address, and "FILE:" headings are left out);
//   plain "ADDRESS NAME" lines (hex, with or without 0x).
// Blank lines are left out. Names must be UTF-8 without control characters and at most
// kMaxSymbolName bytes long. Any damage makes the whole file an error.
SymbolFile ReadSymbolFile(std::string_view bytes);
