#include "listing/Search.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <string_view>

#include "document/CTravikDoc.h"
#include "listing/AnnotationSearch.h"
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

// One way a hex pattern can lie over the image bytes from a candidate offset o: byte
// o + k must equal value[k] in the bits of mask[k] (a nibble that is a wildcard, or
// lies before or after the digits, has no bits in the mask). The longest run of whole
// bytes, the anchor, is what the scan looks for; the other bytes are checked at each
// occurrence. `border[k]` is the length of the longest proper prefix of anchor[0..k]
// that is also its suffix (the partial match the byte scan keeps after an occurrence
// or a mismatch).
struct HexLayout {
    std::string value;
    std::string mask;
    uint32_t anchorAt = 0;
    std::string anchor;
    std::vector<uint32_t> border;
    struct Check {
        uint32_t at;
        uint8_t value, mask;
    };
    std::vector<Check> checks;  // the masked bytes outside the anchor
    uint64_t Span() const { return value.size(); }
};

// The digits (-1 a wildcard) laid from nibble `firstNibble` of the candidate's byte.
HexLayout LayoutFrom(const std::vector<int>& digits, size_t firstNibble) {
    HexLayout layout;
    const size_t nibbles = firstNibble + digits.size();
    layout.value.assign((nibbles + 1) / 2, '\0');
    layout.mask.assign((nibbles + 1) / 2, '\0');
    for (size_t k = 0; k < digits.size(); ++k) {
        if (digits[k] < 0) continue;
        const size_t p = firstNibble + k;
        const int shift = p % 2 == 0 ? 4 : 0;
        layout.value[p / 2] = static_cast<char>(layout.value[p / 2] | digits[k] << shift);
        layout.mask[p / 2] = static_cast<char>(layout.mask[p / 2] | 15 << shift);
    }
    // The anchor: the first longest run of whole bytes.
    size_t bestAt = 0, bestLength = 0;
    for (size_t k = 0; k < layout.mask.size();) {
        size_t end = k;
        while (end < layout.mask.size() && static_cast<uint8_t>(layout.mask[end]) == 0xFF) ++end;
        if (end - k > bestLength) bestAt = k, bestLength = end - k;
        k = end + 1;
    }
    layout.anchorAt = static_cast<uint32_t>(bestAt);
    layout.anchor = layout.value.substr(bestAt, bestLength);
    for (size_t k = 0; k < layout.mask.size(); ++k)
        if (layout.mask[k] != 0 && (k < bestAt || k >= bestAt + bestLength))
            layout.checks.push_back({static_cast<uint32_t>(k),
                                     static_cast<uint8_t>(layout.value[k]),
                                     static_cast<uint8_t>(layout.mask[k])});
    const std::string& b = layout.anchor;
    layout.border.assign(b.size(), 0);
    for (size_t i = 1, j = 0; i < b.size(); ++i) {
        while (j > 0 && b[i] != b[j]) j = layout.border[j - 1];
        if (b[i] == b[j]) ++j;
        layout.border[i] = static_cast<uint32_t>(j);
    }
    return layout;
}

// The candidates of one layout from `from` on, in ascending order, each found once:
// the anchor is scanned byte by byte keeping its partial match (so no byte is read
// twice however often the anchor occurs while another byte does not match), with
// memchr skipping to its first byte whenever no partial match is pending. Each
// occurrence is then checked for the other bytes.
class LayoutScan {
  public:
    LayoutScan(const uint8_t* image, uint32_t size, const HexLayout& m, uint64_t from)
        : image_(image), m_(m), length_(m.anchor.size()) {
        const uint64_t span = m.Span();
        end_ = span == 0 || span > size ? 0 : uint64_t{size} - span + 1;
        next_ = from;
        at_ = from + m.anchorAt;
    }

    // The first candidate not yet skipped that lies below `to`, or none. The scan reads
    // only what candidates below `to` need and goes on from there on a later call.
    std::optional<uint32_t> Peek(uint64_t to) {
        const uint64_t last = std::min(to, end_);
        if (!pending_) pending_ = length_ == 0 ? ScanChecks(last) : ScanBytes(last);
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
    bool ChecksMatch(uint64_t o) const {
        for (const HexLayout::Check& c : m_.checks)
            if ((image_[o + c.at] & c.mask) != c.value) return false;
        return true;
    }

    std::optional<uint32_t> ScanChecks(uint64_t last) {
        for (; next_ < last; ++next_)
            if (ChecksMatch(next_)) return static_cast<uint32_t>(next_++);
        return std::nullopt;
    }

    // Candidates below `last` have their anchor before `last + anchorAt + length - 1`.
    std::optional<uint32_t> ScanBytes(uint64_t last) {
        if (last == 0) return std::nullopt;
        const uint64_t stop = last + m_.anchorAt + length_ - 1;
        const auto* pattern = reinterpret_cast<const uint8_t*>(m_.anchor.data());
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
                const uint64_t o = i - length_ - m_.anchorAt;
                if (o >= floor_ && ChecksMatch(o)) {
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
    uint64_t next_;       // the next candidate the check-only scan tries
    uint64_t at_;         // the next image byte the anchor scan reads
    size_t matched_ = 0;  // bytes of the anchor matched just before at_
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

    // The items of the candidates in [from, to) in ascending order, each once except
    // the last item of an odd image (its halfword and the last byte).
    template <typename OnItem>
    void AllItems(uint64_t from, uint64_t to, OnItem&& onItem) const {
        std::vector<LayoutScan> scans = Scans(from);
        for (;;) {
            std::optional<uint32_t> best;
            for (LayoutScan& scan : scans)
                if (const std::optional<uint32_t> hit = scan.Peek(best ? *best : to)) best = hit;
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
    TextSearch(const CTravikDoc& doc, std::string pattern, bool ignoreCase, bool annotationsToo)
        : doc_(doc), pattern_(std::move(pattern)), ignoreCase_(ignoreCase) {
        if (annotationsToo) annotations_.emplace(doc, pattern_, ignoreCase);
    }

    // Returns the item it stopped before (UINT64_MAX at the image's end or a match
    // refused by `onMatch`).
    template <typename OnMatch>
    uint64_t Walk(uint64_t from, uint64_t to, const Reporter& report, OnMatch&& onMatch) const {
        const uint32_t count = doc_.HalfwordCount();
        if (count == 0) return UINT64_MAX;
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
            int s = 1;
            const int64_t next = doc_.NextLine(o, s);
            const bool found =
                text.find(pattern_) != std::string_view::npos ||
                (annotations_ && annotations_->Matches(static_cast<uint32_t>(o),
                                                       static_cast<uint32_t>(s == 2 ? o + 2 : next)));
            if (found && !onMatch(static_cast<uint32_t>(o))) return UINT64_MAX;
            if (s == 2) return UINT64_MAX;
            o = next;
        }
        return o / 2 < count ? static_cast<uint64_t>(o) : UINT64_MAX;
    }

  private:
    const CTravikDoc& doc_;
    std::string pattern_;
    bool ignoreCase_;
    std::optional<AnnotationSearch> annotations_;
};

// The prepared search of one call: its layouts or text, and its progress texts.
struct Prepared {
    bool refused = false;
    bool hex = false;
    std::vector<HexLayout> layouts;
    std::string text;
    bool ignoreCase = false;
    bool annotationsToo = false;
    std::string shownPattern;
};

Prepared Prepare(const CTravikDoc& doc, std::string pattern, int mode, bool annotationsToo) {
    Prepared p;
    p.annotationsToo = annotationsToo;
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
            const int v = c == kWildcard ? -1 : HexDigitValue(c);
            allHex = allHex && (v >= 0 || c == kWildcard);
            // Aligned: a character that is neither a hex digit nor a wildcard counts as 0.
            digits.push_back(v < 0 && c != kWildcard ? 0 : v);
        }
        if (!pattern.empty() && std::count(pattern.begin(), pattern.end(), kWildcard) ==
                                    static_cast<std::ptrdiff_t>(pattern.size())) {
            doc.Frame().ShowMessage(kOnlyWildcards);
            p.refused = true;
            return p;
        }
        if (mode == kSearchHex) {
            p.layouts.push_back(LayoutFrom(digits, 0));
        } else if (allHex && !digits.empty()) {
            // Unaligned: the digits start at a byte's high nibble or at its low one. A
            // character that is no hex digit matches no digit of the image.
            p.layouts.push_back(LayoutFrom(digits, 0));
            p.layouts.push_back(LayoutFrom(digits, 1));
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
    return std::all_of(pattern.begin(), pattern.end(),
                       [](char c) { return c == kWildcard || HexDigitValue(c) >= 0; });
}

int32_t Search(const CTravikDoc& doc, std::string pattern, uint32_t start, int mode,
               bool annotationsToo) {
    const Prepared p = Prepare(doc, std::move(pattern), mode, annotationsToo);
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
        const TextSearch search(doc, p.text, p.ignoreCase, p.annotationsToo);
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

struct FindAll::State {
    const CTravikDoc& doc;
    Prepared prepared;
    std::string prefix;
    uint64_t position = 0;  // UINT64_MAX when done
    std::vector<uint32_t> results;

    void Add(uint32_t item) {
        // The last byte of an odd image, or a match across two steps, reports the item
        // before it a second time.
        if (results.empty() || results.back() != item) results.push_back(item);
    }
};

FindAll::FindAll(const CTravikDoc& doc, std::string pattern, int mode, bool annotationsToo)
    : state_(new State{doc, Prepare(doc, std::move(pattern), mode, annotationsToo), {}, 0, {}}) {
    const Prepared& p = state_->prepared;
    state_->prefix = (p.hex ? "Searching " : "Searching string ") + p.shownPattern + " in addr: ";
    if (p.refused || (p.hex ? p.layouts.empty() : p.text.empty())) state_->position = UINT64_MAX;
}

FindAll::~FindAll() = default;

bool FindAll::Refused() const {
    return state_->prepared.refused;
}
bool FindAll::Done() const {
    return state_->position == UINT64_MAX;
}
uint64_t FindAll::Position() const {
    return std::min<uint64_t>(state_->position, state_->doc.ImageSize());
}
const std::vector<uint32_t>& FindAll::Results() const {
    return state_->results;
}
const std::string& FindAll::ProgressPrefix() const {
    return state_->prefix;
}

bool FindAll::Step(uint64_t bytes) {
    State& s = *state_;
    if (Done()) return false;
    const uint64_t size = s.doc.ImageSize();
    const uint64_t to = bytes >= size - s.position ? UINT64_MAX : s.position + bytes;
    const Prepared& p = s.prepared;
    if (p.hex) {
        HexSearch(s.doc, p.layouts).AllItems(s.position, std::min(to, size), [&](uint32_t item) {
            s.Add(item);
        });
        s.position = to >= size ? UINT64_MAX : to;
    } else {
        const Reporter quiet{s.doc, false, {}};
        s.position =
            TextSearch(s.doc, p.text, p.ignoreCase, p.annotationsToo).Walk(s.position, to, quiet, [&](uint32_t o) {
                s.Add(ItemOfMatch(s.doc, o));
                return true;
            });
    }
    return !Done();
}

std::vector<uint32_t> SearchAll(const CTravikDoc& doc, std::string pattern, int mode,
                                bool annotationsToo) {
    FindAll all(doc, std::move(pattern), mode, annotationsToo);
    all.Step(UINT64_MAX);
    return all.Results();
}
