#pragma once

class QWidget;

// Places a window in the middle of its screen by its outer size. The arithmetic is in twips and
// single precision, as the windows' layouts are stored: top, then left, each half the screen
// less half the window's outer size. Before a window is shown its frame is not known yet, so a
// window centred then is centred once more, by its frame, as soon as the frame is known.
void centreOnScreen(QWidget* window);
