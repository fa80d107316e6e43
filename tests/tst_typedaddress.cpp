// How a typed address is read, by the fetch and by "Open URL" alike.

#include "scan/typedaddress.h"

#include <QTest>

class TestTypedAddress : public QObject {
    Q_OBJECT

private slots:
    void readsAsABrowserWould_data();
    void readsAsABrowserWould();
};

void TestTypedAddress::readsAsABrowserWould_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("address"); // empty: refused

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
                           << "";
    QTest::newRow("spaces only") << "   "
                                 << "";
    QTest::newRow("scheme without a host") << "http://"
                                           << "";
    QTest::newRow("file address") << "file:///etc/passwd"
                                  << "";
    QTest::newRow("local path") << "/usr/bin/xterm"
                                << "";
    QTest::newRow("windows share") << "\\\\server\\share"
                                   << "";
    QTest::newRow("script") << "javascript:alert(1)"
                            << "";
    QTest::newRow("other scheme") << "ftp://localhost/a.zip"
                                  << "";
}

void TestTypedAddress::readsAsABrowserWould() {
    QFETCH(QString, typed);
    QFETCH(QString, address);

    QString problem;
    const std::optional<QUrl> read = readTypedAddress(typed, &problem);
    QCOMPARE(read ? read->toString(QUrl::FullyEncoded) : QString(), address);
    QCOMPARE(problem.isEmpty(), read.has_value());
}

QTEST_GUILESS_MAIN(TestTypedAddress)
#include "tst_typedaddress.moc"
