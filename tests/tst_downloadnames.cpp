// The text rules of the downloads: folder paths, the names and extensions taken from an entry,
// the name a typed name is saved under, and the names that are never written.

#include "logic/downloadnames.h"
#include "logic/fixpath.h"

#include <QTest>

class TestDownloadNames : public QObject {
    Q_OBJECT

private slots:
    void fixPath_data();
    void fixPath();
    void namesFromAnEntry_data();
    void namesFromAnEntry();
    void finalName_data();
    void finalName();
    void refusedNames_data();
    void refusedNames();
    void questionNamesTheFolder();
};

void TestDownloadNames::fixPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("folder gets its separator") << "/home/robin"
                                               << "/home/robin/";
    QTest::newRow("folder with its separator keeps one") << "/home/robin/"
                                                         << "/home/robin/";
    QTest::newRow("root keeps its single separator") << "/"
                                                     << "/";
    QTest::newRow("empty text becomes the separator") << ""
                                                      << "/";
}

void TestDownloadNames::fixPath() {
    QFETCH(QString, path);
    QFETCH(QString, expected);

    QString callers = path;
    QCOMPARE(FixPath(callers), expected);
    QCOMPARE(callers, expected);
}

void TestDownloadNames::namesFromAnEntry_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("downloadName"); // what Download hands the save window
    QTest::addColumn<QString>("downloadExt");
    QTest::addColumn<QString>("checkedAddress"); // what "D/L Checked" fetches and saves as
    QTest::addColumn<QString>("checkedName");

    QTest::newRow("last segment of an address") << " http://h/dir/pic.gif "
                                                << "pic.gif"
                                                << ".gif"
                                                << "http://h/dir/pic.gif"
                                                << "pic.gif";
    QTest::newRow("extension is from the last dot") << "http://h/a.tar.gz"
                                                    << "a.tar.gz"
                                                    << ".gz"
                                                    << "http://h/a.tar.gz"
                                                    << "a.tar.gz";
    QTest::newRow("three dots stay for Download, go for D/L Checked") << "...x.gif"
                                                                      << "...x.gif"
                                                                      << ".gif"
                                                                      << "x.gif"
                                                                      << "x.gif";
    QTest::newRow("leading slash stays for Download, goes for D/L Checked") << "/x.gif"
                                                                            << "x.gif"
                                                                            << ".gif"
                                                                            << "x.gif"
                                                                            << "x.gif";
    QTest::newRow("three dots then a slash both go") << ".../x.gif"
                                                     << "x.gif"
                                                     << ".gif"
                                                     << "x.gif"
                                                     << "x.gif";
    QTest::newRow("name without a dot has no extension") << "http://h/files/README"
                                                         << "README"
                                                         << ""
                                                         << "http://h/files/README"
                                                         << "README";
    QTest::newRow("dot in the folder only is no extension") << "http://h.example/files/README"
                                                            << "README"
                                                            << ""
                                                            << "http://h.example/files/README"
                                                            << "README";
    QTest::newRow("a name whose only dot leads it is all extension") << "http://h/.profile"
                                                                     << ".profile"
                                                                     << ".profile"
                                                                     << "http://h/.profile"
                                                                     << ".profile";
    QTest::newRow("address ending in a slash names no file") << "http://h/dir/"
                                                             << ""
                                                             << ""
                                                             << "http://h/dir/"
                                                             << "";
}

void TestDownloadNames::namesFromAnEntry() {
    QFETCH(QString, entry);
    QFETCH(QString, downloadName);
    QFETCH(QString, downloadExt);
    QFETCH(QString, checkedAddress);
    QFETCH(QString, checkedName);

    QCOMPARE(fileNameOf(entry.trimmed()), downloadName);
    QCOMPARE(fileExtOf(downloadName), downloadExt);
    QCOMPARE(checkedEntryAddress(entry), checkedAddress);
    QCOMPARE(fileNameOf(checkedAddress), checkedName);
}

void TestDownloadNames::finalName_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("expected");

    QTest::newRow("missing extension is added") << "photo"
                                                << ".gif"
                                                << "photo.gif";
    QTest::newRow("extension in other letter case counts") << "PHOTO.GIF"
                                                           << ".gif"
                                                           << "PHOTO.GIF";
    QTest::newRow("extension anywhere in the name counts") << "photo.gif.bak"
                                                           << ".gif"
                                                           << "photo.gif.bak";
    QTest::newRow("no extension, name as typed") << "photo"
                                                 << ""
                                                 << "photo";
    QTest::newRow("spaces are kept") << " photo "
                                     << ".gif"
                                     << " photo .gif";
}

void TestDownloadNames::finalName() {
    QFETCH(QString, typed);
    QFETCH(QString, extension);
    QFETCH(QString, expected);

    QCOMPARE(::finalName(typed, extension), expected);
}

void TestDownloadNames::refusedNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refused");

    QTest::newRow("empty") << "" << true;
    QTest::newRow("dot") << "." << true;
    QTest::newRow("two dots") << ".." << true;
    QTest::newRow("slash") << "a/b.gif" << true;
    QTest::newRow("climbing out") << "../b.gif" << true;
    QTest::newRow("backslash") << "a\\b.gif" << true;
    QTest::newRow("tab") << "a\tb.gif" << true;
    QTest::newRow("line feed") << "a\nb.gif" << true;
    QTest::newRow("delete character") << QStringLiteral("a\x7F.gif") << true;
    QTest::newRow("unit separator, the last control character")
        << QStringLiteral("a\x1F.gif") << true;
    QTest::newRow("right-to-left override, which shows txt.exe as exe.txt")
        << QStringLiteral("bidi\u202Etxt.exe") << true;
    QTest::newRow("zero-width space") << QStringLiteral("pic\u200B.gif") << true;
    QTest::newRow("first strong isolate") << QStringLiteral("pic\u2068.gif") << true;
    QTest::newRow("letters of other scripts")
        << QStringLiteral("caf\u00E9-\u0444\u043E\u0442\u043E.gif") << false;
    QTest::newRow("plain name") << "pic.gif" << false;
    QTest::newRow("three dots in front") << "...x.gif" << false;
    QTest::newRow("hidden name") << ".profile" << false;
    QTest::newRow("spaces and percent signs") << "a b%20c.zip" << false;
}

void TestDownloadNames::refusedNames() {
    QFETCH(QString, name);
    QFETCH(bool, refused);

    QCOMPARE(!refusedNameReason(name).isEmpty(), refused);
}

void TestDownloadNames::questionNamesTheFolder() {
    QCOMPARE(checkedDownloadQuestion("/opt/tarvell/"),
             QString("This operation will download all of the selected files into the same folder "
                     "as this application (/opt/tarvell/).  In doing so, it will overwrite any "
                     "files in this folder that have the same name as a file being downloaded.  "
                     "Do you want to continue?"));
}

QTEST_GUILESS_MAIN(TestDownloadNames)
#include "tst_downloadnames.moc"
