#include "CEmulatorView.h"

#include <QMouseEvent>
#include <QPainter>

#include "debugger/RegistersPage.h"
#include "debugger/TextLines.h"
#include "document/CTravikDoc.h"
#include "shell/FrameServices.h"
#include "widgets/CInlineEdit.h"

CEmulatorView::CEmulatorView(FrameServices& frame, QWidget* parent)
    : QWidget(parent), frame_(frame) {
    AccessibleLines::InstallFactory();
    setObjectName("emulatorView");
    setAccessibleName("Emulator");
    setToolTip("Edit Registers");
    setStatusTip("Doubleclick to edit");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);

    edit_ = new CInlineEdit(kRegisterEditorId, false, this);
    edit_->kind = CInlineEdit::kRegister;
    edit_->SetEditorFont(QtCanvas::FontOf(kRegistersFont));
    edit_->onBeep = [this] { frame_.Beep(); };
    edit_->onRegister = [this](int index, uint32_t value) {
        // The document may have closed while the field was open.
        if (CTravikDoc* doc = Document()) {
            doc->Session().SetRegister(index & 15, value);
            // A new PC moves the current instruction the listing marks.
            if ((index & 15) == 15) frame_.UpdateAllViews(*doc);
        }
        update();
    };
    edit_->hide();
    resize(sizeHint());
}

CTravikDoc* CEmulatorView::Document() const {
    return source_ ? source_() : frame_.GetFirstDocument();
}

std::vector<std::string> CEmulatorView::AccessibleLineTexts() const {
    DrawList list;
    PaintRegisters(Document(), list);
    return TextLines(list, 10, kRegistersCharWidth);
}

void CEmulatorView::paintEvent(QPaintEvent*) {
    PaintRegisters(Document(), draw_);
    QPainter painter(this);
    canvas_.Render(painter, draw_);
}

void CEmulatorView::mouseDoubleClickEvent(QMouseEvent* event) {
    CTravikDoc* doc = Document();
    const QPoint at = event->position().toPoint();
    const std::optional<RegisterEditPlace> place = RegisterAt(at.x(), at.y());
    if (doc != nullptr && place) {
        edit_->p1 = place->index;
        edit_->SetText(RegisterEditText(doc->Emulator(), place->index));
        edit_->setGeometry(place->x, place->y, kRegisterEditorWidth, kRegisterEditorHeight);
        edit_->raise();
        edit_->show();
        edit_->SelectAll();
        edit_->setFocus();
    }
    QWidget::mouseDoubleClickEvent(event);
}
