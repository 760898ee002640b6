#pragma once

#include <QWidget>
#include <functional>

#include "debugger/MemoryDump.h"
#include "shell/DrawList.h"
#include "widgets/AccessibleLines.h"
#include "widgets/QtCanvas.h"

class CInlineEdit;
class CTravikDoc;
class FrameServices;

// The Memory Dump bar's view: the stack RAM of the document the bars show, in twelve
// pages, with keys to move, select, name (E) and modify (M) bytes and to watch them (R,
// W; with Shift to stop watching).
class CMemoryView : public QWidget, public AccessibleLines {
    Q_OBJECT
  public:
    explicit CMemoryView(FrameServices& frame, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {310, 90}; }

    CInlineEdit* Editor() const { return edit_; }
    const MemoryViewState& State() const { return state_; }
    // The document shown; without a source, the frame's first document.
    void SetSource(std::function<CTravikDoc*()> source) { source_ = std::move(source); }
    CTravikDoc* Document() const;
    // Moves the current page to the emulator's latest stack access (pages 0 to 2) and
    // repaints: called where a run reports its changes. A paint only reads.
    void FollowAccesses();
    // The current page shows the RAM byte `offset` with the cursor on it.
    void ShowRamOffset(int32_t offset);
    // The texts of the last paint, line by line from the top.
    std::vector<std::string> AccessibleLineTexts() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }  // Tab is a key like the others

  private:
    FrameServices& frame_;
    std::function<CTravikDoc*()> source_;
    CInlineEdit* edit_;
    MemoryViewState state_;
    DrawList draw_;
    QtCanvas canvas_;
};
