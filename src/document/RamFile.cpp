#include "document/RamFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "document/CTravikDoc.h"
#include "document/FileReplacer.h"
#include "shell/FrameServices.h"

RamFileResult LoadRamFile(CTravikDoc& doc, const std::string& path, std::string* error) {
    auto fail = [&](const char* reason) {
        if (error != nullptr) *error = reason;
        return RamFileResult::kCannotOpen;
    };
    if (doc.RamBytes() == nullptr) return fail("no document");
    // Non-blocking, so that a FIFO without a writer or a device cannot hang the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return fail(std::strerror(errno));
    struct stat st {};
    const bool stated = ::fstat(fd, &st) == 0;
    if (!stated || !S_ISREG(st.st_mode)) {
        const char* reason = !stated               ? std::strerror(errno)
                             : S_ISDIR(st.st_mode) ? "it is a folder"
                                                   : "it is not a regular file";
        ::close(fd);
        return fail(reason);
    }
    // Read into a buffer first: a read error leaves the RAM as it was.
    std::vector<uint8_t> bytes(doc.RamSize());
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int saved = errno;
            ::close(fd);
            return fail(std::strerror(saved));
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    const bool shortFile = done < doc.RamSize();
    bytes.resize(done);
    doc.Apply(DocEdit{.parts = {DocEdit::RamBytes{0, std::move(bytes)}}}, "Load RAM",
              EditStep::kNoFocus);
    return shortFile ? RamFileResult::kShort : RamFileResult::kOk;
}

RamFileResult SaveRamFile(const CTravikDoc& doc, const std::string& path, int* error) {
    if (error != nullptr) *error = 0;
    if (doc.RamBytes() == nullptr) return RamFileResult::kCannotOpen;
    if (!doc.OutputRefusal(path).empty()) return RamFileResult::kRefused;
    const std::string_view bytes(reinterpret_cast<const char*>(doc.RamBytes()), doc.RamSize());
    switch (ReplaceFile(FileIo::System(), path, bytes, error)) {
        case ReplaceResult::kOk:
            return RamFileResult::kOk;
        case ReplaceResult::kCannotOpen:
            return RamFileResult::kCannotOpen;
        case ReplaceResult::kWriteFailed:
            break;
    }
    return RamFileResult::kWriteFailed;
}

void LoadRam(CTravikDoc& doc) {
    FrameServices& frame = doc.Frame();
    const std::optional<std::string> path = frame.ChooseOpenFile(kRamFileFilter);
    if (!path) return;
    switch (LoadRamFile(doc, *path)) {
        case RamFileResult::kCannotOpen:
            frame.ShowMessage(kCannotOpenFile);
            break;
        case RamFileResult::kShort:
            frame.ShowMessage(kWrongRamFileSize);
            break;
        default:
            break;
    }
    // The phone's display shows stack RAM bytes.
    frame.RepaintPhone();
    frame.RepaintMemory();
}

void SaveRam(CTravikDoc& doc) {
    FrameServices& frame = doc.Frame();
    const std::optional<std::string> path = frame.ChooseSaveFile(kRamFileFilter);
    if (!path) return;
    switch (SaveRamFile(doc, *path)) {
        case RamFileResult::kCannotOpen:
            frame.ShowMessage(kCannotOpenFile);
            break;
        case RamFileResult::kWriteFailed:
            frame.ShowMessage(kCannotWriteFile);
            break;
        case RamFileResult::kRefused:
            frame.ShowMessage(doc.OutputRefusal(*path));
            break;
        default:
            break;
    }
}
