#pragma once
// The contract between an in-process control library and the windows that host its controls.
// A library exports four C entry points (register, unregister, class object, may-unload);
// a host finds a class by its name in the class registry, loads the library that serves it,
// asks it for the class object and creates each control through that object. The host never
// links the library: everything it uses of a control goes through this header and Qt's
// meta-object system (properties, signals, qobject_cast to the interfaces declared here).

#include <QFont>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QtPlugin>

#include <cstdint>

class QWidget;

namespace inproc {

using Status = std::int32_t;

inline constexpr Status Ok = 0;
inline constexpr Status False = 1;
inline constexpr Status Fail = static_cast<Status>(0x80004005u);
inline constexpr Status NoInterface = static_cast<Status>(0x80004002u);
inline constexpr Status InvalidArgument = static_cast<Status>(0x80070057u);
inline constexpr Status Overflow = static_cast<Status>(0x80070216u);
inline constexpr Status ClassNotAvailable = static_cast<Status>(0x80040111u);
inline constexpr Status RegistryWriteFailed = static_cast<Status>(0x80040201u);
inline constexpr Status MemberNotFound = static_cast<Status>(0x80020003u);
inline constexpr Status UnknownName = static_cast<Status>(0x80020006u);
inline constexpr Status BadParameterCount = static_cast<Status>(0x8002000Eu);

inline bool succeeded(Status s) {
    return s >= 0;
}

// The container's store of one control's property record. Keys match without regard to
// case; a value equal to its default is not stored; a missing key reads as its default.
// Value types: QString (text), uint (32-bit colour), int, bool, QFont (font object).
class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    virtual QVariant read(const QString& name, const QVariant& defaultValue) const = 0;
    virtual void write(const QString& name, const QVariant& value,
                       const QVariant& defaultValue) = 0;
};

// Implemented by a control whose properties a container stores and loads.
class PersistPropertyBag {
public:
    virtual ~PersistPropertyBag() = default;
    // First placement: no stored record exists yet.
    virtual Status initNew() = 0;
    // ambientFont is the container's font, the default for a control's font property.
    virtual Status load(const PropertyBag& bag, const QFont& ambientFont) = 0;
    virtual Status save(PropertyBag& bag) = 0;
};

// How a late-bound host reaches a control's members by dispatch id rather than by name.
enum class InvokeKind { Method, PropertyGet, PropertyPut, PropertyPutRef };

class Dispatch {
public:
    virtual ~Dispatch() = default;
    // Member names match without regard to case; an unknown name gives UnknownName.
    virtual Status idOfName(const QString& name, std::int32_t* dispId) const = 0;
    // The id of one of the control's events, as its event handlers are numbered.
    virtual Status eventIdOfName(const QString& name, std::int32_t* dispId) const = 0;
    // args are passed in member order; by-reference arguments are written back into args.
    // A get or a method with a result hands it back through result.
    virtual Status invoke(std::int32_t dispId, InvokeKind kind, QVariantList& args,
                          QVariant* result) = 0;
};

// What the library's class-object entry point hands out. It is owned by the library;
// a host gives it back with release() when it no longer needs it.
class ClassObject {
public:
    // Creates one control as a child of parent. The control lives and dies with its parent.
    virtual Status createInstance(QWidget* parent, QWidget** control) = 0;
    // A lock keeps the library loaded although no control is alive.
    virtual Status lockServer(bool lock) = 0;
    virtual void addRef() = 0;
    virtual void release() = 0;

protected:
    ~ClassObject() = default;
};

// The four entry points every control library exports with C linkage, by these names.
using RegisterServerFn = Status (*)();
using UnregisterServerFn = Status (*)();
using GetClassObjectFn = Status (*)(const char* classId, ClassObject** classObject);
using CanUnloadNowFn = Status (*)();

inline constexpr const char* RegisterServerName = "DllRegisterServer";
inline constexpr const char* UnregisterServerName = "DllUnregisterServer";
inline constexpr const char* GetClassObjectName = "DllGetClassObject";
inline constexpr const char* CanUnloadNowName = "DllCanUnloadNow";

} // namespace inproc

#define INPROC_DISPATCH_IID "org.tarvell.inproc.Dispatch/1.0"
Q_DECLARE_INTERFACE(inproc::Dispatch, INPROC_DISPATCH_IID)
#define INPROC_PERSISTPROPERTYBAG_IID "org.tarvell.inproc.PersistPropertyBag/1.0"
Q_DECLARE_INTERFACE(inproc::PersistPropertyBag, INPROC_PERSISTPROPERTYBAG_IID)
