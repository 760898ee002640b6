#include "listing/Search.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>

#include "document/CTravikDoc.h"
#include "listing/LineText.h"
#include "listing/TextFormat.h"
#include "shell/HexDigit.h"
#include "shell/FrameServices.h"

namespace {

// Candidates are searched in blocks; progress is told once per block. A block is a
// whole number of thousands of offsets, so every text shows an offset that is a
// multiple of 1000.
constexpr uint64_t kHexBlock = 1000 * 1024;
constexpr uint64_t kTextBlock = 1000 * 64;

void Upper(std::string& s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// One way a hex pattern can lie over the image bytes from a candidate offset o: an
// optional low nibble of byte o (`lead`), whole bytes from o + shift, and an optional
// high nibble of the byte after them (`tail`).
struct HexLayout {
    int lead = -1;
    uint32_t shift = 0;
    std::string bytes;
    int tail = -1;
    uint64_t Span() const { return shift + bytes.size() + (tail >= 0 ? 1 : 0); }
};

// Digits d0 d1 ... as whole bytes from digit `first`; a digit left over becomes the
// tail nibble.
HexLayout LayoutFrom(const std::vector<int>& digits, size_t first) {
    HexLayout layout;
    size_t k = first;
    for (; k + 1 < digits.size(); k += 2)
        layout.bytes.push_back(static_cast<char>(digits[k] << 4 | digits[k + 1]));
    if (k < digits.size()) layout.tail = digits[k];
    return layout;
}

// The first candidate o in [from, to) at which the layout matches within the image,
// or none.
std::optional<uint32_t> FindLayout(const uint8_t* image, uint32_t size, const HexLayout& m,
                                   uint64_t from, uint64_t to) {
    const uint64_t span = m.Span();
    if (span == 0 || span > size) return std::nullopt;
    const uint64_t last = std::min<uint64_t>(to, uint64_t{size} - span + 1);
    auto nibblesMatch = [&](uint64_t o) {
        return (m.lead < 0 || (image[o] & 15) == m.lead) &&
               (m.tail < 0 || (image[o + m.shift + m.bytes.size()] >> 4) == m.tail);
    };
    if (m.bytes.empty()) {
        for (uint64_t o = from; o < last; ++o)
            if (nibblesMatch(o)) return static_cast<uint32_t>(o);
        return std::nullopt;
    }
    const size_t length = m.bytes.size();
    uint64_t p = from;
    while (p < last) {
        const uint8_t* haystack = image + p + m.shift;
        const auto* hit = static_cast<const uint8_t*>(
            ::memmem(haystack, static_cast<size_t>(last - p) + length - 1, m.bytes.data(), length));
        if (hit == nullptr) return std::nullopt;
        const uint64_t o = static_cast<uint64_t>(hit - image) - m.shift;
        if (nibblesMatch(o)) return static_cast<uint32_t>(o);
        p = o + 1;
    }
    return std::nullopt;
}

// The item a match at `offset` reports: its halfword, or the next item's start when
// the halfword continues an item.
uint32_t ItemOfMatch(const CTravikDoc& doc, uint32_t offset) {
    const uint32_t count = doc.HalfwordCount();
    if (count == 0) return 0;
    // A match in the last byte of an odd-sized image belongs to the last halfword.
    uint32_t index = std::min(offset / 2, count - 1);
    while (index + 1 < count && (doc.flags[index] & flagbits::kContinuation)) ++index;
    return index * 2;
}

struct Reporter {
    const CTravikDoc& doc;
    bool enabled;
    std::string prefix;  // "Searching PATTERN in addr: "
    void At(uint64_t offset) const {
        if (!enabled) return;
        char hex[16];
        char* end = textformat::PutHex(hex, static_cast<uint32_t>(doc.baseAddress + offset), 1);
        doc.Frame().SetStatusText(prefix + std::string(hex, end));
    }
};

// A hex search prepared once: the layouts of the pattern (one for aligned, two for
// unaligned), or none when it can never match.
class HexSearch {
  public:
    HexSearch(const CTravikDoc& doc, const std::vector<HexLayout>& layouts)
        : doc_(doc), layouts_(layouts) {}

    // The first candidate in [from, to), reporting each block's first thousand.
    std::optional<uint32_t> Pass(uint64_t from, uint64_t to, const Reporter& report) const {
        to = std::min<uint64_t>(to, doc_.imageSize);
        for (uint64_t begin = from; begin < to;) {
            const uint64_t end = std::min<uint64_t>(to, (begin / kHexBlock + 1) * kHexBlock);
            const uint64_t thousand = (begin + 999) / 1000 * 1000;
            if (thousand < end) report.At(thousand);
            std::optional<uint32_t> best;
            for (const HexLayout& layout : layouts_) {
                const std::optional<uint32_t> hit =
                    FindLayout(doc_.image, doc_.imageSize, layout, begin, best ? *best : end);
                if (hit) best = hit;
            }
            if (best) return best;
            begin = end;
        }
        return std::nullopt;
    }

  private:
    const CTravikDoc& doc_;
    const std::vector<HexLayout>& layouts_;
};

struct LowerTable {
    char c[256];
    constexpr LowerTable() : c() {
        for (int i = 0; i < 256; ++i) c[i] = static_cast<char>(i >= 'A' && i <= 'Z' ? i + 32 : i);
    }
    char operator[](uint8_t i) const { return c[i]; }
};
constexpr LowerTable kLower;

// Item lines searched item by item from `from` while the item lies before `to`.
class TextSearch {
  public:
    TextSearch(const CTravikDoc& doc, std::string pattern, bool ignoreCase)
        : doc_(doc), pattern_(std::move(pattern)), ignoreCase_(ignoreCase) {}

    template <typename OnMatch>
    void Walk(uint64_t from, uint64_t to, const Reporter& report, OnMatch&& onMatch) const {
        const uint32_t count = doc_.HalfwordCount();
        if (count == 0) return;
        int64_t o = static_cast<int64_t>(from & ~uint64_t{1});
        uint64_t nextReport = o;
        LineBuffer line;
        std::string lowered;
        while (o / 2 < count && static_cast<uint64_t>(o) < to) {
            if (static_cast<uint64_t>(o) >= nextReport) {
                report.At(static_cast<uint64_t>(o));
                nextReport = (static_cast<uint64_t>(o) / kTextBlock + 1) * kTextBlock;
            }
            GetLineText(doc_, o, 0, line);
            std::string_view text = line.View();
            if (ignoreCase_) {
                lowered.resize(text.size());
                for (size_t k = 0; k < text.size(); ++k)
                    lowered[k] = kLower[static_cast<uint8_t>(text[k])];
                text = lowered;
            }
            if (text.find(pattern_) != std::string_view::npos && !onMatch(static_cast<uint32_t>(o)))
                return;
            int s = 1;
            o = doc_.NextLine(o, s);
            if (s == 2) return;
        }
    }

  private:
    const CTravikDoc& doc_;
    std::string pattern_;
    bool ignoreCase_;
};

// The prepared search of one call: its layouts or text, and its progress texts.
struct Prepared {
    bool refused = false;
    bool hex = false;
    std::vector<HexLayout> layouts;
    std::string text;
    bool ignoreCase = false;
    std::string shownPattern;
};

Prepared Prepare(const CTravikDoc& doc, std::string pattern, int mode) {
    Prepared p;
    if (mode == kSearchHex || mode == kSearchHexUnaligned) {
        p.hex = true;
        if (mode == kSearchHex && pattern.size() % 2 != 0) {
            doc.Frame().ShowMessage(kOddHexDigits);
            p.refused = true;
            return p;
        }
        Upper(pattern);
        p.shownPattern = pattern;
        std::vector<int> digits;
        digits.reserve(pattern.size());
        bool allHex = true;
        for (char c : pattern) {
            const int v = HexDigitValue(c);
            allHex = allHex && v >= 0;
            // Aligned: a character that is no hex digit counts as 0.
            digits.push_back(v < 0 ? 0 : v);
        }
        if (mode == kSearchHex) {
            p.layouts.push_back(LayoutFrom(digits, 0));
        } else if (allHex && !digits.empty()) {
            // Unaligned: the digits start at a byte's high nibble or at its low one. A
            // character that is no hex digit matches no digit of the image.
            p.layouts.push_back(LayoutFrom(digits, 0));
            HexLayout odd = LayoutFrom(digits, 1);
            odd.lead = digits[0];
            odd.shift = 1;
            p.layouts.push_back(std::move(odd));
        }
    } else {
        p.ignoreCase = mode == kSearchText;
        if (p.ignoreCase)
            for (char& c : pattern)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        p.shownPattern = pattern;
        p.text = std::move(pattern);
    }
    return p;
}

}  // namespace

bool IsHexPattern(const std::string& pattern) {
    return std::all_of(pattern.begin(), pattern.end(), [](char c) { return HexDigitValue(c) >= 0; });
}

int32_t Search(const CTravikDoc& doc, std::string pattern, uint32_t start, int mode) {
    const Prepared p = Prepare(doc, std::move(pattern), mode);
    if (p.refused) return -1;
    FrameServices& frame = doc.Frame();
    const Reporter report{
        doc, true, (p.hex ? "Searching " : "Searching string ") + p.shownPattern + " in addr: "};
    std::optional<uint32_t> hit;
    if (p.hex) {
        const HexSearch search(doc, p.layouts);
        hit = search.Pass(start, doc.imageSize, report);
        if (!hit && start != 0) hit = search.Pass(0, start, report);
    } else if (!p.text.empty()) {
        const TextSearch search(doc, p.text, p.ignoreCase);
        auto first = [&](uint32_t o) {
            hit = o;
            return false;
        };
        search.Walk(start, UINT64_MAX, report, first);
        if (!hit && start != 0) search.Walk(0, start, report, first);
    }
    if (hit) {
        frame.SetStatusText("Ready");
        return static_cast<int32_t>(ItemOfMatch(doc, *hit));
    }
    frame.SetStatusText(start == 0 ? kNotFound : "Ready");
    return -1;
}

std::vector<uint32_t> SearchAll(const CTravikDoc& doc, std::string pattern, int mode) {
    const Prepared p = Prepare(doc, std::move(pattern), mode);
    std::vector<uint32_t> results;
    if (p.refused) return results;
    const Reporter quiet{doc, false, {}};
    auto add = [&](uint32_t match) {
        const uint32_t item = ItemOfMatch(doc, match);
        if (results.empty() || results.back() != item) results.push_back(item);
        return true;
    };
    if (p.hex) {
        const HexSearch search(doc, p.layouts);
        for (uint64_t from = 0;;) {
            const std::optional<uint32_t> hit = search.Pass(from, doc.imageSize, quiet);
            if (!hit) break;
            add(*hit);
            from = uint64_t{*hit} + 1;
        }
    } else if (!p.text.empty()) {
        TextSearch(doc, p.text, p.ignoreCase).Walk(0, UINT64_MAX, quiet, add);
    }
    return results;
}
