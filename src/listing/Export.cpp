#include "listing/Export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "document/CTravikDoc.h"
#include "listing/LineText.h"
#include "listing/TextFormat.h"

namespace {

// The text goes out in pieces of about this size.
constexpr size_t kChunkSize = size_t{1} << 18;

const std::string* AnnotationOf(const CTravikDoc& doc, uint32_t index, int subLine) {
    const AnnotationTable* table = subLine == -1  ? &doc.headers
                                   : subLine == 0 ? &doc.notes
                                   : subLine == 1 ? &doc.footers
                                                  : nullptr;
    return table != nullptr ? table->Find(index) : nullptr;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

bool WriteListing(const CTravikDoc& doc, uint32_t start, uint32_t end, std::string_view lineEnd,
                  const std::function<bool(std::string_view)>& sink) {
    if (start / 2 >= doc.HalfwordCount()) return true;
    std::string chunk;
    chunk.reserve(kChunkSize + 4096);
    LineBuffer line;
    int64_t o = start;
    int s = doc.FirstSubLine(start);
    while (o <= int64_t{end}) {
        GetLineText(doc, o, s, line);
        if (s != 2) {
            if (const std::string* text = AnnotationOf(doc, static_cast<uint32_t>(o / 2), s)) {
                line.PadTo(kAnnotationColumn);
                line.Append(*text);
            }
        }
        line.Append(lineEnd);
        chunk.append(line.Data(), line.Size());
        if (chunk.size() >= kChunkSize) {
            if (!sink(chunk)) return false;
            chunk.clear();
        }
        if (s == 2) break;
        o = doc.NextLine(o, s);
    }
    return chunk.empty() || sink(chunk);
}

std::string ListingText(const CTravikDoc& doc, uint32_t start, uint32_t end,
                        std::string_view lineEnd) {
    std::string text;
    WriteListing(doc, start, end, lineEnd, [&](std::string_view piece) {
        text.append(piece);
        return true;
    });
    return text;
}

std::string ExportPathFor(const std::string& chosen) {
    return chosen.find('.') == std::string::npos ? chosen + ".asm" : chosen;
}

ExportResult ExportRange(const CTravikDoc& doc, uint32_t start, uint32_t end,
                         const std::string& path, int* error) {
    int ignored = 0;
    int& err = error != nullptr ? *error : ignored;
    err = 0;
    // Opened without truncating: the file is emptied only once it is known not to be
    // the flash file, whatever link or path led here.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        err = errno;
        return ExportResult::kCannotOpen;
    }
    if (doc.IsFlashFile(fd)) {
        ::close(fd);
        return ExportResult::kIsFlashFile;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
        err = errno;
        ::close(fd);
        return ExportResult::kCannotOpen;
    }
    const bool written = WriteListing(doc, start, end, "\r\n",
                                      [fd](std::string_view piece) { return WriteAll(fd, piece); });
    if (!written) err = errno;
    const bool closed = ::close(fd) == 0;
    if (written && !closed) err = errno;
    return written && closed ? ExportResult::kOk : ExportResult::kWriteFailed;
}

ExportResult ExportSelection(const CTravikDoc& doc, const std::string& path, int* error) {
    return ExportRange(doc, doc.selectionStart, doc.selectionEnd, path, error);
}
