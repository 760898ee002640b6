#pragma once

#include <QDockWidget>

// A docking bar around one hosted dialog or view that always fills it. Its default
// thickness is the hosted window's size plus the bar's edge and border (9 pixels);
// it never gets thinner than 32 pixels.
class CResizableBar : public QDockWidget {
    Q_OBJECT
  public:
    static constexpr int kMinimumSize = 32;
    static constexpr int kEdgeAndBorder = 9;

    CResizableBar(const QString& caption, const QString& objectName, QWidget* hosted,
                  QWidget* parent);

    QWidget* Hosted() const { return widget(); }
    // Hosted window's size plus edge and border.
    QSize DefaultSize() const { return defaultSize_; }

  signals:
    // The user closed the bar with its own close button.
    void closedByUser();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QSize defaultSize_;
};
