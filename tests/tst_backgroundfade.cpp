// The background fade: band colours and positions as the window's twips give them.

#include "widgets/backgroundfade.h"

#include <QPixmap>
#include <QtTest>

class TestBackgroundFade : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bandColours_data();
    void bandColours();
    void mainWindowBands();
    void paintedPicture();
};

void TestBackgroundFade::bandColours_data() {
    QTest::addColumn<int>("band");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("first band is mid grey") << 1 << QColor(128, 128, 128);
    QTest::newRow("second") << 2 << QColor(127, 127, 127);
    QTest::newRow("third rounds blue half a step behind") << 3 << QColor(125, 125, 126);
    QTest::newRow("fourth") << 4 << QColor(124, 124, 125);
    QTest::newRow("fiftieth") << 50 << QColor(65, 65, 85);
    QTest::newRow("ninety-ninth") << 99 << QColor(3, 3, 42);
    QTest::newRow("last never reaches the target") << 100 << QColor(1, 1, 41);
}

void TestBackgroundFade::bandColours() {
    QFETCH(int, band);
    QFETCH(QColor, colour);
    const QVector<FadeBand> bands = fadeBands(6120, 3960);
    QCOMPARE(bands.size(), 100);
    QCOMPARE(bands.at(band - 1).colour, colour);
}

void TestBackgroundFade::mainWindowBands() {
    const QVector<FadeBand> bands = fadeBands(6120, 3960);
    QCOMPARE(bands.at(0).left, qint16(0));
    QCOMPARE(bands.at(1).left, qint16(61));
    QCOMPARE(bands.at(2).left, qint16(122));
    QCOMPARE(bands.at(3).left, qint16(183));
    QCOMPARE(bands.at(0).right, 61.2f);
    for (int i = 1; i < bands.size(); ++i) {
        QCOMPARE(bands.at(i).left, qint16(qRound(double(bands.at(i - 1).right))));
        QCOMPARE(bands.at(i).height, qint16(3960));
    }
    // Rounding drops a little at every step, so the last band stops short of the edge.
    const float shortOfEdge = 6120 - bands.last().right;
    QVERIFY2(shortOfEdge > 15 && shortOfEdge < 25, qPrintable(QString::number(shortOfEdge)));
}

void TestBackgroundFade::paintedPicture() {
    QPixmap picture(408, 264);
    picture.fill(Qt::magenta);
    paintFade(picture);
    const QImage image = picture.toImage();
    QCOMPARE(QColor(image.pixel(0, 0)), QColor(128, 128, 128));
    QCOMPARE(QColor(image.pixel(0, 263)), QColor(128, 128, 128));
    QCOMPARE(QColor(image.pixel(5, 10)), QColor(127, 127, 127));
    // A narrow strip at the right keeps the plain window colour.
    QCOMPARE(QColor(image.pixel(407, 10)), QColor(Qt::magenta));
    QCOMPARE(QColor(image.pixel(404, 10)), QColor(1, 1, 41));
}

QTEST_MAIN(TestBackgroundFade)
#include "tst_backgroundfade.moc"
