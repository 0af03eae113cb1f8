#include "shell/ce/X11Backend.h"

#include "shell/DebugOutput.h"
#include "shell/Utf8.h"
#include "shell/ce/KeySymbols.h"

#include <EGL/eglext.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xatom.h>
#include <X11/XKBlib.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace trellis {

namespace {

// Requests about windows race the window manager (focus on a window it has
// not mapped yet, a window it already destroyed). Such a request may fail
// without ending the program, which is what Xlib's default handler would do.
int IgnoreXError(Display*, XErrorEvent*)
{
    return 0;
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

// How long the window manager is given to say how large its frames are, and
// to carry out a resize that brings a window within what the driver renders.
constexpr int kFrameExtentsWaitMs = 500;
constexpr int kResizeWaitMs = 2000;

void ReportHeldSize(unsigned width, unsigned height, int32_t maxWidth, int32_t maxHeight)
{
    char text[160];
    std::snprintf(text, sizeof text, "Window size %u x %u is larger than the driver renders; held at %d x %d\n", width,
                  height, std::min<int32_t>(static_cast<int32_t>(width), maxWidth),
                  std::min<int32_t>(static_cast<int32_t>(height), maxHeight));
    TrellisDebugOutputUtf8(text);
}

// Xlib calls this when the connection breaks and ends the program if it
// returns. Nothing may talk to the server any more: not the windows, and not
// EGL, whose teardown sends requests on the same connection (re-entering here)
// while the driver's threads may still be drawing. So the program only says
// why and ends, skipping exit handlers for the same reason.
int ServerGone(Display* display)
{
    char text[320];
    std::snprintf(text, sizeof text, "The X server of display %.256s has gone away\n", DisplayString(display));
    EndForLostConnection(text);
}

// Xlib's convention: RESOURCE_NAME where set, else the program's name.
const char* ResourceName()
{
    const char* name = std::getenv("RESOURCE_NAME");
    return name != nullptr && *name != 0 ? name : program_invocation_short_name;
}

// WM_NAME is Latin-1; characters beyond it become '?'. Window managers
// that read _NET_WM_NAME show the whole title.
std::string Latin1Title(const char16_t* title)
{
    std::string text;
    for (; *title != 0; ++title) {
        text.push_back(*title < 0x100 ? static_cast<char>(*title) : '?');
    }
    return text;
}




uint32_t ModifiersOf(unsigned state)
{
    return ((state & ShiftMask) != 0 ? kTrellisModShift : 0) | ((state & ControlMask) != 0 ? kTrellisModControl : 0) |
           ((state & Mod1Mask) != 0 ? kTrellisModAlt : 0) | ((state & Mod4Mask) != 0 ? kTrellisModSuper : 0) |
           ((state & LockMask) != 0 ? kTrellisModCapsLock : 0);
}

// The character of a keysym: Latin-1 keysyms are their own code, and
// Unicode keysyms carry theirs below 0x01000000.
uint32_t CharacterOf(KeySym symbol)
{
    if ((symbol >= 0x20 && symbol <= 0x7E) || (symbol >= 0xA0 && symbol <= 0xFF)) {
        return static_cast<uint32_t>(symbol);
    }
    if ((symbol & 0xFF000000) == 0x01000000) {
        return static_cast<uint32_t>(symbol & 0x00FFFFFF);
    }
    return 0;
}

// Text entry takes printable characters; Return, Tab, Backspace and the
// like are keys.
void SetPrintableText(TrellisEvent& event, const char* utf8, size_t length)
{
    SetEventText(event, utf8, length);
    size_t kept = 0;
    for (size_t i = 0; event.text[i] != 0; ++i) {
        const auto byte = static_cast<unsigned char>(event.text[i]);
        if (byte >= 0x20 && byte != 0x7F) {
            event.text[kept++] = event.text[i];
        }
    }
    event.text[kept] = 0;
}

void SetPointer(TrellisEvent& input, TrellisEventKind kind, int x, int y, unsigned state)
{
    input.kind = kind;
    input.x = x;
    input.y = y;
    input.modifiers = ModifiersOf(state);
}

// Only a real change of focus, not a grab or the pointer moving within.
bool IsFocusChange(const XFocusChangeEvent& focus)
{
    return focus.mode == NotifyNormal && focus.detail != NotifyInferior && focus.detail != NotifyPointer;
}

bool TranslateButton(const XButtonEvent& button, TrellisEvent& input)
{
    const bool press = button.type == ButtonPress;
    SetPointer(input, press ? TrellisEventKind::ButtonDown : TrellisEventKind::ButtonUp, button.x, button.y,
               button.state);
    switch (button.button) {
    case Button1:
        input.button = TrellisButton::Left;
        return true;
    case Button2:
        input.button = TrellisButton::Middle;
        return true;
    case Button3:
        input.button = TrellisButton::Right;
        return true;
    case Button4:
    case Button5:
    case 6:
    case 7:
        // Each wheel notch is a press and a release of one of these; the
        // press is the step.
        input.kind = TrellisEventKind::Wheel;
        input.wheelY = button.button == Button4 ? 1.0f : button.button == Button5 ? -1.0f : 0.0f;
        input.wheelX = button.button == 6 ? -1.0f : button.button == 7 ? 1.0f : 0.0f;
        return press;
    default:
        return false;
    }
}

} // namespace

std::unique_ptr<X11Backend> X11Backend::Open(const char* displayName)
{
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) {
        return nullptr;
    }
    XSetErrorHandler(IgnoreXError);
    XSetIOErrorHandler(ServerGone);
    return std::unique_ptr<X11Backend>(new X11Backend(display));
}

X11Backend::X11Backend(Display* connection)
    : display(connection),
      wmProtocols(XInternAtom(connection, "WM_PROTOCOLS", False)),
      wmDeleteWindow(XInternAtom(connection, "WM_DELETE_WINDOW", False)),
      netWmState(XInternAtom(connection, "_NET_WM_STATE", False)),
      netWmStateFullscreen(XInternAtom(connection, "_NET_WM_STATE_FULLSCREEN", False)),
      netWmStateAbove(XInternAtom(connection, "_NET_WM_STATE_ABOVE", False)),
      motifWmHints(XInternAtom(connection, "_MOTIF_WM_HINTS", False)),
      netActiveWindow(XInternAtom(connection, "_NET_ACTIVE_WINDOW", False)),
      netWmPid(XInternAtom(connection, "_NET_WM_PID", False)),
      netWmName(XInternAtom(connection, "_NET_WM_NAME", False)),
      utf8String(XInternAtom(connection, "UTF8_STRING", False)),
      netSupported(XInternAtom(connection, "_NET_SUPPORTED", False)),
      netRequestFrameExtents(XInternAtom(connection, "_NET_REQUEST_FRAME_EXTENTS", False)),
      netFrameExtents(XInternAtom(connection, "_NET_FRAME_EXTENTS", False)),
      netWorkarea(XInternAtom(connection, "_NET_WORKAREA", False)),
      netCurrentDesktop(XInternAtom(connection, "_NET_CURRENT_DESKTOP", False))
{
    // A held key repeats as presses alone, so a press of a key already down
    // is a repeat.
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(connection, True, &detectable);
    // The input method named by XMODIFIERS (or the built-in one, which
    // composes dead keys) where the locale allows one; the program's locale
    // is its own to choose.
    if (XSupportsLocale() && XSetLocaleModifiers("") != nullptr) {
        inputMethod = XOpenIM(connection, nullptr, nullptr, nullptr);
    }
}

X11Backend::~X11Backend()
{
    for (const auto& entry : windows) {
        if (entry.second.inputContext != nullptr) {
            XDestroyIC(entry.second.inputContext);
        }
        if (entry.second.window != 0) {
            XDestroyWindow(display, entry.second.window);
        }
    }
    if (inputMethod != nullptr) {
        XCloseIM(inputMethod);
    }
    if (blankCursor != 0) {
        XFreeCursor(display, blankCursor);
    }
    XCloseDisplay(display);
}

X11Backend::Native* X11Backend::Find(WindowHandle window)
{
    const auto found = windows.find(window);
    return found == windows.end() ? nullptr : &found->second;
}

unsigned long X11Backend::NativeWindow(WindowHandle window)
{
    const Native* native = Find(window);
    return native != nullptr ? native->window : 0;
}

bool X11Backend::OpenWindow(WindowHandle window, const Rect& rect, bool framed, bool visible, const char16_t* title)
{
    XSetWindowAttributes attributes{};
    // Black hides what lay beneath (the cover window's purpose) until a
    // rendering surface paints the window.
    attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                            KeyReleaseMask | FocusChangeMask | StructureNotifyMask | LeaveWindowMask;
    const Window native =
        XCreateWindow(display, DefaultRootWindow(display), Coordinate(rect.left), Coordinate(rect.top),
                      Dimension(rect.right - rect.left), Dimension(rect.bottom - rect.top), 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    if (native == 0) {
        return false;
    }
    windows[window] = Native{native, nullptr, framed};
    // Lets a person's tools and window-manager rules find the program's windows.
    XClassHint classHint{const_cast<char*>(ResourceName()), const_cast<char*>("Trellis")};
    XSetClassHint(display, native, &classHint);
    Atom deleteWindow = wmDeleteWindow;
    XSetWMProtocols(display, native, &deleteWindow, 1);
    SetTitle(window, title);
    if (inputMethod != nullptr) {
        XIC context = XCreateIC(inputMethod, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                                native, XNFocusWindow, native, nullptr);
        if (context != nullptr) {
            windows[window].inputContext = context;
        }
    }
    // The client area goes where the shell's rectangle less the frame puts
    // it; a window manager should keep it and draw its frame around it.
    XSizeHints hints{};
    hints.flags = PPosition | PSize | PWinGravity;
    hints.win_gravity = StaticGravity;
    XSetWMNormalHints(display, native, &hints);
    if (!framed) {
        // A window without a caption has no frame at all: decorations off.
        const long motifHints[5] = {2 /* decorations given */, 0, 0 /* none */, 0, 0};
        XChangeProperty(display, native, motifWmHints, motifWmHints, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(motifHints), 5);
    }
    // Lets a window manager (or a test) tell which process the window belongs to.
    const long pid = getpid();
    XChangeProperty(display, native, netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    if (visible) {
        XMapWindow(display, native);
    }
    XFlush(display);
    return true;
}

void X11Backend::PlaceWindow(WindowHandle window, Rect& rect)
{
    const Native* native = Find(window);
    if (native == nullptr) {
        return;
    }
    if (native->framed) {
        KeepFrameReachable(rect);
    }
    XMoveResizeWindow(display, native->window, Coordinate(rect.left), Coordinate(rect.top),
                      Dimension(rect.right - rect.left), Dimension(rect.bottom - rect.top));
    XFlush(display);
    if (native->maxWidth > 0 && rect.right - rect.left <= native->maxWidth &&
        rect.bottom - rect.top <= native->maxHeight) {
        AwaitSize(window, static_cast<int>(Dimension(rect.right - rect.left)),
                  static_cast<int>(Dimension(rect.bottom - rect.top)));
    }
}

// A window manager carries out resizes on its own time, in order, so an
// earlier request (sent before the driver's limit was known) may still make
// the window larger than the driver renders, and drawing into it then takes
// the driver down. The answer to this resize is awaited (briefly) before
// anything is drawn.
void X11Backend::AwaitSize(WindowHandle window, int width, int height)
{
    const Window native = NativeWindow(window);
    XWindowAttributes now{};
    if (XGetWindowAttributes(display, native, &now) == 0 || (now.width == width && now.height == height)) {
        return;
    }
    // Sizes reported before the answer are out of date and dropped; the
    // answer goes to the application as any resize does.
    XEvent event;
    if (AwaitEvent(native, ConfigureNotify, kResizeWaitMs,
                   [width, height](const XEvent& configure) {
                       return configure.xconfigure.width == width && configure.xconfigure.height == height;
                   },
                   event)) {
        NativeEvent resized;
        resized.window = window;
        if (TranslateEvent(event, resized)) {
            Deliver(resized);
        }
    }
}

// Takes events of `type` for `window` as they come, for up to `waitMs`, until
// `wanted` accepts one; events of other kinds stay queued in order.
bool X11Backend::AwaitEvent(unsigned long window, int type, int waitMs,
                                 const std::function<bool(const XEvent&)>& wanted, XEvent& event)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        while (XCheckTypedWindowEvent(display, window, type, &event)) {
            if (wanted(event)) {
                return true;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd ready{ConnectionNumber(display), POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left)) < 0 && errno != EINTR) {
            return false;
        }
    }
}

// The frame a window manager will draw around a framed window, measured on a
// window that is never shown, so that the shell's rectangles include it from
// the first framed window on. None without a window manager that says.
void X11Backend::MeasureFrame()
{
    if (frameMeasured) {
        return;
    }
    frameMeasured = true;
    const Window root = DefaultRootWindow(display);
    const std::vector<long> supported = ReadLongs(root, netSupported, XA_ATOM);
    if (std::find(supported.begin(), supported.end(), static_cast<long>(netRequestFrameExtents)) ==
        supported.end()) {
        return;
    }
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    const Window probe =
        XCreateWindow(display, root, 0, 0, 100, 100, 0, CopyFromParent, InputOutput, CopyFromParent, CWEventMask,
                      &attributes);
    SendToRoot(probe, netRequestFrameExtents, 0, 0, 0, 0);
    XFlush(display);
    XEvent event;
    const Atom extentsAtom = netFrameExtents;
    if (AwaitEvent(probe, PropertyNotify, kFrameExtentsWaitMs,
                   [extentsAtom](const XEvent& change) { return change.xproperty.atom == extentsAtom; }, event)) {
        const std::vector<long> extents = ReadLongs(probe, netFrameExtents, XA_CARDINAL);
        if (extents.size() == 4) {
            // Left, right, top, bottom.
            frame = Rect{static_cast<int32_t>(extents[0]), static_cast<int32_t>(extents[2]),
                         static_cast<int32_t>(extents[1]), static_cast<int32_t>(extents[3])};
        }
    }
    XDestroyWindow(display, probe);
}

Rect X11Backend::FrameInsets()
{
    MeasureFrame();
    return frame;
}

// A frame larger than the work area is centred off it; its top left (the
// title bar and the window menu) is kept where a person can reach it.
void X11Backend::KeepFrameReachable(Rect& rect)
{
    const Rect work = WorkArea();
    const int32_t right = std::max(0, work.left - (rect.left - frame.left));
    const int32_t down = std::max(0, work.top - (rect.top - frame.top));
    rect = Rect{rect.left + right, rect.top + down, rect.right + right, rect.bottom + down};
}

std::vector<long> X11Backend::ReadLongs(unsigned long window, unsigned long property, unsigned long type)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::vector<long> values;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, type, &actualType, &format, &count, &remaining,
                           &data) == Success &&
        data != nullptr) {
        if (actualType == type && format == 32) {
            const long* longs = reinterpret_cast<const long*>(data);
            values.assign(longs, longs + count);
        }
        XFree(data);
    }
    return values;
}

void X11Backend::SendToRoot(unsigned long window, unsigned long type, long data0, long data1, long data2,
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

void X11Backend::RaiseWindow(WindowHandle window)
{
    const Window native = NativeWindow(window);
    XRaiseWindow(display, native);
    // A window manager activates on request; without one, focus is set directly.
    SendToRoot(native, netActiveWindow, 1, CurrentTime, 0, 0);
    XSetInputFocus(display, native, RevertToParent, CurrentTime);
    XFlush(display);
}

void X11Backend::ShowWindow(WindowHandle window, bool visible)
{
    if (visible) {
        XMapWindow(display, NativeWindow(window));
    } else {
        XUnmapWindow(display, NativeWindow(window));
    }
    XFlush(display);
}

void X11Backend::CloseWindow(WindowHandle window)
{
    const Native* native = Find(window);
    if (native == nullptr) {
        return;
    }
    if (native->inputContext != nullptr) {
        XDestroyIC(native->inputContext);
    }
    // One that another client destroyed is already gone.
    if (native->window != 0) {
        XDestroyWindow(display, native->window);
    }
    windows.erase(window);
    XFlush(display);
}

// A window manager makes a full-screen window span the monitor whatever its
// size, so only one that spans it already is made full screen there. A
// smaller one (the quarter-size surface and its cover) stays at the
// rectangle the shell gave it, kept above other windows instead.
void X11Backend::MakeFullScreen(WindowHandle window, bool spans)
{
    constexpr long kAdd = 1;
    constexpr long kFromApplication = 1;
    const Atom state = spans ? netWmStateFullscreen : netWmStateAbove;
    SendToRoot(NativeWindow(window), netWmState, kAdd, static_cast<long>(state), 0, kFromApplication);
    XFlush(display);
}

bool X11Backend::ManagerSupports(unsigned long state)
{
    const std::vector<long> supported = ReadLongs(DefaultRootWindow(display), netSupported, XA_ATOM);
    return std::find(supported.begin(), supported.end(), static_cast<long>(state)) != supported.end();
}

// A window manager keeps a full-screen window on the monitor through the
// EWMH state, and puts back the size it had before it, which for a window
// that started in full screen is the monitor's: the framed rectangle is asked
// for on top. Without a manager the window is simply given the monitor's
// rectangle. A window that started without decorations gets the manager's.
bool X11Backend::SwitchFullScreen(WindowHandle window, bool on, const Rect& framedClient)
{
    constexpr long kFromApplication = 1;
    const Window native = NativeWindow(window);
    if (native == 0) {
        return false;
    }
    const bool managed = ManagerSupports(netWmStateFullscreen);
    if (!on) {
        XDeleteProperty(display, native, motifWmHints);
    }
    if (managed) {
        SendToRoot(native, netWmState, on ? 1 : 0, static_cast<long>(netWmStateFullscreen), 0, kFromApplication);
    }
    if (!on || !managed) {
        const Rect rect = on ? Monitor() : framedClient;
        XMoveResizeWindow(display, native, Coordinate(rect.left), Coordinate(rect.top),
                          Dimension(rect.right - rect.left), Dimension(rect.bottom - rect.top));
        XRaiseWindow(display, native);
    }
    XFlush(display);
    return true;
}

bool X11Backend::ShowPointer(WindowHandle window, bool show)
{
    const Window native = NativeWindow(window);
    if (native == 0) {
        return false;
    }
    if (show) {
        XUndefineCursor(display, native);
    } else {
        if (blankCursor == 0) {
            const char bits[1] = {0};
            const Pixmap pixmap = XCreateBitmapFromData(display, native, bits, 1, 1);
            XColor black{};
            blankCursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
            XFreePixmap(display, pixmap);
        }
        XDefineCursor(display, native, blankCursor);
    }
    XFlush(display);
    return true;
}

void X11Backend::LimitClientSize(WindowHandle window, int32_t maxWidth, int32_t maxHeight)
{
    Native* native = Find(window);
    if (native == nullptr) {
        return;
    }
    native->maxWidth = maxWidth;
    native->maxHeight = maxHeight;
    XSizeHints hints{};
    hints.flags = PPosition | PSize | PWinGravity | PMaxSize;
    hints.win_gravity = StaticGravity;
    hints.max_width = static_cast<int>(Dimension(maxWidth));
    hints.max_height = static_cast<int>(Dimension(maxHeight));
    XSetWMNormalHints(display, native->window, &hints);
    XFlush(display);
}

Rect X11Backend::Monitor()
{
    const int screen = DefaultScreen(display);
    return Rect{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
}

// The current desktop's work area where a window manager publishes one.
Rect X11Backend::WorkArea()
{
    const Window root = DefaultRootWindow(display);
    const std::vector<long> areas = ReadLongs(root, netWorkarea, XA_CARDINAL);
    const std::vector<long> desktop = ReadLongs(root, netCurrentDesktop, XA_CARDINAL);
    const size_t at = desktop.size() == 1 && desktop[0] >= 0 ? 4 * static_cast<size_t>(desktop[0]) : 0;
    if (areas.size() < at + 4 || areas[at + 2] <= 0 || areas[at + 3] <= 0) {
        return Monitor();
    }
    const auto edge = [](long value) { return static_cast<int32_t>(std::clamp<long>(value, -32768, 65535)); };
    return Rect{edge(areas[at]), edge(areas[at + 1]), edge(areas[at] + areas[at + 2]),
                edge(areas[at + 1] + areas[at + 3])};
}

WindowHandle X11Backend::HandleOf(unsigned long native) const
{
    for (const auto& entry : windows) {
        if (entry.second.window == native && native != 0) {
            return entry.first;
        }
    }
    return kNoWindow;
}

void X11Backend::PollEvents()
{
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            continue;
        }
        // The input method takes the keys of a sequence it composes.
        if (XFilterEvent(&event, None)) {
            continue;
        }
        NativeEvent native;
        native.window = HandleOf(event.xany.window);
        if (native.window != kNoWindow && TranslateEvent(event, native)) {
            Deliver(native);
        }
    }
}

bool X11Backend::TranslateEvent(XEvent& event, NativeEvent& native)
{
    TrellisEvent& input = native.input;
    switch (event.type) {
    case Expose:
        native.kind = NativeEventKind::Repaint;
        return event.xexpose.count == 0;
    case ClientMessage:
        native.kind = NativeEventKind::Close;
        return event.xclient.message_type == wmProtocols &&
               static_cast<Atom>(event.xclient.data.l[0]) == wmDeleteWindow;
    case ButtonPress:
    case ButtonRelease:
        return TranslateButton(event.xbutton, input);
    case MotionNotify:
        SetPointer(input, TrellisEventKind::PointerMove, event.xmotion.x, event.xmotion.y, event.xmotion.state);
        return true;
    case LeaveNotify:
        // Grabs and their release also cross the border; only a real exit counts.
        input.kind = TrellisEventKind::PointerLeave;
        return event.xcrossing.mode == NotifyNormal;
    case FocusIn:
    case FocusOut:
        if (!IsFocusChange(event.xfocus)) {
            return false;
        }
        if (XIC context = InputContext(native.window)) {
            (event.type == FocusIn ? XSetICFocus : XUnsetICFocus)(context);
        }
        input.kind = event.type == FocusIn ? TrellisEventKind::FocusGained : TrellisEventKind::FocusLost;
        return true;
    case KeyPress:
    case KeyRelease: {
        XKeyEvent& key = event.xkey;
        input.kind = event.type == KeyPress ? TrellisEventKind::KeyDown : TrellisEventKind::KeyUp;
        input.key = KeyOfSymbol(uint32_t(XLookupKeysym(&key, 0)));
        input.modifiers = ModifiersOf(key.state);
        native.keyCode = key.keycode;
        if (event.type == KeyPress) {
            TypedText(native.window, event, input);
        }
        return true;
    }
    case DestroyNotify:
        // Destroyed by another client: the same end as the shell's own DestroyWindow.
        if (event.xdestroywindow.window != event.xany.window) {
            return false;
        }
        native.kind = NativeEventKind::Destroy;
        windows[native.window].window = 0;
        return true;
    case ConfigureNotify:
        NoteResize(native.window, event.xconfigure.width, event.xconfigure.height, input);
        return true;
    default:
        return false;
    }
}

// The text a key typed: the input method's, where one opened; otherwise the
// character of the key's symbol with the modifiers applied.
void X11Backend::TypedText(WindowHandle window, XEvent& event, TrellisEvent& input)
{
    XKeyEvent& key = event.xkey;
    char text[64];
    KeySym symbol = NoSymbol;
    if (XIC context = InputContext(window)) {
        Status status = 0;
        const int length = Xutf8LookupString(context, &key, text, sizeof text, &symbol, &status);
        if (status == XLookupChars || status == XLookupBoth) {
            SetPrintableText(input, text, static_cast<size_t>(length));
        }
        return;
    }
    XLookupString(&key, text, sizeof text, &symbol, nullptr);
    input.text[0] = 0;
    const uint32_t character = CharacterOf(symbol);
    if (character >= 0x20 && character != 0x7F) {
        AppendEventText(input, character);
    }
}

XIC X11Backend::InputContext(WindowHandle window)
{
    const Native* native = Find(window);
    return native != nullptr ? native->inputContext : nullptr;
}

void X11Backend::SetTitle(WindowHandle window, const char16_t* title)
{
    const Window native = NativeWindow(window);
    XStoreName(display, native, Latin1Title(title).c_str());
    const std::string utf8 = NarrowUtf16(title);
    XChangeProperty(display, native, netWmName, utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    XFlush(display);
}

// The application and the record see the size the window is held at.
void X11Backend::NoteResize(WindowHandle window, int width, int height, TrellisEvent& resize)
{
    HoldWithinLimit(window, width, height);
    const Native* native = Find(window);
    const bool limited = native != nullptr && native->maxWidth > 0;
    resize.kind = TrellisEventKind::Resize;
    resize.width = limited ? std::min(width, native->maxWidth) : width;
    resize.height = limited ? std::min(height, native->maxHeight) : height;
}

// Another client (or a window manager that ignores the hints) made the window
// larger than its surface can be: it is made smaller again before the next
// frame is drawn.
void X11Backend::HoldWithinLimit(WindowHandle window, int width, int height)
{
    const Native* native = Find(window);
    if (native == nullptr || native->maxWidth <= 0 || (width <= native->maxWidth && height <= native->maxHeight)) {
        return;
    }
    // The event may be an old one, from before the shell held the size itself.
    XWindowAttributes now{};
    if (XGetWindowAttributes(display, NativeWindow(window), &now) == 0 ||
        (now.width <= native->maxWidth && now.height <= native->maxHeight)) {
        return;
    }
    width = now.width;
    height = now.height;
    ReportHeldSize(static_cast<unsigned>(width), static_cast<unsigned>(height), native->maxWidth,
                   native->maxHeight);
    XResizeWindow(display, NativeWindow(window), Dimension(std::min(width, native->maxWidth)),
                  Dimension(std::min(height, native->maxHeight)));
    XSync(display, False);
}

EGLDisplay X11Backend::GetEGLDisplay()
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

void X11Backend::GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes)
{
    FillEGLConfigAttributes(EGL_WINDOW_BIT, fsaaMode, attributes);
}

EGLSurface X11Backend::CreateEGLSurface(EGLDisplay eglDisplay, EGLConfig config, WindowHandle window, const Rect&)
{
    const Window native = NativeWindow(window);
    if (native == 0) {
        return EGL_NO_SURFACE;
    }
    // From here the surface paints the window; a background would flash
    // between frames.
    XSetWindowBackgroundPixmap(display, native, None);
    return eglCreateWindowSurface(eglDisplay, config, static_cast<EGLNativeWindowType>(native), nullptr);
}

std::string X11Backend::Describe() const
{
    return std::string("X11 display ") + DisplayString(display);
}

} // namespace trellis
