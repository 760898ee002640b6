#pragma once

#include <QComboBox>

// A toolbar combo box with its kind: 1 the task list, 2 the jump list (0 until set).
class CToolBarCombo : public QComboBox {
    Q_OBJECT
  public:
    explicit CToolBarCombo(QWidget* parent = nullptr) : QComboBox(parent) {}
    int kind = 0;

    void hidePopup() override {
        QComboBox::hidePopup();
        // The chosen line becomes the current text only after the list has closed.
        QMetaObject::invokeMethod(
            this, [this] { emit closedUp(this); }, Qt::QueuedConnection);
    }

  signals:
    void closedUp(CToolBarCombo* combo);
};
