#include "document/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

int FileIo::Open(const char* path, int flags, int mode) {
    return ::open(path, flags, mode);
}
ssize_t FileIo::Read(int fd, void* data, size_t size) {
    return ::read(fd, data, size);
}
ssize_t FileIo::Write(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}
int FileIo::Sync(int fd) {
    return ::fsync(fd);
}
int FileIo::Close(int fd) {
    return ::close(fd);
}
int FileIo::Rename(const char* from, const char* to) {
    return std::rename(from, to);
}
int FileIo::Unlink(const char* path) {
    return ::unlink(path);
}

FileIo& FileIo::System() {
    static FileIo io;
    return io;
}

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

std::optional<FileIdentity> IdentityOfFd(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

PathParts SplitPath(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) return {{}, path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

std::string TargetRefusal(const std::string& path) {
    const char* problem = TargetProblem(KindOfTarget(path));
    return problem == nullptr ? std::string() : path + " is " + problem + ": nothing was written.";
}

namespace {

// The folder resolved through its links, then the entry's own name.
std::string CanonicalEntry(const std::string& path) {
    const PathParts parts = SplitPath(path);
    const std::string folder = parts.folder.empty() ? "." : std::string(parts.folder);
    char resolved[PATH_MAX];
    if (::realpath(folder.c_str(), resolved) == nullptr) return path;
    return std::string(resolved) + "/" + std::string(parts.name);
}

}  // namespace

bool SamePlace(const std::string& a, const std::string& b) {
    const std::optional<FileIdentity> first = IdentityOfPath(a);
    const std::optional<FileIdentity> second = IdentityOfPath(b);
    if (first || second) return first == second;
    return CanonicalEntry(a) == CanonicalEntry(b);
}

namespace {

constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

// Writes, flushes and closes; false on any failure (the descriptor is closed).
bool WriteSyncClose(FileIo& io, int fd, std::string_view bytes) {
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = io.Write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    if (ok && io.Sync(fd) != 0) ok = false;
    const int saved = errno;
    if (io.Close(fd) != 0 && ok) return false;
    errno = saved;
    return ok;
}

}  // namespace

TargetKind KindOfTarget(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return TargetKind::kMissing;
    if (S_ISREG(st.st_mode))
        return (st.st_mode & S_IWUSR) != 0 ? TargetKind::kRegular : TargetKind::kReadOnly;
    if (S_ISDIR(st.st_mode)) return TargetKind::kFolder;
    if (S_ISFIFO(st.st_mode)) return TargetKind::kFifo;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return TargetKind::kDevice;
    if (S_ISSOCK(st.st_mode)) return TargetKind::kSocket;
    return TargetKind::kOther;
}

const char* TargetProblem(TargetKind kind) {
    switch (kind) {
        case TargetKind::kMissing:
        case TargetKind::kRegular:
            return nullptr;
        case TargetKind::kReadOnly:
            return "read-only";
        case TargetKind::kFolder:
            return "a folder";
        case TargetKind::kFifo:
            return "a FIFO";
        case TargetKind::kDevice:
            return "a device";
        case TargetKind::kSocket:
            return "a socket";
        case TargetKind::kOther:
            break;
    }
    return "not a regular file";
}

bool WriteNewFile(FileIo& io, const std::string& path, std::string_view bytes, int mode) {
    const int fd = io.Open(path.c_str(), kNewFileFlags, mode);
    if (fd < 0) return false;
    if (WriteSyncClose(io, fd, bytes)) return true;
    const int saved = errno;
    io.Unlink(path.c_str());
    errno = saved;
    return false;
}

ReadOutcome ReadWholeFile(const std::string& path, std::string& contents, uint64_t maxSize) {
    contents.clear();
    auto unreadable = [](std::string reason) {
        return ReadOutcome{ReadOutcome::kUnreadable, std::move(reason)};
    };
    // Non-blocking, so that opening a FIFO with no writer returns at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return ReadOutcome{ReadOutcome::kMissing, {}};
        return unreadable(std::strerror(errno));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return unreadable(std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return unreadable("it is a folder");
    if (!S_ISREG(st.st_mode)) return unreadable("it is not a regular file");
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (size > maxSize) return unreadable("it is too large (" + std::to_string(size) + " bytes)");
    contents.resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::read(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            contents.clear();
            return unreadable(std::strerror(error));
        }
        if (n == 0) break;  // shrank while we read: take what is there
        done += static_cast<size_t>(n);
    }
    contents.resize(done);
    return {};
}
