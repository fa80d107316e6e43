#pragma once

#include "transfer/transferfailure.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// Where a transfer's document goes. Inet calls begin once the server sends the document itself
// (never for a redirect's page or an error page), write for each piece as it arrives, then
// either finish, once the whole document has arrived and checked complete, or discard. Any
// failure a sink returns ends the transfer with it. discard may come without begin, and after a
// finish that failed.
class TransferSink {
public:
    TransferSink() = default;
    TransferSink(const TransferSink&) = delete;
    TransferSink& operator=(const TransferSink&) = delete;
    virtual ~TransferSink();

    // The server is sending the document itself (final hop, status below 400); announced is its
    // Content-Length, or -1, and contentType its Content-Type header, perhaps empty. A failure
    // ends the transfer.
    virtual std::optional<TransferFailure> begin(qint64 announced,
                                                 const QByteArray& contentType) = 0;
    virtual std::optional<TransferFailure> write(QByteArrayView bytes) = 0;
    // The whole document has arrived and checked complete: make it final.
    virtual std::optional<TransferFailure> finish() = 0;
    // The transfer failed or was cancelled: nothing of it may remain.
    virtual void discard() = 0;
};
