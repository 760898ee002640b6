#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The file operations used to read the flash image and to write files that must never
// be half written. The system's calls by default; tests put a failing one in their place.
class FileIo {
  public:
    virtual ~FileIo() = default;
    virtual int Open(const char* path, int flags, int mode);
    virtual ssize_t Read(int fd, void* data, size_t size);
    virtual ssize_t Write(int fd, const void* data, size_t size);
    virtual int Sync(int fd);
    virtual int Close(int fd);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);

    static FileIo& System();
};

// A path's folder, up to and with its last '/' (empty when it has none), and the name
// after it.
struct PathParts {
    std::string_view folder;
    std::string_view name;
};
PathParts SplitPath(std::string_view path);

// Which file a path or descriptor names, whatever path or link led to it.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
// None when the path does not lead to an existing file (links are followed).
std::optional<FileIdentity> IdentityOfPath(const std::string& path);
std::optional<FileIdentity> IdentityOfFd(int fd);
// True when both paths lead to the same file or, where nothing is there yet, name the
// same entry of the same folder.
bool SamePlace(const std::string& a, const std::string& b);

// What stands at a path a writer is about to replace, looked at without opening it (so
// that a FIFO cannot block), links followed.
enum class TargetKind { kMissing, kRegular, kReadOnly, kFolder, kFifo, kDevice, kSocket, kOther };
TargetKind KindOfTarget(const std::string& path);
// Why nothing may replace a target of this kind ("a FIFO", "read-only", ...), or nullptr
// when it may be written (nothing there, or a regular file its owner may write).
const char* TargetProblem(TargetKind kind);
// "PATH is a FIFO: nothing was written." for a target no output may replace; empty when
// it may be written.
std::string TargetRefusal(const std::string& path);

// Writes `bytes` as the whole new content of `path`, through a temporary file that is
// renamed over it only once complete (see FileReplacer). On any failure `path` is left
// as it was and the result is false with errno set.
bool WriteFileAtomically(FileIo& io, const std::string& path, std::string_view bytes);

// Writes `bytes` to a file that must not exist yet (created exclusively, never through
// a link) with the permissions `mode` (less the umask). False with errno set when it
// exists or cannot be written; a partly written file is removed.
bool WriteNewFile(FileIo& io, const std::string& path, std::string_view bytes, int mode = 0666);

// How reading a whole file ended.
struct ReadOutcome {
    enum Kind {
        kOk,
        kMissing,     // nothing at the path (or a folder on the way is missing)
        kUnreadable,  // something is there but cannot be read as a file; see `reason`
    } kind = kOk;
    std::string reason;  // for kUnreadable: why, for the user
};

// Reads a whole regular file of at most `maxSize` bytes. It never blocks on a FIFO or
// a device and never reads more than `maxSize` bytes: anything that is not a regular
// file, or is larger, is unreadable with a reason.
ReadOutcome ReadWholeFile(const std::string& path, std::string& contents, uint64_t maxSize);
