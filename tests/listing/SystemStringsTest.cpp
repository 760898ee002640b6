// The firmware's own string tables behind a literal's descriptor: numbers beyond the
// tables and tables or texts that the image does not hold wholly give no text.
#include <gtest/gtest.h>

#include "listing/Disassembler.h"
#include "listing/ListingFixture.h"

namespace {

TEST(SystemStrings, TablesDescriptorsAndTheirLimits) {
    using namespace systemstrings;
    char text[kSystemStringMax + 1];
    ListingFixture f(0xC0000);
    f.Bytes(kFirstTable, "\x03\x02"), f.Bytes(kFirstTable + kFirstCount, "abcd\n");  // "abc" "d\n"
    f.Bytes(kSecondTable, "\x04\x02"), f.Bytes(kSecondTable + kSecondCount, "WXYZhi");
    const std::pair<const char*, const char*> cases[] = {
        {"\x04\x00\x01", "d~"}, {"\x04\x00\x2F", "hi"}, {"\x05\x00\x00", nullptr}, {"\x04\x03\x7C", nullptr}, {"\x04\x03\x7B", ""}};
    for (const auto& [descriptor, expected] : cases) {
        f.Bytes(0xA3CB0, std::string(descriptor, 3));
        EXPECT_EQ(GetSystemString(*f.doc, 0xA3CB0, text), expected != nullptr) << int(descriptor[2]);
        EXPECT_STREQ(expected ? text : nullptr, expected);
    }
    EXPECT_FALSE(GetSystemString(*f.doc, 0xBFFFE, text));  // a descriptor cut by the end
    // A text that would end one byte past the image, and tables beyond it.
    ListingFixture cut(kFirstTable + kFirstCount + 4);
    cut.Bytes(kFirstTable, "\x05"), cut.Bytes(0x800, std::string("\x04\x00\x00", 3));
    EXPECT_FALSE(GetSystemString(*cut.doc, 0x800, text));
    ListingFixture small(0x1000);
    small.Bytes(0x800, std::string("\x04\x00\x01", 3));
    EXPECT_FALSE(GetSystemString(*small.doc, 0x800, text));
}

}  // namespace
