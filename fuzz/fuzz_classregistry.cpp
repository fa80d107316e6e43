// Looking classes up in any class registry file: nothing crashes, and a class found comes with
// the library path the file gives it, or with none.

#include "fuzzapplication.h"
#include "fuzzcheck.h"
#include "inproc/classregistry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

namespace {

QString registryPath;

// Every name the file registers, and the one the program asks for.
QStringList namesIn(const QSettings& store) {
    QStringList names{QStringLiteral("Lumet1.Lumet")};
    const QString prefix = QStringLiteral("ProgID/");
    const QString suffix = QStringLiteral("/CLSID");
    const QStringList keys = store.allKeys();
    for (const QString& key : keys) {
        if (key.startsWith(prefix) && key.endsWith(suffix) &&
            key.size() >= prefix.size() + suffix.size())
            names.append(key.mid(prefix.size(), key.size() - prefix.size() - suffix.size()));
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** argv) {
    startFuzzApplication((*argv)[0]);
    // In memory where the system offers it: every input is written out, and a disk would
    // make the file system the slowest part of the run. Removed when the run ends.
    const QString memory = QStringLiteral("/dev/shm");
    static QTemporaryDir folder((QFileInfo(memory).isWritable() ? memory : QDir::tempPath()) +
                                QStringLiteral("/fuzz_classregistry-XXXXXX"));
    if (!folder.isValid())
        return 1;
    registryPath = folder.filePath(QStringLiteral("classes.ini"));
    qputenv("INPROC_REGISTRY", QFile::encodeName(registryPath));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // QSettings keeps a file it has read and reads it again only when its size or time stamp
    // changed, which two inputs of one size written within a millisecond would not do: each
    // input gets a time stamp of its own.
    static qint64 runs = 0;
    {
        QFile file(registryPath);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size));
        FUZZ_CHECK(file.setFileTime(QDateTime::fromMSecsSinceEpoch(++runs, Qt::UTC),
                                    QFileDevice::FileModificationTime));
    }
    {
        const QSettings store(registryPath, QSettings::IniFormat);
        const QStringList names = namesIn(store);
        // Looked up as the control host looks classes up (the lookup is the record's search,
        // answered in two strings; searching twice per name would halve the inputs an hour).
        for (const QString& name : names) {
            QString classId;
            QString libraryPath;
            if (!inproc::ClassRegistry::lookup(name, &classId, &libraryPath))
                continue;
            FUZZ_CHECK(!classId.isEmpty());
            const QString written =
                store.value(QStringLiteral("CLSID/%1/InprocServer").arg(classId)).toString();
            FUZZ_CHECK(libraryPath.isEmpty() || libraryPath == written);
        }
    }
    return 0;
}
