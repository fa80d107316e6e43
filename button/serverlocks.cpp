#include "serverlocks.h"

#include <atomic>

namespace {
std::atomic<int> g_controls{0};
std::atomic<int> g_locks{0};
} // namespace

void ServerLocks::controlCreated() {
    ++g_controls;
}

void ServerLocks::controlDestroyed() {
    --g_controls;
}

void ServerLocks::lock() {
    ++g_locks;
}

void ServerLocks::unlock() {
    // An unbalanced unlock must not turn the count negative and so allow an unload later
    // while a real lock is still held.
    int current = g_locks.load();
    while (current > 0 && !g_locks.compare_exchange_weak(current, current - 1)) {
    }
}

int ServerLocks::liveControls() {
    return g_controls.load();
}

bool ServerLocks::canUnload() {
    return g_controls.load() == 0 && g_locks.load() == 0;
}
