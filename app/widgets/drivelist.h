#pragma once
// The drive list of the save dialog: the machine's mounted volumes, each by the folder it is
// mounted at (drive letters on Windows). It reports only the user's own picks, so that setting
// it back after a failed switch does not count as a new pick.

#include <QComboBox>

class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);

    // The root folder of the volume shown.
    QString drive() const;
    // Shows the volume that holds path (a volume mounted deeper in the tree wins).
    void setDriveOf(const QString& path);

signals:
    void driveChanged();

private:
    void fill();
};
