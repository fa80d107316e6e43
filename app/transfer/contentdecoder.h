#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>

// Undoes the content coding a server put on a document (Content-Encoding: gzip or deflate) as
// the packed bytes arrive, and knows whether the packed stream reached its end. The toolkit's
// own unpacking cannot tell a stream cut short from a whole one, so a document that lost its
// tail would pass for complete; here it never does. The unpacked size is bounded by the sink
// the pieces go to, not by a ratio: a large file that packs well is a file like any other.
class ContentDecoder {
public:
    // What comes out, piece by piece; false stops the decoding (the sink refused).
    using Output = std::function<bool(QByteArrayView)>;

    // codings is the Content-Encoding header as sent; empty or "identity" means none.
    explicit ContentDecoder(QByteArrayView codings);
    ~ContentDecoder();
    ContentDecoder(const ContentDecoder&) = delete;
    ContentDecoder& operator=(const ContentDecoder&) = delete;

    // Whether the bytes pass through unchanged.
    [[nodiscard]] bool isIdentity() const { return m_coding == Coding::Identity; }
    // Why the coding cannot be undone (an unknown or stacked coding), or empty when it can.
    [[nodiscard]] QString refusal() const;

    // Unpacks the next packed bytes into output. Returns false when the packed bytes are damaged
    // (error() says how) or when output returned false.
    bool feed(QByteArrayView packed, const Output& output);
    // Whether the stream has reached its end marker (always true for identity).
    [[nodiscard]] bool isComplete() const;
    [[nodiscard]] QString error() const { return m_error; }

private:
    enum class Coding { Identity, Gzip, Deflate, Unknown };
    struct Stream;

    bool start(QByteArrayView firstBytes);

    Coding m_coding = Coding::Identity;
    QByteArray m_codings;
    std::unique_ptr<Stream> m_stream; // once the first packed bytes have come
    QByteArray m_head;                // a deflate stream's first byte, until its second comes
    bool m_ended = false;             // the last member's end marker has come
    bool m_passingOver = false;       // bytes that start no member came after it: the rest too
    QString m_error;
};
