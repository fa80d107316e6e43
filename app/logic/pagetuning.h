#pragma once
// The sizes that tune the road from Enter to a shown page and its link list, in one place: each
// with why it is what it is, and the benchmark that measures it (bench/, run by scripts/bench).

#include <QtGlobal>

namespace PageTuning {

// Pages up to this many characters have their links searched on a second worker while the line
// ends are turned, in the page as it came: the two halve the wait on two cores, at the price of
// holding the page twice until the line ends are done. Above it the page is held once and
// searched after. Measured by bench_fetchroad (Enter to the link list).
inline constexpr qsizetype kSearchedBeforeFixCode = qsizetype(32) << 20;

// A text goes into the source box's editor in slices of about this many characters, converted
// to UTF-8 one slice at a time on a worker: the UTF-8 copy is never held whole beside the text.
// Smaller slices cost calls, larger ones memory. Measured by bench_bigpage.
inline constexpr qsizetype kEditorSliceLength = qsizetype(4) << 20;

// Room for typing in the source box's new document beyond the text it is made for; the editor
// makes more as it is needed. Every byte of room is cleared when the document is made.
inline constexpr qsizetype kEditorDocumentRoom = qsizetype(64) << 10;

// The longest text the source box keeps a copy of beside the editor's own, and colours: a
// longer page would be held twice (and need a byte of style per byte) for as long as it is
// shown, so it is read back from the editor when asked for, and shown without colour.
// Measured by bench_bigpage (reading the text back).
inline constexpr qsizetype kKeptTextLength = qsizetype(32) << 20;

} // namespace PageTuning
