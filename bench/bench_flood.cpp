// A hostile server: an endless chunked body sent as fast as loopback allows, from a process of
// its own. Printed: the program's peak memory above its idle size while a page fetch runs into
// the 512 MiB limit (goal: the limit plus at most 64 MiB), how long after the limit it failed,
// and, after a cancel, how soon the server sees the connection closed and how much it still got
// to send.
//
//   build/release/bin/bench_flood

#include "transfer/inet.h"
#include "transfer/memorysink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

qint64 statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

bool resetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// Serves every connection an endless body in 1 MiB chunks, writing as fast as the socket takes
// them, and reports on stdout how much each connection got before its client closed it.
int flood() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 1;
    std::printf("%u\n", server.serverPort());
    std::fflush(stdout);
    const QByteArray chunk = QByteArray::number(kMiB, 16) + "\r\n" + QByteArray(kMiB, 'f') + "\r\n";
    for (;;) {
        if (!server.waitForNewConnection(-1))
            return 1;
        QTcpSocket* socket = server.nextPendingConnection();
        socket->waitForReadyRead(5000);
        socket->readAll();
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                      "Transfer-Encoding: chunked\r\n\r\n");
        qint64 sent = 0;
        while (socket->state() == QAbstractSocket::ConnectedState) {
            if (socket->bytesToWrite() < 4 * kMiB) {
                socket->write(chunk);
                sent += kMiB;
            }
            if (!socket->waitForBytesWritten(1000) &&
                socket->error() != QAbstractSocket::SocketTimeoutError)
                break;
        }
        std::printf("closed after %lld MiB\n", static_cast<long long>(sent / kMiB));
        std::fflush(stdout);
        delete socket;
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--flood")
        return flood();

    QProcess server;
    server.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--flood")});
    if (!server.waitForReadyRead(20000))
        return 1;
    const QString url =
        QStringLiteral("http://127.0.0.1:%1/").arg(server.readLine().trimmed().toInt());
    const auto closedAfter = [&server] {
        server.waitForReadyRead(20000);
        return server.readLine().trimmed();
    };

    Inet inet;
    // A page fetch, held in memory under the page limit, waited for to its end.
    const auto fetchPage = [&inet, &url] {
        TransferResult result;
        QEventLoop loop;
        QObject::connect(&inet, &Inet::finished, &loop, [&](const TransferResult& ended) {
            result = ended;
            loop.quit();
        });
        inet.prepare(0);
        if (inet.start(url, std::make_unique<MemorySink>(Inet::defaultMaxDocumentSize, url)))
            loop.exec();
        return result;
    };
    const bool peakKnown = resetPeak();
    const qint64 idle = statusKiB(peakKnown ? "VmHWM:" : "VmRSS:");
    QElapsedTimer clock;
    // Progress comes at most every 50 ms: the last report before the failure bounds how long
    // the fetch went on past the limit.
    qint64 lastReport = 0;
    qint64 lastReceived = 0;
    QObject::connect(&inet, &Inet::progress, [&](qint64 received, qint64) {
        lastReport = clock.nsecsElapsed();
        lastReceived = received;
    });
    clock.start();
    const TransferResult flooded = fetchPage();
    const qint64 ended = clock.nsecsElapsed();
    const double peakMiB = double(statusKiB("VmHWM:") - idle) / 1024.0;
    std::printf("flood into a page fetch (limit %lld MiB): %s\n",
                static_cast<long long>(Inet::defaultMaxDocumentSize / kMiB),
                flooded.failure ? qPrintable(flooded.failure->message())
                                : "succeeded (it must not)");
    std::printf("  peak memory above idle: %.1f MiB (goal at most %lld MiB)\n", peakMiB,
                static_cast<long long>(Inet::defaultMaxDocumentSize / kMiB + 64));
    std::printf("  failed %.2f s after the start, %.1f ms after the last progress report "
                "(%lld MiB received)\n",
                double(ended) / 1e9, double(ended - lastReport) / 1e6,
                static_cast<long long>(lastReceived / kMiB));
    std::printf("  server: %s\n", qPrintable(closedAfter()));

    // Cancelled once 100 MiB have come.
    QObject::disconnect(&inet, &Inet::progress, nullptr, nullptr);
    qint64 cancelledAt = 0;
    QObject::connect(&inet, &Inet::progress, [&](qint64 received, qint64) {
        if (cancelledAt == 0 && received >= 100 * kMiB) {
            cancelledAt = received;
            clock.restart();
            inet.cancel();
        }
    });
    fetchPage();
    const QByteArray report = closedAfter();
    std::printf("cancel after %lld MiB received: server reports \"%s\" %.1f ms after the cancel\n",
                static_cast<long long>(cancelledAt / kMiB), report.constData(),
                double(clock.nsecsElapsed()) / 1e6);
    server.kill();
    server.waitForFinished();
    return 0;
}
