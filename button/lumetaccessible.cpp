#include "lumetaccessible.h"

#include "lumet.h"

namespace {

QAccessibleInterface* lumetFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("Lumet") && object && object->isWidgetType())
        return new LumetAccessible(static_cast<Lumet*>(object));
    return nullptr;
}

// Constructed after the factory list exists and therefore destroyed before it, both at exit
// and when the library is unloaded, so the list never keeps a pointer into unloaded code.
struct FactoryRegistration {
    FactoryRegistration() { QAccessible::installFactory(lumetFactory); }
    ~FactoryRegistration() { QAccessible::removeFactory(lumetFactory); }
    FactoryRegistration(const FactoryRegistration&) = delete;
    FactoryRegistration& operator=(const FactoryRegistration&) = delete;
};

} // namespace

LumetAccessible::LumetAccessible(Lumet* button)
    : QAccessibleWidget(button, QAccessible::Button) {}

void LumetAccessible::install() {
    static const FactoryRegistration registration;
}

QString LumetAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Name) {
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? button()->caption() : name;
    }
    return QAccessibleWidget::text(t);
}

QStringList LumetAccessible::actionNames() const {
    return {QAccessibleActionInterface::pressAction()};
}

void LumetAccessible::doAction(const QString& actionName) {
    if (actionName == QAccessibleActionInterface::pressAction())
        button()->activate();
}

Lumet* LumetAccessible::button() const {
    return static_cast<Lumet*>(widget());
}
