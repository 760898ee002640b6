// File > Export ELF... and File > Import Symbols... through the menu's actions, with
// their choosers and the report box.
#include <QFileDialog>

#include "ui/UiTestHelpers.h"

namespace {

void ChooseFile(const std::string& path) {
    ExpectDialog([path](QDialog& dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_TRUE(chooser) << dialog.metaObject()->className();
        chooser->selectFile(QString::fromStdString(path));
        dialog.accept();  // QFileDialog::accept takes the selected file
    });
}

// The export writes an ELF file (".elf" added); importing it into a second document of
// the image names its routine, reports it in a box and is one step of the Edit menu.
TEST(SymbolsMenu, ExportElfAndImportSymbolsReachTheDocument) {
    TempDir dir;
    TestApp t(dir.File("s.ini"));
    const std::string flash = WriteThumbImage(dir, "a.fls", 64, {0xB500, 0xF000, 0xF802, 0xBD00});
    ASSERT_TRUE(t.Start(flash));
    CMainFrame& f = t.Frame();
    ChooseFile(dir.File("out"));
    f.Action(cmd::kFileExportElf)->trigger();
    QApplication::processEvents();
    const std::vector<uint8_t> elf = ReadFileBytes(dir.File("out.elf"));
    ASSERT_GE(elf.size(), 4u);
    EXPECT_EQ(std::string(elf.begin(), elf.begin() + 4), std::string("\x7F"
                                                                     "ELF"));

    ASSERT_TRUE(t.Open(WriteThumbImage(dir, "b.fls", 64, {0xB500, 0xF000, 0xF802, 0xBD00})));
    CTravikDoc& doc = *f.ActiveDocument();
    ASSERT_EQ(doc.GetPathName(), dir.File("b.fls"));
    ChooseFile(dir.File("out.elf"));
    QString report;
    AnswerNextBox(QMessageBox::Ok, &report);
    f.Action(cmd::kFileImportSymbols)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(report, "1 routines named, 0 RAM names, 0 skipped (outside the image)");
    EXPECT_EQ(f.Action(cmd::kEditUndo)->text(), "&Undo Import Symbols");
}

}  // namespace
