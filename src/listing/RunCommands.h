#pragma once

#include <cstdint>

class CTravikDoc;
class FrameServices;

// The emulator's commands in a listing window.
enum class RunCommand {
    kStart,
    kAnimate,
    kStepInto,
    kStepOver,
    kSkipToCursor,
    kStepToCursor,
    kBreak,
    kStop,
};

// Whether the command can act in the emulator's run state (0 stopped, 1 suspended,
// 2 running). While a long run is under way only Break and Stop can.
bool IsRunCommandEnabled(RunCommand command, uint32_t runState, bool longRunActive = false);

// What a command asks of the windows afterwards.
struct RunEffect {
    bool goToCurrentInstruction = false;  // put the listing cursor on (R15 - 4) & 0xFFFFF
    bool repaintView = false;
    bool repaintRegisters = false;
    bool repaintMemory = false;
    bool repaintPhone = false;
    bool refreshCallStack = false;
    bool longRunPending = false;  // Step Over / Step to Cursor did not arrive in one slice
};

// The image offset of the emulator's current instruction.
uint32_t CurrentInstructionOffset(const CTravikDoc& doc);

// Step Over and Step to Cursor may run for ever in code that never arrives, so they
// run in slices of this many instructions (a few milliseconds): the first inside the
// command, the rest from the window's idle time (CEmulator's long run), so that the
// window repaints between slices and Break, Stop and Esc can end the run.
inline constexpr uint64_t kRunSlice = 2'000'000;

// Carries out a command (the caller checks that it is enabled). `cursorOffset` is the
// listing cursor's item; the warnings of a Start go to `frame`.
RunEffect ExecuteRunCommand(CTravikDoc& doc, FrameServices& frame, RunCommand command,
                            uint32_t cursorOffset, uint64_t slice = kRunSlice);

// The effect of a finished step: the full refresh of Step Into.
RunEffect StepRefresh();
