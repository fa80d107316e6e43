#pragma once

#include <QIcon>

// The icon of the program's windows, in its 32 x 32 and 16 x 16 pictures.
QIcon programIcon();
