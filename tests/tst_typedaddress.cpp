// How a typed address is read, by the fetch and by "Open URL" alike.

#include "logic/typedaddress.h"

#include <QTest>

class TestTypedAddress : public QObject {
    Q_OBJECT

private slots:
    void readsAsABrowserWould_data();
    void readsAsABrowserWould();
};

void TestTypedAddress::readsAsABrowserWould_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("address"); // or "refused: " and words of the reason

    QTest::newRow("http") << "http://127.0.0.1/a.html"
                          << "http://127.0.0.1/a.html";
    QTest::newRow("https in capitals") << "HTTPS://localhost/"
                                       << "https://localhost/";
    QTest::newRow("white space around") << " \thttp://localhost/x \r\n"
                                        << "http://localhost/x";
    QTest::newRow("no scheme is http") << "www.example.com/x"
                                       << "http://www.example.com/x";
    QTest::newRow("host and port") << "localhost:8080/p"
                                   << "http://localhost:8080/p";
    QTest::newRow("host with an empty port") << "example.com:"
                                             << "http://example.com";
    QTest::newRow("two slashes, no scheme") << "//localhost/p"
                                            << "http://localhost/p";
    QTest::newRow("space in the path") << "http://localhost/a b.html"
                                       << "http://localhost/a%20b.html";
    QTest::newRow("bar and braces") << "localhost/a|b{c}"
                                    << "http://localhost/a%7Cb%7Bc%7D";
    QTest::newRow("stray percent sign") << "http://localhost/100%"
                                        << "http://localhost/100%25";
    QTest::newRow("empty") << ""
                           << "refused: No address";
    QTest::newRow("spaces only") << "   "
                                 << "refused: No address";
    QTest::newRow("scheme without a host") << "http://"
                                           << "refused: not valid";
    QTest::newRow("file address") << "file:///etc/passwd"
                                  << "refused: scheme \"file\"";
    QTest::newRow("local path") << "/usr/bin/xterm"
                                << "refused: not valid";
    QTest::newRow("windows share") << "\\\\server\\share"
                                   << "refused: is a path";
    QTest::newRow("script") << "javascript:alert(1)"
                            << "refused: scheme \"javascript\"";
    QTest::newRow("other scheme") << "ftp://localhost/a.zip"
                                  << "refused: scheme \"ftp\"";
}

void TestTypedAddress::readsAsABrowserWould() {
    QFETCH(QString, typed);
    QFETCH(QString, address);

    QString problem;
    const std::optional<QUrl> read = readTypedAddress(typed, &problem);
    const QString refused = QStringLiteral("refused: ");
    QCOMPARE(read ? read->toString(QUrl::FullyEncoded) : QString(),
             address.startsWith(refused) ? QString() : address);
    QCOMPARE(problem.isEmpty(), read.has_value());
    if (address.startsWith(refused))
        QVERIFY2(problem.contains(address.mid(refused.size())), qPrintable(problem));
}

QTEST_GUILESS_MAIN(TestTypedAddress)
#include "tst_typedaddress.moc"
