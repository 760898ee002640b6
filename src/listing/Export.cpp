#include "listing/Export.h"

#include <cerrno>

#include "document/CTravikDoc.h"
#include "document/FileIo.h"
#include "document/FileReplacer.h"
#include "listing/GnuExport.h"
#include "listing/LineText.h"
#include "listing/TextFormat.h"

namespace {

// The text goes out in pieces of about this size.
constexpr size_t kChunkSize = size_t{1} << 18;

const std::string* AnnotationOf(const CTravikDoc& doc, uint32_t index, int subLine) {
    const AnnotationTable* table = subLine == -1  ? &doc.Headers()
                                   : subLine == 0 ? &doc.Notes()
                                   : subLine == 1 ? &doc.Footers()
                                                  : nullptr;
    return table != nullptr ? table->Find(index) : nullptr;
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

std::string ExportPathFor(const std::string& chosen, const char* extension) {
    // Something that is there and is no regular file keeps its name, so that the refusal
    // names it rather than a new file beside it.
    const TargetKind kind = KindOfTarget(chosen);
    if (kind != TargetKind::kMissing && kind != TargetKind::kRegular && kind != TargetKind::kReadOnly)
        return chosen;
    const size_t name = SplitPath(chosen).folder.size();
    return chosen.find('.', name) == std::string::npos ? chosen + extension : chosen;
}

ExportResult ExportRange(const CTravikDoc& doc, uint32_t start, uint32_t end,
                         const std::string& path, int* error, FileIo* io) {
    int ignored = 0;
    int& err = error != nullptr ? *error : ignored;
    err = 0;
    if (start > end || start / 2 >= doc.HalfwordCount()) return ExportResult::kEmptyRange;
    if (!doc.OutputRefusal(path).empty()) return ExportResult::kRefused;
    // The text goes to a temporary file that replaces an older export only once it is
    // complete, so a failed export never leaves half a file in its place.
    FileReplacer file(io != nullptr ? *io : FileIo::System());
    if (!file.Open(path)) {
        err = errno;
        return ExportResult::kCannotOpen;
    }
    const auto sink = [&file](std::string_view piece) { return file.Write(piece); };
    // In GNU syntax the export is a source the GNU assembler turns back into the range.
    const bool written = doc.Options().gnuSyntax ? WriteGnuAssembly(doc, start, end, "\r\n", sink)
                                                 : WriteListing(doc, start, end, "\r\n", sink);
    if (written && file.Commit()) return ExportResult::kOk;
    err = errno;
    return ExportResult::kWriteFailed;
}

std::string CopyText(const CTravikDoc& doc, uint32_t cursorOffset) {
    if (doc.SelectionStart() == doc.SelectionEnd()) return ListingText(doc, cursorOffset, cursorOffset, "\n");
    return ListingText(doc, doc.SelectionStart(), doc.SelectionEnd(), "\n");
}

ExportResult ExportSelection(const CTravikDoc& doc, const std::string& path, int* error,
                             FileIo* io) {
    return ExportRange(doc, doc.SelectionStart(), doc.SelectionEnd(), path, error, io);
}
