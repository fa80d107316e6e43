#pragma once
// Tells when another program has destroyed a window's native window. Qt reports no event for
// that: the widget stays "visible" with nothing left on screen, so a program whose main window
// went that way would live on unseen. Only X11 destroys windows from outside; elsewhere the
// watch never fires.

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QPointer>
#include <QWidget>

class NativeWindowWatch : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit NativeWindowWatch(QWidget* window);
    ~NativeWindowWatch() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // Sent from the event loop, never from inside the native event.
    void destroyedOutside();

private:
    QPointer<QWidget> m_window;
};
