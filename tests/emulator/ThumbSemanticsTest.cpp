// What the Unicorn comparison leaves out on purpose: unknown and ARM encodings, BX,
// a base in its own register list, markers of unknown areas and the call tracking.
// Flags, shifts, conditions and transfers are compared with Unicorn.
#include <gtest/gtest.h>

#include <cstdio>

#include "emulator/EmulatorHarness.h"

namespace {

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

// With no call recorded there is nothing to compare: the return goes on quietly.
TEST(ThumbBranches, ReturnWithNoRecordGoesOnQuietly) {
    EmulatorHarness h({0x46F7});  // MOV PC, LR
    h.Start();
    h.emu.r[14] = 0x200081;
    h.emu.Step();
    EXPECT_EQ(h.Current(), 0x200080u);
    EXPECT_TRUE(h.warnings.empty());
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
    h.emu.PushCallRecord(0x200230, 0x200300, 1);  // the return ends this call
    h.emu.Step();
    EXPECT_TRUE(h.emu.callTracks[1].empty());
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
