#pragma once
#include <memory>
#include <string>

#include "shell/ce/WindowSystem.h"

namespace trellis {

// The window system a program runs on. TRELLIS_PLATFORM names one; without it
// the backends that have a display variable are tried in their order, each
// only when its variable is set, and the first is taken; with none of those
// variables set the run is headless and says so in one line on the debug
// output. An unknown name, or a display that is named (by its variable, or
// insisted on through TRELLIS_PLATFORM) but does not open, is an error: null,
// after one line that says why. A set but empty variable counts as unset.
std::unique_ptr<WindowSystem> OpenDefaultWindowSystem();

// The names TRELLIS_PLATFORM takes, in the order they are tried: "wayland, x11, headless".
std::string WindowSystemNames();

// One line for the usage text: what TRELLIS_PLATFORM takes and what happens without it.
std::string WindowSystemUsage();

} // namespace trellis
