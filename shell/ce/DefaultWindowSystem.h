#pragma once
#include <memory>

#include "shell/WindowSystem.h"

// The window system a program runs on: Wayland when WAYLAND_DISPLAY connects,
// else X11 when a display opens, else headless. TRELLIS_PLATFORM=wayland or
// =x11 insists on that one (null, after a message on the debug output, when it
// cannot be reached); TRELLIS_PLATFORM=headless tries neither.
std::unique_ptr<WindowSystem> OpenDefaultWindowSystem();
