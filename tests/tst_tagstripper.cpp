#include "logic/tagstripper.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

const QString lineBreak = QStringLiteral("\r\n");

// Cutting as the command is defined: always the first "<" of the text as it now is, up to the
// first ">" after it, rebuilding the text each time; then one pass over the line breaks.
QString literalTakeOutHtml(QString text) {
    for (;;) {
        const qsizetype open = text.indexOf(QLatin1Char('<'));
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('>'), open + 1);
        if (open < 0 || close < 0) {
            break;
        }
        text = text.left(open) + text.mid(close + 1);
    }
    const QString tripleBreak = lineBreak.repeated(3);
    QString collapsed;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.mid(i, tripleBreak.size()) == tripleBreak) {
            collapsed += lineBreak;
            i += tripleBreak.size();
        } else {
            collapsed += text[i];
            ++i;
        }
    }
    return collapsed;
}

} // namespace

class TestTagStripper : public QObject {
    Q_OBJECT

private slots:
    void strips_data();
    void strips();
    void secondStripOfNineLineBreaksLeavesOne();
    void agreesWithTagByTagLoop();
};

void TestTagStripper::strips_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("text without < only collapses triple line breaks")
        << QStringLiteral("a\r\n\r\n\r\nb") << QStringLiteral("a\r\nb");
    QTest::newRow("text without < or line breaks is unchanged")
        << QStringLiteral("a > b & c") << QStringLiteral("a > b & c");
    QTest::newRow("empty text stays empty") << QString() << QString();
    QTest::newRow("opening and closing tags are cut")
        << QStringLiteral("<b>bold</b> text") << QStringLiteral("bold text");
    QTest::newRow("> without < before it stays")
        << QStringLiteral("a<b>c>") << QStringLiteral("ac>");
    QTest::newRow("> before every < stays") << QStringLiteral("x>y<z>w") << QStringLiteral("x>yw");
    QTest::newRow("comment is cut at the first > inside it")
        << QStringLiteral("<!-- x > y -->z") << QStringLiteral(" y -->z");
    QTest::newRow("< without a later > stops the cutting there")
        << QStringLiteral("<p>one<two") << QStringLiteral("one<two");
    QTest::newRow("< without a later > keeps everything after it")
        << QStringLiteral("a>b<c") << QStringLiteral("a>b<c");
    QTest::newRow("< inside a tag is cut with it")
        << QStringLiteral("<a<b>c>d") << QStringLiteral("c>d");
    QTest::newRow("tag across line breaks is cut whole")
        << QStringLiteral("a<b\r\nc>d") << QStringLiteral("ad");
    QTest::newRow("character references are kept")
        << QStringLiteral("&amp;<b>&lt;") << QStringLiteral("&amp;&lt;");
    QTest::newRow("text that is one tag becomes empty") << QStringLiteral("<html>") << QString();
    QTest::newRow("six line breaks become two") << lineBreak.repeated(6) << lineBreak.repeated(2);
    QTest::newRow("five line breaks become three")
        << lineBreak.repeated(5) << lineBreak.repeated(3);
    QTest::newRow("four line breaks become two") << lineBreak.repeated(4) << lineBreak.repeated(2);
    QTest::newRow("three line breaks become one") << lineBreak.repeated(3) << lineBreak;
    QTest::newRow("two line breaks stay two") << lineBreak.repeated(2) << lineBreak.repeated(2);
    QTest::newRow("nine line breaks become three")
        << lineBreak.repeated(9) << lineBreak.repeated(3);
    QTest::newRow("line ends CR CR LF are not collapsed")
        << QStringLiteral("\r\r\n").repeated(3) << QStringLiteral("\r\r\n").repeated(3);
    QTest::newRow("line feeds alone are not collapsed")
        << QStringLiteral("\n").repeated(6) << QStringLiteral("\n").repeated(6);
    QTest::newRow("line breaks brought together by a cut are collapsed")
        << QStringLiteral("a\r\n<br>\r\n<br>\r\nb") << QStringLiteral("a\r\nb");
}

void TestTagStripper::strips() {
    QFETCH(QString, text);
    QFETCH(QString, expected);

    QCOMPARE(takeOutHtml(text), expected);
}

void TestTagStripper::secondStripOfNineLineBreaksLeavesOne() {
    const QString once = takeOutHtml(lineBreak.repeated(9));
    QCOMPARE(takeOutHtml(once), lineBreak);
}

void TestTagStripper::agreesWithTagByTagLoop() {
    QRandomGenerator random(1404);
    const QString alphabet = QStringLiteral("<>a\r\n\r\n");
    for (int round = 0; round < 20000; ++round) {
        QString text;
        const int length = int(random.bounded(60));
        for (int i = 0; i < length; ++i) {
            text += alphabet[random.bounded(int(alphabet.size()))];
        }
        QCOMPARE(takeOutHtml(text), literalTakeOutHtml(text));
    }
}

QTEST_GUILESS_MAIN(TestTagStripper)
#include "tst_tagstripper.moc"
