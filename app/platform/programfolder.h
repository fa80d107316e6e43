#pragma once
// The folder that holds the program, where "D/L Checked" saves, and the program's own files in
// it, which no download may replace. Tests point it at a folder of their own.

#include <QString>

QString programFolder();
// An empty folder goes back to the program's real one.
void setProgramFolder(const QString& folder);

// Whether name, in the program's folder, is one of the program's own files: its executable, its
// control library or its registration tool.
bool isProgramFileName(const QString& name);
