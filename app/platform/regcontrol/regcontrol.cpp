// regcontrol: the platform's registration tool for in-process control libraries.
//   regcontrol <library>      registers the library's classes for this user
//   regcontrol -u <library>   removes them again
// It loads the library and calls its own register or unregister entry point, so each library
// decides what it publishes.

#include "inproc/classregistry.h"
#include "inproc/inprocserver.h"

#include <QCoreApplication>
#include <QDir>
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
    print(stderr, QStringLiteral("usage: regcontrol [-u] <control library>\n"
                                 "  registers the library's control classes for this user;\n"
                                 "  -u removes them again."));
    return UsageError;
}

QString statusText(inproc::Status status) {
    return QStringLiteral("0x%1").arg(quint32(status), 8, 16, QLatin1Char('0'));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool unregister = false;
    if (!args.isEmpty() &&
        (args.first() == QLatin1String("-u") || args.first() == QLatin1String("/u"))) {
        unregister = true;
        args.removeFirst();
    }
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-')))
        return usage();

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

    const inproc::Status status = entry();
    if (!inproc::succeeded(status)) {
        print(stderr, QStringLiteral("regcontrol: %1 in %2 failed with status %3 (registry: %4)")
                          .arg(QLatin1String(entryName), shown, statusText(status),
                               QDir::toNativeSeparators(inproc::ClassRegistry::storePath())));
        return Refused;
    }
    print(stdout,
          QStringLiteral("regcontrol: %1 %2 (registry: %3)")
              .arg(unregister ? QStringLiteral("unregistered") : QStringLiteral("registered"),
                   shown, QDir::toNativeSeparators(inproc::ClassRegistry::storePath())));
    return Success;
}
