#include "CPhoneDlg.h"

#include <QPainter>
#include <QPainterPath>

#include "document/CTravikDoc.h"
#include "shell/FrameServices.h"
#include "shell/qt/DialogUnits.h"

namespace {
// Our own drawing of a candy-bar phone, 181 x 473, its screen at (45, 182)-(136, 245).
QImage DrawPhone() {
    QImage image(CPhoneDlg::kPictureWidth, CPhoneDlg::kPictureHeight, QImage::Format_RGB32);
    image.fill(QColor(212, 208, 200));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 20, 30), 2));
    p.setBrush(QColor(50, 55, 75));
    p.drawRoundedRect(QRectF(8, 6, 165, 461), 40, 40);
    p.setBrush(QColor(90, 95, 120));
    p.drawRoundedRect(QRectF(24, 150, 133, 120), 12, 12);  // display bezel
    p.setBrush(QColor(30, 30, 30));
    p.drawRoundedRect(QRectF(70, 40, 41, 8), 4, 4);  // earpiece
    p.setBrush(QColor(160, 165, 180));
    p.drawEllipse(QRectF(70, 290, 41, 24));  // navigation key
    p.drawRoundedRect(QRectF(26, 294, 34, 16), 6, 6);
    p.drawRoundedRect(QRectF(121, 294, 34, 16), 6, 6);
    QFont font("Arial");
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    const char* keys = "123456789*0#";
    for (int i = 0; i < 12; ++i) {
        const QRectF key(30 + (i % 3) * 42, 330 + (i / 3) * 32, 36, 24);
        p.setPen(QPen(QColor(20, 20, 30), 1));
        p.setBrush(QColor(200, 200, 210));
        p.drawRoundedRect(key, 8, 8);
        p.setPen(QColor(30, 30, 60));
        p.drawText(key, Qt::AlignCenter, QString(QChar(keys[i])));
    }
    return image;
}
}  // namespace

CPhoneDlg::CPhoneDlg(FrameServices& frame, QWidget* parent)
    : QWidget(parent), frame_(frame), picture_(DrawPhone()) {
    setAccessibleName("Phone Emulator");
    resize(sizeHint());
}

QSize CPhoneDlg::sizeHint() const {
    return DluSize(92, 269);
}

void CPhoneDlg::UpdateScreen() {
    const CTravikDoc* doc = frame_.GetFirstDocument();
    const QRgb dark = qRgb(0, 20, 0), light = qRgb(0, 255, 0), ink = qRgb(0, 0, 0);
    for (int x = 0; x < 92; ++x) {
        for (int y = 0; y < 64; ++y) {
            QRgb color;
            if (!doc) {
                color = dark;
            } else if (x < 4 || x >= 88 || y < 8 || y >= 56) {
                color = light;
            } else {
                const int u = x - 4, row = y - 8;
                const uint32_t i = kLcdOffset + 84 * (row / 8) + u;
                if (!doc->ramBytes || i >= doc->ramSize) continue;  // beyond the RAM: unchanged
                color = (doc->ramBytes[i] >> (row % 8)) & 1 ? ink : light;
            }
            picture_.setPixel(kScreenLeft + x, kScreenTop + y, color);
        }
    }
}

void CPhoneDlg::paintEvent(QPaintEvent*) {
    UpdateScreen();
    QPainter painter(this);
    painter.drawImage(rect(), picture_);
}
