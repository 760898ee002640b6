#include "CPhoneDlg.h"

#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "document/CTravikDoc.h"
#include "emulator/CEmulator.h"
#include "session/DebugSession.h"
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

// The picture is stretched over the whole window.
std::optional<QPoint> CPhoneDlg::LcdPixelAt(QPoint point) const {
    if (width() <= 0 || height() <= 0) return {};
    // The picture's pixel under the centre of the window's.
    auto at = [](int p, int size, int pictureSize) {
        return static_cast<int>(std::floor((p + 0.5) * pictureSize / size));
    };
    const int x = at(point.x(), width(), PhoneScreen::kPictureWidth) - PhoneScreen::kLeft - PhoneScreen::kBorderX;
    const int y = at(point.y(), height(), PhoneScreen::kPictureHeight) - PhoneScreen::kTop - PhoneScreen::kBorderY;
    if (x < 0 || x >= PhoneScreen::kLcdWidth || y < 0 || y >= PhoneScreen::kLcdHeight) return {};
    return QPoint(x, y);
}

void CPhoneDlg::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    const std::optional<QPoint> pixel = LcdPixelAt(event->position().toPoint());
    CTravikDoc* doc = source_ ? source_() : frame_.GetFirstDocument();
    if (!pixel || doc == nullptr || event->button() != Qt::LeftButton) return;
    const PixelWriters& writers = doc->Session().LcdWriters();
    frame_.SetStatusText(PixelWriterText(*doc, writers, pixel->x(), pixel->y()));
    const std::optional<PixelWrite> write = writers.WriterOf(pixel->x(), pixel->y());
    if (write && (event->modifiers() & Qt::ControlModifier) && goTo_ &&
        write->instruction - CEmulator::kFlashBase < doc->ImageSize())
        goTo_(write->instruction - CEmulator::kFlashBase);
}
