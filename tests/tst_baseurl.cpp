#include "logic/baseurl.h"

#include <QTest>

class TestBaseUrl : public QObject {
    Q_OBJECT

private slots:
    void folderOfAddress_data();
    void folderOfAddress();
    void addressWithoutFolder_data();
    void addressWithoutFolder();
};

void TestBaseUrl::folderOfAddress_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ending in a slash is a folder already")
        << QStringLiteral("http://host.org/dir/") << QStringLiteral("http://host.org/dir/");
    QTest::newRow("host ending in .com gets a slash")
        << QStringLiteral("http://www.example.com") << QStringLiteral("http://www.example.com/");
    QTest::newRow(".com in any letter case gets a slash")
        << QStringLiteral("HTTP://WWW.EXAMPLE.CoM") << QStringLiteral("HTTP://WWW.EXAMPLE.CoM/");
    QTest::newRow(".com without any slash still gets one")
        << QStringLiteral("example.com") << QStringLiteral("example.com/");
    QTest::newRow("address that is just .com") << QStringLiteral(".com") << QStringLiteral(".com/");
    QTest::newRow(".COM in capitals after a path wins over the file-name test")
        << QStringLiteral("http://host.org/x.COM") << QStringLiteral("http://host.org/x.COM/");
    QTest::newRow(".com after a path wins over the file-name test")
        << QStringLiteral("http://host.org/x.com") << QStringLiteral("http://host.org/x.com/");
    QTest::newRow("file name after the last slash is cut off")
        << QStringLiteral("http://host.org/dir/page.html")
        << QStringLiteral("http://host.org/dir/");
    QTest::newRow("file name with a query is cut off with it")
        << QStringLiteral("http://host.org/dir/find.cgi?q=1")
        << QStringLiteral("http://host.org/dir/");
    QTest::newRow("folder name without dot gets a slash")
        << QStringLiteral("http://host.org/dir") << QStringLiteral("http://host.org/dir/");
    QTest::newRow("dot only before the last slash is not a file name")
        << QStringLiteral("http://host.org/a.b/c") << QStringLiteral("http://host.org/a.b/c/");
    QTest::newRow("scheme and host without path is the host's folder")
        << QStringLiteral("http://www.example.org") << QStringLiteral("http://www.example.org/");
    QTest::newRow("scheme and host with a port is the host's folder")
        << QStringLiteral("https://127.0.0.1:8080") << QStringLiteral("https://127.0.0.1:8080/");
    QTest::newRow("file right under the host keeps the host")
        << QStringLiteral("http://www.example.org/index.htm")
        << QStringLiteral("http://www.example.org/");
    QTest::newRow("file name under a triple slash is cut off")
        << QStringLiteral("file:///page.htm") << QStringLiteral("file:///");
}

void TestBaseUrl::folderOfAddress() {
    QFETCH(QString, address);
    QFETCH(QString, expected);

    const std::optional<QString> folder = folderAddress(address);

    QVERIFY(folder.has_value());
    QCOMPARE(*folder, expected);
}

void TestBaseUrl::addressWithoutFolder_data() {
    QTest::addColumn<QString>("address");

    QTest::newRow("no slash and not ending in .com") << QStringLiteral("example.org");
    QTest::newRow("empty address") << QString();
    QTest::newRow("shorter than .com without slash") << QStringLiteral("com");
    QTest::newRow("backslashes are no folder separators") << QStringLiteral("C:\\dir\\a.htm");
}

void TestBaseUrl::addressWithoutFolder() {
    QFETCH(QString, address);

    const std::optional<QString> folder = folderAddress(address);

    QVERIFY2(!folder.has_value(), qPrintable(folder.value_or(QString())));
}

QTEST_GUILESS_MAIN(TestBaseUrl)
#include "tst_baseurl.moc"
