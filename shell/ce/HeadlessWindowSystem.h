#pragma once
#include "shell/ce/BasicWindowSystem.h"

namespace trellis {

// Headless backend: no display server at all.
// Supports: a virtual monitor (640 x 480 unless given), windows as records with
// their placement and user data, messages the program posts (WM_QUIT included),
// and a real rendering context on Mesa's surfaceless EGL platform with a
// pbuffer of the window's client size in place of a window surface.
// Does not support: input of any kind (no native messages), a display driver
// (no escapes), showing anything on a screen.
class HeadlessWindowSystem : public BasicWindowSystem {
public:
    explicit HeadlessWindowSystem(int32_t monitorWidth = 640, int32_t monitorHeight = 480, Rect frame = Rect{0, 0, 0, 0});

    Rect GetMonitorRect(WindowHandle window) override;
    EGLDisplay GetEGLDisplay(DeviceContext dc) override;
    void GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes) override;
    EGLSurface CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window) override;
    EGLBoolean SwapBuffers(EGLDisplay display, EGLSurface surface) override;
    std::string Describe() const override;
    const char* SurfaceCall() const override { return "eglCreatePbufferSurface"; }

private:
    Rect monitor;
};

} // namespace trellis
