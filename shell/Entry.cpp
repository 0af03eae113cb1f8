#include "shell/Entry.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "shell/DebugOutput.h"
#include "shell/DriverResidency.h"
#include "shell/OptionParser.h"
#include "shell/TrellisApp.h"
#include "shell/ce/DefaultWindowSystem.h"
#include "shell/ce/TrellisPlatformCE.h"

namespace {

constexpr const char* kCompressedTextureExtension = "GL_XAN_texture_compression_zeltc";

// A lifecycle step that failed says so on a line of its own, so that an
// application that forgot to override one learns why the program ends with 1.
void ReportFailedStep(TrellisApp* app, const char* step)
{
    TrellisDebugOutputEndLine();
    app->ShellLog("%s returned 0\n", step);
}

struct Arguments {
    std::string program;
    std::vector<const char*> tokens;
};

Arguments FromArgv(int argc, char** argv)
{
    Arguments arguments;
    const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : program_invocation_name;
    const char* slash = std::strrchr(program, '/');
    arguments.program = slash != nullptr ? slash + 1 : program;
    for (int i = 1; i < argc; ++i) {
        arguments.tokens.push_back(argv[i]);
    }
    return arguments;
}

// Before any window: help, the token limit and the tokens nobody takes.
// Returns -1 to go on, else the exit code.
int CheckArguments(TrellisApp* app, const ShellOptionParser& parser, const std::string& program, bool chosenSystem)
{
    if (parser.HelpRequested()) {
        std::string usage = ShellUsage(program.c_str(), app->GetAppOptions());
        if (chosenSystem) {
            usage += "\n" + WindowSystemUsage();
        }
        std::fwrite(usage.data(), 1, usage.size(), stdout);
        std::fflush(stdout);
        return 0;
    }
    if (parser.GetDroppedCount() > 0) {
        const std::string given = std::to_string(parser.GetArgCount() + parser.GetDroppedCount());
        app->ShellLog("too many arguments: %s are not shell options, and an application takes at most %s\n",
                      given.c_str(), std::to_string(OptionParser::kMaxArgs).c_str());
        return 1;
    }
    const TrellisAppOption* declared = app->GetAppOptions();
    for (int32_t i = 0; i < parser.GetArgCount(); ++i) {
        if (!IsDeclaredOption(declared, parser.GetArgs()[i])) {
            app->ShellLog("unknown option %s; -help lists the options\n", parser.GetArgs()[i]);
        }
    }
    return -1;
}

int Run(const Arguments& arguments, WindowSystem* givenSystem)
{
    const int32_t count = static_cast<int32_t>(arguments.tokens.size());
    TrellisApp* app = CreateApplication();

    auto parserA = std::make_unique<ShellOptionParser>(app);
    parserA->ParseArguments(count, arguments.tokens.data());
    const int early = CheckArguments(app, *parserA, arguments.program, givenSystem == nullptr);
    if (early >= 0) {
        parserA.reset();
        delete app;
        return early;
    }

    std::unique_ptr<WindowSystem> openedSystem;
    if (givenSystem == nullptr) {
        openedSystem = OpenDefaultWindowSystem();
        if (!openedSystem) {
            parserA.reset();
            delete app;
            return 1;
        }
    }
    WindowSystem& system = givenSystem != nullptr ? *givenSystem : *openedSystem;
    TrellisPlatform* platform = new TrellisPlatformCE(app, system);

    ShellData* data = app->GetShellData();
    data->width = 640;
    data->height = 480;
    if (app->InitApp(parserA->GetArgCount(), parserA->GetArgs(), data->width, data->height) == 0) {
        ReportFailedStep(app, "InitApp");
        parserA.reset();
        delete app;
        delete platform;
        return 1;
    }

    // Parsed again so that the command line overrides what InitApp chose; its
    // warnings were given the first time.
    ShellOptionParser parserB(app, false);
    parserB.ParseArguments(count, arguments.tokens.data());

    if (platform->InitPlatform() == 0) {
        ReportFailedStep(app, "InitPlatform");
        delete app;
        delete platform;
        return 1;
    }
    KeepGraphicsDriverLoaded();

    data->compressedTextures = app->IsGLExtensionSupported(kCompressedTextureExtension);
    if (app->InitScene(data->width, data->height) == 0) {
        ReportFailedStep(app, "InitScene");
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
    if (quitResult == 0) {
        ReportFailedStep(app, "QuitApp");
    }
    const int32_t failed = platform->HasFailed();
    platform->ReleasePlatform();
    delete app;
    delete platform;
    return quitResult != 0 && failed == 0 ? 0 : 1;
}

Arguments FromCommandLine(const char16_t* commandLine, std::vector<std::string>& storage)
{
    storage = SplitCommandLine(commandLine);
    Arguments arguments = FromArgv(0, nullptr);
    for (const std::string& token : storage) {
        arguments.tokens.push_back(token.c_str());
    }
    return arguments;
}

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
           "leak:libxcb.so\n"
           "leak:libfontconfig\n";
}

// What was suppressed is the driver's business, not news to the user.
extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}
#endif

int TrellisMain(int argc, char** argv)
{
    return Run(FromArgv(argc, argv), nullptr);
}

int TrellisMain(int argc, char** argv, WindowSystem& windowSystem)
{
    return Run(FromArgv(argc, argv), &windowSystem);
}

int TrellisMain(const char16_t* commandLine)
{
    std::vector<std::string> storage;
    return Run(FromCommandLine(commandLine, storage), nullptr);
}

int TrellisMain(const char16_t* commandLine, WindowSystem& windowSystem)
{
    std::vector<std::string> storage;
    return Run(FromCommandLine(commandLine, storage), &windowSystem);
}
