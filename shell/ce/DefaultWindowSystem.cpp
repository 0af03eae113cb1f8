#include "shell/ce/DefaultWindowSystem.h"

#include <cstdlib>
#include <cstring>

#include "shell/DebugOutput.h"
#include "shell/ce/HeadlessWindowSystem.h"
#include "shell/ce/WaylandWindowSystem.h"
#include "shell/ce/X11WindowSystem.h"

std::unique_ptr<WindowSystem> OpenDefaultWindowSystem()
{
    const char* choice = std::getenv("TRELLIS_PLATFORM");
    const bool headless = choice != nullptr && std::strcmp(choice, "headless") == 0;
    const bool x11 = choice != nullptr && std::strcmp(choice, "x11") == 0;
    const bool wayland = choice != nullptr && std::strcmp(choice, "wayland") == 0;
    if (wayland || (!headless && !x11 && std::getenv("WAYLAND_DISPLAY") != nullptr)) {
        if (std::unique_ptr<WindowSystem> compositor = WaylandWindowSystem::Open(nullptr)) {
            return compositor;
        }
        if (wayland) {
            TrellisDebugOutput(u"TRELLIS_PLATFORM=wayland: no Wayland compositor could be reached\n");
            return nullptr;
        }
    }
    if (!headless) {
        if (std::unique_ptr<WindowSystem> display = X11WindowSystem::Open(nullptr)) {
            return display;
        }
        if (x11) {
            TrellisDebugOutput(u"TRELLIS_PLATFORM=x11: no X display could be opened\n");
            return nullptr;
        }
    }
    return std::make_unique<HeadlessWindowSystem>();
}
