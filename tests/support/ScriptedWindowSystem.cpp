#include "ScriptedWindowSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "shell/Entry.h"

using namespace trellis;

namespace {

std::string Hex(uint32_t value)
{
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

std::string RectText(const Rect& rect)
{
    std::ostringstream text;
    text << rect.left << ' ' << rect.top << ' ' << rect.right << ' ' << rect.bottom;
    return text.str();
}

std::string MessageText(const WindowMessage& message)
{
    std::ostringstream text;
    text << message.window << ' ' << message.message << ' ' << message.wParam << ' ' << message.lParam;
    return text.str();
}

// The words of an escape buffer, as "w0 w1 ...".
std::string Words(int32_t size, const void* buffer)
{
    std::ostringstream text;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    for (int32_t offset = 0; buffer != nullptr && offset + 4 <= size; offset += 4) {
        uint32_t word = 0;
        std::memcpy(&word, bytes + offset, 4);
        text << (offset == 0 ? "" : " ") << word;
    }
    return text.str();
}

} // namespace

std::string Narrow(const char16_t* text)
{
    std::string narrow;
    for (; text != nullptr && *text != 0; ++text) {
        narrow.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    }
    return narrow;
}

namespace {

// Frames as on the device: 4 pixels on the sides and bottom, 26 on top with the caption.
class FramedHeadlessBackend : public HeadlessBackend {
public:
    using HeadlessBackend::HeadlessBackend;
    Rect FrameInsets() override { return Rect{4, 26, 4, 4}; }
};

} // namespace

ScriptedWindowSystem::ScriptedWindowSystem(int32_t monitorWidth, int32_t monitorHeight)
    : WindowSystem(std::make_unique<FramedHeadlessBackend>(monitorWidth, monitorHeight))
{
}

template <typename... Parts>
void ScriptedWindowSystem::Record(const char* name, const Parts&... parts)
{
    std::ostringstream line;
    line << name;
    ((line << ' ' << parts), ...);
    calls.push_back(line.str());
}

std::vector<std::string> ScriptedWindowSystem::Calls(std::initializer_list<const char*> names) const
{
    std::vector<std::string> chosen;
    for (const auto& call : calls) {
        const std::string name = call.substr(0, call.find(' '));
        if (std::any_of(names.begin(), names.end(), [&](const char* wanted) { return name == wanted; })) {
            chosen.push_back(call);
        }
    }
    return chosen;
}

void ScriptedWindowSystem::SetTicks(uint32_t start, uint32_t step)
{
    nextTick = start;
    tickStep = step;
}

bool ScriptedWindowSystem::RegisterClass(const WindowClass& windowClass)
{
    const bool registered = WindowSystem::RegisterClass(windowClass);
    Record("RegisterClass", Narrow(windowClass.className), windowClass.style, windowClass.cursor,
           windowClass.backgroundBrush, "->", registered);
    return registered;
}

WindowHandle ScriptedWindowSystem::CreateWindowEx(uint32_t exStyle, const char16_t* className, const char16_t* title,
                                                  uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                                                  void* instance)
{
    WindowHandle window = kNoWindow;
    if (failingCreation != 1) {
        window = WindowSystem::CreateWindowEx(exStyle, className, title, style, x, y, width, height, instance);
        created.push_back(window);
    }
    if (failingCreation > 0) {
        --failingCreation;
    }
    Record("CreateWindowEx", Hex(exStyle), Narrow(className), Narrow(title), Hex(style), x, y, width, height, "->",
           window);
    return window;
}

void ScriptedWindowSystem::SetWindowPos(WindowHandle window, int32_t insertAfter, int32_t x, int32_t y, int32_t width,
                                        int32_t height, uint32_t flags)
{
    Record("SetWindowPos", window, insertAfter, x, y, width, height, Hex(flags));
    WindowSystem::SetWindowPos(window, insertAfter, x, y, width, height, flags);
}

void ScriptedWindowSystem::SetForegroundWindow(WindowHandle window)
{
    Record("SetForegroundWindow", window);
    WindowSystem::SetForegroundWindow(window);
}

void ScriptedWindowSystem::ShowWindow(WindowHandle window, int32_t command)
{
    Record("ShowWindow", window, command);
    WindowSystem::ShowWindow(window, command);
}

void ScriptedWindowSystem::UpdateWindow(WindowHandle window)
{
    Record("UpdateWindow", window);
    WindowSystem::UpdateWindow(window);
}

void ScriptedWindowSystem::MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height,
                                      bool repaint)
{
    Record("MoveWindow", window, x, y, width, height, repaint);
    WindowSystem::MoveWindow(window, x, y, width, height, repaint);
}

void ScriptedWindowSystem::DestroyWindow(WindowHandle window)
{
    Record("DestroyWindow", window);
    WindowSystem::DestroyWindow(window);
}

void ScriptedWindowSystem::InvalidateRect(WindowHandle window, const Rect& rect, bool erase)
{
    Record("InvalidateRect", window, RectText(rect), erase);
    WindowSystem::InvalidateRect(window, rect, erase);
}

void ScriptedWindowSystem::FullScreen(WindowHandle window, uint32_t flags)
{
    Record("FullScreen", window, Hex(flags));
    WindowSystem::FullScreen(window, flags);
}

Rect ScriptedWindowSystem::GetMonitorRect(WindowHandle window)
{
    const Rect rect = WindowSystem::GetMonitorRect(window);
    Record("GetMonitorRect", window, "->", RectText(rect));
    return rect;
}

Rect ScriptedWindowSystem::GetWindowRect(WindowHandle window)
{
    const Rect rect = WindowSystem::GetWindowRect(window);
    Record("GetWindowRect", window, "->", RectText(rect));
    return rect;
}

void ScriptedWindowSystem::AdjustWindowRectEx(Rect& rect, uint32_t style, bool menu, uint32_t exStyle)
{
    const std::string client = RectText(rect);
    WindowSystem::AdjustWindowRectEx(rect, style, menu, exStyle);
    Record("AdjustWindowRectEx", client, Hex(style), menu, Hex(exStyle), "->", RectText(rect));
}

void ScriptedWindowSystem::SetWindowUserData(WindowHandle window, void* data)
{
    Record("SetWindowUserData", window, data != nullptr ? "data" : "null");
    WindowSystem::SetWindowUserData(window, data);
}

void* ScriptedWindowSystem::GetWindowUserData(WindowHandle window)
{
    void* data = WindowSystem::GetWindowUserData(window);
    Record("GetWindowUserData", window, "->", data != nullptr ? "data" : "null");
    return data;
}

void ScriptedWindowSystem::SetWindowText(WindowHandle window, const char16_t* title)
{
    Record("SetWindowText", window, Narrow(title));
    WindowSystem::SetWindowText(window, title);
}

bool ScriptedWindowSystem::PeekMessage(WindowMessage& message, WindowHandle window)
{
    const bool found = WindowSystem::PeekMessage(message, window);
    if (found) {
        Record("PeekMessage", window, "->", MessageText(message));
    } else {
        Record("PeekMessage", window, "-> none");
    }
    return found;
}

bool ScriptedWindowSystem::TranslateAccelerator(WindowHandle window, uint32_t accelerators,
                                                const WindowMessage& message)
{
    Record("TranslateAccelerator", window, accelerators, MessageText(message));
    return WindowSystem::TranslateAccelerator(window, accelerators, message);
}

void ScriptedWindowSystem::TranslateMessage(const WindowMessage& message)
{
    Record("TranslateMessage", MessageText(message));
    WindowSystem::TranslateMessage(message);
}

intptr_t ScriptedWindowSystem::DispatchMessage(const WindowMessage& message)
{
    Record("DispatchMessage", MessageText(message));
    return WindowSystem::DispatchMessage(message);
}

void ScriptedWindowSystem::PostQuitMessage(int32_t exitCode)
{
    Record("PostQuitMessage", exitCode);
    WindowSystem::PostQuitMessage(exitCode);
}

intptr_t ScriptedWindowSystem::DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    Record("DefWindowProc", window, message, wParam, lParam);
    return WindowSystem::DefWindowProc(window, message, wParam, lParam);
}

void ScriptedWindowSystem::BeginPaint(WindowHandle window)
{
    Record("BeginPaint", window);
    WindowSystem::BeginPaint(window);
}

void ScriptedWindowSystem::EndPaint(WindowHandle window)
{
    Record("EndPaint", window);
    WindowSystem::EndPaint(window);
}

DeviceContext ScriptedWindowSystem::GetDC(WindowHandle window)
{
    const DeviceContext dc = WindowSystem::GetDC(window);
    Record("GetDC", window, "->", Hex(dc));
    return dc;
}

void ScriptedWindowSystem::ReleaseDC(WindowHandle window, DeviceContext dc)
{
    Record("ReleaseDC", window, Hex(dc));
    WindowSystem::ReleaseDC(window, dc);
}

// The scripted driver makes the GDI objects it is asked for as fresh handles.
DeviceContext ScriptedWindowSystem::CreateDC(const char16_t* driver)
{
    const DeviceContext dc = nextGdiObject++;
    Record("CreateDC", Narrow(driver), "->", Hex(dc));
    return dc;
}

void ScriptedWindowSystem::DeleteDC(DeviceContext dc)
{
    Record("DeleteDC", Hex(dc));
}

int32_t ScriptedWindowSystem::ExtEscape(DeviceContext dc, int32_t escape, int32_t inputSize, const void* input,
                                        int32_t outputSize, void* output)
{
    const std::string sent = Words(inputSize, input);
    const int32_t result = escapeAnswer ? escapeAnswer(escape, inputSize, input, outputSize, output)
                                        : WindowSystem::ExtEscape(dc, escape, inputSize, input, outputSize,
                                                                          output);
    Record("ExtEscape", Hex(dc), escape, inputSize, "[" + sent + "]", outputSize, "->", result,
           "[" + Words(outputSize, output) + "]");
    return result;
}

DeviceContext ScriptedWindowSystem::CreateCompatibleDC(DeviceContext dc)
{
    const DeviceContext compatible = nextGdiObject++;
    Record("CreateCompatibleDC", Hex(dc), "->", Hex(compatible));
    return compatible;
}

GdiObject ScriptedWindowSystem::CreateCompatibleBitmap(DeviceContext dc, int32_t width, int32_t height)
{
    const GdiObject bitmap = nextGdiObject++;
    Record("CreateCompatibleBitmap", Hex(dc), width, height, "->", Hex(bitmap));
    return bitmap;
}

GdiObject ScriptedWindowSystem::GetCurrentObject(DeviceContext dc, uint32_t type)
{
    const GdiObject current = nextGdiObject++;
    Record("GetCurrentObject", Hex(dc), type, "->", Hex(current));
    return current;
}

GdiObject ScriptedWindowSystem::SelectObject(DeviceContext dc, GdiObject object)
{
    Record("SelectObject", Hex(dc), Hex(object));
    return 0;
}

void ScriptedWindowSystem::DeleteObject(GdiObject object)
{
    Record("DeleteObject", Hex(object));
}

void ScriptedWindowSystem::VirtualFree(uint32_t address, uint32_t size, uint32_t type)
{
    Record("VirtualFree", Hex(address), size, Hex(type));
}

void ScriptedWindowSystem::DebugOutput(const char16_t* text)
{
    Record("DebugOutput", Narrow(text));
    WindowSystem::DebugOutput(text);
}

uint32_t ScriptedWindowSystem::GetTickCount()
{
    const uint32_t tick = nextTick;
    nextTick += tickStep;
    Record("GetTickCount", "->", tick);
    return tick;
}

void ScriptedWindowSystem::Sleep(uint32_t milliseconds)
{
    Record("Sleep", milliseconds);
    nextTick += milliseconds;
}

EGLDisplay ScriptedWindowSystem::GetEGLDisplay(DeviceContext dc)
{
    Record("GetEGLDisplay", Hex(dc));
    return WindowSystem::GetEGLDisplay(dc);
}

void ScriptedWindowSystem::GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes)
{
    WindowSystem::GetEGLConfigAttributes(fsaaMode, attributes);
    std::ostringstream list;
    for (int i = 0; attributes[i] != EGL_NONE; i += 2) {
        list << (i == 0 ? "" : " ") << Hex(static_cast<uint32_t>(attributes[i])) << '=' << attributes[i + 1];
    }
    Record("GetEGLConfigAttributes", fsaaMode, "->", list.str());
}

EGLSurface ScriptedWindowSystem::CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window)
{
    const Rect client = GetClientRect(window);
    Record("CreateEGLSurface", window, client.right - client.left, client.bottom - client.top);
    return WindowSystem::CreateEGLSurface(display, config, window);
}

int RunTrellisMain(const char16_t* commandLine, WindowSystem& system, std::string& errors)
{
    testing::internal::CaptureStderr();
    const int exitCode = TrellisMain(commandLine, system);
    errors = testing::internal::GetCapturedStderr();
    return exitCode;
}
