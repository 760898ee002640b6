#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "document/InfoFile.h"
#include "document/Merge.h"
#include "document/RamFile.h"
#include "support/TestSupport.h"

namespace {

// Everything a step can change: the info file's bytes and the RAM.
std::string State(CTravikDoc& doc) {
    return WriteInfoFile(TestDoc::Tables(doc)) +
           std::string(reinterpret_cast<const char*>(doc.RamBytes()), doc.RamSize());
}

class UndoJournal : public ::testing::Test {
  protected:
    UndoJournal() {
        std::vector<uint8_t> image;
        for (int i = 0; i < 64; ++i) PutHalf(image, i % 3 ? 0x46C0 : 0xB510);
        WriteFile(flash, image);
    }
    std::unique_ptr<CTravikDoc> Open() { return OpenImage(frame, flash); }
    TempDir dir;
    std::string flash = dir.File("u.fls");
    RecordingFrame frame;
};

// Each kind of step: Undo puts back the state before it, Redo the state after it, the
// labels name it, and the modified mark follows the saved state.
TEST_F(UndoJournal, EveryKindOfStepIsUndoneAndRedoneWhole) {
    std::unique_ptr<CTravikDoc> doc = Open();
    ASSERT_TRUE(doc);
    ASSERT_TRUE(doc->OnSaveDocument(flash));
    {
        // The merge's source: this document with a note and a header, saved elsewhere.
        std::unique_ptr<CTravikDoc> other = Open();
        other->Apply(TextEdit(*other, DocEdit::TextKind::kNote, 6, "merged", true));
        other->Apply(TextEdit(*other, DocEdit::TextKind::kHeader, 12, "Routine (merged)", true));
        WriteFile(dir.File("other.ifo"), WriteInfoFile(TestDoc::Tables(*other)));
    }
    WriteFile(dir.File("ram.bin"), std::vector<uint8_t>(100, 0xAB));
    using Action = std::function<void(CTravikDoc&)>;
    const struct {
        const char* label;
        Action action;
    } steps[] = {
        {"4-byte data at 00000004", [](CTravikDoc& d) { d.Apply(ItemTypeEdit(d, 4, itemtype::kData4, true), "4-byte data at 00000004", 4); }},
        {"Note at 00000006", [](CTravikDoc& d) { d.Apply(TextEdit(d, DocEdit::TextKind::kNote, 6, "n", true), "Note at 00000006", 6); }},
        {"Routine start at 00000008", [](CTravikDoc& d) { d.Apply(FlagBitsEdit(d, 8, flagbits::kRoutineStart), "Routine start at 00000008", 8); }},
        {"RAM name at 00100010", [](CTravikDoc& d) { d.Apply(RamNameEdit(d, 16, 19, "counter"), "RAM name at 00100010", EditStep::kNoFocus); }},
        {"RAM bytes at 00100020", [](CTravikDoc& d) { d.Apply(RamHexEdit(d, 32, 33, "BEEF"), "RAM bytes at 00100020", EditStep::kNoFocus); }},
        {"Load RAM", [this](CTravikDoc& d) { LoadRamFile(d, dir.File("ram.bin")); }},
        {"Merge", [this](CTravikDoc& d) { frame.yesNoAnswers = {true, true, true, true}; MergeInfoFile(d, dir.File("other.ifo")); }},
        {"Fix ifo file", [](CTravikDoc& d) { FixInfoFile(d); }},
    };
    std::vector<std::string> states{State(*doc)};
    for (const auto& step : steps) {
        step.action(*doc);
        EXPECT_EQ(doc->History().UndoLabel(), step.label);
        states.push_back(State(*doc));
        EXPECT_FALSE(states.back() == states[states.size() - 2]) << step.label << " changed nothing";
        EXPECT_TRUE(doc->IsModified());
    }
    for (size_t i = std::size(steps); i-- > 0;) {
        ASSERT_TRUE(doc->Undo()) << steps[i].label;
        EXPECT_TRUE(State(*doc) == states[i]) << "undo " << steps[i].label;
        EXPECT_EQ(doc->History().RedoLabel(), steps[i].label);
    }
    EXPECT_FALSE(doc->IsModified()) << "back at the saved state";
    EXPECT_FALSE(doc->Undo());
    for (size_t i = 0; i < std::size(steps); ++i) {
        ASSERT_TRUE(doc->Redo());
        EXPECT_TRUE(State(*doc) == states[i + 1]) << "redo " << steps[i].label;
    }
    // A new step after an undo drops what could be redone; the saved state, now on
    // neither list, is never reached again.
    doc->Undo();
    doc->Apply(TextEdit(*doc, DocEdit::TextKind::kNote, 2, "x", true), "Note at 00000002", 2);
    EXPECT_FALSE(doc->History().CanRedo());
    // Committing a text as it stands is no step.
    doc->Apply(TextEdit(*doc, DocEdit::TextKind::kNote, 2, "x", true), "Note at 00000002", 2);
    EXPECT_EQ(doc->History().Steps(), std::size(steps));
    ASSERT_TRUE(doc->OnSaveDocument(flash));
    doc->Undo();
    EXPECT_TRUE(doc->IsModified());
    doc->Redo();
    EXPECT_FALSE(doc->IsModified());
}

// The journal: a program killed in the middle of a burst of steps loses none that it
// wrote whole; a damaged tail is dropped and said; No keeps the journal as .old.
TEST_F(UndoJournal, StepsSurviveAKillAndADamagedTail) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        RecordingFrame childFrame;
        std::unique_ptr<CTravikDoc> doc = OpenImage(childFrame, flash);
        for (uint32_t i = 0;; i = (i + 1) % 64) {
            doc->Apply(TextEdit(*doc, DocEdit::TextKind::kNote, 2 * i, "step " + std::to_string(i), true),
                       "Note", 2 * i);
            if (i == 40) (void)!write(ready[1], "r", 1);
        }
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    // Damage: half a record more at the end.
    std::vector<uint8_t> journal = ReadFileBytes(dir.File("u.jnl"));
    journal.insert(journal.end(), {9, 0, 0, 0, 1, 2, 3});
    WriteFile(dir.File("u.jnl"), journal);

    frame.yesNoAnswers = {true};
    std::unique_ptr<CTravikDoc> doc = Open();
    ASSERT_EQ(frame.questions.size(), 1u);
    EXPECT_NE(frame.questions[0].find("changes made after the last save were found (from 20"), std::string::npos);
    ASSERT_FALSE(frame.messages.empty());
    EXPECT_NE(frame.messages.back().find(": 7 bytes after the last whole change"), std::string::npos);
    EXPECT_TRUE(doc->IsModified());
    for (uint32_t i = 0; i <= 40; ++i) EXPECT_EQ(*doc->Notes().Find(i), "step " + std::to_string(i));
    const size_t steps = doc->History().Steps();
    EXPECT_GT(steps, 40u);
    while (doc->Undo()) {}
    EXPECT_EQ(doc->Notes().Size(), 0u);
    EXPECT_FALSE(doc->IsModified());
    doc.reset();

    // The damaged tail was cut off (the undos went on after the whole records); answered No, the journal is kept as .old, an older
    // .old as .old1, and nothing is replayed.
    WriteFile(dir.File("u.jnl.old"), std::string("older"));
    const CliResult no = RunCli({"recover", flash, "--answer", "no"});
    EXPECT_EQ(no.status, 0) << no.err;
    EXPECT_NE(no.out.find(" changes made after the last save were found (from "), std::string::npos);
    EXPECT_NE(no.out.find("answer: no\nrecovered: 0\n"), std::string::npos) << no.out;
    EXPECT_FALSE(FileExists(dir.File("u.jnl")));
    EXPECT_FALSE(FileExists(dir.File("u.ifo")));
    EXPECT_EQ(ReadFileBytes(dir.File("u.jnl.old1")).size(), 5u);
    const std::vector<uint8_t> kept = ReadFileBytes(dir.File("u.jnl.old"));
    journal.resize(journal.size() - 7);
    ASSERT_GT(kept.size(), journal.size());
    EXPECT_TRUE(std::equal(journal.begin(), journal.end(), kept.begin()));
}

// A journal of another image is never replayed; the flash file is never written,
// whatever a link at the journal's name says.
TEST_F(UndoJournal, ForeignJournalsAndLinksAreRefused) {
    {
        std::unique_ptr<CTravikDoc> doc = Open();
        doc->Apply(TextEdit(*doc, DocEdit::TextKind::kNote, 0, "a", true), "Note", 0);
    }
    std::vector<uint8_t> image = ReadFileBytes(flash);
    image[0] ^= 1;
    WriteFile(flash, image);
    frame.yesNoAnswers = {true};
    std::unique_ptr<CTravikDoc> doc = Open();
    EXPECT_TRUE(frame.questions.empty());
    EXPECT_EQ(doc->Notes().Find(0), nullptr);
    EXPECT_TRUE(FileExists(dir.File("u.jnl.old")));
    doc.reset();

    doc = Open();
    ASSERT_EQ(symlink(flash.c_str(), dir.File("u.jnl").c_str()), 0);
    doc->Apply(TextEdit(*doc, DocEdit::TextKind::kNote, 0, "b", true), "Note", 0);
    EXPECT_EQ(ReadFileBytes(flash), image);
    EXPECT_NE(frame.messages.back().find("Changes from now on are not kept"), std::string::npos);
    EXPECT_TRUE(doc->History().CanUndo());
}

}  // namespace
