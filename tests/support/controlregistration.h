#pragma once
#include <QString>

// Registers the freshly built control library in a class registry of the test process's own
// (a temporary file that lives as long as the process), so window suites can create their
// buttons by class name without touching the user's registry. Call it from initTestCase.
bool registerControlLibraryForTests(QString* error = nullptr);

// The registry file and the control library the call above uses.
QString testRegistryPath();
QString controlLibraryPath();
