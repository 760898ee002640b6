#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "document/Merge.h"
#include "support/TestSupport.h"

namespace {

constexpr uint32_t kSize = 0x20;

// An info file for the test image, built record by record.
struct OtherFile {
    std::vector<uint8_t> flags = std::vector<uint8_t>(kSize / 2, itemtype::kThumb);
    std::vector<std::pair<uint32_t, std::string>> sections[4];  // notes, headers, footers, expl.
    std::string Bytes(uint32_t size = kSize) const {
        std::vector<uint8_t> out;
        PutLe32(out, size);
        out.insert(out.end(), flags.begin(), flags.end());
        PutLe32(out, 0xFFFFFFFF);
        for (const auto& section : sections) {
            for (const auto& [index, text] : section) {
                PutLe32(out, index);
                PutLe32(out, static_cast<uint32_t>(text.size() + 1));
                out.insert(out.end(), text.begin(), text.end());
                out.push_back(0);
            }
            PutLe32(out, 0xFFFFFFFF);
        }
        PutLe32(out, 0xFFFFFFFF);  // no RAM names
        return std::string(out.begin(), out.end());
    }
};

class MergeTest : public ::testing::Test {
  protected:
    MergeTest() {
        WriteFile(dir.File("a.fls"), std::vector<uint8_t>(kSize, 0));
        doc = OpenImage(frame, dir.File("a.fls"));
        // No annotations at all: as if its info file were empty.
        TestDoc::ClearTexts(*doc);
        std::memset(TestDoc::Flags(*doc), itemtype::kThumb, kSize / 2);
        doc->SetModifiedFlag(false);
        frame.messages.clear();
    }
    MergeOutcome MergeBytes(const std::string& bytes) {
        WriteFile(dir.File("other.ifo"), bytes);
        frame.chooserAnswers.push_back(dir.File("other.ifo"));
        return Merge(*doc);
    }
    TempDir dir;
    RecordingFrame frame;
    std::unique_ptr<CTravikDoc> doc;
};

TEST_F(MergeTest, IntoAnEmptyDocumentTakesEverythingAndCopiesMarkedFlags) {
    OtherFile other;
    other.flags[3] = itemtype::kData4 | flagbits::kUserMark | flagbits::kRoutineStart;
    other.flags[5] = itemtype::kArm;  // unmarked: not copied
    other.sections[0] = {{3, "note"}};
    other.sections[1] = {{3, "Header"}, {5, "plain"}};
    other.sections[3] = {{7, "why"}};
    EXPECT_EQ(MergeBytes(other.Bytes()), MergeOutcome::kMerged);
    EXPECT_EQ(frame.chooserFilters.back(), kInfoFileFilter);
    EXPECT_TRUE(frame.questions.empty());
    EXPECT_EQ(*doc->Notes().Find(3), "note");
    EXPECT_EQ(*doc->Headers().Find(5), "plain");
    EXPECT_EQ(*doc->Explanations().Find(7), "why");
    EXPECT_EQ(doc->Flags()[3], other.flags[3]);
    EXPECT_EQ(doc->Flags()[5], itemtype::kThumb);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(frame.statusTexts.front(), "Merging " + dir.File("other.ifo") + "...");
    EXPECT_EQ(frame.statusTexts.back(), "Ready");
    // The marked header is in the jump list now.
    ASSERT_EQ(frame.jumpList.size(), 1u);
    EXPECT_EQ(frame.jumpList[0], "00000006 - Header");
}

TEST_F(MergeTest, PerRecordRulesAndTheQuestion) {
    TestDoc::Options(*doc).baseAddress = 0x200000;
    TestDoc::Note(*doc, 2, "mine");  // index 1, marked on both sides: asked
    TestDoc::Note(*doc, 4, "same");  // index 2, marked on both, equal: not asked
    TestDoc::Note(*doc, 6, "kept");  // index 3, marked here only: kept
    TestDoc::Note(*doc, 8, "old");   // index 4, marked over there only: taken
    for (uint32_t i : {1, 2, 3}) TestDoc::Flags(*doc)[i] |= flagbits::kUserMark;
    OtherFile other;
    for (uint32_t i : {1, 2, 4}) other.flags[i] |= flagbits::kUserMark;
    other.sections[0] = {{1, "theirs"}, {2, "same"}, {3, "other"}, {4, "new"}};

    struct Case {
        bool answer;
        std::string note1;
    } cases[] = {{false, "mine"}, {true, "theirs"}};
    for (const Case& c : cases) {
        TestDoc::Texts(*doc, DocEdit::TextKind::kNote).Set(1, "mine");
        TestDoc::Texts(*doc, DocEdit::TextKind::kNote).Set(4, "old");
        TestDoc::Flags(*doc)[4] = itemtype::kThumb;
        frame.questions.clear();
        frame.yesNoAnswers = {c.answer};
        EXPECT_EQ(MergeBytes(other.Bytes()), MergeOutcome::kMerged);
        ASSERT_EQ(frame.questions.size(), 1u);
        EXPECT_EQ(frame.questions[0], "Replace Note at 00200002: \nmine\n with new note:\ntheirs");
        EXPECT_EQ(*doc->Notes().Find(1), c.note1);
        EXPECT_EQ(*doc->Notes().Find(2), "same");
        EXPECT_EQ(*doc->Notes().Find(3), "kept");
        EXPECT_EQ(*doc->Notes().Find(4), "new");
    }
}

TEST_F(MergeTest, TheQuestionShowsTheStartOfALongNoteAndMergesItWhole) {
    TestDoc::Note(*doc, 2, "mine\xE9");
    TestDoc::Flags(*doc)[1] |= flagbits::kUserMark;
    OtherFile other;
    other.flags[1] |= flagbits::kUserMark;
    // 999 characters, then a CR LF that the cut at 1,000 must not split.
    const std::string theirs = std::string(999, 'x') + "\r\n" + std::string(1 << 20, 'y');
    other.sections[0] = {{1, theirs}};
    frame.yesNoAnswers = {true};
    EXPECT_EQ(MergeBytes(other.Bytes()), MergeOutcome::kMerged);
    ASSERT_EQ(frame.questions.size(), 1u);
    EXPECT_EQ(frame.questions[0], "Replace Note at 00000002: \nmine\xC3\xA9\n with new note:\n" +
                                      std::string(999, 'x') + "\xE2\x80\xA6");
    EXPECT_EQ(*doc->Notes().Find(1), theirs);
}

TEST_F(MergeTest, ItsOwnSavedFileAsksNothing) {
    TestDoc::Header(*doc, 0, "Routine (3 calls)");
    TestDoc::Footer(*doc, 4, "end routine");
    TestDoc::Flags(*doc)[0] |= flagbits::kUserMark;
    TestDoc::Flags(*doc)[2] |= flagbits::kUserMark;
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    frame.chooserAnswers.push_back(dir.File("a.ifo"));
    EXPECT_EQ(Merge(*doc), MergeOutcome::kMerged);
    EXPECT_TRUE(frame.questions.empty());
    EXPECT_EQ(*doc->Headers().Find(0), "Routine (3 calls)");
}

TEST_F(MergeTest, WrongSizeAndDamagedFiles) {
    OtherFile other;
    other.flags[1] |= flagbits::kUserMark;
    other.sections[0] = {{1, "first"}};
    other.sections[1] = {{2, "second"}};

    EXPECT_EQ(MergeBytes(other.Bytes(kSize + 2)), MergeOutcome::kWrongSize);
    EXPECT_EQ(frame.messages.back(),
              dir.File("other.ifo") + "not derived from opened flash File (wrong size)");
    EXPECT_FALSE(doc->IsModified());

    // Damaged in the headers: the notes before it stay, the flag bytes do not change,
    // and the document knows it changed.
    std::string bytes = other.Bytes();
    const size_t header = 4 + kSize / 2 + 4 + (4 + 4 + 6) + 4;
    bytes[header] = 0x7F;  // index far past the image
    EXPECT_EQ(MergeBytes(bytes), MergeOutcome::kCorrupted);
    EXPECT_EQ(frame.messages.back(), dir.File("other.ifo") + " corrupted.");
    EXPECT_EQ(*doc->Notes().Find(1), "first");
    EXPECT_FALSE(doc->Headers().Has(2));
    EXPECT_EQ(doc->Flags()[1], itemtype::kThumb);
    EXPECT_TRUE(doc->IsModified());

    // Cut short inside the flag bytes, or inside a record.
    for (size_t length : {size_t{10}, bytes.size() - 20}) {
        EXPECT_EQ(MergeBytes(other.Bytes().substr(0, length)), MergeOutcome::kCorrupted) << length;
    }
}

TEST_F(MergeTest, UnreadableFileIsReportedAndFinishes) {
    frame.chooserAnswers.push_back(dir.File("missing.ifo"));
    EXPECT_EQ(Merge(*doc), MergeOutcome::kCannotOpen);
    EXPECT_NE(frame.messages.back().find("missing.ifo cannot be read"), std::string::npos);
    EXPECT_TRUE(doc->IsModified());
    frame.chooserAnswers.clear();
    EXPECT_EQ(Merge(*doc), MergeOutcome::kCancelled);
}

TEST_F(MergeTest, FixTakesTheMarkOffGeneratedRoutineTexts) {
    struct Case {
        const char* header;
        const char* footer;
        bool markStays;
    } cases[] = {
        {"Routine (3 calls)", nullptr, false},
        {"Routines of the boot", nullptr, false},
        {"Routin", nullptr, true},
        {"routine", nullptr, true},
        {nullptr, "end routine", false},
        {nullptr, "end routine here", false},
        {nullptr, "End routine", true},
        {"My code", "end routine", false},
    };
    for (uint32_t i = 0; i < std::size(cases); ++i) {
        if (cases[i].header) TestDoc::Header(*doc, 2 * i, cases[i].header);
        if (cases[i].footer) TestDoc::Footer(*doc, 2 * i, cases[i].footer);
        TestDoc::Flags(*doc)[i] |= flagbits::kUserMark;
    }
    doc->SetModifiedFlag(false);
    FixInfoFile(*doc);
    for (uint32_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ((doc->Flags()[i] & flagbits::kUserMark) != 0, cases[i].markStays) << i;
    EXPECT_TRUE(doc->IsModified());
    ASSERT_EQ(frame.jumpList.size(), 2u);  // "Routin" and "routine"
}

}  // namespace
