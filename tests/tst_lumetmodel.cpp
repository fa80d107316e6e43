#include "forms/controlhost.h"
#include "forms/propertyrecord.h"
#include "inproc/classregistry.h"
#include "inproc/inprocserver.h"
#include "lumet/lumetdiagnostics.h"
#include "lumet/ticksource.h"
#include "support/controlregistration.h"
#include "support/programbutton.h"

#include <QJsonObject>
#include <QLibrary>
#include <QSignalSpy>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace {

// A tick count that moves only when the test says so.
class ManualTicks : public lumet::TickSource {
public:
    std::uint32_t tickCount() override {
        ++queries;
        return now;
    }
    std::uint32_t now = 0;
    int queries = 0;
};

// Records the order in which a control reads and writes its property record.
class RecordingBag : public inproc::PropertyBag {
public:
    QVariant read(const QString& name, const QVariant& defaultValue) const override {
        reads << name;
        return record.read(name, defaultValue);
    }
    void write(const QString& name, const QVariant& value, const QVariant& defaultValue) override {
        writes << name;
        record.write(name, value, defaultValue);
    }
    PropertyRecord record;
    mutable QStringList reads;
    QStringList writes;
};

QFont arial() {
    QFont font("Arial");
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

class TestLumetModel : public QObject {
    Q_OBJECT

public slots:
    void onPropertyChanged(const QString& name) {
        m_notices << name;
        m_valuesAtNotice << sender()->property(name.toLatin1());
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void propertyPutChangesFirstAndNotifiesLast_data();
    void propertyPutChangesFirstAndNotifiesLast();
    void enabledOffAndOnRestoresTheNormalColour();
    void foreColorPutWhileHoveredShowsTheNewNormalColourAtOnce();
    void hoverColorPutRedrawsNothing();
    void fontInfoIsTheControlsOwnObject();
    void fontInfoPutCopiesTheAttributes_data();
    void fontInfoPutCopiesTheAttributes();
    void fontChangedThroughTheObjectResizesWithoutNotice();

    void recordHoldingOnlyTheCaptionLoadsDefaults();
    void freshInstanceStoresOnlyItsBlackForeColor();
    void recordKeysMatchInAnyCase();
    void loadAndSaveKeepTheirOrder();
    void loadSendsNoNotices();
    void programButtonRecordSurvivesSaveAndLoad();
    void disabledButtonStoresEnabled();
    void propertyRecordStoresOnlyWhatDiffers_data();
    void propertyRecordStoresOnlyWhatDiffers();
    void propertyRecordJsonRoundTrip();

    void dispatchIdsNameTheMembers_data();
    void dispatchIdsNameTheMembers();
    void lateBoundHostUsesDispatchIds();

    void pauseReturnsAtOnceOrFails_data();
    void pauseReturnsAtOnceOrFails();
    void pauseKeepsEventsFlowingAcrossTheCounterWrap();
    void pauseEndsWhenItsWindowCloses();

private:
    QWidget* create(const QJsonObject& record = {});
    QWidget* createUnloaded();
    lumet::LumetDiagnostics* diagnostics(QWidget* control) const {
        return qobject_cast<lumet::LumetDiagnostics*>(control);
    }
    void listen(QWidget* control);

    std::unique_ptr<QWidget> m_window;
    QStringList m_notices;
    QVariantList m_valuesAtNotice;
};

void TestLumetModel::initTestCase() {
    QString error;
    QVERIFY2(registerControlLibraryForTests(&error), qPrintable(error));
}

void TestLumetModel::init() {
    m_window = std::make_unique<QWidget>();
    m_window->setFont(arial());
    m_window->resize(240, 120);
    m_notices.clear();
    m_valuesAtNotice.clear();
}

void TestLumetModel::cleanup() {
    m_window.reset();
}

QWidget* TestLumetModel::create(const QJsonObject& record) {
    QString error;
    QWidget* control = ControlHost::createControl("Lumet1.Lumet", m_window.get(),
                                                  PropertyRecord::fromJson(record), &error);
    if (!control)
        qWarning("%s", qPrintable(error));
    return control;
}

// A control placed for the first time: created through the class object, never loaded.
QWidget* TestLumetModel::createUnloaded() {
    QLibrary library(controlLibraryPath());
    const auto getClassObject =
        reinterpret_cast<inproc::GetClassObjectFn>(library.resolve(inproc::GetClassObjectName));
    QString classId;
    if (!getClassObject || !inproc::ClassRegistry::lookup("Lumet1.Lumet", &classId, nullptr))
        return nullptr;
    inproc::ClassObject* classObject = nullptr;
    if (getClassObject(classId.toLatin1().constData(), &classObject) != inproc::Ok)
        return nullptr;
    QWidget* control = nullptr;
    classObject->createInstance(m_window.get(), &control);
    classObject->release();
    if (auto* persist = qobject_cast<inproc::PersistPropertyBag*>(control))
        persist->initNew();
    return control;
}

void TestLumetModel::listen(QWidget* control) {
    QVERIFY(
        connect(control, SIGNAL(propertyChanged(QString)), this, SLOT(onPropertyChanged(QString))));
}

void TestLumetModel::propertyPutChangesFirstAndNotifiesLast_data() {
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("value");

    QTest::newRow("Caption shows the new text") << "Caption" << QVariant("Cancel");
    QTest::newRow("Caption of any length is kept whole")
        << "Caption" << QVariant(QString(500, 'W'));
    QTest::newRow("ForeColor sets the caption colour") << "ForeColor" << QVariant(0x00123456u);
    QTest::newRow("ForeColorMO sets the hover colour") << "ForeColorMO" << QVariant(0x0000FF00u);
    QTest::newRow("BackColor sets the face colour") << "BackColor" << QVariant(0x000000FFu);
    QTest::newRow("a system colour is kept as given") << "BackColor" << QVariant(0x80000005u);
    QTest::newRow("Enabled false disables the button") << "Enabled" << QVariant(false);
}

void TestLumetModel::propertyPutChangesFirstAndNotifiesLast() {
    QFETCH(QString, property);
    QFETCH(QVariant, value);
    QWidget* control = create(programButton("Get HTML Source"));
    QVERIFY(control);
    listen(control);

    QVERIFY(control->setProperty(property.toLatin1(), value));
    QCOMPARE(control->property(property.toLatin1()), value);
    QCOMPARE(m_notices, QStringList{property});
    // The notice comes after the change: a host reading the property in its handler sees it.
    QCOMPARE(m_valuesAtNotice.first(), value);
}

void TestLumetModel::enabledOffAndOnRestoresTheNormalColour() {
    QWidget* control = create(programButton("Get HTML Source"));
    QVERIFY(control);
    listen(control);
    QVERIFY(control->setProperty("Enabled", false));
    QVERIFY(!control->isEnabled());
    QCOMPARE(control->property("ForeColor").toUInt(), 0x008C8C8Cu);
    QVERIFY(control->setProperty("Enabled", true));
    QVERIFY(control->isEnabled());
    QCOMPARE(control->property("ForeColor").toUInt(), 0x00FFFFFFu);
    QCOMPARE(m_notices, QStringList({"Enabled", "Enabled"}));
}

void TestLumetModel::foreColorPutWhileHoveredShowsTheNewNormalColourAtOnce() {
    QJsonObject record = programButton("Open URL");
    record["forecolormo"] = 0x0000FFFF;
    QWidget* control = create(record);
    QVERIFY(control);
    QVERIFY(QMetaObject::invokeMethod(control, "DrawBorder"));
    QCOMPARE(control->property("ForeColor").toUInt(), 0x0000FFFFu);
    control->setProperty("ForeColor", 0x00ABCDEFu);
    QCOMPARE(control->property("ForeColor").toUInt(), 0x00ABCDEFu);
    // The next hover shows the hover colour again.
    QVERIFY(QMetaObject::invokeMethod(control, "DrawBorder"));
    QCOMPARE(control->property("ForeColor").toUInt(), 0x0000FFFFu);
}

void TestLumetModel::hoverColorPutRedrawsNothing() {
    QWidget* control = create(programButton("Find Files"));
    QVERIFY(control);
    QVERIFY(QMetaObject::invokeMethod(control, "DrawBorder"));
    const QImage before = diagnostics(control)->grabSurface();
    const int draws = diagnostics(control)->drawCount();
    control->setProperty("ForeColorMO", 0x000000FFu);
    QCOMPARE(diagnostics(control)->grabSurface(), before);
    QCOMPARE(diagnostics(control)->drawCount(), draws);
    QCOMPARE(control->property("ForeColor").toUInt(), 0x00FFFFFFu);
}

void TestLumetModel::fontInfoIsTheControlsOwnObject() {
    QWidget* control = create(programButton("Copy All"));
    QVERIFY(control);
    QObject* first = control->property("FontInfo").value<QObject*>();
    QVERIFY(first);
    QCOMPARE(control->property("FontInfo").value<QObject*>(), first);
    QCOMPARE(first->property("Name").toString(), QString("Arial"));
    QCOMPARE(first->property("Size").toDouble(), 8.25);
    QCOMPARE(first->property("Weight").toInt(), 400);
    QCOMPARE(first->property("Bold").toBool(), false);
    QCOMPARE(first->property("Charset").toInt(), 0);
}

void TestLumetModel::fontInfoPutCopiesTheAttributes_data() {
    QTest::addColumn<QVariantMap>("attributes");
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<double>("captionHeight");

    const QVariantMap same{{"Bold", false},      {"Charset", 0}, {"Italic", false},
                           {"Name", "Arial"},    {"Size", 8.25}, {"Strikethrough", false},
                           {"Underline", false}, {"Weight", 400}};
    QTest::newRow("an equal font changes nothing but still notifies")
        << same << QStringList{} << 13.375;
    QVariantMap bigger = same;
    bigger["Size"] = 12.0;
    QTest::newRow("a bigger size re-lays out the caption once")
        << bigger << QStringList{"Size"} << 19.0;
    QVariantMap boldItalic = same;
    boldItalic["Bold"] = true;
    boldItalic["Weight"] = 700;
    boldItalic["Italic"] = true;
    QTest::newRow("bold and italic are two changes; weight follows bold")
        << boldItalic << QStringList{"Bold", "Italic"} << 13.375;
    QVariantMap sizeWithDecimals = same;
    sizeWithDecimals["Size"] = 9.123456;
    QTest::newRow("a size keeps four decimals")
        << sizeWithDecimals << QStringList{"Size"} << 9.1235 * 1.5 + 1;
}

void TestLumetModel::fontInfoPutCopiesTheAttributes() {
    QFETCH(QVariantMap, attributes);
    QFETCH(QStringList, changes);
    QFETCH(double, captionHeight);
    QWidget* control = create(programButton("GoTo:"));
    QVERIFY(control);
    listen(control);
    QObject* own = control->property("FontInfo").value<QObject*>();
    QSignalSpy changed(own, SIGNAL(fontChanged(QString)));

    // Any object with the font attributes will do as the source.
    QObject source;
    for (auto it = attributes.begin(); it != attributes.end(); ++it)
        source.setProperty(it.key().toLatin1(), it.value());
    QVERIFY(control->setProperty("FontInfo", QVariant::fromValue<QObject*>(&source)));

    QStringList changedAttributes;
    for (const QList<QVariant>& signal : qAsConst(changed))
        changedAttributes << signal.at(0).toString();
    QCOMPARE(changedAttributes, changes);
    QCOMPARE(m_notices, QStringList{"FontInfo"});
    QCOMPARE(control->property("FontInfo").value<QObject*>(), own);
    QCOMPARE(own->property("Italic").toBool(), attributes["Italic"].toBool());
    QCOMPARE(own->property("Weight").toInt(), attributes["Weight"].toInt());
    QCOMPARE(diagnostics(control)->captionGeometry().height(), captionHeight);
}

void TestLumetModel::fontChangedThroughTheObjectResizesWithoutNotice() {
    QWidget* control = create(programButton("Replace All"));
    QVERIFY(control);
    listen(control);
    QObject* font = control->property("FontInfo").value<QObject*>();
    QVERIFY(font->setProperty("Size", 10.0));
    QCOMPARE(diagnostics(control)->captionGeometry().height(), 16.0);
    QCOMPARE(m_notices, QStringList());
}

void TestLumetModel::recordHoldingOnlyTheCaptionLoadsDefaults() {
    QWidget* control = create(QJsonObject{{"caption", "Find Next"}});
    QVERIFY(control);
    QCOMPARE(control->property("Caption").toString(), QString("Find Next"));
    QCOMPARE(control->property("ForeColor").toUInt(), 0x80000012u);
    QCOMPARE(control->property("BackColor").toUInt(), 0x8000000Fu);
    QCOMPARE(control->property("ForeColorMO").toUInt(), 0x80000012u);
    QCOMPARE(control->property("Enabled").toBool(), true);
    QObject* font = control->property("FontInfo").value<QObject*>();
    QCOMPARE(font->property("Name").toString(), m_window->font().family());
    QCOMPARE(font->property("Size").toDouble(), m_window->font().pointSizeF());
    // The normal colour is system button text too: saved, it equals its default.
    PropertyRecord saved;
    QCOMPARE(qobject_cast<inproc::PersistPropertyBag*>(control)->save(saved), inproc::Ok);
    QCOMPARE(saved.keys(), QStringList{"caption"});
}

void TestLumetModel::freshInstanceStoresOnlyItsBlackForeColor() {
    // A container whose font is the desktop's default, which a fresh font object also takes.
    m_window->setFont(QApplication::font());
    QWidget* control = createUnloaded();
    QVERIFY(control);
    QCOMPARE(control->property("Caption").toString(), QString("Click Me"));
    QCOMPARE(control->property("ForeColor").toUInt(), 0x80000012u);
    QCOMPARE(control->size(), QSize(129, 33));
    PropertyRecord saved;
    QCOMPARE(qobject_cast<inproc::PersistPropertyBag*>(control)->save(saved), inproc::Ok);
    QCOMPARE(saved.keys(), QStringList{"forecolor"});
    QCOMPARE(saved.value("ForeColor").toUInt(), 0u);
}

void TestLumetModel::recordKeysMatchInAnyCase() {
    QWidget* control = create(programButton("Exit"));
    QVERIFY(control);
    control->setProperty("BackColor", 0x00FF0000u);
    RecordingBag bag;
    qobject_cast<inproc::PersistPropertyBag*>(control)->save(bag);
    QVERIFY(bag.writes.contains("Backcolor"));
    QVERIFY(bag.record.keys().contains("backcolor"));

    // Written as "Backcolor", read back as "BackColor".
    QWidget* reloaded = nullptr;
    QString error;
    reloaded = ControlHost::createControl("Lumet1.Lumet", m_window.get(), bag.record, &error);
    QVERIFY2(reloaded, qPrintable(error));
    QCOMPARE(reloaded->property("BackColor").toUInt(), 0x00FF0000u);

    const PropertyRecord mixed =
        PropertyRecord::fromJson(QJsonObject{{"CAPTION", "Upper"}, {"BackColor", 255}});
    QCOMPARE(mixed.keys(), QStringList({"backcolor", "caption"}));
    QWidget* fromMixed = ControlHost::createControl("Lumet1.Lumet", m_window.get(), mixed, &error);
    QVERIFY2(fromMixed, qPrintable(error));
    QCOMPARE(fromMixed->property("Caption").toString(), QString("Upper"));
    QCOMPARE(fromMixed->property("BackColor").toUInt(), 255u);

    // A key whose lower case is longer than itself is still found by the name it came with.
    const PropertyRecord dotted = PropertyRecord::fromJson(QJsonObject{{"\u0130tem", 1}});
    QVERIFY(dotted.contains("\u0130tem"));
    QVERIFY(dotted.contains("\u0130TEM"));
}

void TestLumetModel::loadAndSaveKeepTheirOrder() {
    QWidget* control = create();
    QVERIFY(control);
    auto* persist = qobject_cast<inproc::PersistPropertyBag*>(control);
    RecordingBag bag;
    QCOMPARE(persist->load(bag, arial()), inproc::Ok);
    QCOMPARE(bag.reads, QStringList({"Caption", "ForeColor", "ForeColor", "BackColor",
                                     "ForeColorMO", "Enabled", "FontInfo", "FontInfo"}));
    QCOMPARE(persist->save(bag), inproc::Ok);
    QCOMPARE(bag.writes, QStringList({"Caption", "ForeColor", "Backcolor", "ForeColorMO",
                                      "FontInfo", "Enabled"}));
}

void TestLumetModel::loadSendsNoNotices() {
    QWidget* control = create();
    QVERIFY(control);
    listen(control);
    QJsonObject record = programButton("Get HTML Source");
    record["enabled"] = false;
    QCOMPARE(qobject_cast<inproc::PersistPropertyBag*>(control)->load(
                 PropertyRecord::fromJson(record), arial()),
             inproc::Ok);
    QCOMPARE(control->property("Caption").toString(), QString("Get HTML Source"));
    QCOMPARE(m_notices, QStringList());
}

void TestLumetModel::programButtonRecordSurvivesSaveAndLoad() {
    // A window font other than Arial keeps the stored font different from the ambient one.
    QFont ambient("Courier New");
    ambient.setPointSizeF(10);
    m_window->setFont(ambient);
    const QJsonObject stored = programButton("Get HTML Source");
    QWidget* control = create(stored);
    QVERIFY(control);
    PropertyRecord saved;
    qobject_cast<inproc::PersistPropertyBag*>(control)->save(saved);
    QCOMPARE(saved, PropertyRecord::fromJson(stored));
    QCOMPARE(saved.toJson().value("fontinfo").toObject().value("size").toDouble(), 8.25);

    // With the window's font equal to the stored one, the font is not stored at all.
    m_window->setFont(arial());
    QWidget* second = create(stored);
    PropertyRecord again;
    qobject_cast<inproc::PersistPropertyBag*>(second)->save(again);
    QCOMPARE(again.keys(), QStringList({"caption", "forecolor", "backcolor", "forecolormo"}));
}

void TestLumetModel::disabledButtonStoresEnabled() {
    QJsonObject record = programButton("Download");
    record["enabled"] = false;
    QWidget* control = create(record);
    QVERIFY(control);
    QCOMPARE(control->property("Enabled").toBool(), false);
    QCOMPARE(control->property("ForeColor").toUInt(), 0x008C8C8Cu);
    PropertyRecord saved;
    qobject_cast<inproc::PersistPropertyBag*>(control)->save(saved);
    QVERIFY(saved.contains("enabled"));
    QCOMPARE(saved.value("Enabled").toBool(), false);
    control->setProperty("Enabled", true);
    qobject_cast<inproc::PersistPropertyBag*>(control)->save(saved);
    QVERIFY(!saved.contains("enabled"));
}

void TestLumetModel::propertyRecordStoresOnlyWhatDiffers_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("defaultValue");
    QTest::addColumn<bool>("stored");

    QTest::newRow("a colour equal to its default")
        << QVariant(0x80000012u) << QVariant(0x80000012u) << false;
    QTest::newRow("the same colour as int and as uint")
        << QVariant(int(0x80000012u)) << QVariant(0x80000012u) << false;
    QTest::newRow("black against a system colour") << QVariant(0u) << QVariant(0x80000012u) << true;
    QTest::newRow("the default caption") << QVariant("Click Me") << QVariant("Click Me") << false;
    QTest::newRow("a caption differing in case")
        << QVariant("click me") << QVariant("Click Me") << true;
    QTest::newRow("enabled by default") << QVariant(true) << QVariant(true) << false;
    QTest::newRow("disabled") << QVariant(false) << QVariant(true) << true;
    QTest::newRow("the ambient font") << QVariant(arial()) << QVariant(arial()) << false;
    QFont bold = arial();
    bold.setBold(true);
    QTest::newRow("a bold font") << QVariant(bold) << QVariant(arial()) << true;
}

void TestLumetModel::propertyRecordStoresOnlyWhatDiffers() {
    QFETCH(QVariant, value);
    QFETCH(QVariant, defaultValue);
    QFETCH(bool, stored);
    PropertyRecord record;
    record.setValue("Entry", "an older value");
    record.write("ENTRY", value, defaultValue);
    QCOMPARE(record.contains("entry"), stored);
    QCOMPARE(record.keys(), stored ? QStringList{"entry"} : QStringList{});
}

void TestLumetModel::propertyRecordJsonRoundTrip() {
    QJsonObject json = programButton("Get HTML Source");
    json["_extentx"] = 2566;
    json["_extenty"] = 450;
    json["forecolormo"] = double(0x80000012u);
    const PropertyRecord record = PropertyRecord::fromJson(json);
    QCOMPARE(record.value("ForeColorMO").toLongLong(), qint64(0x80000012u));
    QCOMPARE(record.value("_extentx").toInt(), 2566);
    const QFont font = record.value("fontinfo").value<QFont>();
    QCOMPARE(font.family(), QString("Arial"));
    QCOMPARE(font.pointSizeF(), 8.25);
    const QJsonObject back = record.toJson();
    QCOMPARE(back.value("forecolormo").toDouble(), double(0x80000012u));
    QCOMPARE(back.value("caption").toString(), QString("Get HTML Source"));
    const QJsonObject fontJson = back.value("fontinfo").toObject();
    QCOMPARE(fontJson.value("name").toString(), QString("Arial"));
    QCOMPARE(fontJson.value("size").toDouble(), 8.25);
    QCOMPARE(fontJson.value("weight").toInt(), 400);
    QCOMPARE(fontJson.value("charset").toInt(), 0);
    QCOMPARE(fontJson.value("bold").toBool(), false);
    QCOMPARE(PropertyRecord::fromJson(back), record);
}

void TestLumetModel::dispatchIdsNameTheMembers_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("event");

    QTest::newRow("FontInfo") << "FontInfo" << 0x68030004 << false;
    QTest::newRow("Enabled") << "Enabled" << 0x68030003 << false;
    QTest::newRow("Caption, the standard caption id") << "Caption" << -518 << false;
    QTest::newRow("BackColor") << "BackColor" << 0x68030002 << false;
    QTest::newRow("ForeColor") << "ForeColor" << 0x68030001 << false;
    QTest::newRow("ForeColorMO") << "ForeColorMO" << 0x68030000 << false;
    QTest::newRow("ButtonClicked") << "ButtonClicked" << 0x60030011 << false;
    QTest::newRow("DrawBorder") << "DrawBorder" << 0x60030012 << false;
    QTest::newRow("About, the standard About id") << "About" << -552 << false;
    QTest::newRow("ResizeLabel") << "ResizeLabel" << 0x60030014 << false;
    QTest::newRow("Pause") << "Pause" << 0x60030015 << false;
    QTest::newRow("names match in any case") << "caption" << -518 << false;
    QTest::newRow("Click event") << "Click" << 1 << true;
    QTest::newRow("MouseDown event") << "MouseDown" << 2 << true;
    QTest::newRow("MouseMove event") << "MouseMove" << 3 << true;
    QTest::newRow("MouseUp event") << "mouseup" << 4 << true;
}

void TestLumetModel::dispatchIdsNameTheMembers() {
    QFETCH(QString, name);
    QFETCH(int, id);
    QFETCH(bool, event);
    QWidget* control = create();
    auto* dispatch = qobject_cast<inproc::Dispatch*>(control);
    QVERIFY(dispatch);
    std::int32_t found = 0;
    std::int32_t other = 0;
    if (event) {
        QCOMPARE(dispatch->eventIdOfName(name, &found), inproc::Ok);
        QCOMPARE(dispatch->idOfName(name, &other), inproc::UnknownName);
    } else {
        QCOMPARE(dispatch->idOfName(name, &found), inproc::Ok);
        QCOMPARE(dispatch->eventIdOfName(name, &other), inproc::UnknownName);
    }
    QCOMPARE(found, id);
}

void TestLumetModel::lateBoundHostUsesDispatchIds() {
    QWidget* control = create(programButton("Get HTML Source"));
    auto* dispatch = qobject_cast<inproc::Dispatch*>(control);
    QVERIFY(dispatch);
    listen(control);
    using Kind = inproc::InvokeKind;

    QVariantList args{"Cancel"};
    QCOMPARE(dispatch->invoke(-518, Kind::PropertyPut, args, nullptr), inproc::Ok);
    QVariant result;
    QVariantList none;
    QCOMPARE(dispatch->invoke(-518, Kind::PropertyGet, none, &result), inproc::Ok);
    QCOMPARE(result.toString(), QString("Cancel"));

    args = {false};
    QCOMPARE(dispatch->invoke(0x68030003, Kind::PropertyPut, args, nullptr), inproc::Ok);
    QCOMPARE(control->property("Enabled").toBool(), false);
    args = {0x00FF00FF};
    QCOMPARE(dispatch->invoke(0x68030001, Kind::PropertyPut, args, nullptr), inproc::Ok);
    QCOMPARE(control->property("ForeColor").toUInt(), 0x00FF00FFu);
    QCOMPARE(m_notices, QStringList({"Caption", "Enabled", "ForeColor"}));

    QCOMPARE(dispatch->invoke(0x68030004, Kind::PropertyGet, none, &result), inproc::Ok);
    QCOMPARE(result.value<QObject*>(), control->property("FontInfo").value<QObject*>());
    QFont bigger = arial();
    bigger.setPointSizeF(12);
    args = {bigger};
    QCOMPARE(dispatch->invoke(0x68030004, Kind::PropertyPutRef, args, nullptr), inproc::Ok);
    QCOMPARE(result.value<QObject*>()->property("Size").toDouble(), 12.0);

    args = {0};
    QCOMPARE(dispatch->invoke(0x60030015, Kind::Method, args, nullptr), inproc::Ok);
    QCOMPARE(dispatch->invoke(0x60030012, Kind::Method, none, nullptr), inproc::Ok);
    QCOMPARE(dispatch->invoke(0x12345678, Kind::Method, none, nullptr), inproc::MemberNotFound);
    QCOMPARE(dispatch->invoke(0x60030015, Kind::Method, none, nullptr), inproc::BadParameterCount);
    QCOMPARE(dispatch->invoke(-518, Kind::PropertyPut, none, nullptr), inproc::BadParameterCount);
}

void TestLumetModel::pauseReturnsAtOnceOrFails_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("status");
    QTest::newRow("zero returns at once") << 0 << int(inproc::Ok);
    QTest::newRow("a negative interval returns at once") << -5 << int(inproc::Ok);
    QTest::newRow("the largest interval that fits fails only when it ends")
        << 2147483 << int(inproc::Ok);
    QTest::newRow("an interval past 32 bits of milliseconds fails at once")
        << 2147484 << int(inproc::Overflow);
    QTest::newRow("a negative interval past 32 bits fails at once")
        << -2147484 << int(inproc::Overflow);
}

void TestLumetModel::pauseReturnsAtOnceOrFails() {
    QFETCH(int, interval);
    QFETCH(int, status);
    QWidget* control = create();
    QVERIFY(control);
    ManualTicks ticks;
    diagnostics(control)->setTickSource(&ticks);
    bool eventRan = false;
    // Owned by this row, so a timer that never fired cannot reach into the next row.
    QTimer event;
    event.setSingleShot(true);
    connect(&event, &QTimer::timeout, this, [&] {
        eventRan = true;
        // Lets the long wait end: its time has come.
        ticks.now += 2147483000u;
    });
    event.start(0);

    int result = -1;
    QVERIFY(QMetaObject::invokeMethod(control, "Pause", Q_RETURN_ARG(int, result),
                                      Q_ARG(int, interval)));
    QCOMPARE(result, status);
    const bool waited = status == inproc::Ok && interval > 0;
    QCOMPARE(eventRan, waited);
    if (status == inproc::Overflow)
        QCOMPARE(ticks.queries, 0);
}

void TestLumetModel::pauseKeepsEventsFlowingAcrossTheCounterWrap() {
    QWidget* control = create();
    QVERIFY(control);
    ManualTicks ticks;
    ticks.now = 0xFFFFFF00u;
    diagnostics(control)->setTickSource(&ticks);
    int firings = 0;
    QTimer clock;
    clock.setInterval(0);
    connect(&clock, &QTimer::timeout, this, [&] {
        ++firings;
        ticks.now += 100;
    });
    clock.start();

    int result = -1;
    QVERIFY(QMetaObject::invokeMethod(control, "Pause", Q_RETURN_ARG(int, result), Q_ARG(int, 1)));
    QCOMPARE(result, inproc::Ok);
    // 1000 ms passed in steps of 100, crossing the counter's wrap on the way.
    QCOMPARE(firings, 10);
}

void TestLumetModel::pauseEndsWhenItsWindowCloses() {
    QWidget* control = create();
    QVERIFY(control);
    ManualTicks ticks;
    diagnostics(control)->setTickSource(&ticks);
    QTimer::singleShot(0, this, [this] { m_window.reset(); });
    QPointer<QWidget> watch(control);
    int result = -1;
    QVERIFY(QMetaObject::invokeMethod(control, "Pause", Q_RETURN_ARG(int, result), Q_ARG(int, 5)));
    QCOMPARE(result, inproc::Ok);
    QVERIFY(!watch);
}

QTEST_MAIN(TestLumetModel)
#include "tst_lumetmodel.moc"
