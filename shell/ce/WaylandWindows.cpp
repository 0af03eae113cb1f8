#include "shell/ce/WaylandBackend.h"

#include <libdecor.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include "shell/Utf8.h"
#include "shell/ce/WaylandInternal.h"

namespace trellis {

namespace {

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

} // namespace

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

// `fixedSize`: the compositor holds the window at its size (full screen,
// maximized or tiled), so the size is no floating size to come back to.
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
        if (native.surface == devices->keyboardSurface) {
            devices->keyboardSurface = nullptr;
        }
        if (native.surface == devices->pointerSurface) {
            devices->pointerSurface = nullptr;
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

} // namespace trellis
