#pragma once

#include <Qt>

class QMdiArea;

// Tiles the child windows that are shown and not minimised over the whole area.
// Qt::Horizontal: each window as wide as the area, one above the other ("Горизонтально");
// Qt::Vertical: each as high as the area, side by side ("Вертикально").
void TileSubWindows(QMdiArea *area, Qt::Orientation orientation);
