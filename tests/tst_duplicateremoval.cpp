#include "logic/duplicateremoval.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

class TestDuplicateRemoval : public QObject {
    Q_OBJECT

private slots:
    void removesRepeats_data();
    void removesRepeats();
    void agreesWithASetOnManyEntries();
};

void TestDuplicateRemoval::removesRepeats_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("first copy of each stays in place")
        << QStringList{"A", "B", "A", "A", "B"} << QStringList{"A", "B"};
    QTest::newRow("five copies become one")
        << QStringList(5, QStringLiteral("x")) << QStringList{"x"};
    QTest::newRow("order of survivors is kept")
        << QStringList{"c", "a", "c", "b", "a"} << QStringList{"c", "a", "b"};
    QTest::newRow("previous page found again later stays first")
        << QStringList{"http://127.0.0.1/a.htm", "b.htm", "http://127.0.0.1/a.htm"}
        << QStringList{"http://127.0.0.1/a.htm", "b.htm"};
    QTest::newRow("letter case makes entries differ")
        << QStringList{"a.htm", "A.htm", "a.HTM"} << QStringList{"a.htm", "A.htm", "a.HTM"};
    QTest::newRow("spaces make entries differ")
        << QStringList{"a", " a", "a "} << QStringList{"a", " a", "a "};
    QTest::newRow("empty entries are repeats too")
        << QStringList{"", "x", ""} << QStringList{"", "x"};
    QTest::newRow("list without repeats is unchanged")
        << QStringList{"a", "b", "c"} << QStringList{"a", "b", "c"};
    QTest::newRow("empty list stays empty") << QStringList{} << QStringList{};
}

void TestDuplicateRemoval::removesRepeats() {
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expected);

    QCOMPARE(withoutDuplicates(entries), expected);
}

void TestDuplicateRemoval::agreesWithASetOnManyEntries() {
    // Enough distinct texts that some share a hash, each about three times.
    QRandomGenerator random(20261207);
    QStringList entries;
    for (int i = 0; i < 900000; ++i)
        entries << QString::number(random.bounded(300000), 36);
    QList<qsizetype> expected;
    QSet<QString> seen;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (!seen.contains(entries[i])) {
            seen.insert(entries[i]);
            expected << i;
        }
    }

    QCOMPARE(firstCopies(entries), expected);
}

QTEST_GUILESS_MAIN(TestDuplicateRemoval)
#include "tst_duplicateremoval.moc"
