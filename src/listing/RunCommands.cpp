#include "listing/RunCommands.h"

#include <cstdio>

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

RunEffect StepRefresh() {
    return {.goToCurrentInstruction = true,
            .repaintView = true,
            .repaintRegisters = true,
            .repaintMemory = true,
            .repaintPhone = true};
}

bool LongRun::Begin(CTravikDoc& doc, uint32_t target, uint64_t slice) {
    active_ = true;
    executed_ = 0;
    target_ = target;
    return Continue(doc, slice);
}

bool LongRun::Continue(CTravikDoc& doc, uint64_t slice) {
    if (!active_) return true;
    const RunResult result = doc.emulator.RunUntil(target_, slice);
    executed_ += result.executed;
    if (result.reached) active_ = false;
    return result.reached;
}

void LongRun::Interrupt(CTravikDoc& doc) {
    if (!active_) return;
    active_ = false;
    char line[160];
    std::snprintf(line, sizeof line, "Run to %.8X stopped at %.8X after %llu instructions", target_,
                  doc.emulator.r[15] - 4, static_cast<unsigned long long>(executed_));
    doc.emulator.ReportWarning(line);
}

RunEffect ExecuteRunCommand(CTravikDoc& doc, FrameServices& frame, RunCommand command,
                            uint32_t cursorOffset, LongRun& longRun) {
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
            if (longRun.Active()) {
                longRun.Interrupt(doc);
                return StepRefresh();
            }
            emu.runState = CEmulator::kSuspended;
            return {};
        case RunCommand::kStop:
            longRun.Interrupt(doc);
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
            effect.longRunPending = !longRun.Begin(doc, *target);
            return effect;
        }
        case RunCommand::kStepToCursor: {
            emu.SaveSnapshot();
            RunEffect effect = StepRefresh();
            effect.longRunPending = !longRun.Begin(doc, cursorAddress);
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
