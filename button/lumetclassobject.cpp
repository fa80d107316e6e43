#include "lumetclassobject.h"

#include "lumet.h"
#include "serverlocks.h"

LumetClassObject& LumetClassObject::instance() {
    // Lives as long as the library: hosts hold it only between addRef and release.
    static LumetClassObject object;
    return object;
}

inproc::Status LumetClassObject::createInstance(QWidget* parent, QWidget** control) {
    if (!control)
        return inproc::InvalidArgument;
    *control = new Lumet(parent);
    return inproc::Ok;
}

inproc::Status LumetClassObject::lockServer(bool lock) {
    if (lock)
        ServerLocks::lock();
    else
        ServerLocks::unlock();
    return inproc::Ok;
}

// The object is static and outlives every host's use of it, so references need no count;
// what keeps the library loaded is counted by ServerLocks.
void LumetClassObject::addRef() {}

void LumetClassObject::release() {}
