#include "systemticks.h"

SystemTicks& SystemTicks::instance() {
    static SystemTicks ticks;
    return ticks;
}

SystemTicks::SystemTicks() {
    m_clock.start();
}

std::uint32_t SystemTicks::tickCount() {
    return std::uint32_t(m_clock.elapsed());
}
