#pragma once

#include <QFont>
#include <QPainter>

// "No file loaded" at (10, 10), the top-left of its text cell, in "Courier New" of the
// given pixel height: what a debugger view shows with no document open.
inline void PaintNoFileLoaded(QPainter& painter, int pixelHeight) {
    QFont font("Courier New");
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(pixelHeight);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(10, 10 + painter.fontMetrics().ascent(), "No file loaded");
}
