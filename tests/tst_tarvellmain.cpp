// The main window: its layout, its start, fetching a page, the link list and GoTo, and what
// every failure leaves on screen. Pages come from a server on 127.0.0.1.

#include "logic/programstate.h"
#include "main/tarvellmain.h"
#include "support/mainwindowfixture.h"
#include "support/testhttpserver.h"
#include "transfer/inet.h"
#include "widgets/nativewindowwatch.h"
#include "widgets/sourcebox.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

#if __has_include(<xcb/xproto.h>)
#include <xcb/xproto.h>
#endif

namespace {

const char* const Idle = "Get HTML Source";

QStringList comboEntries(const QComboBox* combo) {
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

TestHttpServer::Response page(const QByteArray& body, int status = 200) {
    TestHttpServer::Response r;
    r.status = status;
    r.reason = status == 200 ? "OK" : "Error";
    r.headers = {{"Content-Type", "text/html; charset=utf-8"}};
    r.body = body;
    return r;
}

// Records the button's Enabled state at each of its change notices.
class EnabledRecorder : public QObject {
    Q_OBJECT
public:
    EnabledRecorder(const HostedButton& button, QList<bool>* states)
        : m_button(button)
        , m_states(states) {
        connect(button.widget(), SIGNAL(propertyChanged(QString)), this, SLOT(noted(QString)));
    }
public Q_SLOTS:
    void noted(const QString& name) {
        if (name == QLatin1String("Enabled"))
            m_states->append(m_button.isEnabled());
    }

private:
    HostedButton m_button;
    QList<bool>* m_states;
};

} // namespace

class TestTarvellMain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void layoutOfEveryControl_data();
    void layoutOfEveryControl();
    void windowAfterStart();
    void titleGrowsFromTheRight();
    void tabOrder();
    void tabKeyMovesOnFromTheSourceBox_data();
    void tabKeyMovesOnFromTheSourceBox();
    void fadeIsPaintedIntoTheBackground();

    void fetchShowsSourceWithFixedLineEnds();
    void fetchFillsLinkListAndFolderAddress();
    void previousPageLeadsTheNextList();
    void emptyDocumentStillRefillsTheList();
    void enterFetchesOtherKeysDoNot();
    void secondClickCancelsTheFetch();
    void enterCancelsTheFetch();
    void cancelDuringTheScan();
    void failuresKeepThePreviousPage_data();
    void failuresKeepThePreviousPage();
    void linksResolveAgainstTheAddressFinallyFetched_data();
    void linksResolveAgainstTheAddressFinallyFetched();
    void hostileDocumentsAreShown_data();
    void hostileDocumentsAreShown();
    void fiftyMegabytePageIsShown();
    void rapidClicksDuringFetchAndScan();
    void closingTheWindowWhileFetching_data();
    void closingTheWindowWhileFetching();

    void missingControlLibraryIsReported();

    void goToResolvesAndFetches_data();
    void goToResolvesAndFetches();
    void goToWithNothingToGoTo();

private:
    void fetch(const QString& address);
    // Waits until the page load a click or a key started has ended.
    void settle();
    MainWindowFixture m_main;
    std::unique_ptr<TestHttpServer> m_server;
};

void TestTarvellMain::initTestCase() {
    QString error;
    QVERIFY2(MainWindowFixture::registerControls(&error), qPrintable(error));
}

void TestTarvellMain::init() {
    m_server = std::make_unique<TestHttpServer>();
    QString error;
    QVERIFY2(m_main.open(&error), qPrintable(error));
    m_main.window->transfer()->setStallTimeout(2000);
}

void TestTarvellMain::cleanup() {
    m_main.close();
    m_server.reset();
}

void TestTarvellMain::fetch(const QString& address) {
    m_main.window->addressBox()->setText(address);
    m_main.window->fetchButton().click();
    settle();
}

void TestTarvellMain::settle() {
    QVERIFY(QTest::qWaitFor([this] { return !m_main.window || !m_main.window->isLoadingPage(); },
                            60000));
}

void TestTarvellMain::layoutOfEveryControl_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");

    QTest::newRow("link list") << "Combo1" << QRect(3120, 3540, 2895, 330) << "";
    QTest::newRow("replace box") << "ReplaceBox" << QRect(4620, 3240, 1395, 255)
                                 << "Replace with...";
    QTest::newRow("find box") << "FindBox" << QRect(4620, 2880, 1395, 255) << "Find What?";
    QTest::newRow("source box") << "Text1" << QRect(120, 480, 5895, 2295)
                                << "HTML Appears Here\r\n";
    QTest::newRow("address box") << "urlbox" << QRect(1680, 120, 4335, 255)
                                 << "http://www.example.com/";
    QTest::newRow("fetch") << "Lumet1" << QRect(120, 120, 1455, 255) << "Get HTML Source";
    QTest::newRow("copy") << "Lumet3" << QRect(120, 2880, 1395, 255) << "Copy All";
    QTest::newRow("strip") << "Lumet4" << QRect(1620, 2880, 1395, 255) << "Take out HTML";
    QTest::newRow("find") << "Lumet2" << QRect(3120, 2880, 1395, 255) << "Find Next";
    QTest::newRow("open") << "Lumet5" << QRect(120, 3240, 1395, 255) << "Open URL";
    QTest::newRow("files") << "Lumet6" << QRect(1620, 3240, 1395, 255) << "Find Files";
    QTest::newRow("replace") << "Lumet7" << QRect(3120, 3240, 1395, 255) << "Replace All";
    QTest::newRow("go to") << "Lumet8" << QRect(1620, 3600, 1395, 255) << "GoTo:";
    QTest::newRow("about") << "Lumet9" << QRect(120, 3600, 1395, 255) << "About";
}

void TestTarvellMain::layoutOfEveryControl() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, text);

    QWidget* control = m_main.window->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    if (name.startsWith("Lumet")) {
        QCOMPARE(HostedButton(m_main.window->findChild<QWidget*>(name)).caption(), text);
        QCOMPARE(control->property("ForeColor").toUInt(), 0xFFFFFFu);
        QCOMPARE(control->property("BackColor").toUInt(), 0u);
        QVERIFY(HostedButton(m_main.window->findChild<QWidget*>(name)).isEnabled());
    } else if (auto* box = qobject_cast<QLineEdit*>(control)) {
        QCOMPARE(box->text(), text);
    } else if (auto* source = qobject_cast<SourceBox*>(control)) {
        QCOMPARE(source->sourceText(), text);
    }
    const QFont font = control->font();
    QCOMPARE(font.family(), QString("Arial"));
    QCOMPARE(font.pointSizeF(), 8.25);
    QCOMPARE(font.weight(), QFont::Normal);
    QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
}

void TestTarvellMain::windowAfterStart() {
    QCOMPARE(m_main.window->windowTitle(), QString("Tarvell 1.0 by Orvane"));
    QCOMPARE(m_main.window->size(), QSize(6120 / 15, 3960 / 15));
    QCOMPARE(m_main.window->minimumSize(), m_main.window->maximumSize());
    QVERIFY(!(m_main.window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(m_main.window->windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(comboEntries(m_main.window->linkList()), QStringList{QString()});
    QVERIFY(Program::BaseURL.isEmpty());
    QVERIFY(Program::PageURL.isEmpty());

    const QRect screen = m_main.window->screen()->geometry();
    const QPoint centre = m_main.window->frameGeometry().center();
    QVERIFY2(qAbs(centre.x() - screen.center().x()) <= 1 &&
                 qAbs(centre.y() - screen.center().y()) <= 1,
             "the window is centred on the screen");
}

void TestTarvellMain::titleGrowsFromTheRight() {
    TarvellMain window;
    QStringList titles;
    connect(&window, &QWidget::windowTitleChanged, this,
            [&titles](const QString& title) { titles << title; });
    window.load();

    const QString title = "Tarvell 1.0 by Orvane";
    QStringList expected;
    for (qsizetype k = title.size(); k >= 1; --k)
        expected << title.mid(k - 1);
    QTRY_COMPARE(titles, expected);
}

void TestTarvellMain::tabOrder() {
    const QStringList expected = {"Lumet1", "urlbox",  "Text1",  "Lumet3", "Lumet4",
                                  "Lumet2", "FindBox", "Lumet5", "Lumet6", "ReplaceBox",
                                  "Lumet7", "Lumet8",  "Combo1", "Lumet9"};
    QWidget* w = m_main.window->findChild<QWidget*>("Lumet1");
    QStringList order;
    for (int i = 0; i < expected.size(); ++i) {
        order << w->objectName();
        w = w->nextInFocusChain();
        // Scroll bars and inner parts of a control are not stops of their own.
        while (w->objectName().isEmpty() || !expected.contains(w->objectName()))
            w = w->nextInFocusChain();
    }
    QCOMPARE(order, expected);
}

void TestTarvellMain::tabKeyMovesOnFromTheSourceBox_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("next");
    QTest::newRow("Tab goes on to Copy All") << int(Qt::Key_Tab) << "Lumet3";
    QTest::newRow("Shift+Tab goes back to the address box") << int(Qt::Key_Backtab) << "urlbox";
}

void TestTarvellMain::tabKeyMovesOnFromTheSourceBox() {
    QFETCH(int, key);
    QFETCH(QString, next);
    QApplication::setActiveWindow(m_main.window.get());
    m_main.window->sourceBox()->setFocus();
    QTRY_VERIFY(m_main.window->sourceBox()->hasFocus());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key),
                    key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
    QWidget* focus = QApplication::focusWidget();
    while (focus && focus->objectName().isEmpty())
        focus = focus->parentWidget();
    QVERIFY(focus);
    QCOMPARE(focus->objectName(), next);
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("HTML Appears Here\r\n"));
}

void TestTarvellMain::fadeIsPaintedIntoTheBackground() {
    const QImage background = m_main.window->background().toImage();
    QVERIFY(!background.isNull());
    // The first band is mid grey, the last almost the dark blue it heads for.
    QCOMPARE(QColor(background.pixel(1, 100)), QColor(128, 128, 128));
    QCOMPARE(QColor(background.pixel(404, 100)), QColor(1, 1, 41));
}

void TestTarvellMain::fetchShowsSourceWithFixedLineEnds() {
    m_server->setResponse("/dir/page.html", page("a\nb\r\nc"));
    fetch(m_server->url("/dir/page.html"));
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("a\r\nb\r\r\nc"));
    QCOMPARE(m_main.window->fetchButton().caption(), QString(Idle));
    QVERIFY(m_main.boxes->messages.isEmpty());
}

void TestTarvellMain::fetchFillsLinkListAndFolderAddress() {
    m_server->setResponse("/dir/page.html",
                          page("<a href=\"one.htm\">1</a><a href=\"two.html\">2</a>"
                               "<a href=\"one.htm\">again</a><script src=\"s.js\"></script>"));
    fetch(m_server->url("/dir/page.html"));
    QCOMPARE(Program::BaseURL, m_server->url("/dir/"));
    QCOMPARE(Program::PageURL, m_server->url("/dir/page.html"));
    QCOMPARE(comboEntries(m_main.window->linkList()), (QStringList{"one.htm", "two.html", "s.js"}));
    QCOMPARE(m_main.window->linkList()->currentIndex(), 0);
}

void TestTarvellMain::previousPageLeadsTheNextList() {
    m_server->setResponse("/a.html", page("<a href=\"b.html\">b</a>"));
    m_server->setResponse("/b.html", page("<a href=\"a.html\">a</a><a href=\"c.htm\">c</a>"));
    fetch(m_server->url("/a.html"));
    QCOMPARE(comboEntries(m_main.window->linkList()), QStringList{"b.html"});
    fetch(m_server->url("/b.html"));
    QCOMPARE(comboEntries(m_main.window->linkList()),
             (QStringList{m_server->url("/a.html"), "c.htm", "a.html"}));
    QCOMPARE(Program::PageURL, m_server->url("/b.html"));
}

void TestTarvellMain::emptyDocumentStillRefillsTheList() {
    m_server->setResponse("/first.html", page("<a href=\"x.htm\">x</a>"));
    m_server->setResponse("/empty.html", page(""));
    fetch(m_server->url("/first.html"));
    fetch(m_server->url("/empty.html"));
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString());
    QCOMPARE(comboEntries(m_main.window->linkList()), QStringList{m_server->url("/first.html")});
}

void TestTarvellMain::enterFetchesOtherKeysDoNot() {
    m_server->setResponse("/p.html", page("hello"));
    m_main.window->addressBox()->setText(m_server->url("/p.html"));
    m_main.window->addressBox()->setFocus();
    QTest::keyClicks(m_main.window->addressBox(), "x");
    QTest::keyClick(m_main.window->addressBox(), Qt::Key_Backspace);
    QTest::keyClick(m_main.window->addressBox(), Qt::Key_Tab);
    QCOMPARE(m_server->requestCount("/p.html"), 0);
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("HTML Appears Here\r\n"));

    QTest::keyClick(m_main.window->addressBox(), Qt::Key_Return);
    settle();
    QCOMPARE(m_server->requestCount("/p.html"), 1);
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("hello"));
}

void TestTarvellMain::secondClickCancelsTheFetch() {
    m_server->setResponse("/ok.html", page("<a href=\"k.htm\">k</a>"));
    fetch(m_server->url("/ok.html"));
    TestHttpServer::Response slow = page("never complete");
    slow.stall = true;
    m_server->setResponse("/slow.html", slow);

    HostedButton fetchButton = m_main.window->fetchButton();
    // The button is disabled only while the cancel request runs, then enabled again.
    QList<bool> enabledNotices;
    EnabledRecorder recorder(fetchButton, &enabledNotices);
    // Long enough that only the cancel can end the wait in time.
    m_main.window->transfer()->setStallTimeout(60000);
    QElapsedTimer sinceCancel;
    QTimer::singleShot(100, this, [&] {
        QCOMPARE(fetchButton.caption(), QString("Cancel"));
        QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("Please wait..."));
        sinceCancel.start();
        fetchButton.click();
    });
    fetch(m_server->url("/slow.html"));
    QVERIFY2(sinceCancel.elapsed() < 1000, "the cancel ends the fetch within a second");

    QCOMPARE(fetchButton.caption(), QString(Idle));
    QVERIFY(fetchButton.isEnabled());
    QCOMPARE(enabledNotices, (QList<bool>{false, true}));
    QVERIFY(Program::BaseURL.isEmpty());
    QCOMPARE(Program::PageURL, m_server->url("/ok.html"));
    QCOMPARE(comboEntries(m_main.window->linkList()), QStringList{"k.htm"});
    // The cancelled transfer ends as a failure.
    QCOMPARE(m_main.boxes->texts(), QStringList{"There was an error."});
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("Please wait..."));
}

void TestTarvellMain::enterCancelsTheFetch() {
    TestHttpServer::Response slow = page("x");
    slow.stall = true;
    m_server->setResponse("/slow.html", slow);
    QTimer::singleShot(100, this,
                       [&] { QTest::keyClick(m_main.window->addressBox(), Qt::Key_Return); });
    fetch(m_server->url("/slow.html"));
    QCOMPARE(m_main.window->fetchButton().caption(), QString(Idle));
    QVERIFY(Program::BaseURL.isEmpty());
    QCOMPARE(m_server->requestCount("/slow.html"), 1);
}

void TestTarvellMain::cancelDuringTheScan() {
    m_server->setResponse("/before.html", page("<a href=\"b.htm\">b</a>"));
    fetch(m_server->url("/before.html"));
    // A thousand links, then a tail the search walks back through at every ".htm" without
    // finding a reference: the search runs for a tenth of a second and more after the last
    // byte has come, however busy the machine is.
    QByteArray body;
    for (int i = 0; i < 1000; ++i)
        body += "<a href=\"p" + QByteArray::number(i) + ".htm\">x</a>\n";
    body += QByteArray(300, 'w') + QByteArray("a.htm").repeated(800000);
    m_server->setResponse("/big/index.html", page(body));

    HostedButton fetchButton = m_main.window->fetchButton();
    bool cancelledAfterTheBytes = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!cancelledAfterTheBytes && m_main.window->isLoadingPage() &&
            m_server->requestCount("/big/index.html") == 1 &&
            !m_main.window->transfer()->isFetching()) {
            cancelledAfterTheBytes = true;
            fetchButton.click();
        }
    });
    poll.start(1);
    fetch(m_server->url("/big/index.html"));
    poll.stop();

    // The window as it was before the load, without its folder address: nothing of the
    // cancelled page comes in later.
    QVERIFY(cancelledAfterTheBytes);
    QTest::qWait(500);
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("Please wait..."));
    QVERIFY(Program::BaseURL.isEmpty());
    QCOMPARE(Program::PageURL, m_server->url("/before.html"));
    QCOMPARE(comboEntries(m_main.window->linkList()), QStringList{"b.htm"});
    QCOMPARE(fetchButton.caption(), QString(Idle));
    QCOMPARE(m_main.boxes->texts(), QStringList{"There was an error."});
}

void TestTarvellMain::failuresKeepThePreviousPage_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("kind");
    enum { NotFound, ServerError, Refused, Stall, Dropped, RedirectLoop, BadScheme };
    QTest::newRow("404") << "/missing.html" << int(NotFound);
    QTest::newRow("500") << "/broken.html" << int(ServerError);
    QTest::newRow("connection refused") << "" << int(Refused);
    QTest::newRow("stalled server") << "/stall.html" << int(Stall);
    QTest::newRow("dropped connection") << "/drop.html" << int(Dropped);
    QTest::newRow("redirect loop") << "/loop.html" << int(RedirectLoop);
    QTest::newRow("not a web address") << "" << int(BadScheme);
}

void TestTarvellMain::failuresKeepThePreviousPage() {
    QFETCH(QString, path);
    QFETCH(int, kind);

    m_server->setResponse("/good/page.html", page("<a href=\"x.htm\">x</a>"));
    fetch(m_server->url("/good/page.html"));
    QCOMPARE(comboEntries(m_main.window->linkList()), QStringList{"x.htm"});

    m_server->setResponse("/broken.html", page("oops", 500));
    TestHttpServer::Response stall = page("never sent");
    stall.stall = true;
    m_server->setResponse("/stall.html", stall);
    TestHttpServer::Response drop = page(QByteArray(5000, 'x'));
    drop.dropAfterHeaders = true;
    m_server->setResponse("/drop.html", drop);
    m_server->setRedirect("/loop.html", "/loop2.html");
    m_server->setRedirect("/loop2.html", "/loop.html");

    QString address = m_server->url(path);
    if (kind == 2)
        address = QString("http://127.0.0.1:%1/x.html").arg(TestHttpServer::closedPort());
    if (kind == 6)
        address = "file:///etc/passwd";
    fetch(address);

    QCOMPARE(m_main.boxes->texts(), QStringList{"There was an error."});
    QCOMPARE(m_main.boxes->messages.first().icon, MessageIcon::Stop);
    QCOMPARE(m_main.boxes->messages.first().title, QString("Orvane"));
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("Please wait..."));
    QCOMPARE(m_main.window->fetchButton().caption(), QString(Idle));
    QCOMPARE(Program::BaseURL, m_server->url("/good/"));
    QCOMPARE(Program::PageURL, m_server->url("/good/page.html"));
    QCOMPARE(comboEntries(m_main.window->linkList()), QStringList{"x.htm"});
}

void TestTarvellMain::linksResolveAgainstTheAddressFinallyFetched_data() {
    // HOST stands for the test server's address.
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("folder");
    QTest::newRow("host typed without scheme or folder") << "HOST"
                                                         << "http://HOST/";
    QTest::newRow("page reached through a redirect to another folder")
        << "http://HOST/old/index.html"
        << "http://HOST/new/";
}

void TestTarvellMain::linksResolveAgainstTheAddressFinallyFetched() {
    QFETCH(QString, typed);
    QFETCH(QString, folder);
    const QString host = QString("127.0.0.1:%1").arg(m_server->port());
    typed.replace("HOST", host);
    folder.replace("HOST", host);
    m_server->setResponse("/", page("<a href=\"r.htm\">root</a>"));
    m_server->setRedirect("/old/index.html", m_server->url("/new/index.html"));
    m_server->setResponse("/new/index.html", page("<a href=\"r.htm\">new</a>"));
    m_server->setResponse("/r.htm", page("r"));
    m_server->setResponse("/new/r.htm", page("r"));

    fetch(typed);

    QVERIFY(m_main.boxes->messages.isEmpty());
    QCOMPARE(Program::BaseURL, folder);
    QCOMPARE(Program::PageURL, typed);
    QCOMPARE(m_main.window->addressBox()->text(), typed);
    m_main.window->linkList()->setCurrentIndex(m_main.window->linkList()->findText("r.htm"));
    m_main.window->goToButton().click();
    settle();
    QCOMPARE(m_main.window->addressBox()->text(), folder + "r.htm");

    // The previous page, first in the new list, leads back to the address as it was typed.
    QCOMPARE(m_main.window->linkList()->itemText(0), typed);
    m_main.window->linkList()->setCurrentIndex(0);
    m_main.window->goToButton().click();
    settle();
    QCOMPARE(m_main.window->addressBox()->text(), typed);
    QVERIFY(m_main.boxes->messages.isEmpty());
}

void TestTarvellMain::hostileDocumentsAreShown_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("shown");

    QTest::newRow("NUL bytes kept") << QByteArray("a\0b\nc", 5) << QByteArray("text/html")
                                    << QString::fromUtf16(u"a\u0000b\r\nc", 6);
    QTest::newRow("invalid UTF-8 read as Windows-1252")
        << QByteArray("caf\xe9 \x80") << QByteArray("text/html") << QString::fromUtf8("café €");
    QTest::newRow("a lone surrogate of a UTF-16 page, shown as the editor holds it")
        << QByteArray("\xff\xfe\x00\xd8x\x00", 6) << QByteArray("text/html") << QString("?x");
    QTest::newRow("one long line")
        << QByteArray(1 << 20, 'x') << QByteArray("text/html") << QString(1 << 20, 'x');
}

void TestTarvellMain::hostileDocumentsAreShown() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, shown);
    TestHttpServer::Response r;
    r.headers = {{"Content-Type", contentType}};
    r.body = body;
    m_server->setResponse("/h/x.html", r);
    fetch(m_server->url("/h/x.html"));
    QVERIFY(m_main.boxes->messages.isEmpty());
    QCOMPARE(m_main.window->sourceBox()->sourceText(), shown);
}

void TestTarvellMain::fiftyMegabytePageIsShown() {
    const QByteArray line = "<p><a href=\"item.html\">an item of a very long list</a></p>\n";
    const int lines = 50 * 1024 * 1024 / line.size() + 1;
    m_server->setResponse("/huge/list.html", page(line.repeated(lines)));
    fetch(m_server->url("/huge/list.html"));
    QVERIFY(m_main.boxes->messages.isEmpty());
    // Every LF became CR LF.
    QCOMPARE(m_main.window->sourceBox()->textLength(), qsizetype(lines) * (line.size() + 1));
    QCOMPARE(comboEntries(m_main.window->linkList()), QStringList{"item.html"});
    QCOMPARE(m_main.window->fetchButton().caption(), QString(Idle));
}

void TestTarvellMain::rapidClicksDuringFetchAndScan() {
    QByteArray body;
    for (int i = 0; i < 50000; ++i)
        body += "<a href=\"q" + QByteArray::number(i) + ".htm\">x</a>";
    TestHttpServer::Response r = page(body);
    r.dripChunk = 64 * 1024;
    r.dripIntervalMs = 5;
    m_server->setResponse("/r/index.html", r);

    int presses = 0;
    QTimer hammer;
    // Posted, not sent: each press arrives from the event loop, in the middle of whatever
    // fetch or scan is running, as a user's would.
    const auto post = [](QWidget* to, int key) {
        QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
        QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
    };
    connect(&hammer, &QTimer::timeout, this, [&] {
        ++presses;
        if (presses % 2)
            post(m_main.window->fetchButton().widget(), Qt::Key_Space);
        else
            post(m_main.window->addressBox(), Qt::Key_Return);
    });
    hammer.start(3);
    fetch(m_server->url("/r/index.html"));
    QTRY_VERIFY_WITH_TIMEOUT(presses > 40, 10000);
    hammer.stop();
    // Let the last started fetch, if any, end.
    QTRY_COMPARE_WITH_TIMEOUT(m_main.window->fetchButton().caption(), QString(Idle), 20000);
    QVERIFY(m_main.window->isVisible());
}

void TestTarvellMain::closingTheWindowWhileFetching_data() {
    QTest::addColumn<bool>("destroyedOutside");
    QTest::newRow("closed by its title bar") << false;
#if __has_include(<xcb/xproto.h>)
    QTest::newRow("its native window destroyed by another program") << true;
#endif
}

void TestTarvellMain::closingTheWindowWhileFetching() {
    QFETCH(bool, destroyedOutside);
    const auto goAway = [&] {
        if (!destroyedOutside) {
            m_main.window->close();
            return;
        }
#if __has_include(<xcb/xproto.h>)
        xcb_destroy_notify_event_t notice{};
        notice.response_type = XCB_DESTROY_NOTIFY;
        notice.window = xcb_window_t(m_main.window->internalWinId());
        auto* watch = m_main.window->findChild<NativeWindowWatch*>();
        QVERIFY(watch);
        watch->nativeEventFilter("xcb_generic_event_t", &notice, nullptr);
#endif
    };
    TestHttpServer::Response slow = page("x");
    slow.stall = true;
    m_server->setResponse("/slow.html", slow);
    // Closed before the event loop runs, as during the title animation, nothing quits the
    // fetch's wait: closing has to end it, long before the server would be given up on.
    m_main.window->transfer()->setStallTimeout(600000);
    bool endedByGuard = false;
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, this, [&] {
        endedByGuard = true;
        m_main.window->transfer()->cancel();
    });
    guard.start(20000);
    connect(m_server.get(), &TestHttpServer::requestReceived, this, goAway);
    fetch(m_server->url("/slow.html"));
    QVERIFY(!endedByGuard);
    QVERIFY(!m_main.window->isVisible());
    QVERIFY(m_main.boxes->messages.isEmpty());
    QCOMPARE(m_main.window->fetchButton().caption(), QString(Idle));
    QTimer::singleShot(0, this, [&] { m_main.window.reset(); });
    QTRY_VERIFY(!m_main.window);
}

void TestTarvellMain::missingControlLibraryIsReported() {
    // A registry that knows no control class, as on a machine where the library was never
    // registered: the window still opens and says which class could not be created.
    const QByteArray registry = qgetenv("INPROC_REGISTRY");
    QTemporaryDir empty;
    qputenv("INPROC_REGISTRY", empty.filePath("classes.ini").toLocal8Bit());
    MessageRecorder boxes;
    TarvellMain window;
    qputenv("INPROC_REGISTRY", registry);

    QCOMPARE(window.loadErrors().size(), 9);
    window.load();
    QVERIFY(window.isVisible());
    QTRY_COMPARE(window.windowTitle(), QString("Tarvell 1.0 by Orvane"));
    QCOMPARE(boxes.messages.size(), 1);
    QCOMPARE(boxes.messages.first().icon, MessageIcon::Stop);
    QVERIFY(boxes.messages.first().text.contains("\"Lumet1.Lumet\" is not registered"));
    QVERIFY(window.sourceBox() && window.addressBox() && window.linkList());
    QVERIFY(!window.fetchButton().widget());
}

void TestTarvellMain::goToResolvesAndFetches_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("expectedPath");
    QTest::newRow("relative entry") << "sub/next.htm"
                                    << "/site/sub/next.htm";
    QTest::newRow("leading slash stays in the folder") << "/images/a.htm"
                                                       << "/site/images/a.htm";
    QTest::newRow("three dots dropped") << "...x.htm"
                                        << "/site/x.htm";
    QTest::newRow("spaces around the entry") << "  y.htm  "
                                             << "/site/y.htm";
}

void TestTarvellMain::goToResolvesAndFetches() {
    QFETCH(QString, entry);
    QFETCH(QString, expectedPath);
    m_server->setResponse("/site/index.html", page("start"));
    m_server->setResponse(expectedPath, page("arrived"));
    fetch(m_server->url("/site/index.html"));

    m_main.window->linkList()->addItem(entry);
    m_main.window->linkList()->setCurrentIndex(m_main.window->linkList()->count() - 1);
    m_main.window->goToButton().click();
    settle();
    QCOMPARE(m_main.window->addressBox()->text(), m_server->url(expectedPath));
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("arrived"));
    // The page before the jump leads the new list, so GoTo goes back.
    QCOMPARE(m_main.window->linkList()->itemText(0), m_server->url("/site/index.html"));
}

void TestTarvellMain::goToWithNothingToGoTo() {
    // Before the first load the list holds one empty entry.
    const QString before = m_main.window->addressBox()->text();
    m_main.window->goToButton().click();
    QCOMPARE(m_main.window->addressBox()->text(), before);

    m_main.window->linkList()->addItem("   ");
    m_main.window->linkList()->setCurrentIndex(1);
    m_main.window->goToButton().click();
    m_main.window->linkList()->setCurrentIndex(-1);
    m_main.window->goToButton().click();
    QCOMPARE(m_main.window->addressBox()->text(), before);
    QCOMPARE(m_main.window->sourceBox()->sourceText(), QString("HTML Appears Here\r\n"));
    QVERIFY(m_main.boxes->messages.isEmpty());
}

QTEST_MAIN(TestTarvellMain)
#include "tst_tarvellmain.moc"
