#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "shell/DrawList.h"
#include "widgets/AccessibleLines.h"
#include "widgets/QtCanvas.h"

class CInlineEdit;
class CTravikDoc;
class FrameServices;

// The Emulator bar's view: registers, flags, stack and I/O registers of the emulator
// of the document the bars show; a double click edits a register in place.
class CEmulatorView : public QWidget, public AccessibleLines {
    Q_OBJECT
  public:
    explicit CEmulatorView(FrameServices& frame, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {330, 510}; }

    CInlineEdit* Editor() const { return edit_; }
    // The document shown; without a source, the frame's first document.
    void SetSource(std::function<CTravikDoc*()> source) { source_ = std::move(source); }
    CTravikDoc* Document() const;
    // The painted texts, line by line from the top (what assistive technology reads).
    std::vector<std::string> AccessibleLineTexts() const override;

    // Follow in Memory: a menu of the registers whose values lie in the stack RAM (only
    // `index` when given), at `where`; the one chosen is followed.
    void ShowFollowMenu(const QPoint& where, std::optional<int> index = std::nullopt);

  signals:
    // Follow in Memory chose a register holding this stack RAM address.
    void followInMemory(uint32_t address);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // F: Follow in Memory, with the registers to choose from.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    FrameServices& frame_;
    std::function<CTravikDoc*()> source_;
    CInlineEdit* edit_;
    DrawList draw_;
    QtCanvas canvas_;
};
