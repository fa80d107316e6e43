#pragma once
// The sizes that tune the road from Enter to a shown page and its link list, in one place: each
// with why it is what it is, and the benchmark that measures it (bench/, run by scripts/bench).
// The transfer's own buffers (Inet::readBufferSize) serve downloads as well and stay with it.

#include <QtGlobal>

namespace PageTuning {

// A page is decoded a slice of this many bytes at a time as its bytes arrive, on a worker: after
// the last byte, only the last slice is left to decode. A document that is not in the encoding
// hoped for is given up at the end of the first slice that shows it. Smaller slices cost more
// hand-overs; larger ones leave more for after the last byte. Measured by bench_fetch (text
// against bytes, and the Windows-1252 fallback).
inline constexpr qsizetype kDecodingSliceBytes = qsizetype(1) << 20;

// Decoding leaves room for this fraction more characters (one in eight): a page then has its
// CR LF line ends put in where the text lies, never held twice. Mark-up has far fewer line
// feeds; room never written costs no memory.
inline constexpr qsizetype kLineEndRoomDivisor = 8;

// The link search tells repeats apart a batch at a time: this many links, or this many of their
// characters, whichever comes first. A page of a hundred thousand different links is one batch;
// a page of endless copies of a few links never holds more than one. Measured by
// bench_textlogic and bench_fetchroad.
inline constexpr qsizetype kLinksPerBatch = qsizetype(1) << 20;
inline constexpr qsizetype kLinkCharactersPerBatch = qsizetype(8) << 20;

// Buffers up to this size come from the heap, which keeps what it has freed for the next page,
// already written: a fresh buffer costs a page fault every 4 KB, which took about a third of
// the road from Enter to the link list. The heap is grown by kHeapGrownAtStart at the start,
// asked for large pages and backed on a worker, so even the first page's buffers cost few
// faults and no wait for fresh memory. Bigger buffers are mapped afresh and asked for large
// pages. 32 MiB is the largest threshold the C library accepts. Measured by bench_fetchroad
// (its page faults too) and, for the peak, bench_bigpage.
inline constexpr qsizetype kLargestHeapBuffer = qsizetype(32) << 20;
// The stretch the heap is grown by at the start. With less than 128 MiB kept, what a 12 MB page
// frees went back and had to be cleared again.
inline constexpr qsizetype kHeapGrownAtStart = qsizetype(128) << 20;

// A page's text, its biggest buffer, comes from the heap up to this many bytes (a page of up
// to about 57 MB), beyond kLargestHeapBuffer: mapped afresh, the system cleared it anew for
// every page, on the worker decoding it while the bytes came, and a 50 MB page took 1.3 to 1.9
// times as long as text as it took as bytes; from the heap, the next page finds it written.
// Measured by bench_fetch (text against bytes) and bench_fetchroad.
inline constexpr qsizetype kLargestKeptText = qsizetype(128) << 20;

// The heap gives back what it has freed at its end beyond this: room for the largest text kept
// and the slices of bytes it was decoded from, freed together when the next page comes. The
// catch: after a big page the program may hold that much more memory than it uses. Measured
// by bench_fetch and, for the peak, bench_bigpage.
inline constexpr qsizetype kFreedMemoryKept = qsizetype(256) << 20;

// A text goes into the source box's editor in slices of about this many characters, converted
// to UTF-8 one slice at a time on a worker: the UTF-8 copy is never held whole beside the text.
// Smaller slices cost calls, larger ones memory. Measured by bench_bigpage (time and peak).
inline constexpr qsizetype kEditorSliceLength = qsizetype(4) << 20;

// Room for typing in the source box's new document beyond the text it is made for; the editor
// makes more as it is needed. The packaged editor clears every byte of room when the document is
// made, on the window's thread, so a little is what it gets.
inline constexpr qsizetype kEditorDocumentRoom = qsizetype(64) << 10;

// "Take out HTML" strips a text of up to this many characters where it stands, on the window's
// thread: a few milliseconds. A longer one is stripped and put into the editor on a worker, the
// window drawing meanwhile: on the 12 MB page, the first strip after the page was shown, on
// memory not used before, took 40 ms and filling the editor as much again. Measured by
// bench_fetchroad.
inline constexpr qsizetype kStrippedWhereItStandsLength = qsizetype(1) << 20;

// The longest text the source box keeps a copy of beside the editor's own, and colours: a
// longer page would be held twice (and need a byte of style per byte) for as long as it is
// shown, so it is read back from the editor when asked for, and shown without colour.
// Measured by bench_bigpage (reading the text back).
inline constexpr qsizetype kKeptTextLength = qsizetype(32) << 20;

} // namespace PageTuning
