#include "platform/inet.h"

#include "platform/memorysink.h"
#include "scan/documentdecoding.h"
#include "scan/typedaddress.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <limits>
#include <utility>

using Kind = TransferFailure::Kind;

namespace {

std::atomic<qint64> maxDocumentSize{Inet::defaultMaxDocumentSize};

constexpr char userAgent[] = "Tarvell/1.0";

QString hostAndPort(const QUrl& url) {
    const QString host = url.host().contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + url.host() + QLatin1Char(']')
                             : url.host();
    const int port = url.port();
    return port < 0 ? host : QStringLiteral("%1:%2").arg(host).arg(port);
}

QString secondsText(int milliseconds) {
    return QString::number(milliseconds / 1000.0, 'g', 6);
}

QUrl checkedAddress(const QString& address) {
    QString problem;
    const std::optional<QUrl> url = readTypedAddress(address, &problem);
    if (!url)
        throw TransferFailure(Kind::BadAddress, problem);
    return *url;
}

// Error pages are never handed over as the document: saved under a file's name they would
// pass for the file.
TransferFailure statusFailure(const QNetworkReply* reply, const QUrl& url) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString reason =
        reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().trimmed();
    return TransferFailure(Kind::HttpStatus,
                           Inet::tr("The server at %1 answered with status %2%3.")
                               .arg(hostAndPort(url))
                               .arg(status)
                               .arg(reason.isEmpty() ? QString() : QLatin1Char(' ') + reason));
}

bool isRedirect(const QNetworkReply* reply) {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool redirectStatus =
        status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    return redirectStatus &&
           reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid();
}

} // namespace

// --- Transfer -------------------------------------------------------------------------------

struct Inet::Transfer {
    std::unique_ptr<TransferSink> sink;
    quint64 serial = 0;
    int stallTimeout = 0;
    QPointer<QNetworkReply> reply; // of the current hop
    QUrl url;                      // of the current hop
    QUrl origin;                   // as asked for
    int redirects = 0;
    bool headersTaken = false; // of the current hop
    bool begun = false;        // the sink has been told that the document comes
    qint64 announced = -1;     // the document's length, when known and comparable
    qint64 received = 0;
    qint64 reported = -1; // received, as the last progress() told it
    QElapsedTimer sinceReport;
    QByteArray contentType;
    QByteArray piece; // of the document, on its way from the reply to the sink
};

// A fetch that waits, on its own stack.
struct Inet::Waiting {
    QEventLoop loop;
    QMetaObject::Connection connection;
    std::optional<TransferResult> result;
    QByteArray document;
    bool cancelled = false;
};

// --- Inet ---------------------------------------------------------------------------------

Inet::Inet(QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this)) {
    m_stallTimer.setSingleShot(true);
    connect(&m_stallTimer, &QTimer::timeout, this, [this] {
        const int timeout = m_transfer->stallTimeout;
        conclude(TransferFailure(Kind::Stalled,
                                 tr("Nothing arrived from %1 for %2 s; the transfer was given up.")
                                     .arg(hostAndPort(m_transfer->url), secondsText(timeout))));
    });
}

Inet::~Inet() {
    if (!m_transfer)
        return;
    // No signal from a destructor: its receivers would meet a half-destroyed object. A fetch
    // waiting for this transfer learns through destroyed() that we are gone.
    m_stallTimer.stop();
    releaseReply();
    m_transfer->sink->discard();
}

void Inet::prepare(qint32 setting) {
    m_setting = setting;
}

void Inet::setStallTimeout(int milliseconds) {
    m_stallTimeout = milliseconds > 0 ? milliseconds : defaultStallTimeout;
}

void Inet::setMaxDocumentSize(qint64 bytes) {
    maxDocumentSize = qMax<qint64>(bytes, 0);
}

int Inet::effectiveStallTimeout() const {
    if (m_setting <= 0)
        return m_stallTimeout;
    return int(qMin<qint64>(qint64(m_setting) * 1000, std::numeric_limits<int>::max()));
}

bool Inet::isFetching() const {
    return m_transfer != nullptr;
}

bool Inet::start(const QString& address, std::unique_ptr<TransferSink> sink) {
    if (m_transfer || !sink)
        return false;
    m_ended = nullptr; // a cancel now concerns the new transfer
    m_transfer = std::make_unique<Transfer>();
    m_transfer->sink = std::move(sink);
    m_transfer->serial = ++m_serial;
    m_transfer->stallTimeout = effectiveStallTimeout();
    try {
        m_transfer->origin = checkedAddress(address);
    } catch (const TransferFailure& failure) {
        // Reported from the event loop like every other ending, so that whoever started the
        // transfer has returned from start() before it hears of the end.
        QTimer::singleShot(0, this, [this, serial = m_serial, failure] {
            if (m_transfer && m_transfer->serial == serial)
                conclude(failure);
        });
        return true;
    }
    m_stallTimer.setInterval(m_transfer->stallTimeout);
    request(m_transfer->origin);
    return true;
}

void Inet::request(const QUrl& address) {
    Transfer& transfer = *m_transfer;
    transfer.url = address;
    transfer.headersTaken = false;
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(userAgent));
    // Redirects are followed here rather than by Qt: the rules about where a redirect may lead
    // are ours, and Qt 6.4 repeats requests when it is asked to let us vet each hop.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_manager->get(request);
    // Whatever a server sends, the reply holds at most this much; the rest waits in the
    // connection until the sink has taken what came before.
    reply->setReadBufferSize(readBufferSize);
    transfer.reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        m_stallTimer.start();
        takeHeaders();
    });
    connect(reply, &QNetworkReply::readyRead, this, [this] {
        m_stallTimer.start();
        if (takeBody())
            reportProgress(false);
    });
    connect(reply, &QNetworkReply::encrypted, this, [this] { m_stallTimer.start(); });
    connect(reply, &QNetworkReply::finished, this, &Inet::onReplyFinished);
    m_stallTimer.start();
}

// Each of the following returns whether the transfer still runs: a failure, or a slot of a
// signal emitted on the way, may have ended it, and then nothing of it may be touched.

bool Inet::takeHeaders() {
    Transfer& transfer = *m_transfer;
    const QNetworkReply* reply = transfer.reply;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (transfer.headersTaken || !status.isValid())
        return true;
    transfer.headersTaken = true;
    // Error pages are never handed over as the document: saved under a file's name they would
    // pass for the file.
    if (status.toInt() >= 400) {
        conclude(statusFailure(reply, transfer.url));
        return false;
    }
    if (isRedirect(reply))
        return true; // a redirect's own length and page say nothing about the document

    bool known = false;
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    // With a content coding, the length counts the packed bytes, not what the sink gets.
    if (known && announced >= 0 && reply->rawHeader("Content-Encoding").isEmpty())
        transfer.announced = announced;
    transfer.contentType = reply->rawHeader("Content-Type");
    transfer.begun = true;
    transfer.sinceReport.start();
    if (std::optional<TransferFailure> failure = transfer.sink->begin(transfer.announced)) {
        conclude(std::move(failure));
        return false;
    }
    return true;
}

bool Inet::takeBody() {
    if (!takeHeaders())
        return false;
    Transfer& transfer = *m_transfer;
    QNetworkReply* reply = transfer.reply;
    if (!transfer.begun) {
        reply->skip(reply->bytesAvailable()); // the "moved" page of a redirect
        return true;
    }
    // Bounded by the read buffer, so the sink gets the bytes as they come. One buffer serves
    // the whole transfer: a fresh one per piece costs a page fault per 4 KB.
    const qint64 available = reply->bytesAvailable();
    if (available <= 0)
        return true;
    transfer.piece.resize(available);
    const qint64 got = reply->read(transfer.piece.data(), available);
    if (got <= 0)
        return true;
    transfer.received += got;
    if (std::optional<TransferFailure> failure =
            transfer.sink->write(QByteArrayView(transfer.piece.constData(), got))) {
        conclude(std::move(failure));
        return false;
    }
    return true;
}

bool Inet::reportProgress(bool always) {
    Transfer& transfer = *m_transfer;
    if (!transfer.begun || transfer.received == transfer.reported)
        return true;
    if (!always && transfer.reported >= 0 && transfer.sinceReport.elapsed() < progressInterval)
        return true;
    transfer.reported = transfer.received;
    transfer.sinceReport.restart();
    const QPointer<Inet> self(this);
    const quint64 serial = transfer.serial;
    emit progress(transfer.received, transfer.announced);
    return self && m_transfer && m_transfer->serial == serial;
}

void Inet::onReplyFinished() {
    const QNetworkReply* reply = m_transfer->reply;
    if (reply->error() == QNetworkReply::NoError && isRedirect(reply)) {
        followRedirect();
        return;
    }
    if (!takeBody() || !reportProgress(true))
        return;
    conclude(outcome());
}

void Inet::followRedirect() {
    Transfer& transfer = *m_transfer;
    const QUrl target = transfer.url.resolved(
        transfer.reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
    const QString scheme = target.scheme();
    if (++transfer.redirects > maxRedirects) {
        conclude(TransferFailure(
            Kind::Redirect,
            tr("The address %1 redirected more than %2 times; it may redirect in a circle.")
                .arg(transfer.origin.toDisplayString())
                .arg(maxRedirects)));
        return;
    }
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        conclude(TransferFailure(
            Kind::Redirect, tr("The server at %1 redirected to \"%2\", which cannot be fetched.")
                                .arg(hostAndPort(transfer.url), target.toDisplayString())));
        return;
    }
    // What was asked for over an encrypted line must never travel in the clear, whatever the
    // server says.
    if (transfer.url.scheme() == QLatin1String("https") && scheme == QLatin1String("http")) {
        conclude(TransferFailure(
            Kind::Redirect, tr("The secure address %1 redirected to the unencrypted address "
                               "%2; the redirect was refused.")
                                .arg(transfer.url.toDisplayString(), target.toDisplayString())));
        return;
    }
    releaseReply();
    request(target);
}

std::optional<TransferFailure> Inet::outcome() const {
    const Transfer& transfer = *m_transfer;
    const QNetworkReply* reply = transfer.reply;
    const QString where = hostAndPort(transfer.url);
    const QNetworkReply::NetworkError error = reply->error();

    if (transfer.announced >= 0 && transfer.received < transfer.announced &&
        (error == QNetworkReply::NoError || error == QNetworkReply::RemoteHostClosedError)) {
        return TransferFailure(Kind::ShortBody,
                               tr("The connection to %1 ended after %2 of the %3 bytes the server "
                                  "announced.")
                                   .arg(where)
                                   .arg(transfer.received)
                                   .arg(transfer.announced));
    }

    switch (error) {
    case QNetworkReply::NoError:
        return std::nullopt;
    case QNetworkReply::HostNotFoundError:
        return TransferFailure(Kind::HostNotFound,
                               tr("The host \"%1\" could not be found.").arg(transfer.url.host()));
    case QNetworkReply::ConnectionRefusedError:
        return TransferFailure(Kind::Network, tr("The connection to %1 was refused.").arg(where));
    case QNetworkReply::RemoteHostClosedError:
        return TransferFailure(
            Kind::Network,
            tr("The connection to %1 was closed before the document was complete.").arg(where));
    case QNetworkReply::TimeoutError:
        return TransferFailure(Kind::Stalled, tr("The connection to %1 timed out.").arg(where));
    case QNetworkReply::SslHandshakeFailedError:
        return TransferFailure(
            Kind::Network,
            tr("The secure connection to %1 failed: %2").arg(where, reply->errorString()));
    default:
        return TransferFailure(
            Kind::Network, tr("The transfer from %1 failed: %2").arg(where, reply->errorString()));
    }
}

void Inet::releaseReply() {
    QNetworkReply* reply = m_transfer->reply;
    if (!reply)
        return;
    m_transfer->reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    // Aborting closes the connection at once, so that nothing more is read from a server that
    // keeps sending. An error page, though, ends with an error that Qt's network thread reports
    // on its own, and an abort as well makes Qt warn that the error came twice; deleting the
    // reply closes that connection too. We may be inside one of the reply's signals, so it is
    // deleted later.
    const bool errorPage =
        reply->error() != QNetworkReply::NoError ||
        reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 400;
    if (reply->isRunning() && !errorPage)
        reply->abort();
    reply->deleteLater();
}

void Inet::conclude(std::optional<TransferFailure> failure) {
    // The transfer is over before anyone hears of it: a slot may start the next one, or delete
    // this Inet later. The sink lives until the end of this function, so that a slot may still
    // read it.
    m_stallTimer.stop();
    releaseReply();
    const std::unique_ptr<Transfer> transfer = std::move(m_transfer);
    if (!failure)
        failure = transfer->sink->finish();
    if (failure)
        transfer->sink->discard();

    TransferResult result;
    result.failure = std::move(failure);
    result.contentType = transfer->contentType;
    result.received = transfer->received;
    result.url = transfer->url;
    emit finished(result);
}

void Inet::cancel() {
    // A cancel outranks whatever else went wrong, and even a document that is complete but not
    // yet handed over: the caller has already moved on.
    if (m_transfer)
        conclude(TransferFailure(Kind::Cancelled, tr("The transfer was cancelled.")));
    else if (m_ended)
        m_ended->cancelled = true;
}

QString Inet::fetchText(const QString& address, QUrl* finalUrl,
                        const std::function<void()>& letEventsRun) {
    QByteArray contentType;
    const QByteArray body = fetch(address, &contentType, finalUrl);
    return decodeDocument(body, contentType, letEventsRun);
}

QByteArray Inet::fetchBytes(const QString& address) {
    return fetch(address, nullptr, nullptr);
}

QByteArray Inet::fetch(const QString& address, QByteArray* contentType, QUrl* finalUrl) {
    // The callers' own state flags rule this out; refusing keeps the running transfer intact.
    // A fetch whose transfer has ended (say, cancelled) but whose caller has not resumed yet
    // does not count: a click that starts the next fetch in that moment must not fail.
    if (m_transfer) {
        throw TransferFailure(Kind::Busy,
                              tr("Another transfer is still running; it has to end first."));
    }
    const QUrl url = checkedAddress(address);

    auto owned = std::make_unique<MemorySink>(maxDocumentSize, url.toDisplayString());
    MemorySink* sink = owned.get();
    Waiting waiting;
    // Taken while the sink still lives, and only once: a slot may start the next transfer
    // before this fetch resumes.
    waiting.connection = connect(this, &Inet::finished, &waiting.loop,
                                 [this, &waiting, sink](const TransferResult& result) {
                                     disconnect(waiting.connection);
                                     waiting.result = result;
                                     if (result.succeeded())
                                         waiting.document = sink->takeDocument();
                                     m_ended = &waiting;
                                     waiting.loop.quit();
                                 });
    connect(this, &QObject::destroyed, &waiting.loop, &QEventLoop::quit);
    start(address, std::move(owned));

    const QPointer<Inet> self(this);
    waiting.loop.exec();

    if (!self) {
        // Destroyed while waiting: its transfer went with it, and no member may be read.
        throw TransferFailure(Kind::Abandoned,
                              tr("The transfer was abandoned because its window was closed."));
    }
    if (m_ended == &waiting)
        m_ended = nullptr;
    if (!waiting.result) {
        // Something quit every event loop (the program is ending) before the transfer was done.
        disconnect(waiting.connection);
        TransferFailure interrupted(Kind::Abandoned,
                                    tr("The transfer from %1 was interrupted before it was "
                                       "complete.")
                                        .arg(hostAndPort(m_transfer ? m_transfer->url : url)));
        if (m_transfer)
            conclude(interrupted);
        throw interrupted;
    }
    if (waiting.cancelled)
        throw TransferFailure(Kind::Cancelled, tr("The transfer was cancelled."));
    if (waiting.result->failure)
        throw *waiting.result->failure;
    if (contentType)
        *contentType = waiting.result->contentType;
    if (finalUrl)
        *finalUrl = waiting.result->url;
    return std::move(waiting.document);
}
