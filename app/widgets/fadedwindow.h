#pragma once
// A window whose background is a retained picture: the fade is painted into it once while the
// window loads and every later repaint (after being covered and uncovered) shows it unchanged.

#include <QPixmap>
#include <QWidget>

class FadedWindow : public QWidget {
    Q_OBJECT
public:
    explicit FadedWindow(QWidget* parent = nullptr);

    // Paints the background fade into the retained picture.
    void fadeform();
    const QPixmap& background() const { return m_background; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_background;
};
