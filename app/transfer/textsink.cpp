#include "transfer/textsink.h"

#include "logic/documentdecoding.h"
#include "logic/pagetuning.h"

#include <QFutureInterface>
#include <QMutex>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <deque>
#include <exception>
#include <new>
#include <utility>

namespace {
constexpr qsizetype kSliceBytes = PageTuning::kDecodingSliceBytes;
}

// The slices handed over and the decoder they go to, shared with the worker that decodes them.
// One worker at a time drains the queue, in order; the last one to drain it after the last slice
// finishes the text. Chaining QFuture continuations instead crashed the toolkit's version that
// the program is built against, now and then, when a continuation was attached as its parent
// finished.
//
// The text is promised through the future's own interface rather than a QPromise: a QPromise
// that goes after its result was taken finds the future looking unfinished (taking the result
// resets it) and cancels it, and whoever watches hears the text end a second time, with no text.
// Here the decoding itself knows whether it told the end.
struct TextSink::Decoding {
    Decoding(QByteArray contentType, qint64 length)
        : decoder(std::move(contentType), length) {
        text.reportStarted();
    }

    ~Decoding() {
        // A discarded or abandoned text ends cancelled, so that nobody waits for it.
        if (told)
            return;
        text.reportCanceled();
        text.reportFinished();
    }

    void handOver(QByteArray slice, bool last) {
        QMutexLocker lock(&mutex);
        queued.push_back(std::move(slice));
        lastHandedOver = last;
        if (draining)
            return;
        draining = true;
        // The worker holds the decoding as long as it drains, whatever becomes of the sink.
        QThreadPool::globalInstance()->start([self = self.lock()] { self->drain(); });
    }

    void drain() {
        for (;;) {
            QByteArray slice;
            {
                QMutexLocker lock(&mutex);
                if (queued.empty() && lastHandedOver)
                    break;
                if (queued.empty()) {
                    draining = false;
                    return;
                }
                slice = std::move(queued.front());
                queued.pop_front();
            }
            if (discarded || outOfMemory)
                continue;
            try {
                decoder.feedSlice(std::move(slice));
            } catch (const std::bad_alloc&) {
                outOfMemory = true;
            }
        }
        if (discarded)
            return;
        try {
            if (outOfMemory)
                throw std::bad_alloc();
            text.reportAndMoveResult(decoder.finish());
        } catch (const std::bad_alloc&) {
            text.reportException(std::current_exception());
        }
        told = true;
        text.reportFinished();
    }

    std::weak_ptr<Decoding> self;
    std::atomic<bool> discarded = false;
    QFutureInterface<QString> text;
    bool told = false; // the worker's, until the decoding goes

    QMutex mutex;
    std::deque<QByteArray> queued;
    bool lastHandedOver = false;
    bool draining = false;

    // The worker's alone.
    DocumentDecoder decoder;
    bool outOfMemory = false;
};

TextSink::TextSink(qint64 limit, QString source)
    : m_limit(limit, std::move(source)) {
    startDecoding(QByteArray(), -1);
}

TextSink::~TextSink() {
    // The slices of a text not finished need not be decoded.
    if (!m_finished)
        m_decoding->discarded = true;
}

void TextSink::startDecoding(const QByteArray& contentType, qint64 length) {
    m_decoding = std::make_shared<Decoding>(contentType, length);
    m_decoding->self = m_decoding;
}

std::optional<TransferFailure> TextSink::begin(qint64 announced, const QByteArray& contentType) {
    discard();
    if (std::optional<TransferFailure> refused = m_limit.refusesAnnounced(announced))
        return refused;
    startDecoding(contentType, announced);
    return std::nullopt;
}

std::optional<TransferFailure> TextSink::write(QByteArrayView bytes) {
    if (std::optional<TransferFailure> refused = m_limit.refusesMore(m_held, bytes.size()))
        return refused;
    m_held += bytes.size();
    while (!bytes.isEmpty()) {
        if (m_slice.isEmpty())
            m_slice.reserve(kSliceBytes);
        const qsizetype taken = std::min(bytes.size(), kSliceBytes - m_slice.size());
        m_slice.append(bytes.first(taken));
        bytes = bytes.sliced(taken);
        if (m_slice.size() == kSliceBytes)
            m_decoding->handOver(std::exchange(m_slice, QByteArray()), false);
    }
    return std::nullopt;
}

std::optional<TransferFailure> TextSink::finish() {
    m_decoding->handOver(std::exchange(m_slice, QByteArray()), true);
    m_finished = true;
    return std::nullopt;
}

void TextSink::discard() {
    m_decoding->discarded = true;
    startDecoding(QByteArray(), -1);
    m_slice = QByteArray();
    m_held = 0;
    m_finished = false;
}

QFuture<QString> TextSink::text() const {
    return m_decoding->text.future();
}
