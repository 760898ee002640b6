// The warnings bar's log and the phone's screen.
#include "DebuggerFixture.h"
#include "debugger/PhoneScreen.h"
#include "debugger/WarningsLog.h"

namespace {

// The clearing line starts the log with one line break; the log takes lines while it
// holds fewer than 9000 characters, then drops them until the next start.
TEST(WarningsLogTest, ClearingLineAndCap) {
    for (size_t held : {8999, 9000}) {
        WarningsLog log;
        log.Add("old");
        EXPECT_EQ(log.Add(""), WarningsLog::Change::kClearedAndAppended);
        log.Add("A");
        EXPECT_EQ(log.Text(), "\r\nA\r\n");
        log.Add(std::string(held - log.Text().size() - 2, 'x'));  // with its line break
        EXPECT_EQ(log.Add("y"),
                  held < 9000 ? WarningsLog::Change::kAppended : WarningsLog::Change::kDropped);
        EXPECT_EQ(log.Text().size(), held < 9000 ? held + 3 : held);
        EXPECT_EQ(log.Add(""), WarningsLog::Change::kClearedAndAppended);
        EXPECT_EQ(log.Text(), "\r\n");
    }
}

// LCD bits map to display pixels inside a light border; pixels beyond a small RAM keep
// their last colour; a dark LCD leaves the border light; no document darkens the whole
// screen.
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
    std::fill(ram + 0x7600, ram + 0x7600 + 7 * 84, 0xFF);  // the LCD and the bank after it
    screen.Update(doc.get());
    int darkCount = 0;
    for (int y = 0; y < PhoneScreen::kHeight; ++y)
        for (int x = 0; x < PhoneScreen::kWidth; ++x) darkCount += screen.Pixel(x, y) == 0;
    EXPECT_EQ(darkCount, 84 * 48);
    EXPECT_EQ(screen.Pixel(4, 8 + 47), 0u);
    screen.Update(nullptr);
    for (int y = 0; y < PhoneScreen::kHeight; ++y)
        for (int x = 0; x < PhoneScreen::kWidth; ++x) ASSERT_EQ(screen.Pixel(x, y), 0x001400u);
}

}  // namespace
