// The warnings bar's log and the phone's screen.
#include "DebuggerFixture.h"
#include "debugger/PhoneScreen.h"
#include "debugger/WarningsLog.h"

namespace {

// The clearing line starts the log with one line break; the log takes one more line
// from 8999 characters on, then drops them until the next start.
TEST(WarningsLogTest, ClearingLineAndCap) {
    WarningsLog log;
    log.Add("old");
    EXPECT_EQ(log.Add(""), WarningsLog::Change::kClearedAndAppended);
    log.Add("Start emulation from 00200000");
    log.Add("A");
    EXPECT_EQ(log.Text(), "\r\nStart emulation from 00200000\r\nA\r\n");
    log.Add(std::string(8999 - log.Text().size() - 2, 'x'));  // 8999 with its line break
    EXPECT_EQ(log.Add(std::string(50, 'y')), WarningsLog::Change::kAppended);
    EXPECT_EQ(log.Text().size(), 8999u + 52u);
    EXPECT_EQ(log.Add("z"), WarningsLog::Change::kDropped);
    EXPECT_EQ(log.Text().size(), 8999u + 52u);
    EXPECT_EQ(log.Add(""), WarningsLog::Change::kClearedAndAppended);
    EXPECT_EQ(log.Text(), "\r\n");
}

// LCD bits map to display pixels inside a light border; pixels beyond a small RAM keep
// their last colour; no document darkens the whole screen.
TEST_F(DebuggerTest, PhoneScreenPixels) {
    Open();
    PhoneScreen screen;
    uint8_t* ram = TestDoc::Ram(*doc);
    ram[0x7600] = 0x01;                // row 0, column 0
    ram[0x7600 + 84] = 0x80;           // bank 1, bit 7: row 15, column 0
    ram[0x7600 + 5 * 84 + 83] = 0x40;  // row 46, column 83
    screen.Update(doc.get());
    std::vector<std::pair<int, int>> dark;
    for (int y = 0; y < PhoneScreen::kHeight; ++y)
        for (int x = 0; x < PhoneScreen::kWidth; ++x) {
            if (screen.Pixel(x, y) == 0)
                dark.emplace_back(x, y);
            else
                ASSERT_EQ(screen.Pixel(x, y), 0x00FF00u) << x << "," << y;
        }
    EXPECT_EQ(dark, (std::vector<std::pair<int, int>>{{4, 8}, {4, 23}, {87, 54}}));
    TestDoc::RamSize(*doc) = 0x7600 + 84;  // bank 0 only
    ram[0x7600] = ram[0x7600 + 84] = 0;
    screen.Update(doc.get());
    EXPECT_EQ(screen.Pixel(4, 23), 0u);        // kept from the last paint
    EXPECT_EQ(screen.Pixel(4, 8), 0x00FF00u);  // bank 0 redrawn
    TestDoc::RamSize(*doc) = 0x10000;
    screen.Update(nullptr);
    for (int y = 0; y < PhoneScreen::kHeight; ++y)
        for (int x = 0; x < PhoneScreen::kWidth; ++x) ASSERT_EQ(screen.Pixel(x, y), 0x001400u);
}

}  // namespace
