#pragma once

#include "transfer/documentlimit.h"
#include "transfer/transfersink.h"

#include <QByteArray>
#include <QString>

// Holds the document's bytes in memory, within a limit (DocumentLimit).
class MemorySink : public TransferSink {
public:
    // source names the document in messages, usually by its address; it may be empty.
    explicit MemorySink(qint64 limit, QString source = QString());

    std::optional<TransferFailure> begin(qint64 announced, const QByteArray& contentType) override;
    std::optional<TransferFailure> write(QByteArrayView bytes) override;
    std::optional<TransferFailure> finish() override;
    void discard() override;

    // The document once finished; empty after a discard.
    QByteArray takeDocument();

private:
    void growInLargePages(qsizetype needed);

    DocumentLimit m_limit;
    QByteArray m_document;
};
