#include "logic/textsearch.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// Find Next as the window drives it: a match becomes the selection, no match shows the end
// message and puts the caret at the top.
QList<int> clickFindNext(const QString& source, const QString& needle, int clicks) {
    QList<int> selected;
    qsizetype start = 0;
    qsizetype length = 0;
    for (int click = 0; click < clicks; ++click) {
        const std::optional<qsizetype> match = findNextMatch(source, needle, start, length);
        if (match) {
            start = *match;
            length = needle.size();
            selected.append(int(start));
        } else {
            start = 0;
            length = 0;
            selected.append(-1);
        }
    }
    return selected;
}

// The replacement rule read literally: position by position, an occurrence is replaced and
// skipped, anything else is copied one character at a time.
QString literalReplaceAll(const QString& source, const QString& find, const QString& with) {
    if (find.isEmpty()) {
        return source;
    }
    QString result;
    qsizetype i = 0;
    while (i < source.size()) {
        if (QStringView(source).mid(i).startsWith(find)) {
            result += with;
            i += find.size();
        } else {
            result += source[i];
            ++i;
        }
    }
    return result;
}

QString randomText(QRandomGenerator& random, int maxLength, QStringView alphabet) {
    QString text;
    const int length = int(random.bounded(maxLength + 1));
    for (int i = 0; i < length; ++i) {
        text += alphabet[random.bounded(int(alphabet.size()))];
    }
    return text;
}

} // namespace

class TestTextSearch : public QObject {
    Q_OBJECT

private slots:
    void findNext_data();
    void findNext();
    void successiveClicks_data();
    void successiveClicks();
    void findNextAgreesWithLowerCasedSearch();
    void replaceAll_data();
    void replaceAll();
    void replaceAllAgreesWithLiteralRule();
    void confirmationPrompt_data();
    void confirmationPrompt();
};

void TestTextSearch::findNext_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("selectionStart");
    QTest::addColumn<int>("selectionLength");
    QTest::addColumn<int>("expected"); // -1: the end message

    QTest::newRow("caret at the top finds the first occurrence")
        << QStringLiteral("xxabyab") << QStringLiteral("ab") << 0 << 0 << 2;
    QTest::newRow("occurrence right at the caret is found")
        << QStringLiteral("abxab") << QStringLiteral("ab") << 0 << 0 << 0;
    QTest::newRow("caret inside the text searches from there")
        << QStringLiteral("abxab") << QStringLiteral("ab") << 1 << 0 << 3;
    QTest::newRow("selected match is not found again")
        << QStringLiteral("abxab") << QStringLiteral("ab") << 0 << 2 << 3;
    QTest::newRow("overlapping occurrence one past the selection start is found")
        << QStringLiteral("aaaa") << QStringLiteral("aa") << 0 << 2 << 1;
    QTest::newRow("hand-made selection skips the occurrence at its start")
        << QStringLiteral("ab ab") << QStringLiteral("ab") << 0 << 5 << 3;
    QTest::newRow("hand-made selection of one character skips an occurrence there")
        << QStringLiteral("abab") << QStringLiteral("ab") << 0 << 1 << 2;
    QTest::newRow("lower-case find text selects upper case")
        << QStringLiteral("<IMG>") << QStringLiteral("img") << 0 << 0 << 1;
    QTest::newRow("upper-case find text selects lower case")
        << QStringLiteral("<img>") << QStringLiteral("IMG") << 0 << 0 << 1;
    QTest::newRow("mixed case on both sides matches")
        << QStringLiteral("x Img") << QStringLiteral("iMG") << 0 << 0 << 2;
    QTest::newRow("caret at the very end finds nothing")
        << QStringLiteral("abc") << QStringLiteral("c") << 3 << 0 << -1;
    QTest::newRow("last occurrence selected finds nothing further")
        << QStringLiteral("abc") << QStringLiteral("c") << 2 << 1 << -1;
    QTest::newRow("find text longer than the rest finds nothing")
        << QStringLiteral("abcd") << QStringLiteral("cde") << 2 << 0 << -1;
    QTest::newRow("find text longer than the whole source finds nothing")
        << QStringLiteral("ab") << QStringLiteral("abc") << 0 << 0 << -1;
    QTest::newRow("empty source finds nothing") << QString() << QStringLiteral("a") << 0 << 0 << -1;
    QTest::newRow("empty source and empty find text find nothing")
        << QString() << QString() << 0 << 0 << -1;
    QTest::newRow("empty find text counts as absent")
        << QStringLiteral("abc") << QString() << 1 << 0 << -1;
    QTest::newRow("selection past the end finds nothing")
        << QStringLiteral("abc") << QStringLiteral("a") << 10 << 0 << -1;
    QTest::newRow("false start just before the occurrence is not skipped")
        << QStringLiteral("aab") << QStringLiteral("ab") << 0 << 0 << 1;
    QTest::newRow("partial match sharing a prefix with the occurrence")
        << QStringLiteral("abababc") << QStringLiteral("ababc") << 0 << 0 << 2;
    QTest::newRow("dotted capital I does not shift the positions after it")
        << QStringLiteral("\u0130\u0130ab") << QStringLiteral("ab") << 0 << 0 << 2;
    QTest::newRow("dotted capital I in the source matches i")
        << QStringLiteral("x\u0130") << QStringLiteral("i") << 0 << 0 << 1;
    QTest::newRow("dotted capital I in the find text matches i")
        << QStringLiteral("xi") << QStringLiteral("\u0130") << 0 << 0 << 1;
    QTest::newRow("character outside the basic plane keeps its two positions")
        << QStringLiteral("\U00010400ab") << QStringLiteral("ab") << 0 << 0 << 2;
    QTest::newRow("character outside the basic plane matches its other case")
        << QStringLiteral("x\U00010400") << QStringLiteral("\U00010428") << 0 << 0 << 1;
    QTest::newRow("unpaired high surrogate in the source is passed over")
        << QString(QChar(0xD800)) + QStringLiteral("ab") << QStringLiteral("AB") << 0 << 0 << 1;
    QTest::newRow("unpaired low surrogate in the source is passed over")
        << QString(QChar(0xDC00)) + QStringLiteral("ab") << QStringLiteral("b") << 0 << 0 << 2;
    QTest::newRow("unpaired surrogate is found as itself")
        << QStringLiteral("ab") + QChar(0xDC00) << QString(QChar(0xDC00)) << 0 << 0 << 2;
}

void TestTextSearch::findNext() {
    QFETCH(QString, source);
    QFETCH(QString, needle);
    QFETCH(int, selectionStart);
    QFETCH(int, selectionLength);
    QFETCH(int, expected);

    const std::optional<qsizetype> match =
        findNextMatch(source, needle, selectionStart, selectionLength);

    QCOMPARE(match ? int(*match) : -1, expected);
}

void TestTextSearch::successiveClicks_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QList<int>>("selected"); // one per click, -1 for the end message

    QTest::newRow("overlapping occurrences one after another, then the end, then the first")
        << QStringLiteral("aaaa") << QStringLiteral("aa") << QList<int>{0, 1, 2, -1, 0};
    QTest::newRow("every letter case is selected in turn")
        << QStringLiteral("IMG Img img") << QStringLiteral("img") << QList<int>{0, 4, 8, -1, 0};
    QTest::newRow("no occurrence shows the end message every time")
        << QStringLiteral("abc") << QStringLiteral("x") << QList<int>{-1, -1};
    QTest::newRow("empty source shows the end message every time")
        << QString() << QStringLiteral("x") << QList<int>{-1, -1};
}

void TestTextSearch::successiveClicks() {
    QFETCH(QString, source);
    QFETCH(QString, needle);
    QFETCH(QList<int>, selected);

    QCOMPARE(clickFindNext(source, needle, int(selected.size())), selected);
}

void TestTextSearch::findNextAgreesWithLowerCasedSearch() {
    // With letters whose lower case has the same length, searching the lower-cased texts is the
    // rule itself.
    QRandomGenerator random(20240501);
    for (int round = 0; round < 20000; ++round) {
        const QString source = randomText(random, 24, u"aAbB");
        const QString needle = randomText(random, 5, u"aAbB");
        const int start = int(random.bounded(source.size() + 2));
        const int length = int(random.bounded(3));
        const qsizetype from = start + (length > 0 ? 1 : 0);
        const qsizetype expected = needle.isEmpty() || from > source.size()
                                       ? -1
                                       : source.toLower().indexOf(needle.toLower(), from);

        const std::optional<qsizetype> match = findNextMatch(source, needle, start, length);

        QVERIFY2((match ? *match : -1) == expected,
                 qPrintable(
                     QStringLiteral("%1 / %2 / %3,%4").arg(source, needle).arg(start).arg(length)));
    }
}

void TestTextSearch::replaceAll_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("with");
    QTest::addColumn<QString>("expected");

    QTest::newRow("occurrences never overlap") << QStringLiteral("aaa") << QStringLiteral("aa")
                                               << QStringLiteral("b") << QStringLiteral("ba");
    QTest::newRow("inserted text is not scanned again")
        << QStringLiteral("ab") << QStringLiteral("a") << QStringLiteral("aa")
        << QStringLiteral("aab");
    QTest::newRow("empty find text leaves the source unchanged")
        << QStringLiteral("abc") << QString() << QStringLiteral("x") << QStringLiteral("abc");
    QTest::newRow("empty replacement deletes every occurrence")
        << QStringLiteral("a-b-c") << QStringLiteral("-") << QString() << QStringLiteral("abc");
    QTest::newRow("case must match exactly")
        << QStringLiteral("IMG Img img") << QStringLiteral("img") << QStringLiteral("x")
        << QStringLiteral("IMG Img x");
    QTest::newRow("no occurrence gives the same text")
        << QStringLiteral("abc") << QStringLiteral("z") << QStringLiteral("y")
        << QStringLiteral("abc");
    QTest::newRow("empty source stays empty")
        << QString() << QStringLiteral("a") << QStringLiteral("b") << QString();
    QTest::newRow("find text longer than the source changes nothing")
        << QStringLiteral("ab") << QStringLiteral("abc") << QStringLiteral("x")
        << QStringLiteral("ab");
    QTest::newRow("adjacent occurrences are all replaced")
        << QStringLiteral("ababab") << QStringLiteral("ab") << QStringLiteral("x")
        << QStringLiteral("xxx");
    QTest::newRow("whole text replaced")
        << QStringLiteral("abc") << QStringLiteral("abc") << QString() << QString();
    QTest::newRow("false start just before an occurrence")
        << QStringLiteral("aab") << QStringLiteral("ab") << QStringLiteral("X")
        << QStringLiteral("aX");
    QTest::newRow("partial match sharing a prefix with the occurrence")
        << QStringLiteral("abababc") << QStringLiteral("ababc") << QStringLiteral("Y")
        << QStringLiteral("abY");
    QTest::newRow("line breaks are replaced like any text")
        << QStringLiteral("a\r\r\nb\r\r\n") << QStringLiteral("\r\r\n") << QStringLiteral("\r\n")
        << QStringLiteral("a\r\nb\r\n");
    QTest::newRow("replacement containing the find text")
        << QStringLiteral("a.a") << QStringLiteral("a") << QStringLiteral("aa")
        << QStringLiteral("aa.aa");
}

void TestTextSearch::replaceAll() {
    QFETCH(QString, source);
    QFETCH(QString, find);
    QFETCH(QString, with);
    QFETCH(QString, expected);

    QCOMPARE(replaceAllOccurrences(source, find, with), expected);
}

void TestTextSearch::replaceAllAgreesWithLiteralRule() {
    QRandomGenerator random(7);
    for (int round = 0; round < 20000; ++round) {
        const QString source = randomText(random, 30, u"aab");
        const QString find = randomText(random, 4, u"ab");
        const QString with = randomText(random, 3, u"abX");

        QCOMPARE(replaceAllOccurrences(source, find, with), literalReplaceAll(source, find, with));
    }
}

void TestTextSearch::confirmationPrompt_data() {
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("with");
    QTest::addColumn<QString>("expected");

    QTest::newRow("both texts in double quotes")
        << QStringLiteral("img") << QStringLiteral("IMG")
        << QStringLiteral("Are you sure you want to replace all the \"img\"'s with \"IMG\"'s?");
    QTest::newRow("spaces are shown as typed")
        << QStringLiteral(" a ") << QStringLiteral("b ")
        << QStringLiteral("Are you sure you want to replace all the \" a \"'s with \"b \"'s?");
    QTest::newRow("empty texts leave empty quotes")
        << QString() << QString()
        << QStringLiteral("Are you sure you want to replace all the \"\"'s with \"\"'s?");
}

void TestTextSearch::confirmationPrompt() {
    QFETCH(QString, find);
    QFETCH(QString, with);
    QFETCH(QString, expected);

    QCOMPARE(replaceConfirmationPrompt(find, with), expected);
}

QTEST_GUILESS_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
