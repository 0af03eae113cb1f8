#include "shell/ce/WaylandBackend.h"

#include <EGL/eglext.h>
#include <poll.h>
#include <libdecor.h>
#include <wayland-client.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include "shell/DebugOutput.h"
#include "shell/Ticks.h"
#include "shell/ce/WaylandInternal.h"

namespace trellis {

namespace {

// How long the end of a frame waits for the compositor to ask for the next:
// a window it does not show (hidden, or on a blanked output) is never asked,
// and still renders, at this pace.
constexpr uint32_t kLongestFrameWaitMs = 250;

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

void FrameWanted(void* data, wl_callback* callback, uint32_t)
{
    auto* native = static_cast<WaylandBackend::NativeWindow*>(data);
    wl_callback_destroy(callback);
    native->frameRequest = nullptr;
}

const wl_callback_listener kFrameListener = {FrameWanted};

void DecoratorError(libdecor*, libdecor_error, const char* message)
{
    TrellisDebugOutputUtf8(std::string("libdecor: ") + message + "\n");
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

WaylandBackend::WaylandBackend(wl_display* connection) : display(connection), devices(std::make_unique<Devices>()) {}

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
    if (devices->pointerImage != nullptr) {
        wl_surface_destroy(devices->pointerImage);
    }
    if (devices->cursorTheme != nullptr) {
        wl_cursor_theme_destroy(devices->cursorTheme);
    }
    if (devices->shm != nullptr) {
        wl_shm_destroy(devices->shm);
    }
    if (devices->seat != nullptr) {
        if (wl_seat_get_version(devices->seat) >= WL_SEAT_RELEASE_SINCE_VERSION) {
            wl_seat_release(devices->seat);
        } else {
            wl_seat_destroy(devices->seat);
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
    if (devices->xkbContext != nullptr) {
        xkb_context_unref(devices->xkbContext);
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
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && devices->shm == nullptr) {
        devices->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && devices->seat == nullptr) {
        devices->seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min<uint32_t>(version, 5)));
        wl_seat_add_listener(devices->seat, &kSeatListener, this);
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

void WaylandBackend::OnOutputDone()
{
    for (auto& entry : windows) {
        if (entry.second->onOutput) {
            ApplyScale(*entry.second);
        }
    }
}

void WaylandBackend::OnOutputLogicalSize(int32_t width, int32_t height)
{
    logicalWidth = width;
    logicalHeight = height;
}

bool WaylandBackend::SetSwapInterval(EGLDisplay, int32_t interval)
{
    framePaced = interval != 0;
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
    ReadEvents(0);
    RepeatHeldKey();
}

// Dispatches the events already read from the connection.
void WaylandBackend::DispatchQueued()
{
    if (wl_display_dispatch_pending(display) < 0) {
        ConnectionLost();
    }
}

// Reads and dispatches what the compositor has sent, waiting at most
// `waitMs` for it to come (0: not at all).
void WaylandBackend::ReadEvents(int waitMs)
{
    while (wl_display_prepare_read(display) != 0) {
        DispatchQueued();
    }
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        ConnectionLost();
    }
    pollfd ready{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&ready, 1, waitMs) > 0) {
        if (wl_display_read_events(display) < 0) {
            ConnectionLost();
        }
    } else {
        wl_display_cancel_read(display);
    }
    DispatchQueued();
}

// Waits for and dispatches the compositor's next events.
bool WaylandBackend::DispatchBlocking()
{
    return wl_display_dispatch(display) >= 0;
}

// Reads and dispatches events until the frame asked for is wanted, or for
// at most `timeoutMs`.
void WaylandBackend::AwaitFrame(NativeWindow& native, uint32_t timeoutMs)
{
    const uint32_t start = TrellisTickCount();
    for (;;) {
        DispatchQueued();
        const uint32_t waited = TrellisTickCount() - start;
        if (native.frameRequest == nullptr || waited >= timeoutMs) {
            return;
        }
        ReadEvents(static_cast<int>(timeoutMs - waited));
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
