#include "document/CodeAnalysis.h"

#include <algorithm>
#include <cstdio>

#include "document/CTravikDoc.h"
#include "document/DocumentMessages.h"

namespace {
int32_t SignExtend(uint32_t value, unsigned bits) {
    const uint32_t sign = 1u << (bits - 1);
    return static_cast<int32_t>((value ^ sign) - sign);
}

constexpr uint8_t kEntryVeneer[8] = {0xE2, 0x8F, 0x00, 0x01, 0xE1, 0x2F, 0xFF, 0x10};
}  // namespace

CodeAnalysis::CodeAnalysis(CTravikDoc& doc, bool defaultsMode)
    : doc_(doc),
      defaultsMode_(defaultsMode),
      imageSize_(doc.imageSize),
      halfwordCount_(doc.imageSize / 2) {}

bool CodeAnalysis::Prepare() {
    return !defaultsMode_ || callCounts_.Allocate(halfwordCount_);
}

void CodeAnalysis::AnalyseRange(uint32_t begin, uint32_t end) {
    for (uint32_t o = begin; o + 1 < end; o += 2) AnalyseHalfword(o);
}

void CodeAnalysis::AnalyseHalfword(uint32_t o) {
    const uint8_t* image = doc_.image;
    uint8_t* flags = doc_.flags;
    uint8_t* codes = doc_.jumpCodes;
    const uint32_t index = o / 2;
    const uint8_t b0 = image[o];
    const uint8_t b1 = image[o + 1];

    // BL pair: this is the second halfword.
    if ((b0 & 0xF8) == 0xF8 && o > 4 && (image[o - 2] & 0xF8) == 0xF0 &&
        (flags[index] & flagbits::kTypeMask) == itemtype::kThumb) {
        const uint32_t high = doc_.HalfwordAt(o - 2) & 0x7FF;
        const uint32_t low = doc_.HalfwordAt(o) & 0x7FF;
        const int64_t target = int64_t{o} + 2 + 2 * int64_t{SignExtend((high << 11) | low, 22)};
        if (InRange(target)) {
            codes[index - 1] = CTravikDoc::kJumpCall;
            if (defaultsMode_) {
                flags[index] |= flagbits::kContinuation;
                if (target < imageSize_ && callCounts_[static_cast<uint32_t>(target) / 2]++ == 0) {
                    calledHalfwords_.push_back(static_cast<uint32_t>(target) / 2);
                }
            }
        }
    }

    // Routine end: POP {..., PC} or MOV PC, LR.
    if (defaultsMode_ && (b0 == 0xBD || (b0 == 0x46 && b1 == 0xF7))) {
        flags[index] |= flagbits::kRoutineEnd;
        doc_.SetFooter(o, docmsg::kEndRoutine);
    }

    const bool thumb = (flags[index] & flagbits::kTypeMask) == itemtype::kThumb;
    if (thumb && (b0 & 0xF0) == 0xD0 && b0 != 0xDF) {
        const int64_t target = int64_t{o} + 4 + 2 * int64_t{static_cast<int8_t>(b1)};
        if (InRange(target)) codes[index] = CTravikDoc::kJumpBranch;
    }
    if (thumb && (b0 & 0xF8) == 0xE0) {
        const int64_t target =
            int64_t{o} + 4 + 2 * int64_t{SignExtend(doc_.HalfwordAt(o) & 0x7FF, 11)};
        if (InRange(target)) codes[index] = CTravikDoc::kJumpBranch;
    }
    if (thumb && (b0 & 0xF8) == 0x48 && o > 2) {
        const int64_t target = int64_t{o & ~3u} + 4 + 4 * int64_t{b1};
        if (InRange(target)) {
            if (defaultsMode_)
                doc_.SetItemType(static_cast<uint32_t>(target), itemtype::kData4, false);
            codes[index] = CTravikDoc::kJumpLoad;
        }
    }

    // THUMB entry point behind the ARM veneer ADD R0, PC, #1; BX R0.
    if (defaultsMode_ && o > 8 && o % 4 != 0 && image[o - 6] == kEntryVeneer[0] &&
        __builtin_memcmp(image + o - 6, kEntryVeneer, 8) == 0 && index + 1 < halfwordCount_) {
        flags[index + 1] |= flagbits::kRoutineStart;
        doc_.SetHeader(o + 2, docmsg::kThumbEntryPoint);
    }

    if (o > 2 && doc_.IsMergedShiftPair(o - 2)) flags[index] |= flagbits::kContinuation;
}

void CodeAnalysis::MakeRoutineHeaders() {
    if (!defaultsMode_) return;
    char header[64];
    std::sort(calledHalfwords_.begin(), calledHalfwords_.end());
    for (uint32_t i : calledHalfwords_) {
        const uint32_t count = callCounts_[i];
        doc_.flags[i] |= flagbits::kRoutineStart;
        std::snprintf(header, sizeof header, docmsg::kRoutineCalls, static_cast<int>(count));
        doc_.SetHeader(2 * i, header);
    }
    callCounts_.Release();
    calledHalfwords_ = {};
}

void CodeAnalysis::FollowLiteralPointers() {
    for (uint32_t i = 0; i < halfwordCount_; ++i) {
        if (doc_.JumpKind(i) != jumpkind::kLiteral) continue;
        const uint32_t t = doc_.JumpTarget(i);
        if (uint64_t{t} + 4 > imageSize_) continue;
        const int64_t v = int64_t{doc_.WordAt(t)} - kFlashBase;
        if (v < 0 || v > int64_t{imageSize_}) continue;
        doc_.SetLiteralPointer(t, static_cast<uint32_t>(v));
    }
}
