#include "logic/duplicateremoval.h"
#include "logic/referencescanner.h"
#include "logic/trimspaces.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

const QString base = QStringLiteral("http://127.0.0.1/dir/");

QString letters(int count) {
    return QString(count, QLatin1Char('a'));
}

// Up to `most` pieces in a row, drawn at random.
QString randomText(const QStringList& pieces, QRandomGenerator& random, int most) {
    QString text;
    for (int i = random.bounded(1, most); i > 0; --i)
        text += pieces[random.bounded(int(pieces.size()))];
    return text;
}

// The page-link rule read literally: one search per extension, a walk back all the way to a
// delimiter, the length judged afterwards. Slow, and obviously what the rule says.
QStringList literalPageLinks(const QString& s) {
    const QStringList extensions{".htm", ".html", ".shtml", ".js", ".css", ".cgi", ".pl"};
    QStringList entries;
    const qsizetype firstEquals = s.indexOf('=');
    for (const QString& e : extensions) {
        for (qsizetype p = s.indexOf(e, 0); p >= 0; p = s.indexOf(e, p + 1)) {
            if (firstEquals < 0 || p < firstEquals)
                continue;
            QString r;
            for (qsizetype j = p; j >= firstEquals; --j) {
                if (s[j] == '=' || s[j] == '"')
                    break;
                r.prepend(s[j]);
            }
            if (r.size() >= 250 || trimSpaces(r).isEmpty() || trimSpaces(r) == ".")
                continue;
            r.replace("%3a", ":");
            r.replace("%2f", "/");
            if (e == ".htm" && p + 4 < s.size() && s[p + 4].toLower() == 'l')
                continue;
            entries << trimSpaces(r) + e.mid(1);
        }
    }
    return entries;
}

// The file-reference rule read literally, in the same way.
QStringList literalFileReferences(const QString& s, const QString& baseUrl) {
    const QStringList extensions{".jpg", ".gif", ".mid",   ".zip", ".exe", ".wav",
                                 ".txt", ".mp3", ".class", ".ico", ".vbx", ".ocx",
                                 ".bmp", ".hlp", ".java",  ".doc", ".bas", ".rar"};
    QStringList entries;
    const qsizetype firstEquals = s.indexOf('=');
    for (const QString& e : extensions) {
        for (qsizetype p = s.indexOf(e, 0); p >= 0; p = s.indexOf(e, p + 1)) {
            if (firstEquals < 0 || p < firstEquals)
                continue;
            QString r;
            for (qsizetype j = p; j >= firstEquals; --j) {
                if (s[j] == '=' || s[j] == '"')
                    break;
                r.prepend(s[j]);
            }
            if (r.size() >= 250)
                continue;
            if (r.startsWith("..."))
                r.remove(0, 3);
            if (r.startsWith("/"))
                r.remove(0, 1);
            const QString lowered = r.toLower();
            const bool address = lowered.contains("www.") || lowered.contains("http://") ||
                                 lowered.contains("https://");
            entries << (address ? QString() : baseUrl) + trimSpaces(r) + e.mid(1);
        }
    }
    return entries;
}

} // namespace

class TestReferenceScanner : public QObject {
    Q_OBJECT

private slots:
    void pageLinks_data();
    void pageLinks();
    void fileReferences_data();
    void fileReferences();
    void spacesTrimmed_data();
    void spacesTrimmed();
    void agreesWithTheLiteralRuleOnRandomText();
    void listsEachLinkOnceAmongMillions();
    void fileReferencesAgreeWithTheLiteralRuleOnRandomText();
};

void TestReferenceScanner::pageLinks_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("double-quoted reference after href=")
        << QStringLiteral("<a href=\"dir/page.htm\">x</a>") << QStringList{"dir/page.htm"};
    QTest::newRow("unquoted .html is taken once, by the .html pass")
        << QStringLiteral("<a href=page.html>") << QStringList{"page.html"};
    QTest::newRow(".htmL is dropped by .htm and not found by .html")
        << QStringLiteral("<a href=\"page.htmL\">") << QStringList{};
    QTest::newRow(".htm at the very end of the text is kept")
        << QStringLiteral("<a href=\"page.htm") << QStringList{"page.htm"};
    QTest::newRow("single quote is collected")
        << QStringLiteral("<script src='x.js'>") << QStringList{"'x.js"};
    QTest::newRow("lower-case %2f becomes a slash")
        << QStringLiteral("<a href=\"a%2fb.js\">") << QStringList{"a/b.js"};
    QTest::newRow("upper-case %2F stays")
        << QStringLiteral("<a href=\"a%2Fb.js\">") << QStringList{"a%2Fb.js"};
    QTest::newRow("lower-case %3a becomes a colon, upper-case %3A stays")
        << QStringLiteral("<a href=\"http%3a%2f%2fh%3A.htm\">") << QStringList{"http://h%3A.htm"};
    QTest::newRow("query after the extension is cut off")
        << QStringLiteral("<a href=\"cgi-bin/s.cgi?q=1\">") << QStringList{"cgi-bin/s.cgi"};
    QTest::newRow("upper-case extension yields nothing")
        << QStringLiteral("<a href=\"PAGE.HTM\">") << QStringList{};
    QTest::newRow("extension at the start of a longer one is cut after the listed one")
        << QStringLiteral("<a href=\"app.jsp\">") << QStringList{"app.js"};
    QTest::newRow("occurrence before the first = yields nothing")
        << QStringLiteral("see page.htm <a href=\"x.htm\">") << QStringList{"x.htm"};
    QTest::newRow("text without = yields nothing")
        << QStringLiteral("<a href page.htm>") << QStringList{};
    QTest::newRow("candidate of 249 characters is accepted")
        << QStringLiteral("x=\"") + letters(248) + QStringLiteral(".htm\"")
        << QStringList{letters(248) + QStringLiteral(".htm")};
    QTest::newRow("candidate of 250 characters is rejected")
        << QStringLiteral("x=\"") + letters(249) + QStringLiteral(".htm\"") << QStringList{};
    QTest::newRow("after a rejected long candidate the next one starts empty")
        << QStringLiteral("x=\"") + letters(300) + QStringLiteral(".htm\" y=\"b.htm\"")
        << QStringList{"b.htm"};
    QTest::newRow("= right before the dot gives a rejected dot")
        << QStringLiteral("<script src=\".js\">") << QStringList{};
    QTest::newRow("spaces and a dot are rejected")
        << QStringLiteral("<a href=\"  .htm\">") << QStringList{};
    QTest::newRow("spaces around the reference are removed")
        << QStringLiteral("<a href=\"  a b.htm\">") << QStringList{"a b.htm"};
    QTest::newRow("tab before the reference is kept")
        << QStringLiteral("<a href=\"\ta.htm\">") << QStringList{"\ta.htm"};
    QTest::newRow("angle brackets and line breaks are collected")
        << QStringLiteral("<body x=1>\r\nsee a.htm") << QStringList{"1>\r\nsee a.htm"};
    QTest::newRow("walk ends at the nearer of = and double quote")
        << QStringLiteral("<a href=\"x=y.htm\">") << QStringList{"y.htm"};
    QTest::newRow("references of one extension in text order")
        << QStringLiteral("<a href=\"b.htm\"><a href=\"a.htm\">") << QStringList{"b.htm", "a.htm"};
    QTest::newRow("extensions in list order, whatever their text order")
        << QStringLiteral("a=\"1.pl\" b=\"2.cgi\" c=\"3.css\" d=\"4.js\" e=\"5.shtml\" "
                          "f=\"6.html\" g=\"7.htm\"")
        << QStringList{"7.htm", "6.html", "5.shtml", "4.js", "3.css", "2.cgi", "1.pl"};
    QTest::newRow("overlapping occurrences of one extension are each found")
        << QStringLiteral("<script src=\"a.js.js\">") << QStringList{"a.js", "a.js.js"};
    QTest::newRow("repeated reference is listed once, at its first place")
        << QStringLiteral("<a href=\"a.htm\"><a href=\"b.htm\"><a href=\"a.htm\">")
        << QStringList{"a.htm", "b.htm"};
    QTest::newRow("file extensions are not page links")
        << QStringLiteral("<img src=\"a.gif\">") << QStringList{};
}

void TestReferenceScanner::pageLinks() {
    QFETCH(QString, source);
    QFETCH(QStringList, expected);

    QCOMPARE(scanPageLinks(source), expected);
}

void TestReferenceScanner::fileReferences_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("baseUrl");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("relative reference is put behind the folder")
        << QStringLiteral("<img src=\"images/logo.gif\">") << base
        << QStringList{base + "images/logo.gif"};
    QTest::newRow("leading slash is dropped, staying in the page's folder")
        << QStringLiteral("<img src=\"/images/logo.gif\">") << base
        << QStringList{base + "images/logo.gif"};
    QTest::newRow("leading space keeps the slash")
        << QStringLiteral("<img src=\" /x.gif\">") << base << QStringList{base + "/x.gif"};
    QTest::newRow("three dots are dropped, then one slash")
        << QStringLiteral("<img src=\".../x.gif\">") << base << QStringList{base + "x.gif"};
    QTest::newRow("leading space keeps the three dots")
        << QStringLiteral("<img src=\" ...x.gif\">") << base << QStringList{base + "...x.gif"};
    QTest::newRow("three dots alone go, the extension's dot with them")
        << QStringLiteral("<img src=\"...gif\">") << base << QStringList{base + "gif"};
    QTest::newRow("two dots are kept")
        << QStringLiteral("<img src=\"../x.gif\">") << base << QStringList{base + "../x.gif"};
    QTest::newRow("http:// in capitals is an address already, cut after the extension")
        << QStringLiteral("<img src=\"HTTP://127.0.0.1/a.gif?x=1\">") << base
        << QStringList{"HTTP://127.0.0.1/a.gif"};
    QTest::newRow("https:// is an address already")
        << QStringLiteral("<img src=\"https://127.0.0.1/a.gif\">") << base
        << QStringList{"https://127.0.0.1/a.gif"};
    QTest::newRow("www. anywhere is an address already")
        << QStringLiteral("<img src=\"pics.WWW.example/a.gif\">") << base
        << QStringList{"pics.WWW.example/a.gif"};
    QTest::newRow("= right before the dot gives the folder and the extension")
        << QStringLiteral("<img src=\".gif\">") << base << QStringList{base + ".gif"};
    QTest::newRow("percent sequences are not decoded")
        << QStringLiteral("<a href=\"a%20b%2fc.zip\">") << base
        << QStringList{base + "a%20b%2fc.zip"};
    QTest::newRow("longer extension is cut after the listed one")
        << QStringLiteral("<embed src=\"file.midi\">") << base << QStringList{base + "file.mid"};
    QTest::newRow("upper-case extension yields nothing")
        << QStringLiteral("<img src=\"PIC.GIF\">") << base << QStringList{};
    QTest::newRow("text without = yields nothing")
        << QStringLiteral("<img src a.gif>") << base << QStringList{};
    QTest::newRow("occurrence before the first = yields nothing")
        << QStringLiteral("a.gif <img src=\"b.gif\">") << base << QStringList{base + "b.gif"};
    QTest::newRow("repeated reference is listed once, at its first place")
        << QStringLiteral("<img src=\"a.gif\"><img src=\"b.gif\"><img src=\"a.gif\">") << base
        << QStringList{base + "a.gif", base + "b.gif"};
    QTest::newRow("candidate of 249 characters is accepted")
        << QStringLiteral("x=\"") + letters(248) + QStringLiteral(".zip\"") << base
        << QStringList{base + letters(248) + QStringLiteral(".zip")};
    QTest::newRow("candidate of 250 characters is rejected")
        << QStringLiteral("x=\"") + letters(249) + QStringLiteral(".zip\"") << base
        << QStringList{};
    QTest::newRow("extensions in list order, whatever their text order")
        << QStringLiteral("a=\"1.rar\" b=\"2.class\" c=\"3.gif\" d=\"4.jpg\"") << base
        << QStringList{base + "4.jpg", base + "3.gif", base + "2.class", base + "1.rar"};
    QTest::newRow("page links are not file references")
        << QStringLiteral("<a href=\"a.htm\">") << base << QStringList{};
    QTest::newRow("empty folder leaves relative references as found")
        << QStringLiteral("<img src=\"a.gif\">") << QString() << QStringList{"a.gif"};
}

void TestReferenceScanner::fileReferences() {
    QFETCH(QString, source);
    QFETCH(QString, baseUrl);
    QFETCH(QStringList, expected);

    QCOMPARE(scanFileReferences(source, baseUrl), expected);
}

void TestReferenceScanner::spacesTrimmed_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("leading and trailing spaces go")
        << QStringLiteral("  a b  ") << QStringLiteral("a b");
    QTest::newRow("tabs stay") << QStringLiteral("\ta\t") << QStringLiteral("\ta\t");
    QTest::newRow("line breaks stay")
        << QStringLiteral("\r\n a \r\n") << QStringLiteral("\r\n a \r\n");
    QTest::newRow("only spaces become empty") << QStringLiteral("   ") << QString();
    QTest::newRow("empty stays empty") << QString() << QString();
}

void TestReferenceScanner::spacesTrimmed() {
    QFETCH(QString, text);
    QFETCH(QString, expected);

    QCOMPARE(trimSpaces(text), expected);
}

void TestReferenceScanner::agreesWithTheLiteralRuleOnRandomText() {
    // Pieces that make extensions, delimiters, percent sequences and long runs likely.
    const QStringList pieces{".htm", ".html", ".shtml", ".js", ".jsp", ".css",
                             ".cgi", ".pl",   ".HTM",   "l",   "L",    "=",
                             "\"",   "'",     " ",      "%3a", "%2f",  "/",
                             ".",    "...",   "a",      "x",   "\r\n", QString(120, 'w')};
    QRandomGenerator random(20261207);
    for (int round = 0; round < 3000; ++round) {
        const QString text = randomText(pieces, random, 60);
        QCOMPARE(scanPageLinks(text), withoutDuplicates(literalPageLinks(text)));
    }
}

void TestReferenceScanner::listsEachLinkOnceAmongMillions() {
    // More links than the scan takes in one go, repeated across the whole page.
    const int different = 700000;
    QString page = QStringLiteral("<html>");
    QStringList expected;
    for (int i = 0; i < 1200000; ++i) {
        const QString link = QStringLiteral("p") + QString::number(i % different, 36) +
                             (i % 5 ? QStringLiteral(".htm") : QStringLiteral("%3a.htm"));
        page += QStringLiteral("=") + link + QLatin1Char(' ');
    }
    for (int i = 0; i < different; ++i) {
        expected << QStringLiteral("p") + QString::number(i, 36) +
                        (i % 5 ? QStringLiteral(".htm") : QStringLiteral(":.htm"));
    }

    QCOMPARE(scanPageLinks(page), expected);
}

void TestReferenceScanner::fileReferencesAgreeWithTheLiteralRuleOnRandomText() {
    const QStringList pieces{".gif",
                             ".jpg",
                             ".midi",
                             ".class",
                             ".GIF",
                             "=",
                             "\"",
                             "'",
                             " ",
                             "/",
                             "...",
                             ".",
                             "www.",
                             "HTTP://",
                             "a",
                             "\r\n",
                             QString(120, 'w')};
    QRandomGenerator random(20261208);
    for (int round = 0; round < 3000; ++round) {
        const QString text = randomText(pieces, random, 60);
        QCOMPARE(scanFileReferences(text, base),
                 withoutDuplicates(literalFileReferences(text, base)));
    }
}

QTEST_GUILESS_MAIN(TestReferenceScanner)
#include "tst_referencescanner.moc"
