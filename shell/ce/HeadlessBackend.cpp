#include "shell/ce/HeadlessBackend.h"

#include <EGL/eglext.h>
#include <GLES/gl.h>

namespace trellis {

HeadlessBackend::HeadlessBackend(int32_t monitorWidth, int32_t monitorHeight)
    : monitor{0, 0, monitorWidth, monitorHeight}
{
}

EGLDisplay HeadlessBackend::GetEGLDisplay()
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

void HeadlessBackend::GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes)
{
    FillEGLConfigAttributes(EGL_PBUFFER_BIT, fsaaMode, attributes);
}

EGLSurface HeadlessBackend::CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle, const Rect& client)
{
    const EGLint attributes[] = {EGL_WIDTH, client.right - client.left, EGL_HEIGHT, client.bottom - client.top,
                                 EGL_NONE};
    return eglCreatePbufferSurface(display, config, attributes);
}

// Swapping a pbuffer hands nothing on, so without a flush the driver queues
// frame after frame and never draws them: Mesa's software rasteriser keeps
// every one in memory. The flush submits each frame, as a window's swap does.
EGLBoolean HeadlessBackend::SwapBuffers(EGLDisplay display, EGLSurface surface)
{
    glFlush();
    return eglSwapBuffers(display, surface);
}

std::string HeadlessBackend::Describe() const
{
    return "the headless window system (Mesa's surfaceless EGL platform, no display)";
}

} // namespace trellis
