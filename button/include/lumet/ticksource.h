#pragma once
#include <cstdint>

namespace lumet {

// A millisecond counter that wraps at 32 bits, like the system tick count; waits measure
// elapsed time modulo 2^32 so that the wrap does not disturb them.
class TickSource {
public:
    virtual ~TickSource() = default;
    virtual std::uint32_t tickCount() = 0;
};

} // namespace lumet
