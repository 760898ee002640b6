// Getting around: Go to Address in the listing and the Memory Dump, the cursor's address
// in the status bar, and Follow in Memory from the Emulator bar.
#include <gtest/gtest.h>

#include <QLabel>

#include "UiTestHelpers.h"
#include "debugger/qt/CEmulatorView.h"
#include "debugger/qt/CMemoryView.h"
#include "widgets/CAddressDlg.h"
#include "widgets/TextFields.h"

namespace {

// Answers the next Go to Address box with `text`.
void TypeAddress(const QString& text) {
    ExpectDialog([text](QDialog& dialog) {
        auto* box = qobject_cast<CAddressDlg*>(&dialog);
        ASSERT_NE(box, nullptr);
        box->Field()->setText(text);
        box->accept();
    });
}

// Ctrl+G where `focus` has the keyboard focus (a box taken away the window's activation).
void GoTo(Window& w, QWidget& focus) {
    QApplication::setActiveWindow(&w.frame());
    focus.setFocus();
    QTest::keyClick(&focus, Qt::Key_G, Qt::ControlModifier);
}

TEST(GoToAddress, ReadsDisplayedAddressesAndRamAddresses) {
    Window w(0x100);
    TypeAddress("2a");
    GoTo(w, w.view());
    EXPECT_EQ(w.view().State().cursorOffset, 0x2Au);
    w.frame().UpdateCommandUi();
    EXPECT_EQ(w.frame().AddressPane()->text(), "00002a");

    // With the base shown, addresses are read as the listing shows them.
    w.Run(cmd::kViewBaseAddress);
    TypeAddress(" 0x2000F0 ");
    GoTo(w, w.view());
    EXPECT_EQ(w.view().State().cursorOffset, 0xF0u);
    w.frame().UpdateCommandUi();
    EXPECT_EQ(w.frame().AddressPane()->text(), "2000f0");

    QString message;
    for (const char* bad : {"2a", "zz"}) {
        TypeAddress(bad);
        AnswerNextBox(QMessageBox::Ok, &message);
        GoTo(w, w.view());
        EXPECT_EQ(w.view().State().cursorOffset, 0xF0u);
    }
    EXPECT_EQ(message, "\"zz\" is not a hex address.");
    TypeAddress("200100");
    AnswerNextBox(QMessageBox::Ok, &message);
    GoTo(w, w.view());
    EXPECT_EQ(message, "200100 is outside the image (200000-2000ff).");

    // In the Memory Dump, Ctrl+G takes a stack RAM address.
    auto* memory = static_cast<CMemoryView*>(w.ShowBar(CMainFrame::kMemoryBar));
    TypeAddress("100123");
    GoTo(w, *memory);
    EXPECT_EQ(memory->State().Current().cursor, 0x123);
    TypeAddress("200000");
    AnswerNextBox(QMessageBox::Ok, &message);
    GoTo(w, *memory);
    EXPECT_EQ(message, "\"200000\" is not an address of the stack RAM (00100000-0010FFFF).");
    EXPECT_EQ(w.view().State().cursorOffset, 0xF0u);
}

TEST(GoToAddress, FollowInMemoryShowsTheRegistersByte) {
    Window w(0x100);
    w.Run(cmd::kDebugStart);
    auto* registers = static_cast<CEmulatorView*>(w.ShowBar(CMainFrame::kEmulatorBar));
    ASSERT_TRUE(w.frame().BarOf(CMainFrame::kMemoryBar)->isHidden());
    emit registers->followInMemory(w.doc().Emulator().r[13]);
    QApplication::processEvents();
    EXPECT_FALSE(w.frame().BarOf(CMainFrame::kMemoryBar)->isHidden());
    auto* memory = static_cast<CMemoryView*>(w.frame().BarOf(CMainFrame::kMemoryBar)->Hosted());
    EXPECT_EQ(memory->State().Current().cursor, 0xEAC0);
}

}  // namespace
