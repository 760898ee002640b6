// `run`: opens a flash file, starts the emulator at an image offset, steps or runs it
// and prints the warnings, the registers, the flags, the call stack and optionally
// the phone's LCD buffer.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace {

constexpr const char* kSynopsis =
    "FLASH --start OFF [--steps N | --until ADDR | --over] [--max-steps N] [--ram FILE] [--lcd]";
constexpr const char* kRegisterNames[16] = {"R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7",
                                            "H0", "H1", "H2", "H3", "H4", "SP", "LR", "PC"};
constexpr uint32_t kLcdOffset = 0x7600;
constexpr int kLcdWidth = 84;
constexpr int kLcdHeight = 48;

// Fills the stack RAM from the start of a RAM image file as Load RAM does: a short
// file is loaded as far as it goes and reported; a long one gives its first bytes.
void LoadRamImage(CliFrame& frame, CTravikDoc& doc, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        frame.ShowMessage("Cannot open file");
        return;
    }
    const size_t read = std::fread(doc.ramBytes, 1, doc.ramSize, file);
    std::fclose(file);
    if (read < doc.ramSize) frame.ShowMessage("Wrong file size");
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
    std::string path, ramPath;
    std::optional<uint32_t> start, until;
    uint64_t steps = 0, maxSteps = 100'000'000;
    bool over = false, lcd = false;
    int modes = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--start" && hasValue) {
            start = ParseHex(args[++i]);
            if (!start) return UsageError("run", kSynopsis);
        } else if (a == "--steps" && hasValue) {
            const auto n = ParseDecimal(args[++i]);
            if (!n) return UsageError("run", kSynopsis);
            steps = *n;
            ++modes;
        } else if (a == "--until" && hasValue) {
            until = ParseHex(args[++i]);
            if (!until) return UsageError("run", kSynopsis);
            ++modes;
        } else if (a == "--over") {
            over = true;
            ++modes;
        } else if (a == "--max-steps" && hasValue) {
            const auto n = ParseDecimal(args[++i]);
            if (!n) return UsageError("run", kSynopsis);
            maxSteps = *n;
        } else if (a == "--ram" && hasValue) {
            ramPath = args[++i];
        } else if (a == "--lcd") {
            lcd = true;
        } else if (path.empty() && !a.empty() && a[0] != '-') {
            path = a;
        } else {
            return UsageError("run", kSynopsis);
        }
    }
    if (path.empty() || !start || modes > 1) return UsageError("run", kSynopsis);

    CliFrame frame;
    auto doc = OpenForCli(frame, path);
    if (!doc) return kExitOpenFailed;
    if (!ramPath.empty()) LoadRamImage(frame, *doc, ramPath);

    // The warnings bar starts afresh at the empty line of every Start.
    std::vector<std::string> warnings;
    CEmulator& emu = doc->emulator;
    emu.warningSink = [&warnings](const std::string& line) {
        if (line.empty()) warnings.clear();
        warnings.push_back(line);
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
        std::fprintf(stderr, "stopped after %llu instructions\n",
                     static_cast<unsigned long long>(executed));

    for (const std::string& line : warnings) std::printf("%s\n", line.c_str());
    std::printf("registers:\n");
    for (int i = 0; i < 16; ++i) std::printf("%s = %.8X\n", kRegisterNames[i], emu.r[i]);
    const uint32_t cpsr = emu.ComposeCpsr();
    auto bit = [cpsr](int n) { return static_cast<int>((cpsr >> n) & 1); };
    std::printf("N:%d Z:%d C:%d V:%d T:%d\n", bit(31), bit(30), bit(29), bit(28), bit(5));
    std::printf("call stack:\n");
    for (const CallRecord& record : emu.callTracks[1])
        std::printf("%.8X -> %.8X\n", record.callSite, record.target);
    if (lcd) PrintLcd(*doc);
    return kExitOk;
}
