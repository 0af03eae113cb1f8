#pragma once
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "shell/WindowSystem.h"
#include "shell/ce/EventQueue.h"

namespace trellis {

// The bookkeeping every backend shares: window classes, one record per window
// (procedure, style, rectangle, user data), the posted-message queue with the
// quit message, the queue of native events with their messages, dispatch to
// window procedures, device-context handles, and a display driver that knows
// no escapes. A backend adds the monitor, EGL and, where there is one, the
// native window behind each record and the events it delivers.
class BasicWindowSystem : public WindowSystem {
public:
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
    void LimitClientSize(WindowHandle window, int32_t maxWidth, int32_t maxHeight) override;

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
    void Sleep(uint32_t milliseconds) override;

    // Messages the program posts to one of its windows, delivered before native ones.
    void PostMessage(const WindowMessage& message);
    // The client area of a window, in window-system coordinates; empty for no window.
    Rect GetClientRect(WindowHandle window);

protected:
    struct WindowRecord {
        WindowProc windowProc;
        uint32_t style;
        Rect rect;  // the whole window, frame included
        void* userData;
    };

    // What the frame of a framed window adds on each side; none by default, as
    // where a window manager draws the frame outside the client area.
    explicit BasicWindowSystem(Rect frame = Rect{0, 0, 0, 0});

    // Native hooks: open a window for a new record (false: creation fails),
    // move it, raise it, show or hide it, close it, and read what the window
    // system has sent, without waiting, delivering it. The defaults keep
    // windows as records only.
    virtual bool OpenNativeWindow(WindowHandle window, const WindowRecord& record, const char16_t* title);
    virtual void PlaceNativeWindow(WindowHandle window, const WindowRecord& record);
    virtual void RaiseNativeWindow(WindowHandle window);
    virtual void ShowNativeWindow(WindowHandle window, bool visible);
    virtual void CloseNativeWindow(WindowHandle window);
    virtual void ReadNativeEvents();
    virtual void SetNativeTitle(WindowHandle window, const char16_t* title);

    // The window system resized a window's client area (a person dragging
    // its frame, a window manager tiling it): the record follows.
    void NoteClientSize(WindowHandle window, int32_t width, int32_t height);

    const WindowRecord* FindWindow(WindowHandle window) const;
    // The client area of a record's window, in window-system coordinates.
    Rect ClientRectOf(const WindowRecord& record) const;
    // What the frame adds on each side, once the window system has said.
    void SetFrame(Rect insets) { frame = insets; }
    // Where a window placed at `rect` is actually put; by default where asked.
    virtual void ConstrainPlacement(uint32_t style, Rect& rect);

    // Queues an event of a window for the pump; a key press of a key that is
    // down already arrives as a repeat.
    void Deliver(NativeEvent event);

private:
    static bool IsFramed(uint32_t style);
    bool NextEvent(WindowHandle window, WindowMessage& message);
    void Place(WindowHandle window, int32_t insertAfter, int32_t x, int32_t y, int32_t width, int32_t height,
               uint32_t flags);

    Rect frame;
    std::vector<std::pair<std::u16string, WindowProc>> classes;
    std::map<WindowHandle, WindowRecord> windows;
    WindowHandle nextWindow = 1;
    std::deque<WindowMessage> posted;
    EventQueue events;
    HeldKeys heldKeys;
    bool quitPosted = false;
    int32_t quitCode = 0;
};

} // namespace trellis
