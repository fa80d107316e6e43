// Reading a fetched document's bytes as text, by the web's rules for charset labels.

#include "logic/documentdecoding.h"
#include "logic/metaprescan.h"
#include "logic/pagetuning.h"

#include <QTest>

#include <algorithm>

class TestDocumentDecoding : public QObject {
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void findsTheMetaCharset_data();
    void findsTheMetaCharset();
};

void TestDocumentDecoding::decodes_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("text");

    const QByteArray smuggled = "<meta charset=\"utf-7\">+ADw-script+AD4-";
    QTest::newRow("meta utf-7 is never used") << smuggled << QByteArray() << QString(smuggled);
    QTest::newRow("header utf-7 is never used")
        << QByteArray("+ADw-a+AD4-") << QByteArray("text/html; charset=utf-7")
        << QString("+ADw-a+AD4-");
    QTest::newRow("meta utf-32 reads as UTF-8")
        << QByteArray("<meta charset=utf-32>caf\xC3\xA9") << QByteArray()
        << QString("<meta charset=utf-32>caf\u00E9");
    QTest::newRow("meta utf-16 reads as UTF-8")
        << QByteArray("<meta charset=\"UTF-16LE\">caf\xC3\xA9") << QByteArray()
        << QString("<meta charset=\"UTF-16LE\">caf\u00E9");
    QTest::newRow("header utf-16 is honoured")
        << QByteArray("a\0b\0", 4) << QByteArray("text/html; charset=utf-16") << QString("ab");
    QTest::newRow("label with white space and capitals")
        << QByteArray("\xE9") << QByteArray("text/html; charset=\" Latin1 \"") << QString("\u00E9");
    QTest::newRow("us-ascii is windows-1252")
        << QByteArray("\x80") << QByteArray("text/html; charset=us-ascii") << QString("\u20AC");
    QTest::newRow("koi8-r by its alias koi")
        << QByteArray("\xC1") << QByteArray("text/html; charset=koi") << QString("\u0430");
    QTest::newRow("iso-8859-9 is windows-1254")
        << QByteArray("\x80") << QByteArray("text/html; charset=iso-8859-9") << QString("\u20AC");
    QTest::newRow("a replacement label reads as one replacement character")
        << QByteArray("\x1B$)C<script>") << QByteArray("text/html; charset=iso-2022-kr")
        << QString(QChar::ReplacementCharacter);
    QTest::newRow("x-user-defined keeps one character per byte")
        << QByteArray("a\x80\xFF") << QByteArray("text/html; charset=x-user-defined")
        << QString("a\uF780\uF7FF");
    QTest::newRow("byte-order mark outranks the header")
        << QByteArray("\xEF\xBB\xBF\xC3\xA9") << QByteArray("text/html; charset=latin1")
        << QString("\u00E9");
    QTest::newRow("unknown label falls back to UTF-8")
        << QByteArray("\xC3\xA9") << QByteArray("text/html; charset=klingon") << QString("\u00E9");
    // Big documents are decoded a few megabytes at a time; no character may notice.
    const qsizetype slice = PageTuning::kDecodingSliceBytes;
    const QByteArray run(slice - 2, 'a');
    QTest::newRow("three-byte character across the first slice's end")
        << run + "\xE2\x82\xAC\xF0\x9F\x98\x80z" << QByteArray()
        << QString(run) + "\u20AC\U0001F600z";
    QTest::newRow("bytes that are not UTF-8 in the second slice: windows-1252 throughout")
        << run + "\xC3\xA9" + QByteArray(10, 'b') + "\xE9" << QByteArray()
        << QString(run) + "\u00C3\u00A9" + QString(10, 'b') + "\u00E9";
    QTest::newRow("UTF-16 pair across the first slice's end")
        << QByteArray("\xFF\xFE") + QByteArray(slice - 2, '\0') + QByteArray("\x3D\xD8\x00\xDE", 4)
        << QByteArray() << QString(slice / 2 - 1, QChar(0)) + "\U0001F600";
    QTest::newRow("unknown label and bytes that are not UTF-8: windows-1252")
        << QByteArray("\xE9") << QByteArray("text/html; charset=klingon") << QString("\u00E9");
    QTest::newRow("meta utf-32 declares UTF-8: a byte that is not UTF-8 is replaced")
        << QByteArray("<meta charset=utf-32>\xE9") << QByteArray()
        << QString("<meta charset=utf-32>\uFFFD");
    QTest::newRow("meta x-user-defined reads as windows-1252")
        << QByteArray("<meta charset=x-user-defined>\x80") << QByteArray()
        << QString("<meta charset=x-user-defined>\u20AC");
    // Cut into slices of a byte or of eleven, these cross every slice's end.
    QTest::newRow("characters of every length after a byte-order mark, and marks within")
        << "\xEF\xBB\xBF" +
               QByteArray("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBB\xBF").repeated(3) + 'z'
        << QByteArray() << QString("a\u00E9\u20AC\U0001F600\uFEFF").repeated(3) + 'z';
    QTest::newRow("a UTF-16 pair after a byte-order mark, big-endian")
        << QByteArray("\xFE\xFF\x00"
                      "a\xD8\x3D\xDE\x00\x00z",
                      10)
        << QByteArray() << QString("a\U0001F600z");
    QTest::newRow("declared, decoded as it comes past the first 4 KB")
        << QByteArray(5000, 'a') + "\xC3\xA9" << QByteArray("text/html; charset=utf-8")
        << QString(5000, 'a') + "\u00E9";
    QTest::newRow("a byte that is not UTF-8 after characters that are: windows-1252 throughout")
        << QByteArray("caf\xC3\xA9 \xE2\x82\xAC!\xE9 ok") << QByteArray()
        << QString("caf\u00C3\u00A9 \u00E2\u201A\u00AC!\u00E9 ok");
    QTest::newRow("windows-1252 at either end of its table of 0x80 to 0x9F")
        << QByteArray("\x7F\x80\x9F\xA0\xFF") << QByteArray("text/html; charset=windows-1252")
        << QString("\u007F\u20AC\u0178\u00A0\u00FF");
}

void TestDocumentDecoding::decodes() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, text);

    const QString decoded = decodeDocument(body, contentType);
    QVERIFY(decoded == text); // not QCOMPARE: megabytes would be printed on failure

    // However the bytes come, a byte at a time into tiny slices, or in pieces that are not
    // slices, and without the length known beforehand, the text is the same.
    const bool small = body.size() < 65536;
    const QList<qsizetype> slices =
        small ? QList<qsizetype>{1, 11} : QList<qsizetype>{PageTuning::kDecodingSliceBytes};
    for (const qsizetype slice : slices) {
        DocumentDecoder decoder(contentType, -1, slice);
        const qsizetype piece = small ? 1 : 4093;
        for (qsizetype at = 0; at < body.size(); at += piece)
            decoder.feed(QByteArrayView(body).sliced(at, std::min(piece, body.size() - at)));
        QVERIFY2(decoder.finish() == text, qPrintable(QString::number(slice)));
    }
}

void TestDocumentDecoding::findsTheMetaCharset_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("encoding"); // empty: none declared
    const auto row = [](const char* name, const QByteArray& head, const char* encoding = "") {
        QTest::newRow(name) << head << QByteArray(encoding);
    };
    const char* const greek = "ISO-8859-7";
    row("meta in a comment", "<!-- a > b <meta charset=iso-8859-7> -->");
    row("\"<!-->\" is a whole comment", "<!--><meta charset=iso-8859-7>", greek);
    row("meta in another tag's value", "<div data-x=\"<meta charset=iso-8859-7>\">");
    row("meta in an end tag's value", "</p x='><meta charset=iso-8859-7>'>");
    row("\"<!\", \"</\" and \"<?\" run to the first \">\"",
        "<?x <meta charset=iso-8859-7><! <meta charset=koi8-r></ <meta charset=koi8-u>");
    row("<metadata> is another tag", "<metadata charset=iso-8859-7>");
    row("content needs http-equiv", "<meta content=\"text/html; charset=iso-8859-7\">");
    row("content with http-equiv, label up to \";\"",
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=iso-8859-7;x=y\">", greek);
    row("unknown label: the next meta", "<meta charset=bogus><meta charset=iso-8859-7>", greek);
    row("the first meta wins", "<meta charset=iso-8859-7><meta charset=koi8-r>", greek);
    row("only the first of a name counts", "<meta charset=bogus charset=iso-8859-7>");
    row("charset outranks an earlier content",
        "<meta http-equiv=content-type content=\"charset=koi8-r\" charset=iso-8859-7>", greek);
    row("a later content gives way to charset",
        "<meta charset=iso-8859-7 http-equiv=content-type content=\"charset=koi8-r\">", greek);
    row("unmatched quote in content",
        "<meta http-equiv=content-type content=\"charset='iso-8859-7\">");
    row("quoted label in content, spaces around \"=\"",
        "<meta http-equiv=content-type content=\"charset = 'iso-8859-7'\">", greek);
    row("\"charset\" without \"=\" in content",
        "<meta http-equiv=content-type content=\"charset; charset=iso-8859-7\">", greek);
    row("unquoted value keeps a \"/\"", "<meta charset=iso-8859-7/>");
    row("\"/\" before an attribute", "<meta/charset=iso-8859-7>", greek);
    row("spaces around an attribute's \"=\"", "<meta charset = \"iso-8859-7\">", greek);
    row("attribute without a value", "<meta x charset=iso-8859-7>", greek);
    // The last byte of the reach closes the quote; the ">" lies beyond.
    row("meta cut off by the reach", QByteArray(4070, ' ') + "<meta charset=\"iso-8859-7\">");
}

void TestDocumentDecoding::findsTheMetaCharset() {
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, encoding);
    QCOMPARE(encodingOfFirstMeta(head), encoding);
}

QTEST_GUILESS_MAIN(TestDocumentDecoding)
#include "tst_documentdecoding.moc"
