#include "document/DebugMarksFile.h"

#include <cstdio>
#include <vector>

#include "document/InfoFile.h"
#include "emulator/CEmulator.h"
#include "shell/HexDigit.h"

namespace {

constexpr std::string_view kFirstLine = "# Travik breakpoints and watchpoints\n";
// A bad line is quoted in the message up to this many characters.
constexpr size_t kQuotedLength = 60;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Splits off the next field of `line` (fields are separated by blanks).
std::string_view NextField(std::string_view& line) {
    size_t begin = 0;
    while (begin < line.size() && IsBlank(line[begin])) ++begin;
    size_t end = begin;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    const std::string_view field = line.substr(begin, end - begin);
    line.remove_prefix(end);
    return field;
}

bool ParseHexField(std::string_view field, uint32_t& value) {
    if (field.empty() || field.size() > 8) return false;
    value = 0;
    for (const char c : field) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

bool ParseLengthField(std::string_view field, uint32_t& value) {
    if (field.empty() || field.size() > 6) return false;
    value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return true;
}

// The watchpoints of a file, gathered as the changes of a per-byte count so that each
// line costs the same however long its range: a file of many long ranges must not
// keep the open busy.
struct WatchCounts {
    std::vector<int32_t> delta[2];  // read, write; kStackSize + 1 entries once used
    void Add(uint32_t address, uint32_t length, bool read) {
        std::vector<int32_t>& d = delta[read ? 0 : 1];
        if (d.empty()) d.assign(CEmulator::kStackSize + 1, 0);
        ++d[address - CEmulator::kStackBase];
        --d[address - CEmulator::kStackBase + length];
    }
    void Apply(CEmulator& emulator) const {
        for (int k = 0; k < 2; ++k) {
            const uint8_t kind = k == 0 ? CEmulator::kWatchRead : CEmulator::kWatchWrite;
            int32_t count = 0;
            uint32_t begin = 0;
            for (uint32_t i = 0; i < delta[k].size(); ++i) {
                const bool before = count > 0;
                count += delta[k][i];
                if (!before && count > 0) begin = i;
                if (before && count <= 0)
                    emulator.SetWatch(CEmulator::kStackBase + begin, i - begin, kind, true);
            }
        }
    }
};

// Gathers the mark one line of the file stands for; false when it is not one. The
// breakpoints are set together at the end: each change of a breakpoint drops the
// emulator's decoded blocks, and a file may hold one on every halfword.
bool ReadMarkLine(std::string_view line, const CEmulator& emulator, WatchCounts& watches,
                  std::vector<uint32_t>& breakpoints) {
    const std::string_view first = NextField(line);
    uint32_t address = 0;
    if (first == "R" || first == "r" || first == "W" || first == "w") {
        uint32_t length = 0;
        if (!ParseHexField(NextField(line), address) ||
            !ParseLengthField(NextField(line), length) || !NextField(line).empty() ||
            !IsWatchableRange(address, length))
            return false;
        watches.Add(address, length, first == "R" || first == "r");
        return true;
    }
    if (!ParseHexField(first, address) || !NextField(line).empty() ||
        !emulator.CanBreakAt(address))
        return false;
    breakpoints.push_back(address);
    return true;
}

std::string Quote(std::string_view line) {
    std::string text(line.substr(0, kQuotedLength));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    if (line.size() > kQuotedLength) text += "...";
    return text;
}

// One line per run of watched bytes of `kind`.
void WriteWatchRuns(const CEmulator& emulator, uint8_t kind, char letter, std::string& out) {
    constexpr uint32_t kEnd = CEmulator::kStackBase + CEmulator::kStackSize;
    for (uint32_t a = CEmulator::kStackBase; a < kEnd; ++a) {
        if (!(emulator.WatchAt(a) & kind)) continue;
        const uint32_t begin = a;
        while (a < kEnd && (emulator.WatchAt(a) & kind)) ++a;
        char line[32];
        std::snprintf(line, sizeof line, "%c %.8X %u\n", letter, begin, a - begin);
        out += line;
    }
}

}  // namespace

std::string DebugMarksPathFor(const std::string& flashPath) {
    std::string path = InfoPathFor(flashPath);
    // The info path always ends in "ifo".
    path.replace(path.size() - 3, 3, "brk");
    return path;
}

bool IsWatchableRange(uint32_t address, uint64_t length) {
    const uint64_t offset = uint64_t{address} - CEmulator::kStackBase;
    return address >= CEmulator::kStackBase && length >= 1 &&
           offset + length <= CEmulator::kStackSize;
}

DebugMarksReadResult ReadDebugMarks(std::string_view file, CEmulator& emulator) {
    DebugMarksReadResult result;
    WatchCounts watches;
    std::vector<uint32_t> breakpoints;
    uint32_t lineNumber = 0;
    while (!file.empty()) {
        const size_t end = file.find('\n');
        const std::string_view line = file.substr(0, end);
        file.remove_prefix(end == std::string_view::npos ? file.size() : end + 1);
        ++lineNumber;
        std::string_view rest = line;
        const std::string_view first = NextField(rest);
        if (first.empty() || first[0] == '#') continue;
        if (ReadMarkLine(line, emulator, watches, breakpoints)) {
            ++result.marksRead;
        } else if (result.badLines++ == 0) {
            result.firstBadLine = lineNumber;
            result.firstBadText = Quote(line);
        }
    }
    emulator.SetBreakpoints(breakpoints);
    watches.Apply(emulator);
    return result;
}

std::string WriteDebugMarks(const CEmulator& emulator) {
    const std::vector<uint32_t> breakpoints = emulator.Breakpoints();
    if (breakpoints.empty() && !emulator.HasWatches()) return {};
    std::string out(kFirstLine);
    out.reserve(out.size() + 9 * breakpoints.size());
    for (const uint32_t address : breakpoints) {
        char line[16];
        std::snprintf(line, sizeof line, "%.8X\n", address);
        out += line;
    }
    if (emulator.HasWatches()) {
        WriteWatchRuns(emulator, CEmulator::kWatchRead, 'R', out);
        WriteWatchRuns(emulator, CEmulator::kWatchWrite, 'W', out);
    }
    return out;
}
