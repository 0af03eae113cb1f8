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
#include "shell/ce/HeadlessBackend.h"
#include "shell/ce/TrellisPlatformCE.h"

namespace trellis {

namespace {

constexpr const char* kCompressedTextureExtension = "GL_XAN_texture_compression_zeltc";

// A lifecycle step that failed without a word since `since` (a count of
// debug output texts) says so on a line of its own, so that an application
// that forgot to override one learns why the program ends with 1; one that
// gave its reason is not contradicted by a second line.
void ReportFailedStep(TrellisApp* app, const char* step, unsigned long since)
{
    const bool silent = TrellisDebugOutputCount() == since;
    TrellisDebugOutputEndLine();
    if (silent) {
        app->ShellLog("%s returned 0\n", step);
    }
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
int CheckArguments(TrellisApp* app, const ShellOptionParser& parser, const std::string& program, bool chosenSystem,
                   bool fullScreenByDefault)
{
    if (parser.HelpRequested() || parser.VersionRequested()) {
        std::string text = parser.HelpRequested() ? ShellUsage(program.c_str(), app->GetAppOptions(), fullScreenByDefault)
                                                  : ShellVersion(program.c_str());
        if (parser.HelpRequested() && chosenSystem) {
            text += "\n" + Wrap(WindowSystemUsage(), kUsageWidth, 0);
        }
        std::fwrite(text.data(), 1, text.size(), stdout);
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
    for (int32_t i = 0; i < parser.GetOptionCount(); ++i) {
        const char* token = parser.GetArgs()[i];
        if (IsDeclaredOption(declared, token)) {
            continue;
        }
        const std::string nearest = NearestOption(token, declared);
        if (nearest.empty()) {
            app->ShellLog("unknown option %s; -help lists the options\n", token);
        } else {
            app->ShellLog("unknown option %s; did you mean %s? -help lists the options\n", token, nearest.c_str());
        }
    }
    return -1;
}

// Options the window about to be made will not use, once the application
// and the command line have both had their say.
void NoteUnusedPlacement(TrellisApp* app, const ShellOptionParser& parser)
{
    const ShellData& data = *app->GetShellData();
    if (parser.SizeGiven() && data.fullScreen == 1 && !IsQuarterSize(data.width, data.height)) {
        app->ShellLog("-width and -height apply to a window (-windowed); full screen takes the monitor's size\n");
    }
    if (parser.PositionGiven()) {
        app->ShellLog("-posx and -posy are not used: a window is centred on the monitor\n");
    }
}

int Run(const Arguments& arguments, WindowSystem* givenSystem)
{
    const int32_t count = static_cast<int32_t>(arguments.tokens.size());
    TrellisApp* app = CreateApplication();

    const bool fullScreenByDefault = app->IsFullScreen() != 0;
    auto parserA = std::make_unique<ShellOptionParser>(app);
    parserA->ParseArguments(count, arguments.tokens.data());
    const int early = CheckArguments(app, *parserA, arguments.program, givenSystem == nullptr, fullScreenByDefault);
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
    unsigned long since = TrellisDebugOutputCount();
    if (app->InitApp(parserA->GetArgCount(), parserA->GetArgs(), data->width, data->height) == 0) {
        ReportFailedStep(app, "InitApp", since);
        parserA.reset();
        delete app;
        delete platform;
        return 1;
    }

    // Parsed again so that the command line overrides what InitApp chose; its
    // warnings were given the first time.
    ShellOptionParser parserB(app, false);
    parserB.ParseArguments(count, arguments.tokens.data());
    NoteUnusedPlacement(app, *parserA);

    since = TrellisDebugOutputCount();
    if (platform->InitPlatform() == 0) {
        ReportFailedStep(app, "InitPlatform", since);
        delete app;
        delete platform;
        return 1;
    }
    KeepGraphicsDriverLoaded();

    data->compressedTextures = app->IsGLExtensionSupported(kCompressedTextureExtension);
    since = TrellisDebugOutputCount();
    if (app->InitScene(data->width, data->height) == 0) {
        ReportFailedStep(app, "InitScene", since);
        platform->ReleasePlatform();
        delete app;
        delete platform;
        return 1;
    }

    // A run that reported a failure while it ran has said why QuitApp fails.
    since = TrellisDebugOutputCount();
    if (platform->MainLoop() != 0) {
        platform->ReleasePlatform();
        delete app;
        delete platform;
        return 0;
    }

    app->ReleaseScene();
    const int32_t quitResult = app->QuitApp();
    if (quitResult == 0) {
        ReportFailedStep(app, "QuitApp", since);
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

int TrellisMainHeadless(int argc, char** argv)
{
    WindowSystem headless(std::make_unique<HeadlessBackend>());
    return Run(FromArgv(argc, argv), &headless);
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

} // namespace trellis
