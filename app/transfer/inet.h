#pragma once

#include "transfer/transferfailure.h"
#include "transfer/transferresult.h"
#include "transfer/transfersink.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// What a transfer asks of the server beyond the address.
struct TransferOptions {
    // Sent as the Referer of every hop, as browsers send it: sites that refuse files linked
    // from elsewhere want it. Never sent from an https address to an http one.
    QUrl referrer;
    // The document as the server stores it, without a content coding: what a download saves.
    // A server that packs it all the same has it unpacked on the way to the sink.
    bool asStored = false;
};

// The transfer component each window owns. At its core a transfer runs asynchronously: start()
// sends the document into a sink, progress() reports it, and exactly one finished() tells how
// it ended. Nothing here waits: the window's thread goes on handling events while a transfer
// runs, and a cancel or a closed window ends it at once.
//
// Addresses: surrounding white space is ignored; an address without a scheme is taken as http;
// only http and https are fetched. Redirects are followed (at most 10), but never from https to
// http and never to another scheme. The document is only ever a 2xx answer that carries it whole
// (not 204, 205 or 206); any other status, a body shorter than its Content-Length, a packed body
// that ends before its end, a stall, a document above the size limit and a sink that cannot
// take the document are failures, never a partial result: the sink discards what it got. A
// cancelled transfer fails too. Each hop is one request on a connection of its own, never sent
// twice.
class Inet : public QObject {
    Q_OBJECT
public:
    explicit Inet(QObject* parent = nullptr);
    // A running transfer ends without finished(); its sink discards what it holds.
    ~Inet() override;

    // The setting the callers put right before every fetch; it stays until the next prepare.
    // A positive value is a stall timeout in seconds for the following fetches: they fail when
    // no byte arrives for that long. 0 (what the windows always pass) and negative values mean
    // the instance's stall timeout (setStallTimeout, 30 s unless changed). It is deliberately
    // not a limit on the whole transfer: a large download on a slow line must not fail while
    // data keeps arriving.
    void prepare(qint32 setting);

    // Starts a transfer of address into sink and returns at once; finished() follows from the
    // event loop, never from within start(), also for an address that cannot be fetched.
    // Returns false, and nothing happens, while a transfer of this instance runs or when sink
    // is null. The sink lives until finished() has been emitted, so a slot connected to it may
    // still read the sink; it may also start the next transfer, or deleteLater() this Inet.
    bool start(const QString& address, std::unique_ptr<TransferSink> sink,
               const TransferOptions& options = {});

    // Ends the running transfer: finished() (Kind::Cancelled) is emitted before cancel()
    // returns. With no transfer running, does nothing.
    void cancel();
    // True while a transfer runs: from start() until finished().
    [[nodiscard]] bool isFetching() const;

    void setStallTimeout(int milliseconds);
    // The largest page a window takes into memory; a page announced or received larger fails,
    // so a hostile server cannot exhaust memory. Downloads go to disk and have no such limit.
    static void setMaxDocumentSize(qint64 bytes);
    static qint64 maxDocumentSize();

    static constexpr int defaultStallTimeout = 30000;
    static constexpr qint64 defaultMaxDocumentSize = qint64(512) * 1024 * 1024;
    static constexpr int maxRedirects = 10;
    // What a connection may hold before it stops reading from the network until we take it.
    static constexpr qint64 readBufferSize = qint64(1) * 1024 * 1024;
    // The least time between two progress() signals.
    static constexpr int progressInterval = 50;

signals:
    // received counts the document's bytes as they came over the line (still packed, when the
    // server packed them); total is its announced length, or -1 when unknown. At most every
    // progressInterval ms, and once more when all has come.
    void progress(qint64 received, qint64 total);
    void finished(const TransferResult& result);

private:
    struct Transfer;

    [[nodiscard]] int effectiveStallTimeout() const;
    void request(const QUrl& address);
    void sendRequest();
    bool readAnswer();
    bool takeAnswer(QByteArrayView bytes);
    bool takeHeaders();
    void finishAnswer();
    bool reportProgress(bool always);
    void connectionEnded();
    void connectionFailed(QAbstractSocket::SocketError error);
    void followRedirect();
    void releaseSocket();
    void conclude(std::optional<TransferFailure> failure);

    std::unique_ptr<Transfer> m_transfer; // the running one
    QTimer m_stallTimer;
    quint64 m_serial = 0;
    int m_stallTimeout = defaultStallTimeout;
    qint32 m_setting = 0;
};
