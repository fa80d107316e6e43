#include "duplicateremoval.h"

#include <QSet>

QList<qsizetype> firstCopies(const QStringList& entries) {
    QSet<QString> seen;
    seen.reserve(entries.size());
    QList<qsizetype> kept;
    kept.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const qsizetype before = seen.size();
        seen.insert(entries.at(i));
        if (seen.size() != before)
            kept.append(i);
    }
    return kept;
}

QStringList withoutDuplicates(const QStringList& entries) {
    const QList<qsizetype> kept = firstCopies(entries);
    if (kept.size() == entries.size())
        return entries;
    QStringList result;
    result.reserve(kept.size());
    for (const qsizetype i : kept)
        result.append(entries.at(i));
    return result;
}
