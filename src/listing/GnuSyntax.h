#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "listing/Disassembler.h"
#include "listing/TextFormat.h"

class CTravikDoc;

// Instruction texts in the syntax of the GNU tools: what `arm-none-eabi-objdump -d
// -M reg-names-std` prints for a THUMB instruction and what `arm-none-eabi-as` reads.
// Registers are r0-r12, sp, lr, pc; immediates are decimal with objdump's "@ 0x.."
// beside the larger ones; branch and call targets are displayed addresses ("0x..");
// a load from the literal pool keeps its pc-relative form, with the literal's address as
// objdump shows it and the word it loads. Halfwords that ARMv4T leaves undefined read
// ".short 0x....", as objdump shows data.

// Appends the GNU text of the THUMB item at `offset`. A merged shift pair reads as its
// two shifts, separated by "; " (a statement separator of the assembler).
void FormatGnuInstruction(const CTravikDoc& doc, uint32_t offset, LineBuffer& out);
std::string GnuInstruction(const CTravikDoc& doc, uint32_t offset);

// Appends the GNU text of one decoded halfword (or BL pair). `targetLabel`, when not
// empty, is written instead of the branch or call target's address.
void FormatGnu(const CTravikDoc& doc, const ThumbInstruction& insn, uint16_t halfword,
               LineBuffer& out, std::string_view targetLabel = {});

// True when the GNU text of the halfword is ".short ..." (ARMv4T does not define it).
bool GnuUndefined(const ThumbInstruction& insn, uint16_t halfword);

// Whether `arm-none-eabi-as -mthumb -march=armv4t` turns the GNU text back into exactly
// this halfword. A branch or call counts as assembling back when its target is given as
// a label at the right place; the caller sees to that.
bool GnuAssemblesBack(const ThumbInstruction& insn, uint16_t halfword);
