#include "app/CAboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "widgets/DialogUnits.h"
#include "app/ToolbarIcons.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Travik");
    QFont dialogFont = font();
    dialogFont.setPixelSize(11);
    setFont(dialogFont);
    setFont(DialogFont());
    setFixedSize(DluSize(235, 55));

    auto* icon = new QLabel(this);
    icon->setPixmap(ApplicationPixmap(32));
    icon->setGeometry(DluX(11), DluY(17), 32, 32);
    icon->setAccessibleName("Travik");

    auto* version = new QLabel("Travik Version 1.6 beta", this);
    version->setGeometry(DluX(40), DluY(10), DluX(119), DluY(8));

    auto* ok = new QPushButton("OK", this);
    ok->setGeometry(DluX(178), DluY(7), DluX(50), DluY(14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
