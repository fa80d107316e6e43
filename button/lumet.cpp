#include "lumet.h"

#include "aboutlumet.h"
#include "cursorprobe.h"
#include "lumetaccessible.h"
#include "lumetdispatch.h"
#include "lumetfont.h"
#include "lumetsurface.h"
#include "serverlocks.h"
#include "systemcolor.h"
#include "systemticks.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <limits>

namespace {

const QString DefaultCaption = QStringLiteral("Click Me");

std::uint32_t colorValue(const QVariant& value) {
    // Colours arrive as uint, int or a wider integer depending on the store; only the low
    // 32 bits carry the colour.
    return std::uint32_t(value.toLongLong());
}

} // namespace

Lumet::Lumet(QWidget* parent)
    : QWidget(parent) {
    ServerLocks::controlCreated();
    LumetAccessible::install();
    setObjectName(QStringLiteral("Lumet"));
    setFocusPolicy(Qt::StrongFocus);

    m_surface = new LumetSurface(this);
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(10);
    m_font1 = new LumetFont(QApplication::font(), this);
    m_font1->setObjectName(QStringLiteral("m_Font1"));
    m_surface->label().setFont(m_font1->toQFont());

    connect(m_font1, &LumetFont::fontChanged, this, &Lumet::onFontChanged);
    connect(m_timer, &QTimer::timeout, this, &Lumet::poll);
    connect(m_surface, &LumetSurface::pointerPressed, this, &Lumet::onPress);
    connect(m_surface, &LumetSurface::pointerMoved, this, &Lumet::onMove);
    connect(m_surface, &LumetSurface::pointerReleased, this, &Lumet::onRelease);

    // 1935 x 495 twips, the size of a newly placed button.
    resize(129, 33);
    m_surface->setGeometry(rect());
    ResizeLabel();
}

Lumet::~Lumet() {
    ServerLocks::controlDestroyed();
}

QString Lumet::caption() const {
    return m_surface->label().text();
}

void Lumet::setCaption(const QString& caption) {
    m_surface->label().setText(caption);
    m_surface->update();
    announceName();
    emit propertyChanged(QStringLiteral("Caption"));
}

bool Lumet::enabledState() const {
    return !testAttribute(Qt::WA_ForceDisabled);
}

void Lumet::setEnabledState(bool enabled) {
    QWidget::setEnabled(enabled);
    m_surface->label().setColor(enabled ? m_foreColor : SystemColor::DisabledGrey);
    m_surface->update();
    emit propertyChanged(QStringLiteral("Enabled"));
}

uint Lumet::foreColor() const {
    return m_surface->label().color();
}

void Lumet::setForeColor(uint color) {
    m_surface->label().setColor(color);
    m_surface->update();
    m_foreColor = color;
    emit propertyChanged(QStringLiteral("ForeColor"));
}

uint Lumet::backColor() const {
    return m_surface->backColor();
}

void Lumet::setBackColor(uint color) {
    m_surface->setBackColor(color);
    emit propertyChanged(QStringLiteral("BackColor"));
}

uint Lumet::foreColorMO() const {
    return m_hoverColor;
}

void Lumet::setForeColorMO(uint color) {
    m_hoverColor = color;
    emit propertyChanged(QStringLiteral("ForeColorMO"));
}

QObject* Lumet::fontInfo() const {
    return m_font1;
}

void Lumet::setFontInfo(QObject* font) {
    if (!font)
        return;
    m_font1->copyFrom(*font);
    emit propertyChanged(QStringLiteral("FontInfo"));
}

int Lumet::ButtonClicked() {
    LumetLabel& label = m_surface->label();
    label.setGeometry(label.geometry().translated(1, 1));
    label.setColor(m_hoverColor);
    drawEdges(SystemColor::ButtonShadow, SystemColor::White);
    return inproc::Ok;
}

int Lumet::DrawBorder() {
    ResizeLabel();
    m_surface->label().setColor(m_hoverColor);
    drawEdges(SystemColor::White, SystemColor::ButtonShadow);
    return inproc::Ok;
}

int Lumet::ResizeLabel() {
    // The caption's font may come from a container that sized it in pixels; the layout counts
    // in points either way.
    const double size = LumetFont::pointSize(m_surface->label().font());
    const double height = size / 4 * 2 + size + 1;
    const double top = m_surface->height() / 2.0 - height / 2 - 1;
    m_surface->label().setGeometry(QRectF(4, top, width() - 8, height));
    m_surface->update();
    return inproc::Ok;
}

int Lumet::Pause(int hInterval) {
    const qint64 ms = qint64(hInterval) * 1000;
    if (ms > std::numeric_limits<std::int32_t>::max() ||
        ms < std::numeric_limits<std::int32_t>::min())
        return inproc::Overflow;
    return waitMilliseconds(std::int32_t(ms));
}

int Lumet::About() {
    // Built anew from the same design for every showing; no owner, so it stands on its own.
    AboutLumet about;
    about.exec();
    return inproc::Ok;
}

void Lumet::activate() {
    if (isEnabled())
        emit Click();
}

inproc::Status Lumet::initNew() {
    // A first placement keeps the fresh font object as it is: the container's font is only
    // the default for a stored record.
    return inproc::Ok;
}

inproc::Status Lumet::load(const inproc::PropertyBag& bag, const QFont& ambientFont) {
    m_ambientFont = ambientFont;
    m_ambientKnown = true;
    LumetLabel& label = m_surface->label();

    label.setText(bag.read(QStringLiteral("Caption"), DefaultCaption).toString());
    label.setColor(colorValue(bag.read(QStringLiteral("ForeColor"), SystemColor::ButtonText)));
    m_foreColor = colorValue(bag.read(QStringLiteral("ForeColor"), SystemColor::ButtonText));
    m_surface->setBackColor(
        colorValue(bag.read(QStringLiteral("BackColor"), SystemColor::ButtonFace)));
    m_hoverColor = colorValue(bag.read(QStringLiteral("ForeColorMO"), SystemColor::ButtonText));
    const bool enabled = bag.read(QStringLiteral("Enabled"), true).toBool();
    QWidget::setEnabled(enabled);
    label.setColor(enabled ? m_foreColor : SystemColor::DisabledGrey);
    label.setFont(bag.read(QStringLiteral("FontInfo"), ambientFont).value<QFont>());
    m_font1->assign(bag.read(QStringLiteral("FontInfo"), ambientFont).value<QFont>());
    ResizeLabel();
    announceName();
    return inproc::Ok;
}

inproc::Status Lumet::save(inproc::PropertyBag& bag) {
    bag.write(QStringLiteral("Caption"), caption(), DefaultCaption);
    bag.write(QStringLiteral("ForeColor"), m_foreColor, SystemColor::ButtonText);
    bag.write(QStringLiteral("Backcolor"), m_surface->backColor(), SystemColor::ButtonFace);
    bag.write(QStringLiteral("ForeColorMO"), m_hoverColor, SystemColor::ButtonText);
    bag.write(QStringLiteral("FontInfo"), m_font1->toQFont(), ambientFont());
    bag.write(QStringLiteral("Enabled"), enabledState(), true);
    ResizeLabel();
    return inproc::Ok;
}

inproc::Status Lumet::idOfName(const QString& name, std::int32_t* dispId) const {
    return LumetDispatch::memberId(name, dispId) ? inproc::Ok : inproc::UnknownName;
}

inproc::Status Lumet::eventIdOfName(const QString& name, std::int32_t* dispId) const {
    return LumetDispatch::eventId(name, dispId) ? inproc::Ok : inproc::UnknownName;
}

inproc::Status Lumet::invoke(std::int32_t dispId, inproc::InvokeKind kind, QVariantList& args,
                             QVariant* result) {
    using Kind = inproc::InvokeKind;
    const auto expect = [&](Kind wanted, int count) {
        return kind == wanted && args.size() == count;
    };
    const auto get = [&](const QVariant& value) {
        if (!expect(Kind::PropertyGet, 0))
            return inproc::BadParameterCount;
        if (result)
            *result = value;
        return inproc::Ok;
    };

    switch (dispId) {
    case LumetDispatch::Caption:
    case LumetDispatch::Enabled:
    case LumetDispatch::ForeColor:
    case LumetDispatch::BackColor:
    case LumetDispatch::ForeColorMO: {
        const char* property = dispId == LumetDispatch::Caption     ? "Caption"
                               : dispId == LumetDispatch::Enabled   ? "Enabled"
                               : dispId == LumetDispatch::ForeColor ? "ForeColor"
                               : dispId == LumetDispatch::BackColor ? "BackColor"
                                                                    : "ForeColorMO";
        if (kind == Kind::PropertyGet)
            return get(this->property(property));
        if (!expect(Kind::PropertyPut, 1))
            return kind == Kind::PropertyPut ? inproc::BadParameterCount : inproc::MemberNotFound;
        QVariant value = args.at(0);
        if (dispId != LumetDispatch::Caption && dispId != LumetDispatch::Enabled)
            value = colorValue(value);
        return setProperty(property, value) ? inproc::Ok : inproc::InvalidArgument;
    }
    case LumetDispatch::FontInfo:
        if (kind == Kind::PropertyGet)
            return get(QVariant::fromValue<QObject*>(m_font1));
        if (!expect(Kind::PropertyPutRef, 1))
            return inproc::MemberNotFound;
        if (args.at(0).metaType().id() == QMetaType::QFont) {
            LumetFont source(args.at(0).value<QFont>());
            setFontInfo(&source);
            return inproc::Ok;
        }
        if (auto* font = args.at(0).value<QObject*>()) {
            setFontInfo(font);
            return inproc::Ok;
        }
        return inproc::InvalidArgument;
    case LumetDispatch::ButtonClicked:
        return expect(Kind::Method, 0) ? ButtonClicked() : inproc::BadParameterCount;
    case LumetDispatch::DrawBorder:
        return expect(Kind::Method, 0) ? DrawBorder() : inproc::BadParameterCount;
    case LumetDispatch::ResizeLabel:
        return expect(Kind::Method, 0) ? ResizeLabel() : inproc::BadParameterCount;
    case LumetDispatch::About:
        return expect(Kind::Method, 0) ? About() : inproc::BadParameterCount;
    case LumetDispatch::Pause:
        return expect(Kind::Method, 1) ? Pause(args.at(0).toInt()) : inproc::BadParameterCount;
    default:
        return inproc::MemberNotFound;
    }
}

void Lumet::setPointerProbe(lumet::PointerProbe* probe) {
    m_probe = probe;
}

void Lumet::setTickSource(lumet::TickSource* source) {
    m_ticks = source;
}

QWidget* Lumet::surface() const {
    return m_surface;
}

QRectF Lumet::captionGeometry() const {
    return m_surface->label().geometry();
}

QImage Lumet::grabSurface() const {
    return m_surface->grab();
}

bool Lumet::isPressed() const {
    return m_pressed;
}

bool Lumet::isPolling() const {
    return m_timer->isActive();
}

int Lumet::drawCount() const {
    return m_drawCount;
}

int Lumet::paintCount() const {
    return m_surface->paintCount();
}

void Lumet::resizeEvent(QResizeEvent*) {
    m_surface->setGeometry(rect());
    ResizeLabel();
}

void Lumet::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
        // Like a pointer button, Space clicks on its release, so holding it down and
        // tabbing away does nothing.
        if (!event->isAutoRepeat())
            m_spaceHeld = true;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat())
            activate();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void Lumet::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || !m_spaceHeld)
        return;
    m_spaceHeld = false;
    activate();
}

void Lumet::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    m_surface->update();
}

void Lumet::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    m_spaceHeld = false;
    m_surface->update();
}

void Lumet::onPress(short button, short shift, float x, float y) {
    m_pressed = true;
    ButtonClicked();
    emit MouseDown(button, shift, x, y);
}

void Lumet::onMove(short button, short shift, float x, float y) {
    if (!m_timer->isActive())
        m_timer->start();
    emit MouseMove(button, shift, x, y);
}

void Lumet::onRelease(short button, short shift, float x, float y) {
    // Handlers run inside this release may close the window and destroy this control.
    const QPointer<Lumet> self(this);
    if (windowUnderPointer() != m_surface) {
        eraseLook();
        m_surface->label().setColor(m_foreColor);
        m_pressed = false;
    } else if (m_pressed) {
        m_pressed = false;
        DrawBorder();
        emit Click();
    } else {
        // The release after the second press of a double click, which came as a double-click
        // notification and so set no press of its own.
        ButtonClicked();
        waitMilliseconds(200);
        if (!self)
            return;
        m_pressed = false;
        emit Click();
    }
    if (self)
        emit MouseUp(button, shift, x, y);
}

void Lumet::poll() {
    QWidget* const window = windowUnderPointer();
    if (window != m_lastWindow.data()) {
        if (window == m_surface) {
            if (m_pressed)
                ButtonClicked();
            else
                DrawBorder();
        } else if (m_lastWindow.data() == m_surface) {
            ResizeLabel();
            eraseLook();
            if (enabledState())
                m_surface->label().setColor(m_foreColor);
        }
    }
    m_lastWindow = window;
    // Away and at rest, there is nothing to watch for until the pointer comes back, and its
    // next move over the button starts the poll again. A press dragged off keeps watching,
    // since coming back draws the pressed look.
    if (window != m_surface && !m_pressed)
        m_timer->stop();
}

void Lumet::onFontChanged() {
    m_surface->label().setFont(m_font1->toQFont());
    ResizeLabel();
}

QWidget* Lumet::windowUnderPointer() {
    lumet::PointerProbe& probe = m_probe ? *m_probe : CursorProbe::instance();
    return probe.windowAt(probe.cursorPos());
}

void Lumet::drawEdges(std::uint32_t topLeft, std::uint32_t bottomRight) {
    const int w = m_surface->width();
    const int h = m_surface->height();
    // Later edges win where they meet; the bottom and right ones reach one pixel past the
    // surface, so only their first row and column show.
    m_surface->fillEdge(0, 0, w, 0, topLeft);
    m_surface->fillEdge(0, 0, 0, h, topLeft);
    m_surface->fillEdge(0, h - 1, w, h, bottomRight);
    m_surface->fillEdge(w - 1, 0, w, h, bottomRight);
    ++m_drawCount;
}

void Lumet::eraseLook() {
    m_surface->erase();
    ++m_drawCount;
}

inproc::Status Lumet::waitMilliseconds(std::int32_t ms) {
    lumet::TickSource& ticks = m_ticks ? *m_ticks : SystemTicks::instance();
    const QPointer<Lumet> self(this);
    const std::uint32_t start = ticks.tickCount();
    for (;;) {
        // Unsigned subtraction is modulo 2^32, so the counter's wrap costs nothing.
        const std::uint32_t elapsed = ticks.tickCount() - start;
        if (qint64(ms) <= qint64(elapsed))
            return inproc::Ok;
        QCoreApplication::processEvents();
        // The control may have gone with its window while events ran; nothing left to wait for.
        if (!self)
            return inproc::Ok;
    }
}

QFont Lumet::ambientFont() const {
    if (m_ambientKnown)
        return m_ambientFont;
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

void Lumet::announceName() {
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}
