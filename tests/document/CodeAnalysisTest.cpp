// What opening finds in the code: calls, branches, literals, routines, items.
#include <gtest/gtest.h>

#include <random>

#include "document/CTravikDoc.h"
#include "support/TestSupport.h"

namespace {

// An image of THUMB halfwords (MOV R0, #0 = 0x2000 as filler) with some placed ones.
class ImageBuilder {
  public:
    explicit ImageBuilder(size_t bytes) : bytes_(bytes, 0) {
        for (size_t o = 0; o + 1 < bytes; o += 2) Half(static_cast<uint32_t>(o), 0x2000);
    }
    ImageBuilder& Half(uint32_t offset, uint16_t value) {
        bytes_[offset] = static_cast<uint8_t>(value >> 8);
        bytes_[offset + 1] = static_cast<uint8_t>(value);
        return *this;
    }
    ImageBuilder& Word(uint32_t offset, uint32_t value) {
        Half(offset, static_cast<uint16_t>(value >> 16));
        return Half(offset + 2, static_cast<uint16_t>(value));
    }
    // BL at `offset` calling `target` (image offsets).
    ImageBuilder& Bl(uint32_t offset, int64_t target) {
        const int64_t delta = (target - (int64_t{offset} + 4)) / 2;
        const uint32_t bits = static_cast<uint32_t>(delta) & 0x3FFFFF;
        Half(offset, static_cast<uint16_t>(0xF000 | (bits >> 11)));
        return Half(offset + 2, static_cast<uint16_t>(0xF800 | (bits & 0x7FF)));
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

struct Opened {
    TempDir dir;
    RecordingFrame frame;
    std::unique_ptr<CTravikDoc> doc;
};

std::unique_ptr<Opened> Open(const ImageBuilder& image) {
    auto o = std::make_unique<Opened>();
    WriteFile(o->dir.File("a.fls"), image.Bytes());
    o->doc = OpenImage(o->frame, o->dir.File("a.fls"));
    return o;
}

// Calls into routine headers: counted, the file header replaced at offset 0, none
// outside the image, and a BL's first half must lie after offset 2.
TEST(CodeAnalysis, CallsMakeRoutineHeadersOnlyInsideTheImage) {
    ImageBuilder image(0x3000);
    image.Bl(0x100, 0x2000).Bl(0x200, 0x2000).Bl(0x2800, 0x2000).Bl(0x20, 0);
    image.Bl(0x40, 0x4000).Bl(0x60, -0x100).Bl(2, 0x20).Bl(0x80, 0x20).Bl(0xA0, 0x3000);
    ImageBuilder early(0x40);
    early.Bl(4, 0x20);
    EXPECT_EQ(Open(early)->doc->JumpKind(2), 2);
    auto o = Open(image);
    auto& doc = *o->doc;
    EXPECT_EQ(doc.Flags()[0x102 / 2], 0x82);  // second halfword: continuation
    EXPECT_EQ(doc.Flags()[0x2000 / 2] & 0x40, 0x40);
    EXPECT_EQ(*doc.Headers().Find(0x1000), "Routine (3 calls)");
    EXPECT_EQ(*doc.Headers().Find(0), "Routine (1 calls)");
    EXPECT_EQ(*doc.Headers().Find(0x10), "Routine (1 calls)");  // not 2: the one at 2 is none
    for (uint32_t off : {0x40u, 0x60u, 2u}) {
        EXPECT_EQ(doc.JumpKind(off / 2), 0) << off;
        EXPECT_EQ(doc.Flags()[off / 2 + 1], 0x02) << off;  // its own line
    }
    EXPECT_EQ(doc.JumpKind(0x80 / 2), 2);
    EXPECT_EQ(doc.Headers().Size(), 3u);  // none for the call to the image end
    int s = -1;
    EXPECT_EQ(doc.NextLine(0x1FFE, s), 0x2000);
    EXPECT_EQ(s, -1);
}

// A literal load makes a data word; a word that points into the image (its end too)
// is followed along the chain, also from a literal right after its load.
TEST(CodeAnalysis, LiteralLoadMakesADataWordAndPointersAreFollowed) {
    ImageBuilder image(0x200);
    image.Half(0x102, 0x4801);  // LDR R0, [PC, #4] -> 0x100 + 4 + 4
    image.Half(0x112, 0x4800).Word(0x114, 0x200180).Word(0x180, 0x200200);
    auto o = Open(image);
    auto& doc = *o->doc;
    EXPECT_EQ(doc.Flags()[0x108 / 2], 11);
    EXPECT_EQ(doc.Flags()[0x10A / 2], 11 | 0x80);
    EXPECT_EQ(doc.JumpTarget(0x114 / 2), 0x180u);
    EXPECT_EQ(doc.JumpKind(0x180 / 2), 1);
    EXPECT_EQ(doc.JumpTarget(0x180 / 2), 0x200u);
}

TEST(CodeAnalysis, RoutineEndsGetFooters) {
    ImageBuilder image(0x100);
    image.Half(0x10, 0xBD00).Half(0x20, 0x46F7).Half(0x30, 0x46F6);
    auto o = Open(image);
    auto& doc = *o->doc;
    EXPECT_EQ(doc.Flags()[0x10 / 2] & 0x20, 0x20);
    EXPECT_EQ(*doc.Footers().Find(0x10 / 2), "end routine");
    EXPECT_EQ(doc.Flags()[0x20 / 2] & 0x20, 0x20);
    EXPECT_EQ(doc.Flags()[0x30 / 2] & 0x20, 0);
    EXPECT_EQ(doc.Footers().Size(), 2u);
}

TEST(CodeAnalysis, ThumbEntryPointBehindTheArmVeneer) {
    ImageBuilder image(0x100);
    image.Word(0x20, 0xE28F0001).Word(0x24, 0xE12FFF10);
    // At offset 0 the rule cannot fire: it needs the veneer to end above offset 8.
    image.Word(0x0, 0xE28F0001).Word(0x4, 0xE12FFF10);
    auto o = Open(image);
    auto& doc = *o->doc;
    EXPECT_EQ(doc.Flags()[0x28 / 2] & 0x40, 0x40);
    EXPECT_EQ(*doc.Headers().Find(0x28 / 2), "THUMB Entry point");
    EXPECT_EQ(doc.Headers().Find(0x8 / 2), nullptr);
}

// LSL R4, R4, #16; LSR R4, R4, #16; LSL R3, R4, #16: the middle one ends the first
// pair and must not also start a second, or LSL R3 would vanish into its line. A
// fourth matching shift forms the next pair.
TEST(CodeAnalysis, OverlappingShiftPairsMergeOnlyTheFirst) {
    ImageBuilder image(0x100);
    image.Half(0x10, 0x0424).Half(0x12, 0x0C24).Half(0x14, 0x0423);
    image.Half(0x30, 0x0424).Half(0x32, 0x0C24).Half(0x34, 0x0424).Half(0x36, 0x0C24);
    image.Half(0x20, 0x0111).Half(0x22, 0x0912);  // LSR R2, R2: not the same register
    auto o = Open(image);
    auto& doc = *o->doc;
    EXPECT_EQ(doc.Flags()[0x12 / 2], 0x82);
    EXPECT_EQ(doc.Flags()[0x14 / 2], 0x02);
    EXPECT_EQ(doc.Flags()[0x32 / 2], 0x82);
    EXPECT_EQ(doc.Flags()[0x34 / 2], 0x02);
    EXPECT_EQ(doc.Flags()[0x36 / 2], 0x82);
    EXPECT_EQ(doc.Flags()[0x22 / 2], 0x02);
}

TEST(CodeAnalysis, InfoFileTypesStayAndOnlyTargetsAreRecomputed) {
    ImageBuilder image(0x100);
    image.Bl(0x20, 0x80).Half(0x40, 0xD0FE).Half(0x50, 0xBD00);
    auto o = Open(image);
    auto& doc = *o->doc;
    doc.Apply(ItemTypeEdit(doc, 0x40, 10, true));  // the branch is data now
    TestDoc::Flags(doc)[0x22 / 2] = 2;             // split the BL by hand
    ASSERT_TRUE(doc.OnSaveDocument(o->dir.File("a.fls")));
    RecordingFrame frame;
    auto again = OpenImage(frame, o->dir.File("a.fls"));
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(frame.messages.empty());
    EXPECT_FALSE(again->IsModified());
    EXPECT_EQ(again->JumpKind(0x20 / 2), 2);  // the target is found again
    EXPECT_EQ(again->Flags()[0x22 / 2], 2);   // but no continuation is added
    EXPECT_EQ(again->JumpKind(0x40 / 2), 0);  // data gets no target
    EXPECT_EQ(again->Headers().Size(), doc.Headers().Size());
}

TEST(ItemType, RetypingABlReMarksItsSecondHalf) {
    ImageBuilder image(0x100);
    image.Bl(0x20, 0x80);
    auto o = Open(image);
    auto& doc = *o->doc;
    doc.Apply(ItemTypeEdit(doc, 0x20, 10, true));
    EXPECT_EQ(doc.Flags()[0x10], 10 | 0x10);
    EXPECT_EQ(doc.Flags()[0x11], 10);  // the leftover continuation became data
    doc.SetModifiedFlag(false);
    doc.Apply(ItemTypeEdit(doc, 0x20, 2, true));
    EXPECT_EQ(doc.Flags()[0x10], 2 | 0x10);
    EXPECT_EQ(doc.Flags()[0x11], 2 | 0x80 | 0x10);
    EXPECT_TRUE(doc.IsModified());
}

TEST(ItemType, ShorteningALongItemLeavesTwoByteData) {
    ImageBuilder image(0x100);
    auto o = Open(image);
    auto& doc = *o->doc;
    TestDoc::Flags(doc)[0x40] = 0x40 | 0x20;  // marks are cleared by the retype
    doc.Apply(ItemTypeEdit(doc, 0x80, 14, false));
    for (int k = 1; k <= 7; ++k) EXPECT_EQ(doc.Flags()[0x40 + k], 14 | 0x80);
    EXPECT_EQ(doc.Flags()[0x48], 2);
    doc.Apply(ItemTypeEdit(doc, 0x80, 10, false));
    EXPECT_EQ(doc.Flags()[0x40], 10);
    for (int k = 1; k <= 7; ++k) EXPECT_EQ(doc.Flags()[0x40 + k], 10) << k;
    EXPECT_EQ(doc.Flags()[0x48], 2);
}

TEST(JumpList, EntriesFromUserMarkedHeaders) {
    ImageBuilder image(0x100);
    auto o = Open(image);
    auto& doc = *o->doc;
    EXPECT_TRUE(o->frame.jumpList.empty());  // generated headers carry no user mark
    TestDoc::Header(doc, 0x40, "init");
    TestDoc::Flags(doc)[0x20] |= 0x10;
    TestDoc::Header(doc, 0x10, "main");
    doc.Apply(TextEdit(doc, DocEdit::TextKind::kExplanation, 0x10, "the main loop", true));
    doc.RebuildJumpList();
    EXPECT_EQ(o->frame.jumpList, (std::vector<std::string>{"00000010 > main", "00000040 - init"}));
    doc.ToggleBaseAddress();
    EXPECT_EQ(o->frame.jumpList, (std::vector<std::string>{"00200010 > main", "00200040 - init"}));
}

}  // namespace

namespace {

// The literal pointer pass as the plain scan over every halfword: the reference that
// the open's faster walk must agree with on every image.
std::vector<std::pair<uint8_t, uint32_t>> ReferencePointerPass(
    const CTravikDoc& doc, std::vector<std::pair<uint8_t, uint32_t>> jumps) {
    const uint32_t size = doc.ImageSize();
    for (uint32_t i = 0; i < size / 2; ++i) {
        if (jumps[i].first != 1) continue;
        const uint32_t t = jumps[i].second;
        if (uint64_t{t} + 4 > size) continue;
        const int64_t v = int64_t{doc.WordAt(t)} - 0x200000;
        if (v < 0 || v > size) continue;
        jumps[t / 2] = {1, static_cast<uint32_t>(v)};
    }
    return jumps;
}

TEST(CodeAnalysis, PointerPassMatchesAPlainScan) {
    // Random words full of flash pointers into the image (even and odd) and loads.
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const uint32_t size = 0x1000;
        ImageBuilder image(size);
        for (uint32_t o = 0; o < size; o += 4) {
            switch (random() % 4) {
                case 0:
                    image.Word(o, 0x200000 + (random() % 8 ? random() % (size + 8) : size));
                    break;
                case 1:
                    image.Half(o, static_cast<uint16_t>(0x4800 | (random() % 0x800)));
                    break;
                case 2:
                    image.Word(o, 0x200000 + (random() % (size / 4)) * 4);
                    break;
                default:
                    image.Word(o, static_cast<uint32_t>(random()));
                    break;
            }
        }
        auto o = Open(image);
        auto& doc = *o->doc;
        // The loads as the reading pass left them: recompute them from the flags the
        // open used, which the pointer pass does not change.
        std::vector<std::pair<uint8_t, uint32_t>> loads(size / 2);
        for (uint32_t i = 0; i < size / 2; ++i) {
            const uint32_t off = 2 * i;
            const uint8_t b0 = doc.Image()[off];
            if ((b0 & 0xF8) == 0x48 && off > 2 && (doc.Flags()[i] & 0xF) == 2) {
                const uint32_t t = (off & ~3u) + 4 + 4 * doc.Image()[off + 1];
                if (t <= size) loads[i] = {1, t};
            }
        }
        const auto expected = ReferencePointerPass(doc, loads);
        for (uint32_t i = 0; i < size / 2; ++i) {
            if (expected[i].first == 1) {
                ASSERT_EQ(doc.JumpKind(i), 1) << i;
                ASSERT_EQ(doc.JumpTarget(i), expected[i].second) << i;
            } else {
                ASSERT_NE(doc.JumpKind(i), 1) << i;
            }
        }
    }
}

}  // namespace
