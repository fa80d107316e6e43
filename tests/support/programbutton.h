#pragma once

#include <QJsonObject>
#include <QString>

// The stored record every button of the program's windows carries: white caption on a black
// face, white while hovered, Arial 8.25 point.
QJsonObject programButton(const QString& caption);
