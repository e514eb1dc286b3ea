#pragma once

class QWidget;

// Moves a top-level window to the centre of the available area of the screen it is on
// (the primary screen when it has none yet).
void CenterOnScreen(QWidget *window);
