#include "support/mainwindowfixture.h"

#include "logic/programstate.h"
#include "support/controlregistration.h"

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
    return true;
}

void MainWindowFixture::close() {
    window.reset();
    boxes.reset();
}
