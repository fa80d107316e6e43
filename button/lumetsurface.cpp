#include "lumetsurface.h"

#include "systemcolor.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

short buttonBits(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

short buttonBits(Qt::MouseButtons buttons) {
    short bits = 0;
    if (buttons & Qt::LeftButton)
        bits |= 1;
    if (buttons & Qt::RightButton)
        bits |= 2;
    if (buttons & Qt::MiddleButton)
        bits |= 4;
    return bits;
}

short shiftBits(Qt::KeyboardModifiers modifiers) {
    short bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= 1;
    if (modifiers & Qt::ControlModifier)
        bits |= 2;
    if (modifiers & Qt::AltModifier)
        bits |= 4;
    return bits;
}

} // namespace

LumetSurface::LumetSurface(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Picture1"));
    // Moves without a button held are what start the hover poll.
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_image = blankImage(size());
}

void LumetSurface::setBackColor(std::uint32_t color) {
    m_backColor = color;
    // A new face colour replaces the whole face, drawings included.
    erase();
}

void LumetSurface::erase() {
    m_image = blankImage(size());
    update();
}

void LumetSurface::fillEdge(int x1, int y1, int x2, int y2, std::uint32_t color) {
    QPainter painter(&m_image);
    painter.fillRect(QRect(QPoint(qMin(x1, x2), qMin(y1, y2)), QPoint(qMax(x1, x2), qMax(y1, y2))),
                     SystemColor::resolve(color, palette()));
    painter.end();
    update();
}

QImage LumetSurface::grab() const {
    QImage picture = m_image.copy();
    QPainter painter(&picture);
    m_label.paint(painter, palette());
    return picture;
}

void LumetSurface::paintEvent(QPaintEvent*) {
    ++m_paintCount;
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
    m_label.paint(painter, palette());
    // The focus cue sits inside the edges, so neither the raised nor the pressed look changes
    // under it. Like other widgets it shows once the keyboard is in use (the style decides).
    if (parentWidget() && parentWidget()->hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.state |= QStyle::State_HasFocus;
        option.rect = rect().adjusted(2, 2, -2, -2);
        option.backgroundColor = SystemColor::resolve(m_backColor, palette());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void LumetSurface::resizeEvent(QResizeEvent*) {
    // The retained drawing survives a resize where it still fits.
    QImage resized = blankImage(size());
    QPainter painter(&resized);
    painter.drawImage(0, 0, m_image);
    painter.end();
    m_image = resized;
}

void LumetSurface::mousePressEvent(QMouseEvent* event) {
    const QPointF at = partPosition(event->position());
    emit pointerPressed(buttonBits(event->button()), shiftBits(event->modifiers()), float(at.x()),
                        float(at.y()));
}

void LumetSurface::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = partPosition(event->position());
    emit pointerMoved(buttonBits(event->buttons()), shiftBits(event->modifiers()), float(at.x()),
                      float(at.y()));
}

void LumetSurface::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF at = partPosition(event->position());
    emit pointerReleased(buttonBits(event->button()), shiftBits(event->modifiers()), float(at.x()),
                         float(at.y()));
}

void LumetSurface::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is not a press: the release that follows it is
    // what raises the second click.
    event->accept();
}

QImage LumetSurface::blankImage(const QSize& size) const {
    const qreal ratio = devicePixelRatioF();
    QImage image(size.expandedTo(QSize(1, 1)) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(SystemColor::resolve(m_backColor, palette()));
    return image;
}

QPointF LumetSurface::partPosition(const QPointF& surfacePosition) const {
    const QRect caption = m_label.pixelRect();
    if (caption.contains(surfacePosition.toPoint()))
        return surfacePosition - m_label.geometry().topLeft();
    return surfacePosition;
}
