#include "support/testhttpserver.h"
#include "transfer/filesink.h"
#include "transfer/inet.h"
#include "transfer/memorysink.h"

#include <QDir>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

struct stat statOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

TransferResult download(Inet& inet, const QString& address, std::unique_ptr<TransferSink> sink) {
    QSignalSpy finished(&inet, &Inet::finished);
    if (!inet.start(address, std::move(sink)) || (finished.isEmpty() && !finished.wait(30000)))
        return {TransferFailure(Kind::Abandoned, QStringLiteral("never finished")), {}, 0, {}};
    return finished.first().first().value<TransferResult>();
}

} // namespace

class TestFileSink : public QObject {
    Q_OBJECT

private slots:
    void init();

    void downloadLeavesTheFileWholeOrUntouched_data();
    void downloadLeavesTheFileWholeOrUntouched();
    void progressGrowsAtMostEveryInterval();
    void finishedComesOnceAndNeverFromStart_data();
    void finishedComesOnceAndNeverFromStart();
    void aSlotStartsTheNextDownloadOrDeletesTheInetLater();

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
    QTest::addColumn<QByteArray>("before"); // null: no file; else a file only its owner reads
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
    Response endless = document(patterned(qsizetype(64) * 1024));
    endless.endless = true;
    const Response notFound = document("<html><body>Not here</body></html>", 404);

    QTest::newRow("document replaces a longer file, which loses its tail, not its permissions")
        << document("new") << "/doc" << old << "" << true << Kind{} << "";
    QTest::newRow("document after a redirect is written exactly")
        << big << "/moved" << QByteArray() << "" << true << Kind{} << "";
    QTest::newRow("body shorter than announced keeps the old file")
        << shortBody << "/doc" << old << "" << false << Kind::ShortBody << "10 of the 100";
    QTest::newRow("stall keeps the old file")
        << stall << "/doc" << old << "brief stall timeout" << false << Kind::Stalled << "0.3 s";
    QTest::newRow("404 with an HTML body keeps the old file")
        << notFound << "/doc" << old << "" << false << Kind::HttpStatus << "404";
    QTest::newRow("404 with an HTML body creates no file")
        << notFound << "/doc" << QByteArray() << "" << false << Kind::HttpStatus << "404";
    QTest::newRow("connection dropped mid-body keeps the old file")
        << dropMid << "/doc" << old << "" << false << Kind::ShortBody << "";
    QTest::newRow("cancel in the middle keeps the old file")
        << endless << "/doc" << old << "cancel midway" << false << Kind::Cancelled << "";
    QTest::newRow("symbolic link is refused, its target kept")
        << big << "/doc" << old << "link" << false << Kind::Write << "symbolic link";
    QTest::newRow("folder is refused")
        << big << "/doc" << QByteArray() << "folder" << false << Kind::Write << "is a folder";
    QTest::newRow("write the system refuses keeps the old file")
        << big << "/doc" << old << "size limit" << false << Kind::Write << "File too large";
    QTest::newRow("read-only file is never replaced, whoever runs the program")
        << big << "/doc" << old << "read-only" << false << Kind::Write << "read-only";
    QTest::newRow("another user's file keeps its owner, group and mode")
        << document("new") << "/doc" << old << "other owner" << true << Kind{} << "";
    QTest::newRow("a file that took a free name meanwhile is kept")
        << big << "/doc" << QByteArray() << "appears" << false << Kind::Write << "appeared";
    QTest::newRow("another file that took the name meanwhile is kept")
        << big << "/doc" << old << "swapped" << false << Kind::Write << "another file";
    QTest::newRow("a name too long to be replaced safely says so")
        << big << "/doc" << old << "long name" << false << Kind::Write << "too long";
}

void TestFileSink::downloadLeavesTheFileWholeOrUntouched() {
    QFETCH(Response, response);
    QFETCH(QString, path);
    QFETCH(QByteArray, before); // what must stay; a twist may put another file there
    QFETCH(QString, twist);
    QFETCH(bool, succeeds);
    QFETCH(Kind, kind);
    QFETCH(QString, mentions);
    if (twist == "other owner" && geteuid() != 0)
        QSKIP("Handing a file to another user needs root; CI runs this as root");
    m_server->setResponse("/doc", response);
    const QString file = m_folder->filePath(twist == "long name" ? QString(250, 'n') : "file");
    const QString watched = twist == "link" ? m_folder->filePath("target") : file;
    if (twist == "link")
        QVERIFY(QFile::link(watched, file));
    if (twist == "folder")
        QVERIFY(QDir(m_folder->path()).mkdir("file"));
    if (!before.isNull()) {
        QFile existing(watched);
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write(before) == before.size());
        QVERIFY(existing.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    }
    if (twist == "read-only")
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup));
    if (twist == "other owner")
        QVERIFY(::chown(QFile::encodeName(file).constData(), 4321, 4322) == 0 &&
                ::chmod(QFile::encodeName(file).constData(), 0654) == 0);
    const struct stat original = statOf(watched);
    const QStringList entries = entriesOf(m_folder->path());
    auto sink = std::make_unique<FileSink>(file);
    // The name's state when the user agreed, then someone else's file under it.
    sink->replaceOnly(FileSink::Target::at(file));
    if (twist == "appears" || twist == "swapped") {
        connect(m_server.get(), &TestHttpServer::requestReceived, this, [&] {
            QFile other(m_folder->filePath("other"));
            QVERIFY(other.open(QIODevice::WriteOnly) && other.write("theirs") == 6);
            other.close();
            QVERIFY(::rename(QFile::encodeName(other.fileName()).constData(),
                             QFile::encodeName(file).constData()) == 0);
        });
        before = "theirs"; // what must stay
    }

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
        small.rlim_cur = rlim_t(64) * 1024;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    }
    const TransferResult result = download(inet, m_server->url(path), std::move(sink));
    disconnect(m_server.get(), nullptr, this, nullptr);

    QCOMPARE(result.succeeded(), succeeds);
    if (succeeds) {
        QCOMPARE(result.received, response.body.size());
        QVERIFY(contentOf(file) == response.body);
        if (!before.isNull()) {
            const struct stat after = statOf(file);
            QCOMPARE(after.st_mode, original.st_mode);
            QCOMPARE(after.st_uid, original.st_uid);
            QCOMPARE(after.st_gid, original.st_gid);
        }
    } else {
        QCOMPARE(result.failure->kind(), kind);
        const QString message = result.failure->message();
        QVERIFY2(message.contains(mentions), qPrintable(message));
        QVERIFY(kind != Kind::Write || message.contains(QDir::toNativeSeparators(file)));
        QCOMPARE(contentOf(watched), before);
    }
    QStringList expected = entries;
    if ((succeeds && before.isNull()) || twist == "appears")
        expected << "file";
    expected.sort();
    QCOMPARE(entriesOf(m_folder->path()), expected); // no temporary file remains
    QTRY_COMPARE(m_server->openConnections(), 0);
}

void TestFileSink::progressGrowsAtMostEveryInterval() {
    Response drip = document(patterned(20000));
    drip.dripChunk = 1000;
    drip.dripIntervalMs = 20;
    m_server->setResponse("/doc", drip);
    QList<qint64> received;
    QList<double> at;
    QElapsedTimer clock;
    clock.start();
    Inet inet;
    connect(&inet, &Inet::progress, &inet, [&](qint64 count, qint64 total) {
        received << (total == 20000 ? count : -1);
        at << double(clock.nsecsElapsed()) / 1e6;
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
    QTest::addColumn<QString>("path"); // empty: no address
    QTest::addColumn<bool>("cancelAtOnce");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<Kind>("kind");

    QTest::newRow("document") << "/doc" << false << true << Kind{};
    QTest::newRow("error status") << "/gone" << false << false << Kind::HttpStatus;
    QTest::newRow("no address") << "" << false << false << Kind::BadAddress;
    QTest::newRow("cancel right after start") << "/doc" << true << false << Kind::Cancelled;
    QTest::newRow("cancel of a bad address before the event loop runs")
        << "" << true << false << Kind::Cancelled;
}

void TestFileSink::finishedComesOnceAndNeverFromStart() {
    QFETCH(QString, path);
    QFETCH(bool, cancelAtOnce);
    QFETCH(bool, succeeds);
    QFETCH(Kind, kind);
    m_server->setResponse("/doc", document("document"));

    Inet inet;
    QSignalSpy finished(&inet, &Inet::finished);
    QVERIFY(inet.start(path.isEmpty() ? QString() : m_server->url(path),
                       std::make_unique<MemorySink>(1000)));
    QCOMPARE(finished.count(), 0);
    QVERIFY(inet.isFetching());
    QVERIFY(!inet.start(m_server->url("/doc"), std::make_unique<MemorySink>(1000)));
    if (cancelAtOnce) {
        inet.cancel();
        QCOMPARE(finished.count(), 1);
    }
    QVERIFY(finished.count() == 1 || finished.wait());
    // Another instance's round trip lets anything still on its way arrive.
    Inet other;
    QSignalSpy roundTrip(&other, &Inet::finished);
    QVERIFY(other.start(m_server->url("/doc"), std::make_unique<MemorySink>(1000)));
    QVERIFY(roundTrip.wait());

    QCOMPARE(finished.count(), 1);
    QVERIFY(!inet.isFetching());
    const auto result = finished.first().first().value<TransferResult>();
    QCOMPARE(result.succeeded(), succeeds);
    QVERIFY(succeeds || result.failure->kind() == kind);
}

void TestFileSink::aSlotStartsTheNextDownloadOrDeletesTheInetLater() {
    QStringList queue{"/1", "/2", "/3"};
    for (const QString& path : queue)
        m_server->setResponse(path, document(path.toUtf8() + " body"));
    auto* inet = new Inet;
    const QPointer<Inet> watch(inet);
    QList<bool> started;
    QList<bool> succeeded;
    const auto startNext = [&] {
        const QString path = queue.takeFirst();
        started << inet->start(m_server->url(path),
                               std::make_unique<FileSink>(m_folder->path() + path));
    };
    connect(inet, &Inet::finished, inet, [&](const TransferResult& result) {
        succeeded << result.succeeded();
        if (queue.isEmpty())
            inet->deleteLater();
        else
            startNext();
    });

    startNext();
    QTRY_VERIFY(watch.isNull());
    QCOMPARE(succeeded, QList<bool>({true, true, true}));
    QCOMPARE(started, QList<bool>({true, true, true}));
    for (const QString path : {"/1", "/2", "/3"})
        QCOMPARE(contentOf(m_folder->path() + path), path.toUtf8() + " body");
}

QTEST_GUILESS_MAIN(TestFileSink)
#include "tst_filesink.moc"
