// Find More Routines: what is data. Literal pools and case tables are made data as the
// walk meets them; pointers in data lead to routines; tables of code addresses, strings
// and the padding before pools are found once the code is known.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "document/ItemType.h"
#include "document/MorePass.h"

namespace more {
namespace {
// The top bit of each zero halfword of the four.
uint64_t ZeroHalfwords(uint64_t x) {
    constexpr uint64_t kLows = 0x7FFF7FFF7FFF7FFFu;
    return ~(((x & kLows) + kLows) | x) & ~kLows;
}

uint8_t DataType(uint32_t bytes) {
    switch (bytes) {
        case 2: return itemtype::kData2;
        case 4: return itemtype::kData4;
        case 8: return itemtype::kData8;
        case 12: return itemtype::kData12;
        default: return itemtype::kData16;
    }
}
}  // namespace

// Code runs into a data item the open made from what only looked like a literal load:
// it becomes THUMB code again, unless it is the user's.
bool Pass::TakeBackData(uint32_t i) {
    if (!IsDataType(i)) return false;
    uint32_t k = i;
    do {
        if (IsUsers(k)) return false;
        ++k;
    } while (k < count_ && (flags_[k] & flagbits::kContinuation));
    for (uint32_t j = i; j < k; ++j)
        flags_[j] = itemtype::kThumb | (flags_[j] & (flagbits::kRoutineStart | flagbits::kRoutineEnd));
    return true;
}

// Makes the bytes first.. (even, whole halfwords) data items of `itemBytes` each (the
// last one as long as what is left allows), unless a halfword there is code the walk
// reached or carries the user mark.
bool Pass::MakeData(uint32_t first, uint32_t bytes, uint32_t itemBytes) {
    const uint32_t begin = first / 2;
    const uint32_t end =
        static_cast<uint32_t>(std::min<uint64_t>((uint64_t{first} + bytes) / 2, count_));
    if (first % 2 != 0 || begin >= end) return false;
    bool known = true;  // made data before (a literal loaded again)
    for (uint32_t i = begin; i < end; ++i) {
        if ((seen_[i] & kCode) || IsUsers(i)) return false;
        known = known && (seen_[i] & kData);
    }
    if (known) return false;
    auto at = [&](uint32_t k) -> uint8_t& { return flags_[k]; };
    bool changed = false;
    for (uint32_t i = begin; i < end;) {
        uint32_t n = std::min(itemBytes, 2 * (end - i));
        if (n > 4 && n != 8 && n != 12 && n != 16) n = n > 12 ? 12 : n > 8 ? 8 : 4;
        const uint8_t type = DataType(n);
        const bool same = flags_[i] == type &&
                          (n == 2 || flags_[i + 1] == (type | flagbits::kContinuation));
        if (!same) {
            // The leftover of a longer item may reach past `end`: it must not be the user's.
            for (uint32_t k = i + n / 2; k < count_ && (flags_[k] & flagbits::kContinuation); ++k)
                if (IsUsers(k)) return changed;
            RetypeItem(at, i, count_, n / 2 - 1, type, 0);
            ++report_.dataItems;
            changed = true;
        }
        for (uint32_t k = i; k < i + n / 2; ++k) seen_[k] |= kData;
        i += n / 2;
    }
    for (uint32_t o = (2 * begin + 3) & ~3u; o + 4 <= 2 * end; o += 4) dataWords_.push_back(o);
    AfterEnd(end - 1);
    return changed;
}

// The data items of the open: their words may be pointers, and a routine may follow them.
void Pass::SeedData() {
    const uint8_t* const seen = seen_.data();
    auto seed = [&](uint32_t i) {
        if (!IsDataType(i) || (seen[i] & kCode)) return;
        if (i % 2 == 0 && 2 * uint64_t{i} + 4 <= size_) dataWords_.push_back(2 * i);
        if (i + 1 == count_ || IsItemStart(i + 1)) AfterEnd(i);
    };
    uint32_t i = 0;
    for (; i + 64 <= count_; i += 64) {  // only the halfwords whose type may be data
        uint64_t types = 0;  // a bit for each
        for (uint32_t j = 0; j < 64; j += 8) {
            uint64_t f;
            std::memcpy(&f, flags_.data() + i + j, sizeof f);
            static_assert(itemtype::kData2 == 10 && itemtype::kData16 < 16);
            types |= ByteBits((f & 0x0F0F0F0F0F0F0F0Fu) + 0x7676767676767676u) << j;  // type >= 10
        }
        for (; types != 0; types &= types - 1)
            seed(i + static_cast<uint32_t>(std::countr_zero(types)));
    }
    for (; i < count_; ++i) seed(i);
}

// Words in data that point into the flash: an odd one starts a routine, an even one
// marks its target.
bool Pass::FollowPointers() {
    std::vector<uint32_t> look;
    look.swap(dataWords_);
    bool changed = false;
    for (uint32_t o : look) {
        if ((seen_[o / 2] | seen_[o / 2 + 1]) & kCode) continue;
        const uint32_t v = doc_.WordAt(o) - kFlashBase;
        if (v >= size_) continue;
        if (v % 2 != 0)
            changed |= AddRoutine(v - 1, Why::kPointer);
        else if (v / 2 < count_)
            seen_[v / 2] |= kTarget;
    }
    return changed;
}

// Two or more words in a row outside the code that all point into the flash.
bool Pass::FindPointerTables() {
    const ImageFacts& facts = Facts();
    const uint8_t* const seen = seen_.data();
    auto pointer = [&](uint32_t o) {
        return !((seen[o / 2] | seen[o / 2 + 1]) & kCode) && facts.IsFlashWord(o);
    };
    bool changed = false;
    uint32_t next = 0;  // the words before it are looked at
    for (size_t w = 0; w < facts.flashWords.size(); ++w) {
        for (uint64_t bits = facts.flashWords[w]; bits != 0; bits &= bits - 1) {
            const uint32_t o = static_cast<uint32_t>(256 * w + 4 * std::countr_zero(bits));
            if (o < next || (seen[o / 2] & kData) || !pointer(o)) continue;
            uint32_t end = o + 4;
            while (uint64_t{end} + 4 <= size_ && pointer(end)) end += 4;
            if (end - o >= 8) changed |= MakeData(o, end - o, 4);
            next = end;
        }
    }
    return changed;
}

// A table of even code addresses whose address the code loads, with a jump through a
// register between the load and the table: its entries are places in that code.
bool Pass::FollowJumpTables() {
    // Only the jumps the walk added since the last time need sorting.
    std::sort(computedJumps_.begin() + sortedJumps_, computedJumps_.end());
    std::inplace_merge(computedJumps_.begin(), computedJumps_.begin() + sortedJumps_,
                       computedJumps_.end());
    sortedJumps_ = computedJumps_.size();
    bool changed = false;
    std::vector<std::pair<uint32_t, uint32_t>> pending;  // tables not known as data yet
    for (auto [at, word] : loads_) {
        const uint32_t table = word - kFlashBase;
        if (table >= size_ || table % 4 != 0 || (seen_[table / 2] & kCode)) continue;
        if (!(seen_[table / 2] & kData)) {
            pending.emplace_back(at, word);
            continue;
        }
        auto jump = std::upper_bound(computedJumps_.begin(), computedJumps_.end(), at);
        if (jump == computedJumps_.end() || *jump >= table) continue;
        for (uint32_t o = table; uint64_t{o} + 4 <= size_ && (seen_[o / 2] & kData); o += 4) {
            const uint32_t target = doc_.WordAt(o) - kFlashBase;
            if (target >= table || target % 2 != 0) break;
            seen_[target / 2] |= kTarget;
            if (!(seen_[target / 2] & kCode)) {
                work_.push_back(target);
                changed = true;
            }
        }
    }
    loads_.swap(pending);
    return changed;
}

// Runs of four or more Latin-1 characters with a terminating zero outside the code: of
// the runs in the image, the part that is free.
bool Pass::FindStrings() {
    const uint8_t* image = doc_.Image();
    auto free = [&](uint32_t o) {
        const uint32_t i = o / 2;  // the last byte of an odd-sized image has no halfword
        return i < count_ && !(seen_[i] & (kCode | kData)) && !IsUsers(i) && !IsRoutineStart(i);
    };
    bool changed = false;
    uint32_t from = 0;  // where a run may start: after the last string made
    for (const auto& [e, text] : Facts().textEnds) {
        if (e < from + kMinString || !free(e)) continue;
        uint32_t o = e;  // the free characters before the zero
        for (const uint32_t first = std::max(from, text); o > first && free(o - 1);) --o;
        if (e - o < kMinString) continue;
        uint32_t first = o & ~1u;
        if (!free(first)) first += 2;
        uint32_t end = e + 1;  // with the zeros up to a word boundary
        while (end < size_ && end % 4 != 0 && image[end] == 0 && free(end)) ++end;
        end = std::min<uint32_t>((end + 1) & ~1u, 2 * count_);
        if (end > first) changed |= MakeData(first, end - first, 16);
        from = end;
    }
    return changed;
}

// A zero halfword between the end of a routine and data is the data's padding.
void Pass::MarkPadding() {
    const uint8_t* const image = doc_.Image();
    auto pad = [&](uint32_t i) {
        if (i == 0 || i + 1 >= count_) return;
        if (doc_.HalfwordAt(2 * i) == 0 && IsFreeCode(i) && (seen_[i - 1] & kInsn) &&
            (seen_[i + 1] & kData) && IsTerminalHalfword(doc_.HalfwordAt(2 * (i - 1))))
            MakeData(2 * i, 2, 2);
    };
    uint32_t i = 0;
    for (; i + 64 <= count_; i += 64) {  // only the zero halfwords
        uint64_t zeros = 0;  // a bit for each
        for (uint32_t j = 0; j < 64; j += 4) {
            uint64_t x;
            std::memcpy(&x, image + 2 * (i + j), sizeof x);
            zeros |= HalfwordBits(ZeroHalfwords(x)) << j;
        }
        for (; zeros != 0; zeros &= zeros - 1)
            pad(i + static_cast<uint32_t>(std::countr_zero(zeros)));
    }
    for (; i < count_; ++i) pad(i);
}

}  // namespace more
