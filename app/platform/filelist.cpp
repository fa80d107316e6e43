#include "platform/filelist.h"

#include <QDir>
#include <QFileSystemModel>

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

} // namespace

FileList::FileList(QWidget* parent)
    : QListView(parent)
    , m_files(new QFileSystemModel(this)) {
    m_files->setFilter(QDir::Files);
    m_files->setNameFilterDisables(false);
    m_files->setReadOnly(true);
    setModel(m_files);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    const auto nameAt = [this](const QModelIndex& index) { return m_files->fileName(index); };
    connect(this, &QAbstractItemView::clicked, this,
            [this, nameAt](const QModelIndex& index) { emit fileClicked(nameAt(index)); });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this, nameAt](const QModelIndex& index) { emit fileDoubleClicked(nameAt(index)); });
    // Moving through the list with the keyboard picks the file as a click does.
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this, nameAt](const QModelIndex& current) {
                if (current.isValid())
                    emit fileClicked(nameAt(current));
            });
    setPattern(QStringLiteral("*.*"));
}

void FileList::setPath(const QString& folder) {
    m_path = folder;
    setRootIndex(m_files->setRootPath(folder));
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
    for (int row = 0; row < m_files->rowCount(folder); ++row)
        names << m_files->fileName(m_files->index(row, 0, folder));
    return names;
}
