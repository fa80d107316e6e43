#pragma once

#include <QString>

#include <optional>

// 0-based start of the match that Find Next selects, given the current selection (0-based start,
// length in UTF-16 units). A selection of one or more units is taken as the previous match, so
// the search begins one unit after its start and overlapping matches come one after another; an
// empty selection (the caret) is searched from. Case is ignored one character at a time, and a
// character never changes length in doing so, so the returned position is a position in source.
// nullopt: no match from there on, and always for an empty source or an empty needle (an empty
// find text would otherwise "match" in place at every click and the search would never end).
std::optional<qsizetype> findNextMatch(const QString& source, const QString& needle,
                                       qsizetype selectionStart, qsizetype selectionLength);

// Every occurrence of find, case-sensitive, scanned from the left and never overlapping,
// replaced by with; the inserted text is not scanned again. An empty find changes nothing.
QString replaceAllOccurrences(const QString& source, const QString& find, const QString& with);

// The question asked before Replace All, with both texts exactly as typed.
QString replaceConfirmationPrompt(const QString& find, const QString& with);
