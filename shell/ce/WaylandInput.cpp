#include "shell/ce/WaylandBackend.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "shell/Ticks.h"
#include "shell/ce/KeySymbols.h"
#include "shell/ce/WaylandInternal.h"

namespace trellis {

namespace {

// The listeners only hand each event to the backend's handler.

void KeyboardKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size)
{
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        Owner(data)->OnKeymap(fd, size);
    } else {
        close(fd);
    }
}

void KeyboardEnter(void* data, wl_keyboard*, uint32_t, wl_surface* surface, wl_array*)
{
    Owner(data)->OnKeyboardEnter(surface);
}

void KeyboardLeave(void* data, wl_keyboard*, uint32_t, wl_surface* surface)
{
    Owner(data)->OnKeyboardLeave(surface);
}

void KeyboardKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state)
{
    Owner(data)->OnKey(key, state == WL_KEYBOARD_KEY_STATE_PRESSED);
}

void KeyboardModifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched, uint32_t locked,
                       uint32_t group)
{
    Owner(data)->OnModifiers(depressed, latched, locked, group);
}

void KeyboardRepeatInfo(void* data, wl_keyboard*, int32_t rate, int32_t delay)
{
    Owner(data)->OnRepeatInfo(rate, delay);
}

const wl_keyboard_listener kKeyboardListener = {KeyboardKeymap, KeyboardEnter,     KeyboardLeave,
                                                KeyboardKey,    KeyboardModifiers, KeyboardRepeatInfo};

void PointerEnter(void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y)
{
    Owner(data)->ShowPointerImage(surface, serial);
    Owner(data)->OnPointerEnter(surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
}

void PointerLeave(void* data, wl_pointer*, uint32_t, wl_surface* surface)
{
    Owner(data)->OnPointerLeave(surface);
}

void PointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y)
{
    Owner(data)->OnPointerMotion(wl_fixed_to_double(x), wl_fixed_to_double(y));
}

void PointerButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state)
{
    Owner(data)->OnPointerButton(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
}

void PointerAxis(void* data, wl_pointer*, uint32_t, uint32_t axis, wl_fixed_t value)
{
    Owner(data)->OnPointerAxis(axis, wl_fixed_to_double(value));
}

void PointerFrame(void*, wl_pointer*) {}
void PointerAxisSource(void*, wl_pointer*, uint32_t) {}
void PointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}

void PointerAxisDiscrete(void* data, wl_pointer*, uint32_t axis, int32_t steps)
{
    Owner(data)->OnPointerAxisDiscrete(axis, steps);
}

const wl_pointer_listener kPointerListener = {PointerEnter,      PointerLeave,    PointerMotion,      PointerButton,
                                              PointerAxis,       PointerFrame,    PointerAxisSource,  PointerAxisStop,
                                              PointerAxisDiscrete, nullptr};

void SeatCapabilities(void* data, wl_seat*, uint32_t capabilities)
{
    Owner(data)->OnSeatCapabilities(capabilities);
}

void SeatName(void*, wl_seat*, const char*) {}

} // namespace

const wl_seat_listener kSeatListener = {SeatCapabilities, SeatName};

void WaylandBackend::OnSeatCapabilities(uint32_t capabilities)
{
    const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    const bool hasPointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    if (hasKeyboard && devices->keyboard == nullptr) {
        devices->keyboard = wl_seat_get_keyboard(devices->seat);
        wl_keyboard_add_listener(devices->keyboard, &kKeyboardListener, this);
    } else if (!hasKeyboard && devices->keyboard != nullptr) {
        ReleaseKeyboard();
    }
    if (hasPointer && devices->pointer == nullptr) {
        devices->pointer = wl_seat_get_pointer(devices->seat);
        wl_pointer_add_listener(devices->pointer, &kPointerListener, this);
    } else if (!hasPointer && devices->pointer != nullptr) {
        ReleasePointer();
    }
}

void WaylandBackend::ReleasePointer()
{
    if (devices->pointer != nullptr) {
        if (wl_pointer_get_version(devices->pointer) >= WL_POINTER_RELEASE_SINCE_VERSION) {
            wl_pointer_release(devices->pointer);
        } else {
            wl_pointer_destroy(devices->pointer);
        }
        devices->pointer = nullptr;
    }
    devices->pointerSurface = nullptr;
}

void WaylandBackend::ReleaseKeyboard()
{
    if (devices->keyboard != nullptr) {
        if (wl_keyboard_get_version(devices->keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
            wl_keyboard_release(devices->keyboard);
        } else {
            wl_keyboard_destroy(devices->keyboard);
        }
        devices->keyboard = nullptr;
    }
    devices->keyboardSurface = nullptr;
    if (devices->keyState != nullptr) {
        xkb_state_unref(devices->keyState);
        devices->keyState = nullptr;
    }
    if (devices->keymap != nullptr) {
        xkb_keymap_unref(devices->keymap);
        devices->keymap = nullptr;
    }
}

void WaylandBackend::OnKeymap(int fd, uint32_t size)
{
    void* text = size > 0 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    close(fd);
    if (text == MAP_FAILED) {
        return;
    }
    if (devices->xkbContext == nullptr) {
        devices->xkbContext = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    }
    // The text ends with its terminating zero, which the length leaves out.
    xkb_keymap* loaded =
        devices->xkbContext != nullptr
            ? xkb_keymap_new_from_buffer(devices->xkbContext, static_cast<const char*>(text),
                                         strnlen(static_cast<const char*>(text), size), XKB_KEYMAP_FORMAT_TEXT_V1,
                                         XKB_KEYMAP_COMPILE_NO_FLAGS)
            : nullptr;
    munmap(text, size);
    if (loaded == nullptr) {
        return;
    }
    xkb_state* state = xkb_state_new(loaded);
    if (state == nullptr) {
        xkb_keymap_unref(loaded);
        return;
    }
    if (devices->keyState != nullptr) {
        xkb_state_unref(devices->keyState);
    }
    if (devices->keymap != nullptr) {
        xkb_keymap_unref(devices->keymap);
    }
    devices->keymap = loaded;
    devices->keyState = state;
}

void WaylandBackend::OnModifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group)
{
    if (devices->keyState != nullptr) {
        xkb_state_update_mask(devices->keyState, depressed, latched, locked, 0, 0, group);
    }
}

void WaylandBackend::OnKey(uint32_t key, bool pressed)
{
    // Evdev key codes are eight below the XKB key codes of the keymap.
    const uint32_t code = key + 8;
    QueueKey(code, pressed);
    if (pressed && devices->keymap != nullptr && xkb_keymap_key_repeats(devices->keymap, code)) {
        devices->keyRepeat.Press(code, TrellisTickCount());
    } else if (!pressed) {
        devices->keyRepeat.Release(code);
    }
}

void WaylandBackend::OnRepeatInfo(int32_t rate, int32_t delay)
{
    devices->keyRepeat.SetRate(rate, delay);
}

// Wayland leaves repeating a held key to the client.
void WaylandBackend::RepeatHeldKey()
{
    for (uint32_t due = devices->keyRepeat.Due(TrellisTickCount()); due > 0; --due) {
        QueueKey(devices->keyRepeat.Held(), true);
    }
}

// Modifiers as they stand before the key's own press or release: the
// compositor sends the change only after the key.
uint32_t WaylandBackend::Modifiers() const
{
    if (devices->keyState == nullptr) {
        return 0;
    }
    const auto active = [this](const char* name) {
        return xkb_state_mod_name_is_active(devices->keyState, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    return (active(XKB_MOD_NAME_SHIFT) ? kTrellisModShift : 0) | (active(XKB_MOD_NAME_CTRL) ? kTrellisModControl : 0) |
           (active(XKB_MOD_NAME_ALT) ? kTrellisModAlt : 0) | (active(XKB_MOD_NAME_LOGO) ? kTrellisModSuper : 0) |
           (active(XKB_MOD_NAME_CAPS) ? kTrellisModCapsLock : 0);
}

// A press of a key that is down already is one of its repeats.
void WaylandBackend::QueueKey(uint32_t code, bool pressed)
{
    const NativeWindow* native = FindBySurface(devices->keyboardSurface);
    if (native == nullptr || devices->keyState == nullptr) {
        return;
    }
    NativeEvent message{native->handle};
    message.keyCode = code;
    TrellisEvent& event = message.input;
    event.kind = pressed ? TrellisEventKind::KeyDown : TrellisEventKind::KeyUp;
    // The key is named by its symbol without modifiers, at the active layout.
    const xkb_keysym_t* symbols = nullptr;
    const xkb_layout_index_t layout = xkb_state_key_get_layout(devices->keyState, code);
    if (xkb_keymap_key_get_syms_by_level(devices->keymap, code, layout == XKB_LAYOUT_INVALID ? 0 : layout, 0,
                                         &symbols) > 0) {
        event.key = KeyOfSymbol(symbols[0]);
    }
    event.modifiers = Modifiers();
    if (pressed) {
        // Text entry takes printable characters; Return, Tab and the like are keys.
        char text[sizeof event.text];
        const int length = xkb_state_key_get_utf8(devices->keyState, code, text, sizeof text);
        if (length > 0 && static_cast<unsigned char>(text[0]) >= 0x20 && text[0] != 0x7F) {
            SetEventText(event, text, std::min<size_t>(size_t(length), sizeof text - 1));
        }
    }
    Deliver(message);
}

void WaylandBackend::OnKeyboardEnter(wl_surface* surface)
{
    devices->keyboardSurface = surface;
    QueueFocus(surface, TrellisEventKind::FocusGained);
}

void WaylandBackend::OnKeyboardLeave(wl_surface* surface)
{
    QueueFocus(surface, TrellisEventKind::FocusLost);
    if (surface == devices->keyboardSurface) {
        devices->keyboardSurface = nullptr;
        devices->keyRepeat.Stop();
    }
}

void WaylandBackend::QueueFocus(const wl_surface* surface, TrellisEventKind kind)
{
    if (const NativeWindow* native = FindBySurface(surface)) {
        NativeEvent focus{native->handle};
        focus.input.kind = kind;
        Deliver(focus);
    }
}

// A surface shows no pointer of its own until its client gives it one: the
// theme's arrow (XCURSOR_THEME and XCURSOR_SIZE choose it, as for other
// programs), at the output's scale.
void WaylandBackend::ShowPointerImage(const wl_surface* surface, uint32_t serial)
{
    // Over a window frame drawn by libdecor, libdecor chooses.
    if (FindBySurface(surface) == nullptr || devices->pointer == nullptr) {
        return;
    }
    devices->pointerSerial = serial;
    if (devices->pointerHidden) {
        wl_pointer_set_cursor(devices->pointer, serial, nullptr, 0, 0);
        return;
    }
    if (devices->cursorTheme == nullptr && devices->shm != nullptr) {
        const char* sizeText = std::getenv("XCURSOR_SIZE");
        const int size = sizeText != nullptr && std::atoi(sizeText) > 0 ? std::atoi(sizeText) : 24;
        devices->cursorTheme = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), size * outputScale, devices->shm);
    }
    wl_cursor* arrow = nullptr;
    if (devices->cursorTheme != nullptr) {
        arrow = wl_cursor_theme_get_cursor(devices->cursorTheme, "left_ptr");
        arrow = arrow != nullptr ? arrow : wl_cursor_theme_get_cursor(devices->cursorTheme, "default");
    }
    if (arrow == nullptr || arrow->image_count == 0 || devices->pointer == nullptr) {
        return;
    }
    wl_cursor_image* image = arrow->images[0];
    wl_buffer* buffer = wl_cursor_image_get_buffer(image);
    if (buffer == nullptr) {
        return;
    }
    if (devices->pointerImage == nullptr) {
        devices->pointerImage = wl_compositor_create_surface(compositor);
    }
    // A theme without the larger size gives an image that may not divide.
    const int32_t scale = image->width % uint32_t(outputScale) == 0 && image->height % uint32_t(outputScale) == 0
                              ? outputScale
                              : 1;
    wl_surface_set_buffer_scale(devices->pointerImage, scale);
    wl_surface_attach(devices->pointerImage, buffer, 0, 0);
    wl_surface_damage(devices->pointerImage, 0, 0, INT32_MAX, INT32_MAX);
    wl_surface_commit(devices->pointerImage);
    wl_pointer_set_cursor(devices->pointer, serial, devices->pointerImage, int32_t(image->hotspot_x) / scale,
                          int32_t(image->hotspot_y) / scale);
}

void WaylandBackend::OnPointerEnter(wl_surface* surface, double x, double y)
{
    devices->pointerSurface = surface;
    OnPointerMotion(x, y);
}

void WaylandBackend::OnPointerLeave(wl_surface* surface)
{
    if (surface == devices->pointerSurface) {
        Deliver(PointerEvent(TrellisEventKind::PointerLeave));
        devices->pointerSurface = nullptr;
    }
}

void WaylandBackend::OnPointerMotion(double x, double y)
{
    devices->pointerX = x;
    devices->pointerY = y;
    Deliver(PointerEvent(TrellisEventKind::PointerMove));
}

void WaylandBackend::OnPointerButton(uint32_t button, bool pressed)
{
    NativeEvent event = PointerEvent(pressed ? TrellisEventKind::ButtonDown : TrellisEventKind::ButtonUp);
    event.input.button = button == BTN_LEFT     ? TrellisButton::Left
                         : button == BTN_MIDDLE ? TrellisButton::Middle
                         : button == BTN_RIGHT  ? TrellisButton::Right
                                                : TrellisButton::NoButton;
    if (event.input.button != TrellisButton::NoButton) {
        Deliver(event);
    }
}

// `axis` is WL_POINTER_AXIS_*; a discrete step, where the device has
// notches, comes before the axis value it goes with.
void WaylandBackend::OnPointerAxisDiscrete(uint32_t axis, int32_t steps)
{
    if (axis <= WL_POINTER_AXIS_HORIZONTAL_SCROLL) {
        devices->pendingSteps[axis] = steps;
    }
}

// Wayland's vertical axis grows towards the user and its horizontal one to
// the right; a wheel notch is one step (ten units where the device gives no
// steps, as for a notch).
void WaylandBackend::OnPointerAxis(uint32_t axis, double value)
{
    if (axis > WL_POINTER_AXIS_HORIZONTAL_SCROLL) {
        return;
    }
    const float steps = devices->pendingSteps[axis] != 0 ? float(devices->pendingSteps[axis]) : float(value / 10.0);
    devices->pendingSteps[axis] = 0;
    NativeEvent event = PointerEvent(TrellisEventKind::Wheel);
    if (axis == WL_POINTER_AXIS_VERTICAL_SCROLL) {
        event.input.wheelY = -steps;
    } else {
        event.input.wheelX = steps;
    }
    Deliver(event);
}

// An event at the pointer's position, for the window under it (none, and so
// not delivered, when the pointer is over no window of ours).
NativeEvent WaylandBackend::PointerEvent(TrellisEventKind kind) const
{
    const NativeWindow* native = FindBySurface(devices->pointerSurface);
    NativeEvent event{native != nullptr ? native->handle : kNoWindow};
    event.input.kind = kind;
    const int32_t scale = native != nullptr ? native->scale : 1;
    event.input.x = static_cast<int32_t>(devices->pointerX * scale);
    event.input.y = static_cast<int32_t>(devices->pointerY * scale);
    event.input.modifiers = Modifiers();
    return event;
}

// Hidden: no image on enter, and none now where the pointer is over the window.
bool WaylandBackend::ShowPointer(WindowHandle window, bool show)
{
    NativeWindow* native = Find(window);
    if (native == nullptr) {
        return false;
    }
    devices->pointerHidden = !show;
    if (native->surface != nullptr && native->surface == devices->pointerSurface) {
        ShowPointerImage(devices->pointerSurface, devices->pointerSerial);
        wl_display_flush(display);
    }
    return true;
}

} // namespace trellis
