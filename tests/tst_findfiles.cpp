// The file finder: how "Find Files" opens it, its layout, and the list-editing commands as
// their handlers run them. One test drives it end to end through its buttons.

#include "findfiles/findfiles.h"
#include "logic/listediting.h"
#include "logic/programfolder.h"
#include "logic/programstate.h"
#include "support/mainwindowfixture.h"
#include "support/testhttpserver.h"
#include "transfer/inet.h"
#include "transfer/memorysink.h"
#include "widgets/checklist.h"
#include "widgets/checklistmodel.h"
#include "widgets/sourcebox.h"

#include <QApplication>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString folder = QStringLiteral("http://127.0.0.1/dir/");

const QString page = QStringLiteral("<img src=\"a.gif\"><img src=\"b.jpg\"><img src=\"a.gif\">"
                                    "<a href=\"/x.zip\">x</a><img src=\"a.gif\">");

} // namespace

class TestFindFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void refusedWithoutALoadedPage();
    void opensModalWithTheScannedList();
    void layoutOfEveryControl_data();
    void layoutOfEveryControl();
    void tabGoesThroughListAndRow();
    void eachOpeningScansTheSourceAnew();
    void editItem_data();
    void editItem();
    void removeItem();
    void replace_data();
    void replace();
    void spaceTicksTheHighlightedEntry();
    void exitCancelsTheRunningTransfer();
    void endToEndThroughTheButtons();

private:
    FindFiles* openFinder(const QString& source);
    MainWindowFixture m_main;
};

void TestFindFiles::initTestCase() {
    QString error;
    QVERIFY2(MainWindowFixture::registerControls(&error), qPrintable(error));
}

void TestFindFiles::init() {
    QString error;
    QVERIFY2(m_main.open(&error), qPrintable(error));
}

void TestFindFiles::cleanup() {
    m_main.close();
}

FindFiles* TestFindFiles::openFinder(const QString& source) {
    Program::BaseURL = folder;
    m_main.window->sourceBox()->setSourceText(source);
    m_main.window->findFilesButton().click();
    return m_main.window->findChild<FindFiles*>();
}

void TestFindFiles::refusedWithoutALoadedPage() {
    m_main.window->sourceBox()->setSourceText(page);
    Program::BaseURL.clear();
    m_main.window->findFilesButton().click();

    QCOMPARE(m_main.boxes->texts(), QStringList{"No can do, load the HTML code again."});
    QCOMPARE(m_main.boxes->messages.first().icon, MessageIcon::Question);
    QCOMPARE(m_main.boxes->messages.first().title, QString("Orvane"));
    QVERIFY(!m_main.window->findChild<FindFiles*>());
}

void TestFindFiles::opensModalWithTheScannedList() {
    FindFiles* finder = openFinder(page);
    QVERIFY(finder);
    QVERIFY(finder->isVisible());
    QCOMPARE(finder->windowModality(), Qt::ApplicationModal);
    QCOMPARE(finder->windowTitle(), QString("File Options..."));
    // Extension by extension, each in text order; the repeats of a.gif went, its first copy
    // stayed in place.
    QCOMPARE(finder->entryList()->texts(),
             QStringList({folder + "b.jpg", folder + "a.gif", folder + "x.zip"}));
    for (int row = 0; row < finder->entryList()->count(); ++row)
        QVERIFY(!finder->entryList()->isTicked(row));
    QCOMPARE(finder->entryList()->highlighted(), -1);
    QVERIFY(!finder->background().isNull());
    QVERIFY(m_main.boxes->messages.isEmpty());
}

void TestFindFiles::layoutOfEveryControl_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("caption");

    QTest::newRow("list") << "List1" << QRect(120, 120, 7815, 1740) << QString();
    QTest::newRow("download") << "Lumet5" << QRect(120, 1980, 1215, 255) << "Download";
    QTest::newRow("download ticked") << "Lumet1" << QRect(1440, 1980, 1215, 255) << "D/L Checked";
    QTest::newRow("edit") << "Lumet4" << QRect(2760, 1980, 1215, 255) << "Edit Item";
    QTest::newRow("remove") << "Lumet6" << QRect(4080, 1980, 1215, 255) << "Remove Item";
    QTest::newRow("replace") << "Lumet2" << QRect(5400, 1980, 1215, 255) << "Replace";
    QTest::newRow("exit") << "Lumet3" << QRect(6720, 1980, 1215, 255) << "Exit";
}

void TestFindFiles::layoutOfEveryControl() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);

    FindFiles* finder = openFinder(page);
    QVERIFY(finder);
    QCOMPARE(finder->size(), QSize(8040 / 15, 2340 / 15));
    QCOMPARE(finder->minimumSize(), finder->maximumSize());
    QVERIFY(finder->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(finder->windowFlags() & Qt::WindowMaximizeButtonHint));

    QWidget* control = finder->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QCOMPARE(control->font().family(), QString("Arial"));
    QCOMPARE(control->font().pointSizeF(), 8.25);
    if (!caption.isEmpty()) {
        QCOMPARE(HostedButton(finder->findChild<QWidget*>(name)).caption(), caption);
        QCOMPARE(control->property("ForeColor").toUInt(), 0xFFFFFFu);
        QCOMPARE(control->property("ForeColorMO").toUInt(), 0xFFFFFFu);
        QCOMPARE(control->property("BackColor").toUInt(), 0u);
    }
}

void TestFindFiles::tabGoesThroughListAndRow() {
    FindFiles* finder = openFinder(page);
    QVERIFY(finder);
    QApplication::setActiveWindow(finder);
    finder->entryList()->setFocus();
    QStringList order{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order,
             QStringList({"List1", "Lumet5", "Lumet1", "Lumet3", "Lumet4", "Lumet6", "Lumet2"}));
}

void TestFindFiles::eachOpeningScansTheSourceAnew() {
    FindFiles* first = openFinder(page);
    QVERIFY(first);
    const QStringList listed = first->entryList()->texts();
    first->entryList()->setHighlighted(0);
    first->removeItem();
    first->close();
    QTRY_VERIFY(!m_main.window->findChild<FindFiles*>());

    FindFiles* second = openFinder(page);
    QVERIFY(second);
    QCOMPARE(second->entryList()->texts(), listed);

    second->close();
    QTRY_VERIFY(!m_main.window->findChild<FindFiles*>());
    FindFiles* third = openFinder(QStringLiteral("<img src=\"new.bmp\">"));
    QVERIFY(third);
    QCOMPARE(third->entryList()->texts(), QStringList{folder + "new.bmp"});
}

void TestFindFiles::editItem_data() {
    QTest::addColumn<int>("highlighted");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("expected");

    const QStringList before{"one", "two"};
    QTest::newRow("new text replaces the entry in place, tick kept")
        << 1 << true << "zwei" << QStringList{"one", "zwei"};
    QTest::newRow("proposed text unchanged") << 1 << true << "two" << before;
    QTest::newRow("empty answer changes nothing") << 1 << true << "" << before;
    QTest::newRow("cancelled box changes nothing") << 1 << false << "zwei" << before;
    QTest::newRow("nothing highlighted, nothing asked") << -1 << true << "zwei" << before;
    QTest::newRow("the first entry can be edited")
        << 0 << true << "eins" << QStringList{"eins", "two"};
}

void TestFindFiles::editItem() {
    QFETCH(int, highlighted);
    QFETCH(bool, accepted);
    QFETCH(QString, answer);
    QFETCH(QStringList, expected);

    FindFiles* finder = openFinder(QString());
    QVERIFY(finder);
    finder->entryList()->addEntries({"one", "two"});
    finder->entryList()->setTicked(1, true);
    finder->entryList()->setHighlighted(highlighted);
    m_main.boxes->inputAnswers.enqueue({accepted, answer});

    finder->editItem();

    QCOMPARE(finder->entryList()->texts(), expected);
    QVERIFY(finder->entryList()->isTicked(1));
    if (highlighted < 0) {
        QVERIFY(m_main.boxes->inputs.isEmpty());
        return;
    }
    QCOMPARE(m_main.boxes->inputs.size(), 1);
    QCOMPARE(m_main.boxes->inputs.first().prompt, QString("Change to:"));
    QCOMPARE(m_main.boxes->inputs.first().title, QString("Edit Item"));
    QCOMPARE(m_main.boxes->inputs.first().proposed, QStringList({"one", "two"}).at(highlighted));
}

void TestFindFiles::removeItem() {
    FindFiles* finder = openFinder(QString());
    QVERIFY(finder);
    finder->entryList()->addEntries({"a", "b", "c"});
    finder->entryList()->setTicked(2, true);

    finder->removeItem();
    QCOMPARE(finder->entryList()->texts(), QStringList({"a", "b", "c"}));

    finder->entryList()->setHighlighted(1);
    finder->removeItem();
    QCOMPARE(finder->entryList()->texts(), QStringList({"a", "c"}));
    QVERIFY(finder->entryList()->isTicked(1));
    // A second click does not take the entry that moved up into the gap.
    QCOMPARE(finder->entryList()->highlighted(), -1);
    finder->removeItem();
    QCOMPARE(finder->entryList()->count(), 2);
}

void TestFindFiles::replace_data() {
    QTest::addColumn<QList<InputAnswer>>("answers");
    QTest::addColumn<QStringList>("expected");

    const auto typed = [](const QString& text) { return InputAnswer{true, text}; };
    const QStringList before{"http://a/x.gif", "http://b/http://y.GIF", "http://a/x.gif"};
    QTest::newRow("every entry, ticked or not, every occurrence")
        << QList<InputAnswer>{typed("http://"), typed("ftp://")}
        << QStringList{"ftp://a/x.gif", "ftp://b/ftp://y.GIF", "ftp://a/x.gif"};
    QTest::newRow("NULL replaces with nothing")
        << QList<InputAnswer>{typed("http://"), typed("NULL")}
        << QStringList{"a/x.gif", "b/y.GIF", "a/x.gif"};
    QTest::newRow("null with spaces around it replaces with nothing")
        << QList<InputAnswer>{typed("http://"), typed("  null  ")}
        << QStringList{"a/x.gif", "b/y.GIF", "a/x.gif"};
    QTest::newRow("nul is a text like any other")
        << QList<InputAnswer>{typed("http://"), typed("nul")}
        << QStringList{"nula/x.gif", "nulb/nuly.GIF", "nula/x.gif"};
    QTest::newRow("case-sensitive") << QList<InputAnswer>{typed("GIF"), typed("png")}
                                    << QStringList{before[0], "http://b/http://y.png", before[2]};
    QTest::newRow("an entry may become empty and stays")
        << QList<InputAnswer>{typed("http://a/x.gif"), typed("null")}
        << QStringList{"", before[1], ""};
    QTest::newRow("first box cancelled") << QList<InputAnswer>{{false, "http://"}} << before;
    QTest::newRow("first answer empty") << QList<InputAnswer>{typed("")} << before;
    QTest::newRow("second answer empty")
        << QList<InputAnswer>{typed("http://"), typed("")} << before;
    QTest::newRow("text no entry contains")
        << QList<InputAnswer>{typed("zzz"), typed("y")} << before;
}

void TestFindFiles::replace() {
    QFETCH(QList<InputAnswer>, answers);
    QFETCH(QStringList, expected);

    FindFiles* finder = openFinder(QString());
    QVERIFY(finder);
    finder->entryList()->addEntries({"http://a/x.gif", "http://b/http://y.GIF", "http://a/x.gif"});
    finder->entryList()->setTicked(1, true);
    for (const InputAnswer& answer : answers)
        m_main.boxes->inputAnswers.enqueue(answer);

    finder->replace();

    QCOMPARE(finder->entryList()->texts(), expected);
    QCOMPARE(m_main.boxes->inputs.size(), answers.size());
    QCOMPARE(m_main.boxes->inputs.first().title, QString("Replace"));
    QCOMPARE(m_main.boxes->inputs.first().prompt, QString("The text you want to replace:"));
    if (answers.size() > 1)
        QCOMPARE(m_main.boxes->inputs.at(1).prompt,
                 "Replace: \"" + answers.first().text +
                     "\" with: (note: enter in \"null\" if you want to replace the text with "
                     "nothing)");
}

void TestFindFiles::spaceTicksTheHighlightedEntry() {
    FindFiles* finder = openFinder(page);
    QVERIFY(finder);
    finder->entryList()->setFocus();
    finder->entryList()->setHighlighted(1);

    QTest::keyClick(finder->entryList(), Qt::Key_Space);
    QVERIFY(finder->entryList()->isTicked(1));
    QVERIFY(!finder->entryList()->isTicked(0));
    QTest::keyClick(finder->entryList(), Qt::Key_Space);
    QVERIFY(!finder->entryList()->isTicked(1));
}

void TestFindFiles::exitCancelsTheRunningTransfer() {
    TestHttpServer server;
    TestHttpServer::Response stall;
    stall.stall = true;
    server.setResponse("/slow.gif", stall);
    FindFiles* finder = openFinder(page);
    QVERIFY(finder);
    QPointer<FindFiles> alive(finder);
    Inet* transfer = finder->transfer();
    transfer->setStallTimeout(120000);
    QSignalSpy finished(transfer, &Inet::finished);
    connect(&server, &TestHttpServer::requestReceived, finder,
            [finder] { finder->exitButton().click(); });

    QVERIFY(transfer->start(server.url("/slow.gif"), std::make_unique<MemorySink>(1000)));
    QTRY_VERIFY(!alive);
    // Cancelled, not silently ended by the window's going.
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().value<TransferResult>().failure->kind(),
             TransferFailure::Kind::Cancelled);
}

void TestFindFiles::endToEndThroughTheButtons() {
    TestHttpServer server;
    TestHttpServer::Response response;
    response.headers = {{"Content-Type", "text/html"}};
    response.body = page.toUtf8();
    server.setResponse("/dir/index.html", response);
    m_main.window->addressBox()->setText(server.url("/dir/index.html"));
    m_main.window->fetchButton().click();
    QTRY_COMPARE(m_main.window->fetchButton().caption(), QString("Get HTML Source"));

    m_main.window->findFilesButton().click();
    auto* finder = m_main.window->findChild<FindFiles*>();
    QVERIFY(finder);
    QVERIFY(QApplication::activeModalWidget() == finder || !finder->isHidden());
    const QString base = server.url("/dir/");
    QCOMPARE(finder->entryList()->texts(),
             QStringList({base + "b.jpg", base + "a.gif", base + "x.zip"}));

    // A file is fetched naming the page it was found on, as a browser names it.
    TestHttpServer::Response picture;
    picture.body = "JFIF";
    server.setResponse("/dir/b.jpg", picture);
    QTemporaryDir programFolder;
    setProgramFolder(programFolder.path());
    const auto restore = qScopeGuard([] { setProgramFolder(QString()); });
    finder->entryList()->setTicked(0, true);
    finder->downloadCheckedButton().click();
    QTRY_COMPARE(finder->runState(), FindFiles::RunState::Idle);
    QVERIFY2(server.lastRequestHeaders().contains(
                 "\r\nReferer: " + server.url("/dir/index.html").toLatin1() + "\r\n"),
             server.lastRequestHeaders().constData());
    finder->entryList()->setTicked(0, false);
    m_main.boxes->messages.clear();

    QTest::mouseClick(
        finder->entryList()->viewport(), Qt::LeftButton, {},
        finder->entryList()->visualRect(finder->entryList()->entries()->index(2)).center());
    QCOMPARE(finder->entryList()->highlighted(), 2);
    m_main.boxes->inputAnswers.enqueue({true, base + "y.zip"});
    finder->editButton().click();
    finder->entryList()->setHighlighted(0);
    finder->removeButton().click();
    m_main.boxes->inputAnswers.enqueue({true, "http://"});
    m_main.boxes->inputAnswers.enqueue({true, "ftp://"});
    finder->replaceButton().click();
    const QString ftpBase = QString(base).replace("http://", "ftp://");
    QCOMPARE(finder->entryList()->texts(), QStringList({ftpBase + "a.gif", ftpBase + "y.zip"}));

    finder->exitButton().click();
    QTRY_VERIFY(!m_main.window->findChild<FindFiles*>());
    QVERIFY(m_main.boxes->messages.isEmpty());
}

QTEST_MAIN(TestFindFiles)
#include "tst_findfiles.moc"
