// The listing window: the canvas that renders paint lists, the view's paint, its
// accessible text, and real key, mouse and wheel events reaching the document through
// the view and its in-place editors.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <cstring>

#include "UiTestHelpers.h"
#include "listing/LineText.h"
#include "listing/Search.h"
#include "listing/qt/CReferencesBar.h"
#include "support/TestDoc.h"
#include "widgets/CInlineEdit.h"
#include "widgets/QtCanvas.h"

namespace {

QRgb Pixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

// Text, lines, a pixel and cells reach the image where the draw list puts them.
TEST(QtCanvas, RendersEachKindOfDrawingInItsPixels) {
    QtCanvas canvas;
    DrawList list;
    list.Text({20, 30, FontId::kListing, kBlack, true, Rgb{0, 255, 0}, "MMMM"});
    list.Line({10, 10, 20, 10, kBlack});
    list.Pixel({5, 5, kRed});
    DrawCells cells;
    cells.x = 100, cells.y = 60, cells.cellW = cells.cellH = 3, cells.cols = 2, cells.rows = 1;
    cells.colors = {PackRgb(kBlack), DrawCells::kNoCell};
    list.Cells(cells);
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    canvas.Render(painter, list);
    painter.end();
    // Opaque text fills exactly its cells: 9 pixels a character at 15 pixels.
    const int width = static_cast<int>(canvas.TextWidth(FontId::kListing, "MMMM"));
    const int height = static_cast<int>(canvas.CellHeight(FontId::kListing));
    EXPECT_EQ(width, 36);
    const struct { int x, y; QRgb rgb; } pixels[] = {
        {20, 30, 0x00FF00}, {20 + width - 1, 30 + height - 1, 0x00FF00}, {19, 30, 0xFFFFFF},
        {20 + width + 1, 30, 0xFFFFFF}, {20, 29, 0xFFFFFF},
        {10, 10, 0}, {20, 10, 0}, {21, 10, 0xFFFFFF}, {9, 10, 0xFFFFFF}, {5, 5, 0xFF0000},
        {100, 60, 0}, {102, 62, 0}, {103, 60, 0xFFFFFF}, {102, 63, 0xFFFFFF},
    };
    for (const auto& p : pixels) EXPECT_EQ(Pixel(image, p.x, p.y), p.rgb) << p.x << "," << p.y;
    // The glyphs stand on the baseline: ink just above it, none in the top row.
    const int baseline = 30 + static_cast<int>(canvas.Ascent(FontId::kListing));
    int inkAbove = 0, inkTop = 0;
    for (int x = 20; x < 20 + width; ++x) {
        inkAbove += qGray(image.pixel(x, baseline - 2)) < 100;
        inkTop += qGray(image.pixel(x, 30)) < 100;
    }
    EXPECT_GE(inkAbove, 8);
    EXPECT_EQ(inkTop, 0);
}

// A view of 0x400 zero bytes, every halfword a plain THUMB item, no texts, the hex and
// character columns off, 640 x 300, rendered at one device pixel per unit. The cursor
// row is painted only while the view is active; a screen reader reads the visible
// lines, control characters as boxes, with the cursor line as caret and selection.
TEST(CTravikView, PaintsTheCursorRowAndReadsAsTheVisibleLines) {
    TempDir dir;
    RecordingFrame frame;
    WriteFile(dir.File("t.fls"), std::vector<uint8_t>(0x400, 0));
    auto doc = OpenImage(frame, dir.File("t.fls"));
    std::memset(TestDoc::Flags(*doc), itemtype::kThumb, doc->HalfwordCount());
    std::memset(TestDoc::JumpCodes(*doc), 0, doc->HalfwordCount());
    TestDoc::ClearTexts(*doc);
    doc->SetOptions({.viewHex = 0, .viewAscii = 0, .viewSystemStrings = 0});
    TestDoc::Texts(*doc, DocEdit::TextKind::kNote).Set(1, "a note");
    CTravikView view(*doc);
    view.resize(640, 300);
    auto grab = [&] {
        QImage image(view.size(), QImage::Format_RGB32);
        view.render(&image);
        return image;
    };
    view.State().topOffset = 0;
    view.State().cursorRow = 3;
    view.SetActive(true);
    QImage image = grab();
    // The top left of row 3's text cell is cyan; the rows around it white.
    EXPECT_EQ(Pixel(image, 110, 30), 0x00FFFFu);
    EXPECT_EQ(Pixel(image, 110, 29), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 109, 31), 0xFFFFFFu);
    EXPECT_EQ(view.State().cursorOffset, 4u);
    view.SetActive(false);
    EXPECT_EQ(Pixel(grab(), 110, 30), 0xFFFFFFu);

    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), "Listing");
    QAccessibleTextInterface* text = a->textInterface();
    ASSERT_NE(text, nullptr);
    QStringList lines = text->text(0, text->characterCount()).split('\n');
    ASSERT_EQ(lines.size(), 19);
    EXPECT_EQ(lines[0].toStdString(), GetLineText(*doc, 0, 0));
    EXPECT_EQ(lines[1].toStdString(), GetLineText(*doc, 2, 0) + "\ta note");
    EXPECT_EQ(lines[18].toStdString(), GetLineText(*doc, 36, 0));
    TestDoc::Options(*doc).viewAscii = 1;
    std::memcpy(TestDoc::Image(*doc) + 4, "\x85\x9F", 2);  // no glyph: not a line break
    lines = text->text(0, text->characterCount()).split('\n');
    ASSERT_EQ(lines.size(), 19);
    EXPECT_TRUE(lines[2].contains(QString(2, QChar::ReplacementCharacter)));
    EXPECT_EQ(text->cursorPosition(), lines[0].size() + lines[1].size() + 2);
    int from = -1, to = -1;
    text->selection(0, &from, &to);
    EXPECT_EQ(text->text(from, to), lines[2]);

    view.SetActive(true);
    view.GoToOffset(0x200, true);
    grab();
    EXPECT_EQ(view.State().cursorOffset, 0x200u);
    EXPECT_EQ(view.VerticalScrollBar().maximum(), 0x400);
    EXPECT_EQ(view.VerticalScrollBar().value(), view.State().topOffset);
}

TEST(ListingInput, KeysMouseAndWheelReachTheListing) {
    Window w(0x800);
    ListingViewState& s = w.view().State();
    ASSERT_GE(s.rowCount, 20);
    for (int i = 0; i < 3; ++i) w.Key(Qt::Key_Down);
    EXPECT_EQ(s.cursorRow, 4);
    // Keys handled before the next paint act on the item the cursor moved to.
    const uint32_t painted = s.cursorOffset;
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_H}) QTest::keyClick(&w.view(), key);
    EXPECT_FALSE(w.doc().Flags()[painted / 2] & flagbits::kRoutineStart);
    EXPECT_TRUE(w.doc().Flags()[painted / 2 + 2] & flagbits::kRoutineStart);
    // Shift+0 arrives as ')' on this layout.
    w.Key(Qt::Key_Home);
    w.Key(Qt::Key_ParenRight, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(w.doc().Flags()[64 * 8] & flagbits::kTypeMask, itemtype::kData16);
    QTest::mouseClick(&w.view(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 44));
    w.Paint();
    EXPECT_EQ(s.cursorRow, 3);
    // Two half notches of a fine wheel make one line.
    w.Key(Qt::Key_PageDown);
    const int32_t top = s.topOffset;
    for (int i = 0; i < 2; ++i) {
        QWheelEvent wheel(QPointF(100, 100), w.view().mapToGlobal(QPointF(100, 100)), QPoint(),
                          QPoint(0, 60), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&w.view(), &wheel);
    }
    w.Paint();
    EXPECT_LT(s.topOffset, top);
}

// E and W open the editors; a text the info file cannot hold is refused with a message,
// the editor staying open with it; an explanation stays with the item W was pressed on:
// a click on another line stores it there first.
TEST(ListingInput, EditorsStoreTheirTextOnTheirItemAndRefuseWhatTheInfoFileCannotHold) {
    Window w(0x400);
    w.GoTo(0x40);
    w.Key(Qt::Key_E);
    CInlineEdit& editor = w.view().AnnotationEdit();
    ASSERT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.Editor()->accessibleName(), "Note");
    TypeText(editor.Editor(), QString::fromUtf8("Prüfsumme → CRC ✓ →"));
    QString message;
    AnswerNextBox(QMessageBox::Ok, &message);
    QTest::keyClick(editor.Editor(), Qt::Key_Return);
    EXPECT_EQ(message, QString::fromUtf8("These characters cannot be kept in the info file, which "
                                         "holds one byte per character: → (U+2192), ✓ (U+2713)"));
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(w.doc().Notes().Find(0x20), nullptr);
    QTest::keyClick(editor.Editor(), Qt::Key_A, Qt::ControlModifier);
    // Keys go to the editor, not to the listing: "A" would retype the item.
    QTest::keyClicks(editor.Editor(), "A ");
    TypeText(editor.Editor(), QString::fromUtf8("Prüfsumme"));
    QTest::keyClick(editor.Editor(), Qt::Key_Return);
    w.Paint();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(w.doc().Flags()[0x20] & flagbits::kTypeMask, itemtype::kThumb);
    ASSERT_NE(w.doc().Notes().Find(0x20), nullptr);
    EXPECT_EQ(*w.doc().Notes().Find(0x20), "A Pr\xFC" "fsumme");

    // Enter makes a line, Ctrl+Enter or a click elsewhere commits.
    w.Key(Qt::Key_W);
    CInlineEdit& box = w.view().ExplanationBox();
    ASSERT_FALSE(box.IsReadOnly());
    const QPoint lineBelow(200, w.view().State().cursorRow * kListingRowHeight + 7);
    TypeText(box.Editor(), QString::fromUtf8("a → b"));
    AnswerNextBox(QMessageBox::Ok);
    QTest::mouseClick(&w.view(), Qt::LeftButton, {}, lineBelow);  // refused: the cursor stays
    w.Paint();
    EXPECT_EQ(w.view().State().cursorOffset, 0x40u);
    QTest::keyClick(box.Editor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box.Editor(), "why");
    QTest::keyClick(box.Editor(), Qt::Key_Return);
    QTest::keyClicks(box.Editor(), "this");
    QTest::keyClick(box.Editor(), Qt::Key_Return, Qt::ControlModifier);
    w.Paint();
    ASSERT_NE(w.doc().Explanations().Find(0x20), nullptr);
    EXPECT_EQ(*w.doc().Explanations().Find(0x20), "why\nthis");
    EXPECT_TRUE(box.isVisible() && box.IsReadOnly());  // shown again, read-only
    w.Key(Qt::Key_W);
    QTest::keyClick(box.Editor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box.Editor(), "why");
    QTest::mouseClick(&w.view(), Qt::LeftButton, {}, lineBelow);
    w.Paint();
    EXPECT_NE(w.view().State().cursorOffset, 0x40u);
    EXPECT_EQ(*w.doc().Explanations().Find(0x20), "why");
    EXPECT_EQ(w.doc().Explanations().Find(w.view().State().cursorOffset / 2), nullptr);
}

}  // namespace

// Find All fills the Search Results bar in slices and Enter goes to a row; the
// References bar follows the cursor, and a row chosen from it is walked back with Left.
TEST(ListingBars, SearchResultsAndReferencesGoToTheirItems) {
    Window w(0, {}, TRAVIK_DEMO_FLS);
    w.view().FindAllItems("f000f8??", kSearchHex);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.view().FindingAll(); }, 5000));
    CItemListBar* results = w.frame().SearchResults();
    EXPECT_FALSE(w.frame().BarOf(CMainFrame::kSearchResultsBar)->isHidden());
    EXPECT_EQ(w.frame().BarOf(CMainFrame::kSearchResultsBar)->windowTitle(), "Search Results (13)");
    EXPECT_EQ(results->RowTexts(2), QStringList({"00001a", ":f000f839: BL 90 (Routine (3 calls))"}));
    results->setCurrentIndex(results->model()->index(2, 0));
    QTest::keyClick(results, Qt::Key_Return);
    EXPECT_EQ(w.view().State().cursorOffset, 0x1au);

    auto* references = static_cast<CReferencesBar*>(w.ShowBar(CMainFrame::kReferencesBar));
    w.GoTo(0x90);
    EXPECT_EQ(w.frame().BarOf(CMainFrame::kReferencesBar)->windowTitle(), "References (3)");
    EXPECT_EQ(references->RowTexts(2).mid(0, 2), QStringList({"0001d4", "call"}));
    EXPECT_TRUE(references->Rows().at(3).heading.startsWith("Calls from this routine"));
    emit references->doubleClicked(references->model()->index(2, 0));
    w.Paint();
    EXPECT_EQ(w.view().State().cursorOffset, 0x1d4u);
    w.Key(Qt::Key_Left);
    EXPECT_EQ(w.view().State().cursorOffset, 0x90u);
}
