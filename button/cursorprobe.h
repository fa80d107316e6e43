#pragma once
#include "lumet/pointerprobe.h"

// The real pointer: the cursor position and the top-most enabled widget under it.
class CursorProbe : public lumet::PointerProbe {
public:
    static CursorProbe& instance();
    QPoint cursorPos() override;
    QWidget* windowAt(const QPoint& globalPos) override;
};
