#pragma once
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QObject;

// A window's late-bound handle on one of its buttons: it reaches the control only through
// its Caption and Enabled properties and its Click signal. Calls on a button that is gone
// do nothing.
class HostedButton {
public:
    HostedButton() = default;
    explicit HostedButton(QWidget* control);
    QWidget* widget() const;
    QString caption() const; // property "Caption"
    void setCaption(const QString& caption);
    bool isEnabled() const; // property "Enabled"
    void setEnabled(bool enabled);
    void click(); // simulates a user's press and release (tests use it)
    void onClick(QObject* context, std::function<void()> handler); // signal "Click()"

private:
    QPointer<QWidget> m_control;
};
