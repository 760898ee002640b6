#include "document/FileReplacer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

FileReplacer::~FileReplacer() {
    Abort();
}

bool FileReplacer::Open(const std::string& path) {
    Abort();
    target_ = path;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        fd_ = io_.Open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY, 0666);
        return fd_ >= 0;
    }
    struct stat link {};
    if (exists && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) target_ = resolved;
    }
    // A leftover (or planted) temporary name is never reused: the next free one is taken.
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ =
            attempt == 0 ? target_ + ".tmp~" : target_ + ".tmp" + std::to_string(attempt) + "~";
        fd_ = io_.Open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        temporary_.clear();
        return false;
    }
    // The replacement keeps the permissions of the file it replaces.
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
    const bool regular = !temporary_.empty();
    bool ok = !regular || io_.Sync(fd_) == 0;
    int saved = errno;
    if (io_.Close(fd_) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    fd_ = -1;
    if (ok && regular && io_.Rename(temporary_.c_str(), target_.c_str()) != 0) {
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
