#include "shell/Entry.h"

#include <memory>

#include "shell/DriverResidency.h"
#include "shell/OptionParser.h"
#include "shell/TrellisApp.h"
#include "shell/ce/DefaultWindowSystem.h"
#include "shell/ce/TrellisPlatformCE.h"

namespace {

constexpr const char* kCompressedTextureExtension = "GL_XAN_texture_compression_zeltc";

} // namespace

#if defined(__SANITIZE_ADDRESS__)
#define TRELLIS_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define TRELLIS_LEAK_CHECKED 1
#endif
#endif

#if defined(TRELLIS_LEAK_CHECKED)
// Leak-checked builds: every program on this entry carries the suppressions
// for what the graphics driver and its libraries keep or lose by themselves
// (a multisampled surface, for one), so that a run with no options of its own
// reports our leaks only. They match because the driver is kept loaded.
// tests/support/lsan.supp holds the same list for test programs.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libEGL_mesa.so\n"
           "leak:libgallium\n"
           "leak:libLLVM\n"
           "leak:libglapi\n"
           "leak:swrast_dri\n"
           "leak:libGLdispatch\n"
           "leak:libdrm\n"
           "leak:libxcb.so\n";
}

// What was suppressed is the driver's business, not news to the user.
extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}
#endif

int TrellisMain(const char16_t* commandLine)
{
    std::unique_ptr<WindowSystem> windowSystem = OpenDefaultWindowSystem();
    if (!windowSystem) {
        return 1;
    }
    return TrellisMain(commandLine, *windowSystem);
}

int TrellisMain(const char16_t* commandLine, WindowSystem& windowSystem)
{
    TrellisApp* app = CreateApplication();
    TrellisPlatform* platform = new TrellisPlatformCE(app, windowSystem);

    auto parserA = std::make_unique<ShellOptionParser>(app);
    parserA->ParseCommandLine(commandLine);

    ShellData* data = app->GetShellData();
    data->width = 640;
    data->height = 480;
    if (app->InitApp(parserA->GetArgCount(), parserA->GetArgs(), data->width, data->height) == 0) {
        parserA.reset();
        delete app;
        delete platform;
        return 1;
    }

    // Parsed again so that the command line overrides what InitApp chose.
    ShellOptionParser parserB(app);
    parserB.ParseCommandLine(commandLine);

    if (platform->InitPlatform() == 0) {
        delete app;
        delete platform;
        return 1;
    }
    KeepGraphicsDriverLoaded();

    data->compressedTextures = app->IsGLExtensionSupported(kCompressedTextureExtension);
    if (app->InitScene(data->width, data->height) == 0) {
        platform->ReleasePlatform();
        delete app;
        delete platform;
        return 1;
    }

    if (platform->MainLoop() != 0) {
        platform->ReleasePlatform();
        delete app;
        delete platform;
        return 0;
    }

    app->ReleaseScene();
    const int32_t quitResult = app->QuitApp();
    const int32_t failed = platform->HasFailed();
    platform->ReleasePlatform();
    delete app;
    delete platform;
    return quitResult != 0 && failed == 0 ? 0 : 1;
}
