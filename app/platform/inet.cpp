#include "platform/inet.h"

#include "platform/memorysink.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <limits>
#include <utility>

using Kind = TransferFailure::Kind;

namespace {

std::atomic<qint64> maxDocumentSize{Inet::defaultMaxDocumentSize};

constexpr char userAgent[] = "Tarvell/1.0";

constexpr qsizetype metaScanLength = 4096;

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

// The scheme the user wrote, lower case, or empty when the text starts with a host name.
// "localhost:8080/x" and "example.com:80" look like "scheme:rest" to a URL parser, but a colon
// followed by digits only (up to the path) is a port, so such addresses get http added.
QString writtenScheme(const QString& address) {
    static const QRegularExpression schemePrefix(
        QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]*):(.*)$"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression portThenPath(QStringLiteral("^[0-9]*(?:[/?#].*)?$"),
                                                 QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = schemePrefix.match(address);
    if (!match.hasMatch())
        return {};
    const QString rest = match.captured(2);
    if (!rest.startsWith(QLatin1String("//")) && portThenPath.match(rest).hasMatch())
        return {};
    return match.captured(1).toLower();
}

QUrl checkedAddress(const QString& address) {
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        throw TransferFailure(Kind::BadAddress, Inet::tr("No address was given."));

    QString full = trimmed;
    const QString scheme = writtenScheme(trimmed);
    if (scheme.isEmpty()) {
        full = (trimmed.startsWith(QLatin1String("//")) ? QStringLiteral("http:")
                                                        : QStringLiteral("http://")) +
               trimmed;
    } else if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        throw TransferFailure(Kind::BadAddress,
                              Inet::tr("The address \"%1\" uses the scheme \"%2\"; only http and "
                                       "https addresses can be fetched.")
                                  .arg(trimmed, scheme));
    }

    QUrl url(full, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty()) {
        throw TransferFailure(Kind::BadAddress,
                              Inet::tr("The address \"%1\" is not valid.").arg(trimmed));
    }
    return url;
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

// --- Decoding -----------------------------------------------------------------------------

// Windows-1252 is decoded by table rather than by QStringDecoder: Qt knows it by name only when
// built with ICU, and the fallback must give the same characters on every platform. The five
// undefined bytes map to the C1 controls of the same value, as browsers do, so nothing is lost.
QString decodeWindows1252(QByteArrayView bytes) {
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[i] = byte >= 0x80 && byte < 0xA0 ? QChar(high[byte - 0x80]) : QChar(byte);
    }
    return text;
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    // Stateless: a sequence cut off at the end is decoded (as a replacement character) instead
    // of being held back for input that never comes.
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder(bytes);
}

bool isOneOf(const QByteArray& label, std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (label == name)
            return true;
    }
    return false;
}

bool isUtf16Label(const QByteArray& label) {
    return isOneOf(label, {"utf-16", "utf-16le", "utf-16be", "csunicode", "iso-10646-ucs-2",
                           "ucs-2", "unicode", "unicodefeff", "unicodefffe"});
}

// Labels follow the web's encoding rules, in which "iso-8859-1" and "us-ascii" mean
// Windows-1252: pages that say latin1 routinely use curly quotes and the euro sign.
std::optional<QString> decodeAs(const QByteArray& rawLabel, QByteArrayView bytes) {
    const QByteArray label = rawLabel.trimmed().toLower();
    if (isOneOf(label, {"windows-1252", "x-cp1252", "cp1252", "iso-8859-1", "iso8859-1", "iso88591",
                        "iso_8859-1", "iso_8859-1:1987", "iso-ir-100", "latin1", "l1",
                        "csisolatin1", "ibm819", "cp819", "us-ascii", "ascii", "ansi_x3.4-1968"}))
        return decodeWindows1252(bytes);
    if (isOneOf(label, {"utf-8", "utf8", "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8",
                        "x-unicode20utf8"}))
        return decodeWith(QStringConverter::Utf8, bytes);
    if (isOneOf(label, {"utf-16be", "unicodefffe"}))
        return decodeWith(QStringConverter::Utf16BE, bytes);
    if (isUtf16Label(label))
        return decodeWith(QStringConverter::Utf16LE, bytes);
    if (label.isEmpty())
        return std::nullopt;
    QStringDecoder decoder(label.constData(), QStringConverter::Flag::Stateless);
    if (!decoder.isValid())
        return std::nullopt;
    return QString(decoder(bytes));
}

QByteArray charsetOfContentType(const QByteArray& contentType) {
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray part = parts.at(i).trimmed();
        const qsizetype equals = part.indexOf('=');
        if (equals < 0 || part.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray value = part.mid(equals + 1).trimmed();
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value.trimmed();
    }
    return {};
}

bool isSpaceByte(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Covers both <meta charset="x"> and <meta http-equiv=... content="...; charset=x">, which is
// what pages without a header charset rely on.
QByteArray charsetOfMeta(QByteArrayView bytes) {
    const QByteArray head = bytes.first(qMin(bytes.size(), metaScanLength)).toByteArray().toLower();
    for (qsizetype from = head.indexOf("<meta"); from >= 0;
         from = head.indexOf("<meta", from + 5)) {
        const qsizetype afterName = from + 5;
        if (afterName < head.size() && !isSpaceByte(head.at(afterName)) &&
            head.at(afterName) != '/')
            continue; // <metadata> and the like
        const qsizetype end = head.indexOf('>', afterName);
        const QByteArray tag = head.mid(afterName, end < 0 ? -1 : end - afterName);
        for (qsizetype at = tag.indexOf("charset"); at >= 0; at = tag.indexOf("charset", at + 7)) {
            qsizetype i = at + 7;
            while (i < tag.size() && isSpaceByte(tag.at(i)))
                ++i;
            if (i >= tag.size() || tag.at(i) != '=')
                continue;
            ++i;
            while (i < tag.size() &&
                   (isSpaceByte(tag.at(i)) || tag.at(i) == '"' || tag.at(i) == '\''))
                ++i;
            const qsizetype start = i;
            while (i < tag.size() && !isSpaceByte(tag.at(i)) && tag.at(i) != '"' &&
                   tag.at(i) != '\'' && tag.at(i) != ';' && tag.at(i) != '/')
                ++i;
            if (i > start)
                return tag.mid(start, i - start);
        }
    }
    return {};
}

QString decodeDocument(const QByteArray& body, const QByteArray& contentType) {
    if (const QByteArray label = charsetOfContentType(contentType); !label.isEmpty()) {
        if (std::optional<QString> text = decodeAs(label, body))
            return *text;
    }

    // The decoders skip the mark itself.
    if (body.startsWith("\xEF\xBB\xBF"))
        return decodeWith(QStringConverter::Utf8, body);
    if (body.startsWith("\xFF\xFE"))
        return decodeWith(QStringConverter::Utf16LE, body);
    if (body.startsWith("\xFE\xFF"))
        return decodeWith(QStringConverter::Utf16BE, body);

    if (QByteArray label = charsetOfMeta(body); !label.isEmpty()) {
        // A meta tag readable as ASCII cannot sit in a UTF-16 document; the page is lying.
        if (isUtf16Label(label.trimmed().toLower()))
            label = "utf-8";
        if (std::optional<QString> text = decodeAs(label, body))
            return *text;
    }

    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(body);
    if (!utf8.hasError())
        return text;
    return decodeWindows1252(body);
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

QString Inet::fetchText(const QString& address) {
    QByteArray contentType;
    const QByteArray body = fetch(address, &contentType);
    return decodeDocument(body, contentType);
}

QByteArray Inet::fetchBytes(const QString& address) {
    return fetch(address, nullptr);
}

QByteArray Inet::fetch(const QString& address, QByteArray* contentType) {
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
    return std::move(waiting.document);
}
