#pragma once
#include "lumetlabel.h"

#include <QImage>
#include <QWidget>

#include <cstdint>

// The button's drawing surface. What is drawn on it goes into a retained image, so covering
// and uncovering the window shows the same look without the control drawing it again.
class LumetSurface : public QWidget {
    Q_OBJECT

public:
    explicit LumetSurface(QWidget* parent);

    LumetLabel& label() { return m_label; }
    const LumetLabel& label() const { return m_label; }

    std::uint32_t backColor() const { return m_backColor; }
    void setBackColor(std::uint32_t color);
    // Clears every drawing, the retained one included, to the background colour.
    void erase();
    // A one-colour rectangle between two corner pixels, both included, clipped to the surface.
    void fillEdge(int x1, int y1, int x2, int y2, std::uint32_t color);

    QImage grab() const;
    int paintCount() const { return m_paintCount; }

signals:
    // Coordinates are those of the part under the pointer: the caption label's own when the
    // pointer is over the caption, the surface's otherwise.
    void pointerPressed(short button, short shift, float x, float y);
    void pointerMoved(short button, short shift, float x, float y);
    void pointerReleased(short button, short shift, float x, float y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void paintInto(QPainter& painter) const;
    QImage blankImage(const QSize& size) const;
    QPointF partPosition(const QPointF& surfacePosition) const;

    LumetLabel m_label;
    QImage m_image;
    std::uint32_t m_backColor = 0x8000000Fu; // button face
    int m_paintCount = 0;
};
