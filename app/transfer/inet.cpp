#include "transfer/inet.h"

#include "logic/httpanswer.h"
#include "logic/typedaddress.h"
#include "transfer/contentdecoder.h"

#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <limits>
#include <utility>

using Kind = TransferFailure::Kind;

namespace {

std::atomic<qint64> largestDocument{Inet::defaultMaxDocumentSize};

constexpr char userAgent[] = "Tarvell/1.0";

// What is read from the connection at a time.
constexpr qint64 readPiece = qint64(256) * 1024;

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

bool isSecure(const QUrl& url) {
    return url.scheme() == QLatin1String("https");
}

bool isRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// An answer that carries the whole document. Not 204 or 205, which carry none; not 206, a
// piece of it that nobody asked for; not 304, a "you have it already" that nobody asked for
// either; and no 3xx that is not followed, whose page only says where the document is.
bool carriesTheDocument(int status) {
    return status >= 200 && status < 300 && status != 204 && status != 205 && status != 206;
}

// Where the Referer may go: never from an encrypted page to an unencrypted address, and never
// with the page's credentials or fragment.
QByteArray referrerFor(const QUrl& referrer, const QUrl& target) {
    if (!referrer.isValid() || referrer.isEmpty())
        return {};
    if (isSecure(referrer) && !isSecure(target))
        return {};
    return referrer.toEncoded(QUrl::RemoveUserInfo | QUrl::RemoveFragment);
}

// The Host header: the name as the network knows it, an IPv6 address in brackets, the port
// unless it is the scheme's own.
QByteArray hostHeader(const QUrl& url) {
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    const int defaultPort = isSecure(url) ? 443 : 80;
    if (url.port() >= 0 && url.port() != defaultPort)
        host += ':' + QByteArray::number(url.port());
    return host;
}

// The desktop's proxy for an address. A plain http request to an http proxy is sent to the
// proxy in full ("GET http://host/path"), as a browser sends it; everything else goes through
// the socket's own proxy support (a tunnel or SOCKS).
QNetworkProxy proxyFor(const QUrl& url) {
    const QList<QNetworkProxy> proxies =
        QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    QNetworkProxy proxy =
        proxies.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy) : proxies.first();
    if (proxy.type() == QNetworkProxy::HttpCachingProxy)
        proxy.setType(QNetworkProxy::HttpProxy);
    if (proxy.type() == QNetworkProxy::FtpCachingProxy ||
        proxy.type() == QNetworkProxy::DefaultProxy)
        proxy.setType(QNetworkProxy::NoProxy);
    return proxy;
}

} // namespace

// --- Transfer -------------------------------------------------------------------------------

struct Inet::Transfer {
    std::unique_ptr<TransferSink> sink;
    TransferOptions options;
    quint64 serial = 0;
    int stallTimeout = 0;
    QPointer<QTcpSocket> socket;        // of the current hop
    std::unique_ptr<HttpAnswer> answer; // of the current hop
    QByteArray request;                 // of the current hop, sent once connected
    QUrl url;                           // of the current hop
    QUrl origin;                        // as asked for
    int redirects = 0;
    bool begun = false;                      // the sink has been told that the document comes
    std::unique_ptr<ContentDecoder> decoder; // of the document, once it comes
    qint64 announced = -1;                   // the document's length over the line, when known
    qint64 arrived = 0;   // the document's bytes over the line (packed, if it is)
    qint64 received = 0;  // the document's bytes handed to the sink
    qint64 reported = -1; // arrived, as the last progress() told it
    QElapsedTimer sinceReport;
    QByteArray contentType;
    QByteArray piece; // read from the connection, on its way to the answer
};

// --- Inet ---------------------------------------------------------------------------------

Inet::Inet(QObject* parent)
    : QObject(parent) {
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
    releaseSocket();
    m_transfer->sink->discard();
}

void Inet::prepare(qint32 setting) {
    m_setting = setting;
}

void Inet::setStallTimeout(int milliseconds) {
    m_stallTimeout = milliseconds > 0 ? milliseconds : defaultStallTimeout;
}

void Inet::setMaxDocumentSize(qint64 bytes) {
    largestDocument = qMax<qint64>(bytes, 0);
}

qint64 Inet::maxDocumentSize() {
    return largestDocument;
}

int Inet::effectiveStallTimeout() const {
    if (m_setting <= 0)
        return m_stallTimeout;
    return int(qMin<qint64>(qint64(m_setting) * 1000, std::numeric_limits<int>::max()));
}

bool Inet::isFetching() const {
    return m_transfer != nullptr;
}

bool Inet::start(const QString& address, std::unique_ptr<TransferSink> sink,
                 const TransferOptions& options) {
    if (m_transfer || !sink)
        return false;
    m_transfer = std::make_unique<Transfer>();
    m_transfer->sink = std::move(sink);
    m_transfer->options = options;
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

// Each hop is one request on a connection of its own, answered once: the connection closes
// with the answer, and nothing is ever sent again on our behalf. The answer is read here,
// byte for byte, so that its end is known exactly (see HttpAnswer).
void Inet::request(const QUrl& address) {
    Transfer& transfer = *m_transfer;
    transfer.url = address;
    transfer.answer = std::make_unique<HttpAnswer>();

    const bool secure = isSecure(address);
    QNetworkProxy proxy = proxyFor(address);
    const bool toHttpProxy = !secure && proxy.type() == QNetworkProxy::HttpProxy;
    QByteArray target;
    if (toHttpProxy) {
        target = address.toEncoded(QUrl::RemoveUserInfo | QUrl::RemoveFragment);
    } else {
        target = address.path(QUrl::FullyEncoded).toLatin1();
        if (target.isEmpty())
            target = "/";
        if (address.hasQuery())
            target += '?' + address.query(QUrl::FullyEncoded).toLatin1();
    }
    QByteArray text = "GET " + target + " HTTP/1.1\r\nHost: " + hostHeader(address) +
                      "\r\nUser-Agent: " + userAgent + "\r\nAccept: */*\r\n";
    // A download asks for the file as the server stores it; a page may come packed.
    text += transfer.options.asStored ? "Accept-Encoding: identity\r\n"
                                      : "Accept-Encoding: gzip, deflate\r\n";
    const QByteArray referrer = referrerFor(transfer.options.referrer, address);
    if (!referrer.isEmpty())
        text += "Referer: " + referrer + "\r\n";
    if (toHttpProxy && !proxy.user().isEmpty()) {
        text += "Proxy-Authorization: Basic " +
                (proxy.user() + QLatin1Char(':') + proxy.password()).toUtf8().toBase64() + "\r\n";
    }
    transfer.request = text + "Connection: close\r\n\r\n";

    QTcpSocket* socket = nullptr;
    if (secure) {
        auto* secureSocket = new QSslSocket(this);
        QSslConfiguration configuration = secureSocket->sslConfiguration();
        // HTTP/1.1 is all this connection speaks; a server must not switch to another.
        configuration.setAllowedNextProtocols({QSslConfiguration::NextProtocolHttp1_1});
        secureSocket->setSslConfiguration(configuration);
        connect(secureSocket, &QSslSocket::encrypted, this, &Inet::sendRequest);
        socket = secureSocket;
    } else {
        socket = new QTcpSocket(this);
        connect(socket, &QTcpSocket::connected, this, &Inet::sendRequest);
    }
    transfer.socket = socket;
    // Whatever a server sends, the socket holds at most this much before it is read; it is read
    // as it comes.
    socket->setReadBufferSize(readBufferSize);
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        m_stallTimer.start();
        if (readAnswer())
            reportProgress(false);
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this] { m_stallTimer.start(); });
    connect(socket, &QTcpSocket::disconnected, this, &Inet::connectionEnded);
    connect(socket, &QTcpSocket::errorOccurred, this, &Inet::connectionFailed);

    if (toHttpProxy) {
        socket->setProxy(QNetworkProxy::NoProxy);
        socket->connectToHost(proxy.hostName(), proxy.port());
    } else {
        socket->setProxy(proxy);
        const QString host = address.host(QUrl::FullyEncoded);
        const quint16 port = quint16(address.port(secure ? 443 : 80));
        if (auto* secureSocket = qobject_cast<QSslSocket*>(socket))
            secureSocket->connectToHostEncrypted(host, port);
        else
            socket->connectToHost(host, port);
    }
    m_stallTimer.start();
}

void Inet::sendRequest() {
    m_stallTimer.start();
    m_transfer->socket->write(m_transfer->request);
}

// Each of the following returns whether the transfer still runs: a failure, a redirect, the
// end of the answer, or a slot of a signal emitted on the way may have ended it, and then
// nothing of it may be touched.

bool Inet::readAnswer() {
    const quint64 serial = m_transfer->serial;
    const QPointer<QTcpSocket> socket = m_transfer->socket;
    while (socket && socket->bytesAvailable() > 0) {
        Transfer& transfer = *m_transfer;
        // One buffer serves the whole transfer: a fresh one per piece costs a page fault per
        // 4 KB.
        transfer.piece.resize(qMin(socket->bytesAvailable(), readPiece));
        const qint64 got = socket->read(transfer.piece.data(), transfer.piece.size());
        if (got <= 0)
            break;
        if (!takeAnswer(QByteArrayView(transfer.piece.constData(), got)))
            return false;
        if (!m_transfer || m_transfer->serial != serial || m_transfer->socket != socket)
            return false;
    }
    return true;
}

bool Inet::takeAnswer(QByteArrayView bytes) {
    for (qsizetype at = 0; at < bytes.size();) {
        Transfer& transfer = *m_transfer;
        HttpAnswer& answer = *transfer.answer;
        const bool headBefore = answer.stage() == HttpAnswer::Stage::Head;
        std::optional<TransferFailure> refused;
        at += answer.feed(bytes.sliced(at), [&](QByteArrayView body) {
            transfer.arrived += body.size();
            const bool decoded = transfer.decoder->feed(body, [&](QByteArrayView document) {
                refused = transfer.sink->write(document);
                if (!refused)
                    transfer.received += document.size();
                return !refused;
            });
            if (!decoded && !refused)
                refused = TransferFailure(Kind::Coding, transfer.decoder->error());
            return !refused;
        });
        if (refused) {
            conclude(std::move(refused));
            return false;
        }
        switch (answer.stage()) {
        case HttpAnswer::Stage::Failed:
            conclude(TransferFailure(Kind::Network,
                                     tr("The answer from %1 could not be read: %2")
                                         .arg(hostAndPort(transfer.url), answer.error())));
            return false;
        case HttpAnswer::Stage::Head:
            break;
        case HttpAnswer::Stage::Body:
        case HttpAnswer::Stage::Done:
            if (headBefore && !takeHeaders())
                return false;
            if (transfer.answer->stage() == HttpAnswer::Stage::Done) {
                finishAnswer();
                return false;
            }
            break;
        }
    }
    return true;
}

bool Inet::takeHeaders() {
    Transfer& transfer = *m_transfer;
    const HttpAnswer& answer = *transfer.answer;
    const int status = answer.status();
    if (isRedirectStatus(status)) {
        if (!answer.header("Location").isEmpty()) {
            followRedirect(); // a redirect's own length and page say nothing about the document
            return false;
        }
        conclude(TransferFailure(
            Kind::Redirect,
            tr("The server at %1 answered with status %2 but named no address to go to.")
                .arg(hostAndPort(transfer.url))
                .arg(status)));
        return false;
    }
    // Error pages, and answers that are something other than the whole document, are never
    // handed over as the document: saved under a file's name they would pass for the file.
    if (!carriesTheDocument(status)) {
        const QString reason = QString::fromLatin1(answer.reason());
        conclude(TransferFailure(
            Kind::HttpStatus, tr("The server at %1 answered with status %2%3.")
                                  .arg(hostAndPort(transfer.url))
                                  .arg(status)
                                  .arg(reason.isEmpty() ? QString() : QLatin1Char(' ') + reason)));
        return false;
    }

    transfer.decoder = std::make_unique<ContentDecoder>(answer.header("Content-Encoding"));
    if (const QString refusal = transfer.decoder->refusal(); !refusal.isEmpty()) {
        conclude(TransferFailure(Kind::Coding, refusal));
        return false;
    }
    transfer.announced = answer.contentLength();
    transfer.contentType = answer.header("Content-Type");
    transfer.begun = true;
    transfer.sinceReport.start();
    // A packed length says nothing of the unpacked one the sink gets.
    const qint64 documentLength = transfer.decoder->isIdentity() ? transfer.announced : -1;
    if (std::optional<TransferFailure> failure =
            transfer.sink->begin(documentLength, transfer.contentType)) {
        conclude(std::move(failure));
        return false;
    }
    return true;
}

void Inet::finishAnswer() {
    if (!reportProgress(true))
        return;
    Transfer& transfer = *m_transfer;
    // Without a length, only the packed stream's own end tells that all of it came.
    if (!transfer.decoder->isComplete()) {
        conclude(TransferFailure(Kind::ShortBody, tr("The packed document from %1 ended before "
                                                     "its end.")
                                                      .arg(hostAndPort(transfer.url))));
        return;
    }
    conclude(std::nullopt);
}

bool Inet::reportProgress(bool always) {
    Transfer& transfer = *m_transfer;
    if (!transfer.begun || transfer.arrived == transfer.reported)
        return true;
    if (!always && transfer.reported >= 0 && transfer.sinceReport.elapsed() < progressInterval)
        return true;
    transfer.reported = transfer.arrived;
    transfer.sinceReport.restart();
    const QPointer<Inet> self(this);
    const quint64 serial = transfer.serial;
    emit progress(transfer.arrived, transfer.announced);
    return self && m_transfer && m_transfer->serial == serial;
}

void Inet::connectionEnded() {
    // What arrived before the end is read first: it may complete the answer.
    if (!readAnswer())
        return;
    Transfer& transfer = *m_transfer;
    HttpAnswer& answer = *transfer.answer;
    answer.connectionEnded();
    if (answer.stage() == HttpAnswer::Stage::Done) {
        finishAnswer();
        return;
    }
    const QString where = hostAndPort(transfer.url);
    if (!transfer.begun) {
        conclude(TransferFailure(Kind::Network,
                                 tr("The connection to %1 was closed before the document was "
                                    "complete.")
                                     .arg(where)));
    } else if (transfer.announced >= 0) {
        conclude(TransferFailure(Kind::ShortBody,
                                 tr("The connection to %1 ended after %2 of the %3 bytes the "
                                    "server announced.")
                                     .arg(where)
                                     .arg(transfer.arrived)
                                     .arg(transfer.announced)));
    } else {
        conclude(TransferFailure(Kind::ShortBody,
                                 tr("The connection to %1 ended before the server had sent all "
                                    "of the document.")
                                     .arg(where)));
    }
}

void Inet::connectionFailed(QAbstractSocket::SocketError error) {
    if (error == QAbstractSocket::RemoteHostClosedError) {
        connectionEnded();
        return;
    }
    Transfer& transfer = *m_transfer;
    const QString where = hostAndPort(transfer.url);
    const QString detail = transfer.socket ? transfer.socket->errorString() : QString();
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        conclude(
            TransferFailure(Kind::HostNotFound,
                            tr("The host \"%1\" could not be found.").arg(transfer.url.host())));
        break;
    case QAbstractSocket::ConnectionRefusedError:
        conclude(
            TransferFailure(Kind::Network, tr("The connection to %1 was refused.").arg(where)));
        break;
    case QAbstractSocket::SocketTimeoutError:
        conclude(TransferFailure(Kind::Stalled, tr("The connection to %1 timed out.").arg(where)));
        break;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        conclude(TransferFailure(Kind::Network,
                                 tr("The secure connection to %1 failed: %2").arg(where, detail)));
        break;
    default:
        conclude(TransferFailure(Kind::Network,
                                 tr("The transfer from %1 failed: %2").arg(where, detail)));
        break;
    }
}

void Inet::followRedirect() {
    Transfer& transfer = *m_transfer;
    const QByteArray location = transfer.answer->header("Location");
    QUrl relative = QUrl::fromEncoded(location);
    if (!relative.isValid())
        relative = QUrl(QString::fromUtf8(location));
    const QUrl target = transfer.url.resolved(relative);
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
    if (target.host().isEmpty()) {
        conclude(TransferFailure(Kind::Redirect,
                                 tr("The server at %1 redirected to \"%2\", which names no host.")
                                     .arg(hostAndPort(transfer.url), target.toDisplayString())));
        return;
    }
    // What was asked for over an encrypted line must never travel in the clear, whatever the
    // server says.
    if (isSecure(transfer.url) && !isSecure(target)) {
        conclude(TransferFailure(
            Kind::Redirect, tr("The secure address %1 redirected to the unencrypted address "
                               "%2; the redirect was refused.")
                                .arg(transfer.url.toDisplayString(), target.toDisplayString())));
        return;
    }
    releaseSocket();
    request(target);
}

void Inet::releaseSocket() {
    QTcpSocket* socket = m_transfer->socket;
    if (!socket)
        return;
    m_transfer->socket = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    // Closed at once, so that nothing more is read from a server that keeps sending. We may be
    // inside one of the socket's signals, so it is deleted later.
    socket->abort();
    socket->deleteLater();
}

void Inet::conclude(std::optional<TransferFailure> failure) {
    // The transfer is over before anyone hears of it: a slot may start the next one, or delete
    // this Inet later. The sink lives until the end of this function, so that a slot may still
    // read it.
    m_stallTimer.stop();
    releaseSocket();
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
    // A cancel outranks whatever else went wrong: the caller has already moved on.
    if (m_transfer)
        conclude(TransferFailure(Kind::Cancelled, tr("The transfer was cancelled.")));
}
