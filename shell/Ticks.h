#pragma once
#include <cstdint>

// The platform's millisecond tick counter: a monotonic clock, wrapping at 2^32.
uint32_t TrellisTickCount();
