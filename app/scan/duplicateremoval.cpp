#include "duplicateremoval.h"

#include <QSet>

QStringList withoutDuplicates(const QStringList& entries) {
    QSet<QString> seen;
    seen.reserve(entries.size());
    QStringList kept;
    kept.reserve(entries.size());
    for (const QString& entry : entries) {
        const qsizetype before = seen.size();
        seen.insert(entry);
        if (seen.size() != before) {
            kept.append(entry);
        }
    }
    return kept;
}
