#include "logic/linkresolution.h"

#include <QTest>

namespace {
const QString base = QStringLiteral("http://127.0.0.1/dir/");
}

class TestLinkResolution : public QObject {
    Q_OBJECT

private slots:
    void resolves_data();
    void resolves();
};

void TestLinkResolution::resolves_data() {
    QTest::addColumn<QString>("reference");
    QTest::addColumn<QString>("baseUrl");
    QTest::addColumn<QString>("expected");

    QTest::newRow("relative reference goes behind the folder")
        << QStringLiteral("a.htm") << base << base + "a.htm";
    QTest::newRow("leading slash stays inside the page's folder")
        << QStringLiteral("/images/a.htm") << base << base + "images/a.htm";
    QTest::newRow("three leading dots are dropped")
        << QStringLiteral("...x.htm") << base << base + "x.htm";
    QTest::newRow("three dots then one slash are dropped")
        << QStringLiteral(".../x.htm") << base << base + "x.htm";
    QTest::newRow("only one of two leading slashes is dropped")
        << QStringLiteral("//x.htm") << base << base + "/x.htm";
    QTest::newRow("dot slash is not treated")
        << QStringLiteral("./x.htm") << base << base + "./x.htm";
    QTest::newRow("dot dot slash is not treated")
        << QStringLiteral("../x.htm") << base << base + "../x.htm";
    QTest::newRow("http:// in capitals is an address already")
        << QStringLiteral("HTTP://127.0.0.1/x.htm") << base
        << QStringLiteral("HTTP://127.0.0.1/x.htm");
    QTest::newRow("http:// after other text is an address already")
        << QStringLiteral("go?to=http://127.0.0.1/x.htm") << base
        << QStringLiteral("go?to=http://127.0.0.1/x.htm");
    QTest::newRow("https:// is an address already")
        << QStringLiteral("https://127.0.0.1/x.htm") << base
        << QStringLiteral("https://127.0.0.1/x.htm");
    QTest::newRow("www. anywhere is an address already")
        << QStringLiteral("Www.example.org/x.htm") << base
        << QStringLiteral("Www.example.org/x.htm");
    QTest::newRow("address already keeps its leading slash dropped")
        << QStringLiteral("/www.example.org/x.htm") << base
        << QStringLiteral("www.example.org/x.htm");
    QTest::newRow("empty folder leaves the reference as it is")
        << QStringLiteral("x.htm") << QString() << QStringLiteral("x.htm");
}

void TestLinkResolution::resolves() {
    QFETCH(QString, reference);
    QFETCH(QString, baseUrl);
    QFETCH(QString, expected);

    QCOMPARE(resolveLink(reference, baseUrl), expected);
}

QTEST_GUILESS_MAIN(TestLinkResolution)
#include "tst_linkresolution.moc"
