#include "widgets/folderlist.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QStyle>

#include <algorithm>

namespace {

constexpr int pathRole = Qt::UserRole;

QString indent(int depth) {
    return QString(depth * 2, QLatin1Char(' '));
}

bool isOpenableFolder(const QFileInfo& folder) {
    return folder.isDir() && folder.isReadable() && folder.isExecutable();
}

} // namespace

FolderList::FolderList(QWidget* parent)
    : QListWidget(parent)
    , m_folders(new QFileSystemModel(this)) {
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_folders->setReadOnly(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemActivated, this, &FolderList::openLine);
    const auto refreshIfOpen = [this](const QModelIndex& parentIndex) {
        if (parentIndex == m_folders->index(m_path))
            showSubfolders();
    };
    connect(m_folders, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        if (QDir(loaded) == QDir(m_path))
            showSubfolders();
    });
    connect(m_folders, &QFileSystemModel::rowsInserted, this, refreshIfOpen);
    connect(m_folders, &QFileSystemModel::rowsRemoved, this, refreshIfOpen);
    setPath(QDir::currentPath());
}

bool FolderList::setPath(const QString& folder) {
    const QFileInfo info(folder);
    if (!isOpenableFolder(info))
        return false;
    const QString path = QDir::cleanPath(info.absoluteFilePath());
    if (path == m_path)
        return true;
    m_path = path;
    m_folders->setRootPath(m_path);
    showPath();
    showSubfolders();
    emit pathChanged();
    return true;
}

void FolderList::openLine(QListWidgetItem* line) {
    if (line)
        setPath(line->data(pathRole).toString());
}

void FolderList::showPath() {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    // From the open folder up to the root, then shown the other way round.
    QStringList chain;
    for (QDir dir(m_path);;) {
        chain.prepend(dir.absolutePath());
        if (!dir.cdUp())
            break;
    }
    for (int depth = 0; depth < chain.size(); ++depth) {
        const QString folder = chain.at(depth);
        const QString name =
            depth == 0 ? QDir::toNativeSeparators(folder) : QFileInfo(folder).fileName();
        auto* line = new QListWidgetItem(open, indent(depth) + name, this);
        line->setData(pathRole, folder);
    }
    m_firstSubfolderRow = count();
    setCurrentRow(m_firstSubfolderRow - 1);
}

void FolderList::showSubfolders() {
    while (count() > m_firstSubfolderRow)
        delete takeItem(count() - 1);
    const QModelIndex open = m_folders->index(m_path);
    QStringList names;
    for (int row = 0; row < m_folders->rowCount(open); ++row) {
        const QModelIndex child = m_folders->index(row, 0, open);
        if (m_folders->isDir(child))
            names << m_folders->fileName(child);
    }
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QString depth = indent(m_firstSubfolderRow);
    for (const QString& name : std::as_const(names)) {
        auto* line = new QListWidgetItem(closed, depth + name, this);
        line->setData(pathRole, QDir(m_path).filePath(name));
    }
}
