#include "inproc/classregistry.h"
#include "inproc/inprocserver.h"
#include "platform/controlhost.h"
#include "platform/hostedbutton.h"
#include "platform/propertyrecord.h"
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
    void hostedButtonOnADestroyedControlDoesNothing();
    void hostedButtonClickRunsTheHandlerUnlessDisabled();

private:
    QString registerBroken(const QString& name, const QString& libraryPath,
                           const QString& classId = QString());

    QTemporaryDir m_files;
};

void TestControlHost::initTestCase() {
    QString error;
    QVERIFY2(registerControlLibraryForTests(&error), qPrintable(error));
    QVERIFY(m_files.isValid());
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
