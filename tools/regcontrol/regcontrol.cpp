// regcontrol: the platform's registration tool for in-process control libraries.
//   regcontrol <library>               registers the library's classes for this user
//   regcontrol --system <library>      registers them for every user of the machine
//   regcontrol -u [--system] <library> removes them again
// It loads the library and calls its own register or unregister entry point, so each library
// decides what it publishes.

#include "inproc/classregistry.h"
#include "inproc/inprocserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

#include <cstdio>

namespace {

enum ExitCode { Success = 0, UsageError = 1, LoadError = 2, EntryPointMissing = 3, Refused = 4 };

void print(FILE* stream, const QString& text) {
    std::fputs(qPrintable(text + QLatin1Char('\n')), stream);
}

int usage() {
    print(stderr, QStringLiteral("usage: regcontrol [-u] [--system] <control library>\n"
                                 "  registers the library's control classes for this user;\n"
                                 "  --system registers them for every user, in %1;\n"
                                 "  -u removes them again.")
                      .arg(QDir::toNativeSeparators(inproc::ClassRegistry::systemStorePath())));
    return UsageError;
}

// Written by an administrator whose umask may be strict, the system registry must still be
// readable by every user, or their programs lose their controls.
void openToEveryone(const QString& registry) {
    constexpr QFile::Permissions readable =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    constexpr QFile::Permissions enterable =
        readable | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    QFile::setPermissions(QFileInfo(registry).absolutePath(), enterable);
    if (QFileInfo::exists(registry))
        QFile::setPermissions(registry, readable);
}

QString statusText(inproc::Status status) {
    return QStringLiteral("0x%1").arg(quint32(status), 8, 16, QLatin1Char('0'));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool unregister = false;
    bool system = false;
    while (!args.isEmpty()) {
        const QString& option = args.first();
        if (option == QLatin1String("-u") || option == QLatin1String("/u"))
            unregister = true;
        else if (option == QLatin1String("--system"))
            system = true;
        else
            break;
        args.removeFirst();
    }
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-')))
        return usage();

    if (system) {
        const QString registry = inproc::ClassRegistry::systemStorePath();
        if (registry.isEmpty()) {
            print(stderr, QStringLiteral("regcontrol: this system has no configuration folder "
                                         "for a registry of every user"));
            return UsageError;
        }
        // The entry point takes no arguments: the registry it writes is chosen for it here.
        qputenv("INPROC_REGISTRY", QFile::encodeName(registry));
    }

    const QString path = QFileInfo(args.first()).absoluteFilePath();
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile()) {
        print(stderr, QStringLiteral("regcontrol: %1 does not exist").arg(shown));
        return LoadError;
    }

    QLibrary library(path);
    if (!library.load()) {
        print(stderr,
              QStringLiteral("regcontrol: cannot load %1: %2").arg(shown, library.errorString()));
        return LoadError;
    }

    const char* entryName = unregister ? inproc::UnregisterServerName : inproc::RegisterServerName;
    // Both entry points share one signature.
    const auto entry = reinterpret_cast<inproc::RegisterServerFn>(library.resolve(entryName));
    if (!entry) {
        print(stderr, QStringLiteral("regcontrol: %1 is not a control library: it has no %2")
                          .arg(shown, QLatin1String(entryName)));
        return EntryPointMissing;
    }

    const QString registry = inproc::ClassRegistry::storePath();
    const inproc::Status status = entry();
    if (!inproc::succeeded(status)) {
        print(stderr, QStringLiteral("regcontrol: %1 in %2 failed with status %3 (registry: %4)")
                          .arg(QLatin1String(entryName), shown, statusText(status),
                               QDir::toNativeSeparators(registry)));
        return Refused;
    }
    if (system)
        openToEveryone(registry);
    print(stdout,
          QStringLiteral("regcontrol: %1 %2 (registry: %3)")
              .arg(unregister ? QStringLiteral("unregistered") : QStringLiteral("registered"),
                   shown, QDir::toNativeSeparators(registry)));
    return Success;
}
