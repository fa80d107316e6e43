#pragma once

#include "transfer/transferfailure.h"

#include <QCoreApplication>
#include <QString>

#include <optional>

// The most a document held in memory may be, so that a hostile server cannot exhaust memory: a
// document announced or received larger fails with Kind::TooLarge.
class DocumentLimit {
    Q_DECLARE_TR_FUNCTIONS(DocumentLimit)
public:
    // source names the document in messages, usually by its address; it may be empty.
    DocumentLimit(qint64 most, QString source);

    [[nodiscard]] qint64 most() const { return m_most; }
    [[nodiscard]] std::optional<TransferFailure> refusesAnnounced(qint64 announced) const;
    // held bytes are in, and more are coming.
    [[nodiscard]] std::optional<TransferFailure> refusesMore(qint64 held, qint64 more) const;

private:
    [[nodiscard]] QString documentName() const;

    qint64 m_most;
    QString m_source;
};
