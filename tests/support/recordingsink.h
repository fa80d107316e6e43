#pragma once

#include "platform/transfersink.h"

#include <QString>

// Writes down what a transfer asks of its sink, e.g. "begin(5) write finish"; consecutive
// writes count as one, since how a document is cut into pieces is the network's business.
// The log outlives the sink, which the transfer destroys.
class RecordingSink : public TransferSink {
public:
    explicit RecordingSink(QString* log);

    std::optional<TransferFailure> begin(qint64 announced) override;
    std::optional<TransferFailure> write(QByteArrayView bytes) override;
    std::optional<TransferFailure> finish() override;
    void discard() override;

private:
    void note(const QString& call);

    QString* m_log;
};
