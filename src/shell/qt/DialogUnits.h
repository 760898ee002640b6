#pragma once

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
