// The editor starts a line after every CR LF, every lone CR and every lone LF of the text it
// is given, and nowhere else, however the line ends fall among the bytes it skips in one step
// and between the slices a big page goes in by.

#include "widgets/sourcebox.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// Where each line starts, in bytes of the text's UTF-8, read straight from the rule.
QList<long> literalLineStarts(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    QList<long> starts{0};
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
            starts << long(i + 1);
    }
    return starts;
}

QList<long> editorLineStarts(const SourceBox& box) {
    QList<long> starts;
    const long lines = box.SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
    for (long line = 0; line < lines; ++line)
        starts << box.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
    return starts;
}

// Line ends and runs of every length around an eight-byte step, ASCII and not.
QString randomLines(quint32 seed) {
    const QStringList pieces{"\r", "\n", "\r\n", "\u00e9", "\u2028", "<a>"};
    QRandomGenerator random(seed);
    QString text;
    for (int i = 0; i < 400; ++i) {
        text += random.bounded(2) ? pieces[random.bounded(int(pieces.size()))]
                                  : QString(random.bounded(0, 18), QLatin1Char('w'));
    }
    return text;
}

} // namespace

class TestEditorLines : public QObject {
    Q_OBJECT

private slots:
    void linesStartAfterEveryLineEnd_data();
    void linesStartAfterEveryLineEnd();
};

void TestEditorLines::linesStartAfterEveryLineEnd_data() {
    QTest::addColumn<QString>("text");

    QTest::newRow("no line end") << QString(100, QLatin1Char('w'));
    QTest::newRow("line ends at both ends") << QStringLiteral("\r\nab\r");
    QTest::newRow("line ends of every kind at every offset, seed 1") << randomLines(1);
    QTest::newRow("line ends of every kind at every offset, seed 2") << randomLines(2);
    // A big page goes in by slices of 4 Mi characters: here the first ends between CR and LF.
    QTest::newRow("CR LF split between two slices")
        << QString((4 << 20) - 1, QLatin1Char('w')) + QStringLiteral("\r\nx\ry");
}

void TestEditorLines::linesStartAfterEveryLineEnd() {
    QFETCH(QString, text);
    SourceBox box;

    box.setSourceText(text);

    QCOMPARE(editorLineStarts(box), literalLineStarts(text));
}

QTEST_MAIN(TestEditorLines)
#include "tst_editorlines.moc"
