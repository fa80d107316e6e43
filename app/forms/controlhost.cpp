#include "forms/controlhost.h"

#include "inproc/classregistry.h"
#include "inproc/inprocserver.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>

namespace {

QString statusText(inproc::Status status) {
    return QStringLiteral("0x%1").arg(quint32(status), 8, 16, QLatin1Char('0'));
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString registriesText(const QStringList& paths) {
    QStringList quoted;
    for (const QString& path : paths)
        quoted << QLatin1Char('"') + native(path) + QLatin1Char('"');
    return (paths.size() == 1 ? QStringLiteral("class registry ")
                              : QStringLiteral("class registries ")) +
           quoted.join(QStringLiteral(", "));
}

// Loaded control libraries by path. Never unloaded: controls and the class objects they came
// from live in that code, and unloading under them would crash at the next call. The table is
// never destroyed either: destroyed with the other statics at exit, it would leave its libraries
// unreachable, and the leak checker would count them.
QHash<QString, QLibrary*>& loadedLibraries() {
    static auto* const libraries = new QHash<QString, QLibrary*>;
    return *libraries;
}

inproc::GetClassObjectFn classObjectEntry(const QString& progId, const QString& path,
                                          QString* error) {
    QHash<QString, QLibrary*>& libraries = loadedLibraries();
    if (QLibrary* loaded = libraries.value(path))
        return reinterpret_cast<inproc::GetClassObjectFn>(
            loaded->resolve(inproc::GetClassObjectName));

    auto library = std::make_unique<QLibrary>(path);
    if (!library->load()) {
        *error = QStringLiteral("The control class \"%1\" cannot be created: its library \"%2\" "
                                "could not be loaded (%3).")
                     .arg(progId, native(path), library->errorString());
        return nullptr;
    }
    const auto entry =
        reinterpret_cast<inproc::GetClassObjectFn>(library->resolve(inproc::GetClassObjectName));
    if (!entry) {
        *error = QStringLiteral("The control class \"%1\" cannot be created: \"%2\" is not a "
                                "control library (it has no %3 entry point).")
                     .arg(progId, native(path), QLatin1String(inproc::GetClassObjectName));
        // Nothing of this file is in use: a library that is not ours need not stay loaded.
        library->unload();
        return nullptr;
    }
    libraries.insert(path, library.release());
    return entry;
}

// Creates the control the registry's record names; on failure says why, naming the class and
// the library.
QWidget* createRegistered(const QString& progId, const inproc::ClassRecord& registered,
                          QWidget* parent, const PropertyRecord& record, QString& message) {
    const QString& path = registered.libraryPath;
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        message = QStringLiteral("The control class \"%1\" cannot be created: its library "
                                 "\"%2\" does not exist.")
                      .arg(progId, native(path));
        return nullptr;
    }

    const inproc::GetClassObjectFn getClassObject = classObjectEntry(progId, path, &message);
    if (!getClassObject)
        return nullptr;

    inproc::ClassObject* classObject = nullptr;
    const QByteArray classIdText = registered.classId.toLatin1();
    const inproc::Status got = getClassObject(classIdText.constData(), &classObject);
    if (!inproc::succeeded(got) || !classObject) {
        message = QStringLiteral("The control class \"%1\" cannot be created: the library "
                                 "\"%2\" refused the class %3 (status %4).")
                      .arg(progId, native(path), registered.classId, statusText(got));
        return nullptr;
    }

    QWidget* control = nullptr;
    const inproc::Status created = classObject->createInstance(parent, &control);
    classObject->release();
    if (!inproc::succeeded(created) || !control) {
        message = QStringLiteral("The control class \"%1\" cannot be created: the library "
                                 "\"%2\" failed to create it (status %3).")
                      .arg(progId, native(path), statusText(created));
        return nullptr;
    }

    if (auto* persist = qobject_cast<inproc::PersistPropertyBag*>(control)) {
        const QFont ambient = parent ? parent->font() : QApplication::font();
        const inproc::Status loaded = persist->load(record, ambient);
        if (!inproc::succeeded(loaded)) {
            delete control;
            message = QStringLiteral("The control class \"%1\" from \"%2\" could not load its "
                                     "stored properties (status %3).")
                          .arg(progId, native(path), statusText(loaded));
            return nullptr;
        }
    }
    return control;
}

} // namespace

QWidget* ControlHost::createControl(const QString& progId, QWidget* parent,
                                    const PropertyRecord& record, QString* error) {
    QString ignored;
    QString& message = error ? *error : ignored;
    message.clear();

    QStringList unreadable;
    const std::optional<inproc::ClassRecord> registered =
        inproc::ClassRegistry::find(progId, &unreadable);
    if (!registered) {
        message = QStringLiteral("The control class \"%1\" is not registered (%2). Register its "
                                 "library with regcontrol.")
                      .arg(progId, registriesText(inproc::ClassRegistry::searchPaths()));
        for (const QString& problem : unreadable)
            message += QLatin1Char(' ') + problem;
        return nullptr;
    }

    QWidget* control = createRegistered(progId, *registered, parent, record, message);
    // Which registry sent the host to the library is where the user repairs it: their own
    // registration of a build since removed outranks the installed one.
    if (!control)
        message += QStringLiteral(" It is registered in the class registry \"%1\".")
                       .arg(native(registered->registryPath));
    return control;
}
