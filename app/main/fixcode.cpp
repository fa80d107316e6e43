#include "fixcode.h"

#include <algorithm>
#include <new>

namespace {

// Enough text to take about a millisecond.
constexpr qsizetype kSliceLength = qsizetype(1) << 20;

} // namespace

QString& FixCode(QString& text, const std::function<void()>& letEventsRun) {
    qsizetype lineFeeds = 0;
    for (qsizetype start = 0; start < text.size(); start += kSliceLength) {
        lineFeeds += QStringView(text)
                         .sliced(start, std::min(kSliceLength, text.size() - start))
                         .count(QLatin1Char('\n'));
        if (letEventsRun && start + kSliceLength < text.size())
            letEventsRun();
    }
    if (lineFeeds == 0)
        return text;
    const qsizetype oldSize = text.size();
    try {
        // A string held once grows where it lies (a large block is remapped, not copied).
        text.resize(oldSize + lineFeeds);
    } catch (const std::bad_alloc&) {
        // A conversion that cannot be completed is skipped: the page is shown unconverted.
        return text;
    }
    // From the end backwards, every character moves right by the line feeds before it, and each
    // line feed takes its carriage return along; what is read has not been overwritten yet.
    QChar* const data = text.data();
    qsizetype from = oldSize;
    qsizetype to = oldSize + lineFeeds;
    qsizetype nextTurn = from - kSliceLength;
    // Once every line feed has moved, the rest already stands where it belongs.
    while (to != from) {
        const QChar c = data[--from];
        data[--to] = c;
        if (c == QLatin1Char('\n'))
            data[--to] = QLatin1Char('\r');
        if (from < nextTurn) {
            nextTurn = from - kSliceLength;
            if (letEventsRun)
                letEventsRun();
        }
    }
    return text;
}
