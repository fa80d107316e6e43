#pragma once
// The class registry: which library serves which control class. Libraries write it from
// their register entry point; hosts read it to find the library behind a class name.
// It is an INI file so that a registration can be inspected and repaired by hand, and so that
// a build tree or a test can point the whole registry at a file of its own through
// INPROC_REGISTRY.
//
// Hosts read the user's own registry first and then the system-wide ones, so an installed
// package serves every user while a user's own registration of the same name still wins.

#include <QString>
#include <QStringList>

#include <optional>

namespace inproc {

struct ClassRecord {
    QString classId; // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    QString name;    // the class name hosts ask for, e.g. "Lumet1.Lumet"
    QString libraryPath;
    QString typeLibraryId;
    QString typeLibraryName;
    QString typeLibraryVersion; // "major.minor"
    int typeLibraryLocale = 0;
    QString defaultInterfaceId;
    QString defaultInterfaceName;
    QString eventInterfaceId;
    QString eventInterfaceName;
    QString fileVersion;
    bool control = false;
    QString toolboxBitmap; // "<library path>,<resource id>"
    // The registry file the record was read from; a registration ignores it.
    QString registryPath;
};

class ClassRegistry {
public:
    // Where registrations are written: $INPROC_REGISTRY, else the user's own registry.
    static QString storePath();
    // The registry every user reads after their own: "inproc/classes.ini" in the first of the
    // system's configuration folders ($XDG_CONFIG_DIRS, normally /etc/xdg). Empty where the
    // platform has none.
    static QString systemStorePath();
    // The registries a lookup reads, in order: $INPROC_REGISTRY alone when it is set, else the
    // user's own and then one in each system configuration folder.
    static QStringList searchPaths();

    static bool registerClass(const ClassRecord& record, QString* error = nullptr);
    static bool unregisterClass(const ClassRecord& record, QString* error = nullptr);

    // The class identifier and library registered under name, or nothing.
    static bool lookup(const QString& name, QString* classId, QString* libraryPath);
    // The first registry that names the class answers for it, even when its library is gone.
    // A registry that cannot be read is passed over; unreadable, if given, receives a sentence
    // for each one, naming the file.
    static std::optional<ClassRecord> find(const QString& name, QStringList* unreadable = nullptr);
};

} // namespace inproc
