// The memory map: areas, byte order, alignment markers, the I/O registers and the
// warning lines of accesses that hit nothing.
#include <gtest/gtest.h>

#include "emulator/EmulatorHarness.h"

namespace {

// Started at 0x200000, so warnings name 00200000 as the current instruction.
struct Memory : testing::Test {
    EmulatorHarness h = EmulatorHarness({0x46C0}, 0x100);
    void SetUp() override { h.Start(); }
};

TEST_F(Memory, StackRamIsBigEndianAndTracksTheLastAccess) {
    h.emu.WriteWord(0x10EABC, 0x12345678);
    EXPECT_EQ(h.ram[0xEABC], 0x12);
    EXPECT_EQ(h.ram[0xEABF], 0x78);
    EXPECT_EQ(h.emu.followMarks.write, 0x10EABCu);
    EXPECT_EQ(h.emu.ReadWord(0x10EABC), 0x12345678u);
    EXPECT_EQ(h.emu.ReadHalf(0x10EABE, false), 0x5678);
    EXPECT_EQ(h.emu.ReadByte(0x10EABD), 0x34);
    EXPECT_EQ(h.emu.followMarks.read, 0x10EABDu);
    h.emu.WriteHalf(0x100002, 0xBEEF);
    EXPECT_EQ(h.ram[2], 0xBE);
    EXPECT_EQ(h.ram[3], 0xEF);
    EXPECT_TRUE(h.warnings.empty());
}

TEST_F(Memory, WritesAboveTheRamWrapButReadsThereOverflow) {
    h.emu.WriteByte(0x110000, 0x55);
    h.emu.WriteWord(0x1FFFFC, 0xA1B2C3D4);
    EXPECT_EQ(h.ram[0], 0x55);
    EXPECT_EQ(h.ram[0xFFFC], 0xA1);
    EXPECT_TRUE(h.warnings.empty());
    EXPECT_EQ(h.emu.ReadByte(0x110000), 0xAF);
    EXPECT_EQ(h.emu.ReadHalf(0x110000, false), 0xAEEC);
    EXPECT_EQ(h.emu.ReadWord(0x1FFFFC), 0xADBDCDDDu);
    EXPECT_EQ(h.warnings, (std::vector<std::string>{"00200000: Stack overflow", "Stack Overflow",
                                                    "Stack overflow"}));
}

TEST_F(Memory, MisalignedAccessesGiveMarkersSilentlyButStillMoveTheStackMarks) {
    h.ram[0x11] = 0x99;
    EXPECT_EQ(h.emu.ReadHalf(0x100011, false), 0xCABD);
    EXPECT_EQ(h.emu.followMarks.read, 0x100011u);
    EXPECT_EQ(h.emu.ReadWord(0x100012), 0xAB0CD0EFu);
    EXPECT_EQ(h.emu.ReadWord(0x200002), 0xAB0CD0EFu);
    EXPECT_EQ(h.emu.ReadHalf(0x10001, false), 0xCABD);
    h.emu.WriteWord(0x100021, 0xFFFFFFFF);
    h.emu.WriteHalf(0x100031, 0xFFFF);
    EXPECT_EQ(h.emu.followMarks.write, 0x100031u);
    for (uint8_t b : h.ram) ASSERT_TRUE(b == 0 || b == 0x99);
    EXPECT_TRUE(h.warnings.empty());
}

TEST_F(Memory, FlashIsReadOnlyAndEndsWithTheImage) {
    h.flash[0x10] = 0xAB;
    EXPECT_EQ(h.emu.ReadByte(0x200010), 0xAB);
    h.emu.WriteWord(0x200010, 0x11111111);
    h.emu.WriteByte(0x200010, 0x22);
    h.emu.WriteHalf(0x200010, 0x3333);
    EXPECT_EQ(h.flash[0x10], 0xAB);
    // The image is 0x100 bytes: everything after it is an unknown area, also a word
    // that starts inside and ends outside.
    EXPECT_EQ(h.emu.ReadByte(0x200100), 0xFC);
    EXPECT_EQ(h.emu.ReadHalf(0x2000FF, false), 0xCBCF);
    EXPECT_EQ(h.emu.ReadWord(0x2000FE), 0xCADADADAu);
    EXPECT_EQ(h.emu.ReadWord(0x2FFFFC), 0xCADADADAu);
    EXPECT_EQ(h.warnings, (std::vector<std::string>{
                              "00200000: Accessing unknown area: 00200010 for writing 11111111",
                              "00200000: Accessing unknown area: 00200010 for writing 22",
                              "00200000 Accessing unknown area: 00200010 for writing 3333",
                              "00200000: Accessing unknown area: 00200100",
                              "00200000: Accessing unknown area: 002000FF for reading",
                              "00200000: Accessing unknown area: 002000FE for reading",
                              "00200000: Accessing unknown area: 002FFFFC for reading",
                          }));
}

// Peek and Poke see the bytes as the emulated code would, and leave no trace: no
// warning, no access mark, no observer call, no I/O flag. Poke refuses a range with a
// flash byte or a byte in no area whole.
TEST_F(Memory, PeekAndPokeLeaveNoTrace) {
    AccessLog log;
    h.emu.ObservePages(log, CEmulator::kStackBase, CEmulator::kStackSize, true);
    h.flash[0x10] = 0xAB;
    const RegisterFile before = h.emu.Registers();
    const struct { uint32_t address, size; std::optional<uint32_t> peek; bool pokes; } cases[] = {
        {0x10EABD, 4, 0, true},              // the RAM, misaligned
        {0x200010, 2, 0xAB00, false},        // the flash image
        {0x2000FF, 2, std::nullopt, false},  // past the image's end
        {0x020000, 2, 0x242C, true},         // two I/O registers
        {0x0103FE, 4, std::nullopt, false},  // past the low window
        {0x110000, 1, std::nullopt, false},  // past the RAM
    };
    for (const auto& c : cases) {
        EXPECT_EQ(h.emu.Peek(c.address, c.size), c.peek) << std::hex << c.address;
        EXPECT_EQ(h.emu.Poke(c.address, 0x5A5B5C5D, c.size), c.pokes) << std::hex << c.address;
        const uint32_t poked = 0x5A5B5C5D & (0xFFFFFFFFu >> (32 - 8 * c.size));
        EXPECT_EQ(h.emu.Peek(c.address, c.size), c.pokes ? poked : c.peek) << std::hex << c.address;
    }
    EXPECT_EQ(h.emu.Peek(0x103FE, 2), 0u);
    EXPECT_EQ(h.emu.ioRegisters[0].wasRead + h.emu.ioRegisters[0].wasWritten + h.emu.ioWritten, 0u);
    EXPECT_EQ(h.emu.followMarks.read & h.emu.followMarks.write, LatestAccesses::kNone);
    EXPECT_TRUE(log.accesses.empty());
    EXPECT_TRUE(h.warnings.empty());
    EXPECT_TRUE(std::equal(before.r, before.r + 16, h.emu.Registers().r));
}

// The peripherals' observers see every access of an I/O register or the low window as
// it is made, and none of the RAM; a run stops after the instruction one stops at.
TEST_F(Memory, PeripheralObserversSeeEachIoAccessAndCanStopARun) {
    AccessLog log;
    h.emu.ObservePeripherals(log, true);
    h.emu.ReadByte(0x20000);
    h.emu.WriteByte(0x20001, 0x7F);
    h.emu.WriteHalf(0x10010, 0x1234);
    h.emu.ReadWord(0x10010);
    h.emu.ReadByte(CEmulator::kStackBase + 0x101);
    h.emu.RemoveObserver(log);
    h.emu.ReadByte(0x20000);
    const struct { uint32_t address, value; uint8_t size; AccessKind kind; } seen[] = {
        {0x20000, 0x24, 1, AccessKind::kRead}, {0x20001, 0x7F, 1, AccessKind::kWrite},
        {0x10010, 0x1234, 2, AccessKind::kWrite}, {0x10010, 0x12340000, 4, AccessKind::kRead}};
    ASSERT_EQ(log.accesses.size(), std::size(seen));
    for (size_t i = 0; i < std::size(seen); ++i) {
        const MemoryAccess& a = log.accesses[i];
        EXPECT_EQ(a.address, seen[i].address) << i;
        EXPECT_EQ(a.value, seen[i].value) << i;
        EXPECT_EQ(a.size, seen[i].size) << i;
        EXPECT_EQ(a.kind, seen[i].kind) << i;
    }
    struct StopAtEach final : AccessObserver {
        bool OnAccess(const MemoryAccess&) override { return true; }
    } stop;
    EmulatorHarness run({0x2102, 0x0409, 0x7808, 0x46C0, 0x46C0});  // LDRB R0, [0x20000]
    run.Start();
    run.emu.ObservePeripherals(stop, true);
    EXPECT_EQ(run.emu.RunUntil(0x200100, 100).stop, RunStop::kReadWatch);
    EXPECT_EQ(run.Current(), 0x200006u);
    EXPECT_EQ(run.emu.LastWatchHit().address, 0x20000u);
    EXPECT_EQ(run.emu.LastWatchHit().instruction, 0x200004u);
}

TEST_F(Memory, RunningOffTheImageEndFetchesMarkersWithAWarning) {
    EmulatorHarness tail({}, 4);
    tail.PutHalf(2, 0x46C0);
    tail.Start(2);
    tail.emu.Step();
    EXPECT_EQ(tail.emu.thumbInstruction, 0xCBCF);
    EXPECT_EQ(tail.warnings,
              (std::vector<std::string>{"00200002: Accessing unknown area: 00200004 for reading"}));
}

TEST_F(Memory, IoRegistersAnswerByteAccessesOnly) {
    EXPECT_EQ(h.emu.ioRegisterCount, 23);
    EXPECT_EQ(h.emu.ReadByte(0x20000), 0x24);
    EXPECT_EQ(h.emu.ioRegisters[0].wasRead, 1u);
    EXPECT_EQ(h.emu.ReadByte(0x2000B), 0xEA);
    EXPECT_EQ(h.emu.ReadHalf(0x20000, false), 0xCBCF);
    EXPECT_EQ(h.emu.ReadWord(0x20000), 0xCADADADAu);

    h.emu.WriteByte(0x600000, 0);
    EXPECT_EQ(h.emu.ioRegisters[21].value, 0);
    EXPECT_EQ(h.emu.ioRegisters[21].previousValue, 0xFF);
    EXPECT_EQ(h.emu.ioRegisters[21].wasWritten, 1u);
    EXPECT_EQ(h.emu.ioWritten, 1u);
    h.emu.SaveSnapshot();
    EXPECT_EQ(h.emu.ioRegisters[21].previousValue, 0);
    EXPECT_EQ(h.emu.ioWritten, 0u);
    EXPECT_EQ(h.warnings, (std::vector<std::string>{
                              "00200000: Accessing unknown area: 00020000 for reading",
                              "00200000: Accessing unknown area: 00020000 for reading",
                          }));
}

TEST_F(Memory, LowWindowRepeatsItsTwoHundredFiftySixBytes) {
    h.emu.WriteByte(0x10100, 0x5A);
    EXPECT_EQ(h.emu.ReadByte(0x10000), 0x5A);
    h.emu.WriteWord(0x103FC, 0x01020304);
    EXPECT_EQ(h.emu.ReadWord(0x100FC), 0x01020304u);
    EXPECT_EQ(h.emu.ReadHalf(0x102FE, false), 0x0304);
    EXPECT_TRUE(h.warnings.empty());
    EXPECT_EQ(h.emu.ReadByte(0x10400), 0xFC);
    EXPECT_EQ(h.emu.ReadByte(0x0FFFFF), 0xFC);
    h.emu.WriteHalf(0x10400, 0xAAAA);
    EXPECT_EQ(h.warnings, (std::vector<std::string>{
                              "00200000: Accessing unknown area: 00010400",
                              "00200000: Accessing unknown area: 000FFFFF",
                              "00200000 Accessing unknown area: 00010400 for writing AAAA",
                          }));
}

TEST(MemoryExecute, FetchingOutsideTheFlashWarnsOnEveryInstruction) {
    EmulatorHarness h({});
    h.ram[0] = 0x46;  // MOV R8, R8 in RAM
    h.ram[1] = 0xC0;
    h.ram[2] = 0x46;
    h.ram[3] = 0xC0;
    h.emu.Start(0x100000, h.flash.data(), static_cast<uint32_t>(h.flash.size()), h.ram.data(),
                CEmulator::kInitialStackPointer);
    // The first fetch's line comes before the start's empty line.
    ASSERT_EQ(h.warnings.size(), 3u);
    EXPECT_EQ(h.warnings[0], "FATAL: Executing code in addr 00100000 for reading");
    EXPECT_EQ(h.warnings[1], "");
    EXPECT_EQ(h.warnings[2], "Start emulation from 00100000");
    EXPECT_EQ(h.emu.thumbInstruction, 0x46C0);
    h.emu.Step();
    EXPECT_EQ(h.warnings.back(), "FATAL: Executing code in addr 00100002 for reading");
    EXPECT_EQ(h.emu.thumbInstruction, 0x46C0);
}

TEST(MemoryExecute, NoMemoryGivenMeansUnknownAreasNotACrash) {
    CEmulator emu;
    std::vector<std::string> lines;
    emu.warningSink = [&](const std::string& line) { lines.push_back(line); };
    emu.r[13] = 0x10EAC0;
    EXPECT_EQ(emu.ReadWord(0x10EAC0), 0xCADADADAu);
    emu.WriteByte(0x100000, 1);
    EXPECT_EQ(emu.ReadHalf(0x200000, true), 0xCBCF);
    EXPECT_EQ(lines.size(), 3u);
}

}  // namespace
