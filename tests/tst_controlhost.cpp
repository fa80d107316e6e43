#include "forms/controlhost.h"
#include "forms/hostedbutton.h"
#include "forms/propertyrecord.h"
#include "inproc/classregistry.h"
#include "inproc/inprocserver.h"
#include "support/controlregistration.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

class TestControlHost : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void createsARegisteredControlWithItsStoredRecord();
    void loadsTheRecordWithTheParentsFontAsDefault();
    void refusesWhatItCannotCreate_data();
    void refusesWhatItCannotCreate();
    void readsTheUsersRegistryThenTheSystemOne_data();
    void readsTheUsersRegistryThenTheSystemOne();
    void hostedButtonOnADestroyedControlDoesNothing();
    void hostedButtonClickRunsTheHandlerUnlessDisabled();

private:
    QString registerBroken(const QString& name, const QString& libraryPath,
                           const QString& classId = QString());
    void writeRegistry(const QString& path, const QString& kind, const QString& missingLibrary);

    QTemporaryDir m_files;
    inproc::ClassRecord m_lumet;
    int m_written = 0;
};

namespace {

// Sets environment variables for one test row and puts them back however the row ends.
class EnvironmentScope {
public:
    explicit EnvironmentScope(const QList<QPair<const char*, QString>>& values) {
        for (const auto& [name, value] : values) {
            m_saved.append({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, QFile::encodeName(value));
        }
    }
    ~EnvironmentScope() {
        for (const Saved& saved : m_saved) {
            if (saved.wasSet)
                qputenv(saved.name, saved.value);
            else
                qunsetenv(saved.name);
        }
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    struct Saved {
        const char* name;
        bool wasSet;
        QByteArray value;
    };
    QList<Saved> m_saved;
};

} // namespace

void TestControlHost::initTestCase() {
    QString error;
    QVERIFY2(registerControlLibraryForTests(&error), qPrintable(error));
    QVERIFY(m_files.isValid());
    const std::optional<inproc::ClassRecord> lumet = inproc::ClassRegistry::find("Lumet1.Lumet");
    QVERIFY(lumet);
    m_lumet = *lumet;
}

QString TestControlHost::registerBroken(const QString& name, const QString& libraryPath,
                                        const QString& classId) {
    inproc::ClassRecord record;
    record.name = name;
    record.classId = classId.isEmpty()
                         ? QStringLiteral("{00000000-1111-2222-3333-%1}")
                               .arg(qHash(name) % 1000000000000ull, 12, 10, QLatin1Char('0'))
                         : classId;
    record.libraryPath = libraryPath;
    record.typeLibraryId = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
    record.typeLibraryVersion = QStringLiteral("1.0");
    record.control = true;
    QString error;
    if (!inproc::ClassRegistry::registerClass(record, &error))
        qWarning("%s", qPrintable(error));
    return record.classId;
}

void TestControlHost::createsARegisteredControlWithItsStoredRecord() {
    QWidget window;
    const PropertyRecord record = PropertyRecord::fromJson(QJsonObject{
        {"caption", "Get HTML Source"},
        {"forecolor", 0x00FFFFFF},
        {"backcolor", 0},
        {"forecolormo", 0x00FFFFFF},
        {"_extentx", 2566},
        {"_extenty", 450},
    });
    QString error = "stale";
    QWidget* control = ControlHost::createControl("Lumet1.Lumet", &window, record, &error);
    QVERIFY2(control, qPrintable(error));
    QVERIFY(error.isEmpty());
    QCOMPARE(control->parentWidget(), &window);
    QCOMPARE(control->metaObject()->className(), "Lumet");
    QCOMPARE(control->property("Caption").toString(), QString("Get HTML Source"));
    QCOMPARE(control->property("ForeColor").toUInt(), 0x00FFFFFFu);
    QCOMPARE(control->property("BackColor").toUInt(), 0u);
    QCOMPARE(control->property("ForeColorMO").toUInt(), 0x00FFFFFFu);
    QCOMPARE(control->property("Enabled").toBool(), true);
    QVERIFY(qobject_cast<inproc::PersistPropertyBag*>(control));

    // The class name matches in any case, like the platform's class names.
    QWidget* second = ControlHost::createControl("lumet1.lumet", &window, {}, &error);
    QVERIFY2(second, qPrintable(error));
    QCOMPARE(second->property("Caption").toString(), QString("Click Me"));
}

void TestControlHost::loadsTheRecordWithTheParentsFontAsDefault() {
    QWidget window;
    QFont ambient("Arial");
    ambient.setPointSizeF(8.25);
    window.setFont(ambient);
    QString error;
    QWidget* control = ControlHost::createControl("Lumet1.Lumet", &window, {}, &error);
    QVERIFY2(control, qPrintable(error));
    QObject* font = control->property("FontInfo").value<QObject*>();
    QVERIFY(font);
    QCOMPARE(font->property("Name").toString(), QString("Arial"));
    QCOMPARE(font->property("Size").toDouble(), 8.25);
    QCOMPARE(font->property("Weight").toInt(), 400);
}

void TestControlHost::refusesWhatItCannotCreate_data() {
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("libraryPath");
    QTest::addColumn<QString>("classId");
    QTest::addColumn<QString>("fileNamed");
    QTest::addColumn<QString>("says");

    const QString textFile = m_files.filePath("notes.so");
    {
        QFile file(textFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("this is a text file, not a control library\n");
    }
    const QString missing = m_files.filePath("gone/libLumet.so");
    const QString qtCore = QLibraryInfo::path(QLibraryInfo::LibrariesPath) + "/libQt6Core.so.6";

    QTest::newRow("a name nobody registered")
        << "Nobody1.Nothing" << QString() << QString() << QString() << "is not registered";
    QTest::newRow("a registry entry pointing at a missing file")
        << "Missing1.Lumet" << missing << QString() << missing << "does not exist";
    QTest::newRow("a registry entry pointing at a text file")
        << "Text1.Lumet" << textFile << QString() << textFile << "could not be loaded";
    QTest::newRow("a registry entry pointing at a program")
        << "Program1.Lumet" << QString("/bin/true") << QString() << QString("/bin/true")
        << "could not be loaded";
    QTest::newRow("a library that serves no controls")
        << "Core1.Lumet" << qtCore << QString() << qtCore << "is not a control library";
    QTest::newRow("the control library asked for a class it does not serve")
        << "Other1.Lumet" << controlLibraryPath() << "{DEADBEEF-0000-4000-8000-000000000000}"
        << controlLibraryPath() << "refused the class";
}

void TestControlHost::refusesWhatItCannotCreate() {
    QFETCH(QString, className);
    QFETCH(QString, libraryPath);
    QFETCH(QString, classId);
    QFETCH(QString, fileNamed);
    QFETCH(QString, says);

    if (!libraryPath.isEmpty())
        registerBroken(className, libraryPath, classId);

    QWidget window;
    QString error;
    QWidget* control = ControlHost::createControl(className, &window, {}, &error);
    QVERIFY(!control);
    QVERIFY(window.findChildren<QWidget*>().isEmpty());
    QVERIFY2(error.contains('"' + className + '"'), qPrintable(error));
    const QString file = fileNamed.isEmpty() ? inproc::ClassRegistry::storePath() : fileNamed;
    QVERIFY2(error.contains(QDir::toNativeSeparators(file)), qPrintable(error));
    QVERIFY2(error.contains(says), qPrintable(error));

    // A failed attempt leaves the host able to create the real class afterwards.
    QVERIFY2(ControlHost::createControl("Lumet1.Lumet", &window, {}, &error), qPrintable(error));
}

void TestControlHost::writeRegistry(const QString& path, const QString& kind,
                                    const QString& missingLibrary) {
    if (kind.isEmpty())
        return;
    if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
        return;
    }
    inproc::ClassRecord record = m_lumet;
    if (kind == "missing library")
        record.libraryPath = missingLibrary;
    else
        record.libraryPath = controlLibraryPath();
    // Written elsewhere and copied into place: this process's QSettings would otherwise keep
    // what it wrote in memory, and the host must meet the file as the program would.
    const QString written = m_files.filePath(QStringLiteral("written-%1.ini").arg(++m_written));
    {
        const EnvironmentScope target({{"INPROC_REGISTRY", written}});
        QString error;
        QVERIFY2(inproc::ClassRegistry::registerClass(record, &error), qPrintable(error));
    }
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QVERIFY(QFile::copy(written, path));
    if (kind == "damaged") {
        // Everything above the broken line still names the working library: a registry that
        // is damaged anywhere is not trusted anywhere.
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("\n[ProgID\nlumet1.lumet\\CLSID\n");
    } else if (kind == "unreadable") {
        QVERIFY(QFile::setPermissions(path, {}));
    } else if (kind == "no library entry") {
        // The class is still named, but nothing says where its library is.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArrayList lines = file.readAll().split('\n');
        file.close();
        const auto removed =
            lines.removeIf([](const QByteArray& line) { return line.contains("\\InprocServer="); });
        QVERIFY(removed == 1);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(lines.join('\n'));
    }
}

void TestControlHost::readsTheUsersRegistryThenTheSystemOne_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("system");
    QTest::addColumn<bool>("creates");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("an installed library, for every user")
        << QString() << "library" << true << QString() << QStringList();
    QTest::newRow("the user's own registration")
        << "library" << QString() << true << QString() << QStringList();
    QTest::newRow("a damaged user registry over a working system one")
        << "damaged"
        << "library" << true << QString() << QStringList();
    QTest::newRow("a user registry whose class lost its library entry, over a working system one")
        << "no library entry"
        << "library" << true << QString() << QStringList();
    QTest::newRow("registered nowhere") << QString() << QString() << false << "is not registered"
                                        << QStringList{"user registry", "system registry"};
    QTest::newRow("a system registry that is a folder")
        << QString() << "folder" << false << "could not be read" << QStringList{"system registry"};
    QTest::newRow("a system registry nobody may read")
        << QString() << "unreadable" << false << "could not be read"
        << QStringList{"system registry"};
    QTest::newRow("a damaged system registry")
        << QString() << "damaged" << false << "is damaged" << QStringList{"system registry"};
    QTest::newRow("a system registry naming a missing library")
        << QString() << "missing library" << false << "does not exist"
        << QStringList{"system registry", "missing library"};
    QTest::newRow("a user registry naming a removed build, over a working system one")
        << "missing library"
        << "library" << false << "does not exist"
        << QStringList{"user registry", "missing library"};
}

void TestControlHost::readsTheUsersRegistryThenTheSystemOne() {
    QFETCH(QString, user);
    QFETCH(QString, system);
    QFETCH(bool, creates);
    QFETCH(QString, says);
    QFETCH(QStringList, names);

    // Folders of this row alone: the registry files are read afresh, never from a cache.
    QTemporaryDir folders;
    QVERIFY(folders.isValid());
    const QString userFolder = folders.filePath("home/.config");
    const QString systemFolder = folders.filePath("etc/xdg");
    const QHash<QString, QString> paths{
        {"user registry", userFolder + "/inproc/classes.ini"},
        {"system registry", systemFolder + "/inproc/classes.ini"},
        {"missing library", folders.filePath("removed/bin/libLumet.so")},
    };
    writeRegistry(paths["user registry"], user, paths["missing library"]);
    writeRegistry(paths["system registry"], system, paths["missing library"]);
    if (QTest::currentTestFailed())
        return;
    QFile probe(paths["system registry"]);
    if (system == "unreadable" && probe.open(QIODevice::ReadOnly))
        QSKIP("this user reads every file whatever its permissions");
    const EnvironmentScope scope({{"INPROC_REGISTRY", QString()},
                                  {"XDG_CONFIG_HOME", userFolder},
                                  {"XDG_CONFIG_DIRS", systemFolder}});

    QWidget window;
    QString error;
    QWidget* control = ControlHost::createControl("Lumet1.Lumet", &window, {}, &error);
    QCOMPARE(control != nullptr, creates);
    if (creates) {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        return;
    }
    QVERIFY2(error.contains("\"Lumet1.Lumet\""), qPrintable(error));
    QVERIFY2(error.contains(says), qPrintable(error));
    for (const QString& name : names)
        QVERIFY2(error.contains('"' + QDir::toNativeSeparators(paths[name]) + '"'),
                 qPrintable(name + " not named: " + error));
}

void TestControlHost::hostedButtonOnADestroyedControlDoesNothing() {
    QString error;
    auto* window = new QWidget;
    HostedButton button(ControlHost::createControl("Lumet1.Lumet", window, {}, &error));
    QVERIFY2(button.widget(), qPrintable(error));
    button.setCaption("Cancel");
    QCOMPARE(button.caption(), QString("Cancel"));
    delete window;

    QVERIFY(!button.widget());
    button.setCaption("Get HTML Source");
    button.setEnabled(false);
    button.click();
    QCOMPARE(button.caption(), QString());
    QVERIFY(!button.isEnabled());
    button.onClick(this, [] { QFAIL("a destroyed button cannot click"); });
}

void TestControlHost::hostedButtonClickRunsTheHandlerUnlessDisabled() {
    QWidget window;
    QString error;
    HostedButton button(ControlHost::createControl("Lumet1.Lumet", &window, {}, &error));
    QVERIFY2(button.widget(), qPrintable(error));
    int clicks = 0;
    button.onClick(&window, [&] { ++clicks; });

    button.click();
    QCOMPARE(clicks, 1);
    button.setEnabled(false);
    QVERIFY(!button.isEnabled());
    button.click();
    QCOMPARE(clicks, 1);
    button.setEnabled(true);
    button.click();
    QCOMPARE(clicks, 2);
}

QTEST_MAIN(TestControlHost)
#include "tst_controlhost.moc"
