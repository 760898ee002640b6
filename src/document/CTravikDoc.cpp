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
#include "document/FileIo.h"
#include "document/InfoFile.h"
#include "shell/Format.h"
#include "shell/FrameServices.h"
#include "shell/SettingsStore.h"

namespace {
// Progress is reported every this many bytes of the image.
constexpr uint32_t kProgressStep = 0x5000;
// The image is read in pieces of this size; the analysis follows each piece.
constexpr size_t kReadChunk = size_t{1} << 20;

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
    : session_(*this), frame_(frame),
      options_(DisplayOptions::Read(frame.Settings())) {}

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
    imageSize_ = static_cast<uint32_t>(st.st_size);
    pathName_ = path;

    const uint32_t halfwords = imageSize_ / 2;
    const bool allocated = imageBuffer_.Allocate(imageSize_) && flagBuffer_.Allocate(halfwords) &&
                           jumpBuffer_.Allocate(halfwords) && ramBuffer_.Allocate(kRamSize);
    if (allocated) {
        notes_.Reset(halfwords);
        headers_.Reset(halfwords);
        footers_.Reset(halfwords);
        explanations_.Reset(halfwords);
    }
    if (!allocated || notes_.HalfwordCount() != halfwords ||
        headers_.HalfwordCount() != halfwords || footers_.HalfwordCount() != halfwords ||
        explanations_.HalfwordCount() != halfwords) {
        FreeTables();
        frame_.ShowMessage(docmsg::kOutOfMemory);
        return false;
    }
    image_ = imageBuffer_.data();
    flags_ = flagBuffer_.data();
    jumpCodes_ = jumpBuffer_.data();
    ramSize_ = kRamSize;
    ramBase_ = kRamBase;
    ramBytes_ = ramBuffer_.data();
    ramNames_.Reset(ramSize_);
    explicitTargets_.clear();

    flashIdentity_ = IdentityOfFd(fd);
    const std::string infoPath = InfoPathFor(path);
    std::string info;
    const ReadOutcome outcome = ReadWholeFile(infoPath, info, MaxInfoFileSize(imageSize_));
    const bool defaultsMode = outcome.kind != ReadOutcome::kOk;
    infoProblem_.clear();
    if (!defaultsMode) {
        infoState_ = InfoState::kRead;
        InfoTables tables{
            imageSize_, flags_, {&notes_, &headers_, &footers_, &explanations_}, &ramNames_};
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
        std::memset(flags_, itemtype::kThumb, halfwords);
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
            flags_[0] |= flagbits::kRoutineStart;
            SetText(headers_, 0,
                    std::string(docmsg::kFileHeader) + std::string(SplitPath(path).name));
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
    RecoverJournal();
    return true;
}

std::string CTravikDoc::ReadImageAndAnalyse(int fd, const std::string& path, bool defaultsMode) {
    FileIo& io = fileIo_ != nullptr ? *fileIo_ : FileIo::System();
    CodeAnalysis analysis(*this, defaultsMode);
    uint64_t read = 0;
    uint64_t nextProgress = kProgressStep;
    char status[4096 + 64];
    while (read < imageSize_) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadChunk, imageSize_ - read));
        const ssize_t n = io.Read(fd, image_ + read, want);
        if (n < 0 && errno == EINTR) continue;
        // A failed or short read would leave a tail of zeros that looks like code.
        if (n < 0) return Format(docmsg::kImageReadFailed, path.c_str(), std::strerror(errno));
        if (n == 0)
            return Format(docmsg::kImageShort, path.c_str(), static_cast<unsigned long long>(read),
                          static_cast<unsigned long long>(imageSize_));
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
                              static_cast<int>(o * 100 / imageSize_));
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
    if (image_ == nullptr) {
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
    InfoTables tables{
        imageSize_, flags_, {&notes_, &headers_, &footers_, &explanations_}, &ramNames_};
    // The open reads no info file larger than this, so none is ever written.
    const uint64_t size = InfoFileSize(tables);
    if (size > MaxInfoFileSize(imageSize_)) {
        frame_.ShowMessage(Format(docmsg::kInfoTooLarge, infoPath.c_str(),
                                  static_cast<unsigned long long>(size),
                                  static_cast<unsigned long long>(MaxInfoFileSize(imageSize_))));
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
    if (SamePlace(infoPath, InfoPathFor(pathName_))) JournalSaved();
    return true;
}

// Copies the damaged info file, as it is on the disk, to NAME.bak (or NAME.bak1, ...
// when that exists) before the first save replaces it.
bool CTravikDoc::KeepDamagedInfoFile(FileIo& io, const std::string& infoPath) {
    std::string bytes;
    const ReadOutcome outcome = ReadWholeFile(infoPath, bytes, MaxInfoFileSize(imageSize_));
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
    CloseJournal();
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
    notes_.Clear();
    headers_.Clear();
    footers_.Clear();
    explanations_.Clear();
    ramNames_.Reset(0);
    explicitTargets_.clear();
    image_ = nullptr;
    flags_ = nullptr;
    jumpCodes_ = nullptr;
    ramBytes_ = nullptr;
    imageSize_ = 0;
    ramSize_ = 0;
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
    const uint8_t code = jumpCodes_[index];
    return code < sizeof kKinds ? kKinds[code] : jumpkind::kNone;
}

uint32_t CTravikDoc::ExplicitTarget(uint32_t index) const {
    auto it = explicitTargets_.find(index);
    return it == explicitTargets_.end() ? 0 : it->second;
}

void CTravikDoc::SetLiteralPointer(uint32_t offset, uint32_t target) {
    const uint32_t index = offset / 2;
    if (index >= HalfwordCount()) return;
    if (offset % 2 == 0) {
        jumpCodes_[index] = kJumpPointer;
        explicitTargets_.erase(index);
    } else {
        jumpCodes_[index] = kJumpExplicit;
        explicitTargets_[index] = target;
    }
}
