#include "fixcode.h"

#include <new>

QString& FixCode(QString& text) {
    const qsizetype lineFeeds = text.count(QLatin1Char('\n'));
    if (lineFeeds == 0) {
        return text;
    }
    // The new text is built aside and swapped in at the end, so that running out of memory on a
    // huge page leaves the caller's text as it was instead of half converted.
    try {
        QString converted;
        converted.reserve(text.size() + lineFeeds);
        const QChar* const begin = text.constData();
        const QChar* const end = begin + text.size();
        const QChar* runStart = begin;
        for (const QChar* it = begin; it != end; ++it) {
            if (*it == QLatin1Char('\n')) {
                converted.append(runStart, it - runStart);
                converted.append(QLatin1String("\r\n"));
                runStart = it + 1;
            }
        }
        converted.append(runStart, end - runStart);
        text.swap(converted);
    } catch (const std::bad_alloc&) {
        // A conversion that cannot be completed is skipped: the page is shown unconverted.
    }
    return text;
}
