#include "DebuggerFixture.h"
#include "debugger/CallStackTree.h"
#include "support/TestDoc.h"

namespace {

using CallStackTreeTest = DebuggerTest;

TEST_F(CallStackTreeTest, DisplayedAddressesOfBothListsWithAndWithoutBase) {
    Open();
    EXPECT_EQ(BuildCallStack(*doc).root, "Manual browsing");
    EXPECT_TRUE(BuildCallStack(*doc).items.empty());
    Start();
    EXPECT_EQ(BuildCallStack(*doc).root, "Emulator Root");
    CEmulator& e = TestDoc::Emulator(*doc);
    e.callTracks[0] = {{0x1234, 0x5678}};
    e.callTracks[1] = {{0x200100, 0x200400}};
    struct Case {
        uint32_t runState, base;
        const char* item;
    } cases[] = {{CEmulator::kStopped, 0, "00001234 -> 00005678"},
                 {CEmulator::kStopped, 0x200000, "00201234 -> 00205678"},
                 {CEmulator::kSuspended, 0, "00000100 -> 00000400"},
                 {CEmulator::kRunning, 0x200000, "00200100 -> 00200400"}};
    for (const Case& c : cases) {
        e.runState = c.runState;
        TestDoc::Options(*doc).baseAddress = c.base;
        const CallStackModel m = BuildCallStack(*doc);
        ASSERT_EQ(m.items.size(), 1u);
        EXPECT_EQ(m.items[0], c.item);
    }
}

TEST_F(CallStackTreeTest, LongListsShowTheNewestCallsBelowACount) {
    Open();
    Start();
    std::vector<CallRecord>& list = TestDoc::Emulator(*doc).callTracks[1];
    for (uint32_t i = 0; i < 2'000'000; ++i) list.push_back({0x200000 + 4 * i, 0x200002 + 4 * i});
    const CallStackModel m = BuildCallStack(*doc);
    ASSERT_EQ(m.items.size(), CallStackModel::kShownCalls + 1);
    EXPECT_EQ(m.items[0], "(1999744 older calls)");
    EXPECT_EQ(m.items.back(), "000A11FC -> 000A11FE");  // the newest, deepest

    list.resize(257);
    EXPECT_EQ(BuildCallStack(*doc).items[0], "(1 older calls)");
    list.resize(256);
    EXPECT_EQ(BuildCallStack(*doc).items[0], "00000000 -> 00000002");
    EXPECT_EQ(BuildCallStack(*doc).items.size(), 256u);
}

}  // namespace
