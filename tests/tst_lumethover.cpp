#include "forms/controlhost.h"
#include "forms/propertyrecord.h"
#include "inproc/inprocserver.h"
#include "lumet/lumetdiagnostics.h"
#include "lumet/pointerprobe.h"
#include "lumet/ticksource.h"
#include "support/controlregistration.h"
#include "support/programbutton.h"

#include <QAccessible>
#include <QApplication>
#include <QJsonObject>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace {

// Stands in for the platform's pointer: the test says which window is under it.
class FakePointer : public lumet::PointerProbe {
public:
    QPoint cursorPos() override {
        ++positionQueries;
        return {};
    }
    QWidget* windowAt(const QPoint&) override {
        ++windowQueries;
        QWidget* window = under;
        // Like the platform: a window inside a disabled control is never reported.
        while (window && !window->isEnabled())
            window = window->parentWidget();
        return window;
    }
    QPointer<QWidget> under;
    int positionQueries = 0;
    int windowQueries = 0;
};

// A tick count that moves only when asked, so waits take no real time.
class FakeTicks : public lumet::TickSource {
public:
    std::uint32_t tickCount() override {
        now += step;
        return now;
    }
    std::uint32_t now = 0;
    std::uint32_t step = 10;
};

enum class Look { Plain, Raised, Pressed, Other };

} // namespace

Q_DECLARE_METATYPE(Look)

class TestLumetHover : public QObject {
    Q_OBJECT

public slots:
    // Recorders for the control's events, reached by signature like any late-bound host.
    void onClick();
    void onMouseDown() { m_events << "MouseDown"; }
    void onMouseUp() { m_events << "MouseUp"; }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pointerAndPressFollowTheStateTable_data();
    void pointerAndPressFollowTheStateTable();
    void everyMouseButtonCounts_data();
    void everyMouseButtonCounts();
    void doubleClickRaisesTheSecondClickAfterItsWait();
    void disabledWhileHoveredLosesItsEdgesAndStaysGrey();
    void disabledButtonIgnoresThePointer();
    void captionColoursFollowThePointerAndTheHost();
    void edgesAreExactOnA97By17Button_data();
    void edgesAreExactOnA97By17Button();
    void captionIsLaidOutFromTheFontSize_data();
    void captionIsLaidOutFromTheFontSize();
    void pressedLooksShiftTheCaptionEachTime();
    void mouseEventsCarryThePartsOwnCoordinates_data();
    void mouseEventsCarryThePartsOwnCoordinates();
    void lookSurvivesRepaintsWithoutDrawing();
    void restingPointerCausesNoDrawing();
    void keyboardClicksTheFocusedButton_data();
    void keyboardClicksTheFocusedButton();
    void focusCueLeavesTheEdgesAlone();
    void assistiveTechnologySeesAPushButton();
    void clickHandlerMayDestroyTheWindow();

private:
    QWidget* create(const QJsonObject& record, const QSize& size = QSize(97, 17));
    lumet::LumetDiagnostics* diagnostics(QWidget* control = nullptr) const;
    QWidget* surface() const { return diagnostics()->surface(); }
    Look look(const QImage& image) const;
    Look currentLook() const { return look(diagnostics()->grabSurface()); }
    void waitForPoll();
    void moveOver(QWidget* part, QPoint at, Qt::MouseButtons held = Qt::NoButton);
    void listen();

    std::unique_ptr<QWidget> m_window;
    QWidget* m_control = nullptr;
    FakePointer m_pointer;
    FakeTicks m_ticks;
    QStringList m_events;
    QList<std::uint32_t> m_clickTicks;
    QList<Look> m_clickLooks;
};

namespace {

// System colour 16, button shadow: the desktop's one colour, whatever the control's state.
QRgb shadow(const QWidget* control) {
    return control->palette().color(QPalette::Active, QPalette::Dark).rgb();
}

} // namespace

void TestLumetHover::initTestCase() {
    QString error;
    QVERIFY2(registerControlLibraryForTests(&error), qPrintable(error));
}

void TestLumetHover::init() {
    m_window = std::make_unique<QWidget>();
    QFont font("Arial");
    font.setPointSizeF(8.25);
    m_window->setFont(font);
    m_window->resize(240, 120);
    m_events.clear();
    m_clickTicks.clear();
    m_clickLooks.clear();
    m_pointer = FakePointer();
    m_ticks = FakeTicks();
}

void TestLumetHover::cleanup() {
    m_window.reset();
    m_control = nullptr;
}

QWidget* TestLumetHover::create(const QJsonObject& record, const QSize& size) {
    QString error;
    m_control = ControlHost::createControl("Lumet1.Lumet", m_window.get(),
                                           PropertyRecord::fromJson(record), &error);
    if (!m_control) {
        qWarning("%s", qPrintable(error));
        return nullptr;
    }
    m_control->setGeometry(QRect(QPoint(20, 30), size));
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        return nullptr;
    diagnostics()->setPointerProbe(&m_pointer);
    diagnostics()->setTickSource(&m_ticks);
    m_pointer.under = m_window.get();
    QObject::connect(m_control, &QObject::destroyed, this, [this] { m_control = nullptr; });
    return m_control;
}

void TestLumetHover::listen() {
    QVERIFY(connect(m_control, SIGNAL(Click()), this, SLOT(onClick())));
    QVERIFY(connect(m_control, SIGNAL(MouseDown(short, short, float, float)), this,
                    SLOT(onMouseDown())));
    QVERIFY(
        connect(m_control, SIGNAL(MouseUp(short, short, float, float)), this, SLOT(onMouseUp())));
}

void TestLumetHover::onClick() {
    m_events << "Click";
    m_clickTicks << m_ticks.now;
    m_clickLooks << currentLook();
}

lumet::LumetDiagnostics* TestLumetHover::diagnostics(QWidget* control) const {
    return qobject_cast<lumet::LumetDiagnostics*>(control ? control : m_control);
}

Look TestLumetHover::look(const QImage& image) const {
    const QRgb white = qRgb(255, 255, 255);
    const QRgb dark = shadow(m_control);
    const QRgb topLeft = image.pixel(0, 0);
    const QRgb bottomRight = image.pixel(image.width() - 1, image.height() - 1);
    const QRgb back = image.pixel(1, image.height() / 2);
    if (topLeft == white && bottomRight == dark)
        return Look::Raised;
    if (topLeft == dark && bottomRight == white)
        return Look::Pressed;
    if (topLeft == back && bottomRight == back)
        return Look::Plain;
    return Look::Other;
}

void TestLumetHover::waitForPoll() {
    // Two queries more means at least one whole poll ran after the pointer changed; a poll that
    // has stopped ran its last one after the pointer left.
    const int before = m_pointer.windowQueries;
    QTRY_VERIFY(m_pointer.windowQueries >= before + 2 || !diagnostics()->isPolling());
}

void TestLumetHover::moveOver(QWidget* part, QPoint at, Qt::MouseButtons held) {
    QMouseEvent move(QEvent::MouseMove, at, part->mapToGlobal(at), Qt::NoButton, held,
                     Qt::NoModifier);
    QApplication::sendEvent(part, &move);
}

void TestLumetHover::pointerAndPressFollowTheStateTable_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<Look>>("looks");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("captionOffRest");

    using L = Look;
    QTest::newRow("arriving raises the edges, leaving erases them")
        << QStringList{"arrive", "leave"} << QList<Look>{L::Raised, L::Plain} << QStringList{}
        << false;
    QTest::newRow("press and release over the button clicks")
        << QStringList{"arrive", "press", "release"}
        << QList<Look>{L::Raised, L::Pressed, L::Raised}
        << QStringList{"MouseDown", "Click", "MouseUp"} << false;
    QTest::newRow("press, drag off and release away gives no click")
        << QStringList{"arrive", "press", "leave", "release", "arrive"}
        << QList<Look>{L::Raised, L::Pressed, L::Plain, L::Plain, L::Raised}
        << QStringList{"MouseDown", "MouseUp"} << false;
    QTest::newRow("press, drag off and back shows the pressed look again")
        << QStringList{"arrive", "press", "leave", "arrive"}
        << QList<Look>{L::Raised, L::Pressed, L::Plain, L::Pressed} << QStringList{"MouseDown"}
        << true;
    QTest::newRow("press, drag off and back, then release clicks")
        << QStringList{"arrive", "press", "leave", "arrive", "release"}
        << QList<Look>{L::Raised, L::Pressed, L::Plain, L::Pressed, L::Raised}
        << QStringList{"MouseDown", "Click", "MouseUp"} << false;
    QTest::newRow("release away before the poll noticed the leave gives no click")
        << QStringList{"arrive", "press", "away", "release"}
        << QList<Look>{L::Raised, L::Pressed, L::Pressed, L::Plain}
        << QStringList{"MouseDown", "MouseUp"} << true;
    QTest::newRow("a press before any hover still clicks")
        << QStringList{"press", "over", "release"} << QList<Look>{L::Pressed, L::Pressed, L::Raised}
        << QStringList{"MouseDown", "Click", "MouseUp"} << false;
    QTest::newRow("the look stays while the pointer rests")
        << QStringList{"arrive", "rest", "rest"} << QList<Look>{L::Raised, L::Raised, L::Raised}
        << QStringList{} << false;
}

void TestLumetHover::pointerAndPressFollowTheStateTable() {
    QFETCH(QStringList, steps);
    QFETCH(QList<Look>, looks);
    QFETCH(QStringList, events);
    QFETCH(bool, captionOffRest);
    QVERIFY(create(programButton("Get HTML Source")));
    const QRectF rest = diagnostics()->captionGeometry();
    listen();
    const QPoint centre = surface()->rect().center();
    Qt::MouseButtons held;

    for (int i = 0; i < steps.size(); ++i) {
        const QString& step = steps.at(i);
        if (step == "arrive") {
            m_pointer.under = surface();
            moveOver(surface(), centre, held);
            waitForPoll();
        } else if (step == "leave") {
            m_pointer.under = m_window.get();
            waitForPoll();
        } else if (step == "away" || step == "over") {
            // The pointer moves, and no event runs before the next step, so no poll sees it.
            m_pointer.under = step == "over" ? surface() : m_window.get();
        } else if (step == "rest") {
            waitForPoll();
        } else if (step == "press") {
            QTest::mousePress(surface(), Qt::LeftButton, {}, centre);
            held = Qt::LeftButton;
        } else if (step == "release") {
            QTest::mouseRelease(surface(), Qt::LeftButton, {}, centre);
            held = Qt::NoButton;
        }
        QVERIFY2(currentLook() == looks.at(i),
                 qPrintable(QString("after step %1 (%2)").arg(i).arg(step)));
    }
    QCOMPARE(m_events, events);
    // Click comes after the raised look is drawn and before MouseUp.
    for (Look atClick : qAsConst(m_clickLooks))
        QCOMPARE(atClick, Look::Raised);
    QCOMPARE(diagnostics()->isPressed(), held != Qt::NoButton);
    QCOMPARE(diagnostics()->captionGeometry(), captionOffRest ? rest.translated(1, 1) : rest);
}

void TestLumetHover::everyMouseButtonCounts_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<short>("bits");
    QTest::newRow("left button") << Qt::LeftButton << short(1);
    QTest::newRow("right button") << Qt::RightButton << short(2);
    QTest::newRow("middle button") << Qt::MiddleButton << short(4);
}

void TestLumetHover::everyMouseButtonCounts() {
    QFETCH(Qt::MouseButton, button);
    QFETCH(short, bits);
    QVERIFY(create(programButton("Find Next")));
    QSignalSpy down(m_control, SIGNAL(MouseDown(short, short, float, float)));
    QSignalSpy up(m_control, SIGNAL(MouseUp(short, short, float, float)));
    QSignalSpy click(m_control, SIGNAL(Click()));
    m_pointer.under = surface();

    QTest::mousePress(surface(), button, Qt::ShiftModifier | Qt::ControlModifier, QPoint(2, 2));
    QCOMPARE(currentLook(), Look::Pressed);
    QTest::mouseRelease(surface(), button, Qt::AltModifier, QPoint(2, 2));
    QCOMPARE(click.count(), 1);
    QCOMPARE(down.count(), 1);
    QCOMPARE(down.at(0).at(0).value<short>(), bits);
    QCOMPARE(down.at(0).at(1).value<short>(), short(1 | 2));
    QCOMPARE(up.count(), 1);
    QCOMPARE(up.at(0).at(0).value<short>(), bits);
    QCOMPARE(up.at(0).at(1).value<short>(), short(4));
}

void TestLumetHover::doubleClickRaisesTheSecondClickAfterItsWait() {
    QVERIFY(create(programButton("Copy All")));
    listen();
    m_pointer.under = surface();
    const QPoint centre = surface()->rect().center();
    moveOver(surface(), centre);
    waitForPoll();

    QTest::mousePress(surface(), Qt::LeftButton, {}, centre);
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, centre);
    QCOMPARE(m_events, QStringList({"MouseDown", "Click", "MouseUp"}));
    QCOMPARE(currentLook(), Look::Raised);

    // The second press arrives as a double-click notification, which the button ignores.
    QTest::mouseDClick(surface(), Qt::LeftButton, {}, centre);
    QCOMPARE(currentLook(), Look::Raised);
    QVERIFY(!diagnostics()->isPressed());
    const std::uint32_t releasedAt = m_ticks.now;
    m_clickTicks.clear();
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, centre);

    QCOMPARE(m_events, QStringList({"MouseDown", "Click", "MouseUp", "Click", "MouseUp"}));
    QCOMPARE(m_clickTicks.size(), 1);
    QVERIFY2(m_clickTicks.first() - releasedAt >= 200,
             qPrintable(QString::number(m_clickTicks.first() - releasedAt)));
    // The pressed look stays after the second click until the pointer leaves.
    QCOMPARE(currentLook(), Look::Pressed);
    QVERIFY(!diagnostics()->isPressed());
    m_pointer.under = m_window.get();
    moveOver(surface(), centre);
    waitForPoll();
    QCOMPARE(currentLook(), Look::Plain);
}

void TestLumetHover::disabledWhileHoveredLosesItsEdgesAndStaysGrey() {
    QVERIFY(create(programButton("Replace All")));
    m_pointer.under = surface();
    moveOver(surface(), QPoint(5, 5));
    waitForPoll();
    QCOMPARE(currentLook(), Look::Raised);

    QVERIFY(m_control->setProperty("Enabled", false));
    QCOMPARE(m_control->property("ForeColor").toUInt(), 0x008C8C8Cu);
    waitForPoll();
    QCOMPARE(currentLook(), Look::Plain);
    QCOMPARE(m_control->property("ForeColor").toUInt(), 0x008C8C8Cu);
    const QImage picture = diagnostics()->grabSurface();
    bool greyShown = false;
    for (int y = 0; y < picture.height() && !greyShown; ++y)
        for (int x = 0; x < picture.width() && !greyShown; ++x)
            greyShown = picture.pixel(x, y) == qRgb(140, 140, 140);
    QVERIFY(greyShown);

    QVERIFY(m_control->setProperty("Enabled", true));
    QCOMPARE(m_control->property("ForeColor").toUInt(), 0x00FFFFFFu);
}

void TestLumetHover::disabledButtonIgnoresThePointer() {
    QVERIFY(create(programButton("Take out HTML")));
    listen();
    QVERIFY(m_control->setProperty("Enabled", false));
    m_pointer.under = surface();
    QTest::mousePress(surface(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, QPoint(5, 5));
    moveOver(surface(), QPoint(6, 6));
    QCOMPARE(m_events, QStringList());
    QCOMPARE(currentLook(), Look::Plain);
    QVERIFY(!diagnostics()->isPolling());

    QVERIFY(m_control->setProperty("Enabled", true));
    QTest::mousePress(surface(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(m_events, QStringList({"MouseDown", "Click", "MouseUp"}));
}

void TestLumetHover::captionColoursFollowThePointerAndTheHost() {
    // Two colours that differ, unlike the program's own buttons, which use white for both.
    QJsonObject record = programButton("Get HTML Source");
    record["forecolor"] = 0x00112233;
    record["forecolormo"] = 0x0000FFFF;
    QVERIFY(create(record));
    const auto caption = [this] { return m_control->property("ForeColor").toUInt(); };
    const QPoint centre = surface()->rect().center();
    QVERIFY(m_control->setProperty("ForeColor", 0x00ABCDEFu)); // the host's own choice

    m_pointer.under = surface();
    moveOver(surface(), centre);
    waitForPoll();
    QCOMPARE(caption(), 0x0000FFFFu);
    m_pointer.under = m_window.get();
    waitForPoll();
    QCOMPARE(caption(), 0x00ABCDEFu);

    m_pointer.under = surface();
    moveOver(surface(), centre);
    waitForPoll();
    QTest::mousePress(surface(), Qt::LeftButton, {}, centre);
    QCOMPARE(caption(), 0x0000FFFFu);
    m_pointer.under = m_window.get();
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, centre);
    QCOMPARE(caption(), 0x00ABCDEFu);

    QVERIFY(m_control->setProperty("Enabled", false));
    QVERIFY(m_control->setProperty("Enabled", true));
    QCOMPARE(caption(), 0x00ABCDEFu);
    PropertyRecord saved;
    QCOMPARE(qobject_cast<inproc::PersistPropertyBag*>(m_control)->save(saved), inproc::Ok);
    QCOMPARE(saved.value("ForeColor").toUInt(), 0x00ABCDEFu);
}

void TestLumetHover::edgesAreExactOnA97By17Button_data() {
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("raised look: white top and left, shadow bottom and right") << false << true;
    QTest::newRow("pressed look: shadow top and left, white bottom and right") << true << true;
    QTest::newRow("raised look drawn on a disabled button: the same shadow") << false << false;
    QTest::newRow("pressed look drawn on a disabled button: the same shadow") << true << false;
}

void TestLumetHover::edgesAreExactOnA97By17Button() {
    QFETCH(bool, pressed);
    QFETCH(bool, enabled);
    QVERIFY(create(programButton("")));
    QVERIFY(m_control->setProperty("Enabled", enabled));
    const QRgb white = qRgb(255, 255, 255);
    const QRgb dark = shadow(m_control);
    const QRgb face = qRgb(0, 0, 0);
    const QRgb topLeft = pressed ? dark : white;
    const QRgb bottomRight = pressed ? white : dark;
    QVERIFY(dark != white && dark != face);

    int status = -1;
    QVERIFY(QMetaObject::invokeMethod(m_control, pressed ? "ButtonClicked" : "DrawBorder",
                                      Q_RETURN_ARG(int, status)));
    QCOMPARE(status, inproc::Ok);
    const QImage image = diagnostics()->grabSurface();
    QCOMPARE(image.size(), QSize(97, 17));

    for (int x = 0; x <= 95; ++x)
        QCOMPARE(image.pixel(x, 0), topLeft);
    for (int y = 1; y <= 15; ++y)
        QCOMPARE(image.pixel(0, y), topLeft);
    // Later edges win the corners: bottom over left, right over top and bottom.
    for (int x = 0; x <= 96; ++x)
        QCOMPARE(image.pixel(x, 16), bottomRight);
    for (int y = 0; y <= 16; ++y)
        QCOMPARE(image.pixel(96, y), bottomRight);
    QCOMPARE(image.pixel(1, 1), face);
    QCOMPARE(image.pixel(95, 15), face);
    QCOMPARE(image.pixel(95, 1), face);
}

void TestLumetHover::captionIsLaidOutFromTheFontSize_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("points");
    QTest::addColumn<QRectF>("caption");
    QTest::addColumn<QRect>("pixels");
    QTest::addColumn<int>("windowFontPixels");

    QTest::newRow("8.25 points on 97 x 17")
        << QSize(97, 17) << 8.25 << QRectF(4, 0.8125, 89, 13.375) << QRect(4, 1, 89, 13) << 0;
    QTest::newRow("12 points on a new button's 129 x 33")
        << QSize(129, 33) << 12.0 << QRectF(4, 6, 121, 19) << QRect(4, 6, 121, 19) << 0;
    QTest::newRow("a button narrower than its margins has no caption width")
        << QSize(6, 17) << 8.25 << QRectF(4, 0.8125, -2, 13.375) << QRect(4, 1, 0, 13) << 0;
    // No stored font: the caption takes the window's, sized in pixels (11 px = 8.25 points).
    QTest::newRow("a window font given in pixels counts in points")
        << QSize(97, 17) << 0.0 << QRectF(4, 0.8125, 89, 13.375) << QRect(4, 1, 89, 13) << 11;
}

void TestLumetHover::captionIsLaidOutFromTheFontSize() {
    QFETCH(QSize, size);
    QFETCH(double, points);
    QFETCH(QRectF, caption);
    QFETCH(QRect, pixels);
    QFETCH(int, windowFontPixels);
    QJsonObject record = programButton("Open URL");
    record["fontinfo"] = QJsonObject{{"name", "Arial"}, {"size", points}, {"weight", 400}};
    if (windowFontPixels > 0) {
        QFont font("Arial");
        font.setPixelSize(windowFontPixels);
        m_window->setFont(font);
        record.remove("fontinfo");
    }
    QVERIFY(create(record, size));
    QCOMPARE(diagnostics()->captionGeometry(), caption);
    const QRectF shown = diagnostics()->captionGeometry();
    const QRect rounded(qRound(shown.left()), qRound(shown.top()), qMax(0, qRound(shown.width())),
                        qMax(0, qRound(shown.height())));
    QCOMPARE(rounded, pixels);
}

void TestLumetHover::pressedLooksShiftTheCaptionEachTime() {
    QVERIFY(create(programButton("GoTo:")));
    const QRectF rest = diagnostics()->captionGeometry();
    QMetaObject::invokeMethod(m_control, "ButtonClicked");
    QCOMPARE(diagnostics()->captionGeometry(), rest.translated(1, 1));
    QMetaObject::invokeMethod(m_control, "ButtonClicked");
    QCOMPARE(diagnostics()->captionGeometry(), rest.translated(2, 2));
    QMetaObject::invokeMethod(m_control, "DrawBorder");
    QCOMPARE(diagnostics()->captionGeometry(), rest);
    QCOMPARE(m_control->property("ForeColor").toUInt(),
             m_control->property("ForeColorMO").toUInt());
}

void TestLumetHover::mouseEventsCarryThePartsOwnCoordinates_data() {
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QPointF>("reported");
    // The caption of a 97 x 17 button sits at (4, 0.8125).
    QTest::newRow("over the caption: relative to the caption")
        << QPoint(48, 8) << QPointF(44, 7.1875);
    QTest::newRow("beside the caption: relative to the surface") << QPoint(2, 8) << QPointF(2, 8);
}

void TestLumetHover::mouseEventsCarryThePartsOwnCoordinates() {
    QFETCH(QPoint, at);
    QFETCH(QPointF, reported);
    QVERIFY(create(programButton("Find Files")));
    QSignalSpy down(m_control, SIGNAL(MouseDown(short, short, float, float)));
    QSignalSpy move(m_control, SIGNAL(MouseMove(short, short, float, float)));
    moveOver(surface(), at);
    QTest::mousePress(surface(), Qt::LeftButton, {}, at);
    QCOMPARE(move.count(), 1);
    QCOMPARE(down.count(), 1);
    QCOMPARE(QPointF(move.at(0).at(2).toFloat(), move.at(0).at(3).toFloat()), reported);
    QCOMPARE(QPointF(down.at(0).at(2).toFloat(), down.at(0).at(3).toFloat()), reported);
}

void TestLumetHover::lookSurvivesRepaintsWithoutDrawing() {
    QVERIFY(create(programButton("D/L Checked")));
    m_pointer.under = surface();
    moveOver(surface(), QPoint(5, 5));
    waitForPoll();
    QCOMPARE(currentLook(), Look::Raised);
    const QImage before = diagnostics()->grabSurface();
    const int draws = diagnostics()->drawCount();

    // Covered and uncovered: the window shows its retained image again.
    m_window->hide();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    surface()->repaint();
    QCOMPARE(surface()->grab().toImage().convertToFormat(QImage::Format_RGB32),
             before.convertToFormat(QImage::Format_RGB32));
    QCOMPARE(diagnostics()->drawCount(), draws);
}

void TestLumetHover::restingPointerCausesNoDrawing() {
    QVERIFY(create(programButton("Cancel")));
    m_pointer.under = surface();
    moveOver(surface(), QPoint(5, 5));
    waitForPoll();
    const int draws = diagnostics()->drawCount();
    const int paints = diagnostics()->paintCount();
    const int positions = m_pointer.positionQueries;
    const int windows = m_pointer.windowQueries;
    QTRY_VERIFY(m_pointer.windowQueries >= windows + 5);
    QCOMPARE(diagnostics()->drawCount(), draws);
    QCOMPARE(diagnostics()->paintCount(), paints);
    // One pointer query and one window query per tick, nothing more.
    QCOMPARE(m_pointer.positionQueries - positions, m_pointer.windowQueries - windows);

    // Away from the button, at rest, it stops asking; the next move over it starts again.
    m_pointer.under = m_window.get();
    QTRY_VERIFY(!diagnostics()->isPolling());
    moveOver(surface(), QPoint(5, 5));
    QVERIFY(diagnostics()->isPolling());
}

void TestLumetHover::keyboardClicksTheFocusedButton_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("clicks");
    QTest::newRow("Space clicks") << int(Qt::Key_Space) << true << 1;
    QTest::newRow("Enter clicks") << int(Qt::Key_Return) << true << 1;
    QTest::newRow("keypad Enter clicks") << int(Qt::Key_Enter) << true << 1;
    QTest::newRow("a letter does not click") << int(Qt::Key_A) << true << 0;
    QTest::newRow("a disabled button ignores Space") << int(Qt::Key_Space) << false << 0;
}

void TestLumetHover::keyboardClicksTheFocusedButton() {
    QFETCH(int, key);
    QFETCH(bool, enabled);
    QFETCH(int, clicks);
    QVERIFY(create(programButton("Get HTML Source")));
    QVERIFY(m_control->focusPolicy() & Qt::TabFocus);
    m_control->setProperty("Enabled", enabled);
    QSignalSpy click(m_control, SIGNAL(Click()));
    QTest::keyClick(m_control, Qt::Key(key));
    QCOMPARE(click.count(), clicks);
    QCOMPARE(currentLook(), Look::Plain);
}

void TestLumetHover::focusCueLeavesTheEdgesAlone() {
    QVERIFY(create(programButton("Exit")));
    QMetaObject::invokeMethod(m_control, "DrawBorder");
    const QImage unfocused = surface()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QApplication::setActiveWindow(m_window.get());
    QTest::keyClick(m_window.get(), Qt::Key_Tab);
    QTRY_VERIFY(m_control->hasFocus());
    const QImage focused = surface()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(focused != unfocused);
    const int w = focused.width();
    const int h = focused.height();
    for (int x = 0; x < w; ++x) {
        QCOMPARE(focused.pixel(x, 0), unfocused.pixel(x, 0));
        QCOMPARE(focused.pixel(x, h - 1), unfocused.pixel(x, h - 1));
    }
    for (int y = 0; y < h; ++y) {
        QCOMPARE(focused.pixel(0, y), unfocused.pixel(0, y));
        QCOMPARE(focused.pixel(w - 1, y), unfocused.pixel(w - 1, y));
    }
}

void TestLumetHover::assistiveTechnologySeesAPushButton() {
    QVERIFY(create(programButton("Get HTML Source")));
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(m_control);
    QVERIFY(button);
    QCOMPARE(button->role(), QAccessible::Button);
    QCOMPARE(button->text(QAccessible::Name), QString("Get HTML Source"));
    m_control->setProperty("Caption", "Cancel");
    QCOMPARE(button->text(QAccessible::Name), QString("Cancel"));
    QVERIFY(button->actionInterface());
    QVERIFY(button->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::pressAction()));
    QSignalSpy click(m_control, SIGNAL(Click()));
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(click.count(), 1);
    m_control->setProperty("Enabled", false);
    QVERIFY(button->state().disabled);
    button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(click.count(), 1);
}

void TestLumetHover::clickHandlerMayDestroyTheWindow() {
    QVERIFY(create(programButton("Exit")));
    listen();
    m_pointer.under = surface();
    QTest::mousePress(surface(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(m_events, QStringList({"MouseDown", "Click", "MouseUp"}));

    // The second release of a double click waits while events run; the window closes
    // during that wait and takes the button with it.
    QTest::mouseDClick(surface(), Qt::LeftButton, {}, QPoint(5, 5));
    QTimer::singleShot(0, this, [this] { m_window.reset(); });
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!m_window);
    QVERIFY(!m_control);
    QCOMPARE(m_events, QStringList({"MouseDown", "Click", "MouseUp"}));
}

QTEST_MAIN(TestLumetHover)
#include "tst_lumethover.moc"
