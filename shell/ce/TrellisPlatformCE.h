#pragma once
#include <EGL/egl.h>

#include <cstdint>

#include "dualdisplay/DualDisplay.h"
#include "shell/ShellData.h"
#include "shell/TrellisPlatform.h"
#include "shell/ce/WindowSystem.h"

namespace trellis {

class TrellisApp;

// The windows and display state that outlive any one EGL set-up; the
// dual-display restore reads and clears the windows too.
struct PlatformWindows {
    WindowHandle mainWindow = kNoWindow;   // carries the EGL surface; user data = ShellData
    WindowHandle coverWindow = kNoWindow;  // covers the desktop behind a quarter-size main window
    int32_t showCommand = SW_SHOWNORMAL;
    int32_t coverMode = 0;
    int32_t dualDisplayActive = 0;         // the secondary display was set up and must be restored
};

// The dual-display restore's window work on this window system. The desktop
// is repainted through the main window, or through a black top-most window
// made for it when there is none; then the main and cover windows are
// destroyed and both handles left null. The references stay bound to the
// platform's own state.
class PlatformDesktop final : public DualDisplayPlatform {
public:
    PlatformDesktop(WindowSystem& system, PlatformWindows& windows, void* const& instanceHandle);

    void RedrawDesktop() override;
    void DestroyWindows() override;

private:
    WindowSystem& system;
    PlatformWindows& windows;
    void* const& instanceHandle;
};

// Whether full screen at this client size is the quarter-size mode (a
// surface of that size at the top left) rather than the monitor's size.
bool IsQuarterSize(int32_t width, int32_t height);

// The shell's platform on a Windows CE style window system: window modes,
// EGL set-up with context-loss recovery, presentation, the message pump and
// the window procedures. Native calls go through `system`.
class TrellisPlatformCE : public TrellisPlatform {
public:
    TrellisPlatformCE(TrellisApp* app, WindowSystem& system);

    int32_t InitPlatform() override;
    void EndFrame() override;
    void ReleasePlatform() override;
    int32_t MainLoop() override;
    int32_t HasFailed() const override { return failed; }

    void RegisterWindowClass();
    int32_t CreateAppWindow();
    void CentreWindow(WindowHandle window);
    int32_t QueryDualDisplay();
    int32_t InitEGL(WindowHandle window);
    EGLConfig ChooseEGLConfig();
    int32_t IsEGLExtensionSupported(const char* name);
    void ReleaseEGL();

    static intptr_t ShellWindowProc(WindowSystem& system, WindowHandle window, uint32_t message, uintptr_t wParam,
                                    intptr_t lParam);
    static intptr_t RedrawDesktopProc(WindowSystem& system, WindowHandle window, uint32_t message, uintptr_t wParam,
                                      intptr_t lParam);

    int32_t SetSwapInterval(int32_t interval) override;
    int32_t SetFullScreen(bool on) override;
    int32_t ShowCursor(bool show) override;

    int32_t IsQuitRequested() const { return quitRequested; }
    int32_t HasPowerManagement() const { return powerManagement; }
    const PlatformWindows& Windows() const { return windows; }

    // The driver escape that asks whether a secondary display is available,
    // and the one that switches it on and off.
    static constexpr int32_t kEscapeDualDisplayQuery = 101005;
    static constexpr int32_t kEscapeDualDisplaySwitch = 101004;

private:
    int32_t CreateQuarterSizeWindows();
    int32_t CreateFullScreenWindow();
    int32_t CreateFramedWindow();
    Rect FramedWindowRect() const;
    int32_t KeepSurfaceWithinDriverLimits();
    void PlaceFullScreen(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height);
    void StartDualDisplay();
    void StopDualDisplay();
    void SendDualDisplayEscape(int32_t escape, uint32_t word0, uint32_t word1);
    void Recover();
    Rect FramedClientRect() const;
    void PumpMainWindow();
    void PumpCoverWindow();
    void DeliverEvent(TrellisEvent& event);
    void TakeApplicationTitle();
    // The line after an EGL failure's own message: the call, its error by
    // name, and the window system and display in use.
    void ExplainEGLFailure(const char* call, EGLint error);

    TrellisApp* app;
    ShellData* shellData;
    int32_t quitRequested = 0;
    int32_t powerManagement = 0;
    void* instanceHandle = nullptr;
    const char16_t* windowTitle = nullptr;
    const char16_t* className = nullptr;
    DeviceContext deviceContext = 0;
    uint32_t accelerators = 0;
    EGLDisplay eglDisplay = EGL_NO_DISPLAY;
    EGLSurface eglSurface = EGL_NO_SURFACE;
    EGLContext eglContext = EGL_NO_CONTEXT;
    EGLConfig eglConfig = nullptr;
    EGLint eglMajor = 0;
    EGLint eglMinor = 0;

    WindowSystem& system;
    PlatformWindows windows;
    Rect monitor{0, 0, 0, 0};   // the monitor rectangle the window mode read
    uint32_t loopStartTime = 0;  // tick count at the first entry into MainLoop; 0 until then
    uint32_t titleVersion = 0;     // the application's title version the window shows
    char16_t titleText[128] = {};  // the application's title, when it set one
    int32_t failed = 0;          // a recovery or the presentation failed; the loop ends
    int32_t swapFailures = 0;    // swap failures in a row that were not a lost context
    int32_t swapInterval = -1;   // the application's vsync choice; -1 = the driver's default
    int32_t framedWidth = 0;     // the client size a switch to a framed window takes
    int32_t framedHeight = 0;
    // The record as the window started, which the window procedure reads once
    // the mode has been switched: taps and focus keep ending a program that
    // started in full screen, and only that one.
    ShellData startingMode{};
    bool modeSwitched = false;
    PlatformDesktop desktop{system, windows, instanceHandle};
    DualDisplay dualDisplay{system, desktop};
};

} // namespace trellis
