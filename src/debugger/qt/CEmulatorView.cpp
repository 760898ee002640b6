#include "CEmulatorView.h"

#include <QPainter>

#include "DebuggerPaint.h"
#include "shell/FrameServices.h"

CEmulatorView::CEmulatorView(FrameServices& frame, QWidget* parent)
    : QWidget(parent), frame_(frame) {
    setAccessibleName("Emulator");
    setToolTip("Edit Registers");
    setStatusTip("Doubleclick to edit");
    setAutoFillBackground(true);
    setPalette(QPalette(Qt::white));
    resize(sizeHint());
}

void CEmulatorView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!frame_.GetFirstDocument()) PaintNoFileLoaded(painter, 15);
}
