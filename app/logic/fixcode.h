#pragma once

#include <QString>

// Turns every line feed into carriage return plus line feed, in place, and returns the same
// text. A line feed already preceded by a carriage return is turned too (CR LF becomes
// CR CR LF): the source box and the text tools rely on exactly that form.
//
// A text held only here grows where it lies, so a page of hundreds of megabytes is not held
// twice; one that other copies share is written anew, once. Running out of memory leaves the
// text as it was.
QString& FixCode(QString& text);
