#include "widgets/filelist.h"

#include <QDir>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QSortFilterProxyModel>

namespace {

// "*.*" means every file, as it always has in such lists; a file-system pattern taken literally
// would leave out every name without a dot.
QStringList nameFilters(const QString& pattern) {
    QStringList filters;
    for (const QString& part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = part.trimmed();
        filters << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    return filters.isEmpty() ? QStringList{QStringLiteral("*")} : filters;
}

// The file-system model keeps showing a folder the list has been in, whatever its filter says;
// only the folders on the way down to the one shown may pass.
class FilesOnly : public QSortFilterProxyModel {
public:
    FilesOnly(QFileSystemModel* files, const QString* folder, QObject* parent)
        : QSortFilterProxyModel(parent)
        , m_files(files)
        , m_folder(folder) {
        setSourceModel(files);
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QModelIndex entry = m_files->index(row, 0, parent);
        if (!m_files->isDir(entry))
            return true;
        const QString path = m_files->filePath(entry);
        return *m_folder == path ||
               m_folder->startsWith(path.endsWith(QLatin1Char('/')) ? path
                                                                    : path + QLatin1Char('/'));
    }

private:
    QFileSystemModel* m_files;
    const QString* m_folder;
};

} // namespace

FileList::FileList(QWidget* parent)
    : QListView(parent)
    , m_files(new QFileSystemModel(this))
    , m_shown(new FilesOnly(m_files, &m_path, this)) {
    m_files->setFilter(QDir::Files);
    m_files->setNameFilterDisables(false);
    m_files->setReadOnly(true);
    setModel(m_shown);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    connect(this, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { emit fileClicked(nameAt(index)); });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit fileDoubleClicked(nameAt(index)); });
    setPattern(QStringLiteral("*.*"));
}

void FileList::keyPressEvent(QKeyEvent* event) {
    // Moving through the list with the keys picks the file as a click does. Only the keys:
    // focus arriving by Tab makes the first file current too, and taking its name then would
    // put an unrelated file's name in place of the proposed one, to be replaced at OK.
    // A key that picks the file focus made current (the only one, say) counts as well.
    const QModelIndex before = currentIndex();
    const bool wasPicked = before.isValid() && selectionModel()->isSelected(before);
    QListView::keyPressEvent(event);
    const QModelIndex now = currentIndex();
    if (now.isValid() && selectionModel()->isSelected(now) && (now != before || !wasPicked))
        emit fileClicked(nameAt(now));
}

QString FileList::nameAt(const QModelIndex& shown) const {
    return m_files->fileName(m_shown->mapToSource(shown));
}

void FileList::setPath(const QString& folder) {
    m_path = QDir::cleanPath(QDir(folder).absolutePath());
    const QModelIndex root = m_files->setRootPath(m_path);
    m_shown->invalidate();
    setRootIndex(m_shown->mapFromSource(root));
}

void FileList::setPattern(const QString& pattern) {
    m_pattern = pattern;
    m_files->setNameFilters(nameFilters(pattern));
}

QStringList FileList::fileNames() const {
    QStringList names;
    const QModelIndex folder = rootIndex();
    if (!folder.isValid())
        return names;
    for (int row = 0; row < m_shown->rowCount(folder); ++row)
        names << nameAt(m_shown->index(row, 0, folder));
    return names;
}
