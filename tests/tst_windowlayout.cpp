#include "forms/windowlayout.h"

#include <QTest>

class TestWindowLayout : public QObject {
    Q_OBJECT

private slots:
    void readsAControl_data();
    void readsAControl();
};

void TestWindowLayout::readsAControl_data() {
    QTest::addColumn<QByteArray>("layout");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QColor>("foreColor");

    QTest::newRow("twips become pixels, 15 to one, and 0x00BBGGRR a colour")
        << QByteArray(R"({"controls": [{"left": 120, "top": 3540, "width": 2895, "height": 330,
                                        "foreColor": 16711680}]})")
        << QRect(8, 236, 193, 22) << QColor(0, 0, 255);
    QTest::newRow("lengths past what a widget can take are cut to it")
        << QByteArray(R"({"controls": [{"left": 1e30, "top": -1e30, "width": 1e300}]})")
        << QRect(16777215, -16777215, 16777215, 0) << QColor();
    QTest::newRow("a colour no 32 bits can hold leaves the control its own")
        << QByteArray(R"({"controls": [{"foreColor": 1e120}, {"foreColor": -1}]})") << QRect()
        << QColor();
}

void TestWindowLayout::readsAControl() {
    QFETCH(QByteArray, layout);
    QFETCH(QRect, geometry);
    QFETCH(QColor, foreColor);

    const WindowLayout read = WindowLayout::fromJson(layout);
    QVERIFY(!read.controls.isEmpty());
    QCOMPARE(read.controls.first().geometry, geometry);
    for (const WindowLayout::Control& control : read.controls)
        QCOMPARE(control.foreColor.value_or(QColor()), foreColor);
}

QTEST_GUILESS_MAIN(TestWindowLayout)
#include "tst_windowlayout.moc"
