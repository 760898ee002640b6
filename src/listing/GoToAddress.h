#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What a typed address stands for: the offset, or the message that says why there is none.
struct TypedAddress {
    std::optional<uint32_t> offset;
    std::string error;
};

// Go to Address in the listing: a hex number ("0x" allowed) read as the listing shows
// addresses, that is with `base` added (0 when View Base Address is off); the image
// offset it names must lie inside the image.
TypedAddress ParseDisplayedAddress(std::string_view text, uint32_t base, uint32_t imageSize);

// Go to Address in the memory window: a hex phone address inside the stack RAM
// (ramBase .. ramBase + ramSize - 1); the offset is the RAM's.
TypedAddress ParseRamAddress(std::string_view text, uint32_t ramBase, uint32_t ramSize);

// The displayed address of an image offset, as the listing's address column shows it
// ("%.6x" of offset + base).
std::string DisplayedAddress(uint32_t offset, uint32_t base);
