#include "document/JournalFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "document/Journal.h"

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::string Why(const std::string& path, const char* what) {
    return path + ": " + what + (errno != 0 ? std::string(": ") + std::strerror(errno) : "") + ".";
}

}  // namespace

void JournalFile::Attach(std::string path, std::string header, std::optional<FileIdentity> flash) {
    Close();
    path_ = std::move(path);
    header_ = std::move(header);
    flash_ = flash;
    failed_ = false;
}

void JournalFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string JournalFile::Open() {
    if (fd_ >= 0) return {};
    if (failed_ || path_.empty()) return "no journal";
    errno = 0;
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return Why(path_, "cannot be opened");
    struct stat st {};
    const char* problem = nullptr;
    if (::fstat(fd, &st) != 0) problem = "cannot be read";
    else if (!S_ISREG(st.st_mode) || st.st_nlink != 1) problem = "is not a file of its own";
    else if (flash_ && IdentityOfFd(fd) == flash_) problem = "is the flash file";
    else if (st.st_size == 0 && !WriteAll(fd, header_)) problem = "cannot be written";
    if (problem != nullptr) {
        ::close(fd);
        return Why(path_, problem);
    }
    fd_ = fd;
    return {};
}

std::string JournalFile::Append(const EditStep& step) {
    if (path_.empty()) return {};  // no journal is kept
    std::string error = Open();
    if (error.empty()) {
        const off_t end = ::lseek(fd_, 0, SEEK_END);
        errno = 0;
        if (WriteAll(fd_, journal::Record(step))) return {};
        error = Why(path_, "cannot be written");
        if (end >= 0 && ::ftruncate(fd_, end) != 0) {}  // keep whole records only
    }
    Close();
    failed_ = true;
    return error;
}

bool JournalFile::Exists() const {
    struct stat st {};
    return !path_.empty() && ::lstat(path_.c_str(), &st) == 0;
}

std::string JournalFile::CutTo(uint64_t size) {
    if (fd_ < 0) {
        if (!Exists()) return {};  // no file: nothing to cut
        if (std::string error = Open(); !error.empty()) return error;
    }
    errno = 0;
    const bool headerOnly = size <= header_.size();
    if (::ftruncate(fd_, headerOnly ? 0 : static_cast<off_t>(size)) != 0)
        return Why(path_, "cannot be emptied");
    if (headerOnly && !WriteAll(fd_, header_)) return Why(path_, "cannot be written");
    return {};
}

std::string JournalFile::KeepAsOld(std::string& error) {
    Close();
    const std::string old = path_ + ".old";
    struct stat st {};
    errno = 0;
    if (::lstat(old.c_str(), &st) == 0) {
        std::string older;
        for (int n = 1;; ++n) {
            older = old + std::to_string(n);
            if (::lstat(older.c_str(), &st) != 0) break;
        }
        if (::rename(old.c_str(), older.c_str()) != 0) {
            error = Why(old, "cannot be renamed");
            return {};
        }
    }
    if (::rename(path_.c_str(), old.c_str()) != 0) {
        error = Why(path_, "cannot be renamed");
        return {};
    }
    return old;
}
