// What the X server sends, read into the shell's events: keys with their text,
// the pointer, focus, resizes (held within the driver's limit) and the
// window's own notices.
#include "shell/ce/X11Backend.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>

#include "shell/DebugOutput.h"
#include "shell/ce/KeySymbols.h"

namespace trellis {

namespace {

void ReportHeldSize(unsigned width, unsigned height, int32_t maxWidth, int32_t maxHeight)
{
    char text[160];
    std::snprintf(text, sizeof text, "Window size %u x %u is larger than the driver renders; held at %d x %d\n", width,
                  height, std::min<int32_t>(static_cast<int32_t>(width), maxWidth),
                  std::min<int32_t>(static_cast<int32_t>(height), maxHeight));
    TrellisDebugOutputUtf8(text);
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
    XResizeWindow(display, NativeWindow(window), static_cast<unsigned>(std::min(width, native->maxWidth)),
                  static_cast<unsigned>(std::min(height, native->maxHeight)));
    XSync(display, False);
}

} // namespace trellis
