#include "app/ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygon>

#include "app/CommandIds.h"

namespace {
const QColor kInk(0, 0, 0);
const QColor kPaper(255, 255, 255);
const QColor kFolder(230, 200, 60);
const QColor kGo(0, 150, 0);
const QColor kHalt(200, 0, 0);
const QColor kBlue(0, 0, 160);
const QColor kGrey(128, 128, 128);

void Page(QPainter& p, int x, int y, int w, int h) {
    p.setPen(kInk);
    p.setBrush(kPaper);
    p.drawRect(x, y, w, h);
    p.setPen(kGrey);
    for (int ly = y + 3; ly < y + h - 1; ly += 2) p.drawLine(x + 2, ly, x + w - 2, ly);
}

void Triangle(QPainter& p, int x, int y, int h, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(QPolygon({QPoint(x, y), QPoint(x + h / 2 + 1, y + h / 2), QPoint(x, y + h)}));
}

void Arrow(QPainter& p, QPoint from, QPoint to, const QColor& c) {
    p.setPen(QPen(c, 1));
    p.drawLine(from, to);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    if (to.y() > from.y())  // pointing down
        p.drawPolygon(QPolygon({QPoint(to.x() - 3, to.y() - 2), QPoint(to.x() + 3, to.y() - 2),
                                QPoint(to.x(), to.y() + 1)}));
    else  // pointing right
        p.drawPolygon(QPolygon({QPoint(to.x() - 2, to.y() - 3), QPoint(to.x() - 2, to.y() + 3),
                                QPoint(to.x() + 1, to.y())}));
}

void Draw(QPainter& p, int id) {
    switch (id) {
        case cmd::kFileOpen:
            p.setPen(kInk);
            p.setBrush(kFolder.darker(120));
            p.drawRect(1, 4, 12, 9);
            p.setBrush(kFolder);
            p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 13), QPoint(1, 13)}));
            p.drawLine(9, 1, 12, 1);
            p.drawLine(12, 1, 12, 4);
            break;
        case cmd::kFileMerge:
            Page(p, 1, 1, 7, 9);
            Page(p, 7, 5, 7, 9);
            Arrow(p, QPoint(3, 12), QPoint(6, 12), kBlue);
            break;
        case cmd::kFileSave:
            p.setPen(kInk);
            p.setBrush(kBlue);
            p.drawRect(1, 1, 13, 13);
            p.setBrush(kPaper);
            p.drawRect(4, 1, 7, 5);
            p.setBrush(kGrey);
            p.drawRect(4, 9, 7, 5);
            break;
        case cmd::kEditCut:
            p.setPen(kInk);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(2, 9, 4, 4);
            p.drawEllipse(9, 9, 4, 4);
            p.drawLine(5, 9, 10, 1);
            p.drawLine(10, 9, 5, 1);
            break;
        case cmd::kEditCopy:
            Page(p, 1, 1, 8, 10);
            Page(p, 6, 4, 8, 10);
            break;
        case cmd::kEditPaste:
            p.setPen(kInk);
            p.setBrush(QColor(160, 110, 40));
            p.drawRect(1, 2, 10, 12);
            p.setBrush(kGrey);
            p.drawRect(4, 0, 4, 3);
            Page(p, 6, 5, 8, 9);
            break;
        case cmd::kFilePrint:
            p.setPen(kInk);
            p.setBrush(kPaper);
            p.drawRect(4, 0, 8, 6);
            p.setBrush(kGrey);
            p.drawRect(1, 6, 14, 6);
            p.setBrush(kPaper);
            p.drawRect(4, 10, 8, 4);
            p.setPen(kGo);
            p.drawPoint(13, 8);
            break;
        case cmd::kDebugStart:
            Triangle(p, 4, 2, 11, kGo);
            break;
        case cmd::kDebugStepOver:
            p.setPen(kInk);
            for (int y = 3; y <= 12; y += 3) p.drawLine(9, y, 14, y);
            p.setPen(QPen(kBlue, 1));
            p.setBrush(Qt::NoBrush);
            p.drawArc(1, 2, 10, 10, 90 * 16, 180 * 16);
            Arrow(p, QPoint(6, 12), QPoint(8, 12), kBlue);
            break;
        case cmd::kDebugStepInto:
            p.setPen(kInk);
            for (int y = 3; y <= 12; y += 3) p.drawLine(9, y, 14, y);
            Arrow(p, QPoint(3, 1), QPoint(3, 7), kBlue);
            Arrow(p, QPoint(3, 7), QPoint(7, 7), kBlue);
            break;
        case cmd::kDebugSkipToCursor:
            p.setPen(kInk);
            p.drawLine(13, 1, 13, 13);
            Arrow(p, QPoint(1, 7), QPoint(10, 7), kHalt);
            break;
        case cmd::kDebugStepToCursor:
            p.setPen(kInk);
            p.drawLine(13, 1, 13, 13);
            Arrow(p, QPoint(1, 7), QPoint(10, 7), kGo);
            break;
        case cmd::kDebugAnimate:
            Triangle(p, 1, 2, 11, kGo);
            Triangle(p, 8, 2, 11, kGo);
            break;
        case cmd::kDebugRun:  // full speed: a play triangle against a bar of speed lines
            p.setPen(kGo);
            for (int y = 4; y <= 10; y += 3) p.drawLine(1, y, 4, y);
            Triangle(p, 6, 2, 11, kGo);
            p.setPen(Qt::NoPen);
            p.setBrush(kGo);
            p.drawRect(13, 2, 2, 11);
            break;
        case cmd::kDebugBreak:
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue);
            p.drawRect(3, 2, 3, 11);
            p.drawRect(9, 2, 3, 11);
            break;
        case cmd::kDebugStop:
            p.setPen(Qt::NoPen);
            p.setBrush(kHalt);
            p.drawRect(3, 2, 10, 10);
            break;
        case cmd::kAppAbout: {
            p.setPen(kInk);
            p.setBrush(QColor(255, 255, 200));
            p.drawEllipse(1, 0, 13, 13);
            QFont f("Arial");
            f.setPixelSize(11);
            f.setBold(true);
            p.setFont(f);
            p.setPen(kBlue);
            p.drawText(QRect(1, 0, 14, 14), Qt::AlignCenter, "?");
            break;
        }
        default:
            break;
    }
}

// A phone seen from the front with a green display: the program's emblem.
void DrawEmblem(QPainter& p, int size) {
    const qreal s = size / 32.0;
    p.scale(s, s);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(QColor(60, 60, 90));
    p.drawRoundedRect(QRectF(8, 1, 16, 30), 3, 3);
    p.setBrush(QColor(0, 255, 0));
    p.drawRect(QRectF(10.5, 5, 11, 8));
    p.setPen(QPen(kInk, 1));
    p.drawLine(QPointF(12, 8), QPointF(20, 8));
    p.drawLine(QPointF(12, 10), QPointF(17, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 200, 200));
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 3; ++col) p.drawRect(QRectF(11 + col * 4, 16 + row * 3.5, 2.5, 2));
}
}  // namespace

QIcon ToolbarIcon(int commandId) {
    QPixmap pixmap(16, 15);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    Draw(p, commandId);
    p.end();
    return QIcon(pixmap);
}

QPixmap ApplicationPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    DrawEmblem(p, size);
    return pixmap;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(ApplicationPixmap(size));
    return icon;
}
