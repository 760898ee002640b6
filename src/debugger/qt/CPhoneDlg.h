#pragma once

#include <QImage>
#include <QWidget>

class FrameServices;

// The Phone Emulator bar's contents: a picture of the phone with its 84 x 48 display
// drawn from the first document's stack RAM, stretched over the whole window.
class CPhoneDlg : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kPictureWidth = 181;
    static constexpr int kPictureHeight = 473;
    static constexpr int kScreenLeft = 45, kScreenTop = 182;  // 92 x 64 pixels
    static constexpr uint32_t kLcdOffset = 0x7600;

    explicit CPhoneDlg(FrameServices& frame, QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // Draws the screen area into the picture from the first document (kept between
    // paints, as the phone's display keeps its last contents).
    void UpdateScreen();
    const QImage& Picture() const { return picture_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    FrameServices& frame_;
    QImage picture_;
};
