#include "transfer/textsink.h"

#include <QFutureWatcher>
#include <QSignalSpy>
#include <QThreadPool>
#include <QtTest>

// The text a page's sink promises, as whoever watches it hears of it.
class TestTextSink : public QObject {
    Q_OBJECT

private slots:
    void endsItsTextOnce_data();
    void endsItsTextOnce();
};

void TestTextSink::endsItsTextOnce_data() {
    QTest::addColumn<bool>("finished"); // else the sink goes before the last byte
    QTest::newRow("finished, its text taken before the sink goes") << true;
    QTest::newRow("gone unfinished: cancelled") << false;
}

void TestTextSink::endsItsTextOnce() {
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

QTEST_GUILESS_MAIN(TestTextSink)
#include "tst_textsink.moc"
