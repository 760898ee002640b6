#pragma once

#include <QImage>
#include <QWidget>

#include "debugger/PhoneScreen.h"

class FrameServices;

// The Phone Emulator bar's contents: a picture of the phone with its 84 x 48 display
// drawn from the first document's stack RAM, stretched over the whole window.
class CPhoneDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CPhoneDlg(FrameServices& frame, QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // Draws the screen area into the picture from the first document (kept between
    // paints, as the phone's display keeps its last contents).
    void UpdateScreen();
    const QImage& Picture() const { return picture_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Enter and Escape do nothing here.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    FrameServices& frame_;
    PhoneScreen screen_;
    QImage picture_;
};

// Our drawing of the phone: 181 x 473, its screen area at (45, 182)-(136, 245).
QImage DrawPhonePicture();
