#include "widgets/drivelist.h"

#include <QDir>
#include <QStorageInfo>

#include <algorithm>

DriveList::DriveList(QWidget* parent)
    : QComboBox(parent) {
    setEditable(false);
    fill();
    setDriveOf(QDir::currentPath());
    connect(this, &QComboBox::activated, this, &DriveList::driveChanged);
}

void DriveList::fill() {
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(), [](const QStorageInfo& a, const QStorageInfo& b) {
        return a.rootPath() < b.rootPath();
    });
    for (const QStorageInfo& volume : std::as_const(volumes)) {
        if (!volume.isValid())
            continue;
        const QString root = QDir::toNativeSeparators(volume.rootPath());
        const QString label =
            volume.name().isEmpty() ? root : QStringLiteral("%1 [%2]").arg(root, volume.name());
        addItem(label, volume.rootPath());
    }
}

QString DriveList::drive() const {
    return currentData().toString();
}

void DriveList::setDriveOf(const QString& path) {
    const QString root = QStorageInfo(path).rootPath();
    int index = findData(root);
    if (index < 0 && !root.isEmpty()) {
        // A volume that came after the list was filled, or one the list leaves out.
        addItem(QDir::toNativeSeparators(root), root);
        index = count() - 1;
    }
    setCurrentIndex(index);
}
