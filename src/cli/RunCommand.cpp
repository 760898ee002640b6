// `run`: opens a flash file, starts the emulator at an image offset, steps or runs it
// and prints the warnings, the registers, the flags, the call stack and optionally
// the phone's LCD buffer.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "debugger/PhoneScreen.h"
#include "document/DebugMarksFile.h"
#include "document/FileIo.h"
#include "document/RamFile.h"
#include "session/DebugSession.h"

namespace {

constexpr const char* kRegisterNames[16] = {"R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7",
                                            "H0", "H1", "H2", "H3", "H4", "SP", "LR", "PC"};
constexpr size_t kMaxCallsShown = 1000;

// Fills the stack RAM from the start of a RAM image file as Load RAM does: a short
// file is loaded as far as it goes and reported; a long one gives its first bytes.
// False, with the file and the reason on stderr, when it cannot be read.
bool LoadRamImage(CliFrame& frame, CTravikDoc& doc, const std::string& path) {
    std::string reason;
    switch (LoadRamFile(doc, path, &reason)) {
        case RamFileResult::kOk:
            return true;
        case RamFileResult::kShort:
            frame.ShowMessage(kWrongRamFileSize);
            return true;
        default:
            std::fprintf(stderr, "%s: %s: %s\n", kCannotOpenFile, path.c_str(), reason.c_str());
            return false;
    }
}

// An address the emulator can reach: in the flash image or the stack RAM.
bool IsPhoneAddress(const CTravikDoc& doc, uint32_t address) {
    return (address >= CEmulator::kFlashBase &&
            address - CEmulator::kFlashBase < doc.ImageSize()) ||
           (address >= kRamBase && address - kRamBase < doc.RamSize());
}

// A watchpoint range as --watch-read and --watch-write take it: ADDR[:LEN], a hex phone
// address of the stack RAM and a decimal byte count (1 when none is given).
struct WatchOption {
    const char* option;
    std::string text;
    uint8_t kind;
};

bool SetWatchOption(DebugSession& session, const WatchOption& watch) {
    const size_t colon = watch.text.find(':');
    const auto address = ParseHex(watch.text.substr(0, colon));
    const auto length = colon == std::string::npos ? std::optional<uint64_t>(1)
                                                   : ParseDecimal(watch.text.substr(colon + 1));
    if (!address || !length || !IsWatchableRange(*address, *length)) {
        std::fprintf(stderr,
                     "%s %s: not a stack RAM range; give ADDR[:LEN], a hex address from "
                     "100000 to 10FFFF and a decimal length of 1 or more bytes that ends "
                     "inside the RAM\n",
                     watch.option, watch.text.c_str());
        return false;
    }
    return session.SetWatchRange(static_cast<uint32_t>(*address), static_cast<uint32_t>(*length),
                                 watch.kind, true);
}

// Warnings are printed as they come: a long run may write millions of them.
struct WarningPrinter final : DebugSessionObserver {
    void OnWarning(const std::string& line) override {
        std::string out = line;
        out.push_back('\0');
        WriteEscaped(out);
    }
};

// The line that says why a free run ended, and how many instructions it ran.
void PrintRunStop(const CEmulator& emu, const RunResult& run) {
    const WatchHit& hit = emu.LastWatchHit();
    switch (run.stop) {
        case RunStop::kBreakpoint:
            std::printf("stopped: breakpoint %.8X\n", emu.r[15] - 4);
            break;
        case RunStop::kReadWatch:
        case RunStop::kWriteWatch:
            std::printf("stopped: %s watchpoint %.8X by %.8X value %.8X\n",
                        hit.write ? "write" : "read", hit.address, hit.instruction, hit.value);
            break;
        case RunStop::kWarning:
            std::printf("stopped: warning\n");
            break;
        default:
            std::printf("stopped: limit\n");
            break;
    }
    std::printf("instructions: %llu\n", static_cast<unsigned long long>(run.executed));
}

// The I/O access map: an address a line, with its RAM name, then its instructions.
void PrintIoMap(const CTravikDoc& doc, const IoAccessMap& map) {
    std::printf("io map:\n");
    for (const IoAddressCounts& counts : map.Sorted()) {
        std::string label = IoAddressName(doc, counts.address);
        if (!label.empty()) label.insert(label.begin(), ' ');
        std::printf("%.8X%s: %s\n", counts.address, label.c_str(), IoAddressSummary(counts).c_str());
        for (const IoInstructionCounts& by : counts.instructions)
            std::printf("  %.8X %s\n", by.instruction, IoInstructionSummary(by).c_str());
    }
}

// Which instruction last wrote the display byte of pixel X,Y ("X,Y" as --lcd-who
// takes it; false when it is not a pixel of the display).
std::optional<std::pair<int, int>> ParsePixel(const std::string& text) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos) return {};
    const auto x = ParseDecimal(text.substr(0, comma));
    const auto y = ParseDecimal(text.substr(comma + 1));
    if (!x || !y || *x >= uint64_t(PhoneScreen::kLcdWidth) || *y >= uint64_t(PhoneScreen::kLcdHeight))
        return {};
    return std::pair<int, int>(static_cast<int>(*x), static_cast<int>(*y));
}

void PrintLcd(const CTravikDoc& doc) {
    std::printf("lcd:\n");
    for (int row = 0; row < PhoneScreen::kLcdHeight; ++row) {
        char line[PhoneScreen::kLcdWidth + 1];
        for (int column = 0; column < PhoneScreen::kLcdWidth; ++column) {
            const auto at = PhoneScreen::LcdBitOf(column, row);
            const bool set =
                at.ramIndex < doc.RamSize() && ((doc.RamBytes()[at.ramIndex] >> at.bit) & 1);
            line[column] = set ? '#' : '.';
        }
        line[PhoneScreen::kLcdWidth] = '\0';
        std::printf("%s\n", line);
    }
}

}  // namespace

int RunRunCommand(const std::vector<std::string>& args) {
    std::string path, ramPath, saveRamPath;
    std::optional<uint32_t> start, until;
    uint64_t steps = 0, maxSteps = 100'000'000;
    bool over = false, lcd = false, freeRun = false, ioMap = false;
    std::vector<std::pair<int, int>> pixels;
    std::vector<uint32_t> breakpoints;
    std::vector<WatchOption> watches;
    int modes = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--start" && hasValue) {
            start = ParseHex(args[++i]);
            if (!start) return UsageError("run");
        } else if (a == "--steps" && hasValue) {
            const auto n = ParseDecimal(args[++i]);
            if (!n) return UsageError("run");
            steps = *n;
            ++modes;
        } else if (a == "--until" && hasValue) {
            until = ParseHex(args[++i]);
            if (!until) return UsageError("run");
            ++modes;
        } else if (a == "--run") {
            freeRun = true;
            ++modes;
        } else if (a == "--break" && hasValue) {
            const auto address = ParseHex(args[++i]);
            if (!address) return UsageError("run");
            breakpoints.push_back(*address);
        } else if ((a == "--watch-read" || a == "--watch-write") && hasValue) {
            const bool read = a == "--watch-read";
            watches.push_back({read ? "--watch-read" : "--watch-write", args[++i],
                               read ? CEmulator::kWatchRead : CEmulator::kWatchWrite});
        } else if (a == "--over") {
            over = true;
            ++modes;
        } else if (a == "--max-steps" && hasValue) {
            const auto n = ParseDecimal(args[++i]);
            if (!n) return UsageError("run");
            maxSteps = *n;
        } else if (a == "--ram" && hasValue && !args[i + 1].empty()) {
            ramPath = args[++i];
        } else if (a == "--save-ram" && hasValue && !args[i + 1].empty()) {
            saveRamPath = args[++i];
        } else if (a == "--lcd") {
            lcd = true;
        } else if (a == "--io-map") {
            ioMap = true;
        } else if (a == "--lcd-who" && hasValue) {
            const auto pixel = ParsePixel(args[++i]);
            if (!pixel) {
                std::fprintf(stderr, "--lcd-who %s: give X,Y, a column 0-%d and a row 0-%d\n",
                             args[i].c_str(), PhoneScreen::kLcdWidth - 1, PhoneScreen::kLcdHeight - 1);
                return UsageError("run");
            }
            pixels.push_back(*pixel);
        } else if (path.empty() && !a.empty() && a[0] != '-') {
            path = a;
        } else {
            return UsageError("run");
        }
    }
    if (path.empty() || !start || modes > 1) return UsageError("run");
    if (!freeRun && (!breakpoints.empty() || !watches.empty())) {
        std::fprintf(stderr, "--break, --watch-read and --watch-write need --run\n");
        return UsageError("run");
    }

    CliFrame frame;
    auto doc = OpenForCli(frame, path);
    if (!doc) return kExitOpenFailed;
    // A target that will be refused is refused before the run rather than after it.
    if (!saveRamPath.empty()) {
        const std::string refusal = doc->OutputRefusal(saveRamPath);
        if (!refusal.empty()) {
            frame.ShowMessage(refusal);
            return kExitOpenFailed;
        }
    }
    if (*start % 2 != 0 || *start >= doc->ImageSize()) {
        std::fprintf(stderr, "--start %x: not an even image offset below %x\n", *start,
                     doc->ImageSize());
        return UsageError("run");
    }
    if (until && !IsPhoneAddress(*doc, *until)) {
        std::fprintf(stderr,
                     "--until %x: not a phone address of this image; --until takes a phone "
                     "address (image offset + 200000, or stack RAM from 100000)",
                     *until);
        if (*until < doc->ImageSize())
            std::fprintf(stderr, ": for image offset %x give %x", *until,
                         *until + CEmulator::kFlashBase);
        std::fputs("\n", stderr);
        return UsageError("run");
    }
    // Only the marks of the command line count: a script must not depend on the side
    // file a window left beside the flash file.
    DebugSession& session = doc->Session();
    session.ClearAllBreakpoints();
    session.ClearAllWatchpoints();
    for (const uint32_t address : breakpoints) {
        if (session.SetBreakpoint(address, true)) continue;
        std::fprintf(stderr,
                     "--break %x: not the phone address of a halfword of this image (image "
                     "offset + 200000, even)",
                     address);
        if (address < doc->ImageSize() && address % 2 == 0)
            std::fprintf(stderr, ": for image offset %x give %x", address,
                         address + CEmulator::kFlashBase);
        std::fputs("\n", stderr);
        return UsageError("run");
    }
    for (const WatchOption& watch : watches) {
        if (!SetWatchOption(session, watch)) return UsageError("run");
    }
    if (!ramPath.empty() && !LoadRamImage(frame, *doc, ramPath)) return kExitOpenFailed;

    // (The empty line that every Start writes comes first, before anything else.)
    session.RecordIoAccesses(ioMap);
    session.RecordPixelWriters(!pixels.empty());
    WarningPrinter printer;
    session.Subscribe(printer);
    session.Execute(RunCommand::kStart, *start);

    uint64_t executed = 0;
    bool limited = false;
    using Batch = DebugSession::BatchRun;
    if (freeRun) {
        const RunResult run = session.RunBatch(Batch::kFree, 0, maxSteps);
        executed = run.executed;
        limited = run.stop == RunStop::kNone;
        PrintRunStop(session.Emulator(), run);
    } else if (until || over) {
        const RunResult run =
            session.RunBatch(over ? Batch::kOver : Batch::kUntil, until.value_or(0), maxSteps);
        executed = run.executed;
        limited = !run.reached;
    } else {
        for (; executed < steps && executed < maxSteps; ++executed)
            session.Execute(RunCommand::kStepInto, 0);
        limited = executed < steps;
    }
    session.Unsubscribe(printer);
    if (limited)
        std::fprintf(stderr,
                     "stopped after %llu instructions: the step bound ended the run "
                     "(raise it with --max-steps)\n",
                     static_cast<unsigned long long>(executed));

    const CEmulator& emu = session.Emulator();
    std::printf("registers:\n");
    for (int i = 0; i < 16; ++i) std::printf("%s = %.8X\n", kRegisterNames[i], emu.r[i]);
    const uint32_t cpsr = emu.ComposedCpsr();
    auto bit = [cpsr](int n) { return static_cast<int>((cpsr >> n) & 1); };
    std::printf("N:%d Z:%d C:%d V:%d T:%d\n", bit(31), bit(30), bit(29), bit(28), bit(5));
    std::printf("call stack:\n");
    // Compiled code returning with BX leaves its calls on the list: show the newest.
    const std::vector<CallRecord>& calls = emu.callTracks[1];
    const size_t shown = std::min<size_t>(calls.size(), kMaxCallsShown);
    if (shown < calls.size()) std::printf("(%zu older calls not shown)\n", calls.size() - shown);
    for (size_t i = calls.size() - shown; i < calls.size(); ++i)
        std::printf("%.8X -> %.8X\n", calls[i].callSite, calls[i].target);
    if (lcd) PrintLcd(*doc);
    if (ioMap) PrintIoMap(*doc, session.IoMap());
    for (const auto& [x, y] : pixels)
        std::printf("%s\n", PixelWriterText(*doc, session.LcdWriters(), x, y).c_str());
    if (!saveRamPath.empty()) {
        int error = 0;
        switch (SaveRamFile(*doc, saveRamPath, &error)) {
            case RamFileResult::kOk:
                break;
            case RamFileResult::kRefused:
                frame.ShowMessage(doc->OutputRefusal(saveRamPath));
                return kExitOpenFailed;
            case RamFileResult::kCannotOpen:
                PrintFileError(kCannotOpenFile, saveRamPath, error);
                return kExitOpenFailed;
            default:
                PrintFileError(kCannotWriteFile, saveRamPath, error);
                return kExitOpenFailed;
        }
    }
    return kExitOk;
}
