// The listing window on screen: the canvas that renders paint lists, the view that
// paints the document, its accessible text, and the in-place edit field's keys.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <algorithm>

#include "listing/LineText.h"
#include "listing/ListingFixture.h"
#include "listing/qt/CTravikView.h"
#include "widgets/CInlineEdit.h"
#include "widgets/QtCanvas.h"

namespace {

QImage Render(QtCanvas& canvas, const DrawList& list, int w = 200, int h = 100) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    canvas.Render(painter, list);
    return image;
}

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

TEST(QtCanvas, FontsResolveToTheLiberationFamilies) {
    EXPECT_EQ(QFontInfo(QtCanvas::FontOf(FontId::kListing)).family(), "Liberation Mono");
    EXPECT_EQ(QFontInfo(QtCanvas::FontOf(FontId::kNote)).family(), "Liberation Sans");
    const QFontInfo header(QtCanvas::FontOf(FontId::kHeader));
    EXPECT_EQ(header.family(), "Liberation Sans");
    EXPECT_TRUE(header.bold());
    EXPECT_EQ(QFontInfo(QtCanvas::FontOf(FontId::kListing)).pixelSize(), 15);
}

TEST(QtCanvas, OpaqueTextFillsExactlyItsCells) {
    QtCanvas canvas;
    DrawList list;
    list.Text({20, 30, FontId::kListing, kBlack, true, Rgb{0, 255, 0}, "MMMM"});
    const QImage image = Render(canvas, list);
    const int width = static_cast<int>(canvas.TextWidth(FontId::kListing, "MMMM"));
    const int height = static_cast<int>(canvas.CellHeight(FontId::kListing));
    EXPECT_EQ(width, 36);  // a 9-pixel cell per character at 15 pixels
    EXPECT_EQ(Pixel(image, 20, 30), 0x00FF00u);
    EXPECT_EQ(Pixel(image, 20 + width - 1, 30 + height - 1), 0x00FF00u);
    EXPECT_EQ(Pixel(image, 19, 30), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 20 + width + 1, 30), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 20, 29), 0xFFFFFFu);
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

TEST(QtCanvas, LinesCellsAndPixels) {
    QtCanvas canvas;
    DrawList list;
    list.Line({10, 10, 20, 10, kBlack});
    list.Line({30, 40, 30, 50, kRed});
    list.Pixel({5, 5, kRed});
    DrawCells cells;
    cells.x = 100;
    cells.y = 60;
    cells.cellW = cells.cellH = 3;
    cells.cols = 2;
    cells.rows = 1;
    cells.colors = {PackRgb(kBlack), DrawCells::kNoCell};
    list.Cells(cells);
    const QImage image = Render(canvas, list);
    // Both ends of a line are drawn, nothing beyond them.
    EXPECT_EQ(Pixel(image, 10, 10), 0u);
    EXPECT_EQ(Pixel(image, 20, 10), 0u);
    EXPECT_EQ(Pixel(image, 21, 10), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 9, 10), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 30, 50), 0xFF0000u);
    EXPECT_EQ(Pixel(image, 30, 51), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 5, 5), 0xFF0000u);
    // A cell is a 3 x 3 square; an unpainted cell leaves what was there.
    EXPECT_EQ(Pixel(image, 100, 60), 0u);
    EXPECT_EQ(Pixel(image, 102, 62), 0u);
    EXPECT_EQ(Pixel(image, 103, 60), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 102, 63), 0xFFFFFFu);
}

struct ViewFixture : ListingFixture {
    ViewFixture() { view.resize(640, 300); }
    // Rendered at one device pixel per unit, whatever the screen's scale.
    QImage Grab() {
        QImage image(view.size(), QImage::Format_RGB32);
        view.render(&image);
        return image;
    }
    CTravikView view{*doc};
};

TEST(CTravikView, PaintsTheCursorRowOnlyWhenActive) {
    ViewFixture f;
    f.view.State().topOffset = 0;
    f.view.State().cursorRow = 3;
    f.view.SetActive(true);
    QImage image = f.Grab();
    // The top left of row 3's text cell is cyan; the rows around it white.
    EXPECT_EQ(Pixel(image, 110, 30), 0x00FFFFu);
    EXPECT_EQ(Pixel(image, 110, 29), 0xFFFFFFu);
    EXPECT_EQ(Pixel(image, 109, 31), 0xFFFFFFu);
    EXPECT_EQ(f.view.State().cursorOffset, 4u);

    f.view.SetActive(false);
    image = f.Grab();
    EXPECT_EQ(Pixel(image, 110, 30), 0xFFFFFFu);
}

// Auto-repeat or fast typing: keys handled before the next paint act on the item the
// cursor moved to, not on the one the last paint saw.
TEST(CTravikView, KeysWithoutAPaintBetweenActOnTheCursorItem) {
    ViewFixture f;
    f.view.SetActive(true);
    f.Grab();
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_H}) QTest::keyClick(&f.view, key);
    EXPECT_FALSE(f.doc->Flags()[0] & flagbits::kRoutineStart);
    EXPECT_TRUE(f.doc->Flags()[2] & flagbits::kRoutineStart);
}

TEST(CTravikView, GoToOffsetAndTheScrollBar) {
    ViewFixture f;
    f.view.SetActive(true);
    f.Grab();
    f.view.GoToOffset(0x200, true);
    f.Grab();
    EXPECT_EQ(f.view.State().cursorOffset, 0x200u);
    EXPECT_EQ(f.view.VerticalScrollBar().maximum(), 0x400);
    EXPECT_EQ(f.view.VerticalScrollBar().value(), 0x200);
    EXPECT_EQ(f.view.ClientWidth(), 640 - f.view.VerticalScrollBar().width());
}

TEST(CTravikView, ExplanationBoxFollowsTheCursorItem) {
    ViewFixture f;
    f.view.show();
    f.view.SetActive(true);
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kExplanation).Set(1, "Because");
    f.view.State().topOffset = 0;
    f.view.State().cursorRow = 2;
    f.Grab();
    CInlineEdit& box = f.view.ExplanationBox();
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(box.Text(), "Because");
    EXPECT_TRUE(box.IsReadOnly());
    EXPECT_EQ(box.geometry().topLeft(), QPoint(500, 30));
    EXPECT_EQ(box.ControlId(), 9001);

    f.view.State().cursorRow = 3;
    f.Grab();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.Text(), "");
}

TEST(CTravikView, AccessibleTextListsTheVisibleLines) {
    ViewFixture f;
    TestDoc::Texts(*f.doc, DocEdit::TextKind::kNote).Set(1, "a note");
    f.view.State().topOffset = 0;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&f.view);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), "Listing");
    QAccessibleTextInterface* text = a->textInterface();
    ASSERT_NE(text, nullptr);
    const QStringList lines = text->text(0, text->characterCount()).split('\n');
    ASSERT_EQ(lines.size(), 19);
    EXPECT_EQ(lines[0].toStdString(), GetLineText(*f.doc, 0, 0));
    EXPECT_EQ(lines[1].toStdString(), GetLineText(*f.doc, 2, 0) + "\ta note");
    EXPECT_EQ(lines[18].toStdString(), GetLineText(*f.doc, 36, 0));
}

TEST(CTravikView, AccessibleTextIsWhatIsPaintedWithTheCursorLineAsCaret) {
    ViewFixture f;
    TestDoc::Options(*f.doc).viewAscii = 1;
    f.Bytes(4, "\x85\x9F");  // no glyph: painted as boxes, not as a line break
    f.view.State().topOffset = 0;
    f.view.State().cursorRow = 3;
    QAccessibleTextInterface* text =
        QAccessible::queryAccessibleInterface(&f.view)->textInterface();
    const QString all = text->text(0, text->characterCount());
    EXPECT_TRUE(std::none_of(all.begin(), all.end(), [](QChar c) {
        return c.category() == QChar::Other_Control && c != '\n';
    }));
    EXPECT_TRUE(all.section('\n', 2, 2).contains(QString(2, QChar::ReplacementCharacter)));
    const int start = static_cast<int>(all.section('\n', 0, 1).size()) + 1;
    EXPECT_EQ(text->cursorPosition(), start);
    ASSERT_EQ(text->selectionCount(), 1);
    int from = -1, to = -1;
    text->selection(0, &from, &to);
    EXPECT_EQ(text->text(from, to), all.section('\n', 2, 2));
}

TEST(CInlineEdit, RegisterEntryTakesHexOnly) {
    QWidget parent;
    CInlineEdit edit(100, false, &parent);
    parent.show();
    edit.kind = CInlineEdit::kRegister;
    edit.p1 = 3;
    int beeps = 0, stored = 0, number = -1;
    uint32_t value = 0;
    edit.onBeep = [&] { ++beeps; };
    edit.onRegister = [&](int r, uint32_t v) {
        ++stored;
        number = r;
        value = v;
    };
    struct Case {
        const char* typed;
        bool accepted;
        uint32_t value;
    };
    const Case cases[] = {{"12X", false, 0},
                          {"1f2e", true, 0x1F2E},
                          {"", true, 0},
                          {"123456789", true, 0x23456789},
                          {"-1", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        beeps = stored = 0;
        edit.SetText("");
        edit.show();
        QTest::keyClicks(edit.Editor(), c.typed);
        QTest::keyClick(edit.Editor(), Qt::Key_Return);
        EXPECT_EQ(stored, c.accepted ? 1 : 0);
        EXPECT_EQ(beeps, c.accepted ? 0 : 1);
        EXPECT_EQ(edit.isVisible(), !c.accepted);
        if (c.accepted) {
            EXPECT_EQ(number, 3);
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST(CInlineEdit, EnterCommitsALineCtrlEnterAnExplanation) {
    std::vector<std::string> commits;
    auto record = [&](CInlineEdit&, const std::string& text) { commits.push_back(text); };

    CInlineEdit line(9000, false);
    line.onCommit = record;
    QTest::keyClicks(line.Editor(), "note");
    QTest::keyClick(line.Editor(), Qt::Key_Return);
    EXPECT_EQ(commits, std::vector<std::string>{"note"});

    commits.clear();
    CInlineEdit box(9001, true);
    box.kind = CInlineEdit::kExplanation;
    box.onCommit = record;
    QTest::keyClicks(box.Editor(), "one");
    QTest::keyClick(box.Editor(), Qt::Key_Return);
    QTest::keyClicks(box.Editor(), "two");
    EXPECT_TRUE(commits.empty());
    QTest::keyClick(box.Editor(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(commits, std::vector<std::string>{"one\ntwo"});
}

}  // namespace
