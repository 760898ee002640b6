#pragma once

#include <QIcon>

// The program's own artwork, painted in code: the 16 x 15 toolbar images and the
// application icon.
QIcon ToolbarIcon(int commandId);
QIcon ApplicationIcon();
// The application icon as a picture of the given square size (the About box).
QPixmap ApplicationPixmap(int size);
