#pragma once
#include "shell/ce/WindowBackend.h"

namespace trellis {

// Headless backend: no display server at all.
// Supports: a virtual monitor (640 x 480 unless given), windows of any size
// and place, and a real rendering context on Mesa's surfaceless EGL platform
// with a pbuffer of the window's client size in place of a window surface.
// Does not support: input of any kind (no events), frames, showing anything.
class HeadlessBackend : public WindowBackend {
public:
    explicit HeadlessBackend(int32_t monitorWidth = 640, int32_t monitorHeight = 480);

    bool OpenWindow(WindowHandle, const Rect&, bool, bool, const char16_t*) override { return true; }
    void CloseWindow(WindowHandle) override {}
    void PlaceWindow(WindowHandle, Rect&) override {}
    Rect Monitor() override { return monitor; }
    void PollEvents() override {}
    EGLDisplay GetEGLDisplay() override;
    void GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes) override;
    EGLSurface CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window,
                                const Rect& client) override;
    EGLBoolean SwapBuffers(EGLDisplay display, EGLSurface surface) override;
    std::string Describe() const override;
    const char* SurfaceCall() const override { return "eglCreatePbufferSurface"; }

private:
    Rect monitor;
};

} // namespace trellis
