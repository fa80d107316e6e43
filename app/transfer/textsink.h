#pragma once

#include "transfer/documentlimit.h"
#include "transfer/transfersink.h"

#include <QByteArray>
#include <QFuture>
#include <QString>

#include <memory>

// Holds a page as its text, within a limit (DocumentLimit). The bytes go to a worker a slice at
// a time as they arrive and are decoded there (DocumentDecoder) while the rest comes, so that
// after the last byte only the last slice is left to decode: the window's thread only gathers
// the bytes of the next slice.
class TextSink : public TransferSink {
public:
    // source names the document in messages, usually by its address; it may be empty.
    explicit TextSink(qint64 limit, QString source = QString());
    ~TextSink() override;

    std::optional<TransferFailure> begin(qint64 announced, const QByteArray& contentType) override;
    std::optional<TransferFailure> write(QByteArrayView bytes) override;
    std::optional<TransferFailure> finish() override;
    void discard() override;

    // Once finished, the text, ready when a worker has decoded the last slice; a text too big
    // for the memory there is ends it with std::bad_alloc, and a discarded one is cancelled. The
    // future outlives the sink.
    [[nodiscard]] QFuture<QString> text() const;

private:
    struct Decoding;
    void startDecoding(const QByteArray& contentType, qint64 length);

    DocumentLimit m_limit;
    qint64 m_held = 0;
    QByteArray m_slice; // the bytes of the slice still coming
    std::shared_ptr<Decoding> m_decoding;
    bool m_finished = false;
};
