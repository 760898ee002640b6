#pragma once

#include <QWidget>

#include "debugger/MemoryDump.h"
#include "shell/DrawList.h"
#include "shell/qt/AccessibleLines.h"
#include "shell/qt/QtCanvas.h"

class CInlineEdit;
class FrameServices;

// The Memory Dump bar's view: the first document's stack RAM in twelve pages, with
// keys to move, select, name (E) and modify (M) bytes and to watch them (R, W; with
// Shift to stop watching).
class CMemoryView : public QWidget, public AccessibleLines {
    Q_OBJECT
  public:
    explicit CMemoryView(FrameServices& frame, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {310, 90}; }

    CInlineEdit* Editor() const { return edit_; }
    const MemoryViewState& State() const { return state_; }
    // The texts of the last paint, line by line from the top.
    std::vector<std::string> AccessibleLineTexts() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }  // Tab is a key like the others

  private:
    FrameServices& frame_;
    CInlineEdit* edit_;
    MemoryViewState state_;
    DrawList draw_;
    QtCanvas canvas_;
};
