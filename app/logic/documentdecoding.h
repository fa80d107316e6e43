#pragma once
// The text of a fetched document, read the way browsers read it.

#include "logic/pagetuning.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
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

// Decodes a document while its bytes are still coming, into the text decodeDocument gives for
// all of them, however they are cut: the encoding is chosen once the first 4 KB are in, and
// from then on every whole slice is decoded as it completes, so that after the last byte only
// the last slice is left. Without a declaration the bytes are kept, since one that is not UTF-8
// turns the whole document to Windows-1252; declared, each slice is let go once decoded. An
// encoding only the platform's converters know is decoded whole at the end. One thread at a
// time may use it.
class DocumentDecoder {
public:
    // expectedLength, the body's length when it is known beforehand, lets the text be made
    // whole at once. sliceBytes is for tests that cut slices small.
    explicit DocumentDecoder(QByteArray contentType, qint64 expectedLength = -1,
                             qsizetype sliceBytes = PageTuning::kDecodingSliceBytes);

    void feed(QByteArrayView bytes);
    // The same, taken without a copy when it is a whole slice and so are the ones before.
    void feedSlice(QByteArray bytes);
    // The text of everything fed. The decoder is spent.
    QString finish();

private:
    enum class Way { Undecided, Utf8OrWindows1252, Utf8, Utf16LE, Utf16BE, Windows1252, AtTheEnd };

    [[nodiscard]] bool lastSliceIsWhole() const;
    void took(QByteArrayView bytes);
    void decideOnceTheHeadIsIn(bool everythingIsIn);
    void decodeNextSlice();
    void decodeSlice(QByteArrayView slice);
    // False when the bytes turned out not to be UTF-8 and everything was decoded anew.
    bool decodePiece(QByteArrayView piece);
    void turnToWindows1252();
    void makeRoom(qsizetype characters);
    [[nodiscard]] qsizetype mostCharactersOf(qsizetype bytes) const;
    [[nodiscard]] qsizetype cutBeforeASplitCharacter(QByteArrayView bytes) const;

    QByteArray m_contentType;
    qint64 m_expectedLength;
    qsizetype m_sliceBytes;
    QByteArray m_head; // the first bytes, as far as a meta is searched
    Way m_way = Way::Undecided;
    QByteArray m_encodingAtTheEnd; // as decodeWhole takes it
    qsizetype m_byteOrderMark = 0; // bytes of it not yet passed over
    QList<QByteArray> m_slices;    // all but the last whole; decoded ones let go when declared
    qsizetype m_decodedSlices = 0;
    QByteArray m_carried; // the end of the last slice decoded, a character cut off by its end
    QString m_text;       // decoded into its first m_length characters
    qsizetype m_length = 0;
};
