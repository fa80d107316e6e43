#include "support/mainwindowfixture.h"

#include "logic/programstate.h"
#include "support/controlregistration.h"

#include <QTest>

bool MainWindowFixture::registerControls(QString* error) {
    return registerControlLibraryForTests(error);
}

bool MainWindowFixture::open(QString* error) {
    Program::reset();
    boxes = std::make_unique<MessageRecorder>();
    window = std::make_unique<TarvellMain>();
    if (!window->loadErrors().isEmpty()) {
        if (error)
            *error = window->loadErrors().join(QLatin1Char('\n'));
        return false;
    }
    window->load();
    // The title grows from the event loop; a window is open once it stands whole.
    return QTest::qWaitFor(
        [this] { return window->windowTitle() == QLatin1String(TarvellMain::Title); }, 10000);
}

void MainWindowFixture::close() {
    window.reset();
    boxes.reset();
}
