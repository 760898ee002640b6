// The listing view's Find and Find Next commands.
#include "document/CTravikDoc.h"
#include "listing/Search.h"
#include "listing/qt/CTravikView.h"
#include "widgets/CFindDlg.h"

CFindDlg& CTravikView::FindDialog() {
    if (findDlg_ == nullptr) findDlg_ = new CFindDlg(this);
    return *findDlg_;
}

void CTravikView::OnFind() {
    CFindDlg& dialog = FindDialog();
    if (!dialog.Run() || dialog.pattern.isEmpty()) return;
    const int32_t result = Search(doc_, dialog.pattern.toLocal8Bit().toStdString(), 0, dialog.mode);
    if (result >= 0) GoToOffset(static_cast<uint32_t>(result), true);
    update();
}

void CTravikView::OnFindNext() {
    CFindDlg& dialog = FindDialog();
    if (dialog.pattern.isEmpty()) return;
    int subLine = 1;
    const int64_t start = doc_.NextLine(state_.cursorOffset, subLine);
    const int32_t result = Search(doc_, dialog.pattern.toLocal8Bit().toStdString(),
                                  static_cast<uint32_t>(start), dialog.mode);
    if (result >= 0) GoToOffset(static_cast<uint32_t>(result), true);
    update();
}
