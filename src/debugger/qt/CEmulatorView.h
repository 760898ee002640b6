#pragma once

#include <QWidget>

class FrameServices;

// The Emulator bar's view: registers, flags and stack of the first document's
// emulator. With no document it says so.
class CEmulatorView : public QWidget {
    Q_OBJECT
  public:
    explicit CEmulatorView(FrameServices& frame, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {310, 90}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    FrameServices& frame_;
};
