#pragma once

#include <cstdint>

// The parts of the 32-bit ELF format the export writes and the symbol import reads.
namespace elf {
inline constexpr uint32_t kHeaderSize = 52;
inline constexpr uint32_t kProgramHeaderSize = 32;
inline constexpr uint32_t kSectionHeaderSize = 40;
inline constexpr uint32_t kSymbolSize = 16;

inline constexpr uint8_t kClass32 = 1;
inline constexpr uint8_t kClass64 = 2;
inline constexpr uint8_t kLittleEndian = 1;
inline constexpr uint8_t kBigEndian = 2;
inline constexpr uint16_t kTypeExec = 2;
inline constexpr uint16_t kMachineArm = 40;
// EABI version 5, soft-float. No BE8 flag: the image's instructions are big-endian too.
inline constexpr uint32_t kArmFlags = 0x05000000 | 0x200;

inline constexpr uint32_t kSegmentLoad = 1;
inline constexpr uint32_t kSegmentExecute = 1, kSegmentWrite = 2, kSegmentRead = 4;

inline constexpr uint32_t kSectionProgBits = 1;
inline constexpr uint32_t kSectionSymtab = 2;
inline constexpr uint32_t kSectionStrtab = 3;
inline constexpr uint32_t kSectionNoBits = 8;
inline constexpr uint32_t kSectionDynsym = 11;
inline constexpr uint32_t kSectionArmAttributes = 0x70000003;
inline constexpr uint32_t kFlagWrite = 1, kFlagAlloc = 2, kFlagExecute = 4;

inline constexpr uint8_t kBindLocal = 0, kBindGlobal = 1;
inline constexpr uint8_t kSymbolNoType = 0, kSymbolObject = 1, kSymbolFunc = 2;
inline constexpr uint16_t kSectionUndefined = 0;
}  // namespace elf
