#pragma once

#include <QString>

// Turns every line feed into carriage return plus line feed, in place, and returns the same
// text. A line feed already preceded by a carriage return is turned too (CR LF becomes
// CR CR LF): the source box and the text tools rely on exactly that form.
QString& FixCode(QString& text);
