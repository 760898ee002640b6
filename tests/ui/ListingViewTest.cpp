// The listing window on screen: the canvas that renders paint lists, the view that
// paints the document, and its accessible text.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <cstring>

#include "listing/LineText.h"
#include "listing/qt/CTravikView.h"
#include "support/TestSupport.h"
#include "widgets/QtCanvas.h"

namespace {

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

// Text, lines, a pixel and cells reach the image where the draw list puts them.
TEST(QtCanvas, RendersEachKindOfDrawingInItsPixels) {
    QtCanvas canvas;
    DrawList list;
    list.Text({20, 30, FontId::kListing, kBlack, true, Rgb{0, 255, 0}, "MMMM"});
    list.Line({10, 10, 20, 10, kBlack});
    list.Line({130, 40, 130, 50, kRed});
    list.Pixel({5, 5, kRed});
    DrawCells cells;
    cells.x = 100;
    cells.y = 60;
    cells.cellW = cells.cellH = 3;
    cells.cols = 2;
    cells.rows = 1;
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
    const struct {
        int x, y;
        QRgb rgb;
    } pixels[] = {
        {20, 30, 0x00FF00}, {20 + width - 1, 30 + height - 1, 0x00FF00}, {19, 30, 0xFFFFFF},
        {20 + width + 1, 30, 0xFFFFFF}, {20, 29, 0xFFFFFF},
        // Both ends of a line are drawn, nothing beyond them.
        {10, 10, 0}, {20, 10, 0}, {21, 10, 0xFFFFFF}, {9, 10, 0xFFFFFF},
        {130, 50, 0xFF0000}, {130, 51, 0xFFFFFF}, {5, 5, 0xFF0000},
        // A cell is a 3 x 3 square; an unpainted cell leaves what was there.
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

// A document over 0x400 zero bytes, every halfword a plain THUMB item, no texts, the
// hex and character columns off, in a 640 x 300 view.
struct ViewFixture {
    ViewFixture() {
        WriteFile(dir.File("t.fls"), std::vector<uint8_t>(0x400, 0));
        doc = OpenImage(frame, dir.File("t.fls"));
        std::memset(TestDoc::Flags(*doc), itemtype::kThumb, doc->HalfwordCount());
        std::memset(TestDoc::JumpCodes(*doc), 0, doc->HalfwordCount());
        TestDoc::ClearTexts(*doc);
        doc->SetOptions({.viewHex = 0, .viewAscii = 0, .viewSystemStrings = 0});
        view = std::make_unique<CTravikView>(*doc);
        view->resize(640, 300);
    }
    // Rendered at one device pixel per unit, whatever the screen's scale.
    QImage Grab() {
        QImage image(view->size(), QImage::Format_RGB32);
        view->render(&image);
        return image;
    }
    TempDir dir;
    RecordingFrame frame;
    std::unique_ptr<CTravikDoc> doc;
    std::unique_ptr<CTravikView> view;
};

TEST(CTravikView, PaintsTheCursorRowOnlyWhenActiveAndScrollsToAnOffset) {
    ViewFixture f;
    f.view->State().topOffset = 0;
    f.view->State().cursorRow = 3;
    f.view->SetActive(true);
    QImage image = f.Grab();
    // The top left of row 3's text cell is cyan; the rows around it white.
    EXPECT_EQ(Pixel(image, 110, 30), 0x00FFFFu);
    EXPECT_EQ(Pixel(image, 110, 29), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 109, 31), 0xFFFFFFu);
    EXPECT_EQ(f.view->State().cursorOffset, 4u);
    f.view->SetActive(false);
    EXPECT_EQ(Pixel(f.Grab(), 110, 30), 0xFFFFFFu);

    f.view->SetActive(true);
    f.view->GoToOffset(0x200, true);
    f.Grab();
    EXPECT_EQ(f.view->State().cursorOffset, 0x200u);
    EXPECT_EQ(f.view->VerticalScrollBar().maximum(), 0x400);
    EXPECT_EQ(f.view->VerticalScrollBar().value(), f.view->State().topOffset);
}

// Auto-repeat or fast typing: keys handled before the next paint act on the item the
// cursor moved to, not on the one the last paint saw.
TEST(CTravikView, KeysWithoutAPaintBetweenActOnTheCursorItem) {
    ViewFixture f;
    f.view->SetActive(true);
    f.Grab();
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_H}) QTest::keyClick(f.view.get(), key);
    EXPECT_FALSE(f.doc->Flags()[0] & flagbits::kRoutineStart);
    EXPECT_TRUE(f.doc->Flags()[2] & flagbits::kRoutineStart);
}

// A screen reader reads the visible lines as the line texts, control characters painted
// as boxes, with the cursor line as caret and selection.
TEST(CTravikView, AccessibleTextIsTheVisibleLinesWithTheCursorLineAsCaret) {
    ViewFixture f;
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kNote).Set(1, "a note");
    f.view->State().topOffset = 0;
    f.view->State().cursorRow = 3;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(f.view.get());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), "Listing");
    QAccessibleTextInterface* text = a->textInterface();
    ASSERT_NE(text, nullptr);
    QStringList lines = text->text(0, text->characterCount()).split('\n');
    ASSERT_EQ(lines.size(), 19);
    EXPECT_EQ(lines[0].toStdString(), GetLineText(*f.doc, 0, 0));
    EXPECT_EQ(lines[1].toStdString(), GetLineText(*f.doc, 2, 0) + "\ta note");
    EXPECT_EQ(lines[18].toStdString(), GetLineText(*f.doc, 36, 0));

    TestDoc::Options(*f.doc).viewAscii = 1;
    std::memcpy(TestDoc::Image(*f.doc) + 4, "\x85\x9F", 2);  // no glyph: not a line break
    const QString all = text->text(0, text->characterCount());
    lines = all.split('\n');
    EXPECT_TRUE(std::none_of(all.begin(), all.end(), [](QChar c) {
        return c.category() == QChar::Other_Control && c != '\n' && c != '\t';
    }));
    EXPECT_TRUE(lines[2].contains(QString(2, QChar::ReplacementCharacter)));
    EXPECT_EQ(text->cursorPosition(), lines[0].size() + lines[1].size() + 2);
    ASSERT_EQ(text->selectionCount(), 1);
    int from = -1, to = -1;
    text->selection(0, &from, &to);
    EXPECT_EQ(text->text(from, to), lines[2]);
}

}  // namespace
