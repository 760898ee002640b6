#pragma once

#include <string>
#include <string_view>

#include "document/FileIo.h"

// Writes a file that replaces `path` only once it is complete: the text goes to a new
// temporary file beside it, which is flushed and renamed over `path` by Commit. Until
// then, and whenever something fails, an older file at `path` stays as it was and the
// temporary file is removed. A link at `path` is followed, so the file it leads to is
// replaced and the link stays. Something at `path` that is not a regular file (a
// device, a pipe) cannot be replaced and is written directly.
class FileReplacer {
  public:
    explicit FileReplacer(FileIo& io = FileIo::System()) : io_(io) {}
    ~FileReplacer();
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    // False with errno set when the file cannot be created.
    bool Open(const std::string& path);
    // False with errno set on a write error; everything is dropped then.
    bool Write(std::string_view bytes);
    // Flushes, closes and puts the file in place; false with errno set on failure.
    bool Commit();
    // The descriptor being written (to check what it is), or -1.
    int Fd() const { return fd_; }

  private:
    void Abort();

    FileIo& io_;
    std::string target_;
    std::string temporary_;  // empty when writing directly
    int fd_ = -1;
};

// The whole of `bytes` as a new file at `path`, as above.
enum class ReplaceResult { kOk, kCannotOpen, kWriteFailed };
ReplaceResult ReplaceFile(FileIo& io, const std::string& path, std::string_view bytes,
                          int* error = nullptr);
