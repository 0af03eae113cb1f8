#pragma once
// What the Wayland backend's own files share and nothing outside them needs.
// The backend is split by what the compositor's events concern:
// WaylandBackend.cpp the connection, its globals, the output, EGL and frame
// pacing; WaylandInput.cpp the seat, keyboard, pointer and cursor;
// WaylandWindows.cpp the surfaces, toplevels and their configures.
#include <wayland-client.h>

#include <string>

#include "shell/ce/EventQueue.h"
#include "shell/ce/WaylandBackend.h"

struct wl_egl_window;
struct libdecor_frame;
struct xdg_surface;
struct xdg_toplevel;
struct zxdg_toplevel_decoration_v1;
struct wl_cursor_theme;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace trellis {

// The state of one window on the compositor.
struct WaylandBackend::NativeWindow {
    WaylandBackend* owner = nullptr;
    WindowHandle handle = kNoWindow;
    std::string title;  // UTF-8
    bool fullScreenRequested = false;
    bool keepsOwnSize = false;  // full screen at a size of its own (the quarter-size surface)
    wl_surface* surface = nullptr;
    xdg_surface* shellSurface = nullptr;
    xdg_toplevel* toplevel = nullptr;
    zxdg_toplevel_decoration_v1* decoration = nullptr;
    libdecor_frame* frame = nullptr;  // a frame libdecor draws, which owns the toplevel
    wl_egl_window* eglWindow = nullptr;
    EGLSurface eglSurface = EGL_NO_SURFACE;
    bool swapsUnpaced = false;          // EGL's own wait for the compositor is off
    wl_callback* frameRequest = nullptr;  // the compositor's call for the next frame, awaited
    bool configured = false;
    int32_t clientWidth = 0;  // the client area the shell sees, in buffer pixels
    int32_t clientHeight = 0;
    int32_t scale = 1;  // buffer pixels to a surface unit
    bool onOutput = false;  // the compositor shows the surface on the output
    int32_t width = 0;  // the surface's size, in surface units
    int32_t height = 0;
    int32_t pendingWidth = 0;  // the size of the last configure; 0 = the client chooses
    int32_t pendingHeight = 0;
    bool pendingFixed = false;  // the last configure holds the window at its size
    int32_t floatingWidth = 0;  // the size outside full screen and maximized, to come back to
    int32_t floatingHeight = 0;
    int32_t maxWidth = 0;  // the largest size the buffer may take; 0 = no limit
    int32_t maxHeight = 0;
};

// The seat, its keyboard and pointer, and what they have told.
struct WaylandBackend::Devices {
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    wl_shm* shm = nullptr;
    wl_cursor_theme* cursorTheme = nullptr;  // loaded at the first enter
    wl_surface* pointerImage = nullptr;
    bool pointerHidden = false;  // the application hid the pointer over its windows
    uint32_t pointerSerial = 0;  // the latest enter's, which a new pointer image needs

    xkb_context* xkbContext = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* keyState = nullptr;

    wl_surface* pointerSurface = nullptr;
    double pointerX = 0;  // in surface units
    double pointerY = 0;
    wl_surface* keyboardSurface = nullptr;
    KeyRepeat keyRepeat;  // of XKB key codes, on the tick count
    int32_t pendingSteps[2] = {0, 0};  // discrete steps of each axis, for the value that follows
};

// The backend's own listeners take the backend as their data.
inline WaylandBackend* Owner(void* data)
{
    return static_cast<WaylandBackend*>(data);
}

// The seat is bound with the other globals but listened to with the input it brings.
extern const wl_seat_listener kSeatListener;

} // namespace trellis
