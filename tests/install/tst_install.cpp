// The installed program, as a user of the machine meets it: `cmake --install` into a temporary
// prefix; the files where a desktop looks for them and accepted by its validators; the control
// library registered for every user by the installed registration tool; and the installed
// program started by a user with no registration of their own.
//
// The program is watched from outside, as it runs for a user. It is started on the address of
// a page of a local server: it fetches that page only once its window is loaded and shown, so
// when the page is asked for, the window has created its buttons or said on stderr which ones
// it could not create. The run without any registration waits for that sentence instead.

#include "support/testhttpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString appId = QStringLiteral("org.tarvell.Tarvell");
const QString couldNotCreate = QStringLiteral("could not be created");

QString desktopEntryPath() {
    return QStringLiteral(TARVELL_INSTALL_DATADIR "/applications/%1.desktop").arg(appId);
}

QString metainfoPath() {
    return QStringLiteral(TARVELL_INSTALL_DATADIR "/metainfo/%1.metainfo.xml").arg(appId);
}

QString manualPagePath(const QString& program) {
    return QStringLiteral(TARVELL_INSTALL_MANDIR "/man1/%1.1.gz").arg(program);
}

QString copyrightPath() {
    return QStringLiteral(TARVELL_INSTALL_DATADIR "/doc/tarvell/copyright");
}

QString libraryPath() {
    return QStringLiteral(TARVELL_INSTALL_PRIVATE_LIBDIR "/libLumet.so");
}

// The keys of the desktop entry's main group. QSettings cannot read it: it takes a comma in a
// value for a list separator.
QHash<QString, QString> desktopEntryKeys(const QString& path) {
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith('['))
            inEntry = line == QLatin1String("[Desktop Entry]");
        const qsizetype equals = line.indexOf('=');
        if (inEntry && equals > 0)
            keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void installsEachFileInItsPlace_data();
    void installsEachFileInItsPlace();
    void passesTheDesktopsValidators_data();
    void passesTheDesktopsValidators();
    void copyrightStatesEveryLicenceItNames();
    void desktopEntryStartsTheInstalledProgram();
    void registersForEveryUserWithTheInstalledTool();
    void installedProgramCreatesItsButtonsForEveryUser();
    void withoutARegistrationTheProgramSaysWhereItLooked();

private:
    struct Run {
        bool askedForThePage = false;
        bool stillRunning = false;
        QString errors;
    };

    QString installed(const QString& relative) const { return m_prefix + '/' + relative; }
    // A user of the machine with a home of their own and no registration in it.
    QProcessEnvironment userEnvironment(const QString& home, const QString& configDirs) const;
    // Starts the installed program on a page of the local server and lets it run until it asks
    // for the page, says `until` on stderr, or ends.
    void startProgram(const QProcessEnvironment& environment, const QString& until, Run* run);
    void runInstalledTool(const QProcessEnvironment& environment, const QStringList& arguments);

    QTemporaryDir m_root;
    QString m_prefix;
    QString m_systemConfig;
    std::unique_ptr<TestHttpServer> m_server;
    int m_runs = 0;
};

QProcessEnvironment TestInstall::userEnvironment(const QString& home,
                                                 const QString& configDirs) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("INPROC_REGISTRY");
    // The local page must be asked for directly, whatever proxy this machine is set up with.
    for (const char* proxy :
         {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
        environment.remove(proxy);
    environment.insert("HOME", home);
    environment.insert("XDG_CONFIG_HOME", home + "/.config");
    environment.insert("XDG_CONFIG_DIRS", configDirs);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

void TestInstall::runInstalledTool(const QProcessEnvironment& environment,
                                   const QStringList& arguments) {
    QProcess tool;
    tool.setProcessEnvironment(environment);
    tool.start(installed(TARVELL_INSTALL_BINDIR "/regcontrol"), arguments);
    QVERIFY(tool.waitForFinished(60000));
    QVERIFY2(tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0,
             tool.readAllStandardError().constData());
}

void TestInstall::startProgram(const QProcessEnvironment& environment, const QString& until,
                               Run* run) {
    const QString page = QStringLiteral("/page-%1.html").arg(++m_runs);
    TestHttpServer::Response response;
    response.headers = {{"Content-Type", "text/html"}};
    response.body = "<html><a href=\"next.html\">next</a></html>";
    m_server->setResponse(page, response);

    QProcess program;
    program.setProcessEnvironment(environment);
    connect(&program, &QProcess::readyReadStandardError, this,
            [&] { run->errors += QString::fromLocal8Bit(program.readAllStandardError()); });
    program.start(installed(TARVELL_INSTALL_BINDIR "/Tarvell"), {m_server->url(page)});
    QVERIFY2(program.waitForStarted(30000), qPrintable(program.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount(page) > 0 ||
                                 (!until.isEmpty() && run->errors.contains(until)) ||
                                 program.state() == QProcess::NotRunning,
                             60000);
    run->askedForThePage = m_server->requestCount(page) > 0;
    run->stillRunning = program.state() == QProcess::Running;
    program.kill();
    program.waitForFinished(30000);
    run->errors += QString::fromLocal8Bit(program.readAllStandardError());
}

void TestInstall::initTestCase() {
    QVERIFY(m_root.isValid());
    m_prefix = m_root.filePath("prefix");
    m_systemConfig = m_root.filePath("etc/xdg");
    m_server = std::make_unique<TestHttpServer>();

    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(TARVELL_CMAKE),
                  {"--install", QStringLiteral(TARVELL_BUILD_DIR), "--prefix", m_prefix});
    QVERIFY(install.waitForFinished(300000));
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
             install.readAll().constData());

    // As the package's maintainer scripts do it, with the tool and the library installed.
    QTemporaryDir administrator;
    QVERIFY(administrator.isValid());
    runInstalledTool(userEnvironment(administrator.path(), m_systemConfig),
                     {"--system", installed(libraryPath())});
}

void TestInstall::installsEachFileInItsPlace_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("program");
    QTest::addColumn<int>("iconSize");

    const QString icons = QStringLiteral(TARVELL_INSTALL_DATADIR "/icons/hicolor/");
    QTest::newRow("the program") << QString(TARVELL_INSTALL_BINDIR "/Tarvell") << true << 0;
    QTest::newRow("the registration tool")
        << QString(TARVELL_INSTALL_BINDIR "/regcontrol") << true << 0;
    QTest::newRow("the control library, in the program's own folder")
        << libraryPath() << false << 0;
    QTest::newRow("the desktop entry") << desktopEntryPath() << false << 0;
    QTest::newRow("the metainfo") << metainfoPath() << false << 0;
    for (const int size : {16, 32, 48})
        QTest::addRow("the %dx%d icon", size, size)
            << icons + QStringLiteral("%1x%1/apps/%2.png").arg(size).arg(appId) << false << size;
    QTest::newRow("the scalable icon")
        << icons + QStringLiteral("scalable/apps/%1.svg").arg(appId) << false << 0;
    QTest::newRow("the program's manual page") << manualPagePath("Tarvell") << false << 0;
    QTest::newRow("the registration tool's manual page")
        << manualPagePath("regcontrol") << false << 0;
    QTest::newRow("the copyright file") << copyrightPath() << false << 0;
    QTest::newRow("the changelog")
        << QString(TARVELL_INSTALL_DATADIR "/doc/tarvell/changelog.Debian.gz") << false << 0;
}

void TestInstall::installsEachFileInItsPlace() {
    QFETCH(QString, path);
    QFETCH(bool, program);
    QFETCH(int, iconSize);
    const QFileInfo file(installed(path));
    QVERIFY2(file.isFile(), qPrintable(file.filePath()));
    QCOMPARE(file.isExecutable(), program);
    if (iconSize > 0)
        QCOMPARE(QImage(file.filePath()).size(), QSize(iconSize, iconSize));
    // Hosts find the library through the registry; it has no business on the library path.
    QVERIFY(!QFileInfo::exists(installed(TARVELL_INSTALL_LIBDIR "/libLumet.so")));
}

void TestInstall::passesTheDesktopsValidators_data() {
    QTest::addColumn<QString>("validator");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("desktop-file-validate on the desktop entry")
        << QString(TARVELL_DESKTOP_FILE_VALIDATE) << QStringList{installed(desktopEntryPath())};
    // --no-net: tests never go on the internet, and the metainfo names no address anyway.
    QTest::newRow("appstreamcli on the metainfo")
        << QString(TARVELL_APPSTREAMCLI)
        << QStringList{"validate", "--no-net", "--no-color", installed(metainfoPath())};
    // man says what its formatter warns of; the page itself is left out.
    const QString manWarnings = QStringLiteral("\"$0\" --warnings -l -Tutf8 \"$1\" >/dev/null");
    for (const QString program : {"Tarvell", "regcontrol"})
        QTest::addRow("man on the manual page of %s", qPrintable(program))
            << QString("/bin/sh")
            << QStringList{"-c", manWarnings, TARVELL_MAN, installed(manualPagePath(program))};
}

void TestInstall::passesTheDesktopsValidators() {
    QFETCH(QString, validator);
    QFETCH(QStringList, arguments);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(validator, arguments);
    QVERIFY(process.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(process.readAll());
    QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
             qPrintable(output));
    // desktop-file-validate passes a file it only warns about; a warning still fails here.
    QVERIFY2(!output.contains("warning", Qt::CaseInsensitive), qPrintable(output));
}

// Every licence the copyright file gives a file is stated in it, and the editor carried inside
// the program is covered by paragraphs of its own.
void TestInstall::copyrightStatesEveryLicenceItNames() {
    QFile file(installed(copyrightPath()));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList paragraphs =
        QString::fromUtf8(file.readAll()).split(QRegularExpression("\n\\s*\n"));
    QVERIFY(paragraphs.first().startsWith("Format: "));
    QSet<QString> named;
    QSet<QString> stated;
    bool coversTheEditor = false;
    for (const QString& paragraph : paragraphs) {
        const QRegularExpressionMatch licence =
            QRegularExpression("^License: *(\\S+)\n?( .*)?", QRegularExpression::MultilineOption)
                .match(paragraph);
        if (licence.hasMatch() && paragraph.startsWith("Files:"))
            named << licence.captured(1);
        if (licence.hasMatch() && !licence.captured(2).isEmpty())
            stated << licence.captured(1);
        coversTheEditor |= paragraph.startsWith("Files: editor/qscintilla2/*");
    }
    QVERIFY(named.contains("GPL-3+"));
    QVERIFY2(stated.contains(named), qPrintable(QStringList(named.values()).join(' ')));
    QCOMPARE(coversTheEditor, bool(TARVELL_EDITOR_CHANGED));
}

void TestInstall::desktopEntryStartsTheInstalledProgram() {
    const QHash<QString, QString> entry = desktopEntryKeys(installed(desktopEntryPath()));
    QCOMPARE(entry.value("Type"), QString("Application"));
    QCOMPARE(entry.value("Name"), QString("Tarvell"));
    QVERIFY(!entry.value("GenericName").isEmpty());
    QVERIFY(!entry.value("Comment").isEmpty());
    QCOMPARE(entry.value("Categories"), QString("Network;WebDevelopment;"));
    // The desktop hands over at most one address; the program takes at most one.
    QCOMPARE(entry.value("Exec"), QString("Tarvell %u"));
    QVERIFY(QFileInfo(installed(TARVELL_INSTALL_BINDIR "/Tarvell")).isExecutable());
    QCOMPARE(entry.value("Icon"), appId);

    // Software centres join the metainfo to the desktop entry by its name.
    QFile metainfo(installed(metainfoPath()));
    QVERIFY(metainfo.open(QIODevice::ReadOnly));
    const QByteArray launchable = "<launchable type=\"desktop-id\">" +
                                  QFileInfo(desktopEntryPath()).fileName().toUtf8() +
                                  "</launchable>";
    QVERIFY(metainfo.readAll().contains(launchable));
}

void TestInstall::registersForEveryUserWithTheInstalledTool() {
    const QString registry = m_systemConfig + "/inproc/classes.ini";
    QVERIFY(QFileInfo::exists(registry));
    const QSettings written(registry, QSettings::IniFormat);
    const QString classId = written.value("ProgID/lumet1.lumet/CLSID").toString();
    QVERIFY(!classId.isEmpty());
    QCOMPARE(written.value("CLSID/" + classId + "/InprocServer").toString(),
             QFileInfo(installed(libraryPath())).absoluteFilePath());
    QVERIFY(QFileInfo(registry).permissions().testFlag(QFile::ReadOther));
}

void TestInstall::installedProgramCreatesItsButtonsForEveryUser() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    Run run;
    startProgram(userEnvironment(home.path(), m_systemConfig), couldNotCreate, &run);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(run.askedForThePage, qPrintable(run.errors));
    QVERIFY2(run.stillRunning, qPrintable(run.errors));
    QVERIFY2(!run.errors.contains(couldNotCreate), qPrintable(run.errors));
    // Reading the registries wrote nothing into the user's configuration.
    QVERIFY(!QFileInfo::exists(home.filePath(".config/inproc/classes.ini")));
}

void TestInstall::withoutARegistrationTheProgramSaysWhereItLooked() {
    QTemporaryDir home;
    QTemporaryDir emptySystem;
    QVERIFY(home.isValid() && emptySystem.isValid());
    Run run;
    startProgram(userEnvironment(home.path(), emptySystem.path()), couldNotCreate, &run);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(run.errors.contains(couldNotCreate), qPrintable(run.errors));
    QVERIFY2(run.errors.contains("\"Lumet1.Lumet\" is not registered"), qPrintable(run.errors));
    for (const QString& registry :
         {home.filePath(".config/inproc/classes.ini"), emptySystem.filePath("inproc/classes.ini")})
        QVERIFY2(run.errors.contains(QDir::toNativeSeparators(registry)), qPrintable(run.errors));
    // It says so in its window, which stays open.
    QVERIFY2(run.stillRunning, qPrintable(run.errors));
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
