#pragma once
#include <QPoint>

class QWidget;

namespace lumet {

// Where the pointer is and which window lies under it. The hover poll asks only this, so a
// test (or a platform without a real cursor) can drive the poll deterministically.
class PointerProbe {
public:
    virtual ~PointerProbe() = default;
    virtual QPoint cursorPos() = 0;
    // The window under a screen point. A window inside a disabled widget is never reported:
    // the nearest enabled window around it is, as a disabled control takes no pointer input.
    virtual QWidget* windowAt(const QPoint& globalPos) = 0;
};

} // namespace lumet
