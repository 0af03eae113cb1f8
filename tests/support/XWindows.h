#pragma once
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// Finding a program's top-level window on a real X server, as another client
// (a person's tools, a window manager) sees it, and acting on it as a person.

// The viewable windows titled `title`, of the process `pid` unless that is 0,
// bottom of the stack first: top-level ones and those that a window manager
// has put inside its frames (which have no name of their own).
inline std::vector<Window> FindViewableWindows(Display* display, const char* title, long pid = 0, Window parent = 0,
                                               int depth = 0)
{
    std::vector<Window> found;
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    XQueryTree(display, parent != 0 ? parent : DefaultRootWindow(display), &root, &up, &children, &count);
    for (unsigned i = 0; i < count; ++i) {
        char* name = nullptr;
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long remaining = 0;
        unsigned char* owner = nullptr;
        XWindowAttributes attributes{};
        if (!XFetchName(display, children[i], &name) || name == nullptr) {
            if (depth < 2) {
                const std::vector<Window> inside = FindViewableWindows(display, title, pid, children[i], depth + 1);
                found.insert(found.end(), inside.begin(), inside.end());
            }
            continue;
        }
        const bool owned = pid == 0 || (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL,
                                                           &type, &format, &items, &remaining, &owner) == Success &&
                                        owner != nullptr && items == 1 && *reinterpret_cast<long*>(owner) == pid);
        if (std::strcmp(name, title) == 0 && owned && XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable) {
            found.push_back(children[i]);
        }
        if (owner != nullptr) {
            XFree(owner);
        }
        XFree(name);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

// The first of them; 0 when there is none.
inline Window FindViewableWindow(Display* display, const char* title, long pid = 0)
{
    const std::vector<Window> found = FindViewableWindows(display, title, pid);
    return found.empty() ? 0 : found.front();
}

// The same, once it appears: looked for every 50 ms, 0 after 20 s without it.
inline Window WaitForViewableWindow(Display* display, const char* title, long pid = 0)
{
    for (int attempt = 0; attempt < 400; ++attempt) {
        if (const Window found = FindViewableWindow(display, title, pid)) {
            return found;
        }
        usleep(50000);
    }
    return 0;
}

// Runs xdotool on the X server `display`, "%W" in `arguments` standing for
// `window`; the command's exit status.
inline int RunXdotool(const char* display, Window window, std::string arguments)
{
    for (size_t at = arguments.find("%W"); at != std::string::npos; at = arguments.find("%W")) {
        arguments.replace(at, 2, std::to_string(window));
    }
    return std::system(("DISPLAY=" + std::string(display) + " xdotool " + arguments).c_str());
}
