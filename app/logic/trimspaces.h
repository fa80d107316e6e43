#pragma once

#include <QString>

// The text without its leading and trailing space characters (U+0020). Tabs and line breaks are
// kept: a reference collected across a line break keeps it, unlike QString::trimmed().
QString trimSpaces(const QString& text);
QStringView trimSpaces(QStringView text);
