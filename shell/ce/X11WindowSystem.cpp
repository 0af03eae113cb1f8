#include "shell/ce/X11WindowSystem.h"

#include "shell/DebugOutput.h"

#include <EGL/eglext.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Requests about windows race the window manager (focus on a window it has
// not mapped yet, a window it already destroyed). Such a request may fail
// without ending the program, which is what Xlib's default handler would do.
int IgnoreXError(Display*, XErrorEvent*)
{
    return 0;
}

Bool IsForWindow(Display*, XEvent* event, XPointer window)
{
    return event->xany.window == *reinterpret_cast<Window*>(window) ? True : False;
}

// The protocol carries positions in 16 signed bits and sizes in 16 unsigned
// bits, and servers make windows of 1 to 32767 pixels. A value outside is
// held at the nearest limit: cut to 16 bits instead, a size could become 0,
// the window would never be made, and the driver fails on the surface of a
// window that does not exist.
int Coordinate(int32_t position)
{
    return std::clamp<int32_t>(position, -32768, 32767);
}

unsigned Dimension(int32_t size)
{
    return static_cast<unsigned>(std::clamp<int32_t>(size, 1, 32767));
}

// Sizes in a one-line message of the backend's own.
void ReportHeldSize(unsigned width, unsigned height, int32_t maxWidth, int32_t maxHeight)
{
    char text[160];
    std::snprintf(text, sizeof text, "Window size %u x %u is larger than the driver renders; held at %d x %d\n", width,
                  height, std::min<int32_t>(static_cast<int32_t>(width), maxWidth),
                  std::min<int32_t>(static_cast<int32_t>(height), maxHeight));
    std::u16string wide(text, text + std::strlen(text));
    TrellisDebugOutput(wide.c_str());
}

// Window titles are ASCII here; other characters become '?'.
std::string NarrowTitle(const char16_t* title)
{
    std::string narrow;
    for (; *title != 0; ++title) {
        narrow.push_back(*title < 0x80 ? static_cast<char>(*title) : '?');
    }
    return narrow;
}

bool TranslateEvent(const XEvent& event, Atom wmProtocols, Atom wmDeleteWindow, WindowMessage& message)
{
    switch (event.type) {
    case Expose:
        message.message = WM_PAINT;
        return event.xexpose.count == 0;
    case ClientMessage:
        message.message = WM_CLOSE;
        return event.xclient.message_type == wmProtocols &&
               static_cast<Atom>(event.xclient.data.l[0]) == wmDeleteWindow;
    case ButtonPress:
        message.message = WM_LBUTTONDOWN;
        message.lParam = (event.xbutton.x & 0xFFFF) | ((event.xbutton.y & 0xFFFF) << 16);
        return event.xbutton.button == Button1;
    case FocusOut:
        // Only a real change of focus, not a grab or the pointer moving within.
        message.message = WM_KILLFOCUS;
        return event.xfocus.mode == NotifyNormal && event.xfocus.detail != NotifyInferior &&
               event.xfocus.detail != NotifyPointer;
    case KeyPress: {
        XKeyEvent key = event.xkey;
        message.message = WM_KEYDOWN;
        message.wParam = VK_ESCAPE;
        return XLookupKeysym(&key, 0) == XK_Escape;
    }
    case DestroyNotify:
        // Destroyed by another client: the same end as the shell's own DestroyWindow.
        message.message = WM_DESTROY;
        return event.xdestroywindow.window == event.xany.window;
    case ConfigureNotify:
        message.message = WM_SIZE;
        message.lParam = (event.xconfigure.width & 0xFFFF) | ((event.xconfigure.height & 0xFFFF) << 16);
        return true;
    default:
        return false;
    }
}

} // namespace

std::unique_ptr<X11WindowSystem> X11WindowSystem::Open(const char* displayName)
{
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) {
        return nullptr;
    }
    XSetErrorHandler(IgnoreXError);
    return std::unique_ptr<X11WindowSystem>(new X11WindowSystem(display));
}

X11WindowSystem::X11WindowSystem(Display* connection)
    : display(connection),
      wmProtocols(XInternAtom(connection, "WM_PROTOCOLS", False)),
      wmDeleteWindow(XInternAtom(connection, "WM_DELETE_WINDOW", False)),
      netWmState(XInternAtom(connection, "_NET_WM_STATE", False)),
      netWmStateFullscreen(XInternAtom(connection, "_NET_WM_STATE_FULLSCREEN", False)),
      netWmStateAbove(XInternAtom(connection, "_NET_WM_STATE_ABOVE", False)),
      motifWmHints(XInternAtom(connection, "_MOTIF_WM_HINTS", False)),
      netActiveWindow(XInternAtom(connection, "_NET_ACTIVE_WINDOW", False)),
      netWmPid(XInternAtom(connection, "_NET_WM_PID", False))
{
}

X11WindowSystem::~X11WindowSystem()
{
    for (const auto& entry : nativeWindows) {
        if (entry.second != 0) {
            XDestroyWindow(display, entry.second);
        }
    }
    XCloseDisplay(display);
}

unsigned long X11WindowSystem::NativeWindow(WindowHandle window) const
{
    const auto found = nativeWindows.find(window);
    return found == nativeWindows.end() ? 0 : found->second;
}

bool X11WindowSystem::OpenNativeWindow(WindowHandle window, const WindowRecord& record, const char16_t* title)
{
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;  // the rendering surface paints the whole client area
    attributes.event_mask = ExposureMask | ButtonPressMask | KeyPressMask | FocusChangeMask | StructureNotifyMask;
    const Rect& rect = record.rect;
    const Window native =
        XCreateWindow(display, DefaultRootWindow(display), Coordinate(rect.left), Coordinate(rect.top),
                      Dimension(rect.right - rect.left), Dimension(rect.bottom - rect.top), 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    if (native == 0) {
        return false;
    }
    nativeWindows[window] = native;
    Atom deleteWindow = wmDeleteWindow;
    XSetWMProtocols(display, native, &deleteWindow, 1);
    XStoreName(display, native, NarrowTitle(title).c_str());
    // The shell chooses the position of the client area; a window manager
    // should keep it and draw its frame around it.
    XSizeHints hints{};
    hints.flags = PPosition | PSize | PWinGravity;
    hints.win_gravity = StaticGravity;
    XSetWMNormalHints(display, native, &hints);
    if ((record.style & WS_FRAMED) == 0) {
        // A window without a caption has no frame at all: decorations off.
        const long motifHints[5] = {2 /* decorations given */, 0, 0 /* none */, 0, 0};
        XChangeProperty(display, native, motifWmHints, motifWmHints, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(motifHints), 5);
    }
    // Lets a window manager (or a test) tell which process the window belongs to.
    const long pid = getpid();
    XChangeProperty(display, native, netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    if ((record.style & WS_VISIBLE) != 0) {
        XMapWindow(display, native);
    }
    XFlush(display);
    return true;
}

void X11WindowSystem::PlaceNativeWindow(WindowHandle window, const WindowRecord& record)
{
    const Rect& rect = record.rect;
    XMoveResizeWindow(display, NativeWindow(window), Coordinate(rect.left), Coordinate(rect.top),
                      Dimension(rect.right - rect.left), Dimension(rect.bottom - rect.top));
    XFlush(display);
}

void X11WindowSystem::SendToRoot(unsigned long window, unsigned long type, long data0, long data1, long data2,
                                 long data3)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = data0;
    event.xclient.data.l[1] = data1;
    event.xclient.data.l[2] = data2;
    event.xclient.data.l[3] = data3;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void X11WindowSystem::RaiseNativeWindow(WindowHandle window)
{
    const Window native = NativeWindow(window);
    XRaiseWindow(display, native);
    // A window manager activates on request; without one, focus is set directly.
    SendToRoot(native, netActiveWindow, 1, CurrentTime, 0, 0);
    XSetInputFocus(display, native, RevertToParent, CurrentTime);
    XFlush(display);
}

void X11WindowSystem::ShowNativeWindow(WindowHandle window, bool visible)
{
    if (visible) {
        XMapWindow(display, NativeWindow(window));
    } else {
        XUnmapWindow(display, NativeWindow(window));
    }
    XFlush(display);
}

void X11WindowSystem::CloseNativeWindow(WindowHandle window)
{
    // One that another client destroyed is already gone.
    if (NativeWindow(window) != 0) {
        XDestroyWindow(display, NativeWindow(window));
    }
    nativeWindows.erase(window);
    XFlush(display);
}

void X11WindowSystem::UpdateWindow(WindowHandle)
{
    XFlush(display);
}

// A window manager makes a full-screen window span the monitor whatever its
// size, so only one that spans it already is made full screen there. A
// smaller one (the quarter-size surface and its cover) stays at the
// rectangle the shell gave it, kept above other windows instead.
void X11WindowSystem::FullScreen(WindowHandle window, uint32_t)
{
    constexpr long kAdd = 1;
    constexpr long kFromApplication = 1;
    const Rect rect = GetWindowRect(window);
    const Rect monitor = GetMonitorRect(window);
    const bool spans = rect.left <= monitor.left && rect.top <= monitor.top && rect.right >= monitor.right &&
                       rect.bottom >= monitor.bottom;
    const Atom state = spans ? netWmStateFullscreen : netWmStateAbove;
    SendToRoot(NativeWindow(window), netWmState, kAdd, static_cast<long>(state), 0, kFromApplication);
    XFlush(display);
}

void X11WindowSystem::LimitClientSize(WindowHandle window, int32_t maxWidth, int32_t maxHeight)
{
    const Window native = NativeWindow(window);
    if (native == 0) {
        return;
    }
    sizeLimits[window] = {maxWidth, maxHeight};
    XSizeHints hints{};
    hints.flags = PPosition | PSize | PWinGravity | PMaxSize;
    hints.win_gravity = StaticGravity;
    hints.max_width = static_cast<int>(Dimension(maxWidth));
    hints.max_height = static_cast<int>(Dimension(maxHeight));
    XSetWMNormalHints(display, native, &hints);
    XFlush(display);
}

Rect X11WindowSystem::GetMonitorRect(WindowHandle)
{
    const int screen = DefaultScreen(display);
    return Rect{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
}

bool X11WindowSystem::PollNativeMessage(WindowHandle window, WindowMessage& message)
{
    Window native = NativeWindow(window);
    XEvent event;
    while (XCheckIfEvent(display, &event, IsForWindow, reinterpret_cast<XPointer>(&native))) {
        message = WindowMessage{window, 0, 0, 0};
        if (TranslateEvent(event, wmProtocols, wmDeleteWindow, message)) {
            if (message.message == WM_DESTROY) {
                nativeWindows[window] = 0;
            }
            if (event.type == ConfigureNotify) {
                HoldWithinLimit(window, event.xconfigure.width, event.xconfigure.height);
            }
            return true;
        }
    }
    return false;
}

// Another client (or a window manager that ignores the hints) made the window
// larger than its surface can be: it is made smaller again before the next
// frame is drawn.
void X11WindowSystem::HoldWithinLimit(WindowHandle window, int width, int height)
{
    const auto limit = sizeLimits.find(window);
    if (limit == sizeLimits.end() || (width <= limit->second.first && height <= limit->second.second)) {
        return;
    }
    // The event may be an old one, from before the shell held the size itself.
    XWindowAttributes now{};
    if (XGetWindowAttributes(display, NativeWindow(window), &now) == 0 ||
        (now.width <= limit->second.first && now.height <= limit->second.second)) {
        return;
    }
    width = now.width;
    height = now.height;
    ReportHeldSize(static_cast<unsigned>(width), static_cast<unsigned>(height), limit->second.first,
                   limit->second.second);
    XResizeWindow(display, NativeWindow(window), Dimension(std::min(width, limit->second.first)),
                  Dimension(std::min(height, limit->second.second)));
    XSync(display, False);
}

EGLDisplay X11WindowSystem::GetEGLDisplay(DeviceContext)
{
    // Asked for by platform, so that EGL_PLATFORM in the environment cannot
    // turn the X connection into some other kind of display.
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay != nullptr) {
        return getPlatformDisplay(EGL_PLATFORM_X11_EXT, display, nullptr);
    }
    return eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(display));
}

void X11WindowSystem::GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes)
{
    FillEGLConfigAttributes(EGL_WINDOW_BIT, fsaaMode, attributes);
}

EGLSurface X11WindowSystem::CreateEGLSurface(EGLDisplay eglDisplay, EGLConfig config, WindowHandle window)
{
    const Window native = NativeWindow(window);
    if (native == 0) {
        return EGL_NO_SURFACE;
    }
    return eglCreateWindowSurface(eglDisplay, config, static_cast<EGLNativeWindowType>(native), nullptr);
}

std::string X11WindowSystem::Describe() const
{
    return std::string("X11 display ") + DisplayString(display);
}
