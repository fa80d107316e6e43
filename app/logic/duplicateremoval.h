#pragma once

#include <QList>
#include <QStringList>
#include <QStringView>

// The positions of the entries that stay when repeats go: an entry exactly equal
// (case-sensitive) to an earlier one is left out, so the first copy of each text stays and the
// order is kept. Linear in the number of entries, so a page with a hundred thousand links does
// not stall the window.
QList<qsizetype> firstCopies(const QStringList& entries);

// The same for texts that lie elsewhere, each with its entryHash, taken while the text was at
// hand: read again later, texts spread over a page cost more than the rest of the work.
QList<qsizetype> firstCopies(const QList<QStringView>& entries, const QList<quint32>& hashes);

// The hash firstCopies tells entries apart by.
quint32 entryHash(QStringView entry);

// The entries without repeats, by the same rule.
QStringList withoutDuplicates(const QStringList& entries);
