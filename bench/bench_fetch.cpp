// How fast Inet brings a 50 MB document over 127.0.0.1, as bytes, as text (decoded on a worker
// as the bytes come, TextSink), and as the page a window shows (PageLoad: text, line ends and
// links), against two
// baselines measured in the same run from the same local server: a bare socket that reads the
// answer until the server closes (what the machine can do at all), and a plain
// QNetworkAccessManager reply read once at the end (what Qt costs without our bookkeeping).
//
//   build/<dir>/bin/bench_fetch [megabytes] [rounds]
//
// Text against bytes is also measured in turns, round by round, and given as the median of the
// rounds' ratios with their spread.

#include "logic/pagememory.h"
#include "support/testhttpserver.h"
#include "transfer/inet.h"
#include "transfer/memorysink.h"
#include "transfer/pageload.h"
#include "transfer/textsink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double secondsOf(const std::function<qint64()>& run, qint64 expected, int rounds) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        const qint64 size = run();
        times.push_back(double(timer.nsecsElapsed()) / 1e9);
        if (size != expected) {
            std::fprintf(stderr, "wrong size: %lld instead of %lld\n", static_cast<long long>(size),
                         static_cast<long long>(expected));
            std::exit(1);
        }
    }
    return median(times);
}

qint64 bareSocket(quint16 port, const QByteArray& path, qint64 expected) {
    QTcpSocket socket;
    QByteArray answer;
    answer.reserve(expected + 4096);
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answer += socket.readAll(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    loop.exec();
    answer += socket.readAll();
    return answer.size() - (answer.indexOf("\r\n\r\n") + 4);
}

qint64 plainReply(QNetworkAccessManager& manager, const QString& url) {
    QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(url)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const qint64 size = reply->readAll().size();
    delete reply;
    return size;
}

// The bytes through the transfer component's asynchronous core, waited for here.
QByteArray fetchBytes(Inet& inet, const QString& url) {
    auto owned = std::make_unique<MemorySink>(Inet::maxDocumentSize());
    MemorySink* sink = owned.get();
    QByteArray document;
    QEventLoop loop;
    QObject::connect(&inet, &Inet::finished, &loop, [&] {
        document = sink->takeDocument();
        loop.quit();
    });
    inet.prepare(0);
    inet.start(url, std::move(owned));
    loop.exec();
    QObject::disconnect(&inet, &Inet::finished, &loop, nullptr);
    return document;
}

// The text, its last slice decoded once the last byte has come.
qint64 fetchText(Inet& inet, const QString& url) {
    auto owned = std::make_unique<TextSink>(Inet::maxDocumentSize());
    TextSink* sink = owned.get();
    QFutureWatcher<QString> decoded;
    QEventLoop loop;
    QObject::connect(&inet, &Inet::finished, &loop, [&] { decoded.setFuture(sink->text()); });
    QObject::connect(&decoded, &QFutureWatcher<QString>::finished, &loop, &QEventLoop::quit);
    inet.prepare(0);
    inet.start(url, std::move(owned));
    loop.exec();
    QObject::disconnect(&inet, &Inet::finished, &loop, nullptr);
    return decoded.future().takeResult().size();
}

// The page as the main window gets it: decoded, line ends turned, links searched.
qint64 loadPage(PageLoad& load, const QString& url) {
    qint64 characters = -1;
    QEventLoop loop;
    QObject::connect(&load, &PageLoad::finished, &loop, [&](const PageResult& page) {
        characters = page.succeeded() ? page.text.size() : -1;
        loop.quit();
    });
    load.start(url);
    loop.exec();
    QObject::disconnect(&load, &PageLoad::finished, &loop, nullptr);
    return characters;
}

void report(const char* what, double seconds, double baseline, qint64 bytes) {
    std::printf("%-42s %8.3f s %9.1f MB/s %7.2f x\n", what, seconds, double(bytes) / seconds / 1e6,
                seconds / baseline);
}

} // namespace

int main(int argc, char** argv) {
    // Memory set up as the program sets it up, before any thread: a page's buffers come from
    // what the heap keeps.
    reuseFreedPageMemory();
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 50;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 5;
    const qint64 size = megabytes * 1024 * 1024;

    // Text that is mostly ASCII with some UTF-8, and a Windows-1252 variant that is not UTF-8,
    // so the text fetch also pays for the fallback.
    const QByteArray line = "<p>caf\xc3\xa9 <a href=\"page.html\">link</a> lorem ipsum dolor</p>\n";
    QByteArray utf8 = line.repeated(size / line.size() + 1).left(size);
    QByteArray legacy = utf8;
    legacy.replace("\xc3\xa9", "\xe9!");

    TestHttpServer server;
    TestHttpServer::Response response;
    response.headers = {{"Content-Type", "text/html"}};
    response.body = utf8;
    server.setResponse("/utf8", response);
    response.body = legacy;
    server.setResponse("/legacy", response);

    QNetworkAccessManager manager;
    Inet inet;
    inet.setStallTimeout(120000);

    const double bare =
        secondsOf([&] { return bareSocket(server.port(), "/utf8", size); }, size, rounds);
    const double qt =
        secondsOf([&] { return plainReply(manager, server.url("/utf8")); }, size, rounds);
    const auto utf8Bytes = [&] { return qint64(fetchBytes(inet, server.url("/utf8")).size()); };
    const auto utf8Text = [&] { return fetchText(inet, server.url("/utf8")); };
    const double bytes = secondsOf(utf8Bytes, size, rounds);
    const qint64 utf8Characters = QString::fromUtf8(utf8).size();
    const double text = secondsOf(utf8Text, utf8Characters, rounds);
    const double fallback =
        secondsOf([&] { return fetchText(inet, server.url("/legacy")); }, legacy.size(), rounds);
    // The same two in turns, a round of each after the other: whatever else the machine does
    // meanwhile falls on both alike, which phases a few seconds apart do not share.
    std::vector<double> textToBytes;
    for (int i = 0; i < rounds; ++i) {
        const double roundBytes = secondsOf(utf8Bytes, size, 1);
        textToBytes.push_back(secondsOf(utf8Text, utf8Characters, 1) / roundBytes);
    }
    PageLoad load(&inet);
    const qint64 shownCharacters = utf8Characters + utf8.count('\n');
    const double page =
        secondsOf([&] { return loadPage(load, server.url("/utf8")); }, shownCharacters, rounds);

    std::printf("%lld MB over 127.0.0.1, median of %d rounds, ratio to the bare socket\n",
                static_cast<long long>(megabytes), rounds);
    report("bare socket (baseline)", bare, bare, size);
    report("QNetworkAccessManager, read at the end", qt, bare, size);
    report("Inet, bytes", bytes, bare, size);
    report("Inet, text, UTF-8", text, bare, size);
    report("Inet, text, Windows-1252", fallback, bare, size);
    report("PageLoad: text, line ends, links", page, bare, size);
    std::printf("Inet bytes / QNetworkAccessManager: %.2f\n", bytes / qt);
    std::printf("text, UTF-8 / bytes: %.2f (goal at most 1.3)\n", text / bytes);
    std::printf("text, UTF-8 / bytes, in turns: %.2f (%.2f to %.2f)\n", median(textToBytes),
                *std::min_element(textToBytes.begin(), textToBytes.end()),
                *std::max_element(textToBytes.begin(), textToBytes.end()));
    std::printf("PageLoad / bytes: %.2f\n", page / bytes);
    return 0;
}
