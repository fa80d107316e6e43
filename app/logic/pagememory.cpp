#include "logic/pagememory.h"

#include "logic/largepages.h"

#include <cstdlib> // defines __GLIBC__ with the C library

#ifdef __GLIBC__
#include <malloc.h>
#endif

void reuseFreedPageMemory() {
#ifdef __GLIBC__
    // 32 MiB is the largest threshold the library accepts.
    mallopt(M_MMAP_THRESHOLD, int(kLargestHeapBuffer));
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
}
