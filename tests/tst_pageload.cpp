#include "logic/pagetuning.h"
#include "support/testhttpserver.h"
#include "transfer/inet.h"
#include "transfer/pageload.h"
#include "transfer/textsink.h"

#include <QSignalSpy>
#include <QtTest>

using Kind = TransferFailure::Kind;

namespace {

TestHttpServer::Response page(const QByteArray& body) {
    TestHttpServer::Response response;
    response.headers = {{"Content-Type", "text/html"}};
    response.body = body;
    return response;
}

// A thousand links, then a tail the link search walks back through at every ".htm" without
// finding a reference: the work after the last byte takes a tenth of a second and more.
QByteArray slowToSearch() {
    QByteArray body;
    for (int i = 0; i < 1000; ++i)
        body += "<a href=\"p" + QByteArray::number(i) + ".htm\">x</a>\n";
    return body + QByteArray(300, 'w') + QByteArray("a.htm").repeated(800000);
}

PageResult resultOf(const QSignalSpy& finished, int at = 0) {
    return finished.at(at).first().value<PageResult>();
}

} // namespace

class TestPageLoad : public QObject {
    Q_OBJECT

private slots:
    void init() { m_server = std::make_unique<TestHttpServer>(); }
    void cleanup() { m_server.reset(); }

    void aPageComesWithItsLinesTurnedAndItsLinks();
    void aPageIsDecodedAsItsBytesCome_data();
    void aPageIsDecodedAsItsBytesCome();
    void theSinksTextEndsOnce_data();
    void theSinksTextEndsOnce();
    void endsOnceWhereverItIsCancelled_data();
    void endsOnceWhereverItIsCancelled();
    void theNextJobNeverGetsACancelledJobsPage();
    void aJobThatGoesWhileItsWorkerRunsIsNeverHeardOf();

private:
    std::unique_ptr<TestHttpServer> m_server;
};

void TestPageLoad::aPageComesWithItsLinesTurnedAndItsLinks() {
    m_server->setRedirect("/old/index.html", m_server->url("/new/index.html"));
    m_server->setResponse("/new/index.html",
                          page("<a href=\"a.htm\">a</a>\n<a href=\"b.html\">b</a>\n"));
    Inet inet;
    PageLoad load(&inet);
    QSignalSpy finished(&load, &PageLoad::finished);
    QVERIFY(load.start(m_server->url("/old/index.html")));
    // One job at a time, and none beside another transfer of the same component.
    QVERIFY(!load.start(m_server->url("/new/index.html")));
    QVERIFY(finished.wait(20000));
    const PageResult result = resultOf(finished);
    QVERIFY(result.succeeded());
    QCOMPARE(result.text, QString("<a href=\"a.htm\">a</a>\r\n<a href=\"b.html\">b</a>\r\n"));
    QCOMPARE(result.links, (QStringList{"a.htm", "b.html"}));
    QCOMPARE(result.address.toString(), m_server->url("/new/index.html"));
    QVERIFY(!load.isRunning());
    QCOMPARE(m_server->requestCount("/new/index.html"), 1);
}

void TestPageLoad::aPageIsDecodedAsItsBytesCome_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("text");
    const qsizetype slice = PageTuning::kDecodingSliceBytes;
    const QByteArray run(slice - 1, 'a');
    QTest::newRow("nothing") << QByteArray() << QByteArray("text/html") << QString();
    QTest::newRow("characters across the ends of slices")
        << run + "\xE2\x82\xAC" + run + "\xC3\xA9" << QByteArray("text/html")
        << QString(run) + "\u20AC" + run + "\u00E9";
    QTest::newRow("UTF-16 from the header, a pair across a slice's end")
        << QByteArray(slice - 2, '\0') + QByteArray("\x3D\xD8\x00\xDE", 4)
        << QByteArray("text/html; charset=utf-16le")
        << QString(slice / 2 - 1, QChar(0)) + "\U0001F600";
}

void TestPageLoad::aPageIsDecodedAsItsBytesCome() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, text);
    TestHttpServer::Response response = page(body);
    response.headers = {{"Content-Type", contentType}};
    response.unannounced = true; // no Content-Length: the text grows as it comes
    m_server->setResponse("/page.html", response);
    Inet inet;
    PageLoad load(&inet);
    QSignalSpy finished(&load, &PageLoad::finished);
    QVERIFY(load.start(m_server->url("/page.html")));
    QVERIFY(finished.wait(20000));
    QVERIFY(resultOf(finished).succeeded());
    QVERIFY(resultOf(finished).text == text); // not QCOMPARE: megabytes would be printed
}

void TestPageLoad::theSinksTextEndsOnce_data() {
    QTest::addColumn<bool>("finished"); // else the sink goes before the last byte
    QTest::newRow("finished, its text taken before the sink goes") << true;
    QTest::newRow("gone unfinished: cancelled") << false;
}

void TestPageLoad::theSinksTextEndsOnce() {
    QFETCH(bool, finished);
    QFutureWatcher<QString> watcher;
    QSignalSpy ended(&watcher, &QFutureWatcher<QString>::finished);
    {
        TextSink sink(1 << 20);
        QVERIFY(!sink.begin(-1, "text/html"));
        QVERIFY(!sink.write("<p>caf\xC3\xA9</p>"));
        watcher.setFuture(sink.text());
        if (finished) {
            QVERIFY(!sink.finish());
            QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 20000);
            QCOMPARE(watcher.future().takeResult(), QString("<p>caf\u00E9</p>"));
        }
        // The worker lets go of the decoding first; the sink goes last.
        QThreadPool::globalInstance()->waitForDone();
    }
    QCoreApplication::sendPostedEvents(&watcher);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(watcher.isCanceled(), !finished);
}

void TestPageLoad::endsOnceWhereverItIsCancelled_data() {
    QTest::addColumn<bool>("whileTheBytesCome"); // else: once they have come, on the worker
    QTest::newRow("while the bytes come") << true;
    QTest::newRow("while the worker prepares the page") << false;
}

void TestPageLoad::endsOnceWhereverItIsCancelled() {
    QFETCH(bool, whileTheBytesCome);
    TestHttpServer::Response response = page(slowToSearch());
    response.stall = whileTheBytesCome;
    m_server->setResponse("/big.html", response);
    m_server->setResponse("/next.html", page("next"));
    Inet inet;
    inet.setStallTimeout(60000);
    PageLoad load(&inet);
    QSignalSpy finished(&load, &PageLoad::finished);
    QMetaObject::Connection canceller;
    if (whileTheBytesCome) {
        canceller = connect(m_server.get(), &TestHttpServer::requestReceived, &load,
                            [&load] { QTimer::singleShot(50, &load, [&load] { load.cancel(); }); });
    } else {
        // Connected after the job's own slot, so it runs once the worker has the bytes.
        canceller = connect(&inet, &Inet::finished, &load, [&load] { load.cancel(); });
    }
    QVERIFY(load.start(m_server->url("/big.html")));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
    QCOMPARE(resultOf(finished).failure->kind(), Kind::Cancelled);
    QVERIFY(resultOf(finished).text.isEmpty());
    QVERIFY(!load.isRunning());
    disconnect(canceller);
    // The cancelled job's worker ends meanwhile, and is not heard of.
    QTest::qWait(500);
    QCOMPARE(finished.size(), 1);

    QVERIFY(load.start(m_server->url("/next.html")));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 20000);
    QCOMPARE(resultOf(finished, 1).text, QString("next"));
}

void TestPageLoad::theNextJobNeverGetsACancelledJobsPage() {
    m_server->setResponse("/big.html", page(slowToSearch()));
    m_server->setResponse("/next.html", page("next"));
    Inet inet;
    PageLoad load(&inet);
    QSignalSpy finished(&load, &PageLoad::finished);
    // One worker, as on one core: the next page's decoding waits behind the cancelled search.
    QThreadPool* workers = QThreadPool::globalInstance();
    const int threads = workers->maxThreadCount();
    workers->setMaxThreadCount(1);
    const auto restore = qScopeGuard([&] { workers->setMaxThreadCount(threads); });
    // Cancelled while its links are searched (a tenth of a second and more), the next page asked
    // for at once. Cancelled sooner or later, no worker of it is left to report: it still passes.
    connect(
        &inet, &Inet::finished, &load,
        [&] {
            QTimer::singleShot(40, &load, [&] {
                load.cancel();
                QVERIFY(load.start(m_server->url("/next.html")));
            });
        },
        Qt::SingleShotConnection);
    QVERIFY(load.start(m_server->url("/big.html")));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, 60000);
    QCOMPARE(resultOf(finished, 1).text, QString("next"));
}

void TestPageLoad::aJobThatGoesWhileItsWorkerRunsIsNeverHeardOf() {
    m_server->setResponse("/big.html", page(slowToSearch()));
    Inet inet;
    auto* load = new PageLoad(&inet);
    QSignalSpy finished(load, &PageLoad::finished);
    connect(&inet, &Inet::finished, load, [load] { delete load; });
    QVERIFY(load->start(m_server->url("/big.html")));
    QTRY_VERIFY_WITH_TIMEOUT(!inet.isFetching() && m_server->requestCount("/big.html") == 1, 20000);
    QTest::qWait(500);
    QCOMPARE(finished.size(), 0);
}

QTEST_GUILESS_MAIN(TestPageLoad)
#include "tst_pageload.moc"
