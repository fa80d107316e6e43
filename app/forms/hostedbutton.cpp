#include "forms/hostedbutton.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>

HostedButton::HostedButton(QWidget* control)
    : m_control(control) {}

QWidget* HostedButton::widget() const {
    return m_control.data();
}

QString HostedButton::caption() const {
    return m_control ? m_control->property("Caption").toString() : QString();
}

void HostedButton::setCaption(const QString& caption) {
    if (m_control)
        m_control->setProperty("Caption", caption);
}

bool HostedButton::isEnabled() const {
    return m_control && m_control->property("Enabled").toBool();
}

void HostedButton::setEnabled(bool enabled) {
    if (m_control)
        m_control->setProperty("Enabled", enabled);
}

void HostedButton::click() {
    if (!m_control)
        return;
    // The button's own press-and-release command (Space down, Space up) clicks it wherever
    // the pointer is, and like a pointer click it is refused by a disabled button.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QCoreApplication::sendEvent(m_control, &press);
    if (!m_control)
        return;
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QCoreApplication::sendEvent(m_control, &release);
}

void HostedButton::onClick(QObject* context, std::function<void()> handler) {
    if (!m_control || !context || !handler)
        return;
    // The control's class is unknown at build time, so its Click can only be reached by its
    // signature. A QAction relays it to the handler synchronously, so the handler still runs
    // inside the button's release handling; it lives as long as the handler's context.
    auto* relay = new QAction(context);
    if (!QObject::connect(m_control, SIGNAL(Click()), relay, SLOT(trigger()))) {
        delete relay;
        return;
    }
    QObject::connect(relay, &QAction::triggered, context,
                     [handler = std::move(handler)] { handler(); });
    QObject::connect(m_control, &QObject::destroyed, relay, &QObject::deleteLater);
}
