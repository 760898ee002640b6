#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CEmulator;

// The breakpoints and watchpoints of a flash file live in a small text file beside its
// info file (x.fls -> x.brk), so the info file's format stays as it is. The format:
//
//   # Travik breakpoints and watchpoints
//   00200124          a breakpoint: the phone address of a flash halfword (hex)
//   R 0010EABC 4      a read watchpoint: R, the first stack RAM address (hex), the
//   W 0010EA00 1      number of bytes (decimal); W for a write watchpoint
//
// Lines starting with '#' and empty lines are skipped; hex digits and R/W may be in
// either case; spaces and tabs separate the fields; CR LF line ends are accepted.

// The side file that belongs to a flash file: the info file's path with "brk" for "ifo".
std::string DebugMarksPathFor(const std::string& flashPath);

// The largest side file worth reading: every halfword of the emulator's flash window
// a breakpoint, and the most fragmented watchpoints, with room to spare.
inline constexpr uint64_t kMaxDebugMarksFileSize = uint64_t{16} << 20;

// How reading a side file went: all its lines, or up to the first one that is not a
// mark this emulator can hold (the later good lines are read all the same).
struct DebugMarksReadResult {
    uint32_t badLines = 0;
    uint32_t firstBadLine = 0;  // 1-based; 0 when every line was read
    std::string firstBadText;   // that line, shortened and with control characters as '?'
    uint32_t marksRead = 0;
};

// Sets the marks of `file` in `emulator`, which must have its flash attached; marks
// already set stay.
DebugMarksReadResult ReadDebugMarks(std::string_view file, CEmulator& emulator);

// The side file for the emulator's marks; empty when it has none.
std::string WriteDebugMarks(const CEmulator& emulator);

// True when `length` bytes from `address` lie inside the stack RAM (length 1 or more).
bool IsWatchableRange(uint32_t address, uint64_t length);
