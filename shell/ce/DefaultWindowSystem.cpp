#include "shell/ce/DefaultWindowSystem.h"

#include <cstdlib>
#include <cstring>

#include "shell/DebugOutput.h"
#include "shell/ce/HeadlessBackend.h"
#if TRELLIS_HAVE_WAYLAND
#include "shell/ce/WaylandBackend.h"
#endif
#if TRELLIS_HAVE_X11
#include "shell/ce/X11Backend.h"
#endif

namespace trellis {

namespace {

// One window system the environment can choose. A backend is one entry here.
struct Backend {
    const char* name;             // its TRELLIS_PLATFORM value
    const char* displayVariable;  // the variable naming its display; null: needs none
    const char* displayKind;      // for messages: "X display"
    // The variable naming a connection the parent process made and handed
    // down, which takes the place of the display variable; null: none.
    const char* handedDownVariable;
    // Null when the display `display` (never null for a backend with a
    // display variable) does not open.
    std::unique_ptr<WindowBackend> (*open)(const char* display);
};

template <typename Kind>
std::unique_ptr<WindowBackend> Open(const char* display)
{
    return Kind::Open(display);
}

std::unique_ptr<WindowBackend> OpenHeadless(const char*)
{
    return std::make_unique<HeadlessBackend>();
}

// The window systems compiled in, in the order they are tried; the last, with
// no display variable, is the fallback when no display variable is set.
constexpr Backend kBackends[] = {
#if TRELLIS_HAVE_WAYLAND
    {"wayland", "WAYLAND_DISPLAY", "Wayland display", "WAYLAND_SOCKET", Open<WaylandBackend>},
#endif
#if TRELLIS_HAVE_X11
    {"x11", "DISPLAY", "X display", nullptr, Open<X11Backend>},
#endif
    {"headless", nullptr, nullptr, nullptr, OpenHeadless},
};

const char* Variable(const char* name)
{
    const char* value = name != nullptr ? std::getenv(name) : nullptr;
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// Opens the display that `display` names; `prefix` and `advice` frame the
// message when it does not open.
std::unique_ptr<WindowBackend> OpenNamed(const Backend& backend, const char* display, const std::string& prefix,
                                        const std::string& advice)
{
    std::unique_ptr<WindowBackend> system = backend.open(display);
    if (!system) {
        TrellisDebugOutputUtf8(prefix + "cannot open the " + backend.displayKind + " \"" + display +
                               "\" named by " + backend.displayVariable + advice + "\n");
    }
    return system;
}

// The connection a parent handed down (WAYLAND_SOCKET), which the backend
// opens by itself when it is given no display name.
std::unique_ptr<WindowBackend> OpenHandedDown(const Backend& backend, const char* connection,
                                             const std::string& prefix, const std::string& advice)
{
    std::unique_ptr<WindowBackend> system = backend.open(nullptr);
    if (!system) {
        TrellisDebugOutputUtf8(prefix + "cannot use the " + backend.displayKind + " connection \"" + connection +
                               "\" handed down in " + backend.handedDownVariable + advice + "\n");
    }
    return system;
}

} // namespace

std::string WindowSystemNames()
{
    std::string names;
    for (const Backend& backend : kBackends) {
        names += (names.empty() ? "" : ", ") + std::string(backend.name);
    }
    return names;
}

std::string WindowSystemUsage()
{
    std::string order;
    for (const Backend& backend : kBackends) {
        order += backend.name;
        if (backend.handedDownVariable != nullptr) {
            order += std::string(" when ") + backend.handedDownVariable + " or " + backend.displayVariable +
                     " is set, else ";
        } else if (backend.displayVariable != nullptr) {
            order += std::string(" when ") + backend.displayVariable + " is set, else ";
        }
    }
    return "TRELLIS_PLATFORM chooses the window system (" + WindowSystemNames() + "); without it: " + order + ".\n";
}

namespace {

std::unique_ptr<WindowBackend> OpenDefaultBackend()
{
    if (const char* choice = Variable("TRELLIS_PLATFORM")) {
        for (const Backend& backend : kBackends) {
            if (std::strcmp(choice, backend.name) != 0) {
                continue;
            }
            const std::string why = std::string("TRELLIS_PLATFORM=") + choice;
            if (backend.displayVariable == nullptr) {
                return backend.open(nullptr);
            }
            if (const char* connection = Variable(backend.handedDownVariable)) {
                return OpenHandedDown(backend, connection, why + ": ", "");
            }
            if (const char* display = Variable(backend.displayVariable)) {
                return OpenNamed(backend, display, why + ": ", "");
            }
            TrellisDebugOutputUtf8(why + ": no " + backend.displayKind + " (" + backend.displayVariable +
                                   " is not set)\n");
            return nullptr;
        }
        TrellisDebugOutputUtf8(std::string("TRELLIS_PLATFORM=") + choice +
                               " names no window system; use one of: " + WindowSystemNames() + "\n");
        return nullptr;
    }

    std::string unset;
    for (const Backend& backend : kBackends) {
        if (backend.displayVariable == nullptr) {
            continue;
        }
        const std::string advice = "; unset it or set TRELLIS_PLATFORM=headless to run without a display";
        if (const char* connection = Variable(backend.handedDownVariable)) {
            return OpenHandedDown(backend, connection, "", advice);
        }
        if (const char* display = Variable(backend.displayVariable)) {
            return OpenNamed(backend, display, "", advice);
        }
        unset += (unset.empty() ? "" : ", ") + std::string(backend.displayVariable);
    }
    for (const Backend& backend : kBackends) {
        if (backend.displayVariable == nullptr) {
            TrellisDebugOutputUtf8("no display (" + unset + " not set): running " + backend.name + "\n");
            return backend.open(nullptr);
        }
    }
    return nullptr;
}

} // namespace

std::unique_ptr<WindowSystem> OpenDefaultWindowSystem()
{
    std::unique_ptr<WindowBackend> backend = OpenDefaultBackend();
    return backend ? std::make_unique<WindowSystem>(std::move(backend)) : nullptr;
}

} // namespace trellis
