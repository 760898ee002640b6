// The info file: its bytes, round trips and every way a damaged file is handled.
#include <gtest/gtest.h>

#include "document/CTravikDoc.h"
#include "document/InfoFile.h"
#include "support/TestSupport.h"

namespace {

// An info file for a 16-byte image, built field by field.
struct InfoBuilder {
    std::vector<uint8_t> bytes;
    InfoBuilder& U32(uint32_t v) {
        PutLe32(bytes, v);
        return *this;
    }
    InfoBuilder& Flags(std::vector<uint8_t> f) {
        bytes.insert(bytes.end(), f.begin(), f.end());
        return *this;
    }
    InfoBuilder& Text(uint32_t index, const std::string& text) {
        U32(index).U32(static_cast<uint32_t>(text.size() + 1));
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
        return *this;
    }
    InfoBuilder& Raw(const std::string& raw) {
        bytes.insert(bytes.end(), raw.begin(), raw.end());
        return *this;
    }
    InfoBuilder& End() { return U32(0xFFFFFFFF); }
};

const std::vector<uint8_t> kFlags16 = {2, 2, 2, 2, 2, 2, 2, 2};

InfoBuilder Valid16() {
    InfoBuilder b;
    b.U32(16).Flags(kFlags16).End();
    return b;
}

class InfoFileOpen : public ::testing::Test {
  protected:
    void SetUp() override { WriteFile(Flash(), std::vector<uint8_t>(16, 0)); }
    std::string Flash() const { return dir.File("f.fls"); }
    std::string Info() const { return dir.File("f.ifo"); }
    std::unique_ptr<CTravikDoc> OpenWith(const InfoBuilder& info) {
        WriteFile(Info(), info.bytes);
        return OpenImage(frame, Flash());
    }
    TempDir dir;
    RecordingFrame frame;
};

TEST_F(InfoFileOpen, TheFortySevenByteExample) {
    auto doc = OpenImage(frame, Flash());
    ASSERT_NE(doc, nullptr);
    for (uint32_t i = 0; i < 8; ++i) TestDoc::Flags(*doc)[i] = 0;
    TestDoc::Texts(*doc, DocEdit::TextKind::kHeader).Set(0, "");  // no "File: " header
    TestDoc::Note(*doc, 2, "ab");
    ASSERT_TRUE(doc->OnSaveDocument(Flash()));
    EXPECT_FALSE(doc->IsModified());
    const std::vector<uint8_t> expected = {0x10, 0,    0,    0,    0,    0,    0,    0,
                                           0,    0,    0,    0,    0xFF, 0xFF, 0xFF, 0xFF,  //
                                           1,    0,    0,    0,    3,    0,    0,    0,
                                           'a',  'b',  0,    0xFF, 0xFF, 0xFF, 0xFF,        //
                                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  //
                                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(ReadFileBytes(Info()), expected);
    EXPECT_EQ(expected.size(), 47u);
    // RAM name records carry their count of bytes.
    doc->Apply(RamNameEdit(*doc, 10, 12, "a"));
    doc->Apply(RamNameEdit(*doc, 13, 13, "b"));
    ASSERT_TRUE(doc->OnSaveDocument(Flash()));
    InfoBuilder names;
    names.Flags({expected.begin(), expected.end() - 4});
    names.Text(10, "a").U32(3).Text(13, "b").U32(1).End();
    EXPECT_EQ(ReadFileBytes(Info()), names.bytes);
}

TEST_F(InfoFileOpen, SaveAndReopenKeepsEverything) {
    std::remove(Info().c_str());
    auto doc = OpenImage(frame, Flash());
    ASSERT_NE(doc, nullptr);
    TestDoc::Note(*doc, 4, "note \xE4");
    TestDoc::Header(*doc, 6, "head");
    TestDoc::Footer(*doc, 6, "foot");
    doc->Apply(TextEdit(*doc, DocEdit::TextKind::kExplanation, 14, "why", true));
    TestDoc::Flags(*doc)[3] = 0x7B;
    doc->Apply(RamNameEdit(*doc, 10, 12, "counter"));
    doc->Apply(RamNameEdit(*doc, 13, 13, "next"));
    doc->Apply(RamNameEdit(*doc, 0xFFFF, 0xFFFF, "last"));
    ASSERT_TRUE(doc->OnSaveDocument(Flash()));
    const auto saved = ReadFileBytes(Info());

    RecordingFrame frame2;
    auto again = OpenImage(frame2, Flash());
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(frame2.messages.empty());
    for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(again->Flags()[i], doc->Flags()[i]) << i;
    EXPECT_EQ(*again->Notes().Find(2), "note \xE4");
    EXPECT_EQ(*again->Headers().Find(3), "head");
    EXPECT_EQ(*again->Footers().Find(3), "foot");
    EXPECT_EQ(*again->Explanations().Find(7), "why");
    EXPECT_EQ(*again->RamNames().Find(10), "counter");
    EXPECT_EQ(again->RamNames().At(12), RamNameTable::Entry::Continued);
    uint32_t owner = 0;
    EXPECT_EQ(*again->RamNames().Owner(12, owner), "counter");
    EXPECT_EQ(owner, 10u);
    EXPECT_EQ(*again->RamNames().Find(13), "next");
    EXPECT_EQ(again->RamNames().At(14), RamNameTable::Entry::None);
    EXPECT_EQ(*again->RamNames().Find(0xFFFF), "last");
    // Written again, the file is the same byte for byte.
    ASSERT_TRUE(again->OnSaveDocument(Flash()));
    EXPECT_EQ(ReadFileBytes(Info()), saved);
}

// What a reader accepts: records in any order, the later one replacing the earlier,
// an empty text as none, texts cut at their first NUL or without one, a RAM name's
// count stopping at the RAM's end, and anything after the RAM names.
TEST_F(InfoFileOpen, LenientReads) {
    InfoBuilder b = Valid16().Text(5, "second").Text(1, "first").Text(5, "third").Text(2, "");
    b.U32(3).U32(3).Raw("abc");                     // no NUL: all three bytes
    b.U32(4).U32(5).Raw(std::string("ab\0cd", 5));  // ends at its first NUL
    b.End().End().End().End();
    b.Text(5, "y").U32(0xFFFFFFFF).Text(0xFFFE, "x").U32(3).End().Raw("garbage");
    auto doc = OpenWith(b);
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(frame.messages.empty());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(*doc->Notes().Find(5), "third");
    EXPECT_EQ(*doc->Notes().Find(1), "first");
    EXPECT_EQ(doc->Notes().Find(2), nullptr);
    EXPECT_EQ(*doc->Notes().Find(3), "abc");
    EXPECT_EQ(*doc->Notes().Find(4), "ab");
    EXPECT_EQ(doc->RamNames().At(0xFFFE), RamNameTable::Entry::Name);
    EXPECT_EQ(doc->RamNames().At(0xFFFF), RamNameTable::Entry::Continued);
    // A huge count covers the rest of the RAM, up to the next names it overwrote.
    EXPECT_EQ(doc->RamNames().At(6), RamNameTable::Entry::Continued);
}

struct Refusal {
    const char* what;
    InfoBuilder file;
    const char* message;  // appended to the info path
};

TEST_F(InfoFileOpen, EveryRefusal) {
    const char* kCorrupt = " corrupted.";
    const char* kWrong = "not derived from opened flash File (wrong size)";
    std::vector<Refusal> cases;
    cases.push_back({"wrong size", InfoBuilder().U32(18).Flags(kFlags16).End(), kWrong});
    cases.push_back({"shorter than the size field", InfoBuilder().Raw("\x10"), kWrong});
    cases.push_back({"empty file", InfoBuilder(), kWrong});
    cases.push_back({"short flags", InfoBuilder().U32(16).Flags({2, 2, 2}), kCorrupt});
    cases.push_back({"missing separator", InfoBuilder().U32(16).Flags(kFlags16), kCorrupt});
    cases.push_back(
        {"wrong separator", InfoBuilder().U32(16).Flags(kFlags16).U32(0xFFFFFFFE), kCorrupt});
    cases.push_back({"index at imageSize / 2", Valid16().Text(8, "x"), kCorrupt});
    cases.push_back({"huge index", Valid16().Text(0x7FFFFFFF, "x"), kCorrupt});
    cases.push_back({"short text", Valid16().U32(1).U32(10).Raw("abc"), kCorrupt});
    cases.push_back({"huge length", Valid16().U32(1).U32(0xFFFFFFFF).Raw("abc"), kCorrupt});
    cases.push_back({"missing length", Valid16().U32(1), kCorrupt});
    cases.push_back({"ends where an index is expected", Valid16(), kCorrupt});
    cases.push_back({"bad header index", Valid16().End().Text(9, "x"), kCorrupt});
    cases.push_back({"damaged explanations", Valid16().End().End().End().U32(3).U32(2), kCorrupt});
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingFrame f;
        WriteFile(Info(), c.file.bytes);
        EXPECT_EQ(OpenImage(f, Flash()), nullptr);
        EXPECT_EQ(f.messages, std::vector<std::string>{Info() + c.message});
    }
}

TEST_F(InfoFileOpen, DamagedRamNamesStillOpen) {
    struct Case {
        const char* what;
        InfoBuilder file;
        size_t names;
    };
    std::vector<Case> cases;
    cases.push_back({"no section 5", Valid16().Text(1, "n").End().End().End().End(), 0});
    cases.push_back({"bad index",
                     Valid16()
                         .Text(1, "n")
                         .End()
                         .End()
                         .End()
                         .End()
                         .Text(3, "ok")
                         .U32(1)
                         .Text(0x10000, "x")
                         .U32(1),
                     1});
    cases.push_back(
        {"missing count",
         Valid16().Text(1, "n").End().End().End().End().Text(3, "ok").U32(2).Text(7, "x"), 2});
    cases.push_back(
        {"huge length", Valid16().Text(1, "n").End().End().End().End().U32(3).U32(0xFFFFFFF0), 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingFrame f;
        WriteFile(Info(), c.file.bytes);
        auto doc = OpenImage(f, Flash());
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(f.messages, std::vector<std::string>{Info() + " corrupted."});
        EXPECT_EQ(*doc->Notes().Find(1), "n");
        size_t named = 0;
        for (uint32_t i = 0; i < 0x10000; ++i)
            named += doc->RamNames().At(i) != RamNameTable::Entry::None;
        EXPECT_EQ(named, c.names);
    }
}

TEST(InfoPath, BesideTheFlashFileInItsFolder) {
    const struct {
        const char* flash;
        const char* info;
    } cases[] = {
        {"/a/phone.fls", "/a/phone.ifo"},  // a three-character extension is replaced as always
        {"/a/phone.FLS", "/a/phone.ifo"},  {"/a/x.ifo", "/a/x.ifo"},  // the save refuses this one
        {"sub/ab", "sub/ab.ifo"},          {"firmware", "firmware.ifo"},
        {"/a/image.bin2", "/a/image.ifo"}, {"/a/fw.v1/rom", "/a/fw.v1/rom.ifo"},
        {"/a/.rom", "/a/.rom.ifo"},
    };
    for (const auto& c : cases) EXPECT_EQ(InfoPathFor(c.flash), c.info) << c.flash;
}

TEST_F(InfoFileOpen, FirstSaveAfterDamagedRamNamesKeepsTheDamagedFile) {
    const InfoBuilder damaged =
        Valid16().Text(1, "n").End().End().End().End().Text(3, "ok").U32(1).Text(0x10000, "x");
    WriteFile(Info() + ".bak", std::string("an older backup"));
    auto doc = OpenWith(damaged);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetInfoState(), CTravikDoc::InfoState::kRamNamesDamaged);
    EXPECT_EQ(doc->InfoProblem(),
              Info() +
                  ": the RAM names are damaged at byte 57: 1 names before it were kept, the "
                  "rest were dropped; the first save keeps the damaged file as " +
                  Info() + ".bak");

    frame.messages.clear();
    ASSERT_TRUE(doc->OnSaveDocument(Flash()));
    // An older backup is never replaced: the next free name is taken.
    EXPECT_EQ(frame.messages, std::vector<std::string>{"The damaged " + Info() + " was kept as " +
                                                       Info() + ".bak1."});
    EXPECT_EQ(ReadFileBytes(Info() + ".bak1"), damaged.bytes);
    EXPECT_EQ(ReadFileBytes(Info() + ".bak").size(), 15u);
    // Once kept, later saves just save.
    frame.messages.clear();
    ASSERT_TRUE(doc->OnSaveDocument(Flash()));
    EXPECT_TRUE(frame.messages.empty());
    EXPECT_FALSE(FileExists(Info() + ".bak2"));
    RecordingFrame again;
    auto reopened = OpenImage(again, Flash());
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->GetInfoState(), CTravikDoc::InfoState::kRead);
    EXPECT_EQ(*reopened->RamNames().Find(3), "ok");
}

}  // namespace
