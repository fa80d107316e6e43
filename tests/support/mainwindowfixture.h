#pragma once
// What every window suite sets up around the program's main window: the control library in a
// registry of the suite's own, the program's shared texts reset, every message and input box
// recorded and answered, and a loaded main window. Suites hold one and call its three steps
// from initTestCase, init and cleanup.

#include "main/tarvellmain.h"
#include "support/messagerecorder.h"

#include <QString>

#include <memory>

class MainWindowFixture {
public:
    // For initTestCase.
    static bool registerControls(QString* error);
    // For init: false, with the reasons, when a control of the window could not be created.
    bool open(QString* error);
    // For cleanup: the window goes first, while the recorder can still answer its boxes.
    void close();

    std::unique_ptr<TarvellMain> window;
    std::unique_ptr<MessageRecorder> boxes;
};
