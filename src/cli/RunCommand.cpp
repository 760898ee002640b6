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
#include "document/FileIo.h"
#include "document/RamFile.h"

namespace {

constexpr const char* kRegisterNames[16] = {"R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7",
                                            "H0", "H1", "H2", "H3", "H4", "SP", "LR", "PC"};
constexpr uint32_t kLcdOffset = 0x7600;
constexpr int kLcdWidth = 84;
constexpr int kLcdHeight = 48;
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
    return (address >= CEmulator::kFlashBase && address - CEmulator::kFlashBase < doc.imageSize) ||
           (address >= kRamBase && address - kRamBase < doc.ramSize);
}

void PrintLcd(const CTravikDoc& doc) {
    std::printf("lcd:\n");
    for (int row = 0; row < kLcdHeight; ++row) {
        char line[kLcdWidth + 1];
        for (int column = 0; column < kLcdWidth; ++column) {
            const uint32_t index = kLcdOffset + kLcdWidth * (row / 8) + column;
            const bool set = index < doc.ramSize && ((doc.ramBytes[index] >> (row % 8)) & 1);
            line[column] = set ? '#' : '.';
        }
        line[kLcdWidth] = '\0';
        std::printf("%s\n", line);
    }
}

}  // namespace

int RunRunCommand(const std::vector<std::string>& args) {
    std::string path, ramPath, saveRamPath;
    std::optional<uint32_t> start, until;
    uint64_t steps = 0, maxSteps = 100'000'000;
    bool over = false, lcd = false;
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
        } else if (a == "--over") {
            over = true;
            ++modes;
        } else if (a == "--max-steps" && hasValue) {
            const auto n = ParseDecimal(args[++i]);
            if (!n) return UsageError("run");
            maxSteps = *n;
        } else if (a == "--ram" && hasValue) {
            ramPath = args[++i];
        } else if (a == "--save-ram" && hasValue && !args[i + 1].empty()) {
            saveRamPath = args[++i];
        } else if (a == "--lcd") {
            lcd = true;
        } else if (path.empty() && !a.empty() && a[0] != '-') {
            path = a;
        } else {
            return UsageError("run");
        }
    }
    if (path.empty() || !start || modes > 1) return UsageError("run");

    CliFrame frame;
    auto doc = OpenForCli(frame, path);
    if (!doc) return kExitOpenFailed;
    if (*start % 2 != 0 || *start >= doc->imageSize) {
        std::fprintf(stderr, "--start %x: not an even image offset below %x\n", *start,
                     doc->imageSize);
        return UsageError("run");
    }
    if (until && !IsPhoneAddress(*doc, *until)) {
        std::fprintf(stderr,
                     "--until %x: not a phone address of this image; --until takes a phone "
                     "address (image offset + 200000, or stack RAM from 100000)",
                     *until);
        if (*until < doc->imageSize)
            std::fprintf(stderr, ": for image offset %x give %x", *until,
                         *until + CEmulator::kFlashBase);
        std::fputs("\n", stderr);
        return UsageError("run");
    }
    if (!ramPath.empty() && !LoadRamImage(frame, *doc, ramPath)) return kExitOpenFailed;

    // Warnings are printed as they come: a long run may write millions of them. (The
    // empty line that every Start writes comes first, before anything else.)
    CEmulator& emu = doc->emulator;
    emu.warningSink = [](const std::string& line) {
        std::string out = line;
        out.push_back('\0');
        WriteEscaped(out);
    };
    emu.Start(*start + CEmulator::kFlashBase, doc->image, doc->imageSize, doc->ramBytes,
              CEmulator::kInitialStackPointer);

    uint64_t executed = 0;
    bool limited = false;
    if (until || over) {
        emu.SaveSnapshot();
        const RunResult run = over ? emu.StepOver(maxSteps) : emu.RunUntil(*until, maxSteps);
        executed = run.executed;
        limited = !run.reached;
    } else {
        for (; executed < steps && executed < maxSteps; ++executed) {
            emu.SaveSnapshot();
            emu.Step();
        }
        limited = executed < steps;
    }
    if (limited)
        std::fprintf(stderr,
                     "stopped after %llu instructions: the step bound ended the run "
                     "(raise it with --max-steps)\n",
                     static_cast<unsigned long long>(executed));

    std::printf("registers:\n");
    for (int i = 0; i < 16; ++i) std::printf("%s = %.8X\n", kRegisterNames[i], emu.r[i]);
    const uint32_t cpsr = emu.ComposeCpsr();
    auto bit = [cpsr](int n) { return static_cast<int>((cpsr >> n) & 1); };
    std::printf("N:%d Z:%d C:%d V:%d T:%d\n", bit(31), bit(30), bit(29), bit(28), bit(5));
    std::printf("call stack:\n");
    // Compiled code returning with BX leaves its calls on the list: show the newest.
    const std::vector<CallRecord>& calls = emu.callTracks[1];
    const size_t shown = std::min<size_t>(calls.size(), kMaxCallsShown);
    if (shown < calls.size())
        std::printf("(%zu older calls not shown)\n", calls.size() - shown);
    for (size_t i = calls.size() - shown; i < calls.size(); ++i)
        std::printf("%.8X -> %.8X\n", calls[i].callSite, calls[i].target);
    if (lcd) PrintLcd(*doc);
    if (!saveRamPath.empty()) {
        int error = 0;
        switch (SaveRamFile(*doc, saveRamPath, &error)) {
            case RamFileResult::kOk:
                break;
            case RamFileResult::kIsFlashFile:
                frame.ShowMessage(doc->FlashFileRefusal(saveRamPath));
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
