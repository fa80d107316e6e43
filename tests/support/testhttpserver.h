#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSslConfiguration>
#include <QString>

#include <map>

class QTcpServer;
class QTcpSocket;

// An HTTP/1.1 server on 127.0.0.1 for tests: canned, slow, stalling, broken and failing answers
// by exact path (query included). Everything it opened closes when it is destroyed, so a test
// that forgets it still ends cleanly when its parent goes.
class TestHttpServer : public QObject {
    Q_OBJECT
public:
    explicit TestHttpServer(QObject* parent = nullptr); // listens at once on 127.0.0.1:0
    // The same over TLS with the given server identity, e.g. localTlsConfiguration(); url()
    // then gives https addresses.
    explicit TestHttpServer(const QSslConfiguration& tls, QObject* parent = nullptr);
    ~TestHttpServer() override;

    [[nodiscard]] quint16 port() const;
    [[nodiscard]] QString url(const QString& path) const; // "http://127.0.0.1:<port><path>"

    struct Response {
        int status = 200;
        QByteArray reason = "OK";
        // Content-Length is added unless present (or Transfer-Encoding is given), and
        // "Connection: close" unless a Connection header is given; with "keep-alive" the
        // connection serves further requests.
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;   // shared, never copied per connection: a 50 MB body costs 50 MB once
        int dripChunk = 0; // > 0: send the body in chunks of this size ...
        int dripIntervalMs = 0; // ... one every this many milliseconds
        bool stall = false;     // send the headers, then nothing, and keep the connection open
        bool dropAfterHeaders = false;  // send the headers and half the body, then close
        qint64 announcedLength = -1;    // Content-Length to announce instead of the body's size
        bool silent = false;            // read the request, answer nothing, keep it open
        bool dropBeforeHeaders = false; // read the request and close without answering
        bool endless =
            false; // send the body over and over, without a length, until the client goes
        bool unannounced = false; // no Content-Length: the body ends where the connection does
        qint64 resetAfter = -1;   // send this much of the body, then reset the connection
    };

    void setResponse(const QString& path, const Response& response);
    void setRedirect(const QString& path, const QString& location, int status = 302);
    [[nodiscard]] int requestCount(const QString& path) const;
    [[nodiscard]] int requestTotal() const; // requests for every path
    [[nodiscard]] int openConnections() const;
    [[nodiscard]] QByteArray
    lastRequestHeaders() const; // request line and headers of the latest request
    // A port on 127.0.0.1 that refuses connections; it stays reserved for the whole process,
    // so no other server can take it meanwhile.
    static quint16 closedPort();

    // A server identity for 127.0.0.1 and localhost, valid until 2199, for TLS tests.
    static QSslConfiguration localTlsConfiguration();
    // Adds that identity's certificate to the default TLS configuration, which every
    // QNetworkAccessManager reads, so that clients accept the server. The caller restores
    // the previous default when it no longer wants that.
    static void trustLocalCertificate();

signals:
    // A request's header block has arrived and is about to be answered: a test can act while
    // its client waits (cancel, close, change the answer with setResponse) without sleeping.
    void requestReceived(const QString& path);

private:
    enum class Phase { Reading, Sending, Flushing, Done };
    enum class Ending { Close, CloseWhenFlushed, ResetWhenFlushed, KeepOpen, KeepAlive };
    struct Connection {
        QByteArray input;
        Phase phase = Phase::Reading;
        QByteArray body;
        qint64 sent = 0;
        qint64 until = 0; // body bytes this answer sends
        bool dripping = false;
        bool endless = false;
        Ending ending = Ending::Close;
    };

    void listen(QTcpServer* server);
    void accept();
    void readRequests(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& method, const Response& response);
    void pump(QTcpSocket* socket);
    void drip(QTcpSocket* socket, int chunk);
    void finishAnswer(QTcpSocket* socket);
    static void cutOff(QTcpSocket* socket, const Connection& connection);

    QTcpServer* m_server = nullptr;
    bool m_tls = false;
    QHash<QString, Response> m_responses;
    QHash<QString, int> m_requestCounts;
    QByteArray m_lastRequestHeaders;
    std::map<QTcpSocket*, Connection> m_connections;
};
