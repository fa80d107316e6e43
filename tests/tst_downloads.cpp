// The downloads, as the file finder and the save window run them against a server on
// 127.0.0.1: one file through "Save As...", every ticked file through "D/L Checked", and what
// failures, cancels and closed windows leave on disk.

#include "dialog/dialog.h"
#include "findfiles/downloadnames.h"
#include "findfiles/findfiles.h"
#include "main/programstate.h"
#include "platform/checklist.h"
#include "platform/checklistmodel.h"
#include "platform/drivelist.h"
#include "platform/filelist.h"
#include "platform/folderlist.h"
#include "platform/inet.h"
#include "platform/programfolder.h"
#include "platform/sourcebox.h"
#include "support/mainwindowfixture.h"
#include "support/testhttpserver.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Response = TestHttpServer::Response;

namespace {

Response file(const QByteArray& body, int status = 200) {
    Response response;
    response.status = status;
    response.reason = status == 200 ? "OK" : "Not Found";
    response.headers = {{"Content-Type", status == 200 ? "image/gif" : "text/html"}};
    response.body = body;
    return response;
}

Response stalling() {
    Response response;
    response.headers = {{"Content-Length", "1000"}};
    response.stall = true;
    return response;
}

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void write(const QString& path, const QByteArray& content) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

} // namespace

class TestDownloads : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void saveWindowLayout_data();
    void saveWindowLayout();
    void opensCentredWithTheProposedName();
    void okSavesAndCloses();
    void replaceQuestion_data();
    void replaceQuestion();
    void failureLeavesTheWindowReadyForAnotherTry_data();
    void failureLeavesTheWindowReadyForAnotherTry();
    void cancelWritesNothing();
    void saveWindowKeepsTheFileItWasOpenedFor();
    void listsKeepInStep();

    void checkedRun_data();
    void checkedRun();
    void checkedRunAnsweredNo();
    void cancelEndsOnlyTheTransferInProgress();
    void exitEndsTheRun();
    void entriesRemovedWhileItRuns();

private:
    FindFiles* openFinder(const QStringList& entries);
    Dialog* openSaveWindow(const QString& entry);
    MainWindowFixture m_main;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestDownloads::initTestCase() {
    QString error;
    QVERIFY2(MainWindowFixture::registerControls(&error), qPrintable(error));
}

void TestDownloads::init() {
    QString error;
    QVERIFY2(m_main.open(&error), qPrintable(error));
    m_server = std::make_unique<TestHttpServer>();
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    setProgramFolder(m_folder->path());
}

void TestDownloads::cleanup() {
    m_main.close();
    m_server.reset();
    m_folder.reset();
    setProgramFolder(QString());
}

FindFiles* TestDownloads::openFinder(const QStringList& entries) {
    Program::BaseURL = m_server->url("/");
    m_main.window->Text1()->setSourceText(QString());
    m_main.window->button("Lumet6").click();
    auto* finder = m_main.window->findChild<FindFiles*>();
    if (finder) {
        finder->List1()->addEntries(entries);
        finder->Inet1()->setStallTimeout(120000);
    }
    return finder;
}

Dialog* TestDownloads::openSaveWindow(const QString& entry) {
    FindFiles* finder = openFinder({entry});
    if (!finder)
        return nullptr;
    finder->List1()->setHighlighted(0);
    finder->button("Lumet5").click();
    auto* dialog = finder->findChild<Dialog*>();
    if (dialog) {
        dialog->Dir1()->setPath(m_folder->path());
        dialog->Inet1()->setStallTimeout(120000);
    }
    return dialog;
}

// ---- Save As... ----

void TestDownloads::saveWindowLayout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("drives") << "Drive1" << QRect(60, 60, 3555, 330) << true;
    QTest::newRow("folders") << "Dir1" << QRect(60, 420, 1755, 1530) << true;
    QTest::newRow("files") << "File1" << QRect(1860, 420, 1755, 1560) << true;
    QTest::newRow("name label") << "Label1" << QRect(3720, 60, 1035, 255) << true;
    QTest::newRow("name") << "Text1" << QRect(3660, 360, 1755, 255) << true;
    QTest::newRow("type label") << "Label2" << QRect(3720, 720, 1035, 255) << false;
    QTest::newRow("types") << "Combo1" << QRect(3660, 960, 1755, 330) << false;
    QTest::newRow("ok") << "Lumet1" << QRect(3660, 1380, 1755, 255) << true;
    QTest::newRow("cancel") << "Lumet2" << QRect(3660, 1680, 1755, 255) << true;
}

void TestDownloads::saveWindowLayout() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(bool, enabled);

    Dialog* dialog = openSaveWindow(m_server->url("/pic.gif"));
    QVERIFY(dialog);
    QWidget* control = dialog->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QCOMPARE(control->isEnabled(), enabled);
    QCOMPARE(control->font().family(), QString("Arial"));
}

void TestDownloads::opensCentredWithTheProposedName() {
    QDir::setCurrent(m_folder->path());
    Dialog* dialog = openSaveWindow(m_server->url("/pics/pic.gif"));
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QString("Save As..."));
    QCOMPARE(dialog->size(), QSize(5475 / 15, 2010 / 15));
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    QVERIFY(!(dialog->windowFlags() & Qt::WindowMinimizeButtonHint));
    const QPoint centre = dialog->frameGeometry().center();
    const QPoint screen = dialog->screen()->geometry().center();
    QVERIFY(qAbs(centre.x() - screen.x()) <= 1 && qAbs(centre.y() - screen.y()) <= 1);
    QCOMPARE(dialog->Text1()->text(), QString("pic.gif"));
    QCOMPARE(dialog->Combo1()->currentText(), QString("*.*"));
    QCOMPARE(dialog->File1()->pattern(), QString("*.*"));
    QCOMPARE(Program::FileURL, m_server->url("/pics/pic.gif"));
    QCOMPARE(Program::FileExt, QString(".gif"));
    QVERIFY(!dialog->background().isNull());

    // The keyboard goes drives, folders, files, name, OK, Cancel.
    const QStringList order{"Drive1", "Dir1", "File1", "Text1", "Lumet1", "Lumet2"};
    QWidget* w = dialog->findChild<QWidget*>("Drive1");
    for (qsizetype i = 1; i < order.size(); ++i) {
        w = w->nextInFocusChain();
        while (!order.contains(w->objectName()))
            w = w->nextInFocusChain();
        QCOMPARE(w->objectName(), order[i]);
    }
}

void TestDownloads::okSavesAndCloses() {
    const QByteArray body("GIF89a\0\x01\x02 bytes as they are\r\n", 30);
    m_server->setResponse("/pic.gif", file(body));
    QPointer<Dialog> dialog = openSaveWindow(m_server->url("/pic.gif"));
    QVERIFY(dialog);

    dialog->button("Lumet1").click();
    QCOMPARE(dialog->windowTitle().left(14), QString("Please wait..."));
    QVERIFY(!dialog->button("Lumet1").isEnabled());

    QTRY_VERIFY(!dialog);
    QCOMPARE(contentOf(m_folder->filePath("pic.gif")), body);
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"pic.gif"});
    QVERIFY(m_main.boxes->messages.isEmpty());
}

void TestDownloads::replaceQuestion_data() {
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("No leaves file and window as they were")
        << MessageAnswer::No << QByteArray("an old and longer content");
    QTest::newRow("Yes replaces the longer file entirely")
        << MessageAnswer::Yes << QByteArray("new");
}

void TestDownloads::replaceQuestion() {
    QFETCH(MessageAnswer, answer);
    QFETCH(QByteArray, expected);

    m_server->setResponse("/pic.gif", file("new"));
    write(m_folder->filePath("photo.gif"), "an old and longer content");
    QPointer<Dialog> dialog = openSaveWindow(m_server->url("/pic.gif"));
    QVERIFY(dialog);
    dialog->Text1()->setText("photo");
    m_main.boxes->answers.enqueue(answer);

    dialog->button("Lumet1").click();

    QCOMPARE(m_main.boxes->texts(),
             QStringList{"This file already exists. Do you want to replace it?"});
    QCOMPARE(m_main.boxes->messages.first().buttons, MessageButtons::YesNo);
    QCOMPARE(m_main.boxes->messages.first().icon, MessageIcon::None);
    if (answer == MessageAnswer::No) {
        QVERIFY(dialog && !dialog->isSaving());
        QCOMPARE(dialog->Text1()->text(), QString("photo"));
        QCOMPARE(m_server->requestCount("/pic.gif"), 0);
    } else {
        QTRY_VERIFY(!dialog);
    }
    QCOMPARE(contentOf(m_folder->filePath("photo.gif")), expected);
}

void TestDownloads::failureLeavesTheWindowReadyForAnotherTry_data() {
    QTest::addColumn<Response>("response");
    QTest::addColumn<QString>("typed");

    QTest::newRow("error page") << file("<html>Not here</html>", 404) << "pic.gif";
    QTest::newRow("name climbing out of the folder") << file("new") << "../pic.gif";
    QTest::newRow("name that is a folder") << file("new") << "sub";
}

void TestDownloads::failureLeavesTheWindowReadyForAnotherTry() {
    QFETCH(Response, response);
    QFETCH(QString, typed);

    QDir(m_folder->path()).mkdir("sub.gif");
    write(m_folder->filePath("pic.gif"), "the old picture");
    m_server->setResponse("/pic.gif", response);
    QPointer<Dialog> dialog = openSaveWindow(m_server->url("/pic.gif"));
    QVERIFY(dialog);
    dialog->Text1()->setText(typed);
    m_main.boxes->answers.enqueue(MessageAnswer::Yes);

    dialog->button("Lumet1").click();

    const QString failure = QString::fromLatin1(Dialog::FailureText);
    QTRY_COMPARE(m_main.boxes->texts().last(), failure);
    QCOMPARE(m_main.boxes->messages.last().icon, MessageIcon::Stop);
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QString("Save As..."));
    QVERIFY(dialog->button("Lumet1").isEnabled());
    QCOMPARE(contentOf(m_folder->filePath("pic.gif")), QByteArray("the old picture"));
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"pic.gif"});

    // Put right, the same window saves.
    m_server->setResponse("/pic.gif", file("the new picture"));
    dialog->Text1()->setText("pic.gif");
    dialog->button("Lumet1").click();
    QTRY_VERIFY(!dialog);
    QCOMPARE(contentOf(m_folder->filePath("pic.gif")), QByteArray("the new picture"));
}

void TestDownloads::cancelWritesNothing() {
    m_server->setResponse("/pic.gif", stalling());
    write(m_folder->filePath("pic.gif"), "the old picture");

    QPointer<Dialog> idle = openSaveWindow(m_server->url("/pic.gif"));
    QVERIFY(idle);
    idle->button("Lumet2").click();
    QTRY_VERIFY(!idle);
    QVERIFY(m_main.boxes->messages.isEmpty());
    QCOMPARE(m_server->requestCount("/pic.gif"), 0);

    auto* finder = m_main.window->findChild<FindFiles*>();
    finder->button("Lumet5").click();
    QPointer<Dialog> saving = finder->findChild<Dialog*>();
    QVERIFY(saving);
    saving->Dir1()->setPath(m_folder->path());
    m_main.boxes->answers.enqueue(MessageAnswer::Yes);
    connect(m_server.get(), &TestHttpServer::requestReceived, saving,
            [&saving] { saving->button("Lumet2").click(); });
    saving->button("Lumet1").click();

    QTRY_VERIFY(!saving);
    // The interrupted save failed; the message comes once the window is gone.
    QCOMPARE(m_main.boxes->texts().last(), QString::fromLatin1(Dialog::FailureText));
    QCOMPARE(contentOf(m_folder->filePath("pic.gif")), QByteArray("the old picture"));
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"pic.gif"});
}

void TestDownloads::saveWindowKeepsTheFileItWasOpenedFor() {
    m_server->setResponse("/a.gif", file("A"));
    m_server->setResponse("/b.gif", file("B"));
    QPointer<Dialog> dialog = openSaveWindow(m_server->url("/a.gif"));
    QVERIFY(dialog);
    // What a run of "D/L Checked" behind the window does for every entry it reaches.
    Program::FileURL = m_server->url("/b.gif");
    Program::FileName = "b.gif";

    dialog->button("Lumet1").click();

    QTRY_VERIFY(!dialog);
    QCOMPARE(contentOf(m_folder->filePath("a.gif")), QByteArray("A"));
}

void TestDownloads::listsKeepInStep() {
    QDir folder(m_folder->path());
    folder.mkpath("sub/inner");
    write(folder.filePath("pic.gif"), "old");
    write(folder.filePath("README"), "no dot");
    write(folder.filePath(".hidden"), "hidden");
    m_server->setResponse("/pic.gif", file("new"));
    QPointer<Dialog> dialog = openSaveWindow(m_server->url("/pic.gif"));
    QVERIFY(dialog);

    QCOMPARE(dialog->File1()->path(), m_folder->path());
    QTRY_COMPARE(dialog->File1()->fileNames(), QStringList({"pic.gif", "README"}));
    QTRY_VERIFY(!dialog->Dir1()->findItems("sub", Qt::MatchEndsWith).isEmpty());
    // The path from the root down, the open folder selected.
    QCOMPARE(dialog->Dir1()->item(0)->text(), QDir::rootPath());
    QCOMPARE(dialog->Dir1()->currentItem()->text().trimmed(), QFileInfo(folder.path()).fileName());

    QListWidgetItem* sub = dialog->Dir1()->findItems("sub", Qt::MatchEndsWith).first();
    emit dialog->Dir1()->itemActivated(sub);
    QCOMPARE(dialog->Dir1()->path(), folder.filePath("sub"));
    QCOMPARE(dialog->File1()->path(), folder.filePath("sub"));

    // A drive that cannot be opened: back on the folder's own drive, without a word.
    dialog->Drive1()->addItem("gone", "/no/such/volume");
    dialog->Drive1()->setCurrentIndex(dialog->Drive1()->count() - 1);
    dialog->driveChanged();
    QCOMPARE(dialog->Dir1()->path(), folder.filePath("sub"));
    QCOMPARE(dialog->Drive1()->drive(), QStorageInfo(folder.path()).rootPath());

    dialog->Dir1()->setPath(folder.path());
    QTRY_COMPARE(dialog->File1()->fileNames(), QStringList({"pic.gif", "README"}));
    emit dialog->File1()->fileClicked("README");
    QCOMPARE(dialog->Text1()->text(), QString("README"));
    // A double-click saves under that name, and asks first since the file is there.
    m_main.boxes->answers.enqueue(MessageAnswer::Yes);
    emit dialog->File1()->fileDoubleClicked("pic.gif");
    QCOMPARE(m_main.boxes->texts().first(),
             QString("This file already exists. Do you want to replace it?"));
    QTRY_VERIFY(!dialog);
    QCOMPARE(contentOf(folder.filePath("pic.gif")), QByteArray("new"));
    QVERIFY(m_main.boxes->messages.size() == 1);
}

// ---- D/L Checked ----

void TestDownloads::checkedRun_data() {
    QTest::addColumn<QStringList>("paths"); // entries, each ticked unless it starts with "-"
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<QStringList>("files"); // name=content in the program's folder afterwards
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing ticked")
        << QStringList{"-/a.gif", "-/b.gif"} << QStringList{"", ""} << QStringList{} << QString();
    QTest::newRow("every ticked file, the unticked one left")
        << QStringList{"/a.gif", "-/b.gif", "/dir/c.zip"} << QStringList{"saved", "", "saved"}
        << QStringList{"a.gif=A", "c.zip=C"} << QString();
    QTest::newRow("an error page among good files fails alone")
        << QStringList{"/a.gif", "/missing.gif", "/b.gif"}
        << QStringList{"saved", "failed", "saved"} << QStringList{"a.gif=A", "b.gif=B"}
        << "1 of the 3 ticked files could not be downloaded.";
    QTest::newRow("the later of two same names wins")
        << QStringList{"/a.gif", "/dir/a.gif"} << QStringList{"saved", "saved"}
        << QStringList{"a.gif=DA"} << QString();
    QTest::newRow("names that cannot be written are refused")
        << QStringList{"/dir/", "/regcontrol", "/b.gif"} << QStringList{"failed", "failed", "saved"}
        << QStringList{"b.gif=B"} << "2 of the 3 ticked files could not be downloaded.";
}

void TestDownloads::checkedRun() {
    QFETCH(QStringList, paths);
    QFETCH(QStringList, statuses);
    QFETCH(QStringList, files);
    QFETCH(QString, message);

    m_server->setResponse("/a.gif", file("A"));
    m_server->setResponse("/b.gif", file("B"));
    m_server->setResponse("/dir/c.zip", file("C"));
    m_server->setResponse("/dir/a.gif", file("DA"));
    m_server->setResponse("/missing.gif", file("<html>Not Found</html>", 404));
    QStringList entries;
    for (const QString& path : paths)
        entries << m_server->url(path.startsWith('-') ? path.mid(1) : path);
    FindFiles* finder = openFinder(entries);
    QVERIFY(finder);
    for (int row = 0; row < paths.size(); ++row)
        finder->List1()->setTicked(row, !paths[row].startsWith('-'));
    HostedButton run = finder->button("Lumet1");
    QString captionWhileAsked;
    m_main.boxes->whileShown = [&] { captionWhileAsked = run.caption(); };

    run.click();

    QCOMPARE(m_main.boxes->texts().first(), checkedDownloadQuestion(m_folder->path() + "/"));
    QCOMPARE(m_main.boxes->messages.first().buttons, MessageButtons::YesNo);
    QCOMPARE(captionWhileAsked, QString("D/L Checked"));
    const bool anyTicked = !statuses.filter(QRegularExpression(".+")).isEmpty();
    QCOMPARE(run.caption(), QString(anyTicked ? "Cancel" : "D/L Checked"));
    m_main.boxes->whileShown = nullptr;
    QTRY_COMPARE(finder->runState(), FindFiles::RunState::Idle);
    QCOMPARE(finder->button("Lumet1").caption(), QString("D/L Checked"));
    QVERIFY(finder->button("Lumet1").isEnabled());

    QStringList shown;
    for (int row = 0; row < paths.size(); ++row)
        shown << finder->List1()->entries()->status(row);
    QCOMPARE(shown, statuses);
    QStringList written;
    for (const QString& name : QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden))
        written << name + "=" + contentOf(m_folder->filePath(name));
    QCOMPARE(written, files);
    if (message.isEmpty()) {
        QCOMPARE(m_main.boxes->messages.size(), 1);
    } else {
        QTRY_COMPARE(m_main.boxes->messages.size(), 2);
        QVERIFY(m_main.boxes->texts().last().startsWith(message));
        QCOMPARE(m_main.boxes->messages.last().icon, MessageIcon::Stop);
    }
}

void TestDownloads::checkedRunAnsweredNo() {
    m_server->setResponse("/a.gif", file("A"));
    FindFiles* finder = openFinder({m_server->url("/a.gif")});
    QVERIFY(finder);
    finder->List1()->setTicked(0, true);
    m_main.boxes->answers.enqueue(MessageAnswer::No);

    finder->button("Lumet1").click();

    QCOMPARE(finder->button("Lumet1").caption(), QString("D/L Checked"));
    QCOMPARE(finder->runState(), FindFiles::RunState::Idle);
    QCOMPARE(m_server->requestCount("/a.gif"), 0);
    QVERIFY(QDir(m_folder->path()).isEmpty());
}

void TestDownloads::cancelEndsOnlyTheTransferInProgress() {
    m_server->setResponse("/slow.gif", stalling());
    m_server->setResponse("/b.gif", file("B"));
    write(m_folder->filePath("slow.gif"), "the old one");
    FindFiles* finder = openFinder({m_server->url("/slow.gif"), m_server->url("/b.gif")});
    QVERIFY(finder);
    finder->List1()->setTicked(0, true);
    finder->List1()->setTicked(1, true);
    HostedButton run = finder->button("Lumet1");
    bool enabledRightAfterCancel = true;
    connect(m_server.get(), &TestHttpServer::requestReceived, finder, [&](const QString& path) {
        if (path == "/slow.gif") {
            run.click();
            enabledRightAfterCancel = run.isEnabled();
            QCOMPARE(run.caption(), QString("D/L Checked"));
        }
    });

    run.click();

    QTRY_COMPARE(finder->runState(), FindFiles::RunState::Idle);
    // Back at "D/L Checked" at once, but not to be started again while the rest runs.
    QVERIFY(!enabledRightAfterCancel);
    QVERIFY(run.isEnabled());
    // The user's own cancel is no failure: marked apart, and no error box for it.
    QCOMPARE(finder->List1()->entries()->status(0), QString("cancelled"));
    QCOMPARE(finder->List1()->entries()->status(1), QString("saved"));
    QCOMPARE(contentOf(m_folder->filePath("slow.gif")), QByteArray("the old one"));
    QCOMPARE(contentOf(m_folder->filePath("b.gif")), QByteArray("B"));
    QTest::qWait(50);
    QCOMPARE(m_main.boxes->messages.size(), 1);
}

void TestDownloads::exitEndsTheRun() {
    m_server->setResponse("/slow.gif", stalling());
    m_server->setResponse("/b.gif", file("B"));
    QPointer<FindFiles> finder = openFinder({m_server->url("/slow.gif"), m_server->url("/b.gif")});
    QVERIFY(finder);
    finder->List1()->setTicked(0, true);
    finder->List1()->setTicked(1, true);
    connect(m_server.get(), &TestHttpServer::requestReceived, finder,
            [&finder] { finder->button("Lumet3").click(); });

    finder->button("Lumet1").click();

    QTRY_VERIFY(!finder);
    QTest::qWait(50); // nothing is left that could start the next entry
    QCOMPARE(m_server->requestCount("/b.gif"), 0);
    QVERIFY(QDir(m_folder->path()).isEmpty());
    QCOMPARE(m_main.boxes->messages.size(), 1);
}

void TestDownloads::entriesRemovedWhileItRuns() {
    m_server->setResponse("/a.gif", file("A"));
    m_server->setResponse("/b.gif", file("B"));
    m_server->setResponse("/c.gif", file("C"));
    FindFiles* finder =
        openFinder({m_server->url("/a.gif"), m_server->url("/b.gif"), m_server->url("/c.gif")});
    QVERIFY(finder);
    for (int row = 0; row < 3; ++row)
        finder->List1()->setTicked(row, true);
    connect(m_server.get(), &TestHttpServer::requestReceived, finder, [finder](const QString&) {
        // The entry being fetched and the ones behind it go while it waits.
        while (finder->List1()->count() > 0)
            finder->List1()->removeEntry(finder->List1()->count() - 1);
    });

    finder->button("Lumet1").click();

    QTRY_COMPARE(finder->runState(), FindFiles::RunState::Idle);
    QCOMPARE(m_server->requestCount("/b.gif") + m_server->requestCount("/c.gif"), 0);
    QCOMPARE(contentOf(m_folder->filePath("a.gif")), QByteArray("A"));
}

QTEST_MAIN(TestDownloads)
#include "tst_downloads.moc"
