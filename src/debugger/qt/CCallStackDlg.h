#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

class QTreeWidget;
class CTravikDoc;
struct CallStackModel;

// The call stack bar's contents: one nested line of calls, outermost at the top.
class CCallStackDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CCallStackDlg(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // Rebuilds the tree from the document's emulator at once: its emulated calls while
    // it runs, the listing's browsing trail otherwise. No document: nothing changes.
    void Rebuild(const CTravikDoc* doc);

    // Where RequestRebuild finds its document (the one the bars show).
    void SetSource(std::function<const CTravikDoc*()> source) { source_ = std::move(source); }
    // Asks for a rebuild from the source. Calls come at every emulated call
    // and return, thousands a second in a long run: they are gathered into one rebuild
    // when the program is next idle, and a hidden bar rebuilds only when shown.
    void RequestRebuild();
    // Does a pending request at once. No document: "Empty" (the document closed).
    void RebuildNow();
    bool RebuildPending() const { return pending_; }
    QTreeWidget* Tree() const { return tree_; }

  protected:
    void showEvent(QShowEvent* event) override;
    // Enter and Escape do nothing here.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Show(const CallStackModel& model);

    std::function<const CTravikDoc*()> source_;
    QTreeWidget* tree_;
    QTimer flush_;
    bool pending_ = false;
};
