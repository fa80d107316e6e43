#include "forms/controlhost.h"
#include "inproc/classregistry.h"
#include "inproc/inprocserver.h"
#include "support/controlregistration.h"

#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

class TestLumetRegistration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void registrationPublishesTheClassAndItsIdentities();
    void unregisterRemovesEverythingAndRegisterRestoresIt();
    void unregisteringAnotherClassLeavesLumetWhole_data();
    void unregisteringAnotherClassLeavesLumetWhole();
    void classObjectIsOnlyGivenForTheLumetClass_data();
    void classObjectIsOnlyGivenForTheLumetClass();
    void mayUnloadOnlyWhenNoControlOrLockLives();
    void registrationThatCannotBeWrittenFails();
    void registrationToolRegistersAndUnregisters();
    void registrationToolRegistersForEveryUser();
    void registrationToolFailsClearly_data();
    void registrationToolFailsClearly();

private:
    template <class Fn> Fn entry(const char* name) {
        return reinterpret_cast<Fn>(m_library.resolve(name));
    }
    QStringList registryGroups() const;

    QLibrary m_library;
    QTemporaryDir m_files;
};

void TestLumetRegistration::initTestCase() {
    QString error;
    QVERIFY2(registerControlLibraryForTests(&error), qPrintable(error));
    m_library.setFileName(controlLibraryPath());
    QVERIFY2(m_library.load(), qPrintable(m_library.errorString()));
    QVERIFY(m_files.isValid());
}

QStringList TestLumetRegistration::registryGroups() const {
    QSettings store(inproc::ClassRegistry::storePath(), QSettings::IniFormat);
    return store.allKeys();
}

void TestLumetRegistration::registrationPublishesTheClassAndItsIdentities() {
    const auto record = inproc::ClassRegistry::find("Lumet1.Lumet");
    QVERIFY(record);
    QCOMPARE(record->name, QString("Lumet1.Lumet"));
    QCOMPARE(record->libraryPath, QFileInfo(controlLibraryPath()).absoluteFilePath());
    QVERIFY(QUuid::fromString(record->classId).isNull() == false);
    QVERIFY(!QUuid::fromString(record->typeLibraryId).isNull());
    QVERIFY(!QUuid::fromString(record->defaultInterfaceId).isNull());
    QVERIFY(!QUuid::fromString(record->eventInterfaceId).isNull());
    const QSet<QString> ids{record->classId, record->typeLibraryId, record->defaultInterfaceId,
                            record->eventInterfaceId};
    QCOMPARE(ids.size(), 4);
    QCOMPARE(record->typeLibraryName, QString("Lumet1"));
    QCOMPARE(record->typeLibraryVersion, QString("10.0"));
    QCOMPARE(record->typeLibraryLocale, 0x0409);
    QCOMPARE(record->defaultInterfaceName, QString("_Lumet"));
    QCOMPARE(record->eventInterfaceName, QString("__Lumet"));
    QCOMPARE(record->fileVersion, QString("1.0.0.1"));
    QVERIFY(record->control);
    QCOMPARE(record->toolboxBitmap, record->libraryPath + ",30000");

    // The toolbox picture travels inside the library.
    const QImage toolbox(":/lumet/bitmap/30000");
    QCOMPARE(toolbox.size(), QSize(16, 15));
}

void TestLumetRegistration::unregisterRemovesEverythingAndRegisterRestoresIt() {
    const auto registerServer = entry<inproc::RegisterServerFn>(inproc::RegisterServerName);
    const auto unregisterServer = entry<inproc::UnregisterServerFn>(inproc::UnregisterServerName);
    QVERIFY(registerServer && unregisterServer);
    const auto before = inproc::ClassRegistry::find("Lumet1.Lumet");
    QVERIFY(before);

    QCOMPARE(unregisterServer(), inproc::Ok);
    QVERIFY(!inproc::ClassRegistry::lookup("Lumet1.Lumet", nullptr, nullptr));
    const QStringList leftOver = registryGroups().filter(
        QRegularExpression("lumet|" + QRegularExpression::escape(before->classId.mid(1, 8)),
                           QRegularExpression::CaseInsensitiveOption));
    QVERIFY2(leftOver.isEmpty(), qPrintable(leftOver.join(", ")));
    QWidget window;
    QString error;
    QVERIFY(!ControlHost::createControl("Lumet1.Lumet", &window, {}, &error));
    QVERIFY2(error.contains("not registered"), qPrintable(error));

    QCOMPARE(registerServer(), inproc::Ok);
    const auto after = inproc::ClassRegistry::find("Lumet1.Lumet");
    QVERIFY(after);
    QCOMPARE(after->classId, before->classId);
    QCOMPARE(after->typeLibraryId, before->typeLibraryId);
    QCOMPARE(after->typeLibraryVersion, before->typeLibraryVersion);
    QCOMPARE(after->defaultInterfaceId, before->defaultInterfaceId);
    QCOMPARE(after->eventInterfaceId, before->eventInterfaceId);
    QCOMPARE(after->libraryPath, before->libraryPath);
    QCOMPARE(after->fileVersion, before->fileVersion);
    QCOMPARE(after->toolboxBitmap, before->toolboxBitmap);
    QVERIFY2(ControlHost::createControl("Lumet1.Lumet", &window, {}, &error), qPrintable(error));
}

void TestLumetRegistration::unregisteringAnotherClassLeavesLumetWhole_data() {
    QTest::addColumn<QString>("classId");
    QTest::addColumn<QString>("typeLibraryId");
    QTest::addColumn<bool>("registerFirst");

    const QString classId("{0C0C0C0C-1111-4222-8333-444444444444}");
    const QString typeLibraryId("{0D0D0D0D-1111-4222-8333-444444444444}");
    QTest::newRow("a class with no interfaces") << classId << typeLibraryId << true;
    QTest::newRow("a class with no type library") << classId << QString() << true;
    QTest::newRow("a record with no identifiers at all") << QString() << QString() << false;
}

void TestLumetRegistration::unregisteringAnotherClassLeavesLumetWhole() {
    QFETCH(QString, classId);
    QFETCH(QString, typeLibraryId);
    QFETCH(bool, registerFirst);
    const auto before = inproc::ClassRegistry::find("Lumet1.Lumet");
    QVERIFY(before);
    const QStringList lumetKeys = registryGroups();

    inproc::ClassRecord other;
    other.classId = classId;
    other.name = "Other1.Thing";
    other.libraryPath = m_files.filePath("libOther.so");
    other.typeLibraryId = typeLibraryId;
    other.typeLibraryVersion = "1.0";
    if (registerFirst)
        QVERIFY(inproc::ClassRegistry::registerClass(other));
    QVERIFY(inproc::ClassRegistry::unregisterClass(other));

    // Only what the other class added goes: an identifier it lacks names nothing to remove.
    QVERIFY(!inproc::ClassRegistry::lookup("Other1.Thing", nullptr, nullptr));
    QCOMPARE(registryGroups(), lumetKeys);
    const auto after = inproc::ClassRegistry::find("Lumet1.Lumet");
    QVERIFY(after);
    QCOMPARE(after->classId, before->classId);
    QCOMPARE(after->typeLibraryName, before->typeLibraryName);
    QCOMPARE(after->typeLibraryLocale, before->typeLibraryLocale);
    QCOMPARE(after->defaultInterfaceName, before->defaultInterfaceName);
    QCOMPARE(after->eventInterfaceName, before->eventInterfaceName);
}

void TestLumetRegistration::classObjectIsOnlyGivenForTheLumetClass_data() {
    QTest::addColumn<QString>("classId");
    QTest::addColumn<int>("status");

    const auto record = inproc::ClassRegistry::find("Lumet1.Lumet");
    QVERIFY(record);
    QTest::newRow("the registered class") << record->classId << int(inproc::Ok);
    QTest::newRow("the registered class in lower case")
        << record->classId.toLower() << int(inproc::Ok);
    QTest::newRow("the type library's identifier")
        << record->typeLibraryId << int(inproc::ClassNotAvailable);
    QTest::newRow("an unknown class")
        << "{00000000-0000-0000-0000-000000000000}" << int(inproc::ClassNotAvailable);
    QTest::newRow("an empty identifier") << QString() << int(inproc::ClassNotAvailable);
}

void TestLumetRegistration::classObjectIsOnlyGivenForTheLumetClass() {
    QFETCH(QString, classId);
    QFETCH(int, status);
    const auto getClassObject = entry<inproc::GetClassObjectFn>(inproc::GetClassObjectName);
    QVERIFY(getClassObject);

    inproc::ClassObject* object = reinterpret_cast<inproc::ClassObject*>(this);
    const QByteArray id = classId.toLatin1();
    QCOMPARE(int(getClassObject(id.constData(), &object)), status);
    QCOMPARE(object != nullptr, status == inproc::Ok);
    if (object)
        object->release();
    QCOMPARE(getClassObject(id.constData(), nullptr), inproc::InvalidArgument);
}

void TestLumetRegistration::mayUnloadOnlyWhenNoControlOrLockLives() {
    const auto canUnloadNow = entry<inproc::CanUnloadNowFn>(inproc::CanUnloadNowName);
    const auto getClassObject = entry<inproc::GetClassObjectFn>(inproc::GetClassObjectName);
    QVERIFY(canUnloadNow && getClassObject);
    const auto record = inproc::ClassRegistry::find("Lumet1.Lumet");
    QVERIFY(record);
    const QByteArray classId = record->classId.toLatin1();

    QCOMPARE(canUnloadNow(), inproc::Ok);
    auto window = std::make_unique<QWidget>();
    QString error;
    QVERIFY2(ControlHost::createControl("Lumet1.Lumet", window.get(), {}, &error),
             qPrintable(error));
    QVERIFY2(ControlHost::createControl("Lumet1.Lumet", window.get(), {}, &error),
             qPrintable(error));
    QCOMPARE(canUnloadNow(), inproc::False);
    window.reset();
    QCOMPARE(canUnloadNow(), inproc::Ok);

    inproc::ClassObject* object = nullptr;
    QCOMPARE(getClassObject(classId.constData(), &object), inproc::Ok);
    QCOMPARE(object->lockServer(true), inproc::Ok);
    object->release();
    QCOMPARE(canUnloadNow(), inproc::False);
    QCOMPARE(getClassObject(classId.constData(), &object), inproc::Ok);
    QCOMPARE(object->lockServer(false), inproc::Ok);
    // An unlock too many must not cancel out a later lock.
    QCOMPARE(object->lockServer(false), inproc::Ok);
    QCOMPARE(canUnloadNow(), inproc::Ok);
    QCOMPARE(object->lockServer(true), inproc::Ok);
    QCOMPARE(canUnloadNow(), inproc::False);
    QCOMPARE(object->lockServer(false), inproc::Ok);
    object->release();
    QCOMPARE(canUnloadNow(), inproc::Ok);
}

void TestLumetRegistration::registrationThatCannotBeWrittenFails() {
    const auto registerServer = entry<inproc::RegisterServerFn>(inproc::RegisterServerName);
    QVERIFY(registerServer);
    const QByteArray registry = qgetenv("INPROC_REGISTRY");
    // A folder where the registry file should be: nothing can be written there.
    qputenv("INPROC_REGISTRY", QFile::encodeName(m_files.path()));
    const inproc::Status status = registerServer();
    QProcess tool;
    tool.start(QStringLiteral(TARVELL_BIN_DIR "/regcontrol"), {controlLibraryPath()});
    const bool finished = tool.waitForFinished(30000);
    qputenv("INPROC_REGISTRY", registry);

    QCOMPARE(status, inproc::RegistryWriteFailed);
    QVERIFY(finished);
    QVERIFY(tool.exitCode() != 0);
    const QString errors = QString::fromLocal8Bit(tool.readAllStandardError());
    QVERIFY2(errors.contains(QDir::toNativeSeparators(m_files.path())), qPrintable(errors));
    QVERIFY(inproc::ClassRegistry::lookup("Lumet1.Lumet", nullptr, nullptr));
}

void TestLumetRegistration::registrationToolRegistersAndUnregisters() {
    const QString tool = QStringLiteral(TARVELL_BIN_DIR "/regcontrol");
    QProcess process;
    process.start(tool, {"-u", controlLibraryPath()});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!inproc::ClassRegistry::lookup("Lumet1.Lumet", nullptr, nullptr));

    process.start(tool, {controlLibraryPath()});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QString path;
    QVERIFY(inproc::ClassRegistry::lookup("Lumet1.Lumet", nullptr, &path));
    QCOMPARE(path, QFileInfo(controlLibraryPath()).absoluteFilePath());
}

void TestLumetRegistration::registrationToolRegistersForEveryUser() {
    QTemporaryDir folders;
    QVERIFY(folders.isValid());
    const QString system = folders.filePath("etc/xdg");
    const QString later = folders.filePath("usr/share/config");
    const QString home = folders.filePath("home/.config");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_DIRS", system + ':' + later);
    environment.insert("XDG_CONFIG_HOME", home);
    // The tool is told where every user reads, so the build's own registry must not win.
    environment.insert("INPROC_REGISTRY", inproc::ClassRegistry::storePath());
    const QStringList before = registryGroups();

    const QString tool = QStringLiteral(TARVELL_BIN_DIR "/regcontrol");
    QProcess process;
    process.setProcessEnvironment(environment);
#ifdef Q_OS_UNIX
    // An administrator with a strict umask still writes a registry every user can read.
    process.setChildProcessModifier([] { ::umask(077); });
#endif
    process.start(tool, {"--system", controlLibraryPath()});
    QVERIFY(process.waitForFinished(30000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());

    const QString registry = system + "/inproc/classes.ini";
    QVERIFY2(QString::fromLocal8Bit(process.readAllStandardOutput())
                 .contains(QDir::toNativeSeparators(registry)),
             "the tool names the registry it wrote");
    const auto record = inproc::ClassRegistry::find("Lumet1.Lumet");
    QVERIFY(record);
    {
        const QSettings written(registry, QSettings::IniFormat);
        QCOMPARE(written.value("ProgID/lumet1.lumet/CLSID").toString(), record->classId);
        QCOMPARE(written.value("CLSID/" + record->classId + "/InprocServer").toString(),
                 QFileInfo(controlLibraryPath()).absoluteFilePath());
    }
    QVERIFY(QFileInfo(registry).permissions().testFlag(QFile::ReadOther));
    QVERIFY(QFileInfo(QFileInfo(registry).path()).permissions().testFlag(QFile::ExeOther));
    QVERIFY(!QFileInfo::exists(later + "/inproc/classes.ini"));
    QVERIFY(!QFileInfo::exists(home + "/inproc/classes.ini"));
    QCOMPARE(registryGroups(), before);

    process.start(tool, {"-u", "--system", controlLibraryPath()});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    const QSettings emptied(registry, QSettings::IniFormat);
    QVERIFY2(emptied.allKeys().isEmpty(), qPrintable(emptied.allKeys().join(", ")));
    QCOMPARE(registryGroups(), before);
}

void TestLumetRegistration::registrationToolFailsClearly_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString text = m_files.filePath("readme.so");
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("plain text\n");
    file.close();
    const QString missing = m_files.filePath("missing.so");

    QTest::newRow("no library named") << QStringList() << "usage: regcontrol";
    QTest::newRow("no library named for every user")
        << QStringList{"--system"} << "usage: regcontrol";
    QTest::newRow("a library that does not exist")
        << QStringList{missing} << QDir::toNativeSeparators(missing);
    QTest::newRow("a file that is not a library")
        << QStringList{text} << QDir::toNativeSeparators(text);
    QTest::newRow("unregistering a file that is not a library")
        << QStringList{"-u", text} << QDir::toNativeSeparators(text);
}

void TestLumetRegistration::registrationToolFailsClearly() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QProcess process;
    process.start(QStringLiteral(TARVELL_BIN_DIR "/regcontrol"), arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY(process.exitCode() != 0);
    const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(errors.contains(message), qPrintable(errors));
    // A failed run leaves the registration as it was.
    QVERIFY(inproc::ClassRegistry::lookup("Lumet1.Lumet", nullptr, nullptr));
}

QTEST_MAIN(TestLumetRegistration)
#include "tst_lumetregistration.moc"
