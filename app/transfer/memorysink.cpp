#include "transfer/memorysink.h"

#include "logic/largepages.h"
#include "logic/pagetuning.h"

#include <algorithm>
#include <new>

#include <utility>

MemorySink::MemorySink(qint64 limit, QString source)
    : m_limit(limit, std::move(source)) {}

std::optional<TransferFailure> MemorySink::begin(qint64 announced,
                                                 const QByteArray& /*contentType*/) {
    m_document.clear();
    if (std::optional<TransferFailure> refused = m_limit.refusesAnnounced(announced))
        return refused;
    // The whole announced length is reserved, so the document comes without a copy. Memory
    // not yet written is only address space: a length a hostile server announces and never
    // sends costs nothing but that, and the limit bounds it. Where even that is refused, the
    // document grows as it comes.
    if (announced > 0) {
        try {
            m_document.reserve(qsizetype(announced));
            adviseLargePages(m_document.data(), m_document.capacity());
        } catch (const std::bad_alloc&) {
            m_document.clear();
        }
    }
    return std::nullopt;
}

std::optional<TransferFailure> MemorySink::write(QByteArrayView bytes) {
    if (std::optional<TransferFailure> refused =
            m_limit.refusesMore(m_document.size(), bytes.size()))
        return refused;
    const qsizetype needed = m_document.size() + bytes.size();
    if (needed > m_document.capacity() && needed > PageTuning::kLargestHeapBuffer)
        growInLargePages(needed);
    m_document.append(bytes);
    return std::nullopt;
}

void MemorySink::growInLargePages(qsizetype needed) {
    // Beyond the heap's buffers, the document moves into memory mapped for it alone each time
    // it grows, and copied there by the toolkit it was written page by page, a fault every
    // 4 KB: for a page of 200 MiB, the window froze for 0.4 s. The new block is asked for large
    // pages before the document is copied into it. Doubling keeps the copies few.
    const qsizetype capacity = std::max(
        needed, qsizetype(std::min<qint64>(2 * qint64(m_document.capacity()), m_limit.most())));
    QByteArray grown;
    grown.reserve(capacity);
    adviseLargePages(grown.data(), grown.capacity());
    grown.append(QByteArrayView(m_document));
    m_document = std::move(grown);
}

std::optional<TransferFailure> MemorySink::finish() {
    return std::nullopt;
}

void MemorySink::discard() {
    m_document = QByteArray();
}

QByteArray MemorySink::takeDocument() {
    return std::exchange(m_document, QByteArray());
}
