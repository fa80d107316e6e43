#pragma once
// The <meta> that declares a page's charset, found the way browsers find it.

#include <QByteArray>
#include <QByteArrayView>

// How far into a document the search looks: a meta that ends beyond it is not seen.
constexpr qsizetype metaSearchReach = 4096;

// The encoding (by its name in the label table) that the first <meta> naming a known charset
// declares within the document's first metaSearchReach bytes; empty when none does. Comments,
// "<!", "</" and "<?" declarations and the attributes of other tags are passed over, so a meta
// quoted inside them counts for nothing, and a charset in "content" counts only beside
// http-equiv="Content-Type". A meta naming UTF-16, or UTF-32 (which the table leaves out),
// declares UTF-8: a tag readable as ASCII cannot sit in such a document. One naming
// x-user-defined declares windows-1252. Nothing beyond the reach is ever read.
QByteArray encodingOfFirstMeta(QByteArrayView document);
