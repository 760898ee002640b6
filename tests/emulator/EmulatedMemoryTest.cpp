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

// Every area read at every width: the value (a marker where nothing answers) and the
// warning line, if any. RAM byte 0x11 is 0x99, flash byte 0x10 is 0xAB.
TEST_F(Memory, ReadsOfEveryAreaAndWidth) {
    h.ram[0xEABC] = 0x12, h.ram[0xEABD] = 0x34, h.ram[0xEABE] = 0x56, h.ram[0xEABF] = 0x78;
    h.ram[0x11] = 0x99;
    h.flash[0x10] = 0xAB;
    const struct {
        uint32_t address;
        int size;
        uint32_t value;
        const char* warning;
    } cases[] = {
        {0x10EABC, 4, 0x12345678, nullptr},  // the stack RAM is big-endian
        {0x10EABE, 2, 0x5678, nullptr},
        {0x10EABD, 1, 0x34, nullptr},
        {0x100011, 2, 0xCABD, nullptr},  // misaligned: markers, silently
        {0x100012, 4, 0xAB0CD0EF, nullptr},
        {0x200002, 4, 0xAB0CD0EF, nullptr},
        {0x10001, 2, 0xCABD, nullptr},
        {0x200010, 1, 0xAB, nullptr},  // the flash image
        {0x110000, 1, 0xAF, "00200000: Stack overflow"},  // above the RAM
        {0x110000, 2, 0xAEEC, "Stack Overflow"},
        {0x1FFFFC, 4, 0xADBDCDDD, "Stack overflow"},
        {0x200100, 1, 0xFC, "00200000: Accessing unknown area: 00200100"},  // past the image
        {0x2000FF, 2, 0xCBCF, "00200000: Accessing unknown area: 002000FF for reading"},
        {0x2000FE, 4, 0xCADADADA, "00200000: Accessing unknown area: 002000FE for reading"},
        {0x20000, 1, 0x24, nullptr},  // I/O registers answer bytes only
        {0x2000B, 1, 0xEA, nullptr},
        {0x20000, 2, 0xCBCF, "00200000: Accessing unknown area: 00020000 for reading"},
        {0x20000, 4, 0xCADADADA, "00200000: Accessing unknown area: 00020000 for reading"},
        {0x10400, 1, 0xFC, "00200000: Accessing unknown area: 00010400"},  // past the low window
        {0x0FFFFF, 1, 0xFC, "00200000: Accessing unknown area: 000FFFFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.address << " size " << c.size);
        h.warnings.clear();
        const uint32_t v = c.size == 1   ? h.emu.ReadByte(c.address)
                           : c.size == 2 ? h.emu.ReadHalf(c.address, false)
                                         : h.emu.ReadWord(c.address);
        EXPECT_EQ(v, c.value);
        EXPECT_EQ(h.warnings, c.warning ? std::vector<std::string>{c.warning}
                                        : std::vector<std::string>{});
    }
    EXPECT_EQ(h.emu.followMarks.read, 0x100012u);  // the last RAM access, misaligned too
    EXPECT_EQ(h.emu.ioRegisters[0].wasRead, 1u);
}

TEST_F(Memory, WritesWrapInTheRamSkipMisalignedAndFlashAndRepeatTheLowWindow) {
    h.emu.WriteWord(0x10EABC, 0x12345678);
    EXPECT_EQ(h.ram[0xEABC], 0x12);
    EXPECT_EQ(h.ram[0xEABF], 0x78);
    EXPECT_EQ(h.emu.followMarks.write, 0x10EABCu);
    h.emu.WriteByte(0x110000, 0x55);  // writes above the RAM wrap
    h.emu.WriteWord(0x1FFFFC, 0xA1B2C3D4);
    EXPECT_EQ(h.ram[0], 0x55);
    EXPECT_EQ(h.ram[0xFFFC], 0xA1);
    h.emu.WriteWord(0x100021, 0xFFFFFFFF);  // misaligned: nothing written
    h.emu.WriteHalf(0x100031, 0xFFFF);
    EXPECT_EQ(h.emu.followMarks.write, 0x100031u);
    EXPECT_EQ(h.ram[0x20] | h.ram[0x21] | h.ram[0x22] | h.ram[0x23] | h.ram[0x30] | h.ram[0x31], 0);
    h.emu.WriteByte(0x10100, 0x5A);  // the low window repeats its 256 bytes
    EXPECT_EQ(h.emu.ReadByte(0x10000), 0x5A);
    h.emu.WriteWord(0x103FC, 0x01020304);
    EXPECT_EQ(h.emu.ReadHalf(0x102FE, false), 0x0304);
    EXPECT_TRUE(h.warnings.empty());
    h.flash[0x10] = 0xAB;
    h.emu.WriteWord(0x200010, 0x11111111);
    h.emu.WriteByte(0x200010, 0x22);
    h.emu.WriteHalf(0x200010, 0x3333);
    EXPECT_EQ(h.flash[0x10], 0xAB);
    h.emu.WriteHalf(0x10400, 0xAAAA);
    h.emu.WriteByte(0x600000, 0);  // the I/O register of the LCD
    EXPECT_EQ(h.emu.ioRegisters[21].value, 0);
    EXPECT_EQ(h.emu.ioRegisters[21].previousValue, 0xFF);
    EXPECT_EQ(h.emu.ioWritten, 1u);
    h.emu.SaveSnapshot();
    EXPECT_EQ(h.emu.ioRegisters[21].previousValue, 0);
    EXPECT_EQ(h.emu.ioWritten, 0u);
    EXPECT_EQ(h.warnings, (std::vector<std::string>{
                              "00200000: Accessing unknown area: 00200010 for writing 11111111",
                              "00200000: Accessing unknown area: 00200010 for writing 22",
                              "00200000 Accessing unknown area: 00200010 for writing 3333",
                              "00200000 Accessing unknown area: 00010400 for writing AAAA",
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

// Off the image's end markers are fetched; outside the flash every fetch warns; with no
// memory at all every access is an unknown area, not a crash.
TEST(MemoryExecute, FetchesOutsideTheFlashAndNoMemoryAtAll) {
    EmulatorHarness tail({}, 4);
    tail.PutHalf(2, 0x46C0);
    tail.Start(2);
    tail.emu.Step();
    EXPECT_EQ(tail.emu.thumbInstruction, 0xCBCF);
    EXPECT_EQ(tail.warnings,
              (std::vector<std::string>{"00200002: Accessing unknown area: 00200004 for reading"}));

    EmulatorHarness h({});
    h.ram[0] = 0x46, h.ram[1] = 0xC0, h.ram[2] = 0x46, h.ram[3] = 0xC0;  // MOV R8, R8 in RAM
    h.emu.Start(0x100000, h.flash.data(), static_cast<uint32_t>(h.flash.size()), h.ram.data(),
                CEmulator::kInitialStackPointer);
    // The first fetch's line comes before the start's empty line.
    EXPECT_EQ(h.warnings, (std::vector<std::string>{"FATAL: Executing code in addr 00100000 for reading",
                                                    "", "Start emulation from 00100000"}));
    h.emu.Step();
    EXPECT_EQ(h.warnings.back(), "FATAL: Executing code in addr 00100002 for reading");
    EXPECT_EQ(h.emu.thumbInstruction, 0x46C0);

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
