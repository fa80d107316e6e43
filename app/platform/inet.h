#pragma once

#include "platform/transferfailure.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QNetworkAccessManager;

// The transfer component each window owns. Fetches are synchronous to the caller but keep the
// event loop running, so other handlers - including one that cancels this fetch, or one that
// closes the window - can run while a fetch waits. Every failure is thrown as TransferFailure.
//
// Addresses: surrounding white space is ignored; an address without a scheme is taken as http;
// only http and https are fetched. Redirects are followed (at most 10), but never from https to
// http and never to another scheme. Status 400 and above, a body shorter than its
// Content-Length, a stall and a document above the size limit are failures, never a partial
// result. A cancelled fetch fails too; cancel never returns a partial document.
class Inet : public QObject {
    Q_OBJECT
public:
    explicit Inet(QObject* parent = nullptr);
    ~Inet() override;

    // The setting the callers put right before every fetch; it stays until the next prepare.
    // A positive value is a stall timeout in seconds for the following fetches: they fail when
    // no byte arrives for that long. 0 (what the windows always pass) and negative values mean
    // the instance's stall timeout (setStallTimeout, 30 s unless changed). It is deliberately
    // not a limit on the whole transfer: a large download on a slow line must not fail while
    // data keeps arriving.
    void prepare(qint32 setting);

    // Waits in an event loop of its own until the whole document has arrived; throws
    // TransferFailure otherwise, and at once (Kind::Busy) when a fetch of this instance is
    // still waiting further down the stack. The text is decoded by the charset of the Content-Type
    // header, else the byte-order mark, else a <meta> charset in the first 4 KB, else UTF-8, and
    // when nothing was declared and the bytes are not UTF-8, as Windows-1252. NUL bytes are kept.
    QString fetchText(const QString& address);
    // The body exactly as sent, once the chunked transfer coding and a gzip or deflate content
    // coding are undone.
    QByteArray fetchBytes(const QString& address);

    // Makes the waiting fetch fail promptly with TransferFailure::Kind::Cancelled, even when its
    // document has just been completed. Does nothing when no fetch waits.
    void cancel();
    // True from the start of a fetch until it returns or throws.
    [[nodiscard]] bool isFetching() const;

    void setStallTimeout(int milliseconds);
    // Applies to every instance; a document announced or received larger than this fails,
    // so a hostile server cannot exhaust memory.
    static void setMaxDocumentSize(qint64 bytes);

    static constexpr int defaultStallTimeout = 30000;
    static constexpr qint64 defaultMaxDocumentSize = qint64(512) * 1024 * 1024;
    static constexpr int maxRedirects = 10;

private:
    struct Transfer;

    QByteArray fetch(const QString& address, QByteArray* contentType);
    [[nodiscard]] int effectiveStallTimeout() const;

    QNetworkAccessManager* m_manager = nullptr;
    Transfer* m_transfer = nullptr; // lives on the stack of the fetch that waits
    int m_stallTimeout = defaultStallTimeout;
    qint32 m_setting = 0;
};
