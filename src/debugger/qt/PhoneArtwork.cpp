// The phone picture of the Phone Emulator bar, drawn by code: a dark candy-bar phone
// with an earpiece, a display window, two soft keys, a navigation key and the keypad.
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "CPhoneDlg.h"

QImage DrawPhonePicture() {
    QImage image(PhoneScreen::kPictureWidth, PhoneScreen::kPictureHeight, QImage::Format_RGB32);
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
