#include "CChildFrame.h"

#include <QCloseEvent>
#include <QSplitter>

#include "listing/qt/CTravikView.h"

namespace {
// Whether any listing window has been shown yet in this process.
bool anyChildActivated = false;
}  // namespace

CChildFrame::CChildFrame(CTravikDoc& doc, QWidget* parent) : QMdiSubWindow(parent), doc_(doc) {
    setAttribute(Qt::WA_DeleteOnClose);
    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setChildrenCollapsible(true);
    for (int i = 0; i < 2; ++i) {
        views_[i] = new CTravikView(doc, splitter_);
        views_[i]->setMinimumSize(10, 10);
        splitter_->addWidget(views_[i]);
        connect(views_[i], &CTravikView::activated, this, [this](CTravikView* view) {
            activeView_ = view;
            emit viewActivated(view);
        });
    }
    splitter_->setSizes({1, 0});
    setWidget(splitter_);
    setWindowIcon(QIcon());
}

void CChildFrame::SetSplit(bool split) {
    const int total = splitter_->height();
    splitter_->setSizes(split ? QList<int>{total / 2, total - total / 2} : QList<int>{total, 0});
}

void CChildFrame::ShowFirstTime() {
    if (!anyChildActivated) {
        anyChildActivated = true;
        showMaximized();
    } else {
        show();
    }
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    if (canClose && !canClose(this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
    if (event->isAccepted()) emit closed(this);
}
