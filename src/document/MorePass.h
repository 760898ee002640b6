#pragma once

// The working state of Find More Routines, shared by its two halves: MoreAnalysis.cpp
// walks the code and finds the routines, MoreData.cpp finds the data.
#include <cstdint>
#include <future>
#include <optional>
#include <utility>
#include <vector>

#include "document/CTravikDoc.h"
#include "document/CaseTables.h"
#include "document/MoreAnalysis.h"
#include "document/MoreFacts.h"
#include "document/PageBuffer.h"
#include "listing/Disassembler.h"

namespace more {

// What the walk learnt of a halfword.
enum : uint8_t {
    kCode = 1,    // reached by the walk
    kInsn = 2,    // an instruction starts here (reached)
    kData = 4,    // made or kept as data by this analysis
    kTarget = 8,  // a branch the walk met, a case or a data pointer leads here
};
constexpr int kHelperShift = 4;  // the high four bits: what Helper found there

enum class Why { kPointer, kPrologue, kBranch, kAfterEnd };

// A return, an unconditional branch or a jump through a register.
bool IsTerminal(const ThumbInstruction& insn);
// The same for the instruction the halfword starts, without decoding it.
bool IsTerminalHalfword(uint32_t h);

class Pass {
  public:
    explicit Pass(const CTravikDoc& doc);
    DocEdit Run(MoreReport& report);

  private:
    uint8_t Type(uint32_t i) const { return flags_[i] & flagbits::kTypeMask; }
    bool IsItemStart(uint32_t i) const { return !(flags_[i] & flagbits::kContinuation); }
    // The analysis never changes a halfword with the user mark, nor adds the mark: the
    // byte it works on tells it as well as the open's, and is more often in the cache.
    bool IsUsers(uint32_t i) const { return (flags_[i] & flagbits::kUserMark) != 0; }
    bool IsDataType(uint32_t i) const {
        return Type(i) >= itemtype::kData2 && Type(i) <= itemtype::kData16;
    }
    bool IsFreeCode(uint32_t i) const {
        return !(seen_[i] & (kCode | kData)) && Type(i) == itemtype::kThumb && IsItemStart(i) &&
               !IsUsers(i);
    }
    // A zero or NOP (MOV R8, R8) halfword that aligns what follows.
    bool IsPadding(uint32_t i) const {
        const uint16_t h = doc_.HalfwordAt(2 * i);
        return h == 0 || h == 0x46C0;
    }
    // Asks the cache for what looking at halfword i reads: the lists the walk makes go
    // through the image out of order.
    [[gnu::always_inline]] void Prefetch(uint32_t i) const {
        if (i >= count_) return;
        __builtin_prefetch(seen_.data() + i);
        __builtin_prefetch(flags_.data() + i);
        __builtin_prefetch(doc_.Image() + 2 * i);
    }
    bool IsRoutineStart(uint32_t i) const { return (flags_[i] & flagbits::kRoutineStart) != 0; }
    // The walk is to go on at an offset in the image; where it has been, or what is data,
    // it would stop at once.
    void Visit(uint32_t o) {
        if (!(seen_[o / 2] & (kCode | kData))) work_.push_back(o);
    }
    // A walk started at halfword i and found code there.
    bool Entered(uint32_t i) const { return (entered_[i / 64] >> (i % 64)) & 1; }
    void MarkEntered(uint32_t i) { entered_[i / 64] |= uint64_t{1} << (i % 64); }
    // The halfwords after index i may start a routine: those the walk has not taken, nor
    // ever will give back, are kept to be looked at. That an end was met at all keeps
    // Settle going, whether or not they are.
    void AfterEnd(uint32_t i) {
        endsMet_ = true;
        for (uint32_t k = i + 1; k <= i + 2; ++k)
            if (k < count_ && !(seen_[k] & (kCode | kData))) candidates_.push_back(k);
    }

    // MoreAnalysis.cpp: the walk and the routines.
    void Seed();
    void Settle();
    void Walk();
    void WalkFrom(uint32_t o);
    void WalkBranch(uint32_t o, uint32_t t);
    bool WalkCall(uint32_t o, int64_t t);  // whether the code goes on after the call
    std::optional<CaseHelper> Helper(uint32_t offset);
    bool AddRoutine(uint32_t offset, Why why);
    bool FollowsEnd(uint32_t i) const;
    bool LooksLikeRoutine(uint32_t i) const;
    bool FindPrologues();
    void SortUnique(std::vector<uint32_t>& v);
    bool FindAfterEnd();
    bool LeavesRoutine(uint32_t at, uint32_t to) const;
    bool FindTailBranches();
    uint32_t Changed(uint32_t from, uint32_t limit) const;
    DocEdit MakeEdit() const;
    DocEdit::Texts HeaderPart() const;

    // MoreData.cpp: the data.
    bool TakeBackData(uint32_t i);
    bool MakeData(uint32_t first, uint32_t bytes, uint32_t itemBytes);
    void SeedData();
    bool FollowPointers();
    bool FindPointerTables();
    bool FollowJumpTables();
    bool FindStrings();
    void MarkPadding();

    const CTravikDoc& doc_;
    const uint32_t size_;
    const uint32_t count_;
    const uint8_t* old_;
    // The large tables come straight from the system's pages: on a large image, fresh
    // heap memory would cost a page fault per 4 KiB written.
    PageBuffer<uint8_t> flags_;  // as the edit leaves them
    PageBuffer<uint8_t> seen_;   // the bits above, and Helper's finding in the high ones
    // What a call looks at in the callee, a bit per halfword: Entered.
    PageBuffer<uint64_t> entered_;
    std::vector<uint32_t> work_;        // offsets to walk from
    std::vector<uint32_t> candidates_;  // halfwords that may follow an end, to look at
    bool endsMet_ = false;              // AfterEnd was called since they were last taken
    std::vector<uint32_t> deferred_;    // of those, the ones without a prologue
    std::vector<uint64_t> sortBits_;    // for SortUnique, all zero between its calls
    std::vector<uint32_t> dataWords_;   // word offsets in data, to look at for pointers
    std::vector<std::pair<uint32_t, uint32_t>> branches_;  // unconditional B reached: at, to
    std::vector<std::pair<uint32_t, uint32_t>> loads_;     // literal loads reached: at, word
    std::vector<uint32_t> computedJumps_;                  // MOV PC, Rn and ADD PC, Rn reached
    size_t sortedJumps_ = 0;                               // of those, the sorted ones first
    std::vector<uint64_t> headers_;  // the index of each routine added, and why: i << 2 | why
    MoreReport report_;
    // Found beside the seeding and the walk; Run waits for the moves before the walk,
    // Facts() for the rest the first time.
    static constexpr auto kBeside = std::launch::async | std::launch::deferred;
    std::future<HelperMoves> movesSoon_;
    HelperMoves moves_;
    std::future<ImageFacts> factsSoon_;
    std::optional<ImageFacts> facts_;
    const ImageFacts& Facts() {
        if (!facts_) facts_ = factsSoon_.get();
        return *facts_;
    }
};

}  // namespace more
