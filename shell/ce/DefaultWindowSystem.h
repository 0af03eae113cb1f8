#pragma once
#include <memory>

#include "shell/WindowSystem.h"

// The window system a program runs on: X11 when a display opens, headless
// otherwise. TRELLIS_PLATFORM=x11 insists on X11 (null, after a message on the
// debug output, when no display opens); TRELLIS_PLATFORM=headless never tries X11.
std::unique_ptr<WindowSystem> OpenDefaultWindowSystem();
