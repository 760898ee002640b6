#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>

#include "debugger/PhoneScreen.h"

class CTravikDoc;
class FrameServices;

// The Phone Emulator bar's contents: a picture of the phone with its 84 x 48 display
// drawn from the stack RAM of the document the bars show, stretched over the whole
// window.
class CPhoneDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CPhoneDlg(FrameServices& frame, QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // The document shown; without a source, the frame's first document.
    void SetSource(std::function<CTravikDoc*()> source) { source_ = std::move(source); }
    // Draws the screen area into the picture from the document shown (kept between
    // paints, as the phone's display keeps its last contents).
    void UpdateScreen();
    const QImage& Picture() const { return picture_; }
    // Where Ctrl+click on a pixel shows the instruction that drew it: its image offset.
    void SetGoTo(std::function<void(uint32_t)> goTo) { goTo_ = std::move(goTo); }
    // The display pixel (column, row) under a point of the window, if any.
    std::optional<QPoint> LcdPixelAt(QPoint point) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Enter and Escape do nothing here.
    void keyPressEvent(QKeyEvent* event) override;
    // A click on a display pixel tells in the status bar which instruction last wrote
    // its byte; Ctrl+click goes there too.
    void mousePressEvent(QMouseEvent* event) override;

  private:
    FrameServices& frame_;
    std::function<CTravikDoc*()> source_;
    std::function<void(uint32_t)> goTo_;
    PhoneScreen screen_;
    QImage picture_;
};

// Our drawing of the phone: 181 x 473, its screen area at (45, 182)-(136, 245).
QImage DrawPhonePicture();
