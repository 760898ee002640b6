#pragma once

#include <cstdint>
#include <string>

class CTravikDoc;
class CEmulator;
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
    kRun,
    kToggleBreakpoint,
    kClearBreakpoints,
};

// Whether the command can act in the emulator's run state (0 stopped, 1 suspended,
// 2 running). While a long run is under way only Break and Stop can, and the
// breakpoint commands, which act in every state.
bool IsRunCommandEnabled(RunCommand command, uint32_t runState, bool longRunActive = false);

// What a command asks of the windows afterwards.
struct RunEffect {
    bool goToCurrentInstruction = false;  // put the listing cursor on (R15 - 4) & 0xFFFFF
    bool repaintView = false;
    bool repaintRegisters = false;
    bool repaintMemory = false;
    bool repaintPhone = false;
    bool refreshCallStack = false;
    bool longRunPending = false;  // Run, Step Over, Step to Cursor: not over after one slice
};

// The image offset of the emulator's current instruction.
uint32_t CurrentInstructionOffset(const CTravikDoc& doc);

// Run, Step Over and Step to Cursor may run for ever in code that never arrives, so
// they run in slices (CEmulator's long run): the first inside the command, the rest
// from the window's idle time, so that the window repaints between slices and Break,
// Stop and Esc can end the run. A slice should take a few milliseconds; the window
// sizes the next one from the rate of the last (NextRunSlice).
inline constexpr uint64_t kRunSlice = 2'000'000;
inline constexpr uint64_t kFirstRunSlice = 200'000;
inline constexpr uint64_t kMinRunSlice = 10'000;
inline constexpr uint64_t kMaxRunSlice = 100'000'000;
inline constexpr int64_t kRunSliceTargetNs = 4'000'000;

// The size of the next slice after one of `executed` instructions that took
// `elapsedNs` nanoseconds: as many as take kRunSliceTargetNs at that rate, growing at
// most eightfold a slice.
uint64_t NextRunSlice(uint64_t executed, int64_t elapsedNs);

// Carries out a command (the caller checks that it is enabled). `cursorOffset` is the
// listing cursor's item; the warnings of a Start go to `frame`.
RunEffect ExecuteRunCommand(CTravikDoc& doc, FrameServices& frame, RunCommand command,
                            uint32_t cursorOffset, uint64_t slice = kRunSlice);

// The effect of a finished step: the full refresh of Step Into.
RunEffect StepRefresh();

// Ends the emulator's long run that is over (it stopped, arrived or was interrupted):
// an emulation left Running by Run is Suspended again, a breakpoint or watchpoint
// stop gets its line in the warnings bar, and the windows get the full refresh of a
// step.
RunEffect FinishLongRun(CTravikDoc& doc);

// The warnings-bar line that tells why a long run stopped, or empty when the stop
// needs none (it arrived, was interrupted, or the emulator wrote its own warning).
std::string LongRunStopText(const CEmulator& emulator);
