#include "logic/pagememory.h"

#include "logic/largepages.h"
#include "logic/pagetuning.h"

#include <cstdlib> // defines __GLIBC__ with the C library
#include <new>

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <mutex>
#include <thread>
#endif

namespace {

#ifdef __GLIBC__
// Has the system back the stretch in memory now, on a thread of its own, while the window is
// made and the user types an address: on a virtual machine, memory the host has not backed
// lately costs it time at the first touch, and a first page after other programs freed a lot
// took 3 to 4.7 times what curl took instead of 1.1 to 1.4. The system only fills in what is
// not there yet and changes no content, so the heap may hand out and write the same memory
// meanwhile.
void backInTheBackground(void* start, qsizetype length) {
#ifdef MADV_POPULATE_WRITE
    const LargePageSpan span = wholeLargePages(start, length);
    if (span.to <= span.from)
        return;
    std::thread([span] {
        madvise(reinterpret_cast<void*>(span.from), span.to - span.from, MADV_POPULATE_WRITE);
    }).detach();
#else
    Q_UNUSED(start);
    Q_UNUSED(length);
#endif
}

// Grows the heap at once by about what it keeps for pages, before anything is written there,
// and asks for that stretch in pages of 2 MB: the system gives them only over stretches of which
// nothing was written yet, and the heap otherwise grows a little at a time, writing as it goes.
void growHeapInLargePages() {
    // Larger than anything free this early, so the heap has to grow for it.
    constexpr qsizetype kFirstRequest = qsizetype(4) << 20;
    // The C library's own padding of the heap's growth, put back after this one growth.
    constexpr int kDefaultTopPad = 128 << 10;
    const auto before = reinterpret_cast<quintptr>(sbrk(0));
    // Freed, the stretch stays below the amount the heap keeps, so it is not handed back.
    mallopt(M_TOP_PAD, int(PageTuning::kHeapGrownAtStart - 4 * kFirstRequest));
    // volatile: the compiler would otherwise drop a request whose memory is never used.
    void* volatile first = std::malloc(size_t(kFirstRequest));
    mallopt(M_TOP_PAD, kDefaultTopPad);
    const auto after = reinterpret_cast<quintptr>(sbrk(0));
    auto* const stretch = reinterpret_cast<void*>(before);
    adviseLargePages(stretch, qsizetype(after - before));
    std::free(first);
    backInTheBackground(stretch, qsizetype(after - before));
}

// The C library's own limit on the buffers it maps afresh, put back after a big buffer was
// taken from the heap.
constexpr int kDefaultMappedBuffers = 65536;

// One big buffer at a time is taken from the heap: the setting is the whole program's.
std::mutex& bigBufferFromTheHeapMutex() {
    static std::mutex mutex;
    return mutex;
}
#endif

} // namespace

BigBufferFromTheHeap::BigBufferFromTheHeap(qsizetype bytes) {
#ifdef __GLIBC__
    if (bytes <= PageTuning::kLargestHeapBuffer || bytes > PageTuning::kLargestKeptText)
        return;
    bigBufferFromTheHeapMutex().lock();
    // Nothing is mapped afresh meanwhile: a buffer another thread asks for meanwhile comes from
    // the heap as well, which costs it nothing.
    mallopt(M_MMAP_MAX, 0);
    m_taking = true;
#else
    Q_UNUSED(bytes);
#endif
}

BigBufferFromTheHeap::~BigBufferFromTheHeap() {
#ifdef __GLIBC__
    if (!m_taking)
        return;
    mallopt(M_MMAP_MAX, kDefaultMappedBuffers);
    bigBufferFromTheHeapMutex().unlock();
#endif
}

void reuseFreedPageMemory() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, int(PageTuning::kLargestHeapBuffer));
    mallopt(M_TRIM_THRESHOLD, int(PageTuning::kFreedMemoryKept));
    // A page is decoded, turned and searched on workers. With a heap of its own per thread, the
    // memory a worker freed after one page was seldom there for the worker of the next, so
    // every page paid for fresh memory again (bench_fetchroad: later pages 3.9 to 5.2 times
    // curl); with one heap for all threads, what one page freed serves the next (1.8 to 2.4).
    mallopt(M_ARENA_MAX, 1);
    growHeapInLargePages();
#endif
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARVELL_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TARVELL_ADDRESS_SANITIZER
#endif

#ifndef TARVELL_ADDRESS_SANITIZER
// Every C++ allocation goes through here, the editor's among them: the document the editor makes
// for a big page is as big as the page, and written in pages of 4 KB its faults cost more than
// the writing (bench_bigpage). A buffer that big is mapped afresh, so it is asked for large pages
// before it is written. The address sanitizer brings its own allocation, which this would
// bypass.
void* operator new(std::size_t size) {
    for (;;) {
        if (void* memory = std::malloc(size == 0 ? 1 : size)) {
            adviseLargePages(memory, qsizetype(size));
            return memory;
        }
        const std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}
#endif
