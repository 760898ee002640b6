#include "CMemoryView.h"

#include <QKeyEvent>
#include <QPainter>

#include "debugger/TextLines.h"
#include "document/CTravikDoc.h"
#include "shell/Format.h"
#include "shell/FrameServices.h"
#include "widgets/CInlineEdit.h"

CMemoryView::CMemoryView(FrameServices& frame, QWidget* parent) : QWidget(parent), frame_(frame) {
    AccessibleLines::InstallFactory();
    setObjectName("memoryView");
    setAccessibleName("Memory Dump");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);

    edit_ = new CInlineEdit(kMemoryEditorId, false, this);
    edit_->SetEditorFont(QtCanvas::FontOf(kMemoryFont));
    edit_->onCommit = [this](CInlineEdit& field, const std::string& text) {
        CTravikDoc* doc = Document();
        if (doc == nullptr || field.p1 < 0 || field.p2 < 0) return;
        const auto first = static_cast<uint32_t>(field.p1), last = static_cast<uint32_t>(field.p2);
        const bool name = field.kind == CInlineEdit::kRamName;
        doc->Apply(name ? RamNameEdit(*doc, first, last, text) : RamHexEdit(*doc, first, last, text),
                   Format("%s at %08X", name ? "RAM name" : "RAM bytes", doc->RamBase() + first),
                   EditStep::kNoFocus);
        setFocus();
    };
    edit_->hide();
    resize(sizeHint());
}

CTravikDoc* CMemoryView::Document() const {
    return source_ ? source_() : frame_.GetFirstDocument();
}

std::vector<std::string> CMemoryView::AccessibleLineTexts() const {
    return TextLines(draw_, 10, kMemoryCharWidth);
}

void CMemoryView::FollowAccesses() {
    if (CTravikDoc* doc = Document()) FollowEmulator(state_, doc->Session().FollowMarks());
    update();
}

void CMemoryView::paintEvent(QPaintEvent*) {
    PaintMemory(Document(), state_, width(), height(), draw_);
    QPainter painter(this);
    canvas_.Render(painter, draw_);
}

void CMemoryView::ShowRamOffset(int32_t offset) {
    ::ShowRamOffset(state_.Current(), offset);
    update();
}

void CMemoryView::keyPressEvent(QKeyEvent* event) {
    CTravikDoc* doc = Document();
    if (doc == nullptr) return QWidget::keyPressEvent(event);
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    MemoryKey key;
    int function = 0;
    switch (event->key()) {
        case Qt::Key_Left:
            key = MemoryKey::kLeft;
            break;
        case Qt::Key_Right:
            key = MemoryKey::kRight;
            break;
        case Qt::Key_Up:
            key = MemoryKey::kUp;
            break;
        case Qt::Key_Down:
            key = MemoryKey::kDown;
            break;
        case Qt::Key_PageUp:
            key = MemoryKey::kPageUp;
            break;
        case Qt::Key_PageDown:
            key = MemoryKey::kPageDown;
            break;
        case Qt::Key_E:
            key = MemoryKey::kName;
            break;
        case Qt::Key_M:
            key = MemoryKey::kModify;
            break;
        case Qt::Key_R:
            key = MemoryKey::kWatchRead;
            break;
        case Qt::Key_W:
            key = MemoryKey::kWatchWrite;
            break;
        default:
            if (event->key() >= Qt::Key_F1 && event->key() <= Qt::Key_F12) {
                key = MemoryKey::kFunction;
                function = event->key() - Qt::Key_F1 + 1;
                break;
            }
            return QWidget::keyPressEvent(event);
    }
    const int page = state_.page;
    const MemoryKeyResult result = MemoryKeyDown(*doc, state_, key, shift, ctrl, function);
    // A page that follows the emulator shows its latest access as soon as it is chosen.
    if (state_.page != page) FollowEmulator(state_, doc->Session().FollowMarks());
    if (result.repaint) update();
    if (result.editor == MemoryKeyResult::Editor::kNone) return;
    edit_->p1 = result.first;
    edit_->p2 = result.last;
    if (result.editor == MemoryKeyResult::Editor::kName) {
        edit_->kind = CInlineEdit::kRamName;
        if (result.setEditorText) edit_->SetText(result.editorText);
        edit_->setGeometry(kMemoryHexX, 0, 400, 14);
    } else {
        edit_->kind = CInlineEdit::kRamBytes;
        edit_->SetText("");
        if (state_.modifyPlaced)
            edit_->setGeometry(state_.modifyLeft, state_.modifyTop,
                               state_.modifyRight - state_.modifyLeft,
                               state_.modifyBottom - state_.modifyTop);
        else  // the selection's start is not on screen: over the header instead
            edit_->setGeometry(kMemoryHexX, 0, 400, 14);
    }
    edit_->raise();
    edit_->show();
    edit_->SelectAll();
    edit_->setFocus();
}
