#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "shell/ce/HeadlessBackend.h"
#include "shell/ce/WindowSystem.h"

using namespace trellis;

// The window system a program gets without a display.
class HeadlessWindowSystem : public WindowSystem {
public:
    HeadlessWindowSystem() : WindowSystem(std::make_unique<HeadlessBackend>()) {}
};

// Scripted window system, for tests only.
// Supports: a monitor of any size; a Windows CE style frame (4 pixels on the
// sides and bottom, 26 on top with the caption) so that framed windows grow
// as on the device; messages injected by the test; display-driver escapes
// answered by the test; a tick counter the test steps and sleeping moves on
// (no real waiting); failing the n-th window creation; and a record of every
// call, one line each, such as
// "CreateWindowEx TrellisClass Trellis 0x10000000 0 0 640 480 -> 1".
// Rendering is real: the surfaceless EGL platform with a pbuffer of the
// client size, as headless.
class ScriptedWindowSystem : public WindowSystem {
public:
    // Answers one escape: the arguments of ExtEscape, the driver's result.
    using EscapeAnswer = std::function<int32_t(int32_t escape, int32_t inputSize, const void* input,
                                               int32_t outputSize, void* output)>;

    ScriptedWindowSystem(int32_t monitorWidth, int32_t monitorHeight);

    // Every call so far, in order.
    const std::vector<std::string>& Calls() const { return calls; }
    // The calls whose name (first word) is one of `names`, in order.
    std::vector<std::string> Calls(std::initializer_list<const char*> names) const;
    // The windows created so far, in order of creation.
    const std::vector<WindowHandle>& CreatedWindows() const { return created; }

    // Queues a message (with the input event it carries, if any); the next
    // PeekMessage for its window returns it.
    void Inject(const WindowMessage& message) { PostMessage(message); }
    void SetEscapeAnswer(EscapeAnswer answer) { escapeAnswer = std::move(answer); }
    // GetTickCount returns start, start + step, start + 2 step ...
    void SetTicks(uint32_t start, uint32_t step);
    // The n-th CreateWindowEx from now (1 = the next) fails.
    void FailWindowCreation(int n) { failingCreation = n; }

    bool RegisterClass(const WindowClass& windowClass) override;
    WindowHandle CreateWindowEx(uint32_t exStyle, const char16_t* className, const char16_t* title, uint32_t style,
                                int32_t x, int32_t y, int32_t width, int32_t height, void* instance) override;
    void SetWindowPos(WindowHandle window, int32_t insertAfter, int32_t x, int32_t y, int32_t width, int32_t height,
                      uint32_t flags) override;
    void SetForegroundWindow(WindowHandle window) override;
    void ShowWindow(WindowHandle window, int32_t command) override;
    void UpdateWindow(WindowHandle window) override;
    void MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint) override;
    void DestroyWindow(WindowHandle window) override;
    void InvalidateRect(WindowHandle window, const Rect& rect, bool erase) override;
    void SetWindowText(WindowHandle window, const char16_t* title) override;
    void FullScreen(WindowHandle window, uint32_t flags) override;
    Rect GetMonitorRect(WindowHandle window) override;
    Rect GetWindowRect(WindowHandle window) override;
    void AdjustWindowRectEx(Rect& rect, uint32_t style, bool menu, uint32_t exStyle) override;
    void SetWindowUserData(WindowHandle window, void* data) override;
    void* GetWindowUserData(WindowHandle window) override;
    bool PeekMessage(WindowMessage& message, WindowHandle window) override;
    bool TranslateAccelerator(WindowHandle window, uint32_t accelerators, const WindowMessage& message) override;
    void TranslateMessage(const WindowMessage& message) override;
    intptr_t DispatchMessage(const WindowMessage& message) override;
    void PostQuitMessage(int32_t exitCode) override;
    intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    void BeginPaint(WindowHandle window) override;
    void EndPaint(WindowHandle window) override;
    DeviceContext GetDC(WindowHandle window) override;
    void ReleaseDC(WindowHandle window, DeviceContext dc) override;
    DeviceContext CreateDC(const char16_t* driver) override;
    void DeleteDC(DeviceContext dc) override;
    int32_t ExtEscape(DeviceContext dc, int32_t escape, int32_t inputSize, const void* input, int32_t outputSize,
                      void* output) override;
    DeviceContext CreateCompatibleDC(DeviceContext dc) override;
    GdiObject CreateCompatibleBitmap(DeviceContext dc, int32_t width, int32_t height) override;
    GdiObject GetCurrentObject(DeviceContext dc, uint32_t type) override;
    GdiObject SelectObject(DeviceContext dc, GdiObject object) override;
    void DeleteObject(GdiObject object) override;
    void VirtualFree(uint32_t address, uint32_t size, uint32_t type) override;
    void DebugOutput(const char16_t* text) override;
    uint32_t GetTickCount() override;
    // Sleeps nothing: the tick counter moves on by `milliseconds`.
    void Sleep(uint32_t milliseconds) override;
    EGLDisplay GetEGLDisplay(DeviceContext dc) override;
    void GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes) override;
    EGLSurface CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window) override;

private:
    template <typename... Parts>
    void Record(const char* name, const Parts&... parts);

    std::vector<std::string> calls;
    std::vector<WindowHandle> created;
    EscapeAnswer escapeAnswer;
    uint32_t nextTick = 1000;
    uint32_t tickStep = 1;
    int failingCreation = 0;
    uint32_t nextGdiObject = 0x100;
};

// Text of a 16-bit string with every character below 0x80, for records and messages.
std::string Narrow(const char16_t* text);

// Runs the shell's entry on `system`; what it writes to standard error lands in `errors`.
int RunTrellisMain(const char16_t* commandLine, WindowSystem& system, std::string& errors);
