#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "document/AnnotationTable.h"
#include "document/FileIo.h"
#include "document/Flags.h"
#include "document/PageBuffer.h"
#include "document/RamNameTable.h"
#include "emulator/CEmulator.h"
#include "session/DebugSession.h"
#include "shell/Bits.h"

class FrameServices;

// One opened flash file: the image, its flag byte per halfword, the annotations,
// the jump targets found in the code, the stack RAM with its names, the display
// options, the export selection and the debug session that runs the image.
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
    uint32_t HalfwordAt(uint32_t offset) const { return BigEndianHalf(image + offset); }
    // The big-endian word at `offset`; the caller guarantees offset + 3 < imageSize.
    uint32_t WordAt(uint32_t offset) const { return BigEndianWord(image + offset); }
    uint32_t HalfwordCount() const { return imageSize / 2; }
    // The even offset of the item the halfword at `offset` belongs to: back over its
    // continuation halfwords. An offset past the last halfword is only made even.
    uint32_t ItemStart(uint32_t offset) const;

    // --- jump targets ----------------------------------------------------------------
    // 0 none, 1 literal, 2 call, 3 branch (of the halfword with this index).
    uint8_t JumpKind(uint32_t index) const;
    // The image offset the halfword's instruction or literal refers to, or 0.
    uint32_t JumpTarget(uint32_t index) const;

    // --- the listing-line sequence -------------------------------------------------
    // Sub-lines: -1 header separator, 0 item line, 1 footer separator, 2 "End of File".
    int64_t NextLine(int64_t offset, int& subLine) const;
    // -1 when there is no earlier line.
    int64_t PreviousLine(int64_t offset, int& subLine) const;
    bool IsFirstLine(int64_t offset, int subLine) const;
    bool IsLastLine(int64_t offset) const { return offset >= int64_t{imageSize} - 2; }
    // The first line of the listing: (0, -1) when halfword 0 starts a routine.
    int FirstSubLine(uint32_t offset) const;

    // --- annotation setters (offset: even image offset) -------------------------------
    void SetNote(uint32_t offset, std::string_view text);
    void SetHeader(uint32_t offset, std::string_view text);
    void SetFooter(uint32_t offset, std::string_view text);
    // Also sets the halfword's user mark.
    void SetExplanation(uint32_t offset, std::string_view text);

    // --- stack RAM setters (first, last: RAM byte indexes; nothing happens when either
    // lies outside the RAM); both repaint the memory window ---------------------------
    // Names the bytes first..last: the name at first (none for an empty text), the
    // continued mark on the rest. Sets the modified flag.
    void SetRamName(uint32_t first, uint32_t last, std::string_view text);
    // Lays the hex text right-aligned over the bytes first..last; missing digits are
    // zeros, other characters count as 0. The RAM is not saved: no modified flag.
    void SetRamBytes(uint32_t first, uint32_t last, std::string_view hexText);

    // --- item structure ------------------------------------------------------------
    void SetItemType(uint32_t offset, uint8_t type, bool byUser);
    void SetRoutineStart(uint32_t offset);
    void SetRoutineEnd(uint32_t offset);
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
    // A width dragged in the listing: clamped to 5..84 and stored at once.
    void SetBitmapWidth(int width);

    // --- debugging: the emulator, its run commands, breakpoints and watchpoints ------
    DebugSession& Session() { return session_; }
    const DebugSession& Session() const { return session_; }
    // NAME.brk beside the info file, where the session keeps the marks.
    std::string DebugMarksPath() const;
    // Whether OnOpenDocument reads the side file (the default: the window shows and runs
    // its marks); see DebugSession::OpenMarks.
    void SetLoadDebugMarks(bool load) { loadDebugMarks_ = load; }

    // Test seam: the file operations used to read the image and write the info file and
    // NAME.brk.
    void SetFileIo(FileIo* io) { fileIo_ = io; }
    FileIo& Files() const { return fileIo_ != nullptr ? *fileIo_ : FileIo::System(); }

  private:
    DebugSession session_;  // before `emulator`, which refers into it

  public:
    // --- fields ----------------------------------------------------------------------
    // The session's emulator, for the readers and editors of its state (registers, the
    // browsing trail); runs, steps and marks go through Session().
    CEmulator& emulator;
    uint32_t imageSize = 0;
    uint8_t* image = nullptr;  // imageSize bytes
    uint8_t* flags = nullptr;  // imageSize / 2 flag bytes
    // Per halfword: how its target is found (see JumpKind and JumpTarget).
    uint8_t* jumpCodes = nullptr;
    AnnotationTable notes;
    AnnotationTable headers;
    AnnotationTable footers;
    AnnotationTable explanations;
    uint32_t ramSize = 0;
    uint8_t* ramBytes = nullptr;
    RamNameTable ramNames;
    uint32_t viewJumps = 1;
    uint32_t viewHex = 1;
    uint32_t viewAscii = 1;
    int32_t bitmapWidth = -7;
    uint32_t viewSystemStrings = 1;
    uint32_t selectionStart = 0;
    uint32_t selectionEnd = 0;
    uint32_t baseAddress = 0;
    uint32_t ramBase = kRamBase;
    uint8_t opcode[2] = {0, 0};
    uint32_t lowerCase = 0;

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
    friend class CodeAnalysis;
    // Empty when the whole image was read and analysed; else what went wrong.
    std::string ReadImageAndAnalyse(int fd, const std::string& path, bool defaultsMode);
    void FreeTables();
    // Marks the literal word at `offset` as pointing at image offset `target`.
    void SetLiteralPointer(uint32_t offset, uint32_t target);
    void SetText(AnnotationTable& table, uint32_t offset, std::string_view text);
    void WriteOption(const char* key, int value);

    bool KeepDamagedInfoFile(FileIo& io, const std::string& infoPath);

    FrameServices& frame_;
    std::string pathName_;
    std::optional<FileIdentity> flashIdentity_;
    InfoState infoState_ = InfoState::kDefaults;
    std::string infoProblem_;
    bool loadDebugMarks_ = true;
    bool modified_ = false;
    FileIo* fileIo_ = nullptr;
    PageBuffer<uint8_t> imageBuffer_;
    PageBuffer<uint8_t> flagBuffer_;
    PageBuffer<uint8_t> jumpBuffer_;
    PageBuffer<uint8_t> ramBuffer_;
    std::unordered_map<uint32_t, uint32_t> explicitTargets_;
};
