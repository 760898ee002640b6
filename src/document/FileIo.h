#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

// The file operations used to write files that must never be half written. The
// system's calls by default; tests put a failing one in their place.
class FileIo {
  public:
    virtual ~FileIo() = default;
    virtual int Open(const char* path, int flags, int mode);
    virtual ssize_t Write(int fd, const void* data, size_t size);
    virtual int Sync(int fd);
    virtual int Close(int fd);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);

    static FileIo& System();
};

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and only
// then renames it over `path`. On any failure the temporary file is removed, `path`
// is left as it was, and the result is false.
bool WriteFileAtomically(FileIo& io, const std::string& path, std::string_view bytes);

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& contents);
