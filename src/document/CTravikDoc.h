#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "document/AnnotationTable.h"
#include "document/DisplayOptions.h"
#include "document/DocEdit.h"
#include "document/EditHistory.h"
#include "document/JournalFile.h"
#include "document/FileIo.h"
#include "document/Flags.h"
#include "document/InfoFile.h"
#include "document/PageBuffer.h"
#include "document/RamNameTable.h"
#include "emulator/CEmulator.h"
#include "session/DebugSession.h"
#include "shell/Bits.h"

class FrameServices;

// One opened flash file: the image, its flag byte per halfword, the annotations,
// the jump targets found in the code, the stack RAM with its names, the display
// options, the export selection and the debug session that runs the image.
// Its parts are kept in files of their own: CTravikDoc.cpp opens, saves and tells the
// files apart; Annotations.cpp holds the one way the annotations change (Apply);
// LineSequence.cpp walks the items and listing lines; DisplayOptions.cpp the view
// toggles and their settings.
class CTravikDoc {
  public:
    // Reads the display options from the frame's settings store.
    explicit CTravikDoc(FrameServices& frame);
    CTravikDoc(const CTravikDoc&) = delete;
    CTravikDoc& operator=(const CTravikDoc&) = delete;
    ~CTravikDoc();

    // --- framework operations ------------------------------------------------------
    // An empty document cannot exist.
    bool OnNewDocument() { return false; }
    // Reads the flash file and its info file (or makes defaults) and analyses the code.
    bool OnOpenDocument(const std::string& path);
    // Writes the info file that belongs to `path`; never the flash file.
    bool OnSaveDocument(const std::string& path);
    // Frees the state and empties the frame's jump list and call stack.
    void OnCloseDocument();
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    bool IsModified() const { return modified_; }
    // The flash file's full path as opened.
    const std::string& GetPathName() const { return pathName_; }
    // True when `path` (or the open file `fd`) is the open flash file, whatever path
    // or link leads to it: nothing may ever be written there.
    bool IsFlashFile(const std::string& path) const;
    bool IsFlashFile(int fd) const;
    // The message that refuses a write to `path` because it is the flash file.
    std::string FlashFileRefusal(const std::string& path) const;
    // Why an output of the program (an export, a RAM image, a PDF, a screenshot) may not
    // be written to `path`, in one line for the user; empty when it may. Refused: the
    // flash file and the document's own side files, whatever path or link leads to
    // them, and anything that is not a regular file its owner may write.
    std::string OutputRefusal(const std::string& path) const;

    // How the open found the info file.
    enum class InfoState {
        kRead,             // read whole
        kDefaults,         // there was none: defaults were made
        kUnreadable,       // something is there that could not be read: defaults, and the
                           // save refuses to replace it
        kRamNamesDamaged,  // read up to damaged RAM names: the first save keeps a backup
    };
    InfoState GetInfoState() const { return infoState_; }
    // For kUnreadable and kRamNamesDamaged: what happened, in one line for the user.
    const std::string& InfoProblem() const { return infoProblem_; }
    FrameServices& Frame() const { return frame_; }

    // --- reading the image ---------------------------------------------------------
    // Bits lo..hi of the big-endian halfword whose high byte is at `offset`.
    // The caller guarantees offset + 1 < imageSize.
    uint32_t GetHalfwordBits(uint32_t offset, unsigned lo, unsigned hi) const {
        return (HalfwordAt(offset) >> lo) & ((2u << (hi - lo)) - 1);
    }
    uint32_t HalfwordAt(uint32_t offset) const { return BigEndianHalf(image_ + offset); }
    // The big-endian word at `offset`; the caller guarantees offset + 3 < imageSize.
    uint32_t WordAt(uint32_t offset) const { return BigEndianWord(image_ + offset); }
    uint32_t HalfwordCount() const { return imageSize_ / 2; }
    // The even offset of the item the halfword at `offset` belongs to: back over its
    // continuation halfwords. An offset past the last halfword is only made even.
    uint32_t ItemStart(uint32_t offset) const;
    // The even offset of the first item that starts at or after the halfword at `offset`:
    // forward over continuation halfwords, to the image's end (2 * HalfwordCount()) when
    // no item starts there, and never past `limit`. An offset at or past either is only
    // made even.
    uint32_t NextItemStart(uint32_t offset, uint32_t limit = UINT32_MAX) const;

    // --- jump targets ----------------------------------------------------------------
    // 0 none, 1 literal, 2 call, 3 branch (of the halfword with this index).
    uint8_t JumpKind(uint32_t index) const;
    // The image offset the halfword's instruction or literal refers to, or 0. Inline:
    // the references of an item decode every halfword's target.
    uint32_t JumpTarget(uint32_t index) const {
        if (index >= HalfwordCount()) return 0;
        const uint32_t o = 2 * index;
        switch (jumpCodes_[index]) {
            case kJumpLoad:
                return LiteralAddress(o + 4, HalfwordAt(o));
            case kJumpCall:
                return BlTarget(o + 4, HalfwordAt(o), HalfwordAt(o + 2));
            case kJumpBranch:
                if ((image_[o] & 0xF0) == 0xD0) return CondBranchTarget(o + 4, HalfwordAt(o));
                return BranchTarget(o + 4, HalfwordAt(o));
            case kJumpPointer:
                return WordAt(o) - kFlashBase;
            case kJumpExplicit:
                return ExplicitTarget(index);
            default:
                return 0;
        }
    }

    // --- the listing-line sequence -------------------------------------------------
    // Sub-lines: -1 header separator, 0 item line, 1 footer separator, 2 "End of File".
    int64_t NextLine(int64_t offset, int& subLine) const;
    // -1 when there is no earlier line.
    int64_t PreviousLine(int64_t offset, int& subLine) const;
    bool IsFirstLine(int64_t offset, int subLine) const;
    bool IsLastLine(int64_t offset) const { return offset >= int64_t{imageSize_} - 2; }
    // The first line of the listing: (0, -1) when halfword 0 starts a routine.
    int FirstSubLine(uint32_t offset) const;

    // --- changing the annotations ---------------------------------------------------
    // Every change of the flags, the texts and the stack RAM's names and bytes comes
    // through here: makes the change and what follows it (see DocEdit::After), and
    // returns the edit that puts back exactly what was there.
    DocEdit Apply(const DocEdit& edit);

    // --- steps: undo, redo and the journal ------------------------------------------
    // The Applies from BeginStep to EndStep make one user action, named `label` (as in
    // "Undo Note at 0020004C"), that Undo takes back whole; the listing goes to `focus`
    // when it is undone or redone. EndStep appends it to the journal. A step with no
    // edit is none. Applies outside a step (the analysis at open) are not steps.
    void BeginStep(std::string label, uint32_t focus);
    void EndStep();
    // One edit as one step; the step keeps the edit, moved in when the caller is done
    // with it (a large one would otherwise be copied whole).
    void Apply(DocEdit edit, std::string label, uint32_t focus);
    const EditHistory& History() const { return history_; }
    // Takes back / makes again the newest step; the offset to go to, or nothing when
    // there was no step.
    std::optional<uint32_t> Undo();
    std::optional<uint32_t> Redo();
    // NAME.jnl beside the info file.
    std::string JournalPath() const;

    // --- item structure ------------------------------------------------------------
    // Refills the frame's jump list from the headers that carry the user mark.
    void RebuildJumpList();
    // Continuation halfwords an item of `type` starting at halfword `index` gets.
    uint32_t ContinuationCount(uint32_t index, uint8_t type) const;
    // True when the halfwords at `offset` and offset + 2 form a BL pair or a merged
    // shift pair (both must lie inside the image).
    bool IsBlPair(uint32_t offset) const;
    bool IsMergedShiftPair(uint32_t offset) const;

    // --- display options -----------------------------------------------------------
    void ToggleBaseAddress();
    void ToggleLowerCase();
    void ToggleViewJumps();
    void ToggleViewHex();
    void ToggleViewAscii();
    void ToggleViewBitmap();
    void ToggleViewSystemStrings();
    void ToggleGnuSyntax();
    // A width dragged in the listing: clamped to 5..84 and stored at once.
    void SetBitmapWidth(int width);
    const DisplayOptions& Options() const { return options_; }
    // The address the listing shows for an image offset: the offset plus the base address
    // of the display options, wrapping at 32 bits.
    uint32_t DisplayedAddress(int64_t imageOffset) const {
        return static_cast<uint32_t>(imageOffset + options_.baseAddress);
    }
    // Options for this document alone (a batch run, a print): the settings keep theirs.
    void SetOptions(const DisplayOptions& options) { options_ = options; }

    // --- debugging: the emulator, its run commands, breakpoints and watchpoints ------
    DebugSession& Session() { return session_; }
    const DebugSession& Session() const { return session_; }
    // NAME.brk beside the info file, where the session keeps the marks.
    std::string DebugMarksPath() const;
    // Whether OnOpenDocument reads the side file (the default: the window shows and runs
    // its marks); see DebugSession::OpenMarks.
    void SetLoadDebugMarks(bool load) { loadDebugMarks_ = load; }
    // Whether OnOpenDocument offers the steps a journal kept and journals the new ones
    // (the default: the window does; the batch tool only when asked to recover).
    void SetKeepJournal(bool keep) { keepJournal_ = keep; }

    // Test seam: the file operations used to read the image and write the info file and
    // NAME.brk.
    void SetFileIo(FileIo* io) { fileIo_ = io; }
    FileIo& Files() const { return fileIo_ != nullptr ? *fileIo_ : FileIo::System(); }

    // --- the annotation state, read-only (changed through Apply) ------------------------
    uint32_t ImageSize() const { return imageSize_; }
    const uint8_t* Image() const { return image_; }  // ImageSize() bytes
    const uint8_t* Flags() const { return flags_; }  // HalfwordCount() flag bytes
    const uint8_t* JumpCodes() const { return jumpCodes_; }
    const AnnotationTable& Notes() const { return notes_; }
    const AnnotationTable& Headers() const { return headers_; }
    const AnnotationTable& Footers() const { return footers_; }
    const AnnotationTable& Explanations() const { return explanations_; }
    const AnnotationTable& Texts(DocEdit::TextKind kind) const;
    uint32_t RamSize() const { return ramSize_; }
    uint32_t RamBase() const { return ramBase_; }
    const uint8_t* RamBytes() const { return ramBytes_; }  // RamSize() bytes
    const RamNameTable& RamNames() const { return ramNames_; }
    // The stack RAM the emulator runs in: the running program writes it directly.
    uint8_t* EmulatorRam() { return ramBytes_; }
    // The bytes the info file of the annotations as they stand takes.
    uint64_t InfoFileBytes() const;

    // --- the export and print selection: image offsets -----------------------------------
    uint32_t SelectionStart() const { return selectionStart_; }
    uint32_t SelectionEnd() const { return selectionEnd_; }
    void SetSelection(uint32_t start, uint32_t end) {
        selectionStart_ = start;
        selectionEnd_ = end;
    }

    // The session's emulator, for reading its state; everything that changes it goes
    // through Session().
    const CEmulator& Emulator() const { return session_.Emulator(); }

    // How the analysis stored a jump target; JumpKind and JumpTarget decode it.
    enum JumpCode : uint8_t {
        kJumpNone = 0,
        kJumpLoad = 1,      // a PC-relative LDR: the literal it loads
        kJumpCall = 2,      // the first halfword of a BL pair
        kJumpBranch = 3,    // B or a conditional branch
        kJumpPointer = 4,   // a literal word pointing into the flash: the word - flash base
        kJumpExplicit = 5,  // a literal word read at an odd offset: see explicitTargets_
    };

  private:
    uint32_t ExplicitTarget(uint32_t index) const;
    friend class CodeAnalysis;
    friend struct TestDoc;  // tests/support: builds test documents in place
    DebugSession session_;
    // Empty when the whole image was read and analysed; else what went wrong.
    std::string ReadImageAndAnalyse(int fd, const std::string& path, bool defaultsMode);
    void FreeTables();
    // Marks the literal word at `offset` as pointing at image offset `target`.
    void SetLiteralPointer(uint32_t offset, uint32_t target);
    AnnotationTable& TextTable(DocEdit::TextKind kind);
    // The analysis' own writes while the document is being built.
    void SetText(AnnotationTable& table, uint32_t offset, std::string_view text);
    void SetItemType(uint32_t offset, uint8_t type, bool byUser);
    // The parts of Apply; each returns its inverse.
    DocEdit::Part ApplyPart(const DocEdit::FlagBytes& part);
    DocEdit::Part ApplyPart(const DocEdit::Texts& part);
    DocEdit::Part ApplyPart(const DocEdit::RamNames& part);
    DocEdit::Part ApplyPart(const DocEdit::RamBytes& part);
    InfoTables Tables();
    void WriteOption(const char* key, int value);

    bool KeepDamagedInfoFile(FileIo& io, const std::string& infoPath);
    // At open: offers the steps a journal holds beyond the info file.
    void RecoverJournal();
    // Applies a step's edits and returns the step that takes them back.
    EditStep ApplyStep(const EditStep& step);
    std::optional<uint32_t> TakeStep(bool redo);
    // Applies a journal's steps, each made a step of the history.
    void ReplaySteps(std::vector<EditStep>& steps);
    void AppendToJournal(const EditStep& step);
    // The info file now holds every step: the journal keeps none.
    void JournalSaved();
    // Closing: steps the user did not save are kept as NAME.jnl.old.
    void CloseJournal();

    EditHistory history_;
    JournalFile journal_;
    std::optional<EditStep> openStep_;   // the edits made since BeginStep
    std::vector<DocEdit> openInverse_;   // what takes them back, in the order made
    // Apply without keeping the edit in the open step: the edit that takes it back.
    DocEdit ApplyEdit(const DocEdit& edit);
    void KeepInStep(DocEdit edit, DocEdit inverse);

    FrameServices& frame_;
    std::string pathName_;
    std::optional<FileIdentity> flashIdentity_;
    InfoState infoState_ = InfoState::kDefaults;
    std::string infoProblem_;
    bool loadDebugMarks_ = true;
    bool keepJournal_ = true;
    bool modified_ = false;
    FileIo* fileIo_ = nullptr;
    PageBuffer<uint8_t> imageBuffer_;
    PageBuffer<uint8_t> flagBuffer_;
    PageBuffer<uint8_t> jumpBuffer_;
    PageBuffer<uint8_t> ramBuffer_;
    std::unordered_map<uint32_t, uint32_t> explicitTargets_;

    // The annotation state.
    uint32_t imageSize_ = 0;
    uint8_t* image_ = nullptr;  // imageSize_ bytes
    uint8_t* flags_ = nullptr;  // imageSize_ / 2 flag bytes
    // Per halfword: how its target is found (see JumpKind and JumpTarget).
    uint8_t* jumpCodes_ = nullptr;
    AnnotationTable notes_;
    AnnotationTable headers_;
    AnnotationTable footers_;
    AnnotationTable explanations_;
    uint32_t ramSize_ = 0;
    uint32_t ramBase_ = kRamBase;
    uint8_t* ramBytes_ = nullptr;
    RamNameTable ramNames_;

    DisplayOptions options_;
    uint32_t selectionStart_ = 0;
    uint32_t selectionEnd_ = 0;
};

// One user action on `doc` for as long as it lives (BeginStep .. EndStep).
class DocStep {
  public:
    DocStep(CTravikDoc& doc, std::string label, uint32_t focus) : doc_(doc) {
        doc_.BeginStep(std::move(label), focus);
    }
    ~DocStep() { doc_.EndStep(); }
    DocStep(const DocStep&) = delete;
    DocStep& operator=(const DocStep&) = delete;

  private:
    CTravikDoc& doc_;
};
// "WHAT at 0020004C": a step's label, with the listing's address of an image offset.
std::string StepLabel(const CTravikDoc& doc, const char* what, uint32_t offset);
