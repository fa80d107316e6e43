#include "forms/screencentre.h"

#include "forms/formloader.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

void centreByOuterSize(QWidget* window) {
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
    // move() places the frame's top left corner.
    window->move(screenArea.left() + qRound(left / twipsPerPixel),
                 screenArea.top() + qRound(top / twipsPerPixel));
}

// Waits for the frame a window manager puts around the window once it shows, centres the window
// by it once, and goes. A window without a frame is left where it was centred.
class CentreWhenFramed : public QObject {
public:
    static constexpr const char* Name = "centreWhenFramed";

    explicit CentreWhenFramed(QWidget* window)
        : QObject(window) {
        setObjectName(QLatin1String(Name));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWidget*>(watched);
        const bool placed = event->type() == QEvent::Show || event->type() == QEvent::Move ||
                            event->type() == QEvent::Resize;
        if (placed && window->isVisible() && window->frameGeometry().size() != window->size()) {
            window->removeEventFilter(this);
            deleteLater();
            centreByOuterSize(window);
        }
        return false;
    }
};

} // namespace

void centreOnScreen(QWidget* window) {
    centreByOuterSize(window);
    if (!window->isVisible() && !window->findChild<QObject*>(QLatin1String(CentreWhenFramed::Name),
                                                             Qt::FindDirectChildrenOnly))
        new CentreWhenFramed(window);
}
