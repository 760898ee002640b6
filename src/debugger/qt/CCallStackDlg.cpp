#include "CCallStackDlg.h"

#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdio>

#include "document/CTravikDoc.h"
#include "shell/qt/DialogUnits.h"

CCallStackDlg::CCallStackDlg(QWidget* parent) : QWidget(parent) {
    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(false);
    tree_->setItemsExpandable(false);
    tree_->setAccessibleName("Call Stack");
    tree_->addTopLevelItem(new QTreeWidgetItem(QStringList("Empty")));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addWidget(tree_);
    resize(sizeHint());
}

QSize CCallStackDlg::sizeHint() const {
    return DluSize(92, 112);
}

void CCallStackDlg::Rebuild(const CTravikDoc* doc) {
    if (!doc) return;
    const CEmulator& emulator = doc->emulator;
    const bool emulating = emulator.runState != CEmulator::kStopped;
    tree_->clear();
    auto* root = new QTreeWidgetItem(QStringList(emulating ? "Emulator Root" : "Manual browsing"));
    tree_->addTopLevelItem(root);
    // Browsing records hold image offsets; emulated ones phone addresses in the flash.
    auto shown = [&](uint32_t value) {
        return (emulating ? (value & 0xFFFFF) : value) + doc->baseAddress;
    };
    QTreeWidgetItem* parent = root;
    for (const CallRecord& record : emulator.callTracks[emulating ? 1 : 0]) {
        char text[40];
        std::snprintf(text, sizeof text, "%.8X -> %.8X", shown(record.callSite),
                      shown(record.target));
        auto* item = new QTreeWidgetItem(parent, QStringList(QString::fromLatin1(text)));
        parent->setExpanded(true);
        parent = item;
    }
}
