#pragma once

#include <cstdint>

// Bit rules shared by the document, the listing, the emulator and the debugger: sign
// extension, big-endian reads of the image and the RAM, and the THUMB target arithmetic.
// Always inline: the emulator's step executors and memory paths were measured so,
// however big the unit that uses them grows.

// The low `bits` bits of `value` read as a signed number (1 <= bits <= 32).
[[gnu::always_inline]] constexpr int32_t SignExtend(uint32_t value, unsigned bits) {
    return static_cast<int32_t>(value << (32 - bits)) >> (32 - bits);
}

// The big-endian halfword and word whose high byte is at `p`.
[[gnu::always_inline]] constexpr uint16_t BigEndianHalf(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
// The halfword at bytes[offset], indexed with 32-bit offsets: the emulator's fetch keeps
// the code it was measured with.
[[gnu::always_inline]] constexpr uint16_t BigEndianHalf(const uint8_t* bytes, uint32_t offset) {
    return static_cast<uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}
[[gnu::always_inline]] constexpr uint32_t BigEndianWord(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// THUMB targets. `pc` is what R15 reads while the instruction runs: its address + 4.
// The address type is the caller's: uint32_t wraps like the processor, int64_t keeps a
// target before the image negative.

// Format 16 (Bcc): an 8-bit signed halfword count.
template <typename Address>
[[gnu::always_inline]] constexpr Address CondBranchTarget(Address pc, uint32_t halfword) {
    return pc + static_cast<Address>(2 * SignExtend(halfword & 0xFF, 8));
}
// Format 18 (B): an 11-bit signed halfword count.
template <typename Address>
[[gnu::always_inline]] constexpr Address BranchTarget(Address pc, uint32_t halfword) {
    return pc + static_cast<Address>(2 * SignExtend(halfword & 0x7FF, 11));
}
// Format 19 (BL): what each half adds; the first (H = 0) carries the high 11 bits.
[[gnu::always_inline]] constexpr int32_t BlHighOffset(uint32_t first) {
    return SignExtend(first & 0x7FF, 11) * 4096;
}
[[gnu::always_inline]] constexpr uint32_t BlLowOffset(uint32_t second) {
    return (second & 0x7FF) * 2;
}
// `pc` belongs to the first half.
template <typename Address>
[[gnu::always_inline]] constexpr Address BlTarget(Address pc, uint32_t first, uint32_t second) {
    return pc + static_cast<Address>(BlHighOffset(first)) +
           static_cast<Address>(BlLowOffset(second));
}
// Format 6 (LDR Rd, [PC, #n]) and format 12 (ADD Rd, PC, #n): the word-aligned PC plus
// the 8-bit word count.
template <typename Address>
[[gnu::always_inline]] constexpr Address LiteralAddress(Address pc, uint32_t halfword) {
    return (pc & ~Address{2}) + static_cast<Address>((halfword & 0xFF) * 4);
}
