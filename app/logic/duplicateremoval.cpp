#include "logic/duplicateremoval.h"

#include <QHashFunctions>

#include <vector>

namespace {

struct HashedEntry {
    quint32 hash;
    qsizetype position;
};

// Sorts by hash, stable, in three passes of 11 bits: equal hashes end up side by side, in the
// order of their positions.
void sortByHash(std::vector<HashedEntry>& entries) {
    std::vector<HashedEntry> sorted(entries.size());
    for (int shift = 0; shift < 32; shift += 11) {
        std::vector<size_t> start(2049, 0);
        for (const HashedEntry& entry : entries)
            ++start[((entry.hash >> shift) & 2047) + 1];
        for (size_t digit = 1; digit < start.size(); ++digit)
            start[digit] += start[digit - 1];
        for (const HashedEntry& entry : entries)
            sorted[start[(entry.hash >> shift) & 2047]++] = entry;
        entries.swap(sorted);
    }
}

} // namespace

quint32 entryHash(QStringView entry) {
    // Seeded afresh in every run, as the toolkit's own tables are, so no page can line its
    // entries up on one hash.
    const size_t hash = qHash(entry, QHashSeed::globalSeed());
    return quint32(hash ^ (quint64(hash) >> 32));
}

QList<qsizetype> firstCopies(const QList<QStringView>& entries, const QList<quint32>& hashes) {
    // Repeats are found side by side in a list sorted by hash, read from front to back, rather
    // than by looking each entry up at a random place of a table: for a hundred thousand links
    // that was most of the time the link search took.
    std::vector<HashedEntry> hashed(size_t(entries.size()));
    for (qsizetype i = 0; i < entries.size(); ++i)
        hashed[size_t(i)] = {hashes[i], i};
    sortByHash(hashed);
    // Within a run of one hash, each entry is compared with the first copies found in the run
    // so far: a run of one text repeated is read once, and distinct texts share a hash rarely.
    std::vector<bool> kept(size_t(entries.size()), false);
    std::vector<qsizetype> firstsOfRun;
    for (size_t run = 0; run < hashed.size();) {
        size_t end = run;
        firstsOfRun.clear();
        for (; end < hashed.size() && hashed[end].hash == hashed[run].hash; ++end) {
            const QStringView text = entries[hashed[end].position];
            bool repeat = false;
            for (const qsizetype first : firstsOfRun) {
                if (entries[first] == text) {
                    repeat = true;
                    break;
                }
            }
            if (!repeat) {
                firstsOfRun.push_back(hashed[end].position);
                kept[size_t(hashed[end].position)] = true;
            }
        }
        run = end;
    }
    QList<qsizetype> positions;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (kept[size_t(i)])
            positions.append(i);
    }
    return positions;
}

QList<qsizetype> firstCopies(const QStringList& entries) {
    QList<QStringView> views;
    QList<quint32> hashes;
    views.reserve(entries.size());
    hashes.reserve(entries.size());
    for (const QString& entry : entries) {
        views.append(entry);
        hashes.append(entryHash(entry));
    }
    return firstCopies(views, hashes);
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
