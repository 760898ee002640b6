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
    // Outside the image nothing changes, not even the modified flag.
    doc->SetModifiedFlag(false);
    EXPECT_TRUE(doc->Apply(TextEdit(*doc, K::kNote, doc->ImageSize(), "x", true)).parts.empty());
    EXPECT_TRUE(doc->Apply(ItemTypeEdit(*doc, doc->ImageSize(), 14, true)).parts.empty());
    EXPECT_FALSE(doc->IsModified());
}
