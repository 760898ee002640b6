#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class CTravikDoc;

// Writes the items from `start` up to and including the item at `end` as a source that
// `arm-none-eabi-as -mthumb -mbig-endian -march=armv4t` assembles and `objcopy -O binary`
// turns back into exactly the bytes of those items (the range's first byte at offset 0;
// the address it had is noted at the top).
// - THUMB code as instructions in GNU syntax; branches and calls to an item inside the
//   range go to a label there. What would not assemble back to the same bits (a target
//   outside the range, an encoding the assembler writes differently or refuses) is
//   written as ".short" with the instruction as a comment.
// - Data items as .word / .short / .byte, ARM code as .word, with the listing line as a
//   comment.
// - Routine headers as labels (as symbol names: other characters become '_', repeats
//   numbered); headers, notes, footers and explanations as comments.
// The text goes to `sink` in large pieces; false when the sink refused one.
bool WriteGnuAssembly(const CTravikDoc& doc, uint32_t start, uint32_t end,
                      std::string_view lineEnd,
                      const std::function<bool(std::string_view)>& sink);

std::string GnuAssemblyText(const CTravikDoc& doc, uint32_t start, uint32_t end);
