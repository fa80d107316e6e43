#pragma once
// The folder list of the save dialog: the path from the root down to the open folder, one
// indented line per folder, then the open folder's subfolders. A double-click (or Enter) on a
// line opens that folder. The subfolders are read by a file-system model, off the window's
// thread, and appear as they arrive.

#include <QListWidget>

class QFileSystemModel;

class FolderList : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);

    QString path() const { return m_path; }
    // Opens folder; false, and nothing changes, when it is not a folder that can be read.
    bool setPath(const QString& folder);

signals:
    // The open folder changed, whoever changed it.
    void pathChanged();

private:
    void openLine(QListWidgetItem* line);
    void showPath();
    void showSubfolders();

    QFileSystemModel* m_folders;
    QString m_path;
    int m_firstSubfolderRow = 0;
};
