#include "cursorprobe.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

CursorProbe& CursorProbe::instance() {
    static CursorProbe probe;
    return probe;
}

QPoint CursorProbe::cursorPos() {
    return QCursor::pos();
}

QWidget* CursorProbe::windowAt(const QPoint& globalPos) {
    QWidget* widget = QApplication::widgetAt(globalPos);
    while (widget && !widget->isEnabled())
        widget = widget->parentWidget();
    return widget;
}
