#pragma once

#include <QFont>
#include <QSize>
#include <cmath>

// Dialog layouts are given in dialog units of the classic 8-point dialog font:
// one horizontal unit is 1.5 pixels, one vertical unit 1.625 pixels.
inline int DluX(int units) {
    return static_cast<int>(std::lround(units * 1.5));
}
inline int DluY(int units) {
    return static_cast<int>(std::lround(units * 1.625));
}
inline QSize DluSize(int w, int h) {
    return {DluX(w), DluY(h)};
}

// The font those units are measured in: a small sans serif as wide as the classic one
// (10 pixels of Arial). Dialogs laid out in dialog units use it, so that their texts
// fit the controls.
inline QFont DialogFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(10);
    return font;
}
