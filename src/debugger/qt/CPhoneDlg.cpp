#include "CPhoneDlg.h"

#include <QKeyEvent>
#include <QPainter>

#include "shell/FrameServices.h"
#include "widgets/DialogUnits.h"

CPhoneDlg::CPhoneDlg(FrameServices& frame, QWidget* parent)
    : QWidget(parent), frame_(frame), picture_(DrawPhonePicture()) {
    setObjectName("phoneDlg");
    setAccessibleName("Phone Emulator");
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(sizeHint());
}

QSize CPhoneDlg::sizeHint() const {
    return DluSize(92, 269);
}

void CPhoneDlg::UpdateScreen() {
    screen_.Update(source_ ? source_() : frame_.GetFirstDocument());
    for (int y = 0; y < PhoneScreen::kHeight; ++y) {
        auto* line =
            reinterpret_cast<QRgb*>(picture_.scanLine(PhoneScreen::kTop + y)) + PhoneScreen::kLeft;
        const uint32_t* row = screen_.Row(y);
        for (int x = 0; x < PhoneScreen::kWidth; ++x) line[x] = 0xFF000000u | row[x];
    }
}

void CPhoneDlg::paintEvent(QPaintEvent*) {
    UpdateScreen();
    QPainter painter(this);
    painter.drawImage(rect(), picture_);
}

void CPhoneDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) return;
    QWidget::keyPressEvent(event);
}
