#pragma once

#include <cstdint>
#include <memory>
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
inline constexpr const char* kOnlyWildcards =
    "The pattern needs at least one hex digit besides the wildcards";
// In the hex modes `?` stands for any hex digit, so `??` for any byte.
inline constexpr char kWildcard = '?';

// Finds `pattern` from image offset `start` to the end of the image and then, when
// `start` is not 0, from the beginning up to `start`. The result is the offset of the
// item where the match lies, or -1. Progress and the outcome go to the status bar of
// the document's frame; an odd aligned hex pattern is refused with a message box.
// Every candidate is tried, including matches that end at the image's last byte; a
// pattern longer than the image finds nothing. With `annotationsToo` the text modes
// also search each item's notes, header, footer, explanations and the RAM names it
// points into (the Find dialog's "Notes and names too").
int32_t Search(const CTravikDoc& doc, std::string pattern, uint32_t start, int mode,
               bool annotationsToo = false);

// Every item where the pattern occurs, in ascending order, each once. No status texts;
// the odd-digit and only-wildcards messages as above.
std::vector<uint32_t> SearchAll(const CTravikDoc& doc, std::string pattern, int mode,
                                bool annotationsToo = false);

// SearchAll in slices, so a window stays live: each Step searches the next part of the
// image (or of its items' lines) and adds its items to Results().
class FindAll {
  public:
    FindAll(const CTravikDoc& doc, std::string pattern, int mode, bool annotationsToo = false);
    ~FindAll();
    // True when the pattern was refused with a message; Done() is then true at once.
    bool Refused() const;
    bool Done() const;
    // Searches about `bytes` more image bytes; false when nothing is left.
    bool Step(uint64_t bytes);
    // The image offset searched up to, for progress.
    uint64_t Position() const;
    const std::vector<uint32_t>& Results() const;
    // "Searching PATTERN in addr: " as Search's progress texts start.
    const std::string& ProgressPrefix() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// True when the text holds hex digits and wildcards only (what the Find dialog lets
// through for the two hex modes).
bool IsHexPattern(const std::string& pattern);
