// The listing view's Find, Find Next and Find All commands.
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include "document/CTravikDoc.h"
#include "listing/Search.h"
#include "listing/TextFormat.h"
#include "listing/qt/CTravikView.h"
#include "shell/FrameServices.h"
#include "widgets/CFindDlg.h"

namespace {
// Image bytes a Find All slice searches: a few milliseconds, so the window keeps up.
constexpr uint64_t kFindAllSlice = 1 << 20;
}  // namespace

CFindDlg& CTravikView::FindDialog() {
    if (findDlg_ == nullptr) findDlg_ = new CFindDlg(this);
    return *findDlg_;
}

void CTravikView::OnFind() {
    CFindDlg& dialog = FindDialog();
    if (!dialog.Run() || dialog.pattern.isEmpty()) return;
    const std::string pattern = dialog.pattern.toLocal8Bit().toStdString();
    if (dialog.findAll) {
        FindAllItems(pattern, dialog.mode, dialog.annotationsToo);
        return;
    }
    const int32_t result = Search(doc_, pattern, 0, dialog.mode, dialog.annotationsToo);
    if (result >= 0) GoToOffset(static_cast<uint32_t>(result), true);
    update();
}

void CTravikView::OnFindNext() {
    CFindDlg& dialog = FindDialog();
    if (dialog.pattern.isEmpty()) return;
    int subLine = 1;
    const int64_t start = doc_.NextLine(state_.cursorOffset, subLine);
    const int32_t result = Search(doc_, dialog.pattern.toLocal8Bit().toStdString(),
                                  static_cast<uint32_t>(start), dialog.mode, dialog.annotationsToo);
    if (result >= 0) GoToOffset(static_cast<uint32_t>(result), true);
    update();
}

void CTravikView::FindAllItems(const std::string& pattern, int mode, bool annotationsToo) {
    if (findAll_) EndFindAll(false);
    findAll_ = std::make_unique<FindAll>(doc_, pattern, mode, annotationsToo);
    if (findAll_->Refused()) {
        findAll_.reset();
        return;
    }
    // Esc anywhere in the program cancels.
    qApp->installEventFilter(this);
    FindAllSlice();
}

void CTravikView::FindAllSlice() {
    if (!findAll_) return;
    char address[16];
    char* end = textformat::PutHex(
        address, doc_.DisplayedAddress(static_cast<int64_t>(findAll_->Position())), 1);
    doc_.Frame().SetStatusText(findAll_->ProgressPrefix() + std::string(address, end));
    if (!findAll_->Step(kFindAllSlice)) {
        EndFindAll(true);
        return;
    }
    QTimer::singleShot(0, this, &CTravikView::FindAllSlice);
}

void CTravikView::EndFindAll(bool completed) {
    qApp->removeEventFilter(this);
    const std::unique_ptr<FindAll> search = std::move(findAll_);
    if (!completed) {
        doc_.Frame().SetStatusText("Search cancelled");
        return;
    }
    const size_t count = search->Results().size();
    doc_.Frame().SetStatusText(count == 0 ? std::string(kNotFound)
                                          : std::to_string(count) + " found");
    emit foundAll(this, search->Results());
}

bool CTravikView::eventFilter(QObject* watched, QEvent* event) {
    if (findAll_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        EndFindAll(false);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
