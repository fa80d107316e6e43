#include "scan/largepages.h"

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace {

// Smaller buffers come from the heap (see reuseFreedPageMemory), which keeps them for the next
// page, already written; asked for large pages, such a buffer now and then stalled the first
// page of a run for a tenth of a second while the system compacted memory.
constexpr qsizetype kFromTheHeap = qsizetype(32) << 20;

} // namespace

void adviseLargePages(void* start, qsizetype length) {
#ifdef Q_OS_LINUX
    if (length <= kFromTheHeap)
        return;
    constexpr quintptr large = quintptr(2) << 20;
    const auto from = (reinterpret_cast<quintptr>(start) + large - 1) & ~(large - 1);
    const auto to = (reinterpret_cast<quintptr>(start) + quintptr(length)) & ~(large - 1);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    Q_UNUSED(start);
    Q_UNUSED(length);
#endif
}
