#pragma once
// Builds a window from its stored layout (app/forms/<name>.json): the window's caption,
// frame and inner size, then every control in stored order (which is also the stacking
// order) with its position and size in twips, font, text and tab index. Buttons and other
// registered controls are created by class name through the control host, never linked.

#include "forms/hostedbutton.h"
#include "forms/windowlayout.h"

#include <QHash>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class Form {
public:
    QWidget* control(const QString& name) const;
    template <class T> T* get(const QString& name) const { return qobject_cast<T*>(control(name)); }
    HostedButton button(const QString& name) const;
    // One message per control that could not be created (a missing or broken control library).
    const QStringList& errors() const { return m_errors; }

private:
    friend class FormLoader;
    QHash<QString, QPointer<QWidget>> m_controls;
    QStringList m_errors;
};

// Tells the user which controls of a window could not be created (nothing when all were); the
// window itself still opens, so that the rest of it can be used.
void showLoadErrors(QWidget* window, const Form& form);

class FormLoader {
public:
    static constexpr int TwipsPerPixel = WindowLayout::TwipsPerPixel;

    static Form load(const QString& formName, QWidget* window);
};
