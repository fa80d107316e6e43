#pragma once

#include <QList>
#include <QStringList>
#include <QStringView>

#include <functional>

// The positions of the entries that stay when repeats go: an entry exactly equal
// (case-sensitive) to an earlier one is left out, so the first copy of each text stays and the
// order is kept. Linear in the number of entries, so a page with a hundred thousand links does
// not stall the window.
QList<qsizetype> firstCopies(const QStringList& entries);

// The same for texts that lie elsewhere; letEventsRun gets a turn every few passes over them.
QList<qsizetype> firstCopies(const QList<QStringView>& entries,
                             const std::function<void()>& letEventsRun = {});

// The entries without repeats, by the same rule.
QStringList withoutDuplicates(const QStringList& entries);
