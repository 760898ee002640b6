#pragma once

#include <cstdint>
#include <string>

#include "listing/TextFormat.h"

class CTravikDoc;

// The texts of listing lines. A line is (image offset, sub-line): -1 the header
// separator, 0 the item line, 1 the footer separator, 2 "End of File". Annotations are
// not part of a line's text; each consumer places them itself.
inline constexpr const char* kHeaderSeparator = "-----------------------------------------v";
inline constexpr const char* kFooterSeparator = "-----------------------------------------^";
inline constexpr const char* kEndOfFile = "End of File";

// Replaces the buffer's text with the text of the line.
void GetLineText(const CTravikDoc& doc, int64_t offset, int subLine, LineBuffer& out);
std::string GetLineText(const CTravikDoc& doc, int64_t offset, int subLine);

// The item lines; each appends to the buffer. The offset is an item's first halfword.
void FormatThumbLine(const CTravikDoc& doc, uint32_t offset, LineBuffer& out);
// size is 2, 4, 8, 12 or 16.
void FormatDataLine(const CTravikDoc& doc, uint32_t offset, unsigned size, LineBuffer& out);
void FormatArmLine(const CTravikDoc& doc, uint32_t offset, LineBuffer& out);
