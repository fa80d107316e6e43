#include "transfer/documentlimit.h"

#include <utility>

DocumentLimit::DocumentLimit(qint64 most, QString source)
    : m_most(qMax<qint64>(most, 0))
    , m_source(std::move(source)) {}

std::optional<TransferFailure> DocumentLimit::refusesAnnounced(qint64 announced) const {
    if (announced <= m_most)
        return std::nullopt;
    return TransferFailure(
        TransferFailure::Kind::TooLarge,
        tr("%1 is %2 bytes long, more than the %3 bytes accepted.")
            .arg(documentName(), QString::number(announced), QString::number(m_most)));
}

std::optional<TransferFailure> DocumentLimit::refusesMore(qint64 held, qint64 more) const {
    if (more <= m_most - held)
        return std::nullopt;
    return TransferFailure(TransferFailure::Kind::TooLarge,
                           tr("%1 is larger than the %2 bytes accepted.")
                               .arg(documentName(), QString::number(m_most)));
}

QString DocumentLimit::documentName() const {
    return m_source.isEmpty() ? tr("The document") : tr("The document at %1").arg(m_source);
}
