#pragma once
#include <map>

#include "shell/ce/WindowBackend.h"

namespace trellis {

// Headless backend: no display server at all.
// Supports: a virtual monitor (640 x 480 unless given), windows of any size
// and place, and a real rendering context on Mesa's surfaceless EGL platform
// with a pbuffer of the window's client size in place of a window surface.
// Does not support: input of any kind (no events), frames, showing anything
// on a screen.
class HeadlessBackend : public WindowBackend {
public:
    explicit HeadlessBackend(int32_t monitorWidth = 640, int32_t monitorHeight = 480);

    bool OpenWindow(WindowHandle window, const Rect& client, bool framed, bool visible,
                    const char16_t* title) override;
    void CloseWindow(WindowHandle window) override;
    void PlaceWindow(WindowHandle window, Rect& client) override;
    void ShowWindow(WindowHandle, bool) override {}
    void RaiseWindow(WindowHandle) override {}
    void SetTitle(WindowHandle, const char16_t*) override {}
    void LimitClientSize(WindowHandle, int32_t, int32_t) override {}
    void MakeFullScreen(WindowHandle, bool) override {}
    Rect Monitor() override { return monitor; }
    void PollEvents() override {}
    EGLDisplay GetEGLDisplay() override;
    void GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes) override;
    EGLSurface CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window) override;
    EGLBoolean SwapBuffers(EGLDisplay display, EGLSurface surface) override;
    std::string Describe() const override;
    const char* SurfaceCall() const override { return "eglCreatePbufferSurface"; }

private:
    Rect monitor;
    std::map<WindowHandle, Rect> clients;  // the size a window's pbuffer takes
};

} // namespace trellis
