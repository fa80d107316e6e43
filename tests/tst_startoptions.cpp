// The program's command line: an optional address, and help and the version answered as a Qt
// program answers them, without a display.

#include "main/startoptions.h"

#include <Qsci/qsciglobal.h>

#include <QProcess>
#include <QtTest>

class TestStartOptions : public QObject {
    Q_OBJECT

private slots:
    void asksForTextOnly_data();
    void asksForTextOnly();
    void readsTheAddress_data();
    void readsTheAddress();
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
    void refusesASecondAddress();

private:
    static QProcessEnvironment withoutDisplay();
};

QProcessEnvironment TestStartOptions::withoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(name);
    return environment;
}

void TestStartOptions::asksForTextOnly_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("textOnly");

    QTest::newRow("nothing") << QStringList{"Tarvell"} << false;
    QTest::newRow("an address") << QStringList{"Tarvell", "http://host.example/"} << false;
    QTest::newRow("--help") << QStringList{"Tarvell", "--help"} << true;
    QTest::newRow("-h") << QStringList{"Tarvell", "-h"} << true;
    QTest::newRow("--help-all") << QStringList{"Tarvell", "--help-all"} << true;
    QTest::newRow("--version") << QStringList{"Tarvell", "--version"} << true;
    QTest::newRow("-v") << QStringList{"Tarvell", "-v"} << true;
    QTest::newRow("the version after an address")
        << QStringList{"Tarvell", "host.example", "--version"} << true;
    // Options of the window system are the window system's: they need the window program.
    QTest::newRow("a window system option")
        << QStringList{"Tarvell", "-platform", "offscreen", "host.example"} << false;
}

void TestStartOptions::asksForTextOnly() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, textOnly);
    QCOMPARE(StartOptions::asksForTextOnly(arguments), textOnly);
}

void TestStartOptions::readsTheAddress_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("address");

    QTest::newRow("no address") << QStringList{"Tarvell"} << QString();
    QTest::newRow("an address, exactly as given")
        << QStringList{"Tarvell", " host.example:8080/a b "} << " host.example:8080/a b ";
    QTest::newRow("an address after --")
        << QStringList{"Tarvell", "--", "-page.html"} << "-page.html";
}

void TestStartOptions::readsTheAddress() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, address);
    QCOMPARE(StartOptions::read(arguments).address, address);
}

void TestStartOptions::answersWithoutADisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says");

    QTest::newRow("--version") << QStringList{"--version"} << "Tarvell 1.0\n";
    // A build that could not have the editor's source carries the packaged editor, which is
    // much slower on long lines: the version tells such a copy apart.
    QTest::newRow("--version names the editor it carries")
        << QStringList{"--version"}
        << QString("\neditor: QScintilla " QSCINTILLA_VERSION_STR ", ") +
               (TARVELL_EDITOR_CHANGED ? "changed for long lines" : "as packaged");
    QTest::newRow("--help") << QStringList{"--help"} << "[address]";
    QTest::newRow("-h with an address") << QStringList{"http://host.example/", "-h"} << "--version";
}

void TestStartOptions::answersWithoutADisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);
    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    program.start(QStringLiteral(TARVELL_BIN_DIR "/Tarvell"), arguments);
    QVERIFY(program.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(program.readAllStandardOutput());
    QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0,
             program.readAllStandardError().constData());
    QVERIFY2(output.contains(says), qPrintable(output));
}

void TestStartOptions::refusesASecondAddress() {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TARVELL_BIN_DIR "/Tarvell"), {"one.example", "two.example"});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY(program.exitCode() != 0);
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    QVERIFY2(errors.contains("at most one address"), qPrintable(errors));
}

QTEST_GUILESS_MAIN(TestStartOptions)
#include "tst_startoptions.moc"
