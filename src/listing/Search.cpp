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
// high nibble of the byte after them (`tail`). `border[k]` is the length of the
// longest proper prefix of bytes[0..k] that is also its suffix (the partial match
// the byte scan keeps after an occurrence or a mismatch).
struct HexLayout {
    int lead = -1;
    uint32_t shift = 0;
    std::string bytes;
    int tail = -1;
    std::vector<uint32_t> border;
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
    const std::string& b = layout.bytes;
    layout.border.assign(b.size(), 0);
    for (size_t i = 1, j = 0; i < b.size(); ++i) {
        while (j > 0 && b[i] != b[j]) j = layout.border[j - 1];
        if (b[i] == b[j]) ++j;
        layout.border[i] = static_cast<uint32_t>(j);
    }
    return layout;
}

// The candidates of one layout from `from` on, in ascending order, each found once:
// the whole-byte part is scanned byte by byte keeping its partial match (so no byte
// is read twice however often the bytes occur while a nibble does not match), with
// memchr skipping to the first byte whenever no partial match is pending. Each
// occurrence is then checked for its nibbles.
class LayoutScan {
  public:
    LayoutScan(const uint8_t* image, uint32_t size, const HexLayout& m, uint64_t from)
        : image_(image), m_(m), length_(m.bytes.size()) {
        const uint64_t span = m.Span();
        end_ = span == 0 || span > size ? 0 : uint64_t{size} - span + 1;
        next_ = from;
        at_ = from + m.shift;
    }

    // The first candidate not yet skipped that lies below `to`, or none. The scan reads
    // only what candidates below `to` need and goes on from there on a later call.
    std::optional<uint32_t> Peek(uint64_t to) {
        const uint64_t last = std::min(to, end_);
        if (!pending_) pending_ = length_ == 0 ? ScanNibbles(last) : ScanBytes(last);
        if (pending_ && *pending_ < to) return pending_;
        return std::nullopt;
    }
    // Candidates below `offset` are not wanted any more.
    void SkipBelow(uint64_t offset) {
        floor_ = std::max(floor_, offset);
        next_ = std::max(next_, floor_);
        if (pending_ && *pending_ < floor_) pending_.reset();
    }

  private:
    bool NibblesMatch(uint64_t o) const {
        return (m_.lead < 0 || (image_[o] & 15) == m_.lead) &&
               (m_.tail < 0 || (image_[o + m_.shift + length_] >> 4) == m_.tail);
    }

    std::optional<uint32_t> ScanNibbles(uint64_t last) {
        for (; next_ < last; ++next_)
            if (NibblesMatch(next_)) return static_cast<uint32_t>(next_++);
        return std::nullopt;
    }

    // Candidates below `last` have their bytes before `last + shift + length - 1`.
    std::optional<uint32_t> ScanBytes(uint64_t last) {
        if (last == 0) return std::nullopt;
        const uint64_t stop = last + m_.shift + length_ - 1;
        const auto* pattern = reinterpret_cast<const uint8_t*>(m_.bytes.data());
        const uint32_t* border = m_.border.data();
        uint64_t i = at_;
        size_t j = matched_;
        std::optional<uint32_t> hit;
        while (i < stop) {
            if (j == 0 && image_[i] != pattern[0]) {
                const void* first = std::memchr(image_ + i + 1, pattern[0], stop - i - 1);
                if (first == nullptr) {
                    i = stop;
                    break;
                }
                i = static_cast<uint64_t>(static_cast<const uint8_t*>(first) - image_);
            }
            const uint8_t c = image_[i++];
            while (j > 0 && pattern[j] != c) j = border[j - 1];
            if (pattern[j] == c) ++j;
            if (j == length_) {
                j = border[length_ - 1];
                const uint64_t o = i - length_ - m_.shift;
                if (o >= floor_ && NibblesMatch(o)) {
                    hit = static_cast<uint32_t>(o);
                    break;
                }
            }
        }
        at_ = i;
        matched_ = j;
        return hit;
    }

    const uint8_t* image_;
    const HexLayout& m_;
    size_t length_;
    uint64_t end_;        // candidates lie below it (a match ends within the image)
    uint64_t floor_ = 0;  // candidates below it are skipped
    uint64_t next_;       // the next candidate the nibble-only scan checks
    uint64_t at_;         // the next image byte the byte scan reads
    size_t matched_ = 0;  // bytes of the layout matched just before at_
    std::optional<uint32_t> pending_;
};

// The item a match at `offset` reports: its halfword, or the next item's start when
// the halfword continues an item.
uint32_t ItemOfMatch(const CTravikDoc& doc, uint32_t offset) {
    if (doc.HalfwordCount() == 0) return 0;
    // A match in the last byte of an odd-sized image belongs to the last halfword.
    const uint32_t last = 2 * doc.HalfwordCount() - 2;
    return doc.NextItemStart(std::min(offset, last), last);
}

struct Reporter {
    const CTravikDoc& doc;
    bool enabled;
    std::string prefix;  // "Searching PATTERN in addr: "
    void At(uint64_t offset) const {
        if (!enabled) return;
        char hex[16];
        char* end = textformat::PutHex(hex, doc.DisplayedAddress(static_cast<int64_t>(offset)), 1);
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
        to = std::min<uint64_t>(to, doc_.ImageSize());
        std::vector<LayoutScan> scans = Scans(from);
        for (uint64_t begin = from; begin < to;) {
            const uint64_t end = std::min<uint64_t>(to, (begin / kHexBlock + 1) * kHexBlock);
            const uint64_t thousand = (begin + 999) / 1000 * 1000;
            if (thousand < end) report.At(thousand);
            std::optional<uint32_t> best;
            for (LayoutScan& scan : scans)
                if (const std::optional<uint32_t> hit = scan.Peek(best ? *best : end)) best = hit;
            if (best) return best;
            begin = end;
        }
        return std::nullopt;
    }

    // The items of the image's candidates in ascending order, each once except the
    // last item of an odd image (its halfword and the last byte).
    template <typename OnItem>
    void AllItems(OnItem&& onItem) const {
        std::vector<LayoutScan> scans = Scans(0);
        for (;;) {
            std::optional<uint32_t> best;
            for (LayoutScan& scan : scans)
                if (const std::optional<uint32_t> hit = scan.Peek(best ? *best : UINT64_MAX))
                    best = hit;
            if (!best) return;
            const uint32_t item = ItemOfMatch(doc_, *best);
            onItem(item);
            // Candidates up to the end of the item's halfword report the same item (the
            // last byte of an odd image lies after its item's halfword).
            const uint64_t next = std::max(uint64_t{item} + 2, uint64_t{*best} + 1);
            for (LayoutScan& scan : scans) scan.SkipBelow(next);
        }
    }

  private:
    std::vector<LayoutScan> Scans(uint64_t from) const {
        std::vector<LayoutScan> scans;
        scans.reserve(layouts_.size());
        for (const HexLayout& layout : layouts_)
            scans.emplace_back(doc_.Image(), doc_.ImageSize(), layout, from);
        return scans;
    }

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
        hit = search.Pass(start, doc.ImageSize(), report);
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
        HexSearch(doc, p.layouts).AllItems([&](uint32_t item) {
            // The last byte of an odd image reports the item before it a second time.
            if (results.empty() || results.back() != item) results.push_back(item);
        });
    } else if (!p.text.empty()) {
        TextSearch(doc, p.text, p.ignoreCase).Walk(0, UINT64_MAX, quiet, add);
    }
    return results;
}
