#pragma once

#include <string>

class CTravikDoc;

inline constexpr const char* kRamFileFilter = "Binary Files (*.bin)|*.bin|All Files (*.*)|*.*||";
inline constexpr const char* kCannotOpenFile = "Cannot open file";
inline constexpr const char* kCannotWriteFile = "Cannot write file";
inline constexpr const char* kWrongRamFileSize = "Wrong file size";

enum class RamFileResult {
    kOk,
    kShort,        // fewer bytes than the RAM holds: those were loaded, the rest kept
    kCannotOpen,   // nothing loaded / nothing written
    kWriteFailed,  // nothing written: an older file stays as it was
    kRefused,      // the document's OutputRefusal forbids the path: nothing written
};

// Fills the stack RAM from the start of a RAM image file. A longer file gives its first
// bytes; more than the RAM holds is never read. On failure `error` gets the reason.
RamFileResult LoadRamFile(CTravikDoc& doc, const std::string& path, std::string* error = nullptr);
// Writes the stack RAM to `path` as a whole new file (never half written, never where
// the document's OutputRefusal forbids).
RamFileResult SaveRamFile(const CTravikDoc& doc, const std::string& path, int* error = nullptr);

// The commands: a chooser, then the load or save with its message boxes. Load RAM
// repaints the phone window.
void LoadRam(CTravikDoc& doc);
void SaveRam(CTravikDoc& doc);
