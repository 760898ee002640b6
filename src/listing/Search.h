#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CTravikDoc;

// What the Find dialog searches for.
enum SearchMode : int {
    kSearchHex = 1,           // image bytes, two hex digits a byte, at any byte offset
    kSearchHexUnaligned = 2,  // the image's hex digits, from any digit
    kSearchText = 3,          // item line texts, case ignored
    kSearchTextCase = 4,      // item line texts, exact (also any other value)
};

inline constexpr const char* kOddHexDigits = "For aligned searches there must be even hex digits";
inline constexpr const char* kNotFound = "Not Found.";

// Finds `pattern` from image offset `start` to the end of the image and then, when
// `start` is not 0, from the beginning up to `start`. The result is the offset of the
// item where the match lies, or -1. Progress and the outcome go to the status bar of
// the document's frame; an odd aligned hex pattern is refused with a message box.
// Every candidate is tried, including matches that end at the image's last byte; a
// pattern longer than the image finds nothing.
int32_t Search(const CTravikDoc& doc, std::string pattern, uint32_t start, int mode);

// Every item where the pattern occurs, in ascending order, each once. No status texts;
// the odd-digit message as above.
std::vector<uint32_t> SearchAll(const CTravikDoc& doc, std::string pattern, int mode);

// True when the text holds hex digits only (what the Find dialog lets through for the
// two hex modes).
bool IsHexPattern(const std::string& pattern);
