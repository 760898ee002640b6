#include "document/CTravikDoc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "document/CodeAnalysis.h"
#include "document/DebugMarksFile.h"
#include "document/DocumentMessages.h"
#include "document/InfoFile.h"
#include "shell/FrameServices.h"
#include "shell/SettingsStore.h"

namespace {
// Progress is reported every this many bytes of the image.
constexpr uint32_t kProgressStep = 0x5000;
// The image is read in pieces of this size; the analysis follows each piece.
constexpr size_t kReadChunk = size_t{1} << 20;

// printf into a string; the texts here are short but may hold long paths.
template <typename... Args>
std::string Format(const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    std::snprintf(out.data(), out.size() + 1, format, args...);
    return out;
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class FileCloser {
  public:
    explicit FileCloser(int fd) : fd_(fd) {}
    ~FileCloser() { ::close(fd_); }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

  private:
    int fd_;
};
}  // namespace

CTravikDoc::CTravikDoc(FrameServices& frame)
    : session_(*this), emulator(session_.EmulatorState()), frame_(frame) {
    SettingsStore& store = frame.Settings();
    auto flag = [&](const settings::Key& key) -> uint32_t {
        return settings::Read(store, key) != 0 ? 1 : 0;
    };
    baseAddress = static_cast<uint32_t>(settings::Read(store, settings::kBaseAddress));
    lowerCase = flag(settings::kLowerCase);
    viewJumps = flag(settings::kViewJumps);
    viewHex = flag(settings::kViewHex);
    viewAscii = flag(settings::kViewAscii);
    bitmapWidth = settings::Read(store, settings::kViewBitmap);
    viewSystemStrings = flag(settings::kViewSystemStrings);
}

CTravikDoc::~CTravikDoc() = default;

// ---------------------------------------------------------------------------------
// Opening

bool CTravikDoc::OnOpenDocument(const std::string& path) {
    FreeTables();
    // Non-blocking: a FIFO or a device named as the flash file must not hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    FileCloser closer(fd);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // An image needs at least one halfword: every walker of the listing starts at
    // halfword 0, so a one-byte file would have no line to stand on.
    if (st.st_size < 2) {
        frame_.ShowMessage(docmsg::kWrongFileLength);
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > UINT32_MAX) {
        frame_.ShowMessage(docmsg::kFileTooLarge);
        return false;
    }
    imageSize = static_cast<uint32_t>(st.st_size);
    pathName_ = path;

    const uint32_t halfwords = imageSize / 2;
    const bool allocated = imageBuffer_.Allocate(imageSize) && flagBuffer_.Allocate(halfwords) &&
                           jumpBuffer_.Allocate(halfwords) && ramBuffer_.Allocate(kRamSize);
    if (allocated) {
        notes.Reset(halfwords);
        headers.Reset(halfwords);
        footers.Reset(halfwords);
        explanations.Reset(halfwords);
    }
    if (!allocated || notes.HalfwordCount() != halfwords || headers.HalfwordCount() != halfwords ||
        footers.HalfwordCount() != halfwords || explanations.HalfwordCount() != halfwords) {
        FreeTables();
        frame_.ShowMessage(docmsg::kOutOfMemory);
        return false;
    }
    image = imageBuffer_.data();
    flags = flagBuffer_.data();
    jumpCodes = jumpBuffer_.data();
    ramSize = kRamSize;
    ramBase = kRamBase;
    ramBytes = ramBuffer_.data();
    ramNames.Reset(ramSize);
    explicitTargets_.clear();

    flashIdentity_ = IdentityOfFd(fd);
    const std::string infoPath = InfoPathFor(path);
    std::string info;
    const ReadOutcome outcome = ReadWholeFile(infoPath, info, MaxInfoFileSize(imageSize));
    const bool defaultsMode = outcome.kind != ReadOutcome::kOk;
    infoProblem_.clear();
    if (!defaultsMode) {
        infoState_ = InfoState::kRead;
        InfoTables tables{imageSize, flags, {&notes, &headers, &footers, &explanations}, &ramNames};
        InfoReadDetail detail;
        switch (ReadInfoFile(info, tables, &detail)) {
            case InfoReadResult::kOk:
                break;
            case InfoReadResult::kWrongSize:
                frame_.ShowMessage(infoPath + docmsg::kWrongSize);
                FreeTables();
                return false;
            case InfoReadResult::kCorrupted:
                frame_.ShowMessage(infoPath + docmsg::kCorrupted);
                FreeTables();
                return false;
            case InfoReadResult::kRamNamesCorrupted:
                infoState_ = InfoState::kRamNamesDamaged;
                infoProblem_ = Format(docmsg::kRamNamesDropped, infoPath.c_str(),
                                      detail.damageOffset, detail.ramNamesKept, infoPath.c_str());
                frame_.ShowMessage(infoPath + docmsg::kCorrupted);
                break;
        }
        info = {};
    } else {
        std::memset(flags, itemtype::kThumb, halfwords);
        if (outcome.kind == ReadOutcome::kUnreadable) {
            infoState_ = InfoState::kUnreadable;
            infoProblem_ =
                Format(docmsg::kInfoUnreadable, infoPath.c_str(), outcome.reason.c_str());
            frame_.ShowMessage(infoProblem_);
        } else {
            infoState_ = InfoState::kDefaults;
            frame_.ShowNotice(infoPath + docmsg::kNotFoundLoadingDefaults);
        }
        SetModifiedFlag(true);
        if (halfwords > 0) {
            flags[0] |= flagbits::kRoutineStart;
            SetHeader(0, std::string(docmsg::kFileHeader) + FileNameOf(path));
        }
    }

    const std::string readError = ReadImageAndAnalyse(fd, path, defaultsMode);
    if (!readError.empty()) {
        FreeTables();
        frame_.ShowMessage(readError);
        return false;
    }
    RebuildJumpList();
    session_.OpenMarks(loadDebugMarks_);
    return true;
}

std::string CTravikDoc::ReadImageAndAnalyse(int fd, const std::string& path, bool defaultsMode) {
    FileIo& io = fileIo_ != nullptr ? *fileIo_ : FileIo::System();
    CodeAnalysis analysis(*this, defaultsMode);
    uint64_t read = 0;
    uint64_t nextProgress = kProgressStep;
    char status[4096 + 64];
    while (read < imageSize) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadChunk, imageSize - read));
        const ssize_t n = io.Read(fd, image + read, want);
        if (n < 0 && errno == EINTR) continue;
        // A failed or short read would leave a tail of zeros that looks like code.
        if (n < 0) return Format(docmsg::kImageReadFailed, path.c_str(), std::strerror(errno));
        if (n == 0)
            return Format(docmsg::kImageShort, path.c_str(), static_cast<unsigned long long>(read),
                          static_cast<unsigned long long>(imageSize));
        const uint64_t begin = read;
        read += static_cast<uint64_t>(n);
        // Halfwords are analysed once both of their bytes are in; the analysis of a
        // piece stops at each progress point to report it, as a byte-pair reader would.
        uint64_t o = begin & ~uint64_t{1};
        while (o + 2 <= read) {
            const uint64_t stop = std::min<uint64_t>(read & ~uint64_t{1}, nextProgress);
            analysis.AnalyseRange(static_cast<uint32_t>(o), static_cast<uint32_t>(stop));
            o = stop;
            if (o == nextProgress) {
                std::snprintf(status, sizeof status, docmsg::kLoadingProgress, path.c_str(),
                              static_cast<int>(o * 100 / imageSize));
                frame_.SetStatusText(status);
                nextProgress += kProgressStep;
            }
        }
    }
    analysis.MakeRoutineHeaders();
    analysis.FollowLiteralPointers();
    return {};
}

// ---------------------------------------------------------------------------------
// Saving and closing

bool CTravikDoc::OnSaveDocument(const std::string& path) {
    const std::string infoPath = InfoPathFor(path);
    if (image == nullptr) {
        frame_.ShowMessage(docmsg::kSaveError);
        return false;
    }
    // A flash file whose info path leads back to it (x.ifo, or a link) is never
    // overwritten.
    if (infoPath == path || IsFlashFile(infoPath)) {
        frame_.ShowMessage(FlashFileRefusal(infoPath));
        return false;
    }
    if (infoState_ == InfoState::kUnreadable) {
        frame_.ShowMessage(Format(docmsg::kInfoNotReplaced, infoPath.c_str()));
        return false;
    }
    if (const char* problem = TargetProblem(KindOfTarget(infoPath))) {
        frame_.ShowMessage(Format(docmsg::kSaveRefused, infoPath.c_str(), problem));
        return false;
    }
    InfoTables tables{imageSize, flags, {&notes, &headers, &footers, &explanations}, &ramNames};
    // The open reads no info file larger than this, so none is ever written.
    const uint64_t size = InfoFileSize(tables);
    if (size > MaxInfoFileSize(imageSize)) {
        frame_.ShowMessage(Format(docmsg::kInfoTooLarge, infoPath.c_str(),
                                  static_cast<unsigned long long>(size),
                                  static_cast<unsigned long long>(MaxInfoFileSize(imageSize))));
        return false;
    }
    FileIo& io = fileIo_ != nullptr ? *fileIo_ : FileIo::System();
    if (infoState_ == InfoState::kRamNamesDamaged && !KeepDamagedInfoFile(io, infoPath))
        return false;
    const std::string bytes = WriteInfoFile(tables);
    if (!WriteFileAtomically(io, infoPath, bytes)) {
        frame_.ShowMessage(docmsg::kSaveError);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

// Copies the damaged info file, as it is on the disk, to NAME.bak (or NAME.bak1, ...
// when that exists) before the first save replaces it.
bool CTravikDoc::KeepDamagedInfoFile(FileIo& io, const std::string& infoPath) {
    std::string bytes;
    const ReadOutcome outcome = ReadWholeFile(infoPath, bytes, MaxInfoFileSize(imageSize));
    if (outcome.kind == ReadOutcome::kMissing) {
        // Gone since the open: there is nothing left to keep.
        infoState_ = InfoState::kRead;
        return true;
    }
    std::string backup = infoPath + ".bak";
    if (outcome.kind == ReadOutcome::kUnreadable) {
        frame_.ShowMessage(Format(docmsg::kDamagedNotKept, infoPath.c_str(), backup.c_str(),
                                  outcome.reason.c_str()));
        return false;
    }
    // The copy is as private as the file it keeps.
    struct stat st {};
    const int mode = ::stat(infoPath.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : 0666;
    for (int attempt = 1; !WriteNewFile(io, backup, bytes, mode); ++attempt) {
        if (errno != EEXIST || attempt == 100) {
            frame_.ShowMessage(Format(docmsg::kDamagedNotKept, infoPath.c_str(), backup.c_str(),
                                      std::strerror(errno)));
            return false;
        }
        backup = infoPath + ".bak" + std::to_string(attempt);
    }
    infoState_ = InfoState::kRead;
    frame_.ShowNotice(Format(docmsg::kDamagedKept, infoPath.c_str(), backup.c_str()));
    return true;
}

bool CTravikDoc::IsFlashFile(const std::string& path) const {
    const std::optional<FileIdentity> target = IdentityOfPath(path);
    return flashIdentity_ && target && *target == *flashIdentity_;
}

bool CTravikDoc::IsFlashFile(int fd) const {
    const std::optional<FileIdentity> target = IdentityOfFd(fd);
    return flashIdentity_ && target && *target == *flashIdentity_;
}

std::string CTravikDoc::FlashFileRefusal(const std::string& path) const {
    return Format(docmsg::kIsFlashFile, path.c_str());
}

std::string CTravikDoc::OutputRefusal(const std::string& path) const {
    if (IsFlashFile(path) || (!pathName_.empty() && SamePlace(path, pathName_)))
        return FlashFileRefusal(path);
    if (!pathName_.empty() && SamePlace(path, InfoPathFor(pathName_)))
        return Format(docmsg::kIsInfoFile, path.c_str());
    if (!pathName_.empty() && SamePlace(path, DebugMarksPath()))
        return Format(docmsg::kIsDebugMarksFile, path.c_str());
    return TargetRefusal(path);
}

void CTravikDoc::OnCloseDocument() {
    FreeTables();
    frame_.ClearJumpList();
    frame_.RefreshCallStack();
    frame_.RepaintRegisters();
    frame_.RepaintMemory();
}

void CTravikDoc::FreeTables() {
    imageBuffer_.Release();
    flagBuffer_.Release();
    jumpBuffer_.Release();
    ramBuffer_.Release();
    notes.Clear();
    headers.Clear();
    footers.Clear();
    explanations.Clear();
    ramNames.Reset(0);
    explicitTargets_.clear();
    image = nullptr;
    flags = nullptr;
    jumpCodes = nullptr;
    ramBytes = nullptr;
    imageSize = 0;
    ramSize = 0;
}

// ---------------------------------------------------------------------------------
// Breakpoints and watchpoints

std::string CTravikDoc::DebugMarksPath() const {
    return DebugMarksPathFor(pathName_);
}

// ---------------------------------------------------------------------------------
// Jump targets

uint8_t CTravikDoc::JumpKind(uint32_t index) const {
    static constexpr uint8_t kKinds[] = {jumpkind::kNone,   jumpkind::kLiteral, jumpkind::kCall,
                                         jumpkind::kBranch, jumpkind::kLiteral, jumpkind::kLiteral};
    if (index >= HalfwordCount()) return jumpkind::kNone;
    const uint8_t code = jumpCodes[index];
    return code < sizeof kKinds ? kKinds[code] : jumpkind::kNone;
}

uint32_t CTravikDoc::JumpTarget(uint32_t index) const {
    if (index >= HalfwordCount()) return 0;
    const uint32_t o = 2 * index;
    switch (jumpCodes[index]) {
        case kJumpLoad:
            return LiteralAddress(o + 4, HalfwordAt(o));
        case kJumpCall:
            return BlTarget(o + 4, HalfwordAt(o), HalfwordAt(o + 2));
        case kJumpBranch:
            if ((image[o] & 0xF0) == 0xD0) return CondBranchTarget(o + 4, HalfwordAt(o));
            return BranchTarget(o + 4, HalfwordAt(o));
        case kJumpPointer:
            return WordAt(o) - kFlashBase;
        case kJumpExplicit: {
            auto it = explicitTargets_.find(index);
            return it == explicitTargets_.end() ? 0 : it->second;
        }
        default:
            return 0;
    }
}

void CTravikDoc::SetLiteralPointer(uint32_t offset, uint32_t target) {
    const uint32_t index = offset / 2;
    if (index >= HalfwordCount()) return;
    if (offset % 2 == 0) {
        jumpCodes[index] = kJumpPointer;
        explicitTargets_.erase(index);
    } else {
        jumpCodes[index] = kJumpExplicit;
        explicitTargets_[index] = target;
    }
}

// ---------------------------------------------------------------------------------
// The listing-line sequence

uint32_t CTravikDoc::ItemStart(uint32_t offset) const {
    uint32_t o = offset & ~1u;
    if (o / 2 >= HalfwordCount()) return o;
    while (o > 0 && (flags[o / 2] & flagbits::kContinuation)) o -= 2;
    return o;
}

int64_t CTravikDoc::NextLine(int64_t o, int& s) const {
    const uint8_t f = flags[o / 2];
    if ((f & flagbits::kRoutineStart) && s == -1) {
        s = 0;
        return o;
    }
    if ((f & flagbits::kRoutineEnd) && s == 0) {
        s = 1;
        return o;
    }
    s = 0;
    int64_t p = o + 2;
    const int64_t size = imageSize;
    while (p + 2 <= size && (flags[p / 2] & flagbits::kContinuation)) p += 2;
    if (p + 2 > size) {
        s = 2;
        return size - 2;
    }
    if (flags[p / 2] & flagbits::kRoutineStart) s = -1;
    return p;
}

int64_t CTravikDoc::PreviousLine(int64_t o, int& s) const {
    const int64_t size = imageSize;
    if (o < 0 || o + 2 > size) return -1;
    if (s == 2) {
        // The last whole halfword: with an odd length the "End of File" line stands at
        // an odd offset, but the item before it starts on an even one.
        const int64_t p = ItemStart(static_cast<uint32_t>(size - 2));
        s = (flags[p / 2] & flagbits::kRoutineEnd) ? 1 : 0;
        return p;
    }
    const uint8_t f = flags[o / 2];
    if (((f & flagbits::kRoutineStart) && s >= 0) || ((f & flagbits::kRoutineEnd) && s > 0)) {
        s = s - 1;
        return o;
    }
    s = 0;
    if (o < 2) return -1;
    const int64_t p = ItemStart(static_cast<uint32_t>(o - 2));
    // Halfword 0 continues no item; a damaged info file that says so gets no line there.
    if (flags[p / 2] & flagbits::kContinuation) return -1;
    if (flags[p / 2] & flagbits::kRoutineEnd) s = 1;
    return p;
}

bool CTravikDoc::IsFirstLine(int64_t o, int s) const {
    if (o != 0 || imageSize < 2) return false;
    return s == FirstSubLine(0);
}

int CTravikDoc::FirstSubLine(uint32_t offset) const {
    const uint32_t index = offset / 2;
    return index < HalfwordCount() && (flags[index] & flagbits::kRoutineStart) ? -1 : 0;
}

// ---------------------------------------------------------------------------------
// Annotation setters

void CTravikDoc::SetText(AnnotationTable& table, uint32_t offset, std::string_view text) {
    const uint32_t index = offset / 2;
    if (index >= HalfwordCount()) return;
    // Texts are NUL-terminated in the info file: whatever follows a NUL is not kept.
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    table.Set(index, text);
    SetModifiedFlag(true);
}

void CTravikDoc::SetNote(uint32_t offset, std::string_view text) {
    SetText(notes, offset, text);
}
void CTravikDoc::SetHeader(uint32_t offset, std::string_view text) {
    SetText(headers, offset, text);
}
void CTravikDoc::SetFooter(uint32_t offset, std::string_view text) {
    SetText(footers, offset, text);
}

void CTravikDoc::SetExplanation(uint32_t offset, std::string_view text) {
    if (offset / 2 >= HalfwordCount()) return;
    SetText(explanations, offset, text);
    flags[offset / 2] |= flagbits::kUserMark;
}

// ---------------------------------------------------------------------------------
// Item structure

bool CTravikDoc::IsBlPair(uint32_t offset) const {
    if (uint64_t{offset} + 4 > imageSize) return false;
    return (image[offset] & 0xF8) == 0xF0 && (image[offset + 2] & 0xF8) == 0xF8;
}

bool CTravikDoc::IsMergedShiftPair(uint32_t offset) const {
    if (uint64_t{offset} + 4 > imageSize) return false;
    const uint32_t p = HalfwordAt(offset);
    const uint32_t q = HalfwordAt(offset + 2);
    if (((p >> 6) & 0x1F) != ((q >> 6) & 0x1F)) return false;
    if ((p & 7) != ((q >> 3) & 7)) return false;
    const uint32_t pOp = p >> 11;
    const uint32_t qOp = q >> 11;
    return (pOp == 0 && qOp == 1) || (pOp == 1 && qOp == 0);
}

uint32_t CTravikDoc::ContinuationCount(uint32_t index, uint8_t type) const {
    switch (type) {
        case itemtype::kArm:
        case itemtype::kData4:
            return 1;
        case itemtype::kThumb:
            return IsBlPair(2 * index) || IsMergedShiftPair(2 * index) ? 1 : 0;
        case itemtype::kData8:
            return 3;
        case itemtype::kData12:
            return 5;
        case itemtype::kData16:
            return 7;
        default:
            return 0;
    }
}

void CTravikDoc::SetItemType(uint32_t offset, uint8_t type, bool byUser) {
    const uint32_t count = HalfwordCount();
    uint32_t i = offset / 2;
    if (i >= count) return;
    const uint8_t mark = byUser ? flagbits::kUserMark : 0;
    const uint32_t n = ContinuationCount(i, type);
    flags[i] = type | mark;
    for (uint32_t k = 1; k <= n && i + k < count; ++k)
        flags[i + k] = type | flagbits::kContinuation | mark;
    // What is left of a longer item that stood here becomes two-byte data.
    for (uint32_t k = i + n + 1; k < count && (flags[k] & flagbits::kContinuation); ++k) {
        flags[k] = itemtype::kData2;
    }
    SetModifiedFlag(true);
}

void CTravikDoc::SetRoutineStart(uint32_t offset) {
    if (offset / 2 >= HalfwordCount()) return;
    flags[offset / 2] |= flagbits::kRoutineStart;
    SetModifiedFlag(true);
}

void CTravikDoc::SetRoutineEnd(uint32_t offset) {
    if (offset / 2 >= HalfwordCount()) return;
    flags[offset / 2] |= flagbits::kRoutineEnd;
    SetModifiedFlag(true);
}

void CTravikDoc::RebuildJumpList() {
    frame_.ClearJumpList();
    char entry[4096];
    headers.ForEach([&](uint32_t i, const std::string& header) {
        if (!(flags[i] & flagbits::kUserMark)) return;
        const char* format = explanations.Has(i) ? docmsg::kJumpEntryExplained : docmsg::kJumpEntry;
        std::snprintf(entry, sizeof entry, format, baseAddress + 2 * i, header.c_str());
        frame_.AddJumpEntry(entry);
    });
}

// ---------------------------------------------------------------------------------
// Display options

void CTravikDoc::WriteOption(const char* key, int value) {
    frame_.Settings().WriteProfileInt(settings::kSection, key, value);
}

void CTravikDoc::ToggleBaseAddress() {
    baseAddress = baseAddress != 0 ? 0 : kFlashBase;
    WriteOption(settings::kBaseAddress.name, static_cast<int>(baseAddress));
    RebuildJumpList();
}

void CTravikDoc::ToggleLowerCase() {
    lowerCase = 1 - lowerCase;
    WriteOption(settings::kLowerCase.name, static_cast<int>(lowerCase));
}

void CTravikDoc::ToggleViewJumps() {
    viewJumps = 1 - viewJumps;
    WriteOption(settings::kViewJumps.name, static_cast<int>(viewJumps));
}

void CTravikDoc::ToggleViewHex() {
    viewHex = 1 - viewHex;
    WriteOption(settings::kViewHex.name, static_cast<int>(viewHex));
}

void CTravikDoc::ToggleViewAscii() {
    viewAscii = 1 - viewAscii;
    WriteOption(settings::kViewAscii.name, static_cast<int>(viewAscii));
}

void CTravikDoc::ToggleViewBitmap() {
    // The width is kept, only the sign flips (a stored INT_MIN has no opposite).
    bitmapWidth = bitmapWidth == INT_MIN ? INT_MAX : -bitmapWidth;
    WriteOption(settings::kViewBitmap.name, bitmapWidth);
}

void CTravikDoc::ToggleViewSystemStrings() {
    viewSystemStrings = 1 - viewSystemStrings;
    WriteOption(settings::kViewSystemStrings.name, static_cast<int>(viewSystemStrings));
}

void CTravikDoc::SetBitmapWidth(int width) {
    if (bitmapWidth < 1) return;
    bitmapWidth = std::clamp(width, 5, 84);
    WriteOption(settings::kViewBitmap.name, bitmapWidth);
}
