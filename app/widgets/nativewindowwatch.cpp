#include "widgets/nativewindowwatch.h"

#include <QCoreApplication>
#include <QWindow>

#if __has_include(<xcb/xproto.h>)
#include <xcb/xproto.h>
#define TARVELL_WATCH_XCB 1
#endif

NativeWindowWatch::NativeWindowWatch(QWidget* window)
    : QObject(window)
    , m_window(window) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

NativeWindowWatch::~NativeWindowWatch() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool NativeWindowWatch::nativeEventFilter(const QByteArray& eventType, void* message,
                                          qintptr* /*result*/) {
#ifdef TARVELL_WATCH_XCB
    if (eventType != "xcb_generic_event_t" || !m_window)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_DESTROY_NOTIFY)
        return false;
    const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
    // When Qt destroys the window itself, the widget has let go of it before the notice comes.
    const QWindow* handle = m_window->windowHandle();
    if (destroyed->window != m_window->internalWinId() || !handle || !handle->handle())
        return false;
    QMetaObject::invokeMethod(this, &NativeWindowWatch::destroyedOutside, Qt::QueuedConnection);
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
#endif
    return false;
}
