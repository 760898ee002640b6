// The listing and the emulator decode THUMB with separate tables. Every halfword must
// get the same instruction from both, except in the few places listed below where they
// part on purpose. The analysis must find the listing's branch, call and literal targets.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <optional>

#include "document/CodeAnalysis.h"
#include "emulator/ThumbDecode.h"
#include "listing/Disassembler.h"
#include "listing/ListingFixture.h"

namespace {

using enum ThumbOp;

// The executor that runs what the listing shows; none for the listing's own texts.
std::optional<ThumbOp> ExecutorOf(const ThumbInstruction& insn) {
    const unsigned op = insn.op;
    auto from = [op](ThumbOp first) { return ThumbOp{static_cast<uint8_t>(static_cast<unsigned>(first) + op)}; };
    switch (insn.form) {
        case ThumbForm::kShift: return from(kLslImm);
        case ThumbForm::kMovRegister: return kAddImm3;  // ADD Rd, Rs, #0
        case ThumbForm::kAddSubImmediate: return op ? kSubImm3 : kAddImm3;
        case ThumbForm::kAddSubRegister: return op ? kSubReg : kAddReg;
        case ThumbForm::kImmediate: return from(kMovImm8);
        case ThumbForm::kAlu: return kAlu;
        case ThumbForm::kNop: return kHiMov;  // MOV of a register to itself
        case ThumbForm::kHighRegister: return std::array{kHiAdd, kHiCmp, kHiMov, kBx}[op];
        case ThumbForm::kLoadLiteral:
        case ThumbForm::kLoadLiteralAbsent: return kLdrPc;
        case ThumbForm::kLoadStoreRegister: return from(kStrReg);
        case ThumbForm::kLoadStoreSigned: return from(kStrhReg);
        case ThumbForm::kLoadStoreImmediate: return from(kStrImm);
        case ThumbForm::kLoadStoreHalf: return op ? kLdrhImm : kStrhImm;
        case ThumbForm::kLoadStoreSp: return op ? kLdrSp : kStrSp;
        case ThumbForm::kAddSpAddress: return kAddSp;
        case ThumbForm::kPcAddress: return kAddPc;
        case ThumbForm::kAdjustSp: return kAdjustSp;
        case ThumbForm::kPush: return kPush;
        case ThumbForm::kPop: return kPop;
        case ThumbForm::kMultiple: return op ? kLdmia : kStmia;
        case ThumbForm::kConditionalBranch: return kCondBranch;  // condition 14 ("***") included
        case ThumbForm::kBranch: return kBranch;
        case ThumbForm::kCall: return kBranchLink;
        default: return std::nullopt;  // merged shift pairs (nothing is joined here), SWI, error texts
    }
}

// Where the tables differ by design: the halfwords, the executor the emulator picks
// there, and how many of the 65,536 halfwords (of the test's layout) fall there.
struct ByDesign {
    const char* what;
    bool (*applies)(uint16_t h, const ThumbInstruction& insn);
    ThumbOp op;
    int count;
};
using Form = ThumbForm;
constexpr ByDesign kByDesign[] = {
    // The listing names the software interrupt; the emulator does not emulate it.
    {"SWI", [](uint16_t, const ThumbInstruction& i) { return i.form == Form::kSwi; }, kUnknown, 256},
    // B1-B3 and B8-BB: an error text in the listing; the emulator reads only bit 10
    // and adjusts SP.
    {"error 13", [](uint16_t, const ThumbInstruction& i) { return i.form == Form::kError13; }, kAdjustSp, 7 * 256},
    // E800-EFFF (a later core's BLX suffix): an error text; the emulator does nothing.
    {"error 18", [](uint16_t, const ThumbInstruction& i) { return i.form == Form::kError18; }, kNothing, 2048},
    // A BL suffix on its own: "BL ...?" in the listing, no effect in the emulator.
    {"lone BL suffix", [](uint16_t h, const ThumbInstruction& i) { return i.form == Form::kBadCall && (h & 0x800); },
     kNothing, 2048},
    // A BL prefix not followed by a suffix: "BL ...?" in the listing; the emulator runs
    // the call and takes whatever follows as the low half.
    {"BL prefix without suffix",
     [](uint16_t h, const ThumbInstruction& i) { return i.form == Form::kBadCall && !(h & 0x800); }, kBranchLink,
     1024},
    // Format 5 ADD/CMP/MOV with two low registers, undefined on this core: the listing
    // shows the operation, the emulator reports an unknown instruction.
    {"format 5 low/low",
     [](uint16_t h, const ThumbInstruction& i) {
         return (i.form == Form::kHighRegister || i.form == Form::kNop) && i.op != 3 && (h & 0xC0) == 0;
     },
     kUnknown, 3 * 64},
    // BX with bit 7 set, also undefined: the listing shows "BX  Hd, Rs".
    {"BX with H1",
     [](uint16_t h, const ThumbInstruction& i) { return i.form == Form::kHighRegister && i.op == 3 && (h & 0x80); },
     kUnknown, 128},
};

TEST(DecodeAgreement, EveryHalfwordPicksTheSameInstruction) {
    ListingFixture f;  // plain THUMB halfwords, none joined to the one before
    constexpr uint32_t kAt = 0x80;
    int seen[std::size(kByDesign)] = {};
    int failures = 0;
    for (uint32_t h = 0; h <= 0xFFFF; ++h) {
        const auto half = static_cast<uint16_t>(h);
        f.Half(kAt, half);
        // Odd halfwords are followed by a BL suffix, even ones by a shift, so half of the
        // prefixes make a call pair and half stand alone. Nothing else reads the next
        // halfword, as no continuation is set.
        f.Half(kAt + 2, (h & 1) ? 0xF800 : 0x0000);
        const ThumbInstruction insn = DecodeThumb(*f.doc, kAt);
        const ThumbOp emulator = DecodeThumb(half);
        const std::optional<ThumbOp> listing = ExecutorOf(insn);
        bool ok = listing == emulator;
        for (size_t k = 0; k < std::size(kByDesign); ++k) {
            if (!kByDesign[k].applies(half, insn)) continue;
            ++seen[k];
            ok = emulator == kByDesign[k].op;
        }
        if (!ok && ++failures <= 40) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%.4X", h);
            ADD_FAILURE() << hex << ": listing form " << static_cast<int>(insn.form) << " op "
                          << static_cast<int>(insn.op) << " \"" << DisassembleThumb(*f.doc, kAt)
                          << "\" (" << (listing ? ThumbOpName(*listing) : "none") << "), emulator "
                          << ThumbOpName(emulator);
        }
    }
    EXPECT_EQ(failures, 0);
    // Each exclusion covers exactly the halfwords it was written for.
    for (size_t k = 0; k < std::size(kByDesign); ++k) {
        EXPECT_EQ(seen[k], kByDesign[k].count) << kByDesign[k].what;
    }
}

// Each branch, call and literal load the listing shows gets the same target from the
// analysis when it lies in the image (its end included), and nothing else gets one.
TEST(DecodeAgreement, EveryHalfwordHasTheListingsJumpTarget) {
    constexpr uint32_t kSize = 0x800, kAt = 0x700;  // targets fall on both sides and on the end
    ListingFixture f(kSize);
    CodeAnalysis analysis(*f.doc, false);
    int failures = 0;
    for (uint32_t h = 0; h <= 0xFFFF; ++h) {
        // Half the BL prefixes get a suffix; F000's reaches the image end exactly.
        f.Half(kAt, static_cast<uint16_t>(h));
        f.Half(kAt + 2, (h & 1) != (h >> 15) ? 0xF800 | ((h + 0x7E) & 0x7FF) : 0);
        f.Type(kAt + 2, itemtype::kThumb);
        TestDoc::JumpCodes(*f.doc)[kAt / 2] = 0;
        analysis.AnalyseRange(kAt, kAt + 4);
        const ThumbInstruction insn = DecodeThumb(*f.doc, kAt);
        uint8_t kind = jumpkind::kNone;
        if (insn.form == ThumbForm::kConditionalBranch || insn.form == ThumbForm::kBranch)
            kind = jumpkind::kBranch;
        if (insn.form == ThumbForm::kCall) kind = jumpkind::kCall;
        if (insn.form == ThumbForm::kLoadLiteral || insn.form == ThumbForm::kLoadLiteralAbsent)
            kind = jumpkind::kLiteral;
        if (insn.target < 0 || insn.target > int64_t{kSize}) kind = jumpkind::kNone;
        const int64_t target = kind == jumpkind::kNone ? 0 : insn.target;
        if ((f.doc->JumpKind(kAt / 2) != kind || f.doc->JumpTarget(kAt / 2) != target) &&
            ++failures <= 40) {
            ADD_FAILURE() << std::hex << h << ": analysis " << int{f.doc->JumpKind(kAt / 2)}
                          << " to " << f.doc->JumpTarget(kAt / 2) << ", listing " << int{kind}
                          << " to " << target << " \"" << DisassembleThumb(*f.doc, kAt) << '"';
        }
    }
    EXPECT_EQ(failures, 0);
}

}  // namespace
