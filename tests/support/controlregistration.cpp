#include "controlregistration.h"

#include "inproc/inprocserver.h"

#include <QDir>
#include <QLibrary>
#include <QTemporaryDir>

namespace {

QTemporaryDir& registryFolder() {
    static QTemporaryDir folder;
    return folder;
}

bool fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

} // namespace

QString testRegistryPath() {
    return registryFolder().filePath(QStringLiteral("classes.ini"));
}

QString controlLibraryPath() {
    return QStringLiteral(TARVELL_BIN_DIR "/libLumet.so");
}

bool registerControlLibraryForTests(QString* error) {
    if (!registryFolder().isValid())
        return fail(error, QStringLiteral("cannot create a temporary folder for the registry: %1")
                               .arg(registryFolder().errorString()));
    qputenv("INPROC_REGISTRY", QFile::encodeName(testRegistryPath()));

    // Deliberately never unloaded: the suites' buttons come from this library.
    QLibrary library(controlLibraryPath());
    if (!library.load())
        return fail(
            error, QStringLiteral("cannot load %1: %2")
                       .arg(QDir::toNativeSeparators(controlLibraryPath()), library.errorString()));
    const auto registerServer =
        reinterpret_cast<inproc::RegisterServerFn>(library.resolve(inproc::RegisterServerName));
    if (!registerServer)
        return fail(error, QStringLiteral("%1 has no %2")
                               .arg(QDir::toNativeSeparators(controlLibraryPath()),
                                    QLatin1String(inproc::RegisterServerName)));
    const inproc::Status status = registerServer();
    if (!inproc::succeeded(status))
        return fail(error, QStringLiteral("%1 failed to register (status 0x%2)")
                               .arg(QDir::toNativeSeparators(controlLibraryPath()))
                               .arg(quint32(status), 8, 16, QLatin1Char('0')));
    return true;
}
