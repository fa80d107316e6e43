#include "support/recordingsink.h"

RecordingSink::RecordingSink(QString* log)
    : m_log(log) {}

std::optional<TransferFailure> RecordingSink::begin(qint64 announced) {
    note(QStringLiteral("begin(%1)").arg(announced));
    return std::nullopt;
}

std::optional<TransferFailure> RecordingSink::write(QByteArrayView /*bytes*/) {
    if (!m_log->endsWith(QLatin1String("write")))
        note(QStringLiteral("write"));
    return std::nullopt;
}

std::optional<TransferFailure> RecordingSink::finish() {
    note(QStringLiteral("finish"));
    return std::nullopt;
}

void RecordingSink::discard() {
    note(QStringLiteral("discard"));
}

void RecordingSink::note(const QString& call) {
    if (!m_log->isEmpty())
        m_log->append(QLatin1Char(' '));
    m_log->append(call);
}
