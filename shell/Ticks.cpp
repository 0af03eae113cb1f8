#include "shell/Ticks.h"

#include <chrono>

namespace trellis {

uint64_t TrellisMonotonicNanoseconds()
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

uint32_t TrellisTickCount()
{
    return static_cast<uint32_t>(TrellisMonotonicNanoseconds() / 1000000u);
}

} // namespace trellis
