#include "document/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int FileIo::Open(const char* path, int flags, int mode) {
    return ::open(path, flags, mode);
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

bool WriteFileAtomically(FileIo& io, const std::string& path, std::string_view bytes) {
    // A leftover (or planted) temporary name is never reused: the next free one is taken.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = attempt == 0 ? path + ".tmp~" : path + ".tmp" + std::to_string(attempt) + "~";
        fd = io.Open(temporary.c_str(), kNewFileFlags, 0644);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = WriteSyncClose(io, fd, bytes);
    if (ok && io.Rename(temporary.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) io.Unlink(temporary.c_str());
    return ok;
}

bool WriteNewFile(FileIo& io, const std::string& path, std::string_view bytes) {
    const int fd = io.Open(path.c_str(), kNewFileFlags, 0644);
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
