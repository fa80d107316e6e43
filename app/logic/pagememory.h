#pragma once

#include <QtGlobal>

// A big page passes through buffers of tens of megabytes on its way to the screen: as it came,
// as text, with its line ends turned, as the editor holds it. Left alone, the C library maps
// each such buffer afresh from the system and hands it back when it is freed, and the system
// clears every page of it again at the first touch; for a page of 12 MB that clearing took
// about a third of the time from Enter to the link list. Called once at the start, this takes
// buffers of up to 32 MiB from the heap instead and keeps what it frees there for the next page,
// up to kFreedMemoryKept. A bigger buffer, but for a page's text (BigBufferFromTheHeap), and
// whatever the heap frees beyond that, go back as before.
//
// Clearing a page of memory costs a fault every 4 KB, each far dearer than writing the memory
// (on the virtual machines we measure on, about 11 microseconds): the first page after start,
// with nothing freed yet to reuse, took 17,000 of them, two thirds of its way from Enter to the
// link list. So the heap's kept stretch is asked for pages of 2 MB, one fault where there were
// 512, and so is every buffer the program's C++ code asks for beyond kLargestHeapBuffer. The
// stretch is backed at once, on a thread of its own: the program holds it from the start rather
// than from its first big page on.
//
// Called before any other thread starts: a thread that took memory before has a heap of its
// own, which maps every big buffer afresh.
void reuseFreedPageMemory();

// While one lives, a buffer of the given size is taken from the heap even beyond
// kLargestHeapBuffer, up to kLargestKeptText: freed, it stays there, written already, for the
// next page's text. A page's text is made so: mapped afresh, it was cleared by the system for
// every page. One thread at a time takes a buffer so; another waits.
class BigBufferFromTheHeap {
public:
    explicit BigBufferFromTheHeap(qsizetype bytes);
    ~BigBufferFromTheHeap();
    Q_DISABLE_COPY_MOVE(BigBufferFromTheHeap)

private:
    bool m_taking = false;
};
