#include "transfer/memorysink.h"

#include "logic/largepages.h"

#include <utility>

namespace {

// Reserving lets a large document grow without a copy per doubling, but a hostile
// Content-Length must not make us commit memory for bytes that never come.
constexpr qint64 largestReservation = qint64(64) * 1024 * 1024;

} // namespace

MemorySink::MemorySink(qint64 limit, QString source)
    : m_limit(qMax<qint64>(limit, 0))
    , m_source(std::move(source)) {}

std::optional<TransferFailure> MemorySink::begin(qint64 announced) {
    m_document.clear();
    if (announced > m_limit) {
        return TransferFailure(
            TransferFailure::Kind::TooLarge,
            tr("%1 is %2 bytes long, more than the %3 bytes accepted.")
                .arg(documentName(), QString::number(announced), QString::number(m_limit)));
    }
    if (announced > 0) {
        m_document.reserve(qMin(announced, largestReservation));
        adviseLargePages(m_document.data(), m_document.capacity());
    }
    return std::nullopt;
}

std::optional<TransferFailure> MemorySink::write(QByteArrayView bytes) {
    if (bytes.size() > m_limit - m_document.size()) {
        return TransferFailure(TransferFailure::Kind::TooLarge,
                               tr("%1 is larger than the %2 bytes accepted.")
                                   .arg(documentName(), QString::number(m_limit)));
    }
    const qsizetype room = m_document.capacity();
    m_document.append(bytes);
    // A document beyond the heap's buffers lies in memory mapped for it alone, and grows there;
    // the bytes still to come are written into it for the first time.
    if (m_document.capacity() != room)
        adviseLargePages(m_document.data(), m_document.capacity());
    return std::nullopt;
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

QString MemorySink::documentName() const {
    return m_source.isEmpty() ? tr("The document") : tr("The document at %1").arg(m_source);
}
