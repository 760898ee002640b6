#pragma once

#include <cstdint>

#include "document/Flags.h"

// Makes the halfword at `index` an item of `type` with `continuations` continuation
// halfwords (as far as the `count` halfwords go); what is left of a longer item that
// stood there becomes two-byte data. `at(k)` is the flag byte of halfword k. Returns
// the index of the next item.
template <typename At>
uint32_t RetypeItem(At&& at, uint32_t index, uint32_t count, uint32_t continuations, uint8_t type,
                    uint8_t mark) {
    at(index) = type | mark;
    for (uint32_t k = 1; k <= continuations && index + k < count; ++k)
        at(index + k) = type | flagbits::kContinuation | mark;
    uint32_t k = index + continuations + 1;
    for (; k < count && (at(k) & flagbits::kContinuation); ++k) at(k) = itemtype::kData2;
    return index + continuations + 1;
}
