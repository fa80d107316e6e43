#include "logic/pagememory.h"

#include "logic/pagetuning.h"

#include <cstdlib> // defines __GLIBC__ with the C library

#ifdef __GLIBC__
#include <malloc.h>
#endif

void reuseFreedPageMemory() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, int(PageTuning::kLargestHeapBuffer));
    mallopt(M_TRIM_THRESHOLD, int(PageTuning::kFreedMemoryKept));
    // A page is decoded, turned and searched on workers. With a heap of its own per thread, the
    // memory a worker freed after one page was seldom there for the worker of the next, so
    // every page paid for fresh memory again (bench_fetchroad: later pages 3.9 to 5.2 times
    // curl); with one heap for all threads, what one page freed serves the next (1.8 to 2.4).
    mallopt(M_ARENA_MAX, 1);
#endif
}
