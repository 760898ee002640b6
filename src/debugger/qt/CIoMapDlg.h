#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class CTravikDoc;

// The I/O Map bar's contents: the document's I/O access map, an address a line (its
// RAM name, reads and writes with the last values), unfolding to the instructions that
// made them; a double-click (or Enter) on an instruction goes there in the listing.
// Clear empties the map.
class CIoMapDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CIoMapDlg(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    void SetSource(std::function<CTravikDoc*()> source) { source_ = std::move(source); }
    // Where a chosen instruction is shown: its image offset.
    void SetGoTo(std::function<void(uint32_t)> goTo) { goTo_ = std::move(goTo); }
    // Asks for a rebuild from the source, gathered into one a little later; a hidden
    // bar rebuilds only when shown.
    void RequestRebuild();
    void RebuildNow();
    QTreeWidget* Tree() const { return tree_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Activate(QTreeWidgetItem* item);

    std::function<CTravikDoc*()> source_;
    std::function<void(uint32_t)> goTo_;
    QTreeWidget* tree_;
    QLabel* count_;
    QTimer flush_;
    bool pending_ = false;
};
