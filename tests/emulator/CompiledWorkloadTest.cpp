// The compiled C workloads (bench/workloads) on the emulator: their results must be
// those of the same C compiled for the host, and registers, flags and the whole
// stack RAM must end as on Unicorn (TI925T, big-endian THUMB) running free.
#include <gtest/gtest.h>
#include <unicorn/unicorn.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "emulator/CEmulator.h"
#include "workload.h"

namespace {

constexpr uint32_t kHalt = CEmulator::kFlashBase + 2;  // the start-up code's B .
constexpr uint32_t kRepeat = 3;

struct Workload {
    const char* name;
    void (*host)(uint32_t*, uint32_t);
};
constexpr Workload kWorkloads[] = {
    {"list", wl_list}, {"matrix", wl_matrix}, {"fsm", wl_fsm},
    {"crc", wl_crc},   {"memops", wl_memops}, {"recurse", wl_recurse},
};
constexpr const char* kLevels[] = {"O2", "Os"};

std::vector<uint8_t> ReadImage(const std::string& name) {
    std::ifstream in(std::string(TRAVIK_WORKLOAD_DIR) + "/" + name + ".fls", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One workload run to its halt loop on this emulator, with `repeat` in R0.
struct OurRun {
    std::vector<uint8_t> image;
    std::vector<uint8_t> ram = std::vector<uint8_t>(CEmulator::kStackSize, 0);
    std::vector<std::string> warnings;
    CEmulator emu;
    RunResult result;

    OurRun(const std::string& name, uint32_t repeat) : image(ReadImage(name)) {
        if (image.empty()) return;
        emu.warningSink = [this](const std::string& line) { warnings.push_back(line); };
        emu.Start(CEmulator::kFlashBase, image.data(), static_cast<uint32_t>(image.size()),
                  ram.data(), CEmulator::kInitialStackPointer);
        warnings.clear();
        emu.r[0] = repeat;
        result = emu.RunUntil(kHalt, 200'000'000);
    }
};

TEST(CompiledWorkloads, EndWithTheResultsOfTheHostBuild) {
    for (const Workload& w : kWorkloads) {
        uint32_t expected[8] = {};
        w.host(expected, kRepeat);
        for (const char* level : kLevels) {
            const std::string name = std::string(w.name) + "-" + level;
            SCOPED_TRACE(name);
            OurRun run(name, kRepeat);
            ASSERT_FALSE(run.image.empty()) << "workload image not built";
            ASSERT_TRUE(run.result.reached);
            EXPECT_TRUE(run.warnings.empty()) << run.warnings.front();
            for (int i = 0; i < 8; ++i) EXPECT_EQ(run.emu.r[i], expected[i]) << "R" << i;
        }
    }
}

TEST(CompiledWorkloads, EndInTheSameStateAsUnicorn) {
    constexpr int kUcRegs[15] = {UC_ARM_REG_R0,  UC_ARM_REG_R1, UC_ARM_REG_R2,  UC_ARM_REG_R3,
                                 UC_ARM_REG_R4,  UC_ARM_REG_R5, UC_ARM_REG_R6,  UC_ARM_REG_R7,
                                 UC_ARM_REG_R8,  UC_ARM_REG_R9, UC_ARM_REG_R10, UC_ARM_REG_R11,
                                 UC_ARM_REG_R12, UC_ARM_REG_SP, UC_ARM_REG_LR};
    for (const Workload& w : kWorkloads) {
        for (const char* level : kLevels) {
            const std::string name = std::string(w.name) + "-" + level;
            SCOPED_TRACE(name);
            OurRun ours(name, kRepeat);
            ASSERT_TRUE(ours.result.reached);

            uc_engine* uc = nullptr;
            ASSERT_EQ(
                uc_open(UC_ARCH_ARM, static_cast<uc_mode>(UC_MODE_THUMB | UC_MODE_BIG_ENDIAN), &uc),
                UC_ERR_OK);
            ASSERT_EQ(uc_ctl_set_cpu_model(uc, UC_CPU_ARM_TI925T), UC_ERR_OK);
            ASSERT_EQ(uc_mem_map(uc, CEmulator::kFlashBase, CEmulator::kFlashWindow, UC_PROT_ALL),
                      UC_ERR_OK);
            ASSERT_EQ(uc_mem_map(uc, CEmulator::kStackBase, CEmulator::kStackSize, UC_PROT_ALL),
                      UC_ERR_OK);
            uc_mem_write(uc, CEmulator::kFlashBase, ours.image.data(), ours.image.size());
            uint32_t value = kRepeat;
            uc_reg_write(uc, UC_ARM_REG_R0, &value);
            value = CEmulator::kInitialStackPointer;
            uc_reg_write(uc, UC_ARM_REG_SP, &value);
            EXPECT_EQ(uc_emu_start(uc, CEmulator::kFlashBase | 1, kHalt, 0, 0), UC_ERR_OK);

            for (int i = 0; i < 15; ++i) {
                uc_reg_read(uc, kUcRegs[i], &value);
                EXPECT_EQ(ours.emu.r[i], value) << "R" << i;
            }
            uc_reg_read(uc, UC_ARM_REG_PC, &value);
            EXPECT_EQ(ours.emu.r[15] - 4, value) << "PC";
            uc_reg_read(uc, UC_ARM_REG_CPSR, &value);
            EXPECT_EQ(ours.emu.ComposeCpsr() & 0xF0000020u, value & 0xF0000020u) << "NZCV, T";
            std::vector<uint8_t> theirs(CEmulator::kStackSize);
            uc_mem_read(uc, CEmulator::kStackBase, theirs.data(), theirs.size());
            EXPECT_TRUE(theirs == ours.ram) << "stack RAM differs";
            uc_close(uc);
        }
    }
}

}  // namespace
