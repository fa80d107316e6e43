#pragma once
// The folder that holds the program, where "D/L Checked" saves, and the program's own files in
// it, which no download may replace. Tests point it at a folder of their own.

#include <QString>

QString programFolder();
// An empty folder goes back to the program's real one.
void setProgramFolder(const QString& folder);

// Where "D/L Checked" saves: the program's folder when it is the user's own (a build tree, a
// copy the user unpacked), else the user's download folder. An installed copy lives in a
// system folder, which an administrator could fill with downloads and nobody else can write.
struct CheckedRunFolder {
    QString path; // without a separator at its end
    bool isProgramFolder = true;
};
CheckedRunFolder checkedRunFolder();
// An empty folder goes back to the desktop's download folder.
void setDownloadFolder(const QString& folder);

// Whether name, in the program's folder, is one of the program's own files: its executable, its
// control library or its registration tool.
bool isProgramFileName(const QString& name);
