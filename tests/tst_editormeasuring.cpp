// The source box places every character of a line where the toolkit's own text layout puts
// it, whether the editor measured the line quickly from its per-font tables or laid it out
// through the toolkit (what it does when TARVELL_EDITOR_TOOLKIT_LAYOUT is set): a caret, a
// selection or a found match never sits beside the glyph it belongs to.

#include "widgets/sourcebox.h"

#include <QFont>
#include <QtTest>

namespace {

constexpr char ToolkitLayout[] = "TARVELL_EDITOR_TOOLKIT_LAYOUT";

// Where each character of the first line begins, in pixels from the box's left edge.
QList<long> characterPositions(const QString& line, const QFont& font) {
    SourceBox box;
    // As the window's form gives it: the box's own font, which its highlighting follows.
    box.QWidget::setFont(font);
    box.resize(400, 150);
    box.show();
    box.setSourceText(line);
    // Coloured first, as it is on screen: each run of one style is measured on its own.
    box.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
    const long lineEnd = box.SendScintilla(QsciScintillaBase::SCI_GETLINEENDPOSITION, 0L);
    QList<long> positions;
    for (long at = 0;;) {
        positions << box.SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0L, at);
        const long next = box.SendScintilla(QsciScintillaBase::SCI_POSITIONAFTER, at);
        if (at >= lineEnd || next <= at)
            break;
        at = next;
    }
    return positions;
}

QFont sizedFont(const QString& family, qreal points) {
    QFont font(family);
    font.setPointSizeF(points);
    return font;
}

} // namespace

class TestEditorMeasuring : public QObject {
    Q_OBJECT

private slots:
    void charactersSitWhereTheToolkitPutsThem_data();
    void charactersSitWhereTheToolkitPutsThem();
};

void TestEditorMeasuring::charactersSitWhereTheToolkitPutsThem_data() {
    QTest::addColumn<QFont>("font");
    QTest::addColumn<QString>("line");

    // Kerning pairs, the sequences fonts join into ligatures, mark-up in every style the
    // highlighting gives, and runs long enough to be measured in pieces.
    QString markup = QStringLiteral(
        "<html><head><title>AVATAR To WAVy Tell</title><style>p{color:#f00}</style>"
        "<script>var ffi = \"fl\" + 'ff'; if (a != b && c >= d) { f(); } // gone</script>"
        "</head><body><!-- note --> <a href=\"Te.html\" class='Yo'>LT Vo P. r, y.</a>");
    while (markup.size() < 4000)
        markup += QStringLiteral("<p id=\"x%1\">AWAY fjord Tj yy--></p> ").arg(markup.size());
    const QString nonAscii = QStringLiteral("<p>caf\u00e9 AV \u5b57 To</p><a>fi\u00a0fl</a> AVA");

    const QFont programFont = sizedFont(QStringLiteral("Arial"), 8.25);
    const QFont defaultFont = QFont();
    const QFont fixedFont = sizedFont(QStringLiteral("Liberation Mono"), 10);
    QTest::newRow("mark-up, the program's font") << programFont << markup;
    QTest::newRow("mark-up, the default font") << defaultFont << markup;
    QTest::newRow("mark-up, a fixed-width font") << fixedFont << markup;
    QTest::newRow("mark-up, a large font") << sizedFont(QStringLiteral("Arial"), 21) << markup;
    QTest::newRow("non-ASCII among ASCII, the program's font") << programFont << nonAscii;
    QTest::newRow("non-ASCII among ASCII, the default font") << defaultFont << nonAscii;
}

void TestEditorMeasuring::charactersSitWhereTheToolkitPutsThem() {
    QFETCH(QFont, font);
    QFETCH(QString, line);

    qputenv(ToolkitLayout, "1");
    const QList<long> expected = characterPositions(line, font);
    qunsetenv(ToolkitLayout);
    const QList<long> positions = characterPositions(line, font);

    QCOMPARE(positions.size(), expected.size());
    for (qsizetype i = 0; i < positions.size(); ++i) {
        if (positions[i] != expected[i])
            QFAIL(qPrintable(QStringLiteral("character %1 at %2 px, where the toolkit puts it "
                                            "at %3 px")
                                 .arg(i)
                                 .arg(positions[i])
                                 .arg(expected[i])));
    }
}

QTEST_MAIN(TestEditorMeasuring)
#include "tst_editormeasuring.moc"
