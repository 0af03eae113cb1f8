#include "shell/ce/TrellisPlatformCE.h"

#include <GLES/gl.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "shell/ExtensionString.h"
#include "shell/ShellData.h"
#include "shell/TrellisApp.h"
#include "shell/Utf8.h"
#include "shell/ce/EGLErrorName.h"

namespace trellis {

namespace {

constexpr EGLint kContextLost = 0x300E;  // EGL_CONTEXT_LOST

// A context that is lost again at every attempt to make it current is retried
// for this long, with waits that double from the first to the longest between
// attempts, before the set-up fails as any other failure to make it current.
constexpr uint32_t kLostContextRetrySeconds = 10;
constexpr uint32_t kFirstRetryWaitMs = 10;
constexpr uint32_t kLongestRetryWaitMs = 1000;

// Swap failures in a row, none of them a lost context, after which the frames
// are taken to go nowhere and the loop ends as a failure.
constexpr int32_t kSwapFailureLimit = 100;

// The desktop the dual-display restore repaints, whatever size the run used.
constexpr int32_t kDesktopWidth = 640;
constexpr int32_t kDesktopHeight = 480;

constexpr const char16_t* kRedrawClassName = u"RedrawDesktop";
constexpr uint32_t kRedrawWindowExStyle = 0x04000008;  // top-most, no animation

} // namespace

bool IsQuarterSize(int32_t width, int32_t height)
{
    return (width == 320 && height == 240) || (width == 240 && height == 320);
}

TrellisPlatformCE::TrellisPlatformCE(TrellisApp* application, WindowSystem& windowSystem)
    : app(application), shellData(application->GetShellData()), system(windowSystem)
{
    shellData->width = 640;
    shellData->height = 480;
}

int32_t TrellisPlatformCE::InitPlatform()
{
    windowTitle = u"Trellis";
    className = u"TrellisClass";
    TakeApplicationTitle();
    RegisterWindowClass();
    // No window or surface has a negative size; that is the reason to give,
    // not a failed EGL set-up.
    if (shellData->width < 0 || shellData->height < 0) {
        app->ShellLog("Invalid surface size %d x %d: a size cannot be negative\n", shellData->width,
                      shellData->height);
        return 0;
    }
    if (CreateAppWindow() == 0) {
        app->ShellLog("InitEGL failed!!\n");
        // The entry ends the program without ReleasePlatform; a display
        // system left in the custom configuration would outlive it.
        if (windows.dualDisplayActive != 0) {
            StopDualDisplay();
        }
        return 0;
    }
    // A program that started in full screen gets a framed window of half the monitor.
    framedWidth = shellData->fullScreen == 1 ? (monitor.right - monitor.left) / 2 : shellData->width;
    framedHeight = shellData->fullScreen == 1 ? (monitor.bottom - monitor.top) / 2 : shellData->height;
    AttachToApp(*app, this);
    return 1;
}

void TrellisPlatformCE::RegisterWindowClass()
{
    system.RegisterClass(
        WindowClass{CS_HREDRAW_VREDRAW, ShellWindowProc, instanceHandle, NO_CURSOR, WHITE_BRUSH, className});
}

int32_t TrellisPlatformCE::CreateAppWindow()
{
    instanceHandle = nullptr;
    int32_t created = 0;
    if (shellData->fullScreen == 1 && IsQuarterSize(shellData->width, shellData->height)) {
        created = CreateQuarterSizeWindows();
    } else if (shellData->fullScreen == 1) {
        created = CreateFullScreenWindow();
    } else {
        created = CreateFramedWindow();
    }
    if (created == 0) {
        return 0;
    }
    shellData->portrait = monitor.right <= monitor.bottom ? 1 : 0;
    system.SetWindowUserData(windows.mainWindow, shellData);
    if (InitEGL(windows.mainWindow) == 0 || KeepSurfaceWithinDriverLimits() == 0) {
        return 0;
    }
    system.ShowWindow(windows.mainWindow, windows.showCommand);
    system.UpdateWindow(windows.mainWindow);
    return 1;
}

void TrellisPlatformCE::PlaceFullScreen(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height)
{
    system.SetWindowPos(window, HWND_TOPMOST, 0, 0, width, height, 0);
    system.SetForegroundWindow(window);
    system.FullScreen(window, SHFS_HIDE_ALL);
    system.MoveWindow(window, x, y, width, height, true);
}

// Mode A: a 320 x 240 (or 240 x 320) surface at the top left, with a window
// covering the rest of the desktop behind it.
int32_t TrellisPlatformCE::CreateQuarterSizeWindows()
{
    const int32_t width = shellData->width;
    const int32_t height = shellData->height;
    // The cover hides the whole desktop: on the device that is the 640 x 480
    // (or 480 x 640) screen, elsewhere whatever size the monitor has.
    const Rect desktop = system.GetMonitorRect(kNoWindow);
    const int32_t coverWidth = desktop.right - desktop.left;
    const int32_t coverHeight = desktop.bottom - desktop.top;
    windows.coverMode = 1;
    windows.coverWindow = system.CreateWindowEx(0, className, windowTitle, WS_VISIBLE, desktop.left, desktop.top,
                                                coverWidth, coverHeight, instanceHandle);
    if (windows.coverWindow == kNoWindow) {
        return 0;
    }
    system.SetWindowPos(windows.coverWindow, HWND_TOPMOST, desktop.left, desktop.top, coverWidth, coverHeight, 0);
    system.SetForegroundWindow(windows.coverWindow);
    system.ShowWindow(windows.coverWindow, windows.showCommand);
    system.UpdateWindow(windows.coverWindow);

    windows.mainWindow =
        system.CreateWindowEx(0, className, windowTitle, WS_VISIBLE, 0, 0, width, height, instanceHandle);
    if (windows.mainWindow == kNoWindow) {
        return 0;
    }
    monitor = system.GetMonitorRect(windows.mainWindow);
    PlaceFullScreen(windows.mainWindow, 0, 0, width, height);

    windows.dualDisplayActive = QueryDualDisplay();
    if (windows.dualDisplayActive != 0) {
        StartDualDisplay();
    }
    return 1;
}

// Mode B: the surface takes the whole monitor.
int32_t TrellisPlatformCE::CreateFullScreenWindow()
{
    windows.mainWindow = system.CreateWindowEx(0, className, windowTitle, WS_VISIBLE, 0, 0, shellData->width,
                                               shellData->height, instanceHandle);
    if (windows.mainWindow == kNoWindow) {
        return 0;
    }
    monitor = system.GetMonitorRect(windows.mainWindow);
    shellData->width = monitor.right;
    shellData->height = monitor.bottom;
    PlaceFullScreen(windows.mainWindow, monitor.left, monitor.top, monitor.right, monitor.bottom);
    return 1;
}

Rect TrellisPlatformCE::FramedWindowRect() const
{
    const int32_t left = shellData->defaultPosition == 1 ? 20 : shellData->posX;
    const int32_t top = shellData->defaultPosition == 1 ? 50 : shellData->posY;
    Rect rect{left, top, left + shellData->width, top + shellData->height};
    system.AdjustWindowRectEx(rect, WS_FRAMED, false, 0);
    return rect;
}

// Mode C: a framed window, shrunk to fit the monitor when no size was given,
// and always centred on it.
int32_t TrellisPlatformCE::CreateFramedWindow()
{
    Rect rect = FramedWindowRect();
    windows.mainWindow = system.CreateWindowEx(0, className, windowTitle, WS_VISIBLE | WS_FRAMED, rect.left, rect.top,
                                               rect.right - rect.left, rect.bottom - rect.top, instanceHandle);
    if (windows.mainWindow == kNoWindow) {
        return 0;
    }
    monitor = system.GetMonitorRect(windows.mainWindow);
    if (shellData->defaultSize == 1) {
        const int32_t monitorWidth = monitor.right - monitor.left;
        const int32_t monitorHeight = monitor.bottom - monitor.top;
        // Halving stops at a size that fits or, for a monitor smaller than
        // the frame alone, at nothing left to halve.
        while ((rect.right - rect.left > monitorWidth || rect.bottom - rect.top > monitorHeight) &&
               (shellData->width > 0 || shellData->height > 0)) {
            shellData->width /= 2;
            shellData->height /= 2;
            rect = FramedWindowRect();
        }
        system.SetWindowPos(windows.mainWindow, HWND_TOP, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                            SWP_NOMOVE);
    }
    CentreWindow(windows.mainWindow);
    return 1;
}

// A surface larger than the driver renders takes it down (or takes all the
// memory there is), so the size is held at the driver's viewport limit: the
// window is made that size and the surface made again on it before anything
// is drawn. The window system keeps the window within that size afterwards.
int32_t TrellisPlatformCE::KeepSurfaceWithinDriverLimits()
{
    GLint limits[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, limits);
    if (limits[0] <= 0 || limits[1] <= 0) {
        return 1;
    }
    system.LimitClientSize(windows.mainWindow, limits[0], limits[1]);
    const int32_t width = std::min<int32_t>(shellData->width, limits[0]);
    const int32_t height = std::min<int32_t>(shellData->height, limits[1]);
    if (width == shellData->width && height == shellData->height) {
        return 1;
    }
    app->ShellLog("Surface size %d x %d is larger than the driver renders; using %d x %d\n", shellData->width,
                  shellData->height, width, height);
    shellData->width = width;
    shellData->height = height;
    const bool framed = windows.coverMode == 0 && shellData->fullScreen == 0;
    if (framed) {
        const Rect rect = FramedWindowRect();
        system.SetWindowPos(windows.mainWindow, HWND_TOP, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                            SWP_NOMOVE);
        CentreWindow(windows.mainWindow);
    } else {
        system.SetWindowPos(windows.mainWindow, HWND_TOP, 0, 0, width, height, SWP_NOMOVE);
    }
    eglMakeCurrent(eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroySurface(eglDisplay, eglSurface);
    eglSurface = system.CreateEGLSurface(eglDisplay, eglConfig, windows.mainWindow);
    if (eglSurface == EGL_NO_SURFACE) {
        system.DebugOutput(u"Unable to create window surface\n");
        return 0;
    }
    if (!eglMakeCurrent(eglDisplay, eglSurface, eglSurface, eglContext)) {
        system.DebugOutput(u"Unable to make current context\n");
        return 0;
    }
    return 1;
}

// Centred in the part of the monitor that panels and docks leave free, which
// on the device is the whole monitor.
void TrellisPlatformCE::CentreWindow(WindowHandle window)
{
    const Rect work = system.GetWorkRect(window);
    const Rect rect = system.GetWindowRect(window);
    const int32_t x = work.left + (work.right - work.left - (rect.right - rect.left)) / 2;
    const int32_t y = work.top + (work.bottom - work.top - (rect.bottom - rect.top)) / 2;
    system.SetWindowPos(window, HWND_TOP, x, y, 0, 0, SWP_MOVE_ONLY);
}

int32_t TrellisPlatformCE::QueryDualDisplay()
{
    // The third word starts at 0 so that a driver that does not answer means
    // "no secondary display" rather than whatever the buffer held.
    DualDispControl control{1, 0, 0};
    const DeviceContext screen = system.GetDC(kNoWindow);
    system.ExtEscape(screen, kEscapeDualDisplayQuery, sizeof control, &control, sizeof control, &control);
    system.ReleaseDC(kNoWindow, screen);
    return static_cast<int32_t>(control.ui32Word2);
}

void TrellisPlatformCE::SendDualDisplayEscape(int32_t escape, uint32_t word0, uint32_t word1)
{
    DualDispControl control{word0, word1, 0};
    const DeviceContext screen = system.GetDC(kNoWindow);
    system.ExtEscape(screen, escape, sizeof control, &control, sizeof control, &control);
    system.ReleaseDC(kNoWindow, screen);
}

// Called once both windows exist and before EGL comes up on the main window.
// A failed configuration is already reported and changes nothing here: the
// application runs in whatever configuration the driver holds.
void TrellisPlatformCE::StartDualDisplay()
{
    dualDisplay.DualDispSetup();
    SendDualDisplayEscape(kEscapeDualDisplaySwitch, 0, 1);
}

// Called from ReleasePlatform before EGL is shut down, whether or not the
// set-up succeeded. The restore destroys the windows itself.
void TrellisPlatformCE::StopDualDisplay()
{
    SendDualDisplayEscape(kEscapeDualDisplaySwitch, 0, 0);
    dualDisplay.RestoreDefaultDisplayMode();
    SendDualDisplayEscape(kEscapeDualDisplayQuery, 0, 1);
    windows.dualDisplayActive = 0;
}

PlatformDesktop::PlatformDesktop(WindowSystem& windowSystem, PlatformWindows& platformWindows,
                                 void* const& platformInstance)
    : system(windowSystem), windows(platformWindows), instanceHandle(platformInstance)
{
}

// The desktop has to be repainted on the primary display before the driver
// takes the secondary controller's frame buffer away; without an application
// window a plain black one does it.
void PlatformDesktop::RedrawDesktop()
{
    if (windows.mainWindow == kNoWindow) {
        system.RegisterClass(WindowClass{CS_HREDRAW_VREDRAW, TrellisPlatformCE::RedrawDesktopProc, instanceHandle,
                                         ARROW_CURSOR, BLACK_BRUSH, kRedrawClassName});
        windows.mainWindow = system.CreateWindowEx(kRedrawWindowExStyle, kRedrawClassName, nullptr, WS_VISIBLE, 0, 0,
                                                   kDesktopWidth, kDesktopHeight, instanceHandle);
    }
    if (windows.mainWindow == kNoWindow) {
        return;
    }
    system.InvalidateRect(windows.mainWindow, Rect{0, 0, kDesktopWidth, kDesktopHeight}, true);
    system.SetForegroundWindow(windows.mainWindow);
    system.FullScreen(windows.mainWindow, SHFS_HIDE_ALL);
    system.MoveWindow(windows.mainWindow, 0, 0, kDesktopWidth, kDesktopHeight, true);
    system.ShowWindow(windows.mainWindow, windows.showCommand);
    system.UpdateWindow(windows.mainWindow);
}

void PlatformDesktop::DestroyWindows()
{
    DestroyMainAndCoverWindows(system, windows.mainWindow, windows.coverWindow, windows.showCommand);
}

void TrellisPlatformCE::ExplainEGLFailure(const char* call, EGLint error)
{
    app->ShellLog("%s failed with %s on %s\n", call, EGLErrorName(error), system.Backend().Describe().c_str());
}

int32_t TrellisPlatformCE::InitEGL(WindowHandle window)
{
    const uint32_t firstAttempt = system.GetTickCount();
    uint32_t wait = kFirstRetryWaitMs;
    for (;;) {
        deviceContext = system.GetDC(window);
        eglDisplay = system.GetEGLDisplay(deviceContext);
        if (!eglInitialize(eglDisplay, &eglMajor, &eglMinor)) {
            system.DebugOutput(u"Unable to initialise egl\n");
            ExplainEGLFailure(eglDisplay == EGL_NO_DISPLAY ? "eglGetDisplay" : "eglInitialize", eglGetError());
            return 0;
        }
        powerManagement = IsEGLExtensionSupported("EGL_XAN_power_management");
        eglConfig = ChooseEGLConfig();
        eglContext = eglCreateContext(eglDisplay, eglConfig, EGL_NO_CONTEXT, nullptr);
        if (eglContext == EGL_NO_CONTEXT) {
            system.DebugOutput(u"Unable to create a context\n");
            ExplainEGLFailure(eglConfig == nullptr ? "eglChooseConfig" : "eglCreateContext", eglGetError());
            return 0;
        }
        eglSurface = system.CreateEGLSurface(eglDisplay, eglConfig, window);
        if (eglSurface == EGL_NO_SURFACE) {
            system.DebugOutput(u"Unable to create window surface\n");
            ExplainEGLFailure(system.Backend().SurfaceCall(), eglGetError());
            return 0;
        }
        if (eglMakeCurrent(eglDisplay, eglSurface, eglSurface, eglContext)) {
            return 1;
        }
        const EGLint error = eglGetError();
        const bool retry = error == kContextLost && powerManagement == 1 &&
                           system.GetTickCount() - firstAttempt < kLostContextRetrySeconds * 1000;
        if (!retry) {
            system.DebugOutput(u"Unable to make current context\n");
            ExplainEGLFailure("eglMakeCurrent", error);
            return 0;
        }
        // The context was taken away while it was being made current: release
        // what this attempt made, let the device settle, then start again
        // from the device context.
        eglDestroySurface(eglDisplay, eglSurface);
        eglDestroyContext(eglDisplay, eglContext);
        eglTerminate(eglDisplay);
        system.Sleep(wait);
        wait = wait * 2 < kLongestRetryWaitMs ? wait * 2 : kLongestRetryWaitMs;
    }
}

EGLConfig TrellisPlatformCE::ChooseEGLConfig()
{
    EGLint attributes[32];
    system.GetEGLConfigAttributes(shellData->fsaaMode, attributes);
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (eglChooseConfig(eglDisplay, attributes, &config, 1, &count) && count == 1) {
        return config;
    }
    return nullptr;
}

int32_t TrellisPlatformCE::IsEGLExtensionSupported(const char* name)
{
    return ExtensionListContains(eglQueryString(eglDisplay, EGL_EXTENSIONS), name);
}

void TrellisPlatformCE::ReleaseEGL()
{
    eglSwapBuffers(eglDisplay, eglSurface);
    eglMakeCurrent(eglDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(eglDisplay, eglContext);
    eglDestroySurface(eglDisplay, eglSurface);
    eglTerminate(eglDisplay);
    // A set-up that fails half-way must not leave handles of this one behind.
    eglSurface = EGL_NO_SURFACE;
    eglContext = EGL_NO_CONTEXT;
}

void TrellisPlatformCE::EndFrame()
{
    EGLint error = EGL_SUCCESS;
    if (system.Backend().SwapBuffers(eglDisplay, eglSurface)) {
        swapFailures = 0;
    } else if ((error = eglGetError()) == kContextLost && powerManagement == 1) {
        swapFailures = 0;
        Recover();
    } else {
        app->ShellLog("eglSwapBuffers failed\n");
        ExplainEGLFailure("eglSwapBuffers", error);
        if (++swapFailures >= kSwapFailureLimit) {
            failed = 1;
        }
    }
    PumpMainWindow();
    if (windows.coverMode == 1) {
        PumpCoverWindow();
    }
    if (app->GetWindowTitleVersion() != titleVersion && windows.mainWindow != kNoWindow) {
        TakeApplicationTitle();
        system.SetWindowText(windows.mainWindow, windowTitle);
    }
}

// The window keeps "Trellis" unless the application named it.
void TrellisPlatformCE::TakeApplicationTitle()
{
    titleVersion = app->GetWindowTitleVersion();
    if (const char* title = app->GetWindowTitle()) {
        // At most 127 bytes, so at most 127 units and the terminator.
        titleText[WidenUtf8(title, std::strlen(title), titleText)] = 0;
        windowTitle = titleText;
    }
}

// Hands the application what a main-window message carries for it. A window
// resized by a person, a window manager or a compositor (which sizes
// full-screen surfaces too) takes the new size into ShellData first.
void TrellisPlatformCE::DeliverEvent(TrellisEvent& event)
{
    switch (event.kind) {
    case TrellisEventKind::NoEvent:
        return;
    case TrellisEventKind::Resize:
        if (event.width <= 0 || event.height <= 0 ||
            (event.width == shellData->width && event.height == shellData->height)) {
            return;
        }
        shellData->width = event.width;
        shellData->height = event.height;
        break;
    case TrellisEventKind::PointerMove:
    case TrellisEventKind::ButtonDown:
    case TrellisEventKind::ButtonUp:
    case TrellisEventKind::Wheel:
        event.y = shellData->height - 1 - event.y;
        break;
    default:
        break;
    }
    TrackAppKeys(*app, event);
    app->HandleEvent(event);
}

// The context went away with the device's power: rebuild EGL on the window
// that stays open and let the application reload what lived in the context.
// When either step fails there is nothing to draw with, and the loop ends.
void TrellisPlatformCE::Recover()
{
    shellData->recovering = 1;
    app->ReleaseScene();
    ReleaseEGL();
    if (InitEGL(windows.mainWindow) == 0) {
        failed = 1;
        shellData->recovering = 0;
        return;
    }
    // The interval belongs to the surface, which is new.
    if (swapInterval >= 0) {
        system.Backend().SetSwapInterval(eglDisplay, swapInterval);
    }
    if (app->InitScene(shellData->width, shellData->height) == 0) {
        app->ShellLog("InitScene returned 0\n");
        failed = 1;
    }
    shellData->recovering = 0;
}

void TrellisPlatformCE::PumpMainWindow()
{
    WindowMessage message{};
    while (system.PeekMessage(message, windows.mainWindow)) {
        if (message.message == WM_QUIT) {
            quitRequested = 1;
            return;
        }
        DeliverEvent(message.event);
        if (message.message == WM_NULL) {
            continue;
        }
        if (!system.TranslateAccelerator(windows.mainWindow, accelerators, message)) {
            system.TranslateMessage(message);
            system.DispatchMessage(message);
        }
    }
}

// The cover window's messages are translated but never dispatched: in full
// screen a tap on it ends the program.
void TrellisPlatformCE::PumpCoverWindow()
{
    WindowMessage message{};
    while (system.PeekMessage(message, windows.coverWindow)) {
        if (message.message == WM_QUIT || (message.message == WM_LBUTTONDOWN && shellData->fullScreen == 1)) {
            quitRequested = 1;
            return;
        }
        if (!system.TranslateAccelerator(windows.coverWindow, accelerators, message)) {
            system.TranslateMessage(message);
        }
    }
}

int32_t TrellisPlatformCE::SetSwapInterval(int32_t interval)
{
    if (interval < 0) {
        app->ShellLog("SetSwapInterval: the interval cannot be negative\n");
        return 0;
    }
    if (!system.Backend().SetSwapInterval(eglDisplay, interval)) {
        app->ShellLog("SetSwapInterval: %s refused the interval\n", system.Backend().Describe().c_str());
        return 0;
    }
    swapInterval = interval;
    return 1;
}

// Centred in the work area, as a framed window starts.
Rect TrellisPlatformCE::FramedClientRect() const
{
    Rect window{0, 0, framedWidth, framedHeight};
    system.AdjustWindowRectEx(window, WS_FRAMED, false, 0);
    const Rect work = system.GetWorkRect(windows.mainWindow);
    const int32_t left = work.left + (work.right - work.left - (window.right - window.left)) / 2 - window.left;
    const int32_t top =
        work.top + std::max(0, (work.bottom - work.top - (window.bottom - window.top)) / 2) - window.top;
    return Rect{left, top, left + framedWidth, top + framedHeight};
}

int32_t TrellisPlatformCE::SetFullScreen(bool on)
{
    if (windows.coverMode == 1 || IsQuarterSize(shellData->width, shellData->height)) {
        app->ShellLog("SetFullScreen: a quarter-size surface keeps the mode it started in\n");
        return 0;
    }
    if ((shellData->fullScreen == 1) == on) {
        return 1;
    }
    if (on) {
        framedWidth = shellData->width;
        framedHeight = shellData->height;
    }
    if (!system.Backend().SwitchFullScreen(windows.mainWindow, on, FramedClientRect())) {
        app->ShellLog("SetFullScreen has no meaning on %s\n", system.Backend().Describe().c_str());
        return 0;
    }
    if (!modeSwitched) {
        startingMode = *shellData;
        modeSwitched = true;
        system.SetWindowUserData(windows.mainWindow, &startingMode);
    }
    shellData->fullScreen = on ? 1 : 0;
    return 1;
}

int32_t TrellisPlatformCE::ShowCursor(bool show)
{
    if (!system.Backend().ShowPointer(windows.mainWindow, show)) {
        app->ShellLog("ShowCursor has no meaning on %s\n", system.Backend().Describe().c_str());
        return 0;
    }
    return 1;
}

void TrellisPlatformCE::ReleasePlatform()
{
    AttachToApp(*app, nullptr);
    if (windows.dualDisplayActive != 0) {
        StopDualDisplay();
    }
    ReleaseEGL();
    DestroyMainAndCoverWindows(system, windows.mainWindow, windows.coverWindow, windows.showCommand);
    // Destroying the windows posted a quit message that no pump will take; a
    // later run on the same window system must not start with it.
    WindowMessage message{};
    while (system.PeekMessage(message, kNoWindow)) {
    }
}

int32_t TrellisPlatformCE::MainLoop()
{
    if (loopStartTime == 0) {
        loopStartTime = system.GetTickCount();
    }
    for (;;) {
        shellData->frameResult = app->RenderFrame();
        if (shellData->frameResult != 0 || quitRequested != 0) {
            break;
        }
        EndFrame();
        if (failed != 0) {
            break;
        }
        if (shellData->quitAfterFrame >= 0 && shellData->frameCount >= shellData->quitAfterFrame) {
            break;
        }
        if (shellData->quitAfterTime >= 0.0f) {
            const float elapsed = static_cast<float>(system.GetTickCount() - loopStartTime) * 0.001f;
            if (elapsed >= shellData->quitAfterTime) {
                break;
            }
        }
        // A 32-bit counter: after 2^31 frames it wraps rather than overflows.
        shellData->frameCount = static_cast<int32_t>(static_cast<uint32_t>(shellData->frameCount) + 1u);
    }
    return shellData->frameResult;
}

intptr_t TrellisPlatformCE::ShellWindowProc(WindowSystem& system, WindowHandle window, uint32_t message,
                                            uintptr_t wParam, intptr_t lParam)
{
    // A window without user data (the cover window) counts as not full screen.
    const auto* data = static_cast<const ShellData*>(system.GetWindowUserData(window));
    const bool fullScreen = data != nullptr && data->fullScreen != 0;
    switch (message) {
    case WM_PAINT:
        system.BeginPaint(window);
        system.EndPaint(window);
        return 0;
    case WM_DESTROY:
    case WM_CLOSE:
        system.PostQuitMessage(0);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_KILLFOCUS:
        if (fullScreen) {
            system.PostQuitMessage(0);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            system.PostQuitMessage(0);
        }
        return 0;
    case WM_SIZE:
        return 0;
    default:
        return system.DefWindowProc(window, message, wParam, lParam);
    }
}

intptr_t TrellisPlatformCE::RedrawDesktopProc(WindowSystem& system, WindowHandle window, uint32_t message,
                                              uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case WM_DESTROY:
        system.PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        system.BeginPaint(window);
        system.EndPaint(window);
        return 0;
    default:
        return system.DefWindowProc(window, message, wParam, lParam);
    }
}

} // namespace trellis
