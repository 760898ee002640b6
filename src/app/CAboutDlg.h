#pragma once

#include <QDialog>

// "About Travik": the icon, the version line and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
