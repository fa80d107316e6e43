#include "platform/filesink.h"
#include "platform/inet.h"
#include "platform/memorysink.h"
#include "support/recordingsink.h"
#include "support/testhttpserver.h"

#include <QDir>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

using Kind = TransferFailure::Kind;
using Response = TestHttpServer::Response;

Q_DECLARE_METATYPE(TransferFailure::Kind)
Q_DECLARE_METATYPE(TestHttpServer::Response)

namespace {

Response document(const QByteArray& body, int status = 200) {
    Response response;
    response.status = status;
    response.reason = status == 200 ? "OK" : "Not Found";
    response.body = body;
    return response;
}

Response dripping(const QByteArray& body) {
    Response response = document(body);
    response.dripChunk = 1000;
    response.dripIntervalMs = 20;
    return response;
}

QByteArray patterned(qsizetype size) {
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xFF);
    return data;
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void put(const QString& path, const QByteArray& content) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

TransferResult download(Inet& inet, const QString& address, std::unique_ptr<TransferSink> sink) {
    QSignalSpy finished(&inet, &Inet::finished);
    if (!inet.start(address, std::move(sink)) || (finished.isEmpty() && !finished.wait(30000)))
        return {TransferFailure(Kind::Abandoned, QStringLiteral("never finished")), {}, 0};
    return finished.first().first().value<TransferResult>();
}

} // namespace

class TestFileSink : public QObject {
    Q_OBJECT

private slots:
    void init();

    void downloadLeavesTheFileWholeOrUntouched_data();
    void downloadLeavesTheFileWholeOrUntouched();
    void replacedFileKeepsItsPermissions_data();
    void replacedFileKeepsItsPermissions();
    void sinkHearsOnlyOfTheDocument_data();
    void sinkHearsOnlyOfTheDocument();
    void progressGrowsToTheWholeDocument_data();
    void progressGrowsToTheWholeDocument();
    void finishedComesOnceAndNeverFromStart_data();
    void finishedComesOnceAndNeverFromStart();
    void aSlotStartsTheNextDownloadFromFinished();
    void aSlotDeletesTheInetFromFinished_data();
    void aSlotDeletesTheInetFromFinished();
    void failureClosesTheConnectionAtOnce_data();
    void failureClosesTheConnectionAtOnce();

private:
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestFileSink::init() {
    m_server = std::make_unique<TestHttpServer>();
    m_server->setRedirect("/moved", "/doc");
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_server->port() != 0 && m_folder->isValid());
}

void TestFileSink::downloadLeavesTheFileWholeOrUntouched_data() {
    QTest::addColumn<Response>("response"); // served at /doc, /moved redirects there
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::addColumn<QString>("twist");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("mentions");

    const QByteArray old = "old content, longer than the new";
    const Response big = document(patterned(1 << 20));
    Response shortBody = document("0123456789");
    shortBody.announcedLength = 100;
    Response stall = document("never sent");
    stall.stall = true;
    Response dropMid = big;
    dropMid.dropAfterHeaders = true;
    Response dropBefore;
    dropBefore.dropBeforeHeaders = true;
    const Response notFound = document("<html><body>Not here</body></html>", 404);

    QTest::newRow("document replaces a longer file, whose old tail goes")
        << document("new") << "/doc" << old << "" << true << Kind{} << "";
    QTest::newRow("document after a redirect is written exactly")
        << big << "/moved" << QByteArray() << "" << true << Kind{} << "";
    QTest::newRow("empty document empties the file")
        << document("") << "/doc" << old << "" << true << Kind{} << "";
    QTest::newRow("body shorter than announced keeps the old file")
        << shortBody << "/doc" << old << "" << false << Kind::ShortBody << "10 of the 100";
    QTest::newRow("stall keeps the old file")
        << stall << "/doc" << old << "brief stall timeout" << false << Kind::Stalled << "";
    QTest::newRow("404 with an HTML body keeps the old file")
        << notFound << "/doc" << old << "" << false << Kind::HttpStatus << "404";
    QTest::newRow("404 with an HTML body creates no file")
        << notFound << "/doc" << QByteArray() << "" << false << Kind::HttpStatus << "404";
    QTest::newRow("connection dropped mid-body keeps the old file")
        << dropMid << "/doc" << old << "" << false << Kind::ShortBody << "";
    QTest::newRow("connection dropped before any answer creates no file")
        << dropBefore << "/doc" << QByteArray() << "" << false << Kind::Network << "";
    QTest::newRow("cancel in the middle keeps the old file")
        << dripping(patterned(20000)) << "/doc" << old << "cancel midway" << false
        << Kind::Cancelled << "";
    QTest::newRow("symbolic link to a file is refused, its target kept")
        << big << "/doc" << old << "link" << false << Kind::Write << "symbolic link";
    QTest::newRow("dangling symbolic link is refused")
        << big << "/doc" << QByteArray() << "dangling link" << false << Kind::Write
        << "symbolic link";
    QTest::newRow("folder is refused")
        << big << "/doc" << QByteArray() << "folder" << false << Kind::Write << "is a folder";
    QTest::newRow("missing folder is reported") << big << "/doc" << QByteArray() << "missing folder"
                                                << false << Kind::Write << "No such file";
    QTest::newRow("write the system refuses keeps the old file")
        << big << "/doc" << old << "size limit" << false << Kind::Write << "File too large";
}

void TestFileSink::downloadLeavesTheFileWholeOrUntouched() {
    QFETCH(Response, response);
    QFETCH(QString, path);
    QFETCH(QByteArray, before);
    QFETCH(QString, twist);
    QFETCH(bool, succeeds);
    QFETCH(Kind, kind);
    QFETCH(QString, mentions);
    m_server->setResponse("/doc", response);
    const QString folder = m_folder->path();
    QString file = folder + "/file";
    const QString target = folder + "/target";
    const QString watched = twist == "link" ? target : file;

    if (twist == "link")
        QVERIFY(QFile::link(target, file));
    if (twist == "dangling link")
        QVERIFY(QFile::link(folder + "/nowhere", file));
    if (twist == "folder")
        QVERIFY(QDir(folder).mkdir("file"));
    if (twist == "missing folder")
        file = folder + "/missing/file";
    if (!before.isNull())
        put(watched, before);
    const QStringList entries = entriesOf(folder);

    Inet inet;
    inet.setStallTimeout(twist == "brief stall timeout" ? 300 : 120000);
    if (twist == "cancel midway")
        connect(&inet, &Inet::progress, &inet, &Inet::cancel);
    rlimit previous{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &previous) == 0);
    const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &previous); });
    if (twist == "size limit") {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = previous;
        small.rlim_cur = 64 * 1024;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    }
    const TransferResult result =
        download(inet, m_server->url(path), std::make_unique<FileSink>(file));

    QCOMPARE(result.succeeded(), succeeds);
    if (succeeds) {
        QCOMPARE(result.received, response.body.size());
        QVERIFY(contentOf(file) == response.body);
    } else {
        QCOMPARE(result.failure->kind(), kind);
        QVERIFY2(result.failure->message().contains(mentions),
                 qPrintable(result.failure->message()));
        if (kind == Kind::Write)
            QVERIFY(result.failure->message().contains(QDir::toNativeSeparators(file)));
        QCOMPARE(contentOf(watched), before);
    }
    QStringList expected = entries;
    if (succeeds && !expected.contains("file"))
        expected << "file";
    expected.sort();
    QCOMPARE(entriesOf(folder), expected); // no temporary file remains
}

void TestFileSink::replacedFileKeepsItsPermissions_data() {
    QTest::addColumn<int>("mode"); // -1: no file before

    QTest::newRow("owner only (0600) stays 0600") << 0600;
    QTest::newRow("group may read (0640) stays 0640") << 0640;
    QTest::newRow("executable (0755) stays 0755") << 0755;
    QTest::newRow("new file gets 0666 less the umask") << -1;
}

void TestFileSink::replacedFileKeepsItsPermissions() {
    QFETCH(int, mode);
    m_server->setResponse("/doc", document("new"));
    const QString file = m_folder->path() + "/file";
    const mode_t mask = umask(0);
    umask(mask);
    if (mode >= 0) {
        put(file, "old");
        QVERIFY(chmod(QFile::encodeName(file).constData(), mode_t(mode)) == 0);
    }

    Inet inet;
    QVERIFY(download(inet, m_server->url("/doc"), std::make_unique<FileSink>(file)).succeeded());
    struct stat info {};
    QVERIFY(stat(QFile::encodeName(file).constData(), &info) == 0);
    QCOMPARE(int(info.st_mode & 07777), mode >= 0 ? mode : int(0666 & ~mask));
    QCOMPARE(contentOf(file), QByteArray("new"));
}

void TestFileSink::sinkHearsOnlyOfTheDocument_data() {
    QTest::addColumn<Response>("response"); // served at /doc, asked for through /moved
    QTest::addColumn<QString>("calls");

    Response chunked = document("5\r\nhello\r\n0\r\n\r\n");
    chunked.headers = {{"Transfer-Encoding", "chunked"}};
    Response shortBody = document("0123456789");
    shortBody.announcedLength = 100;
    Response dropBefore;
    dropBefore.dropBeforeHeaders = true;

    QTest::newRow("document, never the redirect's page")
        << document("hello") << "begin(5) write finish";
    QTest::newRow("empty document") << document("") << "begin(0) finish";
    QTest::newRow("length unknown") << chunked << "begin(-1) write finish";
    QTest::newRow("error page is never begun") << document("<html>gone</html>", 404) << "discard";
    QTest::newRow("short body is discarded, never finished")
        << shortBody << "begin(100) write discard";
    QTest::newRow("no answer at all") << dropBefore << "discard";
}

void TestFileSink::sinkHearsOnlyOfTheDocument() {
    QFETCH(Response, response);
    QFETCH(QString, calls);
    m_server->setResponse("/doc", response);
    QString log;
    Inet inet;
    download(inet, m_server->url("/moved"), std::make_unique<RecordingSink>(&log));
    QCOMPARE(log, calls);
}

void TestFileSink::progressGrowsToTheWholeDocument_data() {
    QTest::addColumn<Response>("response");
    QTest::addColumn<qint64>("total");

    QByteArray chunked;
    for (int i = 0; i < 20; ++i)
        chunked += "3e8\r\n" + patterned(1000) + "\r\n";
    Response unknown = dripping(chunked + "0\r\n\r\n");
    unknown.headers = {{"Transfer-Encoding", "chunked"}};

    QTest::newRow("announced length is the total") << dripping(patterned(20000)) << qint64(20000);
    QTest::newRow("unknown length gives -1") << unknown << qint64(-1);
}

void TestFileSink::progressGrowsToTheWholeDocument() {
    QFETCH(Response, response);
    QFETCH(qint64, total);
    m_server->setResponse("/doc", response);
    QList<qint64> received;
    QList<double> at;
    QElapsedTimer clock;
    clock.start();
    Inet inet;
    connect(&inet, &Inet::progress, &inet, [&](qint64 count, qint64 announced) {
        received << count;
        at << double(clock.nsecsElapsed()) / 1e6;
        QCOMPARE(announced, total);
    });
    QVERIFY(
        download(inet, m_server->url("/doc"), std::make_unique<MemorySink>(1 << 20)).succeeded());
    QVERIFY(received.size() >= 3);
    QCOMPARE(received.last(), qint64(20000));
    for (qsizetype i = 1; i < received.size(); ++i) {
        QVERIFY(received.at(i) > received.at(i - 1));
        if (i < received.size() - 1) // the last one comes when all has arrived
            QVERIFY(at.at(i) - at.at(i - 1) >= Inet::progressInterval - 1);
    }
}

void TestFileSink::finishedComesOnceAndNeverFromStart_data() {
    QTest::addColumn<QString>("address"); // %1: the server's port
    QTest::addColumn<bool>("cancelAtOnce");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<Kind>("kind");

    QTest::newRow("document") << "http://127.0.0.1:%1/doc" << false << true << Kind{};
    QTest::newRow("error status") << "http://127.0.0.1:%1/gone" << false << false
                                  << Kind::HttpStatus;
    QTest::newRow("empty address") << "" << false << false << Kind::BadAddress;
    QTest::newRow("unsupported scheme")
        << "ftp://127.0.0.1:%1/doc" << false << false << Kind::BadAddress;
    QTest::newRow("cancel right after start")
        << "http://127.0.0.1:%1/doc" << true << false << Kind::Cancelled;
    QTest::newRow("cancel of a bad address before the event loop runs")
        << "" << true << false << Kind::Cancelled;
}

void TestFileSink::finishedComesOnceAndNeverFromStart() {
    QFETCH(QString, address);
    QFETCH(bool, cancelAtOnce);
    QFETCH(bool, succeeds);
    QFETCH(Kind, kind);
    m_server->setResponse("/doc", document("document"));
    address.replace("%1", QString::number(m_server->port()));

    Inet inet;
    QSignalSpy finished(&inet, &Inet::finished);
    QString log;
    QString refusedLog;
    QVERIFY(inet.start(address, std::make_unique<RecordingSink>(&log)));
    QCOMPARE(finished.count(), 0);
    QVERIFY(inet.isFetching());
    QVERIFY(!inet.start(address, std::make_unique<RecordingSink>(&refusedLog)));
    if (cancelAtOnce) {
        inet.cancel();
        QCOMPARE(finished.count(), 1);
    } else {
        QVERIFY(finished.wait());
    }
    // Another instance's round trip lets anything still on its way arrive.
    Inet other;
    QCOMPARE(other.fetchBytes(m_server->url("/doc")), QByteArray("document"));

    QCOMPARE(finished.count(), 1);
    QVERIFY(!inet.isFetching());
    QVERIFY(refusedLog.isEmpty());
    const auto result = finished.first().first().value<TransferResult>();
    QCOMPARE(result.succeeded(), succeeds);
    if (!succeeds)
        QCOMPARE(result.failure->kind(), kind);
}

void TestFileSink::aSlotStartsTheNextDownloadFromFinished() {
    QStringList queue{"/1", "/2", "/3"};
    for (const QString& path : queue)
        m_server->setResponse(path, document(path.toUtf8() + " body"));
    const QString folder = m_folder->path();
    Inet inet;
    QList<bool> started;
    QList<TransferResult> results;
    const auto startNext = [&] {
        const QString path = queue.takeFirst();
        started << inet.start(m_server->url(path), std::make_unique<FileSink>(folder + path));
    };
    connect(&inet, &Inet::finished, &inet, [&](const TransferResult& result) {
        results << result;
        if (!queue.isEmpty())
            startNext();
    });

    startNext();
    QTRY_COMPARE(results.size(), 3);
    QCOMPARE(started, QList<bool>({true, true, true}));
    for (int i = 1; i <= 3; ++i) {
        QVERIFY(results.at(i - 1).succeeded());
        const QString path = "/" + QString::number(i);
        QCOMPARE(contentOf(folder + path), path.toUtf8() + " body");
    }
}

void TestFileSink::aSlotDeletesTheInetFromFinished_data() {
    QTest::addColumn<QString>("path"); // empty: a bad address
    QTest::addColumn<bool>("cancel");

    QTest::newRow("after a document") << "/doc" << false;
    QTest::newRow("after an error status") << "/gone" << false;
    QTest::newRow("after a bad address") << "" << false;
    QTest::newRow("after a cancel") << "/doc" << true;
}

void TestFileSink::aSlotDeletesTheInetFromFinished() {
    QFETCH(QString, path);
    QFETCH(bool, cancel);
    m_server->setResponse("/doc", document(patterned(100000)));
    auto* inet = new Inet;
    const QPointer<Inet> watch(inet);
    connect(inet, &Inet::finished, inet, &QObject::deleteLater);
    QVERIFY(inet->start(path.isEmpty() ? QString() : m_server->url(path),
                        std::make_unique<FileSink>(m_folder->path() + "/file")));
    if (cancel)
        inet->cancel();
    QTRY_VERIFY(watch.isNull());
}

void TestFileSink::failureClosesTheConnectionAtOnce_data() {
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<Kind>("kind");

    QTest::newRow("document beyond the memory limit") << qint64(1 << 20) << false << Kind::TooLarge;
    QTest::newRow("cancel while the server keeps sending")
        << Inet::defaultMaxDocumentSize << true << Kind::Cancelled;
}

void TestFileSink::failureClosesTheConnectionAtOnce() {
    QFETCH(qint64, limit);
    QFETCH(bool, cancel);
    QFETCH(Kind, kind);
    Response endless = document(patterned(64 * 1024));
    endless.endless = true;
    m_server->setResponse("/doc", endless);
    Inet inet;
    if (cancel)
        connect(&inet, &Inet::progress, &inet, &Inet::cancel);

    const TransferResult result =
        download(inet, m_server->url("/doc"), std::make_unique<MemorySink>(limit));
    QVERIFY(!result.succeeded());
    QCOMPARE(result.failure->kind(), kind);
    QTRY_COMPARE(m_server->openConnections(), 0);
}

QTEST_GUILESS_MAIN(TestFileSink)
#include "tst_filesink.moc"
