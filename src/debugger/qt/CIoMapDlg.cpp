#include "CIoMapDlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "document/CTravikDoc.h"
#include "emulator/CEmulator.h"
#include "listing/Disassembler.h"
#include "session/DebugSession.h"
#include "widgets/DialogUnits.h"

namespace {
constexpr int kInstructionRole = Qt::UserRole;
}

CIoMapDlg::CIoMapDlg(QWidget* parent) : QWidget(parent) {
    setObjectName("ioMapDlg");
    tree_ = new QTreeWidget(this);
    tree_->setObjectName("ioMapTree");
    tree_->setAccessibleName("I/O Map");
    tree_->setColumnCount(3);
    tree_->setHeaderLabels({"Address", "Name / instruction", "Accesses"});
    tree_->setUniformRowHeights(true);
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* clear = new QPushButton("Clear", this);
    clear->setObjectName("ioMapClear");
    count_ = new QLabel(this);
    auto* top = new QHBoxLayout;
    top->addWidget(clear);
    top->addWidget(count_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addLayout(top);
    layout->addWidget(tree_);
    connect(clear, &QPushButton::clicked, this, [this] {
        if (CTravikDoc* doc = source_ ? source_() : nullptr) doc->Session().ClearIoMap();
        RebuildNow();
    });
    connect(tree_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { Activate(item); });
    flush_.setSingleShot(true);
    // A long run asks at every slice: a few rebuilds a second are enough.
    flush_.setInterval(200);
    connect(&flush_, &QTimer::timeout, this, [this] {
        if (pending_) RebuildNow();
    });
    resize(sizeHint());
}

QSize CIoMapDlg::sizeHint() const {
    return DluSize(220, 112);
}

void CIoMapDlg::RequestRebuild() {
    pending_ = true;
    if (isVisible() && !flush_.isActive()) flush_.start();
}

void CIoMapDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    RequestRebuild();
}

void CIoMapDlg::Activate(QTreeWidgetItem* item) {
    const QVariant instruction = item->data(0, kInstructionRole);
    if (!instruction.isValid() || !goTo_) return;
    goTo_(instruction.toUInt() - CEmulator::kFlashBase);
}

// The addresses unfolded before stay unfolded.
void CIoMapDlg::RebuildNow() {
    pending_ = false;
    QSet<QString> unfolded;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i)
        if (tree_->topLevelItem(i)->isExpanded()) unfolded.insert(tree_->topLevelItem(i)->text(0));
    tree_->clear();
    const CTravikDoc* doc = source_ ? source_() : nullptr;
    if (doc == nullptr) {
        count_->setText(QString());
        return;
    }
    const std::vector<IoAddressCounts> map = doc->Session().IoMap().Sorted();
    count_->setText(QString("%1 addresses").arg(map.size()));
    for (const IoAddressCounts& counts : map) {
        auto* item = new QTreeWidgetItem(
            {QString::asprintf("%.8X", counts.address),
             QString::fromStdString(IoAddressName(*doc, counts.address)),
             QString::fromStdString(IoAddressSummary(counts))});
        for (const IoInstructionCounts& by : counts.instructions) {
            const uint32_t offset = by.instruction - CEmulator::kFlashBase;
            const std::string text =
                offset + 1 < doc->ImageSize() ? DisassembleThumb(*doc, offset) : std::string();
            auto* child = new QTreeWidgetItem({QString::asprintf("%.8X", by.instruction),
                                               QString::fromStdString(text),
                                               QString::fromStdString(IoInstructionSummary(by))});
            child->setData(0, kInstructionRole, by.instruction);
            item->addChild(child);
        }
        tree_->addTopLevelItem(item);
        item->setExpanded(unfolded.contains(item->text(0)));
    }
}
