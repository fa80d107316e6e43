#pragma once

#include <QtGlobal>

// A big buffer written for the first time costs a page fault every 4 KB, more than writing it;
// in pages of 2 MB the system needs one fault where it needed 512. This asks for such pages
// over the whole ones that fit in the buffer; where the system has none to give, nothing
// changes.
void adviseLargePages(void* start, qsizetype length);
