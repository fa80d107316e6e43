#include "logic/largepages.h"

#include "logic/pagetuning.h"

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

LargePageSpan wholeLargePages(const void* start, qsizetype length) {
    constexpr quintptr large = quintptr(2) << 20;
    const auto from = (reinterpret_cast<quintptr>(start) + large - 1) & ~(large - 1);
    const auto to = (reinterpret_cast<quintptr>(start) + quintptr(length)) & ~(large - 1);
    return to > from ? LargePageSpan{from, to} : LargePageSpan{};
}

void adviseLargePages(void* start, qsizetype length) {
#ifdef Q_OS_LINUX
    if (length <= PageTuning::kLargestHeapBuffer)
        return;
    const LargePageSpan span = wholeLargePages(start, length);
    if (span.to > span.from)
        madvise(reinterpret_cast<void*>(span.from), span.to - span.from, MADV_HUGEPAGE);
#else
    Q_UNUSED(start);
    Q_UNUSED(length);
#endif
}
