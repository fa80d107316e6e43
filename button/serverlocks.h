#pragma once

// Counts what keeps the library in use: live controls and class-object locks. A host may
// unload the library only when both are zero, or it would pull code out from under a control.
class ServerLocks {
public:
    static void controlCreated();
    static void controlDestroyed();
    static void lock();
    static void unlock();
    static int liveControls();
    static bool canUnload();
};
