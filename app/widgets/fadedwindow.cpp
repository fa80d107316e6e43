#include "widgets/fadedwindow.h"

#include "widgets/backgroundfade.h"

#include <QPaintEvent>
#include <QPainter>

FadedWindow::FadedWindow(QWidget* parent)
    : QWidget(parent) {}

void FadedWindow::fadeform() {
    const qreal ratio = devicePixelRatioF();
    m_background = QPixmap(size() * ratio);
    m_background.setDevicePixelRatio(ratio);
    // Where the last band stops short of the right edge, the plain window face shows.
    m_background.fill(palette().color(QPalette::Window));
    paintFade(m_background);
    update();
}

void FadedWindow::paintEvent(QPaintEvent* event) {
    if (m_background.isNull()) {
        QWidget::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(event->rect(), m_background,
                       QRectF(event->rect().topLeft() * m_background.devicePixelRatio(),
                              event->rect().size() * m_background.devicePixelRatio()));
}
