#include "CEmulatorView.h"

#include <QContextMenuEvent>
#include <QMenu>
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

void CEmulatorView::ShowFollowMenu(const QPoint& where, std::optional<int> index) {
    CTravikDoc* doc = Document();
    if (doc == nullptr || doc->Emulator().runState == CEmulator::kStopped) return frame_.Beep();
    static constexpr const char* kNames[16] = {"R0", "R1", "R2", "R3",  "R4",  "R5", "R6", "R7",
                                               "R8", "R9", "R10", "R11", "R12", "SP", "LR", "PC"};
    QMenu menu(this);
    menu.setAccessibleName("Follow in Memory");
    const int first = index.value_or(0), last = index.value_or(15);
    for (int i = first; i <= last && i < 16; ++i) {
        const uint32_t value = doc->Emulator().r[i];
        const uint32_t offset = value - doc->RamBase();
        QAction* action = menu.addAction(
            index ? QStringLiteral("Follow %1 in Memory").arg(kNames[i])
                  : QStringLiteral("%1 = %2").arg(kNames[i]).arg(value, 8, 16, QChar('0')).toUpper());
        action->setEnabled(offset < doc->RamSize());
        connect(action, &QAction::triggered, this, [this, value] { emit followInMemory(value); });
    }
    menu.exec(mapToGlobal(where));
}

void CEmulatorView::contextMenuEvent(QContextMenuEvent* event) {
    const std::optional<RegisterEditPlace> place = RegisterAt(event->pos().x(), event->pos().y());
    if (place && place->index < 16) ShowFollowMenu(event->pos(), place->index);
}

void CEmulatorView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F && event->modifiers() == Qt::NoModifier)
        return ShowFollowMenu({0, 0});
    QWidget::keyPressEvent(event);
}
