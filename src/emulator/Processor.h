#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

// The registers as the emulated code sees them, with the flags composed into the CPSR.
struct RegisterFile {
    uint32_t r[16] = {};
    uint32_t cpsr = 0;
};

// The ARM7TDMI's state as the emulator keeps it: the registers, the flags one field
// each, the fetched instruction, and the blocks of decoded instructions a run executes
// (built and run in BlockRun.cpp). The registers come first: every operation of the
// run loop reaches them from the same base at small offsets.
class Processor {
  public:
    static constexpr uint32_t kThumbBit = 0x20;
    static constexpr int kCpsrIndex = 16;

    [[gnu::always_inline]] uint32_t ComposeCpsr() { return cpsr = ComposedCpsr(); }
    [[gnu::always_inline]] uint32_t ComposedCpsr() const {
        return (cpsr & 0x0FFFFFFFu) | (uint32_t{negativeFlag != 0} << 31) |
               (uint32_t{zeroFlag != 0} << 30) | (uint32_t{carryFlag != 0} << 29) |
               (uint32_t{overflowFlag != 0} << 28);
    }
    // A snapshot of R0-R15 and the composed CPSR.
    RegisterFile Registers() const {
        RegisterFile file;
        std::copy(std::begin(r), std::end(r), std::begin(file.r));
        file.cpsr = ComposedCpsr();
        return file;
    }
    // Stores the CPSR and takes the four flags from it.
    void SetCpsr(uint32_t value) {
        cpsr = value;
        negativeFlag = (value >> 31) & 1;
        zeroFlag = (value >> 30) & 1;
        carryFlag = (value >> 29) & 1;
        overflowFlag = (value >> 28) & 1;
    }
    // The address of the instruction the emulator is at: R15 runs 4 bytes ahead of it.
    uint32_t CurrentInstruction() const { return r[15] - 4; }
    // Where a Step Over of the current instruction runs to: the address after a
    // BL (any halfword of class 0xF000), none when Step Over is a single step.
    std::optional<uint32_t> StepOverTarget() const {
        if ((thumbInstruction & 0xF000) < 0xF000) return std::nullopt;
        return r[15];
    }

    // --- fields ----------------------------------------------------------------------
    uint32_t r[16] = {};
    // Inside the run loop's blocks N and Z are the sign and zeroness of this value
    // (one store per operation instead of two flags); out of them, the fields below.
    uint32_t nzValue = 0;
    uint32_t carryFlag = 0;
    uint32_t overflowFlag = 0;
    uint32_t zeroFlag = 0;
    uint32_t negativeFlag = 0;
    uint32_t cpsr = 0;
    uint16_t thumbInstruction = 0;
    uint32_t armInstruction = 0;

  protected:
    // Runs are made of blocks of decoded instructions: a block starts at a flash
    // halfword and ends at the first instruction that may branch. Flash is never
    // written, so a block stays right until the image or a breakpoint changes.
    struct DecodedOp {
        union {
            const void* handler;  // an operation: the run loop's label for it
            uint32_t next[2];     // a block's header: 1 + the header index of the block its
                                  // end goes to, taken / not taken (0: not looked up yet)
        };
        uint32_t imm;     // immediate, constant or target
        uint8_t d, s, n;  // register fields
        uint8_t index;    // halfwords from the block's start
    };
    // Drops every block; `halves` flash halfwords can start one from now on.
    void ResetBlocks(uint32_t halves) {
        blockAt_.assign(halves, 0);
        decoded_.clear();
    }
    void FlushBlocks() {
        ++flushes_;
        decoded_.clear();
        std::fill(blockAt_.begin(), blockAt_.end(), 0);
    }
    std::vector<DecodedOp> decoded_;
    std::vector<uint32_t> blockAt_;  // per flash halfword of the window: 1 + header index
    uint32_t flushes_ = 0;
};
