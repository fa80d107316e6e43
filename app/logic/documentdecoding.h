#pragma once
// The text of a fetched document, read the way browsers read it.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The encoding a charset label names by the web's encoding label rules (the WHATWG Encoding
// Standard's label table): white space around the label and letter case do not count, and
// "latin1" or "us-ascii" mean windows-1252. Empty for a label outside the table, such as
// "utf-7" or "utf-32": such encodings are never used.
QByteArray encodingForLabel(QByteArrayView label);

// A byte-order mark first, then the charset of the Content-Type header, then the first <meta>
// in the first 4 KB that names a known one (encodingOfFirstMeta), else UTF-8; when nothing was
// declared and the bytes are not UTF-8, Windows-1252. NUL bytes are kept, and no input byte becomes
// more than one character (a four-byte sequence becomes two, a surrogate pair).
QString decodeDocument(QByteArrayView body, const QByteArray& contentType);
