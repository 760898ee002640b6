#include "DebuggerFixture.h"
#include "debugger/PhoneScreen.h"
#include "debugger/WarningsLog.h"

namespace {

TEST(WarningsLogTest, ClearingLineStartsTheLogWithOneLineBreak) {
    WarningsLog log;
    log.Add("old");
    EXPECT_EQ(log.Add(""), WarningsLog::Change::kClearedAndAppended);
    log.Add("Start emulation from 00200000");
    log.Add("A");
    log.Add("B");
    EXPECT_EQ(log.Text(), "\r\nStart emulation from 00200000\r\nA\r\nB\r\n");
}

TEST(WarningsLogTest, CapTakesOneMoreLineFrom8999CharactersThenDrops) {
    WarningsLog log;
    log.Add(std::string(8997, 'x'));  // 8999 with its line break
    EXPECT_EQ(log.Add(std::string(50, 'y')), WarningsLog::Change::kAppended);
    EXPECT_EQ(log.Text().size(), 8999u + 52u);
    EXPECT_EQ(log.Add("z"), WarningsLog::Change::kDropped);
    EXPECT_EQ(log.Text().size(), 8999u + 52u);
    EXPECT_EQ(log.Add(""), WarningsLog::Change::kClearedAndAppended);  // a new start
    EXPECT_EQ(log.Text(), "\r\n");
}

using PhoneScreenTest = DebuggerTest;

TEST_F(PhoneScreenTest, LcdBitsMapToDisplayPixels) {
    Open();
    PhoneScreen screen;
    screen.Update(doc.get());
    for (int y = 0; y < PhoneScreen::kHeight; ++y)  // zero RAM: all light, border too
        for (int x = 0; x < PhoneScreen::kWidth; ++x) ASSERT_EQ(screen.Pixel(x, y), 0x00FF00u);

    TestDoc::Ram(*doc)[0x7600] = 0x01;                // row 0, column 0
    TestDoc::Ram(*doc)[0x7600 + 84] = 0x80;           // bank 1, bit 7: row 15, column 0
    TestDoc::Ram(*doc)[0x7600 + 5 * 84 + 83] = 0x40;  // row 46, column 83
    screen.Update(doc.get());
    int dark = 0;
    for (int y = 0; y < PhoneScreen::kHeight; ++y)
        for (int x = 0; x < PhoneScreen::kWidth; ++x) dark += screen.Pixel(x, y) == 0;
    EXPECT_EQ(dark, 3);
    EXPECT_EQ(screen.Pixel(49 - 45, 190 - 182), 0u);  // picture (49, 190)
    EXPECT_EQ(screen.Pixel(4, 8 + 15), 0u);
    EXPECT_EQ(screen.Pixel(4 + 83, 8 + 46), 0u);
    screen.Update(nullptr);  // no document darkens the whole screen
    for (int y = 0; y < PhoneScreen::kHeight; ++y)
        for (int x = 0; x < PhoneScreen::kWidth; ++x) ASSERT_EQ(screen.Pixel(x, y), 0x001400u);
}

TEST_F(PhoneScreenTest, PixelsBeyondASmallRamKeepTheirLastColour) {
    Open();
    PhoneScreen screen;
    TestDoc::Ram(*doc)[0x7600 + 84] = 0xFF;
    screen.Update(doc.get());
    TestDoc::RamSize(*doc) = 0x7600 + 84;  // bank 0 only
    TestDoc::Ram(*doc)[0x7600 + 84] = 0;
    screen.Update(doc.get());
    EXPECT_EQ(screen.Pixel(4, 16), 0u);         // kept from the last paint
    EXPECT_EQ(screen.Pixel(4, 8), 0x00FF00u);   // bank 0 redrawn
    EXPECT_EQ(screen.Pixel(0, 20), 0x00FF00u);  // the border is always drawn
    TestDoc::RamSize(*doc) = 0x10000;
}

}  // namespace
