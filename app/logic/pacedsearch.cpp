#include "logic/pacedsearch.h"

#include <algorithm>
#include <utility>

PacedSearch::PacedSearch(QStringView text, std::function<void()> letEventsRun)
    : m_text(text)
    , m_letEventsRun(std::move(letEventsRun)) {}

void PacedSearch::letEventsRun() {
    if (m_letEventsRun) {
        m_letEventsRun();
    }
}

qsizetype PacedSearch::sliceEndFrom(qsizetype from) {
    if (from >= m_sliceEnd) {
        letEventsRun();
        m_sliceEnd = from + kSliceLength;
    }
    return std::min(m_sliceEnd, m_text.size());
}

qsizetype PacedSearch::indexOf(QChar c, qsizetype from) {
    while (from < m_text.size()) {
        const qsizetype sliceEnd = sliceEndFrom(from);
        const qsizetype found = m_text.first(sliceEnd).indexOf(c, from);
        if (found >= 0) {
            return found;
        }
        from = sliceEnd;
    }
    return -1;
}

qsizetype PacedSearch::indexOf(QStringView needle, qsizetype from) {
    if (needle.isEmpty()) {
        return from <= m_text.size() ? from : -1;
    }
    while (from <= m_text.size() - needle.size()) {
        const qsizetype sliceEnd = sliceEndFrom(from);
        // A match that starts inside the slice is found whole, even where it runs past its end.
        const qsizetype searchEnd = std::min(m_text.size(), sliceEnd + needle.size() - 1);
        const qsizetype found = m_text.first(searchEnd).indexOf(needle, from);
        if (found >= 0) {
            return found;
        }
        from = sliceEnd;
    }
    return -1;
}
