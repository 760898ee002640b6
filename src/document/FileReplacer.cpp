#include "document/FileReplacer.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

std::atomic<uint64_t> temporaryCounter{0};

// The errno a refused target gives, for callers that only look at errno.
int ErrorFor(TargetKind kind) {
    switch (kind) {
        case TargetKind::kReadOnly:
            return EACCES;
        case TargetKind::kFolder:
            return EISDIR;
        default:
            return EINVAL;
    }
}

// "NAME.tmp~", "NAME.tmpK~" (earlier versions of this program) and "NAME.tmpPID-N~":
// the PID that wrote it, 0 when the name does not say, -1 when it is not such a name.
long TemporaryOwner(const std::string& name, const std::string& base) {
    const std::string prefix = base + ".tmp";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.back() != '~')
        return -1;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - 1);
    const size_t dash = middle.find('-');
    auto allDigits = [](const std::string& s) {
        return s.find_first_not_of("0123456789") == std::string::npos;
    };
    if (dash == std::string::npos) return allDigits(middle) ? 0 : -1;
    const std::string pid = middle.substr(0, dash);
    const std::string count = middle.substr(dash + 1);
    if (pid.empty() || pid.size() > 9 || count.empty() || !allDigits(pid) || !allDigits(count))
        return -1;
    return std::strtol(pid.c_str(), nullptr, 10);
}

bool ProcessRuns(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

}  // namespace

void RemoveStaleTemporaries(const std::string& target) {
    const PathParts parts = SplitPath(target);
    const std::string folder(parts.folder);
    const std::string base(parts.name);
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return;
    const long self = static_cast<long>(::getpid());
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const long owner = TemporaryOwner(name, base);
        if (owner < 0 || owner == self || ProcessRuns(owner)) continue;
        const std::string path = folder + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            ::unlink(path.c_str());
    }
    ::closedir(dir);
}

FileReplacer::~FileReplacer() {
    Abort();
}

bool FileReplacer::Open(const std::string& path) {
    Abort();
    target_ = path;
    refused_ = KindOfTarget(path);
    if (TargetProblem(refused_) != nullptr) {
        errno = ErrorFor(refused_);
        return false;
    }
    const bool exists = refused_ == TargetKind::kRegular;
    refused_ = TargetKind::kMissing;
    struct stat st {};
    if (exists && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) target_ = resolved;
    }
    if (exists && ::stat(target_.c_str(), &st) != 0) return false;
    RemoveStaleTemporaries(target_);
    // A name someone else holds (a leftover, a planted link) is passed over.
    const std::string stem = target_ + ".tmp" + std::to_string(::getpid()) + "-";
    while (fd_ < 0) {
        temporary_ = stem + std::to_string(temporaryCounter++) + "~";
        fd_ = io_.Open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       exists ? 0600 : 0666);
        if (fd_ < 0 && errno != EEXIST) {
            temporary_.clear();
            return false;
        }
    }
    if (exists) ::fchmod(fd_, st.st_mode & 07777);
    return true;
}

bool FileReplacer::Write(std::string_view bytes) {
    while (fd_ >= 0 && !bytes.empty()) {
        const ssize_t n = io_.Write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int saved = n == 0 ? EIO : errno;
            Abort();
            errno = saved;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return fd_ >= 0;
}

bool FileReplacer::Commit() {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    bool ok = io_.Sync(fd_) == 0;
    int saved = errno;
    if (io_.Close(fd_) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    fd_ = -1;
    // Something else may have been put at the target meanwhile: never rename over it.
    const TargetKind now = KindOfTarget(target_);
    if (ok && now != TargetKind::kMissing && now != TargetKind::kRegular) {
        ok = false;
        refused_ = now;
        saved = ErrorFor(now);
    }
    if (ok && io_.Rename(temporary_.c_str(), target_.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (ok) {
        temporary_.clear();
        return true;
    }
    Abort();
    errno = saved;
    return false;
}

void FileReplacer::Abort() {
    const int saved = errno;
    if (fd_ >= 0) io_.Close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) io_.Unlink(temporary_.c_str());
    temporary_.clear();
    errno = saved;
}

ReplaceResult ReplaceFile(FileIo& io, const std::string& path, std::string_view bytes, int* error) {
    FileReplacer file(io);
    ReplaceResult result = ReplaceResult::kOk;
    if (!file.Open(path))
        result = ReplaceResult::kCannotOpen;
    else if (!file.Write(bytes) || !file.Commit())
        result = ReplaceResult::kWriteFailed;
    if (error != nullptr) *error = result == ReplaceResult::kOk ? 0 : errno;
    return result;
}

bool WriteFileAtomically(FileIo& io, const std::string& path, std::string_view bytes) {
    return ReplaceFile(io, path, bytes) == ReplaceResult::kOk;
}
