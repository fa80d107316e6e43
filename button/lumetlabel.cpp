#include "lumetlabel.h"

#include "systemcolor.h"

#include <QPainter>
#include <QtMath>

QRect LumetLabel::pixelRect() const {
    // Each edge rounds to the nearest pixel; a negative width (a control narrower than its
    // margins) leaves no room for the caption at all.
    const int left = qRound(m_geometry.left());
    const int top = qRound(m_geometry.top());
    const int width = qMax(0, qRound(m_geometry.width()));
    const int height = qMax(0, qRound(m_geometry.height()));
    return {left, top, width, height};
}

void LumetLabel::paint(QPainter& painter, const QPalette& palette) const {
    const QRect rect = pixelRect();
    if (rect.isEmpty() || m_text.isEmpty())
        return;
    painter.save();
    painter.setFont(m_font);
    painter.setPen(SystemColor::resolve(m_color, palette));
    painter.setClipRect(rect);
    // One line, centred across the label and clipped on both sides when it is too long.
    const int textWidth = painter.fontMetrics().horizontalAdvance(m_text);
    const QRect textRect(rect.left() + (rect.width() - textWidth) / 2, rect.top(), textWidth,
                         rect.height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_text);
    painter.restore();
}
