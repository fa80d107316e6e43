#pragma once

#include <QString>

// Makes a folder path end in the platform's separator ("/" here, "\" on Windows) by appending
// one to the caller's text itself when its last character is not one already; returns the text
// as it then is. A root keeps its single separator; an empty text becomes just the separator.
QString FixPath(QString& path);
