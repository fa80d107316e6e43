#pragma once
#include "lumet/ticksource.h"

#include <QElapsedTimer>

// Milliseconds on a monotonic clock, cut to 32 bits like the system tick count.
class SystemTicks : public lumet::TickSource {
public:
    static SystemTicks& instance();
    std::uint32_t tickCount() override;

private:
    SystemTicks();
    QElapsedTimer m_clock;
};
