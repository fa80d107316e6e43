#include "logic/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString& folderOverride() {
    static QString folder;
    return folder;
}

QString& downloadFolderOverride() {
    static QString folder;
    return folder;
}

// Whether folder is the running user's to fill with files: theirs, writable, and none of the
// folders the system installs programs into (an administrator owns and may write those).
bool isUsersOwnFolder(const QString& folder) {
    const QString path = QFileInfo(folder).canonicalFilePath();
    if (path.isEmpty())
        return false;
#ifdef Q_OS_UNIX
    static const QStringList systemFolders{
        QStringLiteral("/usr"),    QStringLiteral("/bin"),   QStringLiteral("/sbin"),
        QStringLiteral("/lib"),    QStringLiteral("/lib32"), QStringLiteral("/lib64"),
        QStringLiteral("/libx32"), QStringLiteral("/opt"),   QStringLiteral("/etc"),
        QStringLiteral("/var"),    QStringLiteral("/boot"),  QStringLiteral("/snap"),
        QStringLiteral("/app")};
    if (path == QLatin1String("/"))
        return false;
    for (const QString& system : systemFolders) {
        if (path == system || path.startsWith(system + QLatin1Char('/')))
            return false;
    }
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && info.st_uid == ::geteuid() &&
           ::access(QFile::encodeName(path).constData(), W_OK) == 0;
#else
    return QFileInfo(path).isWritable();
#endif
}

} // namespace

QString programFolder() {
    return folderOverride().isEmpty() ? QCoreApplication::applicationDirPath() : folderOverride();
}

void setProgramFolder(const QString& folder) {
    folderOverride() = folder;
}

CheckedRunFolder checkedRunFolder() {
    const QString program = programFolder();
    if (isUsersOwnFolder(program))
        return {program, true};
    const QString downloads =
        !downloadFolderOverride().isEmpty()
            ? downloadFolderOverride()
            : QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return {QDir::cleanPath(downloads), false};
}

void setDownloadFolder(const QString& folder) {
    downloadFolderOverride() = folder;
}

bool isProgramFileName(const QString& name) {
    static const QStringList ownFiles{QStringLiteral("libLumet.so"), QStringLiteral("Lumet.dll"),
                                      QStringLiteral("libLumet.dylib"),
                                      QStringLiteral("regcontrol"),
                                      QStringLiteral("regcontrol.exe")};
    // Names compare as the file system would: without letter case where it ignores it.
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    constexpr Qt::CaseSensitivity sensitivity = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity sensitivity = Qt::CaseSensitive;
#endif
    const QString executable = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return name.compare(executable, sensitivity) == 0 || ownFiles.contains(name, sensitivity);
}
