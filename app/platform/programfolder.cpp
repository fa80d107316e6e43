#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString& folderOverride() {
    static QString folder;
    return folder;
}

} // namespace

QString programFolder() {
    return folderOverride().isEmpty() ? QCoreApplication::applicationDirPath() : folderOverride();
}

void setProgramFolder(const QString& folder) {
    folderOverride() = folder;
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
