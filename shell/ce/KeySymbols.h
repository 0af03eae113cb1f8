#pragma once
#include <cstdint>

#include "shell/TrellisEvent.h"

namespace trellis {

// X11 and xkbcommon number key symbols alike, so both backends map them here.

// The portable key of a key symbol (the unshifted one), Unknown for the rest.
TrellisKey KeyOfSymbol(uint32_t symbol);

// The virtual-key code the window procedure sees with WM_KEYDOWN; it tests
// for Escape only.
uintptr_t VirtualKeyOf(TrellisKey key);

} // namespace trellis
