#include "listing/GoToAddress.h"

#include "listing/TextFormat.h"
#include "shell/Format.h"
#include "shell/HexDigit.h"

namespace {

// Hex digits with or without "0x", blanks around them; at most eight digits.
std::optional<uint32_t> ParseHexText(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    return ParseHexNumber(text);
}

std::string Shown(std::string_view text) {
    return std::string(text.substr(0, 40));
}

}  // namespace

TypedAddress ParseDisplayedAddress(std::string_view text, uint32_t base, uint32_t imageSize) {
    const std::optional<uint32_t> value = ParseHexText(text);
    if (!value) return {std::nullopt, Format("\"%s\" is not a hex address.", Shown(text).c_str())};
    const uint64_t offset = uint64_t{*value} - base;
    if (imageSize == 0) return {std::nullopt, "The image is empty."};
    if (*value < base || offset >= imageSize)
        return {std::nullopt, Format("%s is outside the image (%s-%s).", DisplayedAddress(*value, 0).c_str(),
                                     DisplayedAddress(0, base).c_str(),
                                     DisplayedAddress(imageSize - 1, base).c_str())};
    return {static_cast<uint32_t>(offset), {}};
}

TypedAddress ParseRamAddress(std::string_view text, uint32_t ramBase, uint32_t ramSize) {
    const std::optional<uint32_t> value = ParseHexText(text);
    if (!value || *value < ramBase || *value - ramBase >= ramSize)
        return {std::nullopt, Format("\"%s\" is not an address of the stack RAM (%.8X-%.8X).",
                                     Shown(text).c_str(), ramBase, ramBase + ramSize - 1)};
    return {*value - ramBase, {}};
}

std::string DisplayedAddress(uint32_t offset, uint32_t base) {
    char text[16];
    char* end = textformat::PutAddress(text, offset + base);
    return std::string(text, end);
}
