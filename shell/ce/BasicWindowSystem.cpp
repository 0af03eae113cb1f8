#include "shell/ce/BasicWindowSystem.h"

#include <chrono>
#include <thread>

#include "shell/DebugOutput.h"
#include "shell/Ticks.h"
#include "shell/Utf8.h"

namespace trellis {

namespace {

// Device contexts are plain handles: a window's is derived from the window,
// so taking one allocates nothing and releasing one has nothing to free.
constexpr DeviceContext kScreenDC = 0x80000000u;

} // namespace

BasicWindowSystem::BasicWindowSystem(Rect frameInsets) : frame(frameInsets) {}

bool BasicWindowSystem::IsFramed(uint32_t style)
{
    return (style & WS_FRAMED) != 0;
}

const BasicWindowSystem::WindowRecord* BasicWindowSystem::FindWindow(WindowHandle window) const
{
    const auto found = windows.find(window);
    return found == windows.end() ? nullptr : &found->second;
}

bool BasicWindowSystem::RegisterClass(const WindowClass& windowClass)
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

WindowHandle BasicWindowSystem::CreateWindowEx(uint32_t, const char16_t* className, const char16_t* title,
                                               uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                                               void*)
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
    if (!OpenNativeWindow(window, record, title != nullptr ? title : u"")) {
        return kNoWindow;
    }
    windows.emplace(window, record);
    return window;
}

void BasicWindowSystem::SetWindowPos(WindowHandle window, int32_t insertAfter, int32_t x, int32_t y, int32_t width,
                                     int32_t height, uint32_t flags)
{
    Place(window, insertAfter, x, y, width, height, flags);
}

void BasicWindowSystem::Place(WindowHandle window, int32_t insertAfter, int32_t x, int32_t y, int32_t width,
                              int32_t height, uint32_t flags)
{
    auto found = windows.find(window);
    if (found == windows.end()) {
        return;
    }
    Rect& rect = found->second.rect;
    const int32_t newX = (flags & SWP_NOMOVE) != 0 ? rect.left : x;
    const int32_t newY = (flags & SWP_NOMOVE) != 0 ? rect.top : y;
    const int32_t newWidth = (flags & SWP_NOSIZE) != 0 ? rect.right - rect.left : width;
    const int32_t newHeight = (flags & SWP_NOSIZE) != 0 ? rect.bottom - rect.top : height;
    rect = Rect{newX, newY, newX + newWidth, newY + newHeight};
    ConstrainPlacement(found->second.style, rect);
    PlaceNativeWindow(window, found->second);
    if (insertAfter == HWND_TOPMOST) {
        RaiseNativeWindow(window);
    }
}

void BasicWindowSystem::SetForegroundWindow(WindowHandle window)
{
    if (FindWindow(window) != nullptr) {
        RaiseNativeWindow(window);
    }
}

void BasicWindowSystem::ShowWindow(WindowHandle window, int32_t command)
{
    if (FindWindow(window) != nullptr) {
        ShowNativeWindow(window, command != SW_HIDE);
    }
}

// Nothing is painted outside the application's rendering surface, so there is
// no pending paint to deliver at once.
void BasicWindowSystem::UpdateWindow(WindowHandle) {}

void BasicWindowSystem::MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height, bool)
{
    Place(window, HWND_TOP, x, y, width, height, 0);
}

void BasicWindowSystem::DestroyWindow(WindowHandle window)
{
    if (FindWindow(window) == nullptr) {
        return;
    }
    DispatchMessage(WindowMessage{window, WM_DESTROY, 0, 0});
    CloseNativeWindow(window);
    windows.erase(window);
    events.Forget(window);
    for (auto it = posted.begin(); it != posted.end();) {
        it = it->window == window ? posted.erase(it) : it + 1;
    }
}

void BasicWindowSystem::InvalidateRect(WindowHandle window, const Rect&, bool)
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

void BasicWindowSystem::SetWindowText(WindowHandle window, const char16_t* title)
{
    if (FindWindow(window) != nullptr && title != nullptr) {
        SetNativeTitle(window, title);
    }
}

void BasicWindowSystem::NoteClientSize(WindowHandle window, int32_t width, int32_t height)
{
    auto found = windows.find(window);
    if (found == windows.end()) {
        return;
    }
    Rect& rect = found->second.rect;
    const bool framed = IsFramed(found->second.style);
    rect.right = rect.left + width + (framed ? frame.left + frame.right : 0);
    rect.bottom = rect.top + height + (framed ? frame.top + frame.bottom : 0);
}

// Without a task bar or input panel there is nothing to hide; the window is
// already placed over the whole monitor by the shell.
void BasicWindowSystem::FullScreen(WindowHandle, uint32_t) {}

// Only the shell sizes windows that are records alone.
void BasicWindowSystem::LimitClientSize(WindowHandle, int32_t, int32_t) {}

Rect BasicWindowSystem::GetWindowRect(WindowHandle window)
{
    const WindowRecord* record = FindWindow(window);
    return record != nullptr ? record->rect : Rect{0, 0, 0, 0};
}

Rect BasicWindowSystem::GetClientRect(WindowHandle window)
{
    const WindowRecord* record = FindWindow(window);
    return record != nullptr ? ClientRectOf(*record) : Rect{0, 0, 0, 0};
}

Rect BasicWindowSystem::ClientRectOf(const WindowRecord& record) const
{
    const Rect& rect = record.rect;
    if (!IsFramed(record.style)) {
        return rect;
    }
    return Rect{rect.left + frame.left, rect.top + frame.top, rect.right - frame.right, rect.bottom - frame.bottom};
}

void BasicWindowSystem::ConstrainPlacement(uint32_t, Rect&) {}

void BasicWindowSystem::AdjustWindowRectEx(Rect& rect, uint32_t style, bool, uint32_t)
{
    if (IsFramed(style)) {
        rect = Rect{rect.left - frame.left, rect.top - frame.top, rect.right + frame.right, rect.bottom + frame.bottom};
    }
}

void BasicWindowSystem::SetWindowUserData(WindowHandle window, void* data)
{
    auto found = windows.find(window);
    if (found != windows.end()) {
        found->second.userData = data;
    }
}

void* BasicWindowSystem::GetWindowUserData(WindowHandle window)
{
    const WindowRecord* record = FindWindow(window);
    return record != nullptr ? record->userData : nullptr;
}

void BasicWindowSystem::PostMessage(const WindowMessage& message)
{
    posted.push_back(message);
}

bool BasicWindowSystem::PeekMessage(WindowMessage& message, WindowHandle window)
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
bool BasicWindowSystem::NextEvent(WindowHandle window, WindowMessage& message)
{
    NativeEvent event;
    if (!events.Pop(window, event)) {
        ReadNativeEvents();
        if (!events.Pop(window, event)) {
            return false;
        }
    }
    message = MessageFor(event);
    return true;
}

// The shell loads no accelerator table, so there is nothing to translate into.
bool BasicWindowSystem::TranslateAccelerator(WindowHandle, uint32_t, const WindowMessage&)
{
    return false;
}

// Keys arrive only as WM_KEYDOWN; no character messages are derived from them.
void BasicWindowSystem::TranslateMessage(const WindowMessage&) {}

intptr_t BasicWindowSystem::DispatchMessage(const WindowMessage& message)
{
    const WindowRecord* record = FindWindow(message.window);
    if (record == nullptr) {
        return 0;
    }
    return record->windowProc(*this, message.window, message.message, message.wParam, message.lParam);
}

void BasicWindowSystem::PostQuitMessage(int32_t exitCode)
{
    quitPosted = true;
    quitCode = exitCode;
}

intptr_t BasicWindowSystem::DefWindowProc(WindowHandle, uint32_t, uintptr_t, intptr_t)
{
    return 0;
}

void BasicWindowSystem::BeginPaint(WindowHandle window)
{
    for (auto it = posted.begin(); it != posted.end(); ++it) {
        if (it->window == window && it->message == WM_PAINT) {
            posted.erase(it);
            return;
        }
    }
}

void BasicWindowSystem::EndPaint(WindowHandle) {}

DeviceContext BasicWindowSystem::GetDC(WindowHandle window)
{
    if (window == kNoWindow) {
        return kScreenDC;
    }
    return FindWindow(window) != nullptr ? window : 0;
}

void BasicWindowSystem::ReleaseDC(WindowHandle, DeviceContext) {}

// There is no display driver behind these window systems: no driver device
// context, no escape it knows (0), no GDI objects and no driver memory.
DeviceContext BasicWindowSystem::CreateDC(const char16_t*)
{
    return 0;
}

void BasicWindowSystem::DeleteDC(DeviceContext) {}

int32_t BasicWindowSystem::ExtEscape(DeviceContext, int32_t, int32_t, const void*, int32_t, void*)
{
    return 0;
}

DeviceContext BasicWindowSystem::CreateCompatibleDC(DeviceContext)
{
    return 0;
}

GdiObject BasicWindowSystem::CreateCompatibleBitmap(DeviceContext, int32_t, int32_t)
{
    return 0;
}

GdiObject BasicWindowSystem::GetCurrentObject(DeviceContext, uint32_t)
{
    return 0;
}

GdiObject BasicWindowSystem::SelectObject(DeviceContext, GdiObject)
{
    return 0;
}

void BasicWindowSystem::DeleteObject(GdiObject) {}

void BasicWindowSystem::VirtualFree(uint32_t, uint32_t, uint32_t) {}

void BasicWindowSystem::DebugOutput(const char16_t* text)
{
    TrellisDebugOutput(text);
}

uint32_t BasicWindowSystem::GetTickCount()
{
    return TrellisTickCount();
}

void BasicWindowSystem::Sleep(uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool BasicWindowSystem::OpenNativeWindow(WindowHandle, const WindowRecord&, const char16_t*)
{
    return true;
}

void BasicWindowSystem::PlaceNativeWindow(WindowHandle, const WindowRecord&) {}

void BasicWindowSystem::RaiseNativeWindow(WindowHandle) {}

void BasicWindowSystem::ShowNativeWindow(WindowHandle, bool) {}

void BasicWindowSystem::CloseNativeWindow(WindowHandle) {}

void BasicWindowSystem::ReadNativeEvents() {}

void BasicWindowSystem::Deliver(NativeEvent event)
{
    if (FindWindow(event.window) == nullptr) {
        return;
    }
    heldKeys.Note(event);
    if (event.kind == NativeEventKind::Input && event.input.kind == TrellisEventKind::FocusLost) {
        heldKeys.ReleaseAll();
    }
    events.Push(event);
}

void BasicWindowSystem::SetNativeTitle(WindowHandle, const char16_t*) {}

bool AppendEventText(TrellisEvent& event, uint32_t codePoint)
{
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        codePoint = 0xFFFD;
    }
    if (codePoint == 0) {
        return true;
    }
    char bytes[4];
    const size_t count = EncodeUtf8(codePoint, bytes);
    size_t used = 0;
    while (event.text[used] != 0) {
        ++used;
    }
    // A character that does not fit whole is left out, never cut.
    if (used + count >= sizeof event.text) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        event.text[used + i] = bytes[i];
    }
    event.text[used + count] = 0;
    return true;
}

void SetEventText(TrellisEvent& event, const char* utf8, size_t length)
{
    event.text[0] = 0;
    for (size_t position = 0; position < length;) {
        char32_t codePoint = 0;
        const size_t taken = DecodeUtf8(utf8 + position, length - position, &codePoint);
        // A byte that begins no well-formed character stands for one U+FFFD.
        position += taken != 0 ? taken : 1;
        if (!AppendEventText(event, taken != 0 ? static_cast<uint32_t>(codePoint) : 0xFFFDu)) {
            return;
        }
    }
}

void FillEGLConfigAttributes(EGLint surfaceType, int32_t fsaaMode, EGLint* attributes)
{
    int n = 0;
    attributes[n++] = EGL_LEVEL;
    attributes[n++] = 0;
    attributes[n++] = EGL_SURFACE_TYPE;
    attributes[n++] = surfaceType;
    // The scene depth-tests; without this the first matching configuration may have no depth buffer.
    attributes[n++] = EGL_DEPTH_SIZE;
    attributes[n++] = 16;
    attributes[n++] = EGL_SAMPLE_BUFFERS;
    attributes[n++] = fsaaMode == 1 || fsaaMode == 2 ? 1 : 0;
    if (fsaaMode == 1 || fsaaMode == 2) {
        attributes[n++] = EGL_SAMPLES;
        attributes[n++] = fsaaMode == 1 ? 2 : 4;
    }
    attributes[n] = EGL_NONE;
}

} // namespace trellis
