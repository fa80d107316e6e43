#include "platform/inet.h"

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
#include <memory>
#include <optional>

using Kind = TransferFailure::Kind;

namespace {

std::atomic<qint64> maxDocumentSize{Inet::defaultMaxDocumentSize};

constexpr char userAgent[] = "Tarvell/1.0";

// Reserving lets a large download grow without a copy per doubling, but a hostile Content-Length
// must not make us commit memory for bytes that never come.
constexpr qint64 largestReservation = qint64(64) * 1024 * 1024;

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

// Everything a waiting fetch needs lives here, on its own stack, so that the fetch can finish
// (by throwing) even after its Inet has been destroyed by a handler that ran during the wait.
struct Inet::Transfer {
    QNetworkAccessManager* manager = nullptr;
    QEventLoop loop;
    QTimer stallTimer;
    QPointer<QNetworkReply> reply; // of the current hop
    QUrl url;                      // of the current hop
    QUrl origin;                   // as asked for
    int redirects = 0;
    QByteArray body;
    qint64 limit = 0;
    bool finished = false;
    std::optional<TransferFailure> failure; // the first reason wins

    void request(const QUrl& address);
    void fail(Kind kind, const QString& message);
    [[nodiscard]] bool isRedirect() const;
    void onHeaders();
    void onReadyRead();
    void onFinished();
    void followRedirect();
};

void Inet::Transfer::request(const QUrl& address) {
    url = address;
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(userAgent));
    // Redirects are followed here rather than by Qt: the rules about where a redirect may lead
    // are ours, and Qt 6.4 repeats requests when it is asked to let us vet each hop.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* next = manager->get(request);
    reply = next;
    // The loop is the context of every connection: once the fetch returns, nothing the reply
    // still emits can reach this stack frame.
    connect(next, &QNetworkReply::metaDataChanged, &loop, [this] { onHeaders(); });
    connect(next, &QNetworkReply::readyRead, &loop, [this] { onReadyRead(); });
    connect(next, &QNetworkReply::encrypted, &loop, [this] { stallTimer.start(); });
    connect(next, &QNetworkReply::finished, &loop, [this] { onFinished(); });
    stallTimer.start();
}

void Inet::Transfer::fail(Kind kind, const QString& message) {
    if (!failure)
        failure.emplace(kind, message);
    stallTimer.stop();
    // Nothing more from this reply may reach the transfer; the fetch deletes it, which stops
    // the download (abort() would also work but warns when Qt has already set an error).
    if (reply)
        QObject::disconnect(reply, nullptr, &loop, nullptr);
    finished = true;
    loop.quit();
}

bool Inet::Transfer::isRedirect() const {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool redirectStatus =
        status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    return redirectStatus &&
           reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid();
}

void Inet::Transfer::onHeaders() {
    stallTimer.start();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        const TransferFailure failure = statusFailure(reply, url);
        fail(failure.kind(), failure.message());
        return;
    }
    if (isRedirect())
        return; // a redirect's own length says nothing about the document

    bool known = false;
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    if (!known || announced < 0)
        return;
    if (announced > limit) {
        fail(Kind::TooLarge,
             Inet::tr("The document at %1 is %2 bytes long, more than the %3 bytes accepted.")
                 .arg(url.toDisplayString())
                 .arg(announced)
                 .arg(limit));
        return;
    }
    if (reply->rawHeader("Content-Encoding").isEmpty())
        body.reserve(qMin(announced, largestReservation));
}

void Inet::Transfer::onReadyRead() {
    stallTimer.start();
    const qint64 available = reply->bytesAvailable();
    if (available <= 0)
        return;
    if (isRedirect()) {
        reply->skip(available); // the "moved" page is not the document
        return;
    }
    if (available > limit - body.size()) {
        fail(Kind::TooLarge, Inet::tr("The document at %1 is larger than the %2 bytes accepted.")
                                 .arg(url.toDisplayString())
                                 .arg(limit));
        return;
    }
    // Reading straight into the growing buffer avoids a temporary copy of every chunk.
    const qsizetype before = body.size();
    body.resize(before + available);
    const qint64 got = reply->read(body.data() + before, available);
    body.resize(before + qMax<qint64>(got, 0));
}

void Inet::Transfer::onFinished() {
    if (!failure && reply->error() == QNetworkReply::NoError && isRedirect()) {
        followRedirect();
        return;
    }
    if (!failure)
        onReadyRead(); // whatever came with the last signal
    finished = true;
    stallTimer.stop();
    loop.quit();
}

void Inet::Transfer::followRedirect() {
    const QUrl target =
        url.resolved(reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
    const QString scheme = target.scheme();
    if (++redirects > maxRedirects) {
        fail(Kind::Redirect,
             Inet::tr("The address %1 redirected more than %2 times; it may redirect in a circle.")
                 .arg(origin.toDisplayString())
                 .arg(maxRedirects));
        return;
    }
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        fail(Kind::Redirect,
             Inet::tr("The server at %1 redirected to \"%2\", which cannot be fetched.")
                 .arg(hostAndPort(url), target.toDisplayString()));
        return;
    }
    // What was asked for over an encrypted line must never travel in the clear, whatever the
    // server says.
    if (url.scheme() == QLatin1String("https") && scheme == QLatin1String("http")) {
        fail(Kind::Redirect,
             Inet::tr("The secure address %1 redirected to the unencrypted address %2; the "
                      "redirect was refused.")
                 .arg(url.toDisplayString(), target.toDisplayString()));
        return;
    }
    QNetworkReply* previous = reply;
    QObject::disconnect(previous, nullptr, &loop, nullptr);
    previous->deleteLater(); // we are inside its finished signal
    body.clear();
    request(target);
}

// --- Inet ---------------------------------------------------------------------------------

Inet::Inet(QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this)) {}

Inet::~Inet() {
    if (!m_transfer)
        return;
    // The fetch is still waiting further down the stack. Keep the reply from reaching the
    // transfer, end the wait, and let the fetch find out through its QPointer that we are gone.
    Transfer& transfer = *m_transfer;
    m_transfer = nullptr;
    transfer.stallTimer.stop();
    if (transfer.reply)
        QObject::disconnect(transfer.reply, nullptr, &transfer.loop, nullptr);
    transfer.manager = nullptr; // the manager, and with it the reply, goes with us
    transfer.loop.quit();
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

void Inet::cancel() {
    if (!m_transfer)
        return;
    // A cancel outranks whatever else went wrong, and even a document that is complete but not
    // yet handed over: the caller has already moved on.
    m_transfer->failure.reset();
    m_transfer->fail(Kind::Cancelled, tr("The transfer was cancelled."));
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
    // The callers' own state flags rule this out; refusing keeps the waiting fetch intact.
    // A fetch that has ended (say, cancelled) but whose caller has not resumed yet does not
    // count: a click that starts the next fetch in that moment must not fail.
    if (m_transfer && !m_transfer->finished) {
        throw TransferFailure(Kind::Busy,
                              tr("Another transfer is still running; it has to end first."));
    }
    const QUrl url = checkedAddress(address);

    Transfer transfer;
    transfer.manager = m_manager;
    transfer.limit = maxDocumentSize;
    const int stallTimeout = effectiveStallTimeout();
    transfer.stallTimer.setSingleShot(true);
    transfer.stallTimer.setInterval(stallTimeout);
    connect(&transfer.stallTimer, &QTimer::timeout, &transfer.loop, [&transfer, stallTimeout] {
        transfer.fail(Kind::Stalled,
                      tr("Nothing arrived from %1 for %2 s; the transfer was given up.")
                          .arg(hostAndPort(transfer.url), secondsText(stallTimeout)));
    });
    transfer.origin = url;
    transfer.request(url);
    m_transfer = &transfer;

    const QPointer<Inet> self(this);
    transfer.loop.exec();

    if (!self) {
        // Destroyed while waiting: the reply died with the manager, and no member may be read.
        throw TransferFailure(Kind::Abandoned,
                              tr("The transfer was abandoned because its window was closed."));
    }
    m_transfer = nullptr;
    transfer.stallTimer.stop();
    // The wait has unwound, so no signal of the reply is running: deleting it now stops a
    // transfer that is still going at once.
    const std::unique_ptr<QNetworkReply> reply(transfer.reply.data());
    QObject::disconnect(reply.get(), nullptr, &transfer.loop, nullptr);

    if (transfer.failure)
        throw *transfer.failure;
    if (!transfer.finished) {
        // Something quit every event loop (the program is ending) before the reply was done.
        throw TransferFailure(Kind::Abandoned,
                              tr("The transfer from %1 was interrupted before it was complete.")
                                  .arg(hostAndPort(transfer.url)));
    }

    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 400)
        throw statusFailure(reply.get(), transfer.url);

    bool lengthKnown = false;
    const qint64 announced =
        reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&lengthKnown);
    // With a content encoding, the length counts the compressed bytes, not what we hold.
    const bool lengthComparable = lengthKnown && reply->rawHeader("Content-Encoding").isEmpty();
    const qint64 received = transfer.body.size();
    const QString where = hostAndPort(transfer.url);
    const QNetworkReply::NetworkError error = reply->error();

    if (lengthComparable && received < announced &&
        (error == QNetworkReply::NoError || error == QNetworkReply::RemoteHostClosedError)) {
        throw TransferFailure(Kind::ShortBody,
                              tr("The connection to %1 ended after %2 of the %3 bytes the server "
                                 "announced.")
                                  .arg(where)
                                  .arg(received)
                                  .arg(announced));
    }

    switch (error) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::HostNotFoundError:
        throw TransferFailure(Kind::HostNotFound,
                              tr("The host \"%1\" could not be found.").arg(transfer.url.host()));
    case QNetworkReply::ConnectionRefusedError:
        throw TransferFailure(Kind::Network, tr("The connection to %1 was refused.").arg(where));
    case QNetworkReply::RemoteHostClosedError:
        throw TransferFailure(
            Kind::Network,
            tr("The connection to %1 was closed before the document was complete.").arg(where));
    case QNetworkReply::TimeoutError:
        throw TransferFailure(Kind::Stalled, tr("The connection to %1 timed out.").arg(where));
    case QNetworkReply::SslHandshakeFailedError:
        throw TransferFailure(
            Kind::Network,
            tr("The secure connection to %1 failed: %2").arg(where, reply->errorString()));
    default:
        throw TransferFailure(
            Kind::Network, tr("The transfer from %1 failed: %2").arg(where, reply->errorString()));
    }

    if (contentType)
        *contentType = reply->rawHeader("Content-Type");
    return std::move(transfer.body);
}
