// The main window's text tools as a user drives them: Find Next, Replace All, Take out HTML,
// Copy All, Open URL and About, each through its button.

#include "main/tarvellmain.h"
#include "support/mainwindowfixture.h"
#include "widgets/sourcebox.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <memory>

// Receives what "Open URL" hands to the desktop instead of a real browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

class TestTextTools : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void findNextStepsThroughOverlappingMatches();
    void findNextIgnoresCaseAndStartsOverAfterTheEnd();
    void findNextOnEmptySource();
    void findNextSkipsAHandMadeSelection();
    void findNextSelectsTheMatchWhateverPrecedesIt_data();
    void findNextSelectsTheMatchWhateverPrecedesIt();
    void replaceAllAsksFirst();
    void replaceAllAnsweredNoChangesNothing();
    void replaceAllWithTheInitialTexts();
    void takeOutHtmlStripsABigPageWhileTheWindowDraws_data();
    void takeOutHtmlStripsABigPageWhileTheWindowDraws();
    void copyAllSelectsAndCopiesEverything_data();
    void copyAllSelectsAndCopiesEverything();
    void openUrlHandsOverOnlyWebAddresses_data();
    void openUrlHandsOverOnlyWebAddresses();
    void aboutTextCharacterForCharacter();
    void enterInTheSourceBoxEndsTheLineWithCrLf();
    void colourLeavesTheTextAsItWas();
    void bigTextsGoInAndOutInPieces_data();
    void bigTextsGoInAndOutInPieces();
    void aBoxClosedWhileABigTextGoesIn();
    void loneSurrogatesReadBackAsTheEditorHoldsThem_data();
    void loneSurrogatesReadBackAsTheEditorHoldsThem();

private:
    void setSource(const QString& text);
    MainWindowFixture m_main;
};

void TestTextTools::initTestCase() {
    QString error;
    QVERIFY2(MainWindowFixture::registerControls(&error), qPrintable(error));
}

void TestTextTools::init() {
    QString error;
    QVERIFY2(m_main.open(&error), qPrintable(error));
}

void TestTextTools::cleanup() {
    m_main.close();
}

void TestTextTools::setSource(const QString& text) {
    m_main.window->sourceBox()->setSourceText(text);
    m_main.window->sourceBox()->setSelection(0, 0);
}

void TestTextTools::findNextStepsThroughOverlappingMatches() {
    setSource("aaaa");
    m_main.window->findBox()->setText("aa");
    HostedButton findNext = m_main.window->findNextButton();
    for (int expected : {0, 1, 2}) {
        findNext.click();
        QCOMPARE(m_main.window->sourceBox()->selectionStart(), qsizetype(expected));
        QCOMPARE(m_main.window->sourceBox()->selectionLength(), qsizetype(2));
    }
    QVERIFY(m_main.boxes->messages.isEmpty());
    findNext.click();
    QCOMPARE(m_main.boxes->texts(), QStringList{"Finished searching text."});
    QCOMPARE(m_main.boxes->messages.first().icon, MessageIcon::Question);
    QCOMPARE(m_main.window->sourceBox()->selectionStart(), qsizetype(0));
    QCOMPARE(m_main.window->sourceBox()->selectionLength(), qsizetype(0));
}

void TestTextTools::findNextIgnoresCaseAndStartsOverAfterTheEnd() {
    setSource("<IMG src=a><img src=b>\r\n<Img>");
    m_main.window->findBox()->setText("img");
    HostedButton findNext = m_main.window->findNextButton();
    findNext.click();
    QCOMPARE(m_main.window->sourceBox()->selectionStart(), qsizetype(1));
    findNext.click();
    QCOMPARE(m_main.window->sourceBox()->selectionStart(), qsizetype(12));
    findNext.click();
    QCOMPARE(m_main.window->sourceBox()->selectionStart(), qsizetype(25));
    QCOMPARE(m_main.window->sourceBox()->selectedText(), QString("Img"));
    findNext.click();
    QCOMPARE(m_main.boxes->messages.size(), 1);
    findNext.click();
    QCOMPARE(m_main.window->sourceBox()->selectionStart(), qsizetype(1));
}

void TestTextTools::findNextOnEmptySource() {
    setSource("");
    m_main.window->findBox()->setText("x");
    m_main.window->findNextButton().click();
    QCOMPARE(m_main.boxes->texts(), QStringList{"Finished searching text."});
    QCOMPARE(m_main.window->sourceBox()->selectionStart(), qsizetype(0));
}

void TestTextTools::findNextSkipsAHandMadeSelection() {
    setSource("ab ab ab");
    m_main.window->findBox()->setText("ab");
    m_main.window->sourceBox()->setSelection(3, 4);
    m_main.window->findNextButton().click();
    QCOMPARE(m_main.window->sourceBox()->selectionStart(), qsizetype(6));
    // A caret at the very end finds nothing more.
    m_main.window->sourceBox()->setSelection(8, 0);
    m_main.window->findNextButton().click();
    QCOMPARE(m_main.boxes->messages.size(), 1);
}

void TestTextTools::findNextSelectsTheMatchWhateverPrecedesIt_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("expectedStart");

    QTest::newRow("zero-width no-break space at the start")
        << QString(QChar(0xFEFF)) + QStringLiteral("<b>x</b>abc") << 9;
    QTest::newRow("characters outside the basic plane")
        << QStringLiteral("\U0001F600\U0001F600abc") << 4;
    QTest::newRow("NUL and multi-byte characters")
        << QStringLiteral("a") + QChar(0) + QStringLiteral("\u00E9\u4E2Dabc") << 4;
    QTest::newRow("mixed line ends") << QStringLiteral("\r\r\n\nabc") << 4;
    QTest::newRow("two-byte characters: Cyrillic, Greek, Hebrew, Arabic")
        << QStringLiteral("\u041F\u0440\u0438 \u03B1\u03B2 \u05D0 \u0627\u07FFabc") << 11;
}

void TestTextTools::findNextSelectsTheMatchWhateverPrecedesIt() {
    QFETCH(QString, source);
    QFETCH(int, expectedStart);
    setSource(source);
    QCOMPARE(m_main.window->sourceBox()->sourceText(), source);
    m_main.window->findBox()->setText("ABC");
    m_main.window->findNextButton().click();
    QCOMPARE(m_main.window->sourceBox()->selectionStart(), qsizetype(expectedStart));
    QCOMPARE(m_main.window->sourceBox()->selectionLength(), qsizetype(3));
    QCOMPARE(m_main.window->sourceBox()->selectedText(), QString("abc"));
}

void TestTextTools::replaceAllAsksFirst() {
    setSource("img IMG img");
    m_main.window->findBox()->setText("img");
    m_main.window->replaceBox()->setText(" pic ");
    m_main.window->replaceAllButton().click();
    QCOMPARE(m_main.boxes->messages.size(), 1);
    const MessageRequest& ask = m_main.boxes->messages.first();
    QCOMPARE(ask.text,
             QString("Are you sure you want to replace all the \"img\"'s with \" pic \"'s?"));
    QCOMPARE(ask.buttons, MessageButtons::YesNo);
    QCOMPARE(ask.icon, MessageIcon::None);
    QCOMPARE(ask.title, QString("Orvane"));
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString(" pic  IMG  pic "));
}

void TestTextTools::replaceAllAnsweredNoChangesNothing() {
    setSource("aaa");
    m_main.window->sourceBox()->setSelection(1, 1);
    m_main.window->findBox()->setText("aa");
    m_main.window->replaceBox()->setText("b");
    m_main.boxes->answers.enqueue(MessageAnswer::No);
    m_main.window->replaceAllButton().click();
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("aaa"));
    QCOMPARE(m_main.window->sourceBox()->selectionStart(), qsizetype(1));
    QCOMPARE(m_main.window->sourceBox()->selectionLength(), qsizetype(1));

    m_main.window->replaceAllButton().click();
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("ba"));
}

void TestTextTools::replaceAllWithTheInitialTexts() {
    setSource("Find What? and Find What?");
    m_main.window->replaceAllButton().click();
    QCOMPARE(m_main.boxes->texts().value(0),
             QString("Are you sure you want to replace all the \"Find What?\"'s with "
                     "\"Replace with...\"'s?"));
    QCOMPARE(m_main.window->sourceBox()->sourceText(),
             QString("Replace with... and Replace with..."));
}

void TestTextTools::takeOutHtmlStripsABigPageWhileTheWindowDraws_data() {
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("line"); // each of the page's lines as the box shows it after
    const QString crlf = QStringLiteral("\r\n");
    QTest::newRow("nothing") << ""
                             << "word" + crlf.repeated(3);
    QTest::newRow("typing is refused") << "type"
                                       << "word" + crlf.repeated(3);
    QTest::newRow("Replace All waits for the stripped text") << "replace"
                                                             << "w" + crlf.repeated(3);
    // Three line breaks in a row become one, once a strip.
    QTest::newRow("a second strip acts on the first one's text") << "strip"
                                                                 << "word" + crlf;
}

void TestTextTools::takeOutHtmlStripsABigPageWhileTheWindowDraws() {
    QFETCH(QString, meanwhile);
    QFETCH(QString, line);
    SourceBox* box = m_main.window->sourceBox();
    setSource(QString("<p>wo</p>rd" + QStringLiteral("\r\n").repeated(9)).repeated(200000));
    QSignalSpy set(box, &SourceBox::textSet);
    m_main.window->takeOutHtmlButton().click();
    QVERIFY(box->isReadOnly());
    if (meanwhile == "type")
        QTest::keyClicks(box, "typed");
    m_main.window->findBox()->setText("word");
    m_main.window->replaceBox()->setText("w");
    if (meanwhile == "replace")
        m_main.window->replaceAllButton().click();
    if (meanwhile == "strip")
        m_main.window->takeOutHtmlButton().click();
    QVERIFY(set.wait(20000));
    QTRY_VERIFY(!box->isReadOnly());
    QTRY_VERIFY(box->sourceText() == line.repeated(200000)); // not QCOMPARE: megabytes
    QCOMPARE(m_main.boxes->messages.size(), meanwhile == "replace" ? 1 : 0);
}

void TestTextTools::copyAllSelectsAndCopiesEverything_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("line breaks included") << QString("one\r\ntwo\r\r\nthree\n");
    QTest::newRow("empty text") << QString();
}

void TestTextTools::copyAllSelectsAndCopiesEverything() {
    QFETCH(QString, text);
    QGuiApplication::clipboard()->setText("something before");
    setSource(text);
    m_main.window->copyAllButton().click();
    QCOMPARE(QGuiApplication::clipboard()->text(), text);
    QCOMPARE(m_main.window->sourceBox()->selectionStart(), qsizetype(0));
    QCOMPARE(m_main.window->sourceBox()->selectionLength(), qsizetype(text.size()));
    QVERIFY(m_main.boxes->messages.isEmpty());
}

void TestTextTools::openUrlHandsOverOnlyWebAddresses_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("opened");
    QTest::newRow("http address") << "http://www.example.com/a.html"
                                  << "http://www.example.com/a.html";
    QTest::newRow("https address") << "https://example.org/"
                                   << "https://example.org/";
    QTest::newRow("no scheme is taken as http") << "www.example.com/x"
                                                << "http://www.example.com/x";
    QTest::newRow("host with port") << "localhost:8080/p"
                                    << "http://localhost:8080/p";
    QTest::newRow("empty address") << ""
                                   << "";
    QTest::newRow("file address") << "file:///etc/passwd"
                                  << "";
    QTest::newRow("local path") << "/usr/bin/xterm"
                                << "";
    QTest::newRow("script address") << "javascript:alert(1)"
                                    << "";
    QTest::newRow("other scheme") << "smb://server/share"
                                  << "";
}

void TestTextTools::openUrlHandsOverOnlyWebAddresses() {
    QFETCH(QString, typed);
    QFETCH(QString, opened);
    UrlCatcher catcher;
    for (const char* scheme : {"http", "https", "file", "javascript", "smb"})
        QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    m_main.window->addressBox()->setText(typed);
    m_main.window->openUrlButton().click();
    for (const char* scheme : {"http", "https", "file", "javascript", "smb"})
        QDesktopServices::unsetUrlHandler(scheme);

    if (opened.isEmpty()) {
        QVERIFY(catcher.opened.isEmpty());
        QCOMPARE(m_main.boxes->texts(),
                 QStringList{"There was an error in opening the default browser."});
        QCOMPARE(m_main.boxes->messages.first().icon, MessageIcon::Stop);
    } else {
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(opened)});
        QVERIFY(m_main.boxes->messages.isEmpty());
    }
}

void TestTextTools::aboutTextCharacterForCharacter() {
    m_main.window->aboutButton().click();
    QCOMPARE(m_main.boxes->messages.size(), 1);
    const MessageRequest& box = m_main.boxes->messages.first();
    QCOMPARE(box.icon, MessageIcon::Question);
    QCOMPARE(box.buttons, MessageButtons::Ok);
    QCOMPARE(box.title, QString("Orvane"));
    const QStringList lines = box.text.split(QChar(13));
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines[0], QString("Program:\tTarvell 1.0"));
    QVERIFY(lines[1].startsWith("Author: \tOrvane ("));
    QVERIFY(lines[1].endsWith(")"));
    QCOMPARE(lines[2], QString("Written:\t10.12.99"));
    QCOMPARE(lines[3], QString());
    QCOMPARE(lines[4], QString("Read the \"Read Me\" file that came with this program for more "
                               "information."));
    QVERIFY(lines[5].startsWith("Also not that this program is not perfect. It's still very new. "
                                "If you get an error please e-mail me at \""));
    QVERIFY(lines[5].endsWith("\" telling me what happened."));
    QVERIFY(!box.text.contains(QChar(10)));
}

void TestTextTools::enterInTheSourceBoxEndsTheLineWithCrLf() {
    setSource("ab");
    m_main.window->sourceBox()->setSelection(1, 0);
    QTest::keyClick(m_main.window->sourceBox(), Qt::Key_Return);
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("a\r\nb"));
}

void TestTextTools::colourLeavesTheTextAsItWas() {
    const QString page = QStringLiteral(
        "<html>\r\n<!-- a comment -->\r\n<style>p { color: red; }</style>\r\n<script>var x = "
        "\"<b>\";</script>\r\r\n<p class=\"\u00E9t\u00E9\">\u041F\u0440\u0438 \U0001F600 "
        "Word</p>\n");
    setSource(page);
    SourceBox* box = m_main.window->sourceBox();
    box->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
    // Coloured: the tag, the comment and the script each in a style of their own.
    const auto styleAt = [&](const QString& what) {
        const qsizetype at = page.indexOf(what);
        return box->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT,
                                  static_cast<unsigned long>(page.left(at).toUtf8().size()));
    };
    QVERIFY(styleAt("html") != 0);
    QVERIFY(styleAt("a comment") != styleAt("html"));
    QVERIFY(styleAt("var") != styleAt("html"));

    QCOMPARE(box->sourceText(), page);
    m_main.window->findBox()->setText("word");
    m_main.window->findNextButton().click();
    QCOMPARE(box->selectionStart(), page.indexOf("Word"));
    QCOMPARE(box->selectedText(), QString("Word"));
    m_main.window->copyAllButton().click();
    QCOMPARE(QGuiApplication::clipboard()->text(), page);
    m_main.window->findBox()->setText("\r\n");
    m_main.window->replaceBox()->setText("|");
    m_main.window->replaceAllButton().click();
    QCOMPARE(box->sourceText(), QString(page).replace("\r\n", "|"));
}

void TestTextTools::bigTextsGoInAndOutInPieces_data() {
    QTest::addColumn<int>("meanwhile");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("shownAfter"); // "big" for the big text
    enum { Nothing, SetAnother, Cancel };
    QTest::newRow("a big text set aside comes in whole")
        << int(Nothing) << int(SourceBox::Outcome::Shown) << "big";
    QTest::newRow("a text set while a big one goes in wins")
        << int(SetAnother) << int(SourceBox::Outcome::Superseded) << "small";
    QTest::newRow("a cancelled one leaves what the box showed")
        << int(Cancel) << int(SourceBox::Outcome::Superseded) << "before";
}

void TestTextTools::bigTextsGoInAndOutInPieces() {
    QFETCH(int, meanwhile);
    QFETCH(int, outcome);
    QFETCH(QString, shownAfter);
    SourceBox* box = m_main.window->sourceBox();
    box->setSourceText("before");
    // Slices of 4 Mi characters: with a two-byte character and a surrogate pair across the end
    // of the first.
    const QString big =
        QString((4 << 20) - 1, 'a') + QStringLiteral("\u00E9\U0001F600") + QString(9 << 20, 'b');
    QSignalSpy set(box, &SourceBox::textSet);
    const quint64 setting = box->setSourceTextAside(big);
    // The box goes on showing what it had until the new text is complete.
    QCOMPARE(box->sourceText(), QString("before"));
    if (meanwhile == 1)
        box->setSourceText("small");
    if (meanwhile == 2)
        box->cancelTextAside();
    QVERIFY(set.wait(20000));
    QCOMPARE(set.first().at(0).value<quint64>(), setting);
    QCOMPARE(int(set.first().at(1).value<SourceBox::Outcome>()), outcome);
    const QString expected = shownAfter == "big" ? big : shownAfter;
    QVERIFY(box->sourceText() == expected); // not QCOMPARE: megabytes on failure
    // Read back from the editor, not from the copy the box keeps.
    box->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, 1UL, "x");
    QVERIFY(box->sourceText() == expected + "x");
    QTest::qWait(50);
    QCOMPARE(set.size(), 1);
}

void TestTextTools::aBoxClosedWhileABigTextGoesIn() {
    // The worker filling the new document outlives the box and lets the document go itself.
    const QString big(20 << 20, 'a');
    auto* box = new SourceBox;
    box->setSourceTextAside(big);
    delete box;
    QTest::qWait(300);
}

void TestTextTools::loneSurrogatesReadBackAsTheEditorHoldsThem_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const QString pair = QString(QChar(0xD83D)) + QChar(0xDE00);
    QTest::newRow("a pair among ASCII") << "abc" + pair + "defgh"
                                        << "abc" + pair + "defgh";
    QTest::newRow("a high one alone among ASCII") << "abcdefg" + QString(QChar(0xD83D)) + "h"
                                                  << "abcdefg?h";
    QTest::newRow("a low one alone at the end") << "ab" + QString(QChar(0xDE00)) << "ab?";
    QTest::newRow("Cyrillic and a lone one")
        << QStringLiteral("\u0416\u0416\u0416\u0416") + QChar(0xDE00) + "x"
        << QStringLiteral("\u0416\u0416\u0416\u0416?x");
}

void TestTextTools::loneSurrogatesReadBackAsTheEditorHoldsThem() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    SourceBox box;
    QCOMPARE(box.setSourceText(text), text == shown);
    QCOMPARE(box.sourceText(), shown);
}

QTEST_MAIN(TestTextTools)
#include "tst_texttools.moc"
