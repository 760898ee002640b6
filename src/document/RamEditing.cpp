// The stack RAM setters of the Memory Dump window's editor.
#include <algorithm>
#include <string>

#include "document/CTravikDoc.h"
#include "shell/FrameServices.h"
#include "shell/HexDigit.h"

void CTravikDoc::SetRamName(uint32_t first, uint32_t last, std::string_view text) {
    if (first >= ramSize || last >= ramSize) return;
    ramNames.SetName(first, text);  // an empty text leaves no name
    for (uint32_t i = first + 1; i <= last && i > first; ++i) ramNames.SetContinued(i);
    SetModifiedFlag();
    frame_.RepaintMemory();
}

void CTravikDoc::SetRamBytes(uint32_t first, uint32_t last, std::string_view hexText) {
    if (first >= ramSize || last >= ramSize || ramBytes == nullptr) return;
    // The text's last two digits go to the last byte; missing digits are zeros and
    // characters that are not hex digits count as 0.
    auto digit = [](char c) { return static_cast<uint8_t>(std::max(HexDigitValue(c), 0)); };
    size_t remaining = hexText.size();
    for (uint32_t i = last + 1; i-- > first;) {
        const char high = remaining >= 2 ? hexText[remaining - 2] : '0';
        const char low = remaining >= 1 ? hexText[remaining - 1] : '0';
        ramBytes[i] = static_cast<uint8_t>((digit(high) << 4) | digit(low));
        remaining = remaining >= 2 ? remaining - 2 : 0;
    }
    frame_.RepaintMemory();
}
