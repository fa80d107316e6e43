#pragma once
// The file list of the save dialog: the ordinary files of one folder whose names match the
// pattern ("*.*" is every file, whether its name has a dot or not). Folders and hidden files are
// not listed. Read by a file-system model, off the window's thread.

#include <QListView>

class QFileSystemModel;
class QSortFilterProxyModel;

class FileList : public QListView {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    void setPath(const QString& folder);
    QString pattern() const { return m_pattern; }
    void setPattern(const QString& pattern);
    // The names listed now, in the order shown.
    QStringList fileNames() const;

signals:
    // A click on a file, or the user moving to one with the keys; never focus arriving.
    void fileClicked(const QString& name);
    void fileDoubleClicked(const QString& name);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString nameAt(const QModelIndex& shown) const;

    QFileSystemModel* m_files;
    QSortFilterProxyModel* m_shown;
    QString m_path;
    QString m_pattern;
};
