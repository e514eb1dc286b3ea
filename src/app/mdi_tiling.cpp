#include "app/mdi_tiling.h"

#include <QMdiArea>
#include <QMdiSubWindow>

void TileSubWindows(QMdiArea *area, Qt::Orientation orientation)
{
    QList<QMdiSubWindow *> windows;
    for (QMdiSubWindow *window : area->subWindowList()) {
        if (window->isVisible() && !window->isMinimized())
            windows.append(window);
    }
    if (windows.isEmpty())
        return;
    const QRect space = area->viewport()->rect();
    const int count = int(windows.size());
    for (int i = 0; i < count; ++i) {
        QMdiSubWindow *window = windows[i];
        // A maximised window would ignore its new frame.
        if (window->isMaximized())
            window->showNormal();
        QRect frame;
        if (orientation == Qt::Horizontal) {
            const int top = space.height() * i / count;
            frame = QRect(0, top, space.width(), space.height() * (i + 1) / count - top);
        } else {
            const int left = space.width() * i / count;
            frame = QRect(left, 0, space.width() * (i + 1) / count - left, space.height());
        }
        window->setGeometry(frame);
    }
}
