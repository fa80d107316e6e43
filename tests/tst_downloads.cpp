// The downloads, as the file finder and the save window run them against a server on
// 127.0.0.1: one file through "Save As...", every ticked file through "D/L Checked", and what
// failures, cancels and closed windows leave on disk.

#include "dialog/dialog.h"
#include "findfiles/findfiles.h"
#include "logic/downloadnames.h"
#include "logic/programfolder.h"
#include "logic/programstate.h"
#include "support/mainwindowfixture.h"
#include "support/testhttpserver.h"
#include "transfer/inet.h"
#include "widgets/checklist.h"
#include "widgets/checklistmodel.h"
#include "widgets/drivelist.h"
#include "widgets/filelist.h"
#include "widgets/folderlist.h"
#include "widgets/sourcebox.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

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
    void dismissingAQuestionMeansNo_data();
    void dismissingAQuestionMeansNo();
    void failureLeavesTheWindowReadyForAnotherTry_data();
    void failureLeavesTheWindowReadyForAnotherTry();
    void okIgnoresANameOfSpaces_data();
    void okIgnoresANameOfSpaces();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void saveWindowKeepsTheFileItWasOpenedFor();
    void listsKeepInStep();
    void keysInTheFileList_data();
    void keysInTheFileList();
    void progressShowsAsTheFileArrives_data();
    void progressShowsAsTheFileArrives();

    void checkedRun_data();
    void checkedRun();
    void checkedRunAnsweredNo();
    void installedCopySavesIntoTheDownloadFolder();
    void cancelEndsOnlyTheTransferInProgress();
    void exitEndsTheRun_data();
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
    m_main.window->sourceBox()->setSourceText(QString());
    m_main.window->findFilesButton().click();
    auto* finder = m_main.window->findChild<FindFiles*>();
    if (finder) {
        finder->entryList()->addEntries(entries);
        finder->transfer()->setStallTimeout(120000);
    }
    return finder;
}

Dialog* TestDownloads::openSaveWindow(const QString& entry) {
    FindFiles* finder = openFinder({entry});
    if (!finder)
        return nullptr;
    finder->entryList()->setHighlighted(0);
    finder->downloadButton().click();
    auto* dialog = finder->findChild<Dialog*>();
    if (dialog) {
        dialog->folderList()->setPath(m_folder->path());
        dialog->transfer()->setStallTimeout(120000);
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
    QCOMPARE(dialog->nameBox()->text(), QString("pic.gif"));
    QCOMPARE(dialog->typeList()->currentText(), QString("*.*"));
    QCOMPARE(dialog->fileList()->pattern(), QString("*.*"));
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

    dialog->okButton().click();
    QCOMPARE(dialog->windowTitle().left(14), QString("Please wait..."));
    QVERIFY(!dialog->okButton().isEnabled());

    QTRY_VERIFY(!dialog);
    QCOMPARE(contentOf(m_folder->filePath("pic.gif")), body);
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"pic.gif"});
    QVERIFY(m_main.boxes->messages.isEmpty());
}

void TestDownloads::replaceQuestion_data() {
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<QString>("typed"); // the file that exists is this name with ".gif"
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("No leaves file and window as they were")
        << MessageAnswer::No << "photo" << QByteArray("an old and longer content");
    QTest::newRow("Yes replaces the longer file entirely")
        << MessageAnswer::Yes << "photo" << QByteArray("new");
    QTest::newRow("a hidden file is asked about too")
        << MessageAnswer::No << ".photo" << QByteArray("an old and longer content");
}

void TestDownloads::replaceQuestion() {
    QFETCH(MessageAnswer, answer);
    QFETCH(QString, typed);
    QFETCH(QByteArray, expected);

    m_server->setResponse("/pic.gif", file("new"));
    write(m_folder->filePath(typed + ".gif"), "an old and longer content");
    QPointer<Dialog> dialog = openSaveWindow(m_server->url("/pic.gif"));
    QVERIFY(dialog);
    dialog->nameBox()->setText(typed);
    m_main.boxes->answers.enqueue(answer);

    dialog->okButton().click();

    QCOMPARE(m_main.boxes->texts(),
             QStringList{"This file already exists. Do you want to replace it?"});
    QCOMPARE(m_main.boxes->messages.first().buttons, MessageButtons::YesNo);
    QCOMPARE(m_main.boxes->messages.first().icon, MessageIcon::None);
    if (answer == MessageAnswer::No) {
        QVERIFY(dialog && !dialog->isSaving());
        QCOMPARE(dialog->nameBox()->text(), typed);
        QCOMPARE(m_server->requestCount("/pic.gif"), 0);
    } else {
        QTRY_VERIFY(!dialog);
    }
    QCOMPARE(contentOf(m_folder->filePath(typed + ".gif")), expected);
}

void TestDownloads::dismissingAQuestionMeansNo_data() {
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("escape"); // else the box's close button

    QTest::newRow("replace question, Escape") << "replace" << true;
    QTest::newRow("replace question, close button") << "replace" << false;
    QTest::newRow("D/L Checked question, Escape") << "checked" << true;
    QTest::newRow("D/L Checked question, close button") << "checked" << false;
}

void TestDownloads::dismissingAQuestionMeansNo() {
    QFETCH(QString, question);
    QFETCH(bool, escape);

    m_server->setResponse("/pic.gif", file("new"));
    write(m_folder->filePath("pic.gif"), "the old picture");
    QPointer<Dialog> dialog;
    FindFiles* finder = nullptr;
    if (question == "replace") {
        dialog = openSaveWindow(m_server->url("/pic.gif"));
        QVERIFY(dialog);
    } else {
        finder = openFinder({m_server->url("/pic.gif")});
        QVERIFY(finder);
        finder->entryList()->setTicked(0, true);
    }
    // The real box this time, sent away as a user would.
    m_main.boxes.reset();
    bool dismissed = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || dismissed)
            return;
        dismissed = true;
        if (escape)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->close();
    });
    poll.start(10);

    if (dialog)
        dialog->okButton().click();
    else
        finder->downloadCheckedButton().click();

    m_main.boxes = std::make_unique<MessageRecorder>();
    QVERIFY(dismissed);
    QTest::qWait(50);
    QCOMPARE(m_server->requestCount("/pic.gif"), 0);
    QCOMPARE(contentOf(m_folder->filePath("pic.gif")), QByteArray("the old picture"));
    if (dialog)
        QVERIFY(!dialog->isSaving());
    else
        QCOMPARE(finder->runState(), FindFiles::RunState::Idle);
}

void TestDownloads::failureLeavesTheWindowReadyForAnotherTry_data() {
    QTest::addColumn<Response>("response");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("fetched"); // false: refused before anything is asked for

    QTest::newRow("error page") << file("<html>Not here</html>", 404) << "pic.gif" << true;
    QTest::newRow("not modified, which is not the file") << [] {
        Response notModified = file(QByteArray());
        notModified.status = 304;
        notModified.reason = "Not Modified";
        return notModified;
    }() << "pic.gif" << true;
    QTest::newRow("name climbing out of the folder") << file("new") << "../pic.gif" << false;
    QTest::newRow("name that is a folder") << file("new") << "sub" << false;
    QTest::newRow("read-only file") << file("new") << "locked" << false;
}

void TestDownloads::failureLeavesTheWindowReadyForAnotherTry() {
    QFETCH(Response, response);
    QFETCH(QString, typed);
    QFETCH(bool, fetched);

    QDir(m_folder->path()).mkdir("sub.gif");
    write(m_folder->filePath("pic.gif"), "the old picture");
    write(m_folder->filePath("locked.gif"), "kept");
    QFile::setPermissions(m_folder->filePath("locked.gif"), QFile::ReadOwner);
    m_server->setResponse("/pic.gif", response);
    QPointer<Dialog> dialog = openSaveWindow(m_server->url("/pic.gif"));
    QVERIFY(dialog);
    dialog->nameBox()->setText(typed);
    m_main.boxes->answers.enqueue(MessageAnswer::Yes);

    dialog->okButton().click();

    const QString failure = QString::fromLatin1(Dialog::FailureText);
    QTRY_COMPARE(m_main.boxes->lastText(), failure);
    QCOMPARE(m_main.boxes->messages.last().icon, MessageIcon::Stop);
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QString("Save As..."));
    QVERIFY(dialog->okButton().isEnabled());
    QCOMPARE(m_server->requestCount("/pic.gif"), fetched ? 1 : 0);
    QCOMPARE(contentOf(m_folder->filePath("pic.gif")), QByteArray("the old picture"));
    QCOMPARE(contentOf(m_folder->filePath("locked.gif")), QByteArray("kept"));
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"locked.gif", "pic.gif"}));

    // Put right, the same window saves.
    m_server->setResponse("/pic.gif", file("the new picture"));
    dialog->nameBox()->setText("pic.gif");
    dialog->okButton().click();
    QTRY_VERIFY(!dialog);
    QCOMPARE(contentOf(m_folder->filePath("pic.gif")), QByteArray("the new picture"));
}

void TestDownloads::okIgnoresANameOfSpaces_data() {
    QTest::addColumn<QString>("typed");

    QTest::newRow("empty name") << "";
    QTest::newRow("name of spaces only") << "   ";
}

void TestDownloads::okIgnoresANameOfSpaces() {
    QFETCH(QString, typed);
    m_server->setResponse("/pic.gif", file("new"));
    QPointer<Dialog> dialog = openSaveWindow(m_server->url("/pic.gif"));
    QVERIFY(dialog);
    dialog->nameBox()->setText(typed);

    dialog->okButton().click();

    QTest::qWait(50);
    QVERIFY(dialog && !dialog->isSaving());
    QVERIFY(m_main.boxes->messages.isEmpty());
    QCOMPARE(m_server->requestCount("/pic.gif"), 0);
    QVERIFY(QDir(m_folder->path()).isEmpty());
}

void TestDownloads::cancelWritesNothing_data() {
    QTest::addColumn<bool>("byButton"); // else the window's close button

    QTest::newRow("Cancel while the file arrives") << true;
    QTest::newRow("the window closed while the file arrives") << false;
}

void TestDownloads::cancelWritesNothing() {
    QFETCH(bool, byButton);
    m_server->setResponse("/pic.gif", stalling());
    write(m_folder->filePath("pic.gif"), "the old picture");

    QPointer<Dialog> idle = openSaveWindow(m_server->url("/pic.gif"));
    QVERIFY(idle);
    idle->cancelButton().click();
    QTRY_VERIFY(!idle);
    QVERIFY(m_main.boxes->messages.isEmpty());
    QCOMPARE(m_server->requestCount("/pic.gif"), 0);

    auto* finder = m_main.window->findChild<FindFiles*>();
    finder->downloadButton().click();
    QPointer<Dialog> saving = finder->findChild<Dialog*>();
    QVERIFY(saving);
    saving->folderList()->setPath(m_folder->path());
    m_main.boxes->answers.enqueue(MessageAnswer::Yes);
    bool stillFetching = true;
    connect(m_server.get(), &TestHttpServer::requestReceived, saving, [&] {
        if (byButton)
            saving->cancelButton().click();
        else
            saving->close();
        // Ended with the click, not left to end whenever the window is deleted.
        stillFetching = saving && saving->transfer()->isFetching();
    });
    saving->okButton().click();

    QTRY_VERIFY(!saving);
    QVERIFY(!stillFetching);
    QTest::qWait(50);
    // The interrupted save failed; Cancel says so once, after the window has gone. Closed by
    // its frame, the window goes without a word.
    QStringList expected{QStringLiteral("This file already exists. Do you want to replace it?")};
    if (byButton)
        expected << QString::fromLatin1(Dialog::FailureText);
    QCOMPARE(m_main.boxes->texts(), expected);
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

    dialog->okButton().click();

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

    QCOMPARE(dialog->fileList()->path(), m_folder->path());
    QTRY_COMPARE(dialog->fileList()->fileNames(), QStringList({"pic.gif", "README"}));
    QTRY_VERIFY(!dialog->folderList()->findItems("sub", Qt::MatchEndsWith).isEmpty());
    // The path from the root down, the open folder selected.
    QCOMPARE(dialog->folderList()->item(0)->text(), QDir::rootPath());
    QCOMPARE(dialog->folderList()->currentItem()->text().trimmed(),
             QFileInfo(folder.path()).fileName());

    QListWidgetItem* sub = dialog->folderList()->findItems("sub", Qt::MatchEndsWith).first();
    emit dialog->folderList()->itemActivated(sub);
    QCOMPARE(dialog->folderList()->path(), folder.filePath("sub"));
    QCOMPARE(dialog->fileList()->path(), folder.filePath("sub"));

    // A drive that cannot be opened: back on the folder's own drive, without a word.
    dialog->driveList()->addItem("gone", "/no/such/volume");
    dialog->driveList()->setCurrentIndex(dialog->driveList()->count() - 1);
    dialog->driveChanged();
    QCOMPARE(dialog->folderList()->path(), folder.filePath("sub"));
    QCOMPARE(dialog->driveList()->drive(), QStorageInfo(folder.path()).rootPath());

    dialog->folderList()->setPath(folder.path());
    QTRY_COMPARE(dialog->fileList()->fileNames(), QStringList({"pic.gif", "README"}));
    emit dialog->fileList()->fileClicked("README");
    QCOMPARE(dialog->nameBox()->text(), QString("README"));
    // A double-click saves under that name, and asks first since the file is there.
    m_main.boxes->answers.enqueue(MessageAnswer::Yes);
    emit dialog->fileList()->fileDoubleClicked("pic.gif");
    QCOMPARE(m_main.boxes->texts().value(0),
             QString("This file already exists. Do you want to replace it?"));
    QTRY_VERIFY(!dialog);
    QCOMPARE(contentOf(folder.filePath("pic.gif")), QByteArray("new"));
    QVERIFY(m_main.boxes->messages.size() == 1);
}

void TestDownloads::keysInTheFileList_data() {
    QTest::addColumn<QList<int>>("keys"); // pressed in the folder list, one after another
    QTest::addColumn<QString>("name");

    QTest::newRow("Tab into the file list keeps the proposed name")
        << QList<int>{Qt::Key_Tab} << "logo.gif";
    QTest::newRow("an arrow key in the file list takes the file's name")
        << QList<int>{Qt::Key_Tab, Qt::Key_Down} << "notes.txt";
    QTest::newRow("Space takes the name of the file focus landed on")
        << QList<int>{Qt::Key_Tab, Qt::Key_Space} << "archive.zip";
}

void TestDownloads::keysInTheFileList() {
    QFETCH(QList<int>, keys);
    QFETCH(QString, name);
    write(m_folder->filePath("archive.zip"), "the user's archive");
    write(m_folder->filePath("notes.txt"), "the user's notes");
    QPointer<Dialog> dialog = openSaveWindow(m_server->url("/logo.gif"));
    QVERIFY(dialog);
    QTRY_COMPARE(dialog->fileList()->fileNames(), QStringList({"archive.zip", "notes.txt"}));
    QApplication::setActiveWindow(dialog);
    dialog->folderList()->setFocus();

    for (const int key : keys)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));

    QCOMPARE(QApplication::focusWidget(), dialog->fileList());
    QCOMPARE(dialog->nameBox()->text(), name);
}

void TestDownloads::progressShowsAsTheFileArrives_data() {
    QTest::addColumn<bool>("checkedRun"); // else the save window

    QTest::newRow("save window title") << false;
    QTest::newRow("D/L Checked entry") << true;
}

void TestDownloads::progressShowsAsTheFileArrives() {
    QFETCH(bool, checkedRun);
    Response drip = file(QByteArray(20000, 'p'));
    drip.dripChunk = 1000;
    drip.dripIntervalMs = 20;
    m_server->setResponse("/pic.gif", drip);
    QStringList shown;
    if (checkedRun) {
        FindFiles* finder = openFinder({m_server->url("/pic.gif")});
        QVERIFY(finder);
        finder->entryList()->setTicked(0, true);
        connect(finder->entryList()->entries(), &QAbstractItemModel::dataChanged, finder,
                [&] { shown << finder->entryList()->entries()->status(0); });
        finder->downloadCheckedButton().click();
        QTRY_COMPARE(finder->runState(), FindFiles::RunState::Idle);
    } else {
        QPointer<Dialog> dialog = openSaveWindow(m_server->url("/pic.gif"));
        QVERIFY(dialog);
        connect(dialog, &QWidget::windowTitleChanged, dialog,
                [&](const QString& title) { shown << title; });
        dialog->okButton().click();
        QTRY_VERIFY(!dialog);
    }
    // Some share between none and all was shown on the way.
    const QRegularExpression share(QStringLiteral("(\\d+)%"));
    const bool between = std::any_of(shown.cbegin(), shown.cend(), [&](const QString& text) {
        const int percent = share.match(text).captured(1).toInt();
        return percent > 0 && percent < 100;
    });
    QVERIFY2(between, qPrintable(shown.join(" | ")));
}

// ---- D/L Checked ----

void TestDownloads::checkedRun_data() {
    QTest::addColumn<QStringList>("paths"); // entries, each ticked unless it starts with "-"
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<QStringList>("files"); // name=content in the program's folder afterwards
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("during"); // done while the first file is fetched

    const QString none;
    QTest::newRow("nothing ticked") << QStringList{"-/a.gif", "-/b.gif"} << QStringList{"", ""}
                                    << QStringList{} << QString() << none;
    QTest::newRow("every ticked file, the unticked one left")
        << QStringList{"/a.gif", "-/b.gif", "/dir/c.zip"} << QStringList{"saved", "", "saved"}
        << QStringList{"a.gif=A", "c.zip=C"} << QString() << none;
    QTest::newRow("an error page among good files fails alone")
        << QStringList{"/a.gif", "/missing.gif", "/b.gif"}
        << QStringList{"saved", "failed", "saved"} << QStringList{"a.gif=A", "b.gif=B"}
        << "1 of the 3 ticked files could not be downloaded." << none;
    QTest::newRow("only ticked files count as reached")
        << QStringList{"/a.gif", "-/b.gif", "/missing.gif"} << QStringList{"saved", "", "failed"}
        << QStringList{"a.gif=A"} << "1 of the 2 ticked files could not be downloaded." << none;
    QTest::newRow("the later of two same names wins")
        << QStringList{"/a.gif", "/dir/a.gif"} << QStringList{"saved", "saved"}
        << QStringList{"a.gif=DA"} << QString() << none;
    QTest::newRow("names that cannot be written are refused, though the server has them")
        << QStringList{"/dir/", "/regcontrol", "/b.gif"} << QStringList{"failed", "failed", "saved"}
        << QStringList{"b.gif=B"} << "2 of the 3 ticked files could not be downloaded." << none;
    QTest::newRow("an entry with a line break shows its mark on its one line")
        << QStringList{"/x\ny.gif", "/b.gif"} << QStringList{"failed", "saved"}
        << QStringList{"b.gif=B"} << "1 of the 2 ticked files could not be downloaded." << none;
    QTest::newRow("an entry unticked while it waits loses its mark")
        << QStringList{"/a.gif", "/b.gif", "/dir/c.zip"} << QStringList{"saved", "", "saved"}
        << QStringList{"a.gif=A", "c.zip=C"} << QString() << "untick 1";
    QTest::newRow("the entry being fetched removed: the next one is still reached")
        << QStringList{"/a.gif", "/b.gif", "/dir/c.zip"} << QStringList{"saved", "saved"}
        << QStringList{"a.gif=A", "b.gif=B", "c.zip=C"} << QString() << "remove 0";
}

void TestDownloads::checkedRun() {
    QFETCH(QStringList, paths);
    QFETCH(QStringList, statuses);
    QFETCH(QStringList, files);
    QFETCH(QString, message);
    QFETCH(QString, during);

    m_server->setResponse("/dir/", file("a folder's page"));
    m_server->setResponse("/regcontrol", file("not the registration tool"));
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
        finder->entryList()->setTicked(row, !paths[row].startsWith('-'));
    HostedButton run = finder->downloadCheckedButton();
    QString captionWhileAsked;
    m_main.boxes->whileShown = [&] { captionWhileAsked = run.caption(); };
    // When the first file is asked for, every ticked entry after it waits its turn.
    QStringList notWaiting;
    CheckListModel* model = finder->entryList()->entries();
    connect(m_server.get(), &TestHttpServer::requestReceived, finder, [&] {
        disconnect(m_server.get(), nullptr, finder, nullptr);
        bool behind = false;
        for (int row = 0; row < paths.size(); ++row) {
            if (behind && !paths[row].startsWith('-') && model->status(row) != "waiting")
                notWaiting << paths[row];
            behind = behind || model->status(row).startsWith("fetching");
        }
        const QStringList action = during.split(' ');
        if (action.first() == "untick")
            finder->entryList()->setTicked(action.last().toInt(), false);
        if (action.first() == "remove")
            finder->entryList()->removeEntry(action.last().toInt());
    });

    run.click();

    QCOMPARE(m_main.boxes->texts().value(0), checkedDownloadQuestion(m_folder->path() + "/"));
    QCOMPARE(m_main.boxes->messages.first().buttons, MessageButtons::YesNo);
    QCOMPARE(captionWhileAsked, QString("D/L Checked"));
    const bool anyTicked = !statuses.filter(QRegularExpression(".+")).isEmpty();
    QCOMPARE(run.caption(), QString(anyTicked ? "Cancel" : "D/L Checked"));
    m_main.boxes->whileShown = nullptr;
    QTRY_COMPARE(finder->runState(), FindFiles::RunState::Idle);
    QCOMPARE(finder->downloadCheckedButton().caption(), QString("D/L Checked"));
    QVERIFY(finder->downloadCheckedButton().isEnabled());

    QCOMPARE(notWaiting, QStringList());
    QStringList shown;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString status = model->status(row);
        shown << status;
        const QString line = model->data(model->index(row), Qt::DisplayRole).toString();
        QVERIFY2(!line.contains('\n') && (status.isEmpty() || line.endsWith("[" + status + "]")),
                 qPrintable(line));
    }
    QCOMPARE(shown, statuses);
    QStringList written;
    for (const QString& name : QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden))
        written << name + "=" + contentOf(m_folder->filePath(name));
    QCOMPARE(written, files);
    if (message.isEmpty()) {
        QCOMPARE(m_main.boxes->messages.size(), 1);
    } else {
        QTRY_COMPARE(m_main.boxes->messages.size(), 2);
        QVERIFY2(m_main.boxes->lastText().startsWith(message),
                 qPrintable(m_main.boxes->lastText()));
        QCOMPARE(m_main.boxes->messages.last().icon, MessageIcon::Stop);
    }
}

void TestDownloads::checkedRunAnsweredNo() {
    m_server->setResponse("/a.gif", file("A"));
    FindFiles* finder = openFinder({m_server->url("/a.gif")});
    QVERIFY(finder);
    finder->entryList()->setTicked(0, true);
    m_main.boxes->answers.enqueue(MessageAnswer::No);

    finder->downloadCheckedButton().click();

    QCOMPARE(finder->downloadCheckedButton().caption(), QString("D/L Checked"));
    QCOMPARE(finder->runState(), FindFiles::RunState::Idle);
    QCOMPARE(m_server->requestCount("/a.gif"), 0);
    QVERIFY(QDir(m_folder->path()).isEmpty());
}

void TestDownloads::installedCopySavesIntoTheDownloadFolder() {
    // A folder that is not the user's: another user's, or one the user may not write.
    QTemporaryDir downloads;
    QVERIFY(downloads.isValid());
    setDownloadFolder(downloads.path());
    const auto restore = qScopeGuard([] { setDownloadFolder(QString()); });
    if (geteuid() == 0)
        QVERIFY(::chown(QFile::encodeName(m_folder->path()).constData(), 4321, 4321) == 0);
    else
        QVERIFY(QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::ExeOwner));
    m_server->setResponse("/a.gif", file("A"));
    FindFiles* finder = openFinder({m_server->url("/a.gif")});
    QVERIFY(finder);
    finder->entryList()->setTicked(0, true);

    finder->downloadCheckedButton().click();

    QTRY_COMPARE(finder->runState(), FindFiles::RunState::Idle);
    QCOMPARE(m_main.boxes->texts().value(0),
             checkedDownloadQuestion(downloads.path() + "/", false));
    QCOMPARE(contentOf(downloads.filePath("a.gif")), QByteArray("A"));
    QVERIFY(!QFile::exists(m_folder->filePath("a.gif")));
    QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestDownloads::cancelEndsOnlyTheTransferInProgress() {
    m_server->setResponse("/slow.gif", stalling());
    m_server->setResponse("/b.gif", file("B"));
    write(m_folder->filePath("slow.gif"), "the old one");
    FindFiles* finder = openFinder({m_server->url("/slow.gif"), m_server->url("/b.gif")});
    QVERIFY(finder);
    finder->entryList()->setTicked(0, true);
    finder->entryList()->setTicked(1, true);
    HostedButton run = finder->downloadCheckedButton();
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
    QCOMPARE(finder->entryList()->entries()->status(0), QString("cancelled"));
    QCOMPARE(finder->entryList()->entries()->status(1), QString("saved"));
    QCOMPARE(contentOf(m_folder->filePath("slow.gif")), QByteArray("the old one"));
    QCOMPARE(contentOf(m_folder->filePath("b.gif")), QByteArray("B"));
    QTest::qWait(50);
    QCOMPARE(m_main.boxes->messages.size(), 1);
}

void TestDownloads::exitEndsTheRun_data() {
    QTest::addColumn<bool>("whileAsked"); // else while the first file is fetched

    QTest::newRow("Exit while a file is fetched") << false;
    QTest::newRow("the window closed while the question is open") << true;
}

void TestDownloads::exitEndsTheRun() {
    QFETCH(bool, whileAsked);
    m_server->setResponse("/slow.gif", stalling());
    m_server->setResponse("/b.gif", file("B"));
    QPointer<FindFiles> finder = openFinder({m_server->url("/slow.gif"), m_server->url("/b.gif")});
    QVERIFY(finder);
    finder->entryList()->setTicked(0, true);
    finder->entryList()->setTicked(1, true);
    if (whileAsked) {
        m_main.boxes->whileShown = [&finder] { finder->exitButton().click(); };
    } else {
        connect(m_server.get(), &TestHttpServer::requestReceived, finder,
                [&finder] { finder->exitButton().click(); });
    }

    finder->downloadCheckedButton().click();

    // Closed while asked, the window is still there for a moment: the run must not start in it.
    QVERIFY(!whileAsked || !finder || !finder->transfer()->isFetching());
    QTRY_VERIFY(!finder);
    QTest::qWait(50); // nothing is left that could start the next entry
    QCOMPARE(m_server->requestCount("/slow.gif"), whileAsked ? 0 : 1);
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
        finder->entryList()->setTicked(row, true);
    connect(m_server.get(), &TestHttpServer::requestReceived, finder, [finder](const QString&) {
        // The entry being fetched and the ones behind it go while it waits.
        while (finder->entryList()->count() > 0)
            finder->entryList()->removeEntry(finder->entryList()->count() - 1);
    });

    finder->downloadCheckedButton().click();

    QTRY_COMPARE(finder->runState(), FindFiles::RunState::Idle);
    QCOMPARE(m_server->requestCount("/b.gif") + m_server->requestCount("/c.gif"), 0);
    QCOMPARE(contentOf(m_folder->filePath("a.gif")), QByteArray("A"));
}

QTEST_MAIN(TestDownloads)
#include "tst_downloads.moc"
