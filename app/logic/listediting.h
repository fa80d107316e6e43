#pragma once
// The file finder's Replace command, as text rules: what the second answer means, and how
// the second question is worded.

#include <QString>

// The text that replaces: the answer exactly as typed, except that the word "null" (any letter
// case, with spaces around it) means nothing, since an empty answer cancels the command.
QString replacementText(const QString& answer);

// The second question of Replace, quoting the text to be replaced exactly as typed.
QString replaceWithPrompt(const QString& find);
