#include "shell/ce/WaylandBackend.h"

#include <EGL/eglext.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <libdecor.h>
#include <wayland-client.h>
#include <wayland-cursor.h>
#include <wayland-egl.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <iterator>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include "shell/DebugOutput.h"
#include "shell/Ticks.h"
#include "shell/Utf8.h"
#include "shell/ce/KeySymbols.h"

namespace trellis {

namespace {

// How long the end of a frame waits for the compositor to ask for the next:
// a window it does not show (hidden, or on a blanked output) is never asked,
// and still renders, at this pace.
constexpr uint32_t kLongestFrameWaitMs = 250;


WaylandBackend* Owner(void* data)
{
    return static_cast<WaylandBackend*>(data);
}

// The listeners only hand each event to the backend's handler.

void RegistryGlobal(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version)
{
    Owner(data)->OnGlobal(name, interface, version);
}

void RegistryGlobalRemove(void* data, wl_registry*, uint32_t name)
{
    Owner(data)->OnGlobalRemove(name);
}

const wl_registry_listener kRegistryListener = {RegistryGlobal, RegistryGlobalRemove};

void WmBasePing(void*, xdg_wm_base* wmBase, uint32_t serial)
{
    xdg_wm_base_pong(wmBase, serial);
}

const xdg_wm_base_listener kWmBaseListener = {WmBasePing};

void OutputGeometry(void* data, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                    int32_t transform)
{
    Owner(data)->OnOutputGeometry(transform);
}

void OutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    Owner(data)->OnOutputMode(flags, width, height);
}

void OutputDone(void* data, wl_output*)
{
    Owner(data)->OnOutputDone();
}

void OutputScale(void* data, wl_output*, int32_t scale)
{
    Owner(data)->OnOutputScale(scale);
}

// The events of later versions than those bound are never sent.
const wl_output_listener kOutputListener = {OutputGeometry, OutputMode, OutputDone, OutputScale, nullptr, nullptr};

void LogicalPosition(void*, zxdg_output_v1*, int32_t, int32_t) {}

void LogicalSize(void* data, zxdg_output_v1*, int32_t width, int32_t height)
{
    Owner(data)->OnOutputLogicalSize(width, height);
}

void LogicalDone(void*, zxdg_output_v1*) {}

const zxdg_output_v1_listener kLogicalOutputListener = {LogicalPosition, LogicalSize, LogicalDone, nullptr, nullptr};

void SeatCapabilities(void* data, wl_seat*, uint32_t capabilities)
{
    Owner(data)->OnSeatCapabilities(capabilities);
}

void SeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {SeatCapabilities, SeatName};

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

void SurfaceConfigure(void* data, xdg_surface* shellSurface, uint32_t serial)
{
    const auto* native = static_cast<const WaylandBackend::NativeWindow*>(data);
    xdg_surface_ack_configure(shellSurface, serial);
    native->owner->OnSurfaceConfigure(native->handle);
}

const xdg_surface_listener kSurfaceListener = {SurfaceConfigure};

void SurfaceEnter(void* data, wl_surface*, wl_output* entered)
{
    const auto* native = static_cast<const WaylandBackend::NativeWindow*>(data);
    native->owner->OnSurfaceEnter(native->handle, entered);
}

void SurfaceLeave(void*, wl_surface*, wl_output*) {}

const wl_surface_listener kWindowSurfaceListener = {SurfaceEnter, SurfaceLeave};

void FrameWanted(void* data, wl_callback* callback, uint32_t)
{
    auto* native = static_cast<WaylandBackend::NativeWindow*>(data);
    wl_callback_destroy(callback);
    native->frameRequest = nullptr;
}

const wl_callback_listener kFrameListener = {FrameWanted};

void ToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array* states)
{
    const auto* native = static_cast<const WaylandBackend::NativeWindow*>(data);
    bool fixedSize = false;
    const auto* state = static_cast<const uint32_t*>(states->data);
    for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i) {
        fixedSize = fixedSize || state[i] == XDG_TOPLEVEL_STATE_FULLSCREEN ||
                    state[i] == XDG_TOPLEVEL_STATE_MAXIMIZED || state[i] == XDG_TOPLEVEL_STATE_TILED_LEFT ||
                    state[i] == XDG_TOPLEVEL_STATE_TILED_RIGHT || state[i] == XDG_TOPLEVEL_STATE_TILED_TOP ||
                    state[i] == XDG_TOPLEVEL_STATE_TILED_BOTTOM;
    }
    native->owner->OnToplevelConfigure(native->handle, width, height, fixedSize);
}

void ToplevelClose(void* data, xdg_toplevel*)
{
    const auto* native = static_cast<const WaylandBackend::NativeWindow*>(data);
    native->owner->OnToplevelClose(native->handle);
}

const xdg_toplevel_listener kToplevelListener = {ToplevelConfigure, ToplevelClose, nullptr, nullptr};

// A frame drawn by libdecor reports its configures, close and commit
// requests here; the size goes the way a plain toplevel's does.
void FrameConfigure(libdecor_frame* frame, libdecor_configuration* configuration, void* data)
{
    auto* native = static_cast<WaylandBackend::NativeWindow*>(data);
    int width = 0;
    int height = 0;
    if (!libdecor_configuration_get_content_size(configuration, frame, &width, &height)) {
        width = 0;
        height = 0;
    }
    libdecor_window_state state = LIBDECOR_WINDOW_STATE_NONE;
    libdecor_configuration_get_window_state(configuration, &state);
    const uint32_t fixed = LIBDECOR_WINDOW_STATE_FULLSCREEN | LIBDECOR_WINDOW_STATE_MAXIMIZED |
                           LIBDECOR_WINDOW_STATE_TILED_LEFT | LIBDECOR_WINDOW_STATE_TILED_RIGHT |
                           LIBDECOR_WINDOW_STATE_TILED_TOP | LIBDECOR_WINDOW_STATE_TILED_BOTTOM;
    native->owner->OnToplevelConfigure(native->handle, width, height, (uint32_t(state) & fixed) != 0);
    native->owner->OnSurfaceConfigure(native->handle);
    libdecor_state* size = libdecor_state_new(native->width, native->height);
    libdecor_frame_commit(frame, size, configuration);
    libdecor_state_free(size);
}

void FrameClose(libdecor_frame*, void* data)
{
    const auto* native = static_cast<const WaylandBackend::NativeWindow*>(data);
    native->owner->OnToplevelClose(native->handle);
}

void FrameCommit(libdecor_frame*, void* data)
{
    wl_surface_commit(static_cast<const WaylandBackend::NativeWindow*>(data)->surface);
}

void FrameDismissPopup(libdecor_frame*, const char*, void*) {}

// The reserved entries are libdecor's own, left empty.
libdecor_frame_interface kFrameInterface = {FrameConfigure, FrameClose, FrameCommit, FrameDismissPopup,
                                            nullptr,        nullptr,    nullptr,     nullptr,
                                            nullptr,        nullptr,    nullptr,     nullptr,
                                            nullptr,        nullptr};

void DecoratorError(libdecor*, libdecor_error, const char* message)
{
    std::fprintf(stderr, "libdecor: %s\n", message);
}

libdecor_interface kDecoratorInterface = {DecoratorError, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr,        nullptr, nullptr, nullptr, nullptr};

} // namespace

std::unique_ptr<WaylandBackend> WaylandBackend::Open(const char* displayName)
{
    // Without a name the connection is the one WAYLAND_SOCKET hands down,
    // else WAYLAND_DISPLAY's, as libwayland chooses.
    const char* handedDown = displayName == nullptr ? std::getenv("WAYLAND_SOCKET") : nullptr;
    wl_display* display = wl_display_connect(displayName);
    if (display == nullptr) {
        return nullptr;
    }
    std::unique_ptr<WaylandBackend> system(new WaylandBackend(display));
    const char* named = displayName != nullptr ? displayName : std::getenv("WAYLAND_DISPLAY");
    system->displayName = handedDown != nullptr ? std::string("WAYLAND_SOCKET=") + handedDown
                          : named != nullptr    ? named
                                                : "wayland-0";
    if (!system->Connect()) {
        return nullptr;
    }
    return system;
}

WaylandBackend::WaylandBackend(wl_display* connection) : display(connection) {}

// Two round trips: the first lists the globals, the second brings what binding
// them sends (the output's modes, the seat's capabilities, the keymap).
bool WaylandBackend::Connect()
{
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, this);
    if (wl_display_roundtrip(display) < 0) {
        return false;
    }
    DescribeOutput();
    if (wl_display_roundtrip(display) < 0) {
        return false;
    }
    // Without server-side decorations framed windows draw their own.
    if (decorationManager == nullptr) {
        decorator = libdecor_new(display, &kDecoratorInterface);
        if (decorator == nullptr) {
            TrellisDebugOutput(u"The Wayland compositor draws no window frames and libdecor cannot be loaded: "
                               u"windows have none\n");
        }
    }
    return compositor != nullptr && wmBase != nullptr;
}

WaylandBackend::~WaylandBackend()
{
    // EGL may still hold the connection (a start-up that failed half-way is
    // never released by the shell); it lets go of it before it closes.
    if (eglDisplay != EGL_NO_DISPLAY) {
        eglTerminate(eglDisplay);
    }
    for (auto& entry : windows) {
        DestroyNative(*entry.second);
    }
    if (decorator != nullptr) {
        libdecor_unref(decorator);
    }
    ReleaseKeyboard();
    ReleasePointer();
    if (pointerImage != nullptr) {
        wl_surface_destroy(pointerImage);
    }
    if (cursorTheme != nullptr) {
        wl_cursor_theme_destroy(cursorTheme);
    }
    if (shm != nullptr) {
        wl_shm_destroy(shm);
    }
    if (seat != nullptr) {
        if (wl_seat_get_version(seat) >= WL_SEAT_RELEASE_SINCE_VERSION) {
            wl_seat_release(seat);
        } else {
            wl_seat_destroy(seat);
        }
    }
    if (outputDescription != nullptr) {
        zxdg_output_v1_destroy(outputDescription);
    }
    if (outputManager != nullptr) {
        zxdg_output_manager_v1_destroy(outputManager);
    }
    if (output != nullptr) {
        ReleaseOutput();
    }
    if (decorationManager != nullptr) {
        zxdg_decoration_manager_v1_destroy(decorationManager);
    }
    if (wmBase != nullptr) {
        xdg_wm_base_destroy(wmBase);
    }
    if (compositor != nullptr) {
        wl_compositor_destroy(compositor);
    }
    if (registry != nullptr) {
        wl_registry_destroy(registry);
    }
    if (xkbContext != nullptr) {
        xkb_context_unref(xkbContext);
    }
    wl_display_disconnect(display);
}

void WaylandBackend::OnGlobal(uint32_t name, const char* interface, uint32_t version)
{
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && compositor == nullptr) {
        compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, std::min<uint32_t>(version, 4)));
    } else if (std::strcmp(interface, trellis_xdg_wm_base_interface.name) == 0 && wmBase == nullptr) {
        wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(registry, name, &trellis_xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(wmBase, &kWmBaseListener, this);
    } else if (std::strcmp(interface, trellis_zxdg_decoration_manager_v1_interface.name) == 0 &&
               decorationManager == nullptr) {
        decorationManager = static_cast<zxdg_decoration_manager_v1*>(
            wl_registry_bind(registry, name, &trellis_zxdg_decoration_manager_v1_interface, 1));
    } else if (std::strcmp(interface, trellis_zxdg_output_manager_v1_interface.name) == 0 && outputManager == nullptr) {
        outputManager = static_cast<zxdg_output_manager_v1*>(
            wl_registry_bind(registry, name, &trellis_zxdg_output_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && output == nullptr) {
        output = static_cast<wl_output*>(
            wl_registry_bind(registry, name, &wl_output_interface, std::min<uint32_t>(version, 3)));
        outputName = name;
        wl_output_add_listener(output, &kOutputListener, this);
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && shm == nullptr) {
        shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && seat == nullptr) {
        seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min<uint32_t>(version, 5)));
        wl_seat_add_listener(seat, &kSeatListener, this);
    }
}

// The logical size, where the compositor tells it, is the size a
// full-screen surface is configured to, whatever the output's mode.
void WaylandBackend::DescribeOutput()
{
    if (outputManager != nullptr && output != nullptr && outputDescription == nullptr) {
        outputDescription = zxdg_output_manager_v1_get_xdg_output(outputManager, output);
        zxdg_output_v1_add_listener(outputDescription, &kLogicalOutputListener, this);
    }
}

// The monitor keeps the last size it had: a full-screen window already sized
// to it stays as it is until the compositor configures another.
void WaylandBackend::OnGlobalRemove(uint32_t name)
{
    if (output != nullptr && name == outputName) {
        if (outputDescription != nullptr) {
            zxdg_output_v1_destroy(outputDescription);
            outputDescription = nullptr;
        }
        ReleaseOutput();
        output = nullptr;
    }
}

void WaylandBackend::ReleaseOutput()
{
    if (wl_output_get_version(output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
        wl_output_release(output);
    } else {
        wl_output_destroy(output);
    }
}

void WaylandBackend::OnOutputMode(uint32_t flags, int32_t width, int32_t height)
{
    if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) {
        modeWidth = width;
        modeHeight = height;
    }
}

void WaylandBackend::OnOutputGeometry(int32_t transform)
{
    outputTransform = transform;
}

void WaylandBackend::OnOutputScale(int32_t scale)
{
    outputScale = std::max(scale, 1);
}

// A surface on the output takes its scale, as it enters and as the scale
// changes; the quarter-size surface keeps scale 1.
void WaylandBackend::OnSurfaceEnter(WindowHandle window, const wl_output* entered)
{
    NativeWindow* native = Find(window);
    if (native != nullptr && entered == output) {
        native->onOutput = true;
        ApplyScale(*native);
    }
}

void WaylandBackend::OnOutputDone()
{
    for (auto& entry : windows) {
        if (entry.second->onOutput) {
            ApplyScale(*entry.second);
        }
    }
}

void WaylandBackend::ApplyScale(NativeWindow& native)
{
    const int32_t scale = native.keepsOwnSize ? 1 : outputScale;
    if (scale == native.scale || native.surface == nullptr) {
        return;
    }
    native.scale = scale;
    wl_surface_set_buffer_scale(native.surface, scale);
    Resize(native, native.width, native.height);
}

void WaylandBackend::OnOutputLogicalSize(int32_t width, int32_t height)
{
    logicalWidth = width;
    logicalHeight = height;
}

void WaylandBackend::OnSeatCapabilities(uint32_t capabilities)
{
    const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    const bool hasPointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    if (hasKeyboard && keyboard == nullptr) {
        keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(keyboard, &kKeyboardListener, this);
    } else if (!hasKeyboard && keyboard != nullptr) {
        ReleaseKeyboard();
    }
    if (hasPointer && pointer == nullptr) {
        pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(pointer, &kPointerListener, this);
    } else if (!hasPointer && pointer != nullptr) {
        ReleasePointer();
    }
}

void WaylandBackend::ReleasePointer()
{
    if (pointer != nullptr) {
        if (wl_pointer_get_version(pointer) >= WL_POINTER_RELEASE_SINCE_VERSION) {
            wl_pointer_release(pointer);
        } else {
            wl_pointer_destroy(pointer);
        }
        pointer = nullptr;
    }
    pointerSurface = nullptr;
}

void WaylandBackend::ReleaseKeyboard()
{
    if (keyboard != nullptr) {
        if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
            wl_keyboard_release(keyboard);
        } else {
            wl_keyboard_destroy(keyboard);
        }
        keyboard = nullptr;
    }
    keyboardSurface = nullptr;
    if (keyState != nullptr) {
        xkb_state_unref(keyState);
        keyState = nullptr;
    }
    if (keymap != nullptr) {
        xkb_keymap_unref(keymap);
        keymap = nullptr;
    }
}

void WaylandBackend::OnKeymap(int fd, uint32_t size)
{
    void* text = size > 0 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    close(fd);
    if (text == MAP_FAILED) {
        return;
    }
    if (xkbContext == nullptr) {
        xkbContext = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    }
    // The text ends with its terminating zero, which the length leaves out.
    xkb_keymap* loaded =
        xkbContext != nullptr
            ? xkb_keymap_new_from_buffer(xkbContext, static_cast<const char*>(text),
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
    if (keyState != nullptr) {
        xkb_state_unref(keyState);
    }
    if (keymap != nullptr) {
        xkb_keymap_unref(keymap);
    }
    keymap = loaded;
    keyState = state;
}

void WaylandBackend::OnModifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group)
{
    if (keyState != nullptr) {
        xkb_state_update_mask(keyState, depressed, latched, locked, 0, 0, group);
    }
}

void WaylandBackend::OnKey(uint32_t key, bool pressed)
{
    // Evdev key codes are eight below the XKB key codes of the keymap.
    const uint32_t code = key + 8;
    QueueKey(code, pressed);
    if (pressed && keymap != nullptr && xkb_keymap_key_repeats(keymap, code)) {
        keyRepeat.Press(code, TrellisTickCount());
    } else if (!pressed) {
        keyRepeat.Release(code);
    }
}

void WaylandBackend::OnRepeatInfo(int32_t rate, int32_t delay)
{
    keyRepeat.SetRate(rate, delay);
}

void WaylandBackend::RepeatHeldKey()
{
    for (uint32_t due = keyRepeat.Due(TrellisTickCount()); due > 0; --due) {
        QueueKey(keyRepeat.Held(), true);
    }
}

// Modifiers as they stand before the key's own press or release: the
// compositor sends the change only after the key.
uint32_t WaylandBackend::Modifiers() const
{
    if (keyState == nullptr) {
        return 0;
    }
    const auto active = [this](const char* name) {
        return xkb_state_mod_name_is_active(keyState, name, XKB_STATE_MODS_EFFECTIVE) > 0;
    };
    return (active(XKB_MOD_NAME_SHIFT) ? kTrellisModShift : 0) | (active(XKB_MOD_NAME_CTRL) ? kTrellisModControl : 0) |
           (active(XKB_MOD_NAME_ALT) ? kTrellisModAlt : 0) | (active(XKB_MOD_NAME_LOGO) ? kTrellisModSuper : 0) |
           (active(XKB_MOD_NAME_CAPS) ? kTrellisModCapsLock : 0);
}

// A press of a key that is down already is one of its repeats.
void WaylandBackend::QueueKey(uint32_t code, bool pressed)
{
    const NativeWindow* native = FindBySurface(keyboardSurface);
    if (native == nullptr || keyState == nullptr) {
        return;
    }
    NativeEvent message{native->handle};
    message.keyCode = code;
    TrellisEvent& event = message.input;
    event.kind = pressed ? TrellisEventKind::KeyDown : TrellisEventKind::KeyUp;
    // The key is named by its symbol without modifiers, at the active layout.
    const xkb_keysym_t* symbols = nullptr;
    const xkb_layout_index_t layout = xkb_state_key_get_layout(keyState, code);
    if (xkb_keymap_key_get_syms_by_level(keymap, code, layout == XKB_LAYOUT_INVALID ? 0 : layout, 0, &symbols) > 0) {
        event.key = KeyOfSymbol(symbols[0]);
    }
    event.modifiers = Modifiers();
    if (pressed) {
        // Text entry takes printable characters; Return, Tab and the like are keys.
        char text[sizeof event.text];
        const int length = xkb_state_key_get_utf8(keyState, code, text, sizeof text);
        if (length > 0 && static_cast<unsigned char>(text[0]) >= 0x20 && text[0] != 0x7F) {
            SetEventText(event, text, std::min<size_t>(size_t(length), sizeof text - 1));
        }
    }
    Deliver(message);
}

void WaylandBackend::OnKeyboardEnter(wl_surface* surface)
{
    keyboardSurface = surface;
    QueueFocus(surface, TrellisEventKind::FocusGained);
}

void WaylandBackend::OnKeyboardLeave(wl_surface* surface)
{
    QueueFocus(surface, TrellisEventKind::FocusLost);
    if (surface == keyboardSurface) {
        keyboardSurface = nullptr;
        keyRepeat.Stop();
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
    if (FindBySurface(surface) == nullptr || pointer == nullptr) {
        return;
    }
    pointerSerial = serial;
    if (pointerHidden) {
        wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
        return;
    }
    if (cursorTheme == nullptr && shm != nullptr) {
        const char* sizeText = std::getenv("XCURSOR_SIZE");
        const int size = sizeText != nullptr && std::atoi(sizeText) > 0 ? std::atoi(sizeText) : 24;
        cursorTheme = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), size * outputScale, shm);
    }
    wl_cursor* arrow = nullptr;
    if (cursorTheme != nullptr) {
        arrow = wl_cursor_theme_get_cursor(cursorTheme, "left_ptr");
        arrow = arrow != nullptr ? arrow : wl_cursor_theme_get_cursor(cursorTheme, "default");
    }
    if (arrow == nullptr || arrow->image_count == 0 || pointer == nullptr) {
        return;
    }
    wl_cursor_image* image = arrow->images[0];
    wl_buffer* buffer = wl_cursor_image_get_buffer(image);
    if (buffer == nullptr) {
        return;
    }
    if (pointerImage == nullptr) {
        pointerImage = wl_compositor_create_surface(compositor);
    }
    // A theme without the larger size gives an image that may not divide.
    const int32_t scale = image->width % uint32_t(outputScale) == 0 && image->height % uint32_t(outputScale) == 0
                              ? outputScale
                              : 1;
    wl_surface_set_buffer_scale(pointerImage, scale);
    wl_surface_attach(pointerImage, buffer, 0, 0);
    wl_surface_damage(pointerImage, 0, 0, INT32_MAX, INT32_MAX);
    wl_surface_commit(pointerImage);
    wl_pointer_set_cursor(pointer, serial, pointerImage, int32_t(image->hotspot_x) / scale,
                          int32_t(image->hotspot_y) / scale);
}

void WaylandBackend::OnPointerEnter(wl_surface* surface, double x, double y)
{
    pointerSurface = surface;
    OnPointerMotion(x, y);
}

void WaylandBackend::OnPointerLeave(wl_surface* surface)
{
    if (surface == pointerSurface) {
        Deliver(PointerEvent(TrellisEventKind::PointerLeave));
        pointerSurface = nullptr;
    }
}

void WaylandBackend::OnPointerMotion(double x, double y)
{
    pointerX = x;
    pointerY = y;
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

void WaylandBackend::OnPointerAxisDiscrete(uint32_t axis, int32_t steps)
{
    if (axis <= WL_POINTER_AXIS_HORIZONTAL_SCROLL) {
        pendingSteps[axis] = steps;
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
    const float steps = pendingSteps[axis] != 0 ? float(pendingSteps[axis]) : float(value / 10.0);
    pendingSteps[axis] = 0;
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
    const NativeWindow* native = FindBySurface(pointerSurface);
    NativeEvent event{native != nullptr ? native->handle : kNoWindow};
    event.input.kind = kind;
    const int32_t scale = native != nullptr ? native->scale : 1;
    event.input.x = static_cast<int32_t>(pointerX * scale);
    event.input.y = static_cast<int32_t>(pointerY * scale);
    event.input.modifiers = Modifiers();
    return event;
}

void WaylandBackend::OnToplevelConfigure(WindowHandle window, int32_t width, int32_t height, bool fixedSize)
{
    if (NativeWindow* native = Find(window)) {
        native->pendingWidth = width;
        native->pendingHeight = height;
        native->pendingFixed = fixedSize;
    }
}

void WaylandBackend::OnToplevelClose(WindowHandle window)
{
    Deliver(NativeEvent{window, NativeEventKind::Close});
}

// A configure takes effect here. Every window follows the size the
// compositor asks for, in full screen too, except the quarter-size surface,
// which keeps its own and is shown alone on the output. No size (0 x 0)
// leaves the choice to the window: it goes back to its floating size, the
// last it had outside full screen and maximized.
void WaylandBackend::OnSurfaceConfigure(WindowHandle window)
{
    NativeWindow* native = Find(window);
    if (native == nullptr) {
        return;
    }
    native->configured = true;
    const bool sized = native->pendingWidth > 0 && native->pendingHeight > 0;
    int32_t width = native->keepsOwnSize ? native->width : sized ? native->pendingWidth : native->floatingWidth;
    int32_t height = native->keepsOwnSize ? native->height : sized ? native->pendingHeight : native->floatingHeight;
    // A compositor may offer more than the driver renders; the surface stays within.
    if (native->maxWidth > 0 && native->maxHeight > 0) {
        width = std::min(width, native->maxWidth / native->scale);
        height = std::min(height, native->maxHeight / native->scale);
    }
    if (!native->pendingFixed) {
        native->floatingWidth = width;
        native->floatingHeight = height;
    }
    Resize(*native, width, height);
}

// The surface takes a size in surface units; its buffers, the window's
// rectangle and the application count pixels of the buffer.
void WaylandBackend::Resize(NativeWindow& native, int32_t width, int32_t height)
{
    const int32_t pixelsWide = width * native.scale;
    const int32_t pixelsHigh = height * native.scale;
    if (native.eglWindow != nullptr) {
        wl_egl_window_resize(native.eglWindow, pixelsWide, pixelsHigh, 0, 0);
    }
    native.width = width;
    native.height = height;
    if (pixelsWide != native.clientWidth || pixelsHigh != native.clientHeight) {
        native.clientWidth = pixelsWide;
        native.clientHeight = pixelsHigh;
        NativeEvent resize{native.handle};
        resize.input.kind = TrellisEventKind::Resize;
        resize.input.width = pixelsWide;
        resize.input.height = pixelsHigh;
        Deliver(resize);
    }
}

WaylandBackend::NativeWindow* WaylandBackend::Find(WindowHandle window) const
{
    const auto found = windows.find(window);
    return found == windows.end() ? nullptr : found->second.get();
}

WaylandBackend::NativeWindow* WaylandBackend::FindBySurface(const wl_surface* surface) const
{
    if (surface == nullptr) {
        return nullptr;
    }
    for (const auto& entry : windows) {
        if (entry.second->surface == surface) {
            return entry.second.get();
        }
    }
    return nullptr;
}

wl_surface* WaylandBackend::NativeSurface(WindowHandle window) const
{
    const NativeWindow* native = Find(window);
    return native != nullptr ? native->surface : nullptr;
}

// Windows are records until they render: a surface without a buffer shows
// nothing on Wayland, so the toplevel is made with the rendering surface.
bool WaylandBackend::OpenWindow(WindowHandle window, const Rect& client, bool, bool, const char16_t* title)
{
    auto native = std::make_unique<NativeWindow>();
    native->owner = this;
    native->handle = window;
    native->clientWidth = client.right - client.left;
    native->clientHeight = client.bottom - client.top;
    native->title = NarrowUtf16(title);
    windows[window] = std::move(native);
    return true;
}

bool WaylandBackend::MakeToplevel(NativeWindow& native)
{
    // Sharp on a scaled output: a buffer pixel for each of its pixels. The
    // quarter-size surface keeps its pixels and leaves the scaling to the
    // compositor.
    native.scale = native.keepsOwnSize ? 1 : outputScale;
    native.width = native.clientWidth / native.scale;
    native.height = native.clientHeight / native.scale;
    native.floatingWidth = native.width;
    native.floatingHeight = native.height;
    native.surface = wl_compositor_create_surface(compositor);
    wl_surface_add_listener(native.surface, &kWindowSurfaceListener, &native);
    wl_surface_set_buffer_scale(native.surface, native.scale);
    // The scene's alpha is not meant as the window's translucency.
    wl_region* opaque = wl_compositor_create_region(compositor);
    wl_region_add(opaque, 0, 0, INT32_MAX, INT32_MAX);
    wl_surface_set_opaque_region(native.surface, opaque);
    wl_region_destroy(opaque);
    if (decorator != nullptr && !native.fullScreenRequested) {
        MakeFramedToplevel(native);
    } else {
        MakePlainToplevel(native);
    }
    while (!native.configured) {
        if (!DispatchBlocking()) {
            ConnectionLost();
        }
    }
    native.eglWindow = wl_egl_window_create(native.surface, std::max(native.width * native.scale, 1),
                                            std::max(native.height * native.scale, 1));
    return native.eglWindow != nullptr;
}

void WaylandBackend::MakePlainToplevel(NativeWindow& native)
{
    native.shellSurface = xdg_wm_base_get_xdg_surface(wmBase, native.surface);
    xdg_surface_add_listener(native.shellSurface, &kSurfaceListener, &native);
    native.toplevel = xdg_surface_get_toplevel(native.shellSurface);
    xdg_toplevel_add_listener(native.toplevel, &kToplevelListener, &native);
    xdg_toplevel_set_title(native.toplevel, native.title.c_str());
    // Desktops match the program's name to its launcher and icon.
    xdg_toplevel_set_app_id(native.toplevel, program_invocation_short_name);
    if (decorationManager != nullptr) {
        native.decoration = zxdg_decoration_manager_v1_get_toplevel_decoration(decorationManager, native.toplevel);
        zxdg_toplevel_decoration_v1_set_mode(native.decoration, ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE);
    }
    if (native.fullScreenRequested) {
        xdg_toplevel_set_fullscreen(native.toplevel, output);
    }
    // The first commit carries no buffer; the compositor answers with the
    // configure that must be acknowledged before the first frame is attached.
    wl_surface_commit(native.surface);
}

// libdecor makes the toplevel and draws a title bar that moves, resizes and
// closes the window; mapping it commits and brings the first configure.
void WaylandBackend::MakeFramedToplevel(NativeWindow& native)
{
    native.frame = libdecor_decorate(decorator, native.surface, &kFrameInterface, &native);
    libdecor_frame_set_title(native.frame, native.title.c_str());
    libdecor_frame_set_app_id(native.frame, program_invocation_short_name);
    if (native.maxWidth > 0 && native.maxHeight > 0) {
        libdecor_frame_set_max_content_size(native.frame, native.maxWidth / native.scale,
                                            native.maxHeight / native.scale);
    }
    libdecor_frame_map(native.frame);
}

void WaylandBackend::PlaceWindow(WindowHandle window, Rect& client)
{
    NativeWindow* native = Find(window);
    if (native == nullptr) {
        return;
    }
    // The shell knows this size already: no resize comes back for it.
    native->clientWidth = client.right - client.left;
    native->clientHeight = client.bottom - client.top;
    if (native->eglWindow == nullptr) {
        return;
    }
    const int32_t width = (client.right - client.left) / native->scale;
    const int32_t height = (client.bottom - client.top) / native->scale;
    if (width > 0 && height > 0) {
        Resize(*native, width, height);
        if (native->frame != nullptr) {
            // libdecor's frame follows a size the program chose.
            libdecor_state* size = libdecor_state_new(width, height);
            libdecor_frame_commit(native->frame, size, nullptr);
            libdecor_state_free(size);
        }
    }
}

void WaylandBackend::DestroyNative(NativeWindow& native)
{
    if (native.frameRequest != nullptr) {
        wl_callback_destroy(native.frameRequest);
    }
    if (native.eglWindow != nullptr) {
        wl_egl_window_destroy(native.eglWindow);
    }
    if (native.decoration != nullptr) {
        zxdg_toplevel_decoration_v1_destroy(native.decoration);
    }
    if (native.frame != nullptr) {
        libdecor_frame_unref(native.frame);
    }
    if (native.toplevel != nullptr) {
        xdg_toplevel_destroy(native.toplevel);
    }
    if (native.shellSurface != nullptr) {
        xdg_surface_destroy(native.shellSurface);
    }
    if (native.surface != nullptr) {
        if (native.surface == keyboardSurface) {
            keyboardSurface = nullptr;
        }
        if (native.surface == pointerSurface) {
            pointerSurface = nullptr;
        }
        wl_surface_destroy(native.surface);
    }
    native = NativeWindow{};
}

void WaylandBackend::CloseWindow(WindowHandle window)
{
    if (NativeWindow* native = Find(window)) {
        DestroyNative(*native);
        windows.erase(window);
        wl_display_flush(display);
    }
}

void WaylandBackend::LimitClientSize(WindowHandle window, int32_t maxWidth, int32_t maxHeight)
{
    NativeWindow* native = Find(window);
    if (native == nullptr || maxWidth <= 0 || maxHeight <= 0) {
        return;
    }
    native->maxWidth = maxWidth;
    native->maxHeight = maxHeight;
    if (native->frame != nullptr) {
        libdecor_frame_set_max_content_size(native->frame, maxWidth / native->scale, maxHeight / native->scale);
        wl_display_flush(display);
    } else if (native->toplevel != nullptr) {
        xdg_toplevel_set_max_size(native->toplevel, maxWidth / native->scale, maxHeight / native->scale);
        wl_display_flush(display);
    }
}

void WaylandBackend::SetTitle(WindowHandle window, const char16_t* title)
{
    if (NativeWindow* native = Find(window)) {
        native->title = NarrowUtf16(title);
        if (native->frame != nullptr) {
            libdecor_frame_set_title(native->frame, native->title.c_str());
            wl_display_flush(display);
        } else if (native->toplevel != nullptr) {
            xdg_toplevel_set_title(native->toplevel, native->title.c_str());
            wl_display_flush(display);
        }
    }
}

void WaylandBackend::MakeFullScreen(WindowHandle window, bool spansMonitor)
{
    if (NativeWindow* native = Find(window)) {
        native->fullScreenRequested = true;
        // Only a window the shell sized to the monitor takes the compositor's full-screen size.
        native->keepsOwnSize = !spansMonitor;
        if (native->frame != nullptr) {
            libdecor_frame_set_fullscreen(native->frame, output);
            wl_display_flush(display);
        } else if (native->toplevel != nullptr) {
            xdg_toplevel_set_fullscreen(native->toplevel, output);
            wl_display_flush(display);
        }
    }
}

bool WaylandBackend::SetSwapInterval(EGLDisplay, int32_t interval)
{
    framePaced = interval != 0;
    return true;
}

// The compositor answers with a configure: the monitor's size, or for the
// framed window its floating size, which a window that started in full
// screen has yet to get and takes from `framedClient`.
bool WaylandBackend::SwitchFullScreen(WindowHandle window, bool on, const Rect& framedClient)
{
    NativeWindow* native = Find(window);
    if (native == nullptr || (native->frame == nullptr && native->toplevel == nullptr)) {
        return false;
    }
    native->fullScreenRequested = on;
    native->keepsOwnSize = false;
    if (!on && (native->floatingWidth <= 0 || native->floatingHeight <= 0)) {
        native->floatingWidth = std::max(1, (framedClient.right - framedClient.left) / native->scale);
        native->floatingHeight = std::max(1, (framedClient.bottom - framedClient.top) / native->scale);
    }
    if (native->frame != nullptr && on) {
        libdecor_frame_set_fullscreen(native->frame, output);
    } else if (native->frame != nullptr) {
        libdecor_frame_unset_fullscreen(native->frame);
    } else if (on) {
        xdg_toplevel_set_fullscreen(native->toplevel, output);
    } else {
        xdg_toplevel_unset_fullscreen(native->toplevel);
    }
    wl_display_flush(display);
    return true;
}

// Hidden: no image on enter, and none now where the pointer is over the window.
bool WaylandBackend::ShowPointer(WindowHandle window, bool show)
{
    NativeWindow* native = Find(window);
    if (native == nullptr) {
        return false;
    }
    pointerHidden = !show;
    if (native->surface != nullptr && native->surface == pointerSurface) {
        ShowPointerImage(pointerSurface, pointerSerial);
        wl_display_flush(display);
    }
    return true;
}

// The monitor is the output in the pixels of a buffer that fills it: its
// logical size (where xdg-output tells it, else its mode turned by its
// transform and divided by its scale) times its scale. Without an output
// (none announced yet) it is the headless backend's 640 x 480, so that sizes
// derived from it stay positive.
Rect WaylandBackend::Monitor()
{
    if (modeWidth <= 0 || modeHeight <= 0) {
        return Rect{0, 0, 640, 480};
    }
    const bool turned = (outputTransform & 1) != 0;  // 90 and 270 degrees, flipped or not
    const bool described = logicalWidth > 0 && logicalHeight > 0;
    const int32_t width = described ? logicalWidth : (turned ? modeHeight : modeWidth) / outputScale;
    const int32_t height = described ? logicalHeight : (turned ? modeWidth : modeHeight) / outputScale;
    return Rect{0, 0, width * outputScale, height * outputScale};
}

void WaylandBackend::PollEvents()
{
    ReadEvents();
    RepeatHeldKey();
}

void WaylandBackend::ReadEvents()
{
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) {
            ConnectionLost();
        }
    }
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        ConnectionLost();
    }
    pollfd ready{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&ready, 1, 0) > 0) {
        if (wl_display_read_events(display) < 0) {
            ConnectionLost();
        }
    } else {
        wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0) {
        ConnectionLost();
    }
}

bool WaylandBackend::DispatchBlocking()
{
    return wl_display_dispatch(display) >= 0;
}

void WaylandBackend::AwaitFrame(NativeWindow& native, uint32_t timeoutMs)
{
    const uint32_t start = TrellisTickCount();
    for (;;) {
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) {
                ConnectionLost();
            }
        }
        const uint32_t waited = TrellisTickCount() - start;
        if (native.frameRequest == nullptr || waited >= timeoutMs) {
            wl_display_cancel_read(display);
            return;
        }
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display);
            ConnectionLost();
        }
        pollfd ready{wl_display_get_fd(display), POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(timeoutMs - waited)) > 0) {
            if (wl_display_read_events(display) < 0) {
                ConnectionLost();
            }
        } else {
            wl_display_cancel_read(display);
        }
        if (wl_display_dispatch_pending(display) < 0) {
            ConnectionLost();
        }
    }
}

// Nothing can be shown any more and every later call would fail: the
// program ends here, as an X11 program does when its server goes. Exit
// handlers are skipped, since they would talk to the lost connection.
void WaylandBackend::ConnectionLost()
{
    EndForLostConnection(wl_display_get_error(display) == EPROTO
                             ? "The Wayland compositor ended the connection over a protocol error\n"
                             : "The Wayland compositor has gone away\n");
}

EGLDisplay WaylandBackend::GetEGLDisplay()
{
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) {
        return EGL_NO_DISPLAY;
    }
    eglDisplay = getPlatformDisplay(EGL_PLATFORM_WAYLAND_EXT, display, nullptr);
    return eglDisplay;
}

// With no colour size asked for, Mesa's Wayland platform picks a 16-bit
// (RGB565) configuration first, and with 8 bits asked for as a minimum a
// 10-bit one that not every compositor shows. Where the driver offers one
// with exactly 8 bits a colour, that one is named by its identifier; one with
// 8 bits of alpha comes first, since llvmpipe presents what glClear wrote to
// its alpha-less one as black. The surface's opaque region keeps the alpha
// from showing.
void WaylandBackend::GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes)
{
    FillEGLConfigAttributes(EGL_WINDOW_BIT, fsaaMode, attributes);
    EGLConfig configs[64];
    EGLint count = 0;
    if (eglDisplay == EGL_NO_DISPLAY || !eglChooseConfig(eglDisplay, attributes, configs, 64, &count)) {
        return;
    }
    EGLint chosen = 0;
    for (EGLint i = 0; i < count; ++i) {
        EGLint red = 0, green = 0, blue = 0, alpha = 0, id = 0;
        eglGetConfigAttrib(eglDisplay, configs[i], EGL_RED_SIZE, &red);
        eglGetConfigAttrib(eglDisplay, configs[i], EGL_GREEN_SIZE, &green);
        eglGetConfigAttrib(eglDisplay, configs[i], EGL_BLUE_SIZE, &blue);
        eglGetConfigAttrib(eglDisplay, configs[i], EGL_ALPHA_SIZE, &alpha);
        eglGetConfigAttrib(eglDisplay, configs[i], EGL_CONFIG_ID, &id);
        if (red == 8 && green == 8 && blue == 8 && (chosen == 0 || alpha == 8)) {
            chosen = id;
            if (alpha == 8) {
                break;
            }
        }
    }
    if (chosen != 0) {
        const EGLint named[] = {EGL_CONFIG_ID, chosen, EGL_NONE};
        std::copy(std::begin(named), std::end(named), attributes);
    }
}

EGLSurface WaylandBackend::CreateEGLSurface(EGLDisplay eglConnection, EGLConfig config, WindowHandle window,
                                            const Rect&)
{
    NativeWindow* native = Find(window);
    if (native == nullptr || (native->surface == nullptr && !MakeToplevel(*native))) {
        return EGL_NO_SURFACE;
    }
    native->eglSurface = eglCreateWindowSurface(eglConnection, config,
                                                reinterpret_cast<EGLNativeWindowType>(native->eglWindow), nullptr);
    native->swapsUnpaced = false;
    return native->eglSurface;
}

WaylandBackend::NativeWindow* WaylandBackend::FindBySwapSurface(EGLSurface surface) const
{
    for (const auto& entry : windows) {
        if (entry.second->eglSurface == surface && surface != EGL_NO_SURFACE) {
            return entry.second.get();
        }
    }
    return nullptr;
}

// With EGL's swap interval of 1 Mesa waits in the swap for the compositor's
// frame callback, which never comes to a window it does not show: the
// program would hang there, deaf to its close and its pings. Here the swap
// never waits, and the wait for the frame callback that follows pumps the
// events and ends after a while, so a hidden window goes on at a slow pace
// and a shown one at the compositor's.
EGLBoolean WaylandBackend::SwapBuffers(EGLDisplay eglConnection, EGLSurface surface)
{
    NativeWindow* native = FindBySwapSurface(surface);
    if (native == nullptr) {
        return eglSwapBuffers(eglConnection, surface);
    }
    if (!native->swapsUnpaced) {
        native->swapsUnpaced = eglSwapInterval(eglConnection, 0) == EGL_TRUE;
    }
    if (native->frameRequest == nullptr) {
        native->frameRequest = wl_surface_frame(native->surface);
        wl_callback_add_listener(native->frameRequest, &kFrameListener, native);
    }
    const EGLBoolean presented = eglSwapBuffers(eglConnection, surface);
    if (presented == EGL_TRUE && framePaced) {
        AwaitFrame(*native, kLongestFrameWaitMs);
    }
    return presented;
}

} // namespace trellis
