#include "app/CResizableBar.h"

#include <QCloseEvent>

CResizableBar::CResizableBar(const QString& caption, const QString& objectName, QWidget* hosted,
                             QWidget* parent)
    : QDockWidget(caption, parent) {
    setObjectName(objectName);
    setAccessibleName(caption);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::AllDockWidgetAreas);
    defaultSize_ = hosted->sizeHint() + QSize(kEdgeAndBorder, kEdgeAndBorder);
    hosted->setMinimumSize(0, 0);
    setWidget(hosted);
    setMinimumSize(kMinimumSize, kMinimumSize);
}

void CResizableBar::closeEvent(QCloseEvent* event) {
    QDockWidget::closeEvent(event);
    if (event->isAccepted()) emit closedByUser();
}
