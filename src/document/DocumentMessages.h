#pragma once

// Texts the document shows to the user.
namespace docmsg {
inline constexpr const char* kWrongFileLength = "Wrong file length";
inline constexpr const char* kFileTooLarge = "File too large to open (more than 4 GB)";
inline constexpr const char* kOutOfMemory = "Not enough memory to open this file";
inline constexpr const char* kImageReadFailed = "%s cannot be read: %s.";
inline constexpr const char* kImageShort =
    "%s cannot be read whole: only %llu of its %llu bytes came.";
inline constexpr const char* kNotFoundLoadingDefaults = " not found.\r\nLoading defaults.";
inline constexpr const char* kWrongSize = "not derived from opened flash File (wrong size)";
inline constexpr const char* kCorrupted = " corrupted.";
inline constexpr const char* kSaveError = "Error in saving IFO file";
// Info files that exist but could not be read, damaged ones, and the flash file.
inline constexpr const char* kInfoUnreadable =
    "%s cannot be read: %s.\r\nLoading defaults; saving will not replace that file.";
inline constexpr const char* kInfoNotReplaced =
    "%s could not be read when the flash file was opened, so it is not replaced.";
inline constexpr const char* kDamagedKept = "The damaged %s was kept as %s.";
inline constexpr const char* kDamagedNotKept =
    "Error in saving IFO file\r\nThe damaged %s could not be kept as %s: %s.";
inline constexpr const char* kRamNamesDropped =
    "%s: the RAM names are damaged at byte %zu: %u names before it were kept, the rest "
    "were dropped; the first save keeps the damaged file as %s.bak";
inline constexpr const char* kIsFlashFile = "%s is the open flash file; it is never written.";
// Outputs (exports, RAM images, PDFs, screenshots) aimed at the document's own files,
// and saves aimed at something that is not a writable regular file.
inline constexpr const char* kIsInfoFile =
    "%s is the info file of the open flash file; only Save writes it.";
inline constexpr const char* kIsDebugMarksFile =
    "%s holds the breakpoints and watchpoints of the open flash file; only they write it.";
inline constexpr const char* kSaveRefused = "%s is %s: not saved";
inline constexpr const char* kInfoTooLarge =
    "%s would be %llu bytes, more than the %llu bytes an info file of this image may hold: "
    "not saved";
inline constexpr const char* kLoadingProgress = "Loading %s: %d%% done.";
// The journal of steps made since the last save.
inline constexpr const char* kRecoverQuestion =
    "%zu changes made after the last save were found (from %s). Recover them?";
inline constexpr const char* kJournalTailDropped =
    "%s: %llu bytes after the last whole change were damaged (the program ended while "
    "writing them) and were dropped.";
inline constexpr const char* kJournalKept = "%s was kept as %s.";
inline constexpr const char* kJournalOtherImage =
    "%s belongs to another flash file and was not replayed; it was kept as %s.";
inline constexpr const char* kJournalUnreadable =
    "%s is not a journal of changes and was not replayed; it was kept as %s.";
inline constexpr const char* kJournalFailed =
    "%s\r\nChanges from now on are not kept in the journal; save to keep them.";
inline constexpr const char* kFileHeader = "File: ";
inline constexpr const char* kEndRoutine = "end routine";
inline constexpr const char* kThumbEntryPoint = "THUMB Entry point";
inline constexpr const char* kJumpEntryExplained = "%.8X > %s";
inline constexpr const char* kJumpEntry = "%.8X - %s";
}  // namespace docmsg
