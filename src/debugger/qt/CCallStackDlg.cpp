#include "CCallStackDlg.h"

#include <QKeyEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "debugger/CallStackTree.h"
#include "document/CTravikDoc.h"
#include "widgets/DialogUnits.h"

CCallStackDlg::CCallStackDlg(QWidget* parent) : QWidget(parent) {
    setObjectName("callStackDlg");
    tree_ = new QTreeWidget(this);
    tree_->setObjectName("callStackTree");
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(false);
    tree_->setItemsExpandable(false);
    tree_->setUniformRowHeights(true);
    tree_->setAccessibleName("Call Stack");
    tree_->addTopLevelItem(new QTreeWidgetItem(QStringList("Empty")));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addWidget(tree_);
    flush_.setSingleShot(true);
    flush_.setInterval(0);
    connect(&flush_, &QTimer::timeout, this, [this] {
        if (pending_) RebuildNow();
    });
    resize(sizeHint());
}

QSize CCallStackDlg::sizeHint() const {
    return DluSize(92, 112);
}

void CCallStackDlg::RequestRebuild() {
    pending_ = true;
    if (isVisible() && !flush_.isActive()) flush_.start();
}

void CCallStackDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (pending_) flush_.start();
}

void CCallStackDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void CCallStackDlg::Rebuild(const CTravikDoc* doc) {
    if (doc != nullptr) Show(BuildCallStack(*doc));
}

void CCallStackDlg::RebuildNow() {
    pending_ = false;
    flush_.stop();
    const CTravikDoc* doc = source_ ? source_() : nullptr;
    if (doc == nullptr) {
        Show({.root = "Empty", .items = {}});
        return;
    }
    Show(BuildCallStack(*doc));
}

// The tree keeps its items where their texts stay the same: a call or a return then
// touches one level instead of rebuilding hundreds.
void CCallStackDlg::Show(const CallStackModel& model) {
    tree_->setUpdatesEnabled(false);
    if (tree_->topLevelItemCount() != 1) {
        tree_->clear();
        tree_->addTopLevelItem(new QTreeWidgetItem);
    }
    QTreeWidgetItem* item = tree_->topLevelItem(0);
    const QString root = QString::fromLatin1(model.root.c_str());
    if (item->text(0) != root) item->setText(0, root);
    for (const std::string& line : model.items) {
        const QString text = QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
        QTreeWidgetItem* child = item->childCount() > 0 ? item->child(0) : nullptr;
        if (child == nullptr) child = new QTreeWidgetItem(item);
        if (child->text(0) != text) child->setText(0, text);
        if (!item->isExpanded()) item->setExpanded(true);
        item = child;
    }
    // Whatever was deeper is gone.
    while (item->childCount() > 0) delete item->takeChild(0);
    tree_->setUpdatesEnabled(true);
}
