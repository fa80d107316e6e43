#pragma once
#include "inproc/inprocserver.h"

// The one class object of the library: hosts create every Lumet through it.
class LumetClassObject : public inproc::ClassObject {
public:
    static LumetClassObject& instance();

    inproc::Status createInstance(QWidget* parent, QWidget** control) override;
    inproc::Status lockServer(bool lock) override;
    void addRef() override;
    void release() override;

private:
    LumetClassObject() = default;
    ~LumetClassObject() = default;
};
