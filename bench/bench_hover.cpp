// Hovering costs nothing while the pointer rests. Nine program buttons are hovered once; then
// the pointer either moves across all of them all the time (the baseline: each poll finds a
// change and draws), rests on one button, or rests away from every button (goal: no poll and
// no pointer query at all). Printed per phase: polls, pointer queries per poll, drawings into
// the buttons' retained images and repaints, and the resting phases as a ratio of the moving
// one.
//
//   build/release/bin/bench_hover                       figures
//   build/release/bin/bench_hover --grab docs/lumet-states.png
//                                                        picture of plain, hovered, pressed

#include "forms/controlhost.h"
#include "forms/propertyrecord.h"
#include "lumet/lumetdiagnostics.h"
#include "lumet/pointerprobe.h"
#include "support/controlregistration.h"
#include "support/programbutton.h"

#include <QApplication>
#include <QEventLoop>
#include <QJsonObject>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kButtons = 9;
constexpr int kPhaseMs = 1000;

// Counts every query; in moving mode the pointer is somewhere else at each tick.
class CountingPointer : public lumet::PointerProbe {
public:
    QPoint cursorPos() override {
        ++positionQueries;
        return {};
    }
    QWidget* windowAt(const QPoint&) override {
        ++windowQueries;
        if (moving)
            resting = resting == surface ? window : surface;
        return resting;
    }
    QWidget* surface = nullptr;
    QWidget* window = nullptr;
    QWidget* resting = nullptr;
    bool moving = false;
    long positionQueries = 0;
    long windowQueries = 0;
};

lumet::LumetDiagnostics* diagnostics(QWidget* control) {
    return qobject_cast<lumet::LumetDiagnostics*>(control);
}

void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Phase {
    long polls = 0;
    long positionQueries = 0;
    long draws = 0;
    long paints = 0;
};

Phase measure(const std::vector<QWidget*>& buttons, std::vector<CountingPointer>& pointers) {
    Phase before;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        before.polls += pointers[i].windowQueries;
        before.positionQueries += pointers[i].positionQueries;
        before.draws += diagnostics(buttons[i])->drawCount();
        before.paints += diagnostics(buttons[i])->paintCount();
    }
    runFor(kPhaseMs);
    Phase after;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        after.polls += pointers[i].windowQueries;
        after.positionQueries += pointers[i].positionQueries;
        after.draws += diagnostics(buttons[i])->drawCount();
        after.paints += diagnostics(buttons[i])->paintCount();
    }
    return {after.polls - before.polls, after.positionQueries - before.positionQueries,
            after.draws - before.draws, after.paints - before.paints};
}

void sendMove(QWidget* surface) {
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), surface->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &move);
}

void print(const char* name, const Phase& phase) {
    std::printf("%-8s polls %6ld  pointer queries %6ld (%.2f per poll)  drawings %6ld  "
                "repaints %6ld\n",
                name, phase.polls, phase.positionQueries,
                phase.polls ? double(phase.positionQueries) / double(phase.polls) : 0.0,
                phase.draws, phase.paints);
}

int grab(const QString& file) {
    QWidget window;
    QFont font("Arial");
    font.setPointSizeF(8.25);
    window.setFont(font);
    window.resize(3 * 97 + 4 * 8, 17 + 16);
    QList<QWidget*> buttons;
    for (int i = 0; i < 3; ++i) {
        QString error;
        QWidget* button = ControlHost::createControl(
            "Lumet1.Lumet", &window, PropertyRecord::fromJson(programButton("Get HTML Source")),
            &error);
        if (!button) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        button->setGeometry(8 + i * (97 + 8), 8, 97, 17);
        buttons << button;
    }
    window.show();
    QMetaObject::invokeMethod(buttons[1], "DrawBorder");
    QMetaObject::invokeMethod(buttons[2], "ButtonClicked");
    QApplication::processEvents();

    // Four times larger, pixel for pixel, so the one-pixel edges can be seen.
    const QImage shot = window.grab().toImage();
    const QImage large =
        shot.scaled(shot.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!large.save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }
    std::printf("wrote %s (plain, hovered, pressed)\n", qPrintable(file));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString error;
    if (!registerControlLibraryForTests(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == "--grab")
        return grab(args.at(2));

    QWidget window;
    window.resize(400, 200);
    std::vector<QWidget*> buttons;
    std::vector<CountingPointer> pointers(kButtons);
    for (int i = 0; i < kButtons; ++i) {
        QWidget* button = ControlHost::createControl(
            "Lumet1.Lumet", &window,
            PropertyRecord::fromJson(programButton(QStringLiteral("Button %1").arg(i + 1))),
            &error);
        if (!button) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        button->setGeometry(8, 8 + i * 20, 97, 17);
        buttons.push_back(button);
    }
    window.show();
    for (int i = 0; i < kButtons; ++i) {
        QWidget* surface = diagnostics(buttons[i])->surface();
        pointers[i].surface = surface;
        pointers[i].window = &window;
        pointers[i].resting = &window;
        diagnostics(buttons[i])->setPointerProbe(&pointers[i]);
        // The first move over a button starts its poll.
        sendMove(surface);
    }
    runFor(100);

    // A pointer sweeping over the buttons moves over each of them all the time.
    QTimer sweep;
    QObject::connect(&sweep, &QTimer::timeout, [&] {
        for (const auto& pointer : pointers)
            sendMove(pointer.surface);
    });
    sweep.start(5);
    for (auto& pointer : pointers)
        pointer.moving = true;
    const Phase moving = measure(buttons, pointers);
    sweep.stop();

    for (auto& pointer : pointers) {
        pointer.moving = false;
        pointer.resting = pointer.window;
    }
    pointers[0].resting = pointers[0].surface;
    sendMove(pointers[0].surface);
    runFor(100);
    const Phase resting = measure(buttons, pointers);

    pointers[0].resting = pointers[0].window;
    runFor(100);
    const Phase away = measure(buttons, pointers);

    std::printf("%d buttons, %d ms per phase\n", kButtons, kPhaseMs);
    print("moving", moving);
    print("on one", resting);
    print("away", away);
    const auto ratio = [](long part, long whole) { return whole ? double(part) / whole : 0.0; };
    std::printf("on one / moving: drawings %.3f, repaints %.3f, polls %.2f\n",
                ratio(resting.draws, moving.draws), ratio(resting.paints, moving.paints),
                ratio(resting.polls, moving.polls));
    std::printf("away: %ld pointer queries per second (goal 0)\n",
                away.positionQueries * 1000 / kPhaseMs);
    return 0;
}
