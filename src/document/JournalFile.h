#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/EditStep.h"
#include "document/FileIo.h"

// The journal file of one open document (see Journal.h). It is opened when the first
// step is appended; every append reaches the system's cache with write() before the
// step counts as made (no fsync: a power cut can lose the steps of the last seconds
// the system had not yet written out, a crash of the program loses none). It is only
// ever a regular file of its own: never through a link, never the flash file.
class JournalFile {
  public:
    JournalFile() = default;
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;
    ~JournalFile() { Close(); }

    // The journal at `path` of the image with this header line.
    void Attach(std::string path, std::string header, std::optional<FileIdentity> flash);
    void Close();
    const std::string& Path() const { return path_; }
    bool Exists() const;

    // Empty when the step is in the file (or no journal is kept: no path), else why not (the file is then given up
    // until the next Attach, and its last whole record stays its end).
    std::string Append(const EditStep& step);
    // Cuts the file to its first `size` bytes (its whole records after a damaged tail), or
    // to its header alone (after a save) when `size` is no more; nothing when there is no
    // file.
    std::string CutTo(uint64_t size);
    uint64_t HeaderSize() const { return header_.size(); }
    // Renames the file NAME.jnl.old, an older NAME.jnl.old moving to the first free
    // NAME.jnl.oldN first. The kept name, or empty with `error` set.
    std::string KeepAsOld(std::string& error);

  private:
    std::string Open();

    std::string path_;
    std::string header_;
    std::optional<FileIdentity> flash_;
    int fd_ = -1;
    bool failed_ = false;
};
