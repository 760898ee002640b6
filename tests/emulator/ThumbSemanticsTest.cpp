// Unit tests of the THUMB executors: results and flags as an ARMv4T computes them,
// the block transfers, the branches and the call tracking they do.
#include <gtest/gtest.h>

#include <cstdio>

#include "emulator/EmulatorHarness.h"

namespace {

struct AluCase {
    uint16_t instruction;  // Rd = R0, Rs = R1 (or Rn = R1 for the three-operand forms)
    uint32_t r0, r1;
    bool carryIn;
    uint32_t result;    // R0 afterwards
    const char* flags;  // NZCV afterwards, dashes for clear flags
};

std::string Describe(const AluCase& c) {
    char text[96];
    std::snprintf(text, sizeof text, "%.4X R0=%.8X R1=%.8X C=%d", c.instruction, c.r0, c.r1,
                  c.carryIn);
    return text;
}

void CheckAlu(const AluCase& c, bool overflowIn = false) {
    SCOPED_TRACE(Describe(c));
    EmulatorHarness h({c.instruction, 0x46C0});
    h.Start();
    h.emu.r[0] = c.r0;
    h.emu.r[1] = c.r1;
    h.SetFlags(false, false, c.carryIn, overflowIn);
    h.emu.Step();
    EXPECT_EQ(h.emu.r[0], c.result);
    EXPECT_EQ(h.Flags(), c.flags);
    EXPECT_EQ(h.emu.r[1], c.r1);
    EXPECT_EQ(h.Current(), 0x200002u);
    EXPECT_EQ(h.emu.thumbInstruction, 0x46C0);
    EXPECT_TRUE(h.warnings.empty());
}

TEST(ThumbArithmetic, AddSubtractAndCompareSetCarryAndOverflow) {
    const AluCase cases[] = {
        {0x1840, 0xFFFFFFFF, 1, false, 0, "-ZC-"},                   // ADD R0, R0, R1
        {0x1840, 0x7FFFFFFF, 1, false, 0x80000000, "N--V"},          //
        {0x1A40, 5, 7, false, 0xFFFFFFFE, "N---"},                   // SUB R0, R0, R1
        {0x1A40, 0x80000000, 1, false, 0x7FFFFFFF, "--CV"},          //
        {0x1C40, 0xFFFFFFFF, 0, false, 0, "-ZC-"},                   // ADD R0, R0, #1
        {0x1E40, 0, 0, false, 0xFFFFFFFF, "N---"},                   // SUB R0, R0, #1
        {0x2805, 5, 0, false, 5, "-ZC-"},                            // CMP R0, #5
        {0x2805, 4, 0, false, 4, "N---"},                            //
        {0x3001, 0x7FFFFFFF, 0, false, 0x80000000, "N--V"},          // ADD R0, #1
        {0x3801, 0x80000000, 0, false, 0x7FFFFFFF, "--CV"},          // SUB R0, #1
        {0x4288, 5, 5, false, 5, "-ZC-"},                            // CMP R0, R1
        {0x4288, 0x80000000, 1, false, 0x80000000, "--CV"},          //
        {0x42C8, 0xFFFFFFFF, 1, false, 0xFFFFFFFF, "-ZC-"},          // CMN R0, R1
        {0x42C8, 0x7FFFFFFF, 1, false, 0x7FFFFFFF, "N--V"},          //
        {0x4248, 7, 0, false, 0, "-ZC-"},                            // NEG R0, R1: 0 - 0
        {0x4248, 7, 1, true, 0xFFFFFFFF, "N---"},                    // borrow clears C
        {0x4248, 7, 0x80000000, false, 0x80000000, "N--V"},          //
        {0x4148, 1, 2, true, 4, "----"},                             // ADC R0, R1
        {0x4148, 0xFFFFFFFF, 0xFFFFFFFF, true, 0xFFFFFFFF, "N-C-"},  // carry when Rs + C wraps
        {0x4148, 0, 0xFFFFFFFF, true, 0, "-ZC-"},                    //
        {0x4148, 0x7FFFFFFF, 0, true, 0x80000000, "N--V"},           //
        {0x4188, 5, 3, true, 2, "--C-"},                             // SBC R0, R1
        {0x4188, 5, 3, false, 1, "--C-"},                            //
        {0x4188, 0, 0, false, 0xFFFFFFFF, "N---"},                   //
        {0x4188, 0x80000000, 0, false, 0x7FFFFFFF, "--CV"},          //
        {0x4348, 3, 5, true, 15, "--C-"},                            // MUL leaves C
        {0x4208, 1, 2, true, 1, "-ZC-"},                             // TST leaves C
        {0x4008, 0xF0F0F0F0, 0x80000000, true, 0x80000000, "N-C-"},  // AND
        {0x43C8, 0, 0, false, 0xFFFFFFFF, "N---"},                   // MVN
        {0x4388, 0xFF, 0x0F, false, 0xF0, "----"},                   // BIC
    };
    for (const AluCase& c : cases) CheckAlu(c);
}

TEST(ThumbArithmetic, LogicalOperationsLeaveOverflow) {
    CheckAlu({0x2000, 9, 0, true, 0, "-ZCV"}, true);         // MOV R0, #0
    CheckAlu({0x4048, 1, 1, false, 0, "-Z-V"}, true);        // EOR R0, R1
    CheckAlu({0x4308, 0, 0x80, false, 0x80, "---V"}, true);  // ORR R0, R1
}

TEST(ThumbShifts, ImmediateShiftsSetCarryAndZeroMeansThirtyTwo) {
    const AluCase cases[] = {
        {0x0008, 0, 0x80000001, false, 0x80000001, "N---"},  // LSL #0 leaves C clear
        {0x0008, 0, 0x80000001, true, 0x80000001, "N-C-"},   // ... and set
        {0x0108, 0, 0x18000000, false, 0x80000000, "N-C-"},  // LSL #4: C = bit 28
        {0x0108, 0, 0x08000000, true, 0x80000000, "N---"},   //
        {0x0808, 0, 0x80000000, false, 0, "-ZC-"},           // LSR #0 is LSR #32
        {0x0808, 0, 0x7FFFFFFF, true, 0, "-Z--"},            //
        {0x0848, 0, 3, false, 1, "--C-"},                    // LSR #1
        {0x1008, 0, 0x80000000, false, 0xFFFFFFFF, "N-C-"},  // ASR #0 is ASR #32
        {0x1008, 0, 0x40000000, true, 0, "-Z--"},            // ... non-negative gives 0
        {0x1048, 0, 0x80000001, false, 0xC0000000, "N-C-"},  // ASR #1
        {0x17C8, 0, 0x40000000, false, 0, "-ZC-"},           // ASR #31
    };
    for (const AluCase& c : cases) CheckAlu(c);
}

TEST(ThumbShifts, RegisterShiftsUseTheBottomByte) {
    const AluCase cases[] = {
        {0x4088, 1, 0, true, 1, "--C-"},                      // LSL by 0 leaves C
        {0x4088, 1, 31, true, 0x80000000, "N---"},            //
        {0x4088, 1, 32, false, 0, "-ZC-"},                    // LSL by 32: C = bit 0
        {0x4088, 1, 33, true, 0, "-Z--"},                     // beyond 32: C = 0
        {0x4088, 1, 0x101, false, 2, "----"},                 // only the bottom byte counts
        {0x40C8, 0x80000000, 0, false, 0x80000000, "N---"},   // LSR by 0
        {0x40C8, 0x80000000, 32, false, 0, "-ZC-"},           // LSR by 32: C = bit 31
        {0x40C8, 0x80000000, 0x120, false, 0, "-ZC-"},        //
        {0x40C8, 0x80000000, 33, true, 0, "-Z--"},            //
        {0x40C8, 6, 2, false, 1, "--C-"},                     //
        {0x4108, 0x80000000, 40, false, 0xFFFFFFFF, "N-C-"},  // ASR by 32 and more
        {0x4108, 0x40000000, 32, true, 0, "-Z--"},            //
        {0x4108, 0x80000000, 0, true, 0x80000000, "N-C-"},    // ASR by 0
        {0x41C8, 3, 1, false, 0x80000001, "N-C-"},            // ROR R0, R1
        {0x41C8, 0x80000000, 32, false, 0x80000000, "N-C-"},  // ROR by 32: C = bit 31
        {0x41C8, 0x12345678, 0, true, 0x12345678, "--C-"},    // ROR by 0 leaves C
        {0x41C8, 0x12345678, 36, false, 0x81234567, "N-C-"},  // ROR by 36 = by 4
    };
    for (const AluCase& c : cases) CheckAlu(c);
}

TEST(ThumbHighRegisters, CompareSetsAllFlagsAndWritesToPcBranch) {
    EmulatorHarness h({0x4580, 0x46C0});  // CMP R8, R0
    h.Start();
    h.emu.r[8] = 0x80000000;
    h.emu.r[0] = 1;
    h.emu.Step();
    EXPECT_EQ(h.Flags(), "--CV");

    EmulatorHarness add({0x4487});  // ADD PC, R0
    add.Start();
    add.emu.r[0] = 6;
    add.emu.Step();
    EXPECT_EQ(add.Current(), 0x20000Au);

    EmulatorHarness mov({0x4687});  // MOV PC, R0: bit 0 dropped, state stays THUMB
    mov.PutHalf(0x40, 0x1234);
    mov.Start();
    mov.emu.r[0] = 0x200041;
    mov.emu.Step();
    EXPECT_EQ(mov.emu.r[15], 0x200044u);
    EXPECT_EQ(mov.emu.thumbInstruction, 0x1234);
    EXPECT_TRUE(mov.emu.cpsr & CEmulator::kThumbBit);
    EXPECT_TRUE(mov.warnings.empty());  // MOV Hd, Rs is no return: nothing compared

    EmulatorHarness hi({0x4641});  // MOV R1, R8
    hi.Start();
    hi.emu.r[8] = 0xCAFE;
    hi.emu.Step();
    EXPECT_EQ(hi.emu.r[1], 0xCAFEu);
}

TEST(ThumbHighRegisters, ReservedEncodingsAreUnknownInstructions) {
    for (uint16_t op : {0x4400, 0x4500, 0x4600, 0x4780, 0x47C0}) {
        EmulatorHarness h({op});
        h.Start();
        h.emu.r[0] = 1;
        h.emu.Step();
        char expected[32];
        std::snprintf(expected, sizeof expected, "Unknown instruction %.4X", op);
        ASSERT_EQ(h.warnings.size(), 1u);
        EXPECT_EQ(h.warnings[0], expected);
        EXPECT_EQ(h.emu.r[0], 1u);
        EXPECT_EQ(h.Current(), 0x200002u);
    }
}

TEST(ThumbBlockTransfers, PushPopAndMultipleTransfersOrderRegisters) {
    EmulatorHarness h({0xB503, 0xBC06, 0xBD00});  // PUSH {R0, R1, LR}; POP {R1, R2}; POP {PC}
    h.Start();
    h.emu.r[0] = 0x10;
    h.emu.r[1] = 0x11;
    h.emu.r[14] = 0x200101;
    h.emu.Step();
    EXPECT_EQ(h.emu.r[13], 0x10EAB4u);
    EXPECT_EQ(h.RamWord(0x10EAB4), 0x10u);
    EXPECT_EQ(h.RamWord(0x10EAB8), 0x11u);
    EXPECT_EQ(h.RamWord(0x10EABC), 0x200101u);
    h.emu.Step();
    EXPECT_EQ(h.emu.r[1], 0x10u);
    EXPECT_EQ(h.emu.r[2], 0x11u);
    h.emu.Step();  // POP {PC}: THUMB at 0x200100 whatever bit 0
    EXPECT_EQ(h.Current(), 0x200100u);
    EXPECT_EQ(h.emu.r[13], 0x10EAC0u);
    EXPECT_TRUE(h.emu.cpsr & CEmulator::kThumbBit);

    EmulatorHarness m({0xC006, 0xC818});  // STMIA R0!, {R1, R2}; LDMIA R0!, {R3, R4}
    m.Start();
    m.emu.r[0] = 0x100000;
    m.emu.r[1] = 0xA1;
    m.emu.r[2] = 0xA2;
    m.emu.Step();
    EXPECT_EQ(m.RamWord(0x100000), 0xA1u);
    EXPECT_EQ(m.RamWord(0x100004), 0xA2u);
    EXPECT_EQ(m.emu.r[0], 0x100008u);
    m.emu.r[0] = 0x100000;
    m.emu.Step();
    EXPECT_EQ(m.emu.r[3], 0xA1u);
    EXPECT_EQ(m.emu.r[4], 0xA2u);
    EXPECT_EQ(m.emu.r[0], 0x100008u);
}

TEST(ThumbBlockTransfers, BaseInTheListUsesItsValueAtThatMoment) {
    EmulatorHarness h({0xC803});  // LDMIA R0!, {R0, R1}
    h.ram[0x10] = 0x12;           // word at 0x100010 = 0x12000000
    h.Start();
    h.emu.r[0] = 0x100010;
    h.emu.Step();
    // R0 is loaded, then advanced by 4 like any base; R1 comes from there.
    EXPECT_EQ(h.emu.r[0], 0x12000008u);
    EXPECT_EQ(h.emu.r[1], 0xCADADADAu);
    ASSERT_EQ(h.warnings.size(), 1u);
    EXPECT_EQ(h.warnings[0], "00200000: Accessing unknown area: 12000004 for reading");
}

TEST(ThumbBranches, ConditionsReadTheFlagsIncludingOverflow) {
    struct Case {
        uint8_t cond;
        bool n, z, c, v, taken;
    } cases[] = {
        {0, 0, 1, 0, 0, true},   {1, 0, 1, 0, 0, false}, {2, 0, 0, 1, 0, true},
        {3, 0, 0, 1, 0, false},  {4, 1, 0, 0, 0, true},  {5, 1, 0, 0, 0, false},
        {6, 0, 0, 0, 1, true},   {7, 0, 0, 0, 1, false}, {8, 0, 0, 1, 0, true},
        {8, 0, 1, 1, 0, false},  {9, 0, 1, 1, 0, true},  {10, 1, 0, 0, 1, true},
        {10, 1, 0, 0, 0, false}, {11, 0, 0, 0, 1, true}, {12, 1, 0, 0, 1, true},
        {12, 1, 1, 0, 1, false}, {13, 0, 0, 0, 1, true}, {13, 0, 0, 0, 0, false},
        {14, 0, 0, 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "cond " << int{c.cond});
        EmulatorHarness h({static_cast<uint16_t>(0xD000 | (c.cond << 8) | 0x02)});
        h.Start();
        h.SetFlags(c.n, c.z, c.c, c.v);
        h.emu.Step();
        EXPECT_EQ(h.Current(), c.taken ? 0x200008u : 0x200002u);
    }
    EmulatorHarness self({0xD0FE});  // BEQ to itself
    self.Start();
    self.SetFlags(false, true, false, false);
    self.emu.Step();
    EXPECT_EQ(self.Current(), 0x200000u);
    EXPECT_EQ(self.emu.thumbInstruction, 0xD0FE);
}

TEST(ThumbBranches, BranchWithLinkRecordsTheCallAndSetsLr) {
    EmulatorHarness h({});
    h.PutHalf(0x100, 0xF000);  // BL 0x200200
    h.PutHalf(0x102, 0xF87E);
    h.PutHalf(0x200, 0x4770);
    h.PutHalf(0x300, 0xF7FF);  // BL back to 0x200100: negative offset
    h.PutHalf(0x302, 0xFEFE);
    int refreshes = 0;
    h.emu.callTrackSink = [&] { ++refreshes; };
    h.Start(0x100);
    h.emu.Step();
    EXPECT_EQ(h.emu.r[14], 0x200105u);
    EXPECT_EQ(h.emu.r[15], 0x200204u);
    EXPECT_EQ(h.emu.thumbInstruction, 0x4770);
    ASSERT_EQ(h.emu.callTracks[1].size(), 1u);
    EXPECT_EQ(h.emu.callTracks[1][0].callSite, 0x200100u);
    EXPECT_EQ(h.emu.callTracks[1][0].target, 0x200200u);
    EXPECT_EQ(refreshes, 1);

    h.emu.SkipTo(0x200300);
    h.emu.Step();
    EXPECT_EQ(h.Current(), 0x200100u);
    EXPECT_EQ(h.emu.r[14], 0x200305u);
}

TEST(ThumbBranches, BxSwitchesStateOnBitZero) {
    EmulatorHarness h({0x4700});  // BX R0
    h.PutHalf(0x300, 0xABCD);
    h.Start();
    h.emu.r[0] = 0x200301;
    h.emu.Step();
    EXPECT_EQ(h.Current(), 0x200300u);
    EXPECT_EQ(h.emu.thumbInstruction, 0xABCD);

    h.PutWord(0x300, 0xE12FFF1E);  // BX LR in ARM state
    h.emu.SkipTo(0x200000);
    h.emu.r[0] = 0x200300;
    h.emu.Step();
    EXPECT_FALSE(h.emu.cpsr & CEmulator::kThumbBit);
    EXPECT_EQ(h.emu.armInstruction, 0xE12FFF1Eu);
    EXPECT_EQ(h.emu.r[15], 0x200308u);
    h.emu.r[14] = 0x200235;
    h.emu.Step();
    EXPECT_TRUE(h.emu.cpsr & CEmulator::kThumbBit);
    EXPECT_EQ(h.emu.r[15], 0x200238u);
    EXPECT_TRUE(h.warnings.empty());
}

TEST(ThumbBranches, OtherArmWordsAreSkippedWithAWarning) {
    EmulatorHarness h({0x4700});
    h.PutWord(0x40, 0xE3A00001);  // MOV R0, #1 (ARM)
    h.PutWord(0x44, 0xE12FFF1E);
    h.Start();
    h.emu.r[0] = 0x200040;
    h.emu.Step();
    h.emu.Step();
    ASSERT_EQ(h.warnings.size(), 1u);
    EXPECT_EQ(h.warnings[0], "00200048: WARNING: ARM emulation not implemented");
    EXPECT_EQ(h.emu.armInstruction, 0xE12FFF1Eu);
    EXPECT_EQ(h.emu.r[0], 0x200040u);
}

TEST(ThumbLoads, PcRelativeAndAddressFormsRoundThePcDown) {
    // At 0x200002 R15 reads 0x200006; AND NOT 2 gives 0x200004.
    EmulatorHarness h({0x46C0, 0x4801, 0xA101, 0xAA02});
    h.PutWord(0x8, 0x11223344);
    h.Start();
    h.emu.Step();
    h.emu.Step();  // LDR R0, [PC, #4]
    EXPECT_EQ(h.emu.r[0], 0x11223344u);
    h.emu.Step();  // ADD R1, PC, #4 at 0x200004: (0x200008) + 4
    EXPECT_EQ(h.emu.r[1], 0x20000Cu);
    h.emu.Step();  // ADD R2, SP, #8
    EXPECT_EQ(h.emu.r[2], 0x10EAC8u);
}

TEST(ThumbLoads, SignExtensionAppliesToMarkersToo) {
    EmulatorHarness h({0x5608, 0x5E08, 0x5A08});  // LDSB / LDSH / LDRH R0, [R1, R0]
    h.Start();
    h.emu.r[1] = 0x30;  // unknown area
    h.emu.r[0] = 0;
    h.emu.Step();
    EXPECT_EQ(h.emu.r[0], 0xFFFFFFFCu);
    h.emu.r[0] = 0;
    h.emu.Step();
    EXPECT_EQ(h.emu.r[0], 0xFFFFCBCFu);
    h.emu.r[0] = 0;
    h.emu.Step();
    EXPECT_EQ(h.emu.r[0], 0xCBCFu);
    EXPECT_EQ(h.warnings.size(), 3u);
}

}  // namespace
