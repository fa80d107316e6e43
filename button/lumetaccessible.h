#pragma once
#include <QAccessibleWidget>

class Lumet;

// Tells assistive technology that a Lumet is a push button named by its caption, and lets it
// press the button.
class LumetAccessible : public QAccessibleWidget {
public:
    explicit LumetAccessible(Lumet* button);

    // Registers the factory once; it is withdrawn again when the library is unloaded.
    static void install();

    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

private:
    Lumet* button() const;
};
