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
// 2 running). While a long run (see LongRun) is under way only Break and Stop can.
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

// Step Over and Step to Cursor may run for ever in code that never arrives. They run
// in slices: the first inside the command, the rest from the window's idle time, so
// that it repaints between slices and Break, Stop and Esc can end the run.
class LongRun {
  public:
    // Instructions per slice: a few milliseconds of emulation.
    static constexpr uint64_t kSlice = 2'000'000;

    bool Active() const { return active_; }
    uint64_t Executed() const { return executed_; }
    uint32_t Target() const { return target_; }

    // Begins a run to `target`; the first slice runs at once. True when it arrived.
    bool Begin(CTravikDoc& doc, uint32_t target, uint64_t slice = kSlice);
    // One more slice; true when the run arrived (and is over).
    bool Continue(CTravikDoc& doc, uint64_t slice = kSlice);
    // Ends an unfinished run where it stands, with a line for the warnings bar.
    void Interrupt(CTravikDoc& doc);

  private:
    bool active_ = false;
    uint64_t executed_ = 0;
    uint32_t target_ = 0;
};

// Carries out a command (the caller checks that it is enabled). `cursorOffset` is the
// listing cursor's item; the warnings of a Start go to `frame`.
RunEffect ExecuteRunCommand(CTravikDoc& doc, FrameServices& frame, RunCommand command,
                            uint32_t cursorOffset, LongRun& longRun);

// The effect of a finished step: the full refresh of Step Into.
RunEffect StepRefresh();
