// The library's four entry points, by which the platform's registration tool and every host
// reach it without linking it.

#include "inproc/classregistry.h"
#include "inproc/inprocserver.h"
#include "lumetclassobject.h"
#include "lumetids.h"
#include "serverlocks.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#ifdef Q_OS_WIN
#include <iterator>
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// The file this code was loaded from, which is what the registry must point hosts at.
QString ownLibraryPath() {
#ifdef Q_OS_WIN
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ownLibraryPath), &module))
        return {};
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(module, path, DWORD(std::size(path)));
    if (length == 0 || length >= std::size(path))
        return {};
    return QFileInfo(QString::fromWCharArray(path, int(length))).absoluteFilePath();
#else
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownLibraryPath), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
#endif
}

// The version block kept among the library's resources is the one record of its version.
QString fileVersion() {
    QFile block(QStringLiteral(":/lumet/version.json"));
    if (!block.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(block.readAll())
        .object()
        .value(QStringLiteral("FileVersion"))
        .toString();
}

inproc::ClassRecord lumetClass(const QString& libraryPath) {
    inproc::ClassRecord record;
    record.classId = QLatin1String(LumetIds::ClassId);
    record.name = QLatin1String(LumetIds::ClassName);
    record.libraryPath = libraryPath;
    record.typeLibraryId = QLatin1String(LumetIds::TypeLibraryId);
    record.typeLibraryName = QLatin1String(LumetIds::TypeLibraryName);
    record.typeLibraryVersion = QLatin1String(LumetIds::TypeLibraryVersion);
    record.typeLibraryLocale = LumetIds::TypeLibraryLocale;
    record.defaultInterfaceId = QLatin1String(LumetIds::DefaultInterfaceId);
    record.defaultInterfaceName = QLatin1String(LumetIds::DefaultInterfaceName);
    record.eventInterfaceId = QLatin1String(LumetIds::EventInterfaceId);
    record.eventInterfaceName = QLatin1String(LumetIds::EventInterfaceName);
    record.fileVersion = fileVersion();
    record.control = true;
    record.toolboxBitmap =
        libraryPath + QLatin1Char(',') + QString::number(LumetIds::ToolboxBitmapId);
    return record;
}

} // namespace

extern "C" {

Q_DECL_EXPORT inproc::Status DllRegisterServer() {
    const QString path = ownLibraryPath();
    if (path.isEmpty())
        return inproc::Fail;
    return inproc::ClassRegistry::registerClass(lumetClass(path)) ? inproc::Ok
                                                                  : inproc::RegistryWriteFailed;
}

Q_DECL_EXPORT inproc::Status DllUnregisterServer() {
    return inproc::ClassRegistry::unregisterClass(lumetClass(ownLibraryPath()))
               ? inproc::Ok
               : inproc::RegistryWriteFailed;
}

Q_DECL_EXPORT inproc::Status DllGetClassObject(const char* classId,
                                               inproc::ClassObject** classObject) {
    if (!classObject)
        return inproc::InvalidArgument;
    *classObject = nullptr;
    if (!classId || QString::fromLatin1(classId).compare(QLatin1String(LumetIds::ClassId),
                                                         Qt::CaseInsensitive) != 0)
        return inproc::ClassNotAvailable;
    LumetClassObject& object = LumetClassObject::instance();
    object.addRef();
    *classObject = &object;
    return inproc::Ok;
}

Q_DECL_EXPORT inproc::Status DllCanUnloadNow() {
    return ServerLocks::canUnload() ? inproc::Ok : inproc::False;
}

} // extern "C"
