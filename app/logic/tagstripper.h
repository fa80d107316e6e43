#pragma once

#include <QString>

// The text of a page without its mark-up: every stretch from a "<" to the first ">" after it is
// cut out, always working on the first "<" of what is left (so a ">" before every remaining "<"
// stays, and a "<" with no ">" after it stops the cutting and stays with all that follows).
// Then every three line breaks in a row (CR LF CR LF CR LF) become one, in a single pass.
// Time grows linearly with the size of the text.
QString takeOutHtml(const QString& text);
