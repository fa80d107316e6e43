#include "platform/screencentre.h"

#include "platform/formloader.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void centreOnScreen(QWidget* window) {
    constexpr int twipsPerPixel = FormLoader::TwipsPerPixel;
    const QScreen* display = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!display)
        return;
    const QRect screenArea = display->geometry();
    const QSize outer = window->frameGeometry().size();
    const float top = static_cast<float>(screenArea.height() * twipsPerPixel) / 2 -
                      static_cast<float>(outer.height() * twipsPerPixel) / 2;
    const float left = static_cast<float>(screenArea.width() * twipsPerPixel) / 2 -
                       static_cast<float>(outer.width() * twipsPerPixel) / 2;
    window->move(screenArea.left() + qRound(left / twipsPerPixel),
                 screenArea.top() + qRound(top / twipsPerPixel));
}
