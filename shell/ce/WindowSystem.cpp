#include "shell/ce/WindowSystem.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "shell/DebugOutput.h"
#include "shell/Ticks.h"
#include "shell/ce/KeySymbols.h"

namespace trellis {

namespace {

// Device contexts are plain handles: a window's is derived from the window,
// so taking one allocates nothing and releasing one has nothing to free.
constexpr DeviceContext kScreenDC = 0x80000000u;

bool IsFramed(uint32_t style)
{
    return (style & WS_FRAMED) != 0;
}

uint32_t ButtonMessage(TrellisButton button, bool down)
{
    switch (button) {
    case TrellisButton::Left:
        return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case TrellisButton::Middle:
        return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    case TrellisButton::Right:
        return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    default:
        return WM_NULL;
    }
}

uint32_t InputMessage(const TrellisEvent& input)
{
    switch (input.kind) {
    case TrellisEventKind::KeyDown:
        return WM_KEYDOWN;
    case TrellisEventKind::KeyUp:
        return WM_KEYUP;
    case TrellisEventKind::PointerMove:
        return WM_MOUSEMOVE;
    case TrellisEventKind::ButtonDown:
    case TrellisEventKind::ButtonUp:
        return ButtonMessage(input.button, input.kind == TrellisEventKind::ButtonDown);
    case TrellisEventKind::Wheel:
        // The window procedure knows only the vertical wheel.
        return input.wheelY != 0.0f ? WM_MOUSEWHEEL : WM_NULL;
    case TrellisEventKind::FocusGained:
        return WM_SETFOCUS;
    case TrellisEventKind::FocusLost:
        return WM_KILLFOCUS;
    case TrellisEventKind::Resize:
        return WM_SIZE;
    default:
        return WM_NULL;
    }
}

} // namespace

WindowMessage MessageFor(const NativeEvent& event)
{
    WindowMessage message{event.window, WM_NULL, 0, 0};
    switch (event.kind) {
    case NativeEventKind::Close:
        message.message = WM_CLOSE;
        break;
    case NativeEventKind::Destroy:
        message.message = WM_DESTROY;
        break;
    case NativeEventKind::Repaint:
        message.message = WM_PAINT;
        break;
    case NativeEventKind::Input:
        message.message = InputMessage(event.input);
        message.event = event.input;
        if (event.input.kind == TrellisEventKind::KeyDown || event.input.kind == TrellisEventKind::KeyUp) {
            message.wParam = VirtualKeyOf(event.input.key);
        }
        break;
    }
    return message;
}

WindowSystem::WindowSystem(std::unique_ptr<WindowBackend> windowBackend) : backend(std::move(windowBackend))
{
    backend->SetEventSink(*this);
}

WindowSystem::~WindowSystem() = default;

WindowSystem::WindowRecord* WindowSystem::FindWindow(WindowHandle window)
{
    const auto found = windows.find(window);
    return found == windows.end() ? nullptr : &found->second;
}

bool WindowSystem::RegisterClass(const WindowClass& windowClass)
{
    if (windowClass.className == nullptr || windowClass.windowProc == nullptr) {
        return false;
    }
    for (const auto& known : classes) {
        if (known.first == windowClass.className) {
            return false;
        }
    }
    classes.emplace_back(windowClass.className, windowClass.windowProc);
    return true;
}

WindowHandle WindowSystem::CreateWindowEx(uint32_t, const char16_t* className, const char16_t* title, uint32_t style,
                                          int32_t x, int32_t y, int32_t width, int32_t height, void*)
{
    WindowProc windowProc = nullptr;
    for (const auto& known : classes) {
        if (className != nullptr && known.first == className) {
            windowProc = known.second;
        }
    }
    if (windowProc == nullptr || width < 0 || height < 0) {
        return kNoWindow;
    }
    const WindowHandle window = nextWindow++;
    const WindowRecord record{windowProc, style, Rect{x, y, x + width, y + height}, nullptr};
    if (!backend->OpenWindow(window, ClientRectOf(record), IsFramed(style), (style & WS_VISIBLE) != 0,
                             title != nullptr ? title : u"")) {
        return kNoWindow;
    }
    windows.emplace(window, record);
    return window;
}

void WindowSystem::SetWindowPos(WindowHandle window, int32_t insertAfter, int32_t x, int32_t y, int32_t width,
                                int32_t height, uint32_t flags)
{
    Place(window, insertAfter, x, y, width, height, flags);
}

void WindowSystem::Place(WindowHandle window, int32_t insertAfter, int32_t x, int32_t y, int32_t width,
                         int32_t height, uint32_t flags)
{
    WindowRecord* record = FindWindow(window);
    if (record == nullptr) {
        return;
    }
    const Rect& rect = record->rect;
    const int32_t newX = (flags & SWP_NOMOVE) != 0 ? rect.left : x;
    const int32_t newY = (flags & SWP_NOMOVE) != 0 ? rect.top : y;
    const int32_t newWidth = (flags & SWP_NOSIZE) != 0 ? rect.right - rect.left : width;
    const int32_t newHeight = (flags & SWP_NOSIZE) != 0 ? rect.bottom - rect.top : height;
    record->rect = Rect{newX, newY, newX + newWidth, newY + newHeight};
    // The backend may keep the window somewhere else (where a person can reach its title bar).
    Rect client = ClientRectOf(*record);
    backend->PlaceWindow(window, client);
    record->rect = WindowRectOf(client, record->style);
    if (insertAfter == HWND_TOPMOST) {
        backend->RaiseWindow(window);
    }
}

void WindowSystem::SetForegroundWindow(WindowHandle window)
{
    if (FindWindow(window) != nullptr) {
        backend->RaiseWindow(window);
    }
}

void WindowSystem::ShowWindow(WindowHandle window, int32_t command)
{
    if (FindWindow(window) != nullptr) {
        backend->ShowWindow(window, command != SW_HIDE);
    }
}

// Nothing is painted outside the application's rendering surface, so there is
// no pending paint to deliver at once.
void WindowSystem::UpdateWindow(WindowHandle) {}

void WindowSystem::MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height, bool)
{
    Place(window, HWND_TOP, x, y, width, height, 0);
}

void WindowSystem::DestroyWindow(WindowHandle window)
{
    if (FindWindow(window) == nullptr) {
        return;
    }
    DispatchMessage(WindowMessage{window, WM_DESTROY, 0, 0});
    backend->CloseWindow(window);
    windows.erase(window);
    events.Forget(window);
    for (auto it = posted.begin(); it != posted.end();) {
        it = it->window == window ? posted.erase(it) : it + 1;
    }
}

void WindowSystem::InvalidateRect(WindowHandle window, const Rect&, bool)
{
    for (const auto& message : posted) {
        if (message.window == window && message.message == WM_PAINT) {
            return;
        }
    }
    if (FindWindow(window) != nullptr) {
        posted.push_back(WindowMessage{window, WM_PAINT, 0, 0});
    }
}

void WindowSystem::SetWindowText(WindowHandle window, const char16_t* title)
{
    if (FindWindow(window) != nullptr && title != nullptr) {
        backend->SetTitle(window, title);
    }
}

// There is no task bar or input panel to hide: the window goes over the
// others, full screen where the shell already sized it to the monitor.
void WindowSystem::FullScreen(WindowHandle window, uint32_t)
{
    const WindowRecord* record = FindWindow(window);
    if (record == nullptr) {
        return;
    }
    const Rect& rect = record->rect;
    const Rect monitor = backend->Monitor();
    backend->MakeFullScreen(window, rect.left <= monitor.left && rect.top <= monitor.top &&
                                        rect.right >= monitor.right && rect.bottom >= monitor.bottom);
}

void WindowSystem::LimitClientSize(WindowHandle window, int32_t maxWidth, int32_t maxHeight)
{
    if (FindWindow(window) != nullptr) {
        backend->LimitClientSize(window, maxWidth, maxHeight);
    }
}

Rect WindowSystem::GetMonitorRect(WindowHandle)
{
    return backend->Monitor();
}

Rect WindowSystem::GetWorkRect(WindowHandle)
{
    return backend->WorkArea();
}

Rect WindowSystem::GetWindowRect(WindowHandle window)
{
    const WindowRecord* record = FindWindow(window);
    return record != nullptr ? record->rect : Rect{0, 0, 0, 0};
}

Rect WindowSystem::GetClientRect(WindowHandle window)
{
    const WindowRecord* record = FindWindow(window);
    return record != nullptr ? ClientRectOf(*record) : Rect{0, 0, 0, 0};
}

Rect WindowSystem::ClientRectOf(const WindowRecord& record)
{
    const Rect& rect = record.rect;
    if (!IsFramed(record.style)) {
        return rect;
    }
    const Rect frame = backend->FrameInsets();
    return Rect{rect.left + frame.left, rect.top + frame.top, rect.right - frame.right, rect.bottom - frame.bottom};
}

Rect WindowSystem::WindowRectOf(const Rect& client, uint32_t style)
{
    Rect rect = client;
    AdjustWindowRectEx(rect, style, false, 0);
    return rect;
}

void WindowSystem::AdjustWindowRectEx(Rect& rect, uint32_t style, bool, uint32_t)
{
    if (IsFramed(style)) {
        const Rect frame = backend->FrameInsets();
        rect = Rect{rect.left - frame.left, rect.top - frame.top, rect.right + frame.right, rect.bottom + frame.bottom};
    }
}

void WindowSystem::SetWindowUserData(WindowHandle window, void* data)
{
    if (WindowRecord* record = FindWindow(window)) {
        record->userData = data;
    }
}

void* WindowSystem::GetWindowUserData(WindowHandle window)
{
    const WindowRecord* record = FindWindow(window);
    return record != nullptr ? record->userData : nullptr;
}

void WindowSystem::PostMessage(const WindowMessage& message)
{
    posted.push_back(message);
}

bool WindowSystem::PeekMessage(WindowMessage& message, WindowHandle window)
{
    for (auto it = posted.begin(); it != posted.end(); ++it) {
        if (it->window == window || it->window == kNoWindow) {
            message = *it;
            posted.erase(it);
            return true;
        }
    }
    if (FindWindow(window) != nullptr && NextEvent(window, message)) {
        return true;
    }
    // The quit message comes once the queue holds nothing else.
    if (quitPosted) {
        quitPosted = false;
        message = WindowMessage{kNoWindow, WM_QUIT, static_cast<uintptr_t>(quitCode), 0};
        return true;
    }
    return false;
}

// What the window system sent is read only once the events already queued are taken.
bool WindowSystem::NextEvent(WindowHandle window, WindowMessage& message)
{
    NativeEvent event;
    if (!events.Pop(window, event)) {
        backend->PollEvents();
        if (!events.Pop(window, event)) {
            return false;
        }
    }
    message = MessageFor(event);
    return true;
}

void WindowSystem::Deliver(const NativeEvent& event)
{
    WindowRecord* record = FindWindow(event.window);
    if (record == nullptr) {
        return;
    }
    NativeEvent queued = event;
    heldKeys.Note(queued);
    if (event.kind == NativeEventKind::Input) {
        if (event.input.kind == TrellisEventKind::FocusLost) {
            heldKeys.ReleaseAll();
        }
        // The shell reads the size from the window's rectangle as soon as the resize arrives.
        if (event.input.kind == TrellisEventKind::Resize) {
            Rect client = ClientRectOf(*record);
            client.right = client.left + event.input.width;
            client.bottom = client.top + event.input.height;
            record->rect = WindowRectOf(client, record->style);
        }
    }
    events.Push(queued);
}

// The shell loads no accelerator table, so there is nothing to translate into.
bool WindowSystem::TranslateAccelerator(WindowHandle, uint32_t, const WindowMessage&)
{
    return false;
}

// Keys arrive only as WM_KEYDOWN; no character messages are derived from them.
void WindowSystem::TranslateMessage(const WindowMessage&) {}

intptr_t WindowSystem::DispatchMessage(const WindowMessage& message)
{
    const WindowRecord* record = FindWindow(message.window);
    if (record == nullptr) {
        return 0;
    }
    return record->windowProc(*this, message.window, message.message, message.wParam, message.lParam);
}

void WindowSystem::PostQuitMessage(int32_t exitCode)
{
    quitPosted = true;
    quitCode = exitCode;
}

intptr_t WindowSystem::DefWindowProc(WindowHandle, uint32_t, uintptr_t, intptr_t)
{
    return 0;
}

void WindowSystem::BeginPaint(WindowHandle window)
{
    for (auto it = posted.begin(); it != posted.end(); ++it) {
        if (it->window == window && it->message == WM_PAINT) {
            posted.erase(it);
            return;
        }
    }
}

void WindowSystem::EndPaint(WindowHandle) {}

DeviceContext WindowSystem::GetDC(WindowHandle window)
{
    if (window == kNoWindow) {
        return kScreenDC;
    }
    return FindWindow(window) != nullptr ? window : 0;
}

void WindowSystem::ReleaseDC(WindowHandle, DeviceContext) {}

DeviceContext WindowSystem::CreateDC(const char16_t*)
{
    return 0;
}

void WindowSystem::DeleteDC(DeviceContext) {}

int32_t WindowSystem::ExtEscape(DeviceContext, int32_t, int32_t, const void*, int32_t, void*)
{
    return 0;
}

DeviceContext WindowSystem::CreateCompatibleDC(DeviceContext)
{
    return 0;
}

GdiObject WindowSystem::CreateCompatibleBitmap(DeviceContext, int32_t, int32_t)
{
    return 0;
}

GdiObject WindowSystem::GetCurrentObject(DeviceContext, uint32_t)
{
    return 0;
}

GdiObject WindowSystem::SelectObject(DeviceContext, GdiObject)
{
    return 0;
}

void WindowSystem::DeleteObject(GdiObject) {}

void WindowSystem::VirtualFree(uint32_t, uint32_t, uint32_t) {}

void WindowSystem::DebugOutput(const char16_t* text)
{
    TrellisDebugOutput(text);
}

uint32_t WindowSystem::GetTickCount()
{
    return TrellisTickCount();
}

void WindowSystem::Sleep(uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

EGLDisplay WindowSystem::GetEGLDisplay(DeviceContext)
{
    return backend->GetEGLDisplay();
}

void WindowSystem::GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes)
{
    backend->GetEGLConfigAttributes(fsaaMode, attributes);
}

EGLSurface WindowSystem::CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window)
{
    const WindowRecord* record = FindWindow(window);
    return record != nullptr ? backend->CreateEGLSurface(display, config, window, ClientRectOf(*record))
                             : EGL_NO_SURFACE;
}

// A lost connection ends the program, decided here for every backend.
void EndForLostConnection(const std::string& message)
{
    TrellisDebugOutputUtf8(message);
    std::fflush(nullptr);
    std::_Exit(1);
}

} // namespace trellis
