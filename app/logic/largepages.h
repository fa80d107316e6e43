#pragma once

#include <QtGlobal>

// The whole pages of 2 MB that fit in a stretch of memory, from and to; empty when none does.
struct LargePageSpan {
    quintptr from = 0;
    quintptr to = 0;
};
LargePageSpan wholeLargePages(const void* start, qsizetype length);

// A big buffer written for the first time costs a page fault every 4 KB, more than writing it;
// in pages of 2 MB the system needs one fault where it needed 512. For a buffer of more than
// 32 MiB, which the system maps afresh every time, this asks for such pages over the whole
// ones that fit in it; where the system has none to give, nothing changes.
void adviseLargePages(void* start, qsizetype length);

// Buffers up to PageTuning::kLargestHeapBuffer come from the heap, and are not advised one by
// one: parts of the heap around them were written already, and the system gives large pages only
// over stretches of which nothing was. reuseFreedPageMemory asks for the stretch the heap keeps
// for pages as a whole, before anything is written there.
