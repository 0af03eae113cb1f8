#pragma once
#include <cstdint>

namespace trellis {

// The platform's millisecond tick counter: a monotonic clock, wrapping at 2^32.
uint32_t TrellisTickCount();

// Nanoseconds of the same monotonic clock, from an arbitrary start.
uint64_t TrellisMonotonicNanoseconds();

} // namespace trellis
