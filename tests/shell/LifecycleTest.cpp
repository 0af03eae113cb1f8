// The start-to-stop sequence, the frame loop and its limits, driven through
// TrellisMain on the scripted window system with real EGL underneath.
#include <gtest/gtest.h>

#include <EGL/egl.h>

#include <string>
#include <vector>

#include "EglShim.h"
#include "RecordingApp.h"
#include "ScriptedWindowSystem.h"
#include "shell/Entry.h"

using namespace trellis;

namespace {

using Events = std::vector<std::string>;

class Lifecycle : public testing::Test {
protected:
    void SetUp() override
    {
        ResetApp();
        EglShim::Reset();
    }

    int Run(const char16_t* commandLine) { return RunTrellisMain(commandLine, system, errors); }

    // Swaps made by the frame loop, read when the application releases its scene.
    void CountPresentedFrames()
    {
        Script().onReleaseScene = [this] { presented = EglShim::CallCount("eglSwapBuffers"); };
    }

    ScriptedWindowSystem system{640, 480};
    std::string errors;
    int presented = -1;
};

TEST_F(Lifecycle, FrameLimitZeroPresentsOneFrameThenReleasesInOrder)
{
    CountPresentedFrames();
    bool contextAtQuit = false;
    Script().onQuitApp = [&] {
        contextAtQuit = eglGetCurrentContext() != EGL_NO_CONTEXT && EglShim::CallCount("eglTerminate") == 0;
    };
    EXPECT_EQ(0, Run(u"-qaf=0"));
    EXPECT_EQ((Events{"InitApp 640 480 args=", "InitScene 640 480 recovering=0 compressed=0 portrait=0",
                      "RenderFrame 0", "ReleaseScene recovering=0", "QuitApp", "deleted"}),
              Record().events);
    EXPECT_EQ(1, presented);
    EXPECT_TRUE(contextAtQuit) << "QuitApp runs before the platform is released";
    EXPECT_EQ(1, EglShim::CallCount("eglTerminate"));
    EXPECT_EQ(1u, system.Calls({"DestroyWindow"}).size());
    EXPECT_EQ("", errors);
}

// The loop reads the clock once on entry and once after each frame; it stops
// after the frame that reaches a limit. A zero or negative time limit is none.
TEST_F(Lifecycle, FrameAndTimeLimitsStopAfterTheFrameThatReachesThem)
{
    struct Case {
        const char16_t* line;
        uint32_t tickStep;
        int frames;
    };
    const Case cases[] = {
        {u"-qaf=2", 1, 3},
        {u"-qat=1", 400, 3},  // 0.4 s, 0.8 s, then 1.2 s after the third frame
        {u"-qat=0 -qat=-5 -qaf=5", 100000, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.line));
        ResetApp();
        EglShim::Reset();
        ScriptedWindowSystem fresh(640, 480);
        fresh.SetTicks(5000, c.tickStep);
        CountPresentedFrames();
        EXPECT_EQ(0, RunTrellisMain(c.line, fresh, errors));
        EXPECT_EQ(c.frames, Record().renderCalls);
        EXPECT_EQ(c.frames, presented);
        EXPECT_EQ(1, CountEvents("QuitApp"));
    }
}

TEST_F(Lifecycle, FrameCounterWrapsAfterItsLargestValue)
{
    ShellData* data = nullptr;
    Script().onInitApp = [&](ShellData& shellData) {
        data = &shellData;
        shellData.frameCount = INT32_MAX - 1;
    };
    std::vector<int32_t> counts;
    Script().onFrame = [&](int) { counts.push_back(data->frameCount); };
    Script().stopAtFrame = 3;
    EXPECT_EQ(0, Run(u""));
    EXPECT_EQ((std::vector<int32_t>{INT32_MAX - 1, INT32_MAX, INT32_MIN, INT32_MIN + 1}), counts);
}

TEST_F(Lifecycle, RenderFrameStoppingSkipsReleaseSceneAndQuitApp)
{
    Script().stopAtFrame = 0;
    Script().quitAppResult = 0;  // not called, so it cannot fail the run
    EXPECT_EQ(0, Run(u""));
    EXPECT_EQ(0, CountEvents("ReleaseScene"));
    EXPECT_EQ(0, CountEvents("QuitApp"));
    EXPECT_EQ(1, CountEvents("deleted"));
    // The one swap is the platform's release; the frame itself was never presented.
    EXPECT_EQ(1, EglShim::CallCount("eglSwapBuffers"));
    EXPECT_EQ(1, EglShim::CallCount("eglTerminate"));
    EXPECT_EQ(1u, system.Calls({"DestroyWindow"}).size());
}

TEST_F(Lifecycle, QuitAppFailingGivesExitCodeOneAfterACompleteRun)
{
    Script().quitAppResult = 0;
    EXPECT_EQ(1, Run(u"-qaf=1"));
    EXPECT_EQ(2, Record().renderCalls);
    EXPECT_EQ(1, CountEvents("ReleaseScene"));
    EXPECT_EQ(1, CountEvents("deleted"));
    EXPECT_EQ(1u, system.Calls({"DestroyWindow"}).size());
    EXPECT_EQ("QuitApp returned 0\n", errors);
}

TEST_F(Lifecycle, DefaultInitAppFailsBeforeAnyWindowExists)
{
    Script().defaultInitApp = true;
    EXPECT_EQ(1, Run(u"-qaf=0"));
    EXPECT_EQ(Events{"deleted"}, Record().events);
    EXPECT_TRUE(system.Calls({"RegisterClass", "CreateWindowEx"}).empty());
    EXPECT_EQ(0, EglShim::CallCount("eglInitialize"));
    EXPECT_EQ("InitApp returned 0\n", errors);
}

TEST_F(Lifecycle, InitSceneFailingReleasesThePlatformAndExitsOne)
{
    Script().initSceneResult = 0;
    EXPECT_EQ(1, Run(u""));
    EXPECT_EQ((Events{"InitApp 640 480 args=", "InitScene 640 480 recovering=0 compressed=0 portrait=0", "deleted"}),
              Record().events);
    EXPECT_EQ(1, EglShim::CallCount("eglTerminate"));
    EXPECT_EQ(1u, system.Calls({"DestroyWindow"}).size());
    EXPECT_EQ("InitScene returned 0\n", errors);
}

TEST_F(Lifecycle, InitAppSeesTheDefaultSizeAndTheTokensThatAreNoOptions)
{
    EXPECT_EQ(0, Run(u"-width=320 -height=240 -windowed alpha -Width=5 -qaf=0"));
    EXPECT_EQ("InitApp 640 480 args=alpha,-Width=5", Record().events.at(0));
    EXPECT_EQ("InitScene 320 240 recovering=0 compressed=0 portrait=0", Record().events.at(1));
    // The application declares no options, so neither token is taken.
    EXPECT_EQ("unknown option alpha; -help lists the options\n"
              "unknown option -Width=5; did you mean -width=5? -help lists the options\n",
              errors);
}

TEST_F(Lifecycle, TheCommandLineOverridesWhatInitAppChose)
{
    // The application asks for a framed 100 x 100 window and two frames;
    // "-fullscreen" wins, the frame limit it alone set stays.
    Script().onInitApp = [](ShellData& data) {
        data.fullScreen = 0;
        data.width = 100;
        data.height = 100;
        data.quitAfterFrame = 1;
    };
    EXPECT_EQ(0, Run(u"-fullscreen"));
    EXPECT_EQ("InitScene 640 480 recovering=0 compressed=0 portrait=0", Record().events.at(1));
    EXPECT_EQ(2, Record().renderCalls);
}

TEST_F(Lifecycle, AWindowSystemServesASecondRunWithNothingLeftFromTheFirst)
{
    // Destroying the windows at the end of the first run posts a quit message
    // that no frame loop takes; the second run must not end on it.
    HeadlessWindowSystem reused;
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        ResetApp();
        EXPECT_EQ(0, TrellisMain(u"-qaf=5", reused));
        EXPECT_EQ(6, Record().renderCalls);
        EXPECT_EQ(Record().expectedPixels, Record().pixels);
    }
}

TEST_F(Lifecycle, HeadlessWindowControlsSetVsyncAndRefuseWhatNeedsADisplay)
{
    HeadlessWindowSystem headless;
    std::vector<int32_t> results;
    Script().onAppFrame = [&](TrellisApp& app, int frame) {
        if (frame == 0) {
            results = {app.SetSwapInterval(0), app.SetSwapInterval(-1), app.SetFullScreen(true),
                       app.ShowCursor(false), app.IsFullScreen()};
        }
    };
    EXPECT_EQ(0, RunTrellisMain(u"-windowed -qaf=1", headless, errors));
    EXPECT_EQ((std::vector<int32_t>{1, 0, 0, 0, 0}), results);
    const std::string where = headless.Backend().Describe() + "\n";
    EXPECT_EQ("SetSwapInterval: the interval cannot be negative\nSetFullScreen has no meaning on " + where +
                  "ShowCursor has no meaning on " + where,
              errors);
}

} // namespace
