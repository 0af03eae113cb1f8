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
