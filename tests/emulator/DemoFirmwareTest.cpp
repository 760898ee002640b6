// The demo firmware run by travik-cli: what it draws into the LCD buffer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/TestSupport.h"

namespace {

std::vector<std::string> LcdRows(const std::string& out) {
    std::vector<std::string> rows;
    const size_t at = out.find("lcd:\n");
    if (at == std::string::npos) return rows;
    std::istringstream lines(out.substr(at + 5));
    for (std::string line; std::getline(lines, line);) rows.push_back(line);
    return rows;
}

std::string Bank(const std::vector<std::string>& rows, int bank) {
    std::string text;
    for (int y = 8 * bank; y < 8 * bank + 8; ++y) text += rows[y] + "\n";
    return text;
}

std::string GoldenPath() {
    const std::string here = __FILE__;
    return here.substr(0, here.rfind('/')) + "/golden/demo_lcd_5000_steps.txt";
}

// The demo draws its title, "Welcome!" from the phone's text tables, the smiley, a
// dotted divider and "FRAME 0000n", then moves the smiley one column per frame and
// counts the frames. Set TRAVIK_REBASE=1 to rewrite the golden picture (then review
// the diff).
TEST(RunCliDemo, AnimatedDemoDrawsItsScreenWithoutWarnings) {
    const std::string demo = TRAVIK_DEMO_FLS;
    if (demo.empty()) GTEST_SKIP() << "the demo firmware is not built";
    const CliResult r = RunCli({"run", demo, "--start", "0", "--steps", "5000", "--lcd"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 31), "\nStart emulation from 00200000\n");
    EXPECT_EQ(r.out.find("registers:\n"), 31u) << "no warning expected:\n" << r.out;
    const auto rows = LcdRows(r.out);
    ASSERT_EQ(rows.size(), 48u);

    std::string picture;
    for (const std::string& row : rows) picture += row + "\n";
    if (std::getenv("TRAVIK_REBASE")) {
        std::ofstream(GoldenPath()) << picture;
    } else {
        std::ifstream in(GoldenPath());
        std::stringstream golden;
        golden << in.rdbuf();
        EXPECT_EQ(picture, golden.str());
    }

    // The divider is every other pixel of one row across the whole width.
    std::string dotted;
    for (int x = 0; x < 84; ++x) dotted += x % 2 ? '.' : '#';
    EXPECT_NE(Bank(rows, 4).find(dotted), std::string::npos);

    // More frames: the smiley moves, the title and the phone text stay.
    const CliResult later = RunCli({"run", demo, "--start", "0", "--steps", "6000", "--lcd"});
    ASSERT_EQ(later.out.find("registers:\n"), 31u);
    const auto laterRows = LcdRows(later.out);
    ASSERT_EQ(laterRows.size(), 48u);
    EXPECT_EQ(Bank(laterRows, 0), Bank(rows, 0));
    EXPECT_EQ(Bank(laterRows, 1), Bank(rows, 1));
    EXPECT_NE(Bank(laterRows, 2) + Bank(laterRows, 3), Bank(rows, 2) + Bank(rows, 3));
    EXPECT_NE(Bank(laterRows, 5), Bank(rows, 5));
}

}  // namespace
