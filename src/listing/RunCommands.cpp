#include "listing/RunCommands.h"

#include <algorithm>
#include <cstdio>

#include "document/CTravikDoc.h"
#include "shell/FrameServices.h"

bool IsRunCommandEnabled(RunCommand command, uint32_t runState, bool longRunActive) {
    const bool suspended = runState == CEmulator::kSuspended && !longRunActive;
    const bool open = runState == CEmulator::kSuspended || runState == CEmulator::kRunning;
    switch (command) {
        case RunCommand::kStart:
            return runState == CEmulator::kStopped && !longRunActive;
        case RunCommand::kAnimate:
        case RunCommand::kRun:
        case RunCommand::kStepOver:
        case RunCommand::kSkipToCursor:
        case RunCommand::kStepToCursor:
            return suspended;
        case RunCommand::kStepInto:
            return open && !longRunActive;
        case RunCommand::kStop:
            return open;
        case RunCommand::kBreak:
            return runState == CEmulator::kRunning || longRunActive;
        // A breakpoint set during a run counts from the next slice on.
        case RunCommand::kToggleBreakpoint:
        case RunCommand::kClearBreakpoints:
            return true;
    }
    return false;
}

uint64_t NextRunSlice(uint64_t executed, int64_t elapsedNs) {
    const uint64_t grown = std::max(executed, kMinRunSlice) * 8;
    if (elapsedNs <= 0) return std::clamp(grown, kMinRunSlice, kMaxRunSlice);
    const double perNs = static_cast<double>(executed) / static_cast<double>(elapsedNs);
    const double wanted = perNs * static_cast<double>(kRunSliceTargetNs);
    const uint64_t next =
        wanted >= static_cast<double>(kMaxRunSlice) ? kMaxRunSlice : static_cast<uint64_t>(wanted);
    return std::clamp(std::min(next, grown), kMinRunSlice, kMaxRunSlice);
}

uint32_t CurrentInstructionOffset(const CTravikDoc& doc) {
    return doc.emulator.CurrentInstruction() & 0xFFFFF;
}

// The emulated calls and returns of a step change the call stack too; the bar gathers
// the requests and rebuilds only what changed.
RunEffect StepRefresh() {
    return {.goToCurrentInstruction = true,
            .repaintView = true,
            .repaintRegisters = true,
            .repaintMemory = true,
            .repaintPhone = true,
            .refreshCallStack = true};
}

std::string LongRunStopText(const CEmulator& emu) {
    char text[160];
    switch (emu.LongRunStop()) {
        case RunStop::kBreakpoint:
            std::snprintf(text, sizeof text, "Breakpoint at %.8X", emu.CurrentInstruction());
            return text;
        case RunStop::kReadWatch:
        case RunStop::kWriteWatch: {
            const WatchHit& hit = emu.LastWatchHit();
            // The value as wide as the access: 2, 4 or 8 digits.
            const int digits = std::clamp(2 * int{hit.size}, 2, 8);
            std::snprintf(text, sizeof text, "Watchpoint: %.8X %s %.*X %s %.8X", hit.instruction,
                          hit.write ? "wrote" : "read", digits, hit.value,
                          hit.write ? "to" : "from", hit.address);
            return text;
        }
        default:
            return {};
    }
}

RunEffect FinishLongRun(CTravikDoc& doc) {
    CEmulator& emu = doc.emulator;
    if (emu.runState == CEmulator::kRunning) emu.runState = CEmulator::kSuspended;
    const std::string line = LongRunStopText(emu);
    if (!line.empty()) emu.ReportWarning(line);
    return StepRefresh();
}

namespace {

// A run that goes on refreshes only the windows it keeps live; the rest follows at its
// end.
RunEffect Begun(CTravikDoc& doc, bool over) {
    if (over) return FinishLongRun(doc);
    return {.repaintRegisters = true, .repaintPhone = true, .longRunPending = true};
}

}  // namespace

RunEffect ExecuteRunCommand(CTravikDoc& doc, FrameServices& frame, RunCommand command,
                            uint32_t cursorOffset, uint64_t slice) {
    CEmulator& emu = doc.emulator;
    const uint32_t cursorAddress = cursorOffset + CEmulator::kFlashBase;
    switch (command) {
        case RunCommand::kStart:
            emu.warningSink = [&frame](const std::string& line) { frame.AddWarning(line); };
            emu.Start(cursorAddress, doc.Image(), doc.ImageSize(), doc.EmulatorRam(),
                      CEmulator::kInitialStackPointer);
            return {.repaintView = true,
                    .repaintRegisters = true,
                    .repaintPhone = true,
                    .refreshCallStack = true};
        case RunCommand::kAnimate:
            emu.runState = CEmulator::kRunning;
            return {};
        case RunCommand::kBreak:
            if (emu.LongRunActive()) {
                emu.InterruptLongRun();
                return FinishLongRun(doc);
            }
            emu.runState = CEmulator::kSuspended;
            return {};
        case RunCommand::kStop:
            emu.InterruptLongRun();
            emu.runState = CEmulator::kStopped;
            return {.repaintView = true, .refreshCallStack = true};
        case RunCommand::kStepInto:
            emu.SaveSnapshot();
            emu.Step();
            return StepRefresh();
        case RunCommand::kStepOver: {
            emu.SaveSnapshot();
            const std::optional<uint32_t> target = emu.StepOverTarget();
            if (!target) {
                emu.Step();
                return StepRefresh();
            }
            return Begun(doc, emu.BeginLongRun(*target, slice));
        }
        case RunCommand::kStepToCursor:
            emu.SaveSnapshot();
            return Begun(doc, emu.BeginLongRun(cursorAddress, slice));
        case RunCommand::kRun:
            emu.SaveSnapshot();
            // Running: Break is enabled, and a warning suspends the run as it suspends an
            // animation.
            emu.runState = CEmulator::kRunning;
            return Begun(doc, emu.BeginFreeRun(slice));
        case RunCommand::kToggleBreakpoint:
            doc.ToggleBreakpoint(cursorOffset);
            return {.repaintView = true};
        case RunCommand::kClearBreakpoints:
            doc.ClearAllBreakpoints();
            return {.repaintView = true};
        case RunCommand::kSkipToCursor:
            emu.SaveSnapshot();
            emu.SkipTo(cursorAddress);
            return {.goToCurrentInstruction = true,
                    .repaintView = true,
                    .repaintRegisters = true,
                    .repaintPhone = true,
                    .refreshCallStack = true};
    }
    return {};
}
