#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class CTravikDoc;
class FileIo;

// Annotations stand from this column on in exported lines.
inline constexpr size_t kAnnotationColumn = 70;

// Writes the listing lines from `start` up to and including the lines of the item at
// `end`, each with its header, note or footer at the annotation column and ended by
// `lineEnd`. The walk starts with the header separator when `start` begins a routine
// and stops after "End of File". The text is handed to `sink` in large pieces; false
// when the sink refused one.
bool WriteListing(const CTravikDoc& doc, uint32_t start, uint32_t end, std::string_view lineEnd,
                  const std::function<bool(std::string_view)>& sink);

// The same text in one string.
std::string ListingText(const CTravikDoc& doc, uint32_t start, uint32_t end,
                        std::string_view lineEnd);

// What Copy puts on the clipboard from a listing: the lines of the export selection, or
// of the cursor's item when nothing is selected, as an export writes them but with LF
// line ends.
std::string CopyText(const CTravikDoc& doc, uint32_t cursorOffset);

// The path an export writes to: `extension` is added when the chosen file name has no dot
// (unless a folder, FIFO or device stands at the chosen path: the export refuses it).
std::string ExportPathFor(const std::string& chosen, const char* extension = ".asm");

enum class ExportResult {
    kOk,
    kCannotOpen,
    kWriteFailed,
    kRefused,     // the document's OutputRefusal forbids the path: nothing was written
    kEmptyRange,  // the range holds no item (it starts past its end or the image's)
};

// Writes the document's export selection to `path` (as given) with CR LF line ends: the
// listing lines, or with "View GNU Syntax" a source for the GNU assembler. An
// older file at `path` is replaced only by a complete export; an empty range or a
// refused path never opens it. On failure `error`, when
// given, receives the system's error number. `io`: the file operations (tests).
ExportResult ExportSelection(const CTravikDoc& doc, const std::string& path, int* error = nullptr,
                             FileIo* io = nullptr);
// The same for any range.
ExportResult ExportRange(const CTravikDoc& doc, uint32_t start, uint32_t end,
                         const std::string& path, int* error = nullptr, FileIo* io = nullptr);
