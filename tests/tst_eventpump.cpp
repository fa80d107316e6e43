#include "logic/eventpump.h"
#include "logic/pacedsearch.h"

#include <QCoreApplication>
#include <QTest>

class TestEventPump : public QObject {
    Q_OBJECT

private slots:
    void runsPendingEventsOnceTheIntervalHasPassed();
    void skipsTurnsWithinTheInterval();
    void pacedSearchFindsWhatAPlainSearchFinds_data();
    void pacedSearchFindsWhatAPlainSearchFinds();
};

void TestEventPump::runsPendingEventsOnceTheIntervalHasPassed() {
    EventPump pump(0);
    bool ran = false;
    QMetaObject::invokeMethod(
        this, [&ran] { ran = true; }, Qt::QueuedConnection);

    pump();

    QVERIFY(ran);
    QCOMPARE(pump.pumpCount(), 1);
}

void TestEventPump::skipsTurnsWithinTheInterval() {
    EventPump pump(60 * 60 * 1000);
    bool ran = false;
    QMetaObject::invokeMethod(
        this, [&ran] { ran = true; }, Qt::QueuedConnection);

    for (int turn = 0; turn < 1000; ++turn) {
        pump();
    }

    QVERIFY(!ran);
    QCOMPARE(pump.pumpCount(), 0);
    QCoreApplication::processEvents();
}

void TestEventPump::pacedSearchFindsWhatAPlainSearchFinds_data() {
    QTest::addColumn<qsizetype>("at");
    const qsizetype slice = PacedSearch::kSliceLength;
    QTest::newRow("match ending on the slice's last character") << slice - 6;
    QTest::newRow("match straddling the end of a slice") << slice - 3;
    QTest::newRow("match starting a slice") << slice;
    QTest::newRow("match straddling the end of the third slice") << 3 * slice - 1;
}

void TestEventPump::pacedSearchFindsWhatAPlainSearchFinds() {
    QFETCH(qsizetype, at);
    const QString needle = QStringLiteral("\r\n\r\n\r\n");
    QString text(4 * PacedSearch::kSliceLength, QLatin1Char('x'));
    text.replace(at, needle.size(), needle);
    int turns = 0;
    PacedSearch search(text, [&turns] { ++turns; });

    QCOMPARE(search.indexOf(needle, 0), at);
    QCOMPARE(search.indexOf(needle, at + 1), qsizetype(-1));
    QVERIFY(turns >= 3);
}

QTEST_GUILESS_MAIN(TestEventPump)
#include "tst_eventpump.moc"
