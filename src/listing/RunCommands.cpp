#include "listing/RunCommands.h"

#include "document/CTravikDoc.h"
#include "shell/FrameServices.h"

bool IsRunCommandEnabled(RunCommand command, uint32_t runState, bool longRunActive) {
    if (longRunActive) return command == RunCommand::kBreak || command == RunCommand::kStop;
    switch (command) {
        case RunCommand::kStart:
            return runState == CEmulator::kStopped;
        case RunCommand::kAnimate:
        case RunCommand::kStepOver:
        case RunCommand::kSkipToCursor:
        case RunCommand::kStepToCursor:
            return runState == CEmulator::kSuspended;
        case RunCommand::kStepInto:
        case RunCommand::kStop:
            return runState == CEmulator::kSuspended || runState == CEmulator::kRunning;
        case RunCommand::kBreak:
            return runState == CEmulator::kRunning;
    }
    return false;
}

uint32_t CurrentInstructionOffset(const CTravikDoc& doc) {
    return (doc.emulator.r[15] - 4) & 0xFFFFF;
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

RunEffect ExecuteRunCommand(CTravikDoc& doc, FrameServices& frame, RunCommand command,
                            uint32_t cursorOffset, uint64_t slice) {
    CEmulator& emu = doc.emulator;
    const uint32_t cursorAddress = cursorOffset + CEmulator::kFlashBase;
    switch (command) {
        case RunCommand::kStart:
            emu.warningSink = [&frame](const std::string& line) { frame.AddWarning(line); };
            emu.Start(cursorAddress, doc.image, doc.imageSize, doc.ramBytes,
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
                return StepRefresh();
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
            RunEffect effect = StepRefresh();
            effect.longRunPending = !emu.BeginLongRun(*target, slice);
            return effect;
        }
        case RunCommand::kStepToCursor: {
            emu.SaveSnapshot();
            RunEffect effect = StepRefresh();
            effect.longRunPending = !emu.BeginLongRun(cursorAddress, slice);
            return effect;
        }
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
