#include "inproc/classregistry.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace inproc {

namespace {

constexpr QLatin1String registryFile("/inproc/classes.ini");

QString classGroup(const QString& classId) {
    return QStringLiteral("CLSID/") + classId;
}

// Names are looked up without regard to case, like the platform's own class names.
QString nameKey(const QString& name) {
    return QStringLiteral("ProgID/") + name.toLower() + QStringLiteral("/CLSID");
}

QString typeLibraryGroup(const QString& id, const QString& version) {
    return QStringLiteral("TypeLib/") + id + QLatin1Char('/') + version;
}

void writeInterface(QSettings& store, const QString& id, const QString& name,
                    const QString& typeLibraryId, const QString& version) {
    if (id.isEmpty())
        return;
    const QString group = QStringLiteral("Interface/") + id;
    store.setValue(group + QStringLiteral("/Name"), name);
    store.setValue(group + QStringLiteral("/TypeLib"), typeLibraryId);
    store.setValue(group + QStringLiteral("/Version"), version);
}

bool finish(QSettings& store, QString* error) {
    store.sync();
    if (store.status() == QSettings::NoError && store.isWritable())
        return true;
    if (error)
        *error = QStringLiteral("cannot write the class registry %1")
                     .arg(QDir::toNativeSeparators(store.fileName()));
    return false;
}

// What can be read of a damaged file is not trusted: a half-parsed registry could name a
// class after a line that lost its library.
QString unreadableReason(const QSettings& store) {
    switch (store.status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("The class registry \"%1\" could not be read.")
            .arg(QDir::toNativeSeparators(store.fileName()));
    case QSettings::FormatError:
        return QStringLiteral("The class registry \"%1\" is damaged and was not used.")
            .arg(QDir::toNativeSeparators(store.fileName()));
    }
    return {};
}

std::optional<ClassRecord> readRecord(const QSettings& store, const QString& name) {
    const QString classId = store.value(nameKey(name)).toString();
    if (classId.isEmpty())
        return std::nullopt;
    const QString cls = classGroup(classId);
    if (!store.contains(cls + QStringLiteral("/InprocServer")))
        return std::nullopt;
    ClassRecord record;
    record.classId = classId;
    record.name = store.value(cls + QStringLiteral("/Name")).toString();
    record.libraryPath = store.value(cls + QStringLiteral("/InprocServer")).toString();
    record.typeLibraryId = store.value(cls + QStringLiteral("/TypeLib")).toString();
    record.typeLibraryVersion = store.value(cls + QStringLiteral("/Version")).toString();
    record.fileVersion = store.value(cls + QStringLiteral("/FileVersion")).toString();
    record.control = store.value(cls + QStringLiteral("/Control")).toBool();
    record.toolboxBitmap = store.value(cls + QStringLiteral("/ToolboxBitmap")).toString();
    record.defaultInterfaceId = store.value(cls + QStringLiteral("/DefaultInterface")).toString();
    record.eventInterfaceId = store.value(cls + QStringLiteral("/EventInterface")).toString();
    const QString lib = typeLibraryGroup(record.typeLibraryId, record.typeLibraryVersion);
    record.typeLibraryName = store.value(lib + QStringLiteral("/Name")).toString();
    record.typeLibraryLocale = store.value(lib + QStringLiteral("/Locale")).toInt();
    record.defaultInterfaceName =
        store.value(QStringLiteral("Interface/%1/Name").arg(record.defaultInterfaceId)).toString();
    record.eventInterfaceName =
        store.value(QStringLiteral("Interface/%1/Name").arg(record.eventInterfaceId)).toString();
    record.registryPath = store.fileName();
    return record;
}

QString overriddenPath() {
    return QString::fromLocal8Bit(qgetenv("INPROC_REGISTRY"));
}

} // namespace

QString ClassRegistry::storePath() {
    QString overridden = overriddenPath();
    if (!overridden.isEmpty())
        return overridden;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + registryFile;
}

QString ClassRegistry::systemStorePath() {
    // The user's own folder comes first in the list; what follows belongs to the system.
    const QStringList folders =
        QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation);
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (const QString& folder : folders) {
        if (folder != own)
            return folder + registryFile;
    }
    return {};
}

QStringList ClassRegistry::searchPaths() {
    const QString overridden = overriddenPath();
    if (!overridden.isEmpty())
        return {overridden};
    QStringList paths;
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    paths << own + registryFile;
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        if (folder != own)
            paths << folder + registryFile;
    }
    paths.removeDuplicates();
    return paths;
}

bool ClassRegistry::registerClass(const ClassRecord& record, QString* error) {
    QSettings store(storePath(), QSettings::IniFormat);
    // A name moved to a new class must not leave the old class answering for it.
    const QString previous = store.value(nameKey(record.name)).toString();
    if (!previous.isEmpty() && previous.compare(record.classId, Qt::CaseInsensitive) != 0)
        store.remove(classGroup(previous));

    const QString cls = classGroup(record.classId);
    store.setValue(cls + QStringLiteral("/Name"), record.name);
    store.setValue(cls + QStringLiteral("/InprocServer"), record.libraryPath);
    store.setValue(cls + QStringLiteral("/TypeLib"), record.typeLibraryId);
    store.setValue(cls + QStringLiteral("/Version"), record.typeLibraryVersion);
    store.setValue(cls + QStringLiteral("/FileVersion"), record.fileVersion);
    store.setValue(cls + QStringLiteral("/Control"), record.control);
    store.setValue(cls + QStringLiteral("/ToolboxBitmap"), record.toolboxBitmap);
    store.setValue(cls + QStringLiteral("/DefaultInterface"), record.defaultInterfaceId);
    store.setValue(cls + QStringLiteral("/EventInterface"), record.eventInterfaceId);
    store.setValue(nameKey(record.name), record.classId);

    if (!record.typeLibraryId.isEmpty()) {
        const QString lib = typeLibraryGroup(record.typeLibraryId, record.typeLibraryVersion);
        store.setValue(lib + QStringLiteral("/Name"), record.typeLibraryName);
        store.setValue(lib + QStringLiteral("/Path"), record.libraryPath);
        store.setValue(lib + QStringLiteral("/Locale"), record.typeLibraryLocale);
    }

    writeInterface(store, record.defaultInterfaceId, record.defaultInterfaceName,
                   record.typeLibraryId, record.typeLibraryVersion);
    writeInterface(store, record.eventInterfaceId, record.eventInterfaceName, record.typeLibraryId,
                   record.typeLibraryVersion);
    return finish(store, error);
}

bool ClassRegistry::unregisterClass(const ClassRecord& record, QString* error) {
    QSettings store(storePath(), QSettings::IniFormat);
    // An empty identifier would name a whole group ("CLSID/" is every class), so what the
    // record does not identify is left alone.
    if (!record.classId.isEmpty()) {
        store.remove(classGroup(record.classId));
        // Only drop the name while it still points at this class: another library may own it
        // now.
        if (store.value(nameKey(record.name))
                .toString()
                .compare(record.classId, Qt::CaseInsensitive) == 0)
            store.remove(nameKey(record.name));
    }
    if (!record.typeLibraryId.isEmpty()) {
        store.remove(typeLibraryGroup(record.typeLibraryId, record.typeLibraryVersion));
        store.beginGroup(QStringLiteral("TypeLib/") + record.typeLibraryId);
        const bool empty = store.childGroups().isEmpty() && store.childKeys().isEmpty();
        store.endGroup();
        if (empty)
            store.remove(QStringLiteral("TypeLib/") + record.typeLibraryId);
    }
    for (const QString& id : {record.defaultInterfaceId, record.eventInterfaceId}) {
        if (!id.isEmpty())
            store.remove(QStringLiteral("Interface/") + id);
    }
    return finish(store, error);
}

bool ClassRegistry::lookup(const QString& name, QString* classId, QString* libraryPath) {
    const std::optional<ClassRecord> record = find(name);
    if (!record)
        return false;
    if (classId)
        *classId = record->classId;
    if (libraryPath)
        *libraryPath = record->libraryPath;
    return true;
}

std::optional<ClassRecord> ClassRegistry::find(const QString& name, QStringList* unreadable) {
    for (const QString& path : searchPaths()) {
        const QSettings store(path, QSettings::IniFormat);
        const QString reason = unreadableReason(store);
        if (!reason.isEmpty()) {
            if (unreadable)
                unreadable->append(reason);
            continue;
        }
        if (std::optional<ClassRecord> record = readRecord(store, name))
            return record;
    }
    return std::nullopt;
}

} // namespace inproc
