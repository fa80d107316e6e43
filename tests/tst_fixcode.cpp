#include "logic/fixcode.h"

#include <QRandomGenerator>
#include <QTest>

class TestFixCode : public QObject {
    Q_OBJECT

private slots:
    void convertsLineFeeds_data();
    void convertsLineFeeds();
    void changesTheArgumentItReturns();
    void leavesOtherCopiesOfTheTextAlone();
    void agreesWithTheLiteralRuleOnRandomText();
};

void TestFixCode::convertsLineFeeds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("line feed becomes carriage return and line feed")
        << QStringLiteral("a\nb") << QStringLiteral("a\r\nb");
    QTest::newRow("carriage return and line feed get a second carriage return")
        << QStringLiteral("a\r\nb") << QStringLiteral("a\r\r\nb");
    QTest::newRow("empty text stays empty") << QString() << QString();
    QTest::newRow("text without line feed is unchanged")
        << QStringLiteral("a\rb\tc") << QStringLiteral("a\rb\tc");
    QTest::newRow("line feeds in a row each get their own carriage return")
        << QStringLiteral("\n\n\n") << QStringLiteral("\r\n\r\n\r\n");
    QTest::newRow("line feeds at both ends are converted")
        << QStringLiteral("\nx\n") << QStringLiteral("\r\nx\r\n");
    QTest::newRow("text around the line feeds is kept, other characters included")
        << QStringLiteral("\u00e9\n\U0001F600\n") << QStringLiteral("\u00e9\r\n\U0001F600\r\n");
}

void TestFixCode::convertsLineFeeds() {
    QFETCH(QString, text);
    QFETCH(QString, expected);

    const QString result = FixCode(text);

    QCOMPARE(result, expected);
    QCOMPARE(text, expected);
}

void TestFixCode::changesTheArgumentItReturns() {
    QString text = QStringLiteral("a\nb");
    QString& result = FixCode(text);
    QCOMPARE(&result, &text);
}

void TestFixCode::leavesOtherCopiesOfTheTextAlone() {
    QString text = QStringLiteral("a\nb");
    const QString sharedCopy = text;
    FixCode(text);
    QCOMPARE(sharedCopy, QStringLiteral("a\nb"));
}

void TestFixCode::agreesWithTheLiteralRuleOnRandomText() {
    const QStringList pieces{"\n", "\r", "\r\n", "a", "\u00E9", "\U0001F600", QString(3000, 'w')};
    QRandomGenerator random(20261207);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        for (int i = random.bounded(0, 40); i > 0; --i)
            text += pieces[random.bounded(int(pieces.size()))];
        QString expected = text;
        expected.replace(QLatin1String("\n"), QLatin1String("\r\n"));
        // Held twice, the text is written anew; held once, it grows where it lies.
        QString shared = text;
        const QString otherHolder = shared;
        FixCode(shared);
        QCOMPARE(shared, expected);
        QCOMPARE(otherHolder, text);
        text.detach();
        FixCode(text);
        QCOMPARE(text, expected);
    }
}

QTEST_GUILESS_MAIN(TestFixCode)
#include "tst_fixcode.moc"
