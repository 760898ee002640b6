#pragma once

// Texts the document shows to the user.
namespace docmsg {
inline constexpr const char* kWrongFileLength = "Wrong file length";
inline constexpr const char* kFileTooLarge = "File too large to open (more than 4 GB)";
inline constexpr const char* kOutOfMemory = "Not enough memory to open this file";
inline constexpr const char* kNotFoundLoadingDefaults = " not found.\r\nLoading defaults.";
inline constexpr const char* kWrongSize = "not derived from opened flash File (wrong size)";
inline constexpr const char* kCorrupted = " corrupted.";
inline constexpr const char* kSaveError = "Error in saving IFO file";
inline constexpr const char* kLoadingProgress = "Loading %s: %d%% done.";
inline constexpr const char* kFileHeader = "File: ";
inline constexpr const char* kEndRoutine = "end routine";
inline constexpr const char* kThumbEntryPoint = "THUMB Entry point";
inline constexpr const char* kJumpEntryExplained = "%.8X > %s";
inline constexpr const char* kJumpEntry = "%.8X - %s";
}  // namespace docmsg
