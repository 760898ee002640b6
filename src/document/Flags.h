#pragma once

#include <cstdint>

// The flag byte kept per halfword of the image.
namespace flagbits {
inline constexpr uint8_t kTypeMask = 0x0F;
inline constexpr uint8_t kUserMark = 0x10;
inline constexpr uint8_t kRoutineEnd = 0x20;
inline constexpr uint8_t kRoutineStart = 0x40;
inline constexpr uint8_t kContinuation = 0x80;
}  // namespace flagbits

// Item types (bits 0-3 of the flag byte).
namespace itemtype {
inline constexpr uint8_t kArm = 1;
inline constexpr uint8_t kThumb = 2;
inline constexpr uint8_t kData2 = 10;
inline constexpr uint8_t kData4 = 11;
inline constexpr uint8_t kData8 = 12;
inline constexpr uint8_t kData12 = 13;
inline constexpr uint8_t kData16 = 14;
}  // namespace itemtype

// Jump kinds as the rest of the program sees them.
namespace jumpkind {
inline constexpr uint8_t kNone = 0;
inline constexpr uint8_t kLiteral = 1;
inline constexpr uint8_t kCall = 2;
inline constexpr uint8_t kBranch = 3;
}  // namespace jumpkind

// Phone addresses.
inline constexpr uint32_t kFlashBase = 0x200000;
inline constexpr uint32_t kRamBase = 0x100000;
inline constexpr uint32_t kRamSize = 0x10000;
