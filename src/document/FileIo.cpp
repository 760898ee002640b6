#include "document/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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

bool WriteFileAtomically(FileIo& io, const std::string& path, std::string_view bytes) {
    const std::string temporary = path + ".tmp~";
    const int fd = io.Open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
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
    if (io.Close(fd) != 0) ok = false;
    if (ok && io.Rename(temporary.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) io.Unlink(temporary.c_str());
    return ok;
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
    contents.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) == 0 && st.st_size > 0) contents.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        contents.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}
