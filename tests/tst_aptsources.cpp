// The build reaches Debian's archives only through the machine's own apt sources:
// scripts/apt-sources writes them as source entries for apt-get source, and names the archive
// that serves a suite for the chroot of scripts/try-package. Run here on the sources of a
// machine made up for each row, which apt's configuration points it at; nothing is fetched.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Answer {
    int exitCode = -1;
    QString output;
    QString written;
};

// Runs the script on a machine whose sources.list holds `oneLine` and whose sources.list.d
// holds `deb822` as machine.sources.
Answer runOnMachine(const QString& oneLine, const QString& deb822, const QStringList& arguments,
                    const QString& folder) {
    QTemporaryDir machine;
    const auto write = [&](const QString& name, const QString& text) {
        QFile file(machine.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.size();
    };
    QDir(machine.path()).mkpath("sources.list.d");
    if (!write("sources.list", oneLine) || !write("sources.list.d/machine.sources", deb822) ||
        !write("apt.conf", QStringLiteral("Dir::Etc::SourceList \"%1/sources.list\";\n"
                                          "Dir::Etc::SourceParts \"%1/sources.list.d\";\n")
                               .arg(machine.path())))
        return {};
    QProcess script;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("APT_CONFIG", machine.filePath("apt.conf"));
    script.setProcessEnvironment(environment);
    script.start(QStringLiteral(TARVELL_SOURCE_DIR "/scripts/apt-sources"), arguments);
    script.waitForFinished(30000);
    Answer answer{script.exitCode(), QString::fromUtf8(script.readAllStandardOutput()), {}};
    const QFileInfoList written =
        folder.isEmpty() ? QFileInfoList() : QDir(folder).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& file : written) {
        QFile entries(file.filePath());
        entries.open(QIODevice::ReadOnly);
        answer.written += QString::fromUtf8(entries.readAll());
    }
    return answer;
}

const QString archive = QStringLiteral("URIs: http://archive.test/debian\nComponents: main\n");

} // namespace

class TestAptSources : public QObject {
    Q_OBJECT

private slots:
    void writesTheMachinesEntriesAsSourceEntries_data();
    void writesTheMachinesEntriesAsSourceEntries();
    void namesTheArchiveServingASuite_data();
    void namesTheArchiveServingASuite();
};

void TestAptSources::writesTheMachinesEntriesAsSourceEntries_data() {
    QTest::addColumn<QString>("oneLine");
    QTest::addColumn<QString>("deb822");
    QTest::addColumn<QString>("written");

    const QString stanza = archive + "Suites: stable stable-updates\nSigned-By: /k.gpg\n";
    QTest::newRow("a deb822 stanza, its types replaced and the rest kept")
        << ""
        << "Types: deb\n" + stanza << "Types: deb-src\n" + stanza;
    QTest::newRow("a deb822 stanza of both types, named once")
        << ""
        << "Types: deb deb-src\n" + stanza << "Types: deb-src\n" + stanza;
    QTest::newRow("one-line entries with their options, comments left out")
        << "deb [arch=amd64] http://archive.test/debian stable main # the archive\n"
           "# deb http://old.test/debian stable main\n"
        << ""
        << "deb-src [arch=amd64] http://archive.test/debian stable main\n";
    QTest::newRow("a one-line archive listed with both types, named once")
        << "deb http://archive.test/debian stable main\n"
           "deb-src http://archive.test/debian stable main\n"
        << ""
        << "deb-src http://archive.test/debian stable main\n";
}

void TestAptSources::writesTheMachinesEntriesAsSourceEntries() {
    QFETCH(QString, oneLine);
    QFETCH(QString, deb822);
    QFETCH(QString, written);
    QTemporaryDir folder;

    const Answer answer = runOnMachine(oneLine, deb822, {"deb-src", folder.path()}, folder.path());

    QCOMPARE(answer.exitCode, 0);
    QCOMPARE(answer.written, written);
}

void TestAptSources::namesTheArchiveServingASuite_data() {
    QTest::addColumn<QString>("oneLine");
    QTest::addColumn<QString>("deb822");
    QTest::addColumn<QString>("address");

    const QString updates =
        "Types: deb\nURIs: http://updates.test/debian\nSuites: stable-updates\n";
    QTest::newRow("the first stanza serving the suite itself, not a suite named after it")
        << "" << updates + "\nTypes: deb\nSuites: stable stable-updates\n" + archive
        << "http://archive.test/debian";
    QTest::newRow("a disabled stanza passed over")
        << ""
        << "Types: deb\nEnabled: no\nURIs: http://off.test/debian\nSuites: stable\n\n"
           "Types: deb\nSuites: stable\n" +
               archive
        << "http://archive.test/debian";
    QTest::newRow("a stanza of sources only passed over")
        << "deb http://archive.test/debian stable main\n"
        << "Types: deb-src\nURIs: http://sources.test/debian\nSuites: stable\n"
        << "http://archive.test/debian";
    QTest::newRow("a one-line entry with options")
        << "deb [signed-by=/k.gpg] http://archive.test/debian stable main\n"
        << ""
        << "http://archive.test/debian";
    QTest::newRow("no archive serving the suite") << "" << updates << "";
}

void TestAptSources::namesTheArchiveServingASuite() {
    QFETCH(QString, oneLine);
    QFETCH(QString, deb822);
    QFETCH(QString, address);

    const Answer answer = runOnMachine(oneLine, deb822, {"mirror", "stable"}, {});

    QCOMPARE(answer.output.trimmed(), address);
    QCOMPARE(answer.exitCode, address.isEmpty() ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestAptSources)
#include "tst_aptsources.moc"
