#include "shell/TrellisApp.h"


#include <GLES/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "capture/Capture.h"
#include "shell/DebugOutput.h"
#include "shell/ExtensionString.h"
#include "shell/Ticks.h"
#include "shell/TrellisPlatform.h"
#include "shell/Utf8.h"
#include "trellis/Version.h"

namespace trellis {

TrellisApp::TrellisApp() : shellData(new ShellData) {}

TrellisApp::~TrellisApp()
{
    delete shellData;
}

int32_t TrellisApp::InitApp(int32_t, char**, int32_t, int32_t)
{
    return 0;
}

int32_t TrellisApp::InitScene(int32_t, int32_t)
{
    return 0;
}

void TrellisApp::ReleaseScene() {}

int32_t TrellisApp::QuitApp()
{
    return 0;
}

int32_t TrellisApp::RenderFrame()
{
    return 0;
}

void TrellisApp::HandleEvent(const TrellisEvent&) {}

void TrellisApp::SetWindowTitle(const char* title)
{
    const size_t length = title != nullptr ? FittingUtf8(title, std::strlen(title), sizeof windowTitle - 1) : 0;
    std::memcpy(windowTitle, title != nullptr ? title : "", length);
    windowTitle[length] = 0;
    // Zero means "never set"; after 2^32 changes the count skips it.
    if (++windowTitleVersion == 0) {
        windowTitleVersion = 1;
    }
}

int32_t TrellisApp::SetSwapInterval(int32_t interval)
{
    if (platform == nullptr) {
        ShellLog("SetSwapInterval needs the window: call it in InitScene or later\n");
        return 0;
    }
    return platform->SetSwapInterval(interval);
}

int32_t TrellisApp::SetFullScreen(bool on)
{
    if (platform == nullptr) {
        ShellLog("SetFullScreen needs the window: call it in InitScene or later\n");
        return 0;
    }
    return platform->SetFullScreen(on);
}

int32_t TrellisApp::ShowCursor(bool show)
{
    if (platform == nullptr) {
        ShellLog("ShowCursor needs the window: call it in InitScene or later\n");
        return 0;
    }
    return platform->ShowCursor(show);
}

const TrellisAppOption* TrellisApp::GetAppOptions() const
{
    return nullptr;
}

int32_t TrellisApp::IsGLExtensionSupported(const char* name) const
{
    return ExtensionListContains(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), name);
}

uint32_t TrellisApp::GetTicks() const
{
    return TrellisTickCount();
}

uint64_t TrellisApp::GetTimeNs() const
{
    return TrellisMonotonicNanoseconds();
}

namespace {

// The slot of `key` among the keys tracked, or -1 for Unknown and values beyond them.
int32_t KeySlot(TrellisKey key)
{
    const auto code = static_cast<int32_t>(key);
    return code > 0 && code < static_cast<int32_t>(TrellisKey::Count) ? code : -1;
}

} // namespace

int32_t TrellisApp::IsKeyDown(TrellisKey key) const
{
    const int32_t slot = KeySlot(key);
    return slot >= 0 && keysDown.test(static_cast<size_t>(slot)) ? 1 : 0;
}

void TrellisPlatform::AttachToApp(TrellisApp& app, TrellisPlatform* platform)
{
    app.platform = platform;
}

void TrellisPlatform::TrackAppKeys(TrellisApp& app, const TrellisEvent& event)
{
    app.TrackKeys(event);
}

void TrellisApp::TrackKeys(const TrellisEvent& event)
{
    const int32_t slot = KeySlot(event.key);
    if (event.kind == TrellisEventKind::FocusLost) {
        keysDown.reset();
    } else if ((event.kind == TrellisEventKind::KeyDown || event.kind == TrellisEventKind::KeyUp) && slot >= 0) {
        keysDown.set(static_cast<size_t>(slot), event.kind == TrellisEventKind::KeyDown);
    }
}

const char* TrellisApp::GetTrellisVersion()
{
#define TRELLIS_TEXT(number) #number
#define TRELLIS_VERSION_TEXT(major, minor, patch) TRELLIS_TEXT(major) "." TRELLIS_TEXT(minor) "." TRELLIS_TEXT(patch)
    return TRELLIS_VERSION_TEXT(TRELLIS_VERSION_MAJOR, TRELLIS_VERSION_MINOR, TRELLIS_VERSION_PATCH);
#undef TRELLIS_VERSION_TEXT
#undef TRELLIS_TEXT
}

void TrellisApp::SetLogHandler(TrellisLogHandler handler, void* context)
{
    TrellisSetDebugOutputHandler(handler, context);
}

void TrellisApp::ShellLog(const char* format, ...) const
{
    // The format fits 127 characters and the text 255, as on the device; longer
    // ones are cut. A cut that leaves a lone '%' at the end drops it.
    char shortFormat[128];
    std::snprintf(shortFormat, sizeof shortFormat, "%s", format);
    size_t length = std::strlen(shortFormat);
    size_t percents = 0;
    while (percents < length && shortFormat[length - 1 - percents] == '%') {
        ++percents;
    }
    if (percents % 2 == 1) {
        shortFormat[length - 1] = '\0';
    }

    char text[256];
    va_list arguments;
    va_start(arguments, format);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::vsnprintf(text, sizeof text, shortFormat, arguments);
#pragma GCC diagnostic pop
    va_end(arguments);

    // Text is UTF-8: arguments as typed reach messages that name them.
    TrellisDebugOutputUtf8(text);
}

// The capture members are the free functions of capture/, on the surface's size where one is needed.
int32_t TrellisApp::TrellisCaptureFrame(int32_t width, int32_t height, uint8_t** pixels) const
{
    return trellis::TrellisCaptureFrame(width, height, pixels);
}

int32_t TrellisApp::TrellisSaveScreenDump(const char* prefix, char* chosenName, const uint8_t* pixels) const
{
    return trellis::TrellisSaveScreenDump(prefix, chosenName, GetWidth(), GetHeight(), pixels);
}

int32_t TrellisApp::TrellisWriteBMP(const char* fileName, int32_t width, int32_t height, const uint8_t* pixels) const
{
    return trellis::TrellisWriteBMP(fileName, width, height, pixels);
}

int32_t TrellisApp::TrellisReadBMP(const char* fileName, int32_t* width, int32_t* height, uint8_t* pixels) const
{
    return trellis::TrellisReadBMP(fileName, width, height, pixels);
}

} // namespace trellis
