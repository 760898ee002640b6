#pragma once

#include <QMdiSubWindow>
#include <QPointer>
#include <functional>

#include "listing/qt/CTravikView.h"

class CTravikDoc;
class QSplitter;

// One listing window of a document: a splitter of two rows whose second row, closed
// at first, shows a second view of the same document when dragged open.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
  public:
    explicit CChildFrame(CTravikDoc& doc, QWidget* parent = nullptr);

    CTravikDoc& Document() const { return doc_; }
    CTravikView* FirstView() const { return views_[0]; }
    CTravikView* SecondView() const { return views_[1]; }
    // The view of this window that was activated last.
    CTravikView* ActiveView() const { return activeView_ ? activeView_.data() : views_[0]; }
    QSplitter* Splitter() const { return splitter_; }
    // Opens the second row at half the height, or closes it.
    void SetSplit(bool split);

    // Shows a new window: maximised when the window shown last was (and the first one
    // of the program), else at least half the MDI area wide and high.
    void ShowFirstTime();

    // Asked before the window closes; false keeps it open.
    std::function<bool(CChildFrame*)> canClose;

  signals:
    void viewActivated(CTravikView* view);
    void closed(CChildFrame* frame);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Only a row that is open takes the keyboard focus.
    void FollowSplit();

    CTravikDoc& doc_;
    QSplitter* splitter_;
    CTravikView* views_[2];
    QPointer<CTravikView> activeView_;
};
