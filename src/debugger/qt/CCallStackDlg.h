#pragma once

#include <QWidget>

class QTreeWidget;
class CTravikDoc;

// The call stack bar's contents: one nested line of calls, outermost at the top.
class CCallStackDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CCallStackDlg(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // Rebuilds the tree from the document's emulator: its emulated calls while it
    // runs, the listing's browsing trail otherwise. No document: nothing changes.
    void Rebuild(const CTravikDoc* doc);
    QTreeWidget* Tree() const { return tree_; }

  private:
    QTreeWidget* tree_;
};
