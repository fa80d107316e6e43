#pragma once

#include "transfer/transferfailure.h"

#include <QByteArray>
#include <QMetaType>
#include <QUrl>

#include <optional>

// How a transfer ended, as Inet::finished reports it.
struct TransferResult {
    std::optional<TransferFailure> failure; // empty when the document arrived whole
    QByteArray contentType;
    qint64 received = 0; // document bytes handed to the sink
    QUrl url;            // where the document finally came from, after redirects
    [[nodiscard]] bool succeeded() const { return !failure; }
};
Q_DECLARE_METATYPE(TransferResult)
