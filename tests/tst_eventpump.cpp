#include "scan/eventpump.h"

#include <QCoreApplication>
#include <QTest>

class TestEventPump : public QObject {
    Q_OBJECT

private slots:
    void runsPendingEventsOnceTheIntervalHasPassed();
    void skipsTurnsWithinTheInterval();
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

QTEST_GUILESS_MAIN(TestEventPump)
#include "tst_eventpump.moc"
