#include "listing/qt/CTravikView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include "document/CTravikDoc.h"
#include "shell/qt/CInlineEdit.h"

CTravikView::CTravikView(CTravikDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    AccessibleLines::InstallFactory();

    setObjectName(QStringLiteral("listingView"));
    setAccessibleName(QStringLiteral("Listing"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(0, 0);

    const QFont noteFont = QtCanvas::FontOf(FontId::kNote);
    annotationEdit_ = new CInlineEdit(kAnnotationEditId, false, this);
    annotationEdit_->kind = CInlineEdit::kAnnotation;
    explanationBox_ = new CInlineEdit(kExplanationBoxId, true, this);
    explanationBox_->kind = CInlineEdit::kExplanation;
    for (CInlineEdit* edit : {annotationEdit_, explanationBox_}) {
        edit->SetEditorFont(noteFont);
        edit->setGeometry(10, 10, 90, 90);
        edit->hide();
    }

    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    scrollBar_->setObjectName(QStringLiteral("listingScrollBar"));
    scrollBar_->setRange(0, 0);
    scrollBar_->setFocusPolicy(Qt::NoFocus);

    // Only the run commands' animation needs the ticks; until one starts it the timer
    // stays stopped rather than waking the program ten times a second for nothing.
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("animationTimer%1").arg(kTimerId));
    timer_->setInterval(kTimerPeriodMs);
}

CTravikView::~CTravikView() = default;

void CTravikView::SetActive(bool active) {
    if (active_ == active) return;
    active_ = active;
    update();
}

void CTravikView::GoToOffset(uint32_t offset, bool force) {
    ::GoToOffset(doc_, state_, offset, force);
    update();
}

int CTravikView::ClientWidth() const {
    return std::max(0, width() - scrollBar_->sizeHint().width());
}

std::vector<std::string> CTravikView::VisibleLines() const {
    // A paint of a copy of the state: the text is current even before the next paint,
    // and reading it moves nothing.
    ListingViewState state = state_;
    ListingPaint paint;
    PaintListing(doc_, state, ClientWidth(), height(), active_, paint);
    return VisibleLineTexts(doc_, paint);
}

void CTravikView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = scrollBar_->sizeHint().width();
    scrollBar_->setGeometry(width() - w, 0, w, height());
}

void CTravikView::paintEvent(QPaintEvent*) {
    const int w = ClientWidth();
    PaintListing(doc_, state_, w, height(), active_, paint_);
    QPainter painter(this);
    painter.setClipRect(QRect(0, 0, w, height()));
    canvas_.Render(painter, paint_.draw);
    painter.end();
    ApplyPaintResult();
}

void CTravikView::ApplyPaintResult() {
    if (paint_.scrollValid) {
        if (scrollBar_->maximum() != paint_.scrollMax) scrollBar_->setRange(0, paint_.scrollMax);
        if (scrollBar_->value() != paint_.scrollPos) scrollBar_->setValue(paint_.scrollPos);
    }
    CInlineEdit& box = *explanationBox_;
    if (!paint_.explanationShown) {
        box.SetText({});
        if (box.isVisible()) box.hide();
        return;
    }
    const QRect where(paint_.explanationX, paint_.explanationY, paint_.explanationW,
                      paint_.explanationH);
    if (box.geometry() != where) box.setGeometry(where);
    if (paint_.explanationSetText) box.SetText(paint_.explanationText);
    if (box.IsReadOnly() != paint_.explanationReadOnly) box.SetReadOnly(paint_.explanationReadOnly);
    if (!box.isVisible()) box.show();
    // The box reaches past the listing's right edge; the scroll bar stays above it, as
    // a frame's own scroll bar would.
    box.raise();
    scrollBar_->raise();
    if (paint_.explanationFocus && !box.Editor()->hasFocus()) box.Editor()->setFocus();
}

void CTravikView::mousePressEvent(QMouseEvent* event) {
    emit activated(this);
    QWidget::mousePressEvent(event);
}

void CTravikView::focusInEvent(QFocusEvent* event) {
    emit activated(this);
    QWidget::focusInEvent(event);
}
