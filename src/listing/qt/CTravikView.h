#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "listing/ListingKeys.h"
#include "listing/ListingPage.h"
#include "session/DebugSession.h"
#include "widgets/AccessibleLines.h"
#include "widgets/QtCanvas.h"

class CTravikDoc;
class CFindDlg;
class FindAll;
class CInlineEdit;
class QScrollBar;
class QTimer;

// The listing window of one document: paints the page the core's paint model gives,
// with the vertical scroll bar at its right and the two in-place editors over it.
class CTravikView : public QWidget, public AccessibleLines, public DebugSessionObserver {
    Q_OBJECT
  public:
    static constexpr int kAnnotationEditId = 9000;
    static constexpr int kExplanationBoxId = 9001;
    static constexpr int kTimerId = 19;
    static constexpr int kTimerPeriodMs = 100;

    explicit CTravikView(CTravikDoc& doc, QWidget* parent = nullptr);
    ~CTravikView() override;

    CTravikDoc& GetDocument() const { return doc_; }
    // Whether this is the active view of the main window's active child frame; only
    // the active view draws the cursor. Repaints when it changes.
    void SetActive(bool active);
    bool IsActive() const { return active_; }
    // Puts the cursor on the item containing `offset` and repaints.
    void GoToOffset(uint32_t offset, bool force);
    ListingViewState& State() { return state_; }

    // The input state all listing windows share (wheel delta, bitmap drag); each view
    // has its own until the frame gives it the common one.
    void SetSharedInput(ListingInputState* input) { input_ = input ? input : &ownInput_; }

    // The run commands: whether one can act now, and handing it to the document's
    // session with the cursor's item (a beep when it cannot). The cursor follows the
    // current instruction after the commands of this view and the runs they began.
    bool CanRun(RunCommand command) const;
    void OnRunCommand(RunCommand command);
    void OnStateChanged(const SessionRefresh& refresh, const DebugSessionObserver* driver) override;
    bool FollowsRuns() const override { return true; }

    // Find... asks for the pattern and searches from the start of the image; Find Next
    // searches again from the item after the cursor's. A hit moves the cursor there.
    void OnFind();
    void OnFindNext();
    // Every item with a match, searched in slices while the window stays live (progress
    // in the status bar, Esc cancels); foundAll reports them when the search completes.
    void FindAllItems(const std::string& pattern, int mode, bool annotationsToo = false);
    bool FindingAll() const { return findAll_ != nullptr; }
    // The view's own Find dialog: the last pattern and mode are remembered per view.
    CFindDlg& FindDialog();

    CInlineEdit& AnnotationEdit() const { return *annotationEdit_; }
    CInlineEdit& ExplanationBox() const { return *explanationBox_; }
    QScrollBar& VerticalScrollBar() const { return *scrollBar_; }
    // Ticks drive the emulator's animation; the run commands start and stop it.
    QTimer& AnimationTimer() const { return *timer_; }
    QtCanvas& Canvas() { return canvas_; }
    // The width the listing paints in: the window without its scroll bar.
    int ClientWidth() const;
    // The lines on the page now, each followed by a tab and its annotation when it has
    // one (the accessible text). Does not change the view's state.
    std::vector<std::string> VisibleLines() const;
    std::vector<std::string> AccessibleLineTexts() const override { return VisibleLines(); }
    int AccessibleCursorLine() const override;

  signals:
    // The user clicked or focused this view: the frame makes it the active view.
    void activated(CTravikView* view);
    // Find All completed: its items in address order.
    void foundAll(CTravikView* view, const std::vector<uint32_t>& items);
    // The cursor stands on another item (told when the view paints).
    void cursorMoved(CTravikView* view);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    // Brings the cursor's line, the row count and the page's last offset up to date
    // with the top line and the cursor row: before input reads them and after it moved
    // them, so that keys handled without a paint between them act on the right item.
    void PlacePage();
    void ApplyPaintResult();
    void ApplyEffect(const ListingEffect& effect);
    void OpenAnnotationEditor();
    // Before the cursor moves: an open editor stores its text, when changed, on the line
    // it was opened for and closes. False when the text was refused and the editor stays
    // open; the move is not made then.
    bool EndEdits();
    void OnScrollAction(int action);
    void OnAnimationTick();
    void FindAllSlice();
    void EndFindAll(bool completed);

    CTravikDoc& doc_;
    ListingViewState state_;
    ListingPaint paint_;
    QtCanvas canvas_;
    bool active_ = false;
    CInlineEdit* annotationEdit_;
    CInlineEdit* explanationBox_;
    QScrollBar* scrollBar_;
    QTimer* timer_;
    ListingInputState ownInput_;
    ListingInputState* input_ = &ownInput_;
    CFindDlg* findDlg_ = nullptr;  // made on first use, owned as a child
    std::unique_ptr<FindAll> findAll_;  // the Find All going on
    int64_t toldCursor_ = -1;           // the cursor cursorMoved told last
};
