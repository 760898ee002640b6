#pragma once

#include <QWidget>

class FrameServices;

// The Memory Dump bar's view: the first document's stack RAM. With no document it
// says so.
class CMemoryView : public QWidget {
    Q_OBJECT
  public:
    explicit CMemoryView(FrameServices& frame, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {310, 90}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    FrameServices& frame_;
};
