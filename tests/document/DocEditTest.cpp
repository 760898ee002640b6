// Every kind of edit: what it does to the flags, and that the edit Apply returns puts
// everything back.
#include <gtest/gtest.h>

#include <string>

#include "document/InfoFile.h"
#include "support/TestSupport.h"

// On the demo firmware: each edit changes the annotations, the edit Apply returns puts
// back every byte of them (flags, texts, RAM names, RAM bytes), and applying that gives
// back the edit itself.
TEST(DocEdit, TheInverseRestoresEveryByteAndItsInverseIsTheEdit) {
    RecordingFrame frame;
    auto doc = OpenImage(frame, TRAVIK_DEMO_FLS);
    ASSERT_NE(doc, nullptr);
    const uint8_t* r = doc->RamBytes();
    auto all = [&] { return WriteInfoFile(TestDoc::Tables(*doc)) + std::string(r, r + kRamSize); };
    using K = DocEdit::TextKind;
    const DocEdit edits[] = {
        ItemTypeEdit(*doc, 0x100, itemtype::kData16, true, 64),  // Ctrl+Shift+0
        ItemTypeEdit(*doc, 0x22, itemtype::kArm, true),
        ItemTypeEdit(*doc, doc->ImageSize() - 4, itemtype::kData16, true),  // cut at the end
        FlagBitsEdit(*doc, 0x46, flagbits::kRoutineStart | flagbits::kRoutineEnd),
        TextEdit(*doc, K::kHeader, 0, "renamed", true),
        TextEdit(*doc, K::kNote, 0x44, std::string("a\0b", 3), false),
        TextEdit(*doc, K::kExplanation, 0x44, "why", true),
        RamNameEdit(*doc, 0x10, 0x13, "counter"),
        RamHexEdit(*doc, 0xFFF0, 0xFFFF, "0123456789abcdefXY"),
        DocEdit{}.SetText(K::kFooter, 0x60, "f").SetText(K::kFooter, 0x10, "g"),  // in one pass
        DocEdit{}.SetFlags(0x30, {1, 2, 3}).SetFlags(0x31, {9}),  // overlapping parts
    };
    for (const DocEdit& edit : edits) {
        const std::string before = all();
        const DocEdit inverse = doc->Apply(edit);
        EXPECT_NE(all(), before);
        EXPECT_EQ(doc->Apply(inverse), edit);
        EXPECT_EQ(all(), before);
    }
    // Outside the image or the RAM nothing changes, not even the modified flag.
    doc->SetModifiedFlag(false);
    for (const DocEdit& outside :
         {TextEdit(*doc, K::kNote, doc->ImageSize(), "x", true),
          ItemTypeEdit(*doc, doc->ImageSize(), 14, true), RamHexEdit(*doc, 0xFFFF, 0x10000, "12"),
          RamNameEdit(*doc, 0x10, 0x10000, "x")})
        EXPECT_TRUE(doc->Apply(outside).parts.empty());
    EXPECT_FALSE(doc->IsModified());
}

// At the BL at offset 4: a retype makes the item's continuations, clears the routine marks, and
// leaves what is left of a longer item as two-byte data; the user mark follows `byUser`.
TEST(DocEdit, RetypingRemarksTheHalfwordsAfterTheItem) {
    const struct {
        const char* what;
        std::vector<uint8_t> before;
        uint8_t type;
        bool byUser;
        std::vector<uint8_t> after;
    } cases[] = {
        {"a BL made data", {0x42, 0x82, 2}, 10, true, {0x1A, 10, 2}},
        {"back to a BL", {10, 10, 2}, 2, true, {0x12, 0x92, 2}},
        {"a long item shortened", {0x6E, 0x8E, 0x8E, 0x8E, 2}, 11, false, {11, 0x8B, 10, 10, 2}},
        {"data lengthened",
         {0x20, 2, 2, 2, 2, 2, 2, 2, 2},
         14,
         false,
         {14, 0x8E, 0x8E, 0x8E, 0x8E, 0x8E, 0x8E, 0x8E, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        RecordingFrame frame;
        std::vector<uint8_t> image = ImageOfHalfwords({0x2020, 0x2020, 0xF000, 0xF806});  // BL at 4
        image.resize(0x20, 0x20);
        auto doc = OpenImageBytes(frame, dir.File("a.fls"), image);
        ASSERT_NE(doc, nullptr);
        std::copy(c.before.begin(), c.before.end(), TestDoc::Flags(*doc) + 2);
        doc->SetModifiedFlag(false);
        doc->Apply(ItemTypeEdit(*doc, 4, c.type, c.byUser));
        EXPECT_EQ(std::vector<uint8_t>(doc->Flags() + 2, doc->Flags() + 2 + c.after.size()),
                  c.after);
        EXPECT_TRUE(doc->IsModified());
    }
}
