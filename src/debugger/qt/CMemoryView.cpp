#include "CMemoryView.h"

#include <QPainter>

#include "DebuggerPaint.h"
#include "shell/FrameServices.h"

CMemoryView::CMemoryView(FrameServices& frame, QWidget* parent) : QWidget(parent), frame_(frame) {
    setAccessibleName("Memory Dump");
    setAutoFillBackground(true);
    setPalette(QPalette(Qt::white));
    resize(sizeHint());
}

void CMemoryView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!frame_.GetFirstDocument()) PaintNoFileLoaded(painter, 12);
}
