#pragma once

#include "transfer/transfersink.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// Holds the document in memory, for pages that are shown rather than saved. The limit keeps a
// hostile server from exhausting memory: a document announced or received larger fails with
// Kind::TooLarge.
class MemorySink : public TransferSink {
    Q_DECLARE_TR_FUNCTIONS(MemorySink)
public:
    // source names the document in messages, usually by its address; it may be empty.
    explicit MemorySink(qint64 limit, QString source = QString());

    std::optional<TransferFailure> begin(qint64 announced) override;
    std::optional<TransferFailure> write(QByteArrayView bytes) override;
    std::optional<TransferFailure> finish() override;
    void discard() override;

    // The document once finished; empty after a discard.
    QByteArray takeDocument();

private:
    [[nodiscard]] QString documentName() const;
    void growInLargePages(qsizetype needed);

    qint64 m_limit;
    QString m_source;
    QByteArray m_document;
};
