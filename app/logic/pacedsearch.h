#pragma once

#include <QString>
#include <QStringView>

#include <functional>

// Searches forward through one long text and gives the caller's event pump a turn at least once
// per slice of text passed, so that a text with few matches (or none) in megabytes of content
// cannot hold the window up between two matches. Where and how often the pump runs never changes
// what is found.
class PacedSearch {
public:
    // Enough text to take around a millisecond to search.
    static constexpr qsizetype kSliceLength = qsizetype(1) << 18;

    PacedSearch(QStringView text, std::function<void()> letEventsRun);

    // First index of c, or of needle, at or after from; -1 if none.
    qsizetype indexOf(QChar c, qsizetype from);
    qsizetype indexOf(QStringView needle, qsizetype from);

    // Gives the pump a turn now (the callers do so once per match they handle).
    void letEventsRun();

private:
    // Runs the pump when from has reached the end of the current slice, and returns the end of
    // the slice the search may cover before the next turn.
    qsizetype sliceEndFrom(qsizetype from);

    QStringView m_text;
    std::function<void()> m_letEventsRun;
    qsizetype m_sliceEnd = kSliceLength;
};
