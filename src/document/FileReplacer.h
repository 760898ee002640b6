#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "document/FileIo.h"

// Writes a file that replaces `path` only once it is complete: the text goes to a new
// temporary file beside it, which is flushed and renamed over `path` by Commit. Until
// then, and whenever something fails, an older file at `path` stays as it was and the
// temporary file is removed. A link at `path` is followed, so the file it leads to is
// replaced and the link stays. The replacement keeps the permissions of the file it
// replaces. Nothing is written at a path that holds anything but a regular file (a
// folder, a FIFO, a device, a socket), nor over a file its owner made read-only.
//
// Temporary files are named NAME.tmpPID-N~ beside the target, created exclusively and
// never through a link. Those that a killed process left behind (its PID is gone) are
// removed by the next Open of the same target.
class FileReplacer {
  public:
    explicit FileReplacer(FileIo& io = FileIo::System()) : io_(io) {}
    ~FileReplacer();
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    // False with errno set when the file cannot be created; Refused() then tells
    // whether it was because of what stands at `path`.
    bool Open(const std::string& path);
    // False with errno set on a write error; everything is dropped then.
    bool Write(std::string_view bytes);
    // Flushes, closes and puts the file in place; false with errno set on failure.
    bool Commit();
    // The descriptor being written (to check what it is), or -1.
    int Fd() const { return fd_; }
    // After a failed Open: what stands at the path when that is why (kRegular or
    // kMissing otherwise).
    TargetKind Refused() const { return refused_; }

  private:
    void Abort();

    FileIo& io_;
    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    TargetKind refused_ = TargetKind::kMissing;
};

// The whole of `bytes` as a new file at `path`, as above.
enum class ReplaceResult { kOk, kCannotOpen, kWriteFailed };
ReplaceResult ReplaceFile(FileIo& io, const std::string& path, std::string_view bytes,
                          int* error = nullptr);

// Removes the temporary files of `target` that processes which no longer run left
// behind: regular files of this user named as FileReplacer names them, never links.
void RemoveStaleTemporaries(const std::string& target);
