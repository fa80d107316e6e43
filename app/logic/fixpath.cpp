#include "logic/fixpath.h"

#include <QDir>

QString FixPath(QString& path) {
    const QChar separator = QDir::separator();
    if (!path.endsWith(separator))
        path += separator;
    return path;
}
