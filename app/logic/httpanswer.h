#pragma once
// Reads a server's HTTP/1.1 answer as its bytes arrive: the status line, the header block and
// the body's framing (a length, chunks, or the connection's end). It knows exactly when the
// body is complete, so a body cut short is never taken for a whole one, and it bounds what a
// server may send before the body. Pure logic: the bytes come from whatever holds the
// connection.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

class HttpAnswer {
public:
    enum class Stage {
        Head,   // reading the status line and the headers
        Body,   // the headers are complete; body bytes follow
        Done,   // the whole answer has arrived
        Failed, // the answer cannot be read; error() says why
    };

    // A header block larger than this is no answer a document comes with.
    static constexpr qsizetype largestHead = 64 * 1024;
    // Nor a chunk size line, with its extensions, longer than this.
    static constexpr qsizetype largestChunkLine = 4 * 1024;

    // Where body bytes go, piece by piece, with the transfer framing removed. Returning false
    // stops reading: the answer then stays where it is.
    using BodyOutput = std::function<bool(QByteArrayView)>;

    // Reads bytes; returns how many it took. It stops right after the header block so that the
    // caller can look at the headers before any body byte is handed out, and at the end of the
    // answer; call it again with the rest.
    qsizetype feed(QByteArrayView bytes, const BodyOutput& output);
    // The connection has ended: that ends a body that runs to the connection's end, and fails
    // an answer that is not complete.
    void connectionEnded();

    [[nodiscard]] Stage stage() const { return m_stage; }
    [[nodiscard]] QString error() const { return m_error; }
    [[nodiscard]] int status() const { return m_status; }
    [[nodiscard]] QByteArray reason() const { return m_reason; }
    // The first header of that name (letter case ignored), its value trimmed; empty when none.
    [[nodiscard]] QByteArray header(QByteArrayView name) const;
    // The body's announced length, or -1 when it is sent in chunks or until the connection ends.
    [[nodiscard]] qint64 contentLength() const { return m_contentLength; }
    // Body bytes handed out so far.
    [[nodiscard]] qint64 bodyBytes() const { return m_bodyBytes; }

private:
    enum class Framing { None, Length, Chunked, UntilClose };
    enum class ChunkPart { Size, Data, DataEnd, Trailer };

    bool takeLine(QByteArrayView bytes, qsizetype* taken, qsizetype limit, QByteArray* line);
    bool readHead(QByteArrayView bytes, qsizetype* taken);
    bool parseStatusLine(const QByteArray& line);
    bool finishHead();
    bool readBody(QByteArrayView bytes, qsizetype* taken, const BodyOutput& output);
    bool readChunked(QByteArrayView bytes, qsizetype* taken, const BodyOutput& output);
    bool hand(QByteArrayView bytes, const BodyOutput& output);
    bool fail(const QString& error);

    Stage m_stage = Stage::Head;
    QString m_error;
    QByteArray m_line; // an incomplete line, across feeds
    qsizetype m_headSize = 0;
    bool m_statusRead = false;
    int m_status = 0;
    QByteArray m_reason;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    Framing m_framing = Framing::None;
    qint64 m_contentLength = -1;
    qint64 m_left = 0; // of the length, or of the current chunk
    ChunkPart m_chunkPart = ChunkPart::Size;
    qint64 m_bodyBytes = 0;
};
