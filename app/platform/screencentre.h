#pragma once

class QWidget;

// Places a window in the middle of its screen. The arithmetic is in twips and single precision,
// as the windows' layouts are stored: top, then left, each half the screen less half the
// window's outer size.
void centreOnScreen(QWidget* window);
