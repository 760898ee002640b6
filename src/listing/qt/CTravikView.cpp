#include "listing/qt/CTravikView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "document/CTravikDoc.h"
#include "listing/Search.h"
#include "shell/FrameServices.h"
#include "widgets/CInlineEdit.h"

namespace {

ListingKey KeyOf(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_PageUp:
            return ListingKey::kPageUp;
        case Qt::Key_PageDown:
            return ListingKey::kPageDown;
        case Qt::Key_Home:
            return ListingKey::kHome;
        case Qt::Key_End:
            return ListingKey::kEnd;
        case Qt::Key_Up:
            return ListingKey::kUp;
        case Qt::Key_Down:
            return ListingKey::kDown;
        case Qt::Key_Right:
            return ListingKey::kRight;
        case Qt::Key_Left:
            return ListingKey::kLeft;
        case Qt::Key_F11:
            return ListingKey::kF11;
        case Qt::Key_F12:
            return ListingKey::kF12;
        case Qt::Key_A:
            return ListingKey::kA;
        case Qt::Key_T:
            return ListingKey::kT;
        case Qt::Key_2:
            return ListingKey::k2;
        case Qt::Key_4:
            return ListingKey::k4;
        case Qt::Key_8:
            return ListingKey::k8;
        case Qt::Key_9:
            return ListingKey::k9;
        // Shift+0 arrives as the character the layout puts on that key.
        case Qt::Key_0:
        case Qt::Key_ParenRight:
            return ListingKey::k0;
        case Qt::Key_H:
            return ListingKey::kH;
        case Qt::Key_F:
            return ListingKey::kF;
        case Qt::Key_E:
            return ListingKey::kE;
        case Qt::Key_W:
            return ListingKey::kW;
        case Qt::Key_P:
            return ListingKey::kP;
        default:
            return ListingKey::kOther;
    }
}

}  // namespace

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
    explanationBox_->name = QStringLiteral("Explanation");
    for (CInlineEdit* edit : {annotationEdit_, explanationBox_}) {
        edit->SetEditorFont(noteFont);
        edit->setGeometry(10, 10, 90, 90);
        edit->hide();
    }

    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    scrollBar_->setObjectName(QStringLiteral("listingScrollBar"));
    scrollBar_->setRange(0, 0);
    scrollBar_->setFocusPolicy(Qt::NoFocus);
    connect(scrollBar_, &QScrollBar::actionTriggered, this, &CTravikView::OnScrollAction);

    annotationEdit_->onCommit = [this](CInlineEdit& field, const std::string& text) {
        field.hide();
        setFocus();
        ApplyEffect(CommitAnnotation(doc_, state_, text));
    };
    explanationBox_->onCommit = [this](CInlineEdit& field, const std::string& text) {
        field.hide();
        setFocus();
        ApplyEffect(CommitExplanation(doc_, state_, text));
    };

    // Only an animation needs the ticks: the timer runs while this view animates rather
    // than waking the program ten times a second for nothing.
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("animationTimer%1").arg(kTimerId));
    timer_->setInterval(kTimerPeriodMs);
    connect(timer_, &QTimer::timeout, this, &CTravikView::OnAnimationTick);
    doc_.Session().Subscribe(*this);
}

CTravikView::~CTravikView() {
    doc_.Session().Unsubscribe(*this);
}

void CTravikView::SetActive(bool active) {
    if (active_ == active) return;
    active_ = active;
    update();
}

void CTravikView::GoToOffset(uint32_t offset, bool force) {
    if (!EndEdits()) return;
    ::GoToOffset(doc_, state_, offset, force);
    PlacePage();
    update();
}

void CTravikView::PlacePage() {
    ::PlacePage(doc_, state_, height(), true);
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

int CTravikView::AccessibleCursorLine() const {
    ListingViewState state = state_;
    ListingPaint paint;
    PaintListing(doc_, state, ClientWidth(), height(), active_, paint);
    const int row = state.cursorRow - 1;
    return row >= 0 && row < static_cast<int>(paint.rows.size()) ? row : -1;
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
    NotifyAccessibleCursor(this);
    if (toldCursor_ != state_.cursorOffset) {
        toldCursor_ = state_.cursorOffset;
        emit cursorMoved(this);
    }
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
    if (event->button() == Qt::LeftButton) {
        PlacePage();
        if (!EndEdits()) return;
        const QPoint at = event->position().toPoint();
        ApplyEffect(ListingMouseDown(doc_, state_, *input_, at.x(), at.y(), ClientWidth()));
    }
    QWidget::mousePressEvent(event);
}

void CTravikView::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);  // a double click is the click it starts with
}

void CTravikView::mouseMoveEvent(QMouseEvent* event) {
    const bool held = event->buttons() & Qt::LeftButton;
    ApplyEffect(ListingMouseMove(doc_, state_, *input_, static_cast<int>(event->position().x()),
                                 held, ClientWidth()));
}

void CTravikView::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (!EndEdits()) return;
    ApplyEffect(ListingWheel(doc_, state_, *input_, event->angleDelta().y()));
}

void CTravikView::OnScrollAction(int action) {
    ScrollRequest request;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            request = ScrollRequest::kLineUp;
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            request = ScrollRequest::kLineDown;
            break;
        case QAbstractSlider::SliderPageStepSub:
            request = ScrollRequest::kPageUp;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            request = ScrollRequest::kPageDown;
            break;
        case QAbstractSlider::SliderMove:
            request = ScrollRequest::kThumb;
            break;
        default:
            return;
    }
    PlacePage();
    if (!EndEdits()) {
        update();  // the bar's thumb goes back where the page is
        return;
    }
    ApplyEffect(
        ListingScroll(doc_, state_, request, scrollBar_->sliderPosition(), scrollBar_->maximum()));
}

void CTravikView::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (event->key() == Qt::Key_Escape && doc_.Session().LongRunActive()) {
        OnRunCommand(RunCommand::kBreak);
        return;
    }
    // The main window's accelerator takes F2 first; a listing on its own handles it here.
    if (event->key() == Qt::Key_F2 && !ctrl && !shift) {
        OnRunCommand(RunCommand::kToggleBreakpoint);
        return;
    }
    const ListingKey key = KeyOf(*event);
    if (key == ListingKey::kOther) {
        QWidget::keyPressEvent(event);
        return;
    }
    PlacePage();
    if (!EndEdits()) return;
    ApplyEffect(ListingKeyDown(doc_, state_, key, ctrl, shift));
}

void CTravikView::ApplyEffect(const ListingEffect& effect) {
    PlacePage();
    if (effect.beep) doc_.Frame().Beep();
    if (effect.refreshCallStack) doc_.Frame().RefreshCallStack();
    if (effect.repaintAllViews) {
        doc_.Frame().UpdateAllViews(doc_);
        update();  // also when the view stands alone
    } else if (effect.repaintView) {
        update();
    }
    if (effect.openAnnotationEditor) OpenAnnotationEditor();
}

bool CTravikView::EndEdits() {
    if (annotationEdit_->isVisible()) {
        std::string stored;
        if (!AnnotationEditText(doc_, state_, stored) || annotationEdit_->Holds(stored))
            annotationEdit_->hide();
        else if (!annotationEdit_->Commit())
            return false;
    }
    if (state_.editingExplanation) {
        const std::string* stored = uint64_t{state_.explanationOffset} + 2 <= doc_.ImageSize()
                                        ? doc_.Explanations().Find(state_.explanationOffset / 2)
                                        : nullptr;
        if (explanationBox_->Holds(stored != nullptr ? *stored : std::string())) {
            state_.editingExplanation = 0;
            update();
        } else if (!explanationBox_->Commit()) {
            return false;
        }
    }
    return true;
}

void CTravikView::OpenAnnotationEditor() {
    std::string text;
    if (AnnotationEditText(doc_, state_, text)) annotationEdit_->SetText(text);
    annotationEdit_->name = state_.cursorSubLine == -1  ? QStringLiteral("Header")
                            : state_.cursorSubLine == 1 ? QStringLiteral("Footer")
                                                        : QStringLiteral("Note");
    annotationEdit_->setGeometry(kListingAnnotationX,
                                 state_.cursorRow * kListingRowHeight - kListingRowHeight, 400, 19);
    annotationEdit_->show();
    annotationEdit_->raise();
    annotationEdit_->SelectAll();
    annotationEdit_->Editor()->setFocus();
}

// --- the run commands -------------------------------------------------------------------

bool CTravikView::CanRun(RunCommand command) const {
    return doc_.Session().IsEnabled(command);
}

void CTravikView::OnRunCommand(RunCommand command) {
    // A step moves the cursor: an open edit ends first. The ticks of an animation step
    // on without asking; an edit made meanwhile still goes to its own item.
    if (!timer_->isActive() && !EndEdits()) return;
    if (!CanRun(command)) {
        doc_.Frame().Beep();
        return;
    }
    PlacePage();  // the cursor item of Skip / Step to Cursor and of F2
    doc_.Session().Execute(command, state_.cursorOffset, this);
    if (command == RunCommand::kAnimate) timer_->start();
}

void CTravikView::OnStateChanged(const SessionRefresh& refresh,
                                 const DebugSessionObserver* driver) {
    // A debugger that drives the session over the GDB server moves every listing window of
    // the document, as a step of this one does.
    const bool followed = driver == this || (driver && driver == doc_.Session().RemoteDriver());
    if (refresh.goToCurrentInstruction && followed) {
        ::GoToOffset(doc_, state_, CurrentInstructionOffset(doc_), false);
        PlacePage();
    }
    if (refresh.repaintListing) update();
}

void CTravikView::OnAnimationTick() {
    // Break, Stop or a warning ended the animation; or it was broken and Run took over
    // before this tick.
    if (!doc_.Session().AnimationStep(this)) timer_->stop();
}

void CTravikView::focusInEvent(QFocusEvent* event) {
    emit activated(this);
    QWidget::focusInEvent(event);
}
