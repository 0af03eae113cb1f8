#include "shell/ce/HeadlessWindowSystem.h"

#include <EGL/eglext.h>
#include <GLES/gl.h>

namespace trellis {

HeadlessWindowSystem::HeadlessWindowSystem(int32_t monitorWidth, int32_t monitorHeight, Rect frame)
    : BasicWindowSystem(frame), monitor{0, 0, monitorWidth, monitorHeight}
{
}

Rect HeadlessWindowSystem::GetMonitorRect(WindowHandle)
{
    return monitor;
}

EGLDisplay HeadlessWindowSystem::GetEGLDisplay(DeviceContext)
{
    // The surfaceless platform needs no native display; without it there is
    // no display, and eglInitialize reports the failure.
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) {
        return EGL_NO_DISPLAY;
    }
    return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

void HeadlessWindowSystem::GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes)
{
    FillEGLConfigAttributes(EGL_PBUFFER_BIT, fsaaMode, attributes);
}

EGLSurface HeadlessWindowSystem::CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window)
{
    if (FindWindow(window) == nullptr) {
        return EGL_NO_SURFACE;
    }
    const Rect client = GetClientRect(window);
    const EGLint attributes[] = {EGL_WIDTH, client.right - client.left, EGL_HEIGHT, client.bottom - client.top,
                                 EGL_NONE};
    return eglCreatePbufferSurface(display, config, attributes);
}

// Swapping a pbuffer hands nothing on, so without a flush the driver queues
// frame after frame and never draws them: Mesa's software rasteriser keeps
// every one in memory. The flush submits each frame, as a window's swap does.
EGLBoolean HeadlessWindowSystem::SwapBuffers(EGLDisplay display, EGLSurface surface)
{
    glFlush();
    return eglSwapBuffers(display, surface);
}

std::string HeadlessWindowSystem::Describe() const
{
    return "the headless window system (Mesa's surfaceless EGL platform, no display)";
}

} // namespace trellis
