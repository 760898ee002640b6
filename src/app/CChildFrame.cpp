#include "app/CChildFrame.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QSplitter>

#include "listing/qt/CTravikView.h"

namespace {
// Whether the listing window shown or changed last was maximised; the program's first
// one is. A window opened after the last one closed takes it over.
bool lastMaximised = true;
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
    connect(splitter_, &QSplitter::splitterMoved, this, &CChildFrame::FollowSplit);
    FollowSplit();
    setWidget(splitter_);
    setWindowIcon(QIcon());
}

void CChildFrame::SetSplit(bool split) {
    const int total = splitter_->height();
    splitter_->setSizes(split ? QList<int>{total / 2, total - total / 2} : QList<int>{total, 0});
    FollowSplit();
}

void CChildFrame::FollowSplit() {
    // A closed row lies outside the window: Tab must not lead the keys into it. The
    // first row counts as open unless the second holds all of the window.
    const QList<int> sizes = splitter_->sizes();
    const bool open[2] = {sizes.value(0) > 0 || sizes.value(1) == 0, sizes.value(1) > 0};
    for (int i = 0; i < 2; ++i) {
        views_[i]->setFocusPolicy(open[i] ? Qt::StrongFocus : Qt::NoFocus);
        if (!open[i] && views_[i]->hasFocus()) views_[1 - i]->setFocus();
    }
}

void CChildFrame::ShowFirstTime() {
    // Its own size hint is a few pixels: a window of no use until the user drags it, and
    // the size a maximised one would be restored to.
    if (QMdiArea* area = mdiArea()) resize(size().expandedTo(area->viewport()->size() / 2));
    if (lastMaximised)
        showMaximized();
    else
        show();
}

void CChildFrame::changeEvent(QEvent* event) {
    QMdiSubWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isVisible()) lastMaximised = isMaximized();
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    if (canClose && !canClose(this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
    if (event->isAccepted()) emit closed(this);
}
