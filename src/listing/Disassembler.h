#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "listing/TextFormat.h"

class CTravikDoc;

// What one THUMB halfword (or BL pair, or merged shift pair) is, decoded once; the
// text is made from it separately, so the decoding can be checked field by field.
enum class ThumbForm : uint8_t {
    kShift,               // LSL/LSR/ASR Rd, Rs, #.n         op, rd, rs, imm = n
    kMergedAnd,           // AND Rd, #mask                   rd, imm = mask
    kMergedAnd3,          // AND Rd, Rs, #mask               rd, rs, imm = mask
    kMovRegister,         // MOV Rd, Rs (ADD Rd, Rs, #0)     rd, rs
    kAddSubImmediate,     // ADD/SUB Rd, Rs, #imm            op, rd, rs, imm
    kAddSubRegister,      // ADD/SUB Rd, Rs, Rn              op, rd, rs, rn
    kImmediate,           // MOV/CMP/ADD/SUB Rd, #imm        op, rd, imm
    kAlu,                 // AND..MVN Rd, Rs                 op, rd, rs
    kNop,                 // MOV of a register to itself
    kHighRegister,        // ADD/CMP/MOV/BX Rd, Rs           op, rd, rs (0..15)
    kLoadLiteral,         // LDR Rd, #word                   rd, imm = byte offset, target, literal
    kLoadLiteralAbsent,   // LDR Rd, [PC, #n] (L=??]         rd, imm = byte offset, target
    kLoadStoreRegister,   // STR/STRB/LDR/LDRB Rd, [Rb, Ro]  op, rd, rs = Rb, rn = Ro
    kLoadStoreSigned,     // STRH/LDSB/LDRH/LDSH Rd, [Rb, Ro] op, rd, rs = Rb, rn = Ro
    kLoadStoreImmediate,  // STR/LDR/STRB/LDRB Rd, [Rb, #n]  op, rd, rs = Rb, imm = bytes
    kLoadStoreHalf,       // STRH/LDRH Rd, [Rb, #n]          op, rd, rs = Rb, imm = bytes
    kLoadStoreSp,         // STR/LDR Rd, [SP, #n]            op, rd, imm = bytes
    kAddSpAddress,        // ADD  Rd, SP, #n                 rd, imm = bytes
    kPcAddress,           // MOV  Rd, #address               rd, imm = bytes, target
    kAdjustSp,            // ADD SP, #n / #-n                op (1 = minus), imm = bytes
    kPush,                // PUSH { list [LR] }              registers (bit 8 = LR)
    kPop,                 // POP { list [PC] }               registers (bit 8 = PC)
    kMultiple,            // STMIA/LDMIA Rb!, {list}         op, rd = Rb, registers
    kSwi,                 // SWI n                           imm
    kConditionalBranch,   // Bcc address                     op = condition, target
    kBranch,              // B address                       target
    kCall,                // BL address                      target
    kBadCall,             // "BL ...?"
    kError13,             // an undefined SP/stack encoding
    kError18,             // an undefined unconditional-branch encoding
};

struct ThumbInstruction {
    ThumbForm form = ThumbForm::kNop;
    uint8_t format = 0;  // THUMB instruction format 1..19; 0 for the error texts
    uint8_t op = 0;      // index into the form's mnemonic table
    uint8_t rd = 0;
    uint8_t rs = 0;
    uint8_t rn = 0;
    uint16_t registers = 0;  // register list, bit 8 for LR or PC
    uint32_t imm = 0;
    int64_t target = 0;    // image offset of the branch, call, literal or address
    uint32_t literal = 0;  // the word a literal load reads
};

// Decodes the THUMB instruction at the even image offset (offset + 1 < imageSize).
// Nothing past the image end is read: a BL pair cut by the end is a bad call, a
// literal whose word is not wholly inside the image is absent.
ThumbInstruction DecodeThumb(const CTravikDoc& doc, uint32_t offset);
// The same, but a shift stays a shift when the halfword after it is joined to it.
ThumbInstruction DecodeThumbHalfword(const CTravikDoc& doc, uint32_t offset);

// Appends the instruction text of a decoded instruction: targets as displayed
// addresses, the names of targets and the strings found behind pointers.
void FormatThumbInstruction(const CTravikDoc& doc, const ThumbInstruction& insn, LineBuffer& out);

// Decode and format in one step.
void DisassembleThumb(const CTravikDoc& doc, uint32_t offset, LineBuffer& out);
std::string DisassembleThumb(const CTravikDoc& doc, uint32_t offset);

inline constexpr size_t kSystemStringMax = 255;
inline constexpr size_t kPrintableStringMax = 50;

// The phone text behind the three-byte string descriptor at `offset` (a 4, then the
// string number high byte first); line feeds are shown as '~'. False when there is
// no descriptor or the text would lie outside the image.
bool GetSystemString(const CTravikDoc& doc, int64_t offset, char (&out)[kSystemStringMax + 1]);

// The printable text starting at `offset`: up to 50 letters, line feeds (as '~') and
// characters from blank to '9'. The text is returned either way; true when it has at
// least three characters.
bool GetPrintableString(const CTravikDoc& doc, int64_t offset,
                        char (&out)[kPrintableStringMax + 1]);

// Where the phone's own texts are: descriptors lie in this range of phone addresses,
// and the texts in two length-prefixed tables of the image.
namespace systemstrings {
inline constexpr uint32_t kPointerFirst = 0x2A3CB0;
inline constexpr uint32_t kPointerLast = 0x2A4723;
inline constexpr uint32_t kFirstTable = 0xB5258;
inline constexpr uint32_t kFirstCount = 46;
inline constexpr uint32_t kSecondTable = 0xB54CC;
inline constexpr uint32_t kSecondCount = 846;
}  // namespace systemstrings
