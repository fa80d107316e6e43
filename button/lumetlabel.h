#pragma once
#include <QFont>
#include <QRectF>
#include <QString>

#include <cstdint>

class QPainter;
class QPalette;

// The caption label. It has no window of its own: the drawing surface paints it over its
// retained image, so the pointer over the caption is the pointer over the surface.
class LumetLabel {
public:
    QString text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }
    std::uint32_t color() const { return m_color; }
    void setColor(std::uint32_t color) { m_color = color; }
    QFont font() const { return m_font; }
    void setFont(const QFont& font) { m_font = font; }
    // Fractional, as laid out; pixelRect() is where it lands on the surface.
    QRectF geometry() const { return m_geometry; }
    void setGeometry(const QRectF& geometry) { m_geometry = geometry; }
    QRect pixelRect() const;

    void paint(QPainter& painter, const QPalette& palette) const;

private:
    QString m_text = QStringLiteral("Click Me");
    std::uint32_t m_color = 0x80000012u; // button text
    QFont m_font;
    QRectF m_geometry;
};
