// EGL set-up, presentation and context-loss recovery through TrellisMain,
// with failures made to happen by the EGL shim over the real driver.
#include <gtest/gtest.h>

#include <EGL/egl.h>

#include <functional>
#include <string>
#include <vector>

#include "EglShim.h"
#include "GlTestContext.h"
#include "RecordingApp.h"
#include "ScriptedWindowSystem.h"
#include "shell/Entry.h"

using namespace trellis;

namespace {

using Names = std::vector<std::string>;

constexpr EGLint kContextLost = 0x300E;
constexpr const char* kPowerManagement = "EGL_XAN_power_management";
// Where the scripted runs' EGL failures happen, as their reason lines say.
const std::string kWhere = "the headless window system (Mesa's surfaceless EGL platform, no display)\n";

class EglSetup : public testing::Test {
protected:
    void SetUp() override
    {
        // Recoveries terminate every display the program made; the driver stays loaded.
        GlTestContext::KeepDriverLoaded();
        ResetApp();
        EglShim::Reset();
    }

    int Run(const char16_t* commandLine) { return RunTrellisMain(commandLine, system, errors); }

    // A start-up failure: the reason and what failed where, then the
    // platform's summary (the failed step says nothing more), exit code 1, no scene, and both
    // objects deleted.
    void ExpectStartFailure(const std::string& reason)
    {
        EXPECT_EQ(1, Run(u"-qaf=0"));
        EXPECT_EQ(reason + "InitEGL failed!!\n", errors);
        EXPECT_EQ(0, CountEvents("InitScene"));
        EXPECT_EQ(1, CountEvents("deleted"));
    }

    ScriptedWindowSystem system{640, 480};
    std::string errors;
};

// Each failing step: its reason, and no step after it is tried. Without power
// management a lost context is a failure like any other, not tried again.
TEST_F(EglSetup, AFailingStepEndsTheStartWithItsReason)
{
    struct Case {
        const char* entry;
        EGLint error;
        std::string reason;
        const char* notTried;
    };
    const Case cases[] = {
        {"eglInitialize", EGL_NOT_INITIALIZED,
         "Unable to initialise egl\neglInitialize failed with EGL_NOT_INITIALIZED on ", "eglCreateContext"},
        {"eglCreateContext", EGL_BAD_ALLOC,
         "Unable to create a context\neglCreateContext failed with EGL_BAD_ALLOC on ", "eglCreatePbufferSurface"},
        {"eglCreatePbufferSurface", EGL_BAD_ALLOC,
         "Unable to create window surface\neglCreatePbufferSurface failed with EGL_BAD_ALLOC on ", "eglMakeCurrent"},
        {"eglMakeCurrent", EGL_BAD_ALLOC,
         "Unable to make current context\neglMakeCurrent failed with EGL_BAD_ALLOC on ", nullptr},
        {"eglMakeCurrent", kContextLost,
         "Unable to make current context\neglMakeCurrent failed with EGL_CONTEXT_LOST on ", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        ResetApp();
        EglShim::Reset();
        errors.clear();
        EglShim::FailCall(c.entry, 1, c.error);
        ExpectStartFailure(c.reason + kWhere);
        EXPECT_EQ(1, EglShim::CallCount("eglInitialize"));
        if (c.notTried != nullptr) {
            EXPECT_EQ(0, EglShim::CallCount(c.notTried));
        }
    }
}

TEST_F(EglSetup, WindowCreationFailure)
{
    system.FailWindowCreation(1);
    ExpectStartFailure("");
    EXPECT_EQ(0, EglShim::CallCount("eglInitialize"));
}

TEST_F(EglSetup, LostContextWithPowerManagementStartsAgainAfterReleasingTheAttempt)
{
    EglShim::AddExtension(kPowerManagement);
    EglShim::FailCall("eglMakeCurrent", 1, kContextLost);
    EXPECT_EQ(0, Run(u"-qaf=0"));
    EXPECT_EQ("", errors);
    const Names setUp{"eglInitialize", "eglCreateContext", "eglCreatePbufferSurface", "eglMakeCurrent",
                      "eglDestroySurface", "eglDestroyContext", "eglTerminate"};
    const Names sequence = EglShim::Calls(setUp);
    const Names expected{"eglInitialize", "eglCreateContext", "eglCreatePbufferSurface", "eglMakeCurrent",
                         "eglDestroySurface", "eglDestroyContext", "eglTerminate",
                         "eglInitialize", "eglCreateContext", "eglCreatePbufferSurface", "eglMakeCurrent"};
    ASSERT_GE(sequence.size(), expected.size());
    EXPECT_EQ(expected, Names(sequence.begin(), sequence.begin() + expected.size()));
    // Each attempt starts again from the window's device context.
    EXPECT_EQ(2u, system.Calls({"GetEGLDisplay"}).size());
    EXPECT_EQ(1, CountEvents("InitScene"));
    EXPECT_EQ(Record().expectedPixels, Record().pixels);
}

TEST_F(EglSetup, ConfigurationAsksForDepthAndNoMultisamplingByDefault)
{
    // Values other than 1 and 2 ask for no multisampling; the driver has such
    // a configuration and the frames really render.
    const std::vector<std::pair<const char16_t*, std::string>> cases{{u"-qaf=0", "0"}, {u"-qaf=0 -FSAAMode=3", "3"}};
    for (const auto& [commandLine, mode] : cases) {
        ResetApp();
        ScriptedWindowSystem fresh(640, 480);
        EXPECT_EQ(0, TrellisMain(commandLine, fresh));
        EXPECT_EQ(std::vector<std::string>{"GetEGLConfigAttributes " + mode + " -> 0x3029=0 0x3033=1 0x3025=16 0x3032=0"},
                  fresh.Calls({"GetEGLConfigAttributes"}));
        EXPECT_EQ(Record().expectedPixels, Record().pixels);
    }
}

TEST(EglConfigAttributes, FsaaModesOneAndTwoAskForTwoAndFourSamples)
{
    // Checked without the driver: Mesa keeps about 1 MB of every multisampled
    // pbuffer after it is destroyed, which the leak checker would report.
    const std::vector<std::pair<int32_t, std::vector<EGLint>>> cases{
        {1, {EGL_LEVEL, 0, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_DEPTH_SIZE, 16, EGL_SAMPLE_BUFFERS, 1, EGL_SAMPLES, 2,
             EGL_NONE}},
        {2, {EGL_LEVEL, 0, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_DEPTH_SIZE, 16, EGL_SAMPLE_BUFFERS, 1, EGL_SAMPLES, 4,
             EGL_NONE}},
    };
    HeadlessWindowSystem headless;
    for (const auto& [fsaaMode, expected] : cases) {
        EGLint attributes[32];
        headless.GetEGLConfigAttributes(fsaaMode, attributes);
        EXPECT_EQ(expected, std::vector<EGLint>(attributes, attributes + expected.size())) << fsaaMode;
    }
}

TEST_F(EglSetup, SwapFailureWithoutPowerManagementIsReportedEveryFrame)
{
    EglShim::FailCallsFrom("eglSwapBuffers", 1, kContextLost);
    EXPECT_EQ(0, Run(u"-qaf=2"));
    std::string each = "eglSwapBuffers failed\neglSwapBuffers failed with EGL_CONTEXT_LOST on " + kWhere;
    EXPECT_EQ(each + each + each, errors);
    EXPECT_EQ(3, Record().renderCalls);
    EXPECT_EQ(1, CountEvents("InitScene"));
    EXPECT_EQ(1, CountEvents("QuitApp"));
}

TEST_F(EglSetup, LostContextIsRebuiltOnTheSameWindowAndFramesGoOn)
{
    EglShim::AddExtension(kPowerManagement);
    EglShim::FailCall("eglSwapBuffers", 2, kContextLost);
    EGLContext after = EGL_NO_CONTEXT;
    Script().onFrame = [&](int frame) {
        if (frame == 4) {
            after = eglGetCurrentContext();
        }
    };
    EXPECT_EQ(0, Run(u"-qaf=4"));
    EXPECT_EQ("", errors);

    const std::vector<std::string> expected{
        "InitApp 640 480 args=",
        "InitScene 640 480 recovering=0 compressed=0 portrait=0",
        "RenderFrame 0",
        "RenderFrame 1",
        "ReleaseScene recovering=1",
        "InitScene 640 480 recovering=1 compressed=0 portrait=0",
        "RenderFrame 2",
        "RenderFrame 3",
        "RenderFrame 4",
        "ReleaseScene recovering=0",
        "QuitApp",
        "deleted",
    };
    EXPECT_EQ(expected, Record().events);
    // Frames after the recovery render on the new context and read back their colour.
    EXPECT_EQ(Record().expectedPixels, Record().pixels);
    EXPECT_NE(EGL_NO_CONTEXT, after);
    EXPECT_EQ(2, EglShim::CallCount("eglCreateContext"));
    EXPECT_EQ(2, EglShim::CallCount("eglDestroyContext"));
    // One window, and both surfaces were made on it.
    EXPECT_EQ(1u, system.Calls({"CreateWindowEx"}).size());
    EXPECT_EQ((std::vector<std::string>{"CreateEGLSurface 1 640 480", "CreateEGLSurface 1 640 480"}),
              system.Calls({"CreateEGLSurface"}));
    EXPECT_EQ(1u, system.Calls({"DestroyWindow"}).size());
}

// A recovery that cannot rebuild ends the loop: the scene kept outside the
// context is released as usual and the program reports the failure.
TEST_F(EglSetup, FailedRecoveryEndsTheLoopAndTheProgramFails)
{
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string errors;
        std::vector<std::string> recovery;
    };
    const std::vector<Case> cases{
        {"no context", [] { EglShim::FailCall("eglCreateContext", 2, EGL_BAD_ALLOC); },
         "Unable to create a context\neglCreateContext failed with EGL_BAD_ALLOC on " + kWhere,
         {"ReleaseScene recovering=1"}},
        {"scene", [] { Script().recoveryInitSceneResult = 0; }, "InitScene returned 0\n",
         {"ReleaseScene recovering=1", "InitScene 640 480 recovering=1 compressed=0 portrait=0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetApp();
        EglShim::Reset();
        errors.clear();
        EglShim::AddExtension(kPowerManagement);
        EglShim::FailCall("eglSwapBuffers", 1, kContextLost);
        c.arrange();
        ScriptedWindowSystem fresh(640, 480);
        EXPECT_EQ(1, RunTrellisMain(u"-qaf=20", fresh, errors));
        EXPECT_EQ(c.errors, errors);
        std::vector<std::string> expected{"InitApp 640 480 args=",
                                          "InitScene 640 480 recovering=0 compressed=0 portrait=0", "RenderFrame 0"};
        expected.insert(expected.end(), c.recovery.begin(), c.recovery.end());
        expected.insert(expected.end(), {"ReleaseScene recovering=0", "QuitApp", "deleted"});
        EXPECT_EQ(expected, Record().events);
        EXPECT_EQ(1u, fresh.Calls({"DestroyWindow"}).size()) << "the platform is released";
    }
}

TEST_F(EglSetup, ContextLostAtEveryAttemptIsRetriedWithGrowingWaitsThenGivenUp)
{
    // At start-up, and again in a recovery: retried for a bounded time only.
    EglShim::AddExtension(kPowerManagement);
    EglShim::FailCallsFrom("eglMakeCurrent", 1, kContextLost);
    ExpectStartFailure("Unable to make current context\neglMakeCurrent failed with EGL_CONTEXT_LOST on " + kWhere);
    const std::vector<std::string> sleeps = system.Calls({"Sleep"});
    ASSERT_GE(sleeps.size(), 8u);
    EXPECT_EQ("Sleep 10", sleeps.front());
    EXPECT_EQ("Sleep 20", sleeps.at(1));
    EXPECT_EQ("Sleep 1000", sleeps.back());
    EXPECT_EQ(static_cast<int>(sleeps.size()) + 1, EglShim::CallCount("eglInitialize"));
    int waited = 0;
    for (const std::string& sleep : sleeps) {
        waited += std::stoi(sleep.substr(6));
    }
    EXPECT_GE(waited, 9000);
    EXPECT_LE(waited, 11000);

    ResetApp();
    EglShim::Reset();
    errors.clear();
    EglShim::AddExtension(kPowerManagement);
    EglShim::FailCall("eglSwapBuffers", 1, kContextLost);
    EglShim::FailCallsFrom("eglMakeCurrent", 3, kContextLost);  // the second is the release
    EXPECT_EQ(1, Run(u"-qaf=20"));
    EXPECT_EQ("Unable to make current context\neglMakeCurrent failed with EGL_CONTEXT_LOST on " + kWhere, errors);
    EXPECT_EQ(1, Record().renderCalls);
    EXPECT_GT(EglShim::CallCount("eglInitialize"), 10);
}

TEST_F(EglSetup, RunOfSwapFailuresEndsTheLoopAndTheProgramFails)
{
    // A failure now and then goes on; a hundred in a row end the program.
    EglShim::FailCall("eglSwapBuffers", 2, EGL_BAD_SURFACE);
    EglShim::FailCallsFrom("eglSwapBuffers", 4, EGL_BAD_SURFACE);
    EXPECT_EQ(1, Run(u"-qaf=500"));
    EXPECT_EQ(103, Record().renderCalls);
    std::string expected;
    for (int i = 0; i < 101; ++i) {
        expected += "eglSwapBuffers failed\neglSwapBuffers failed with EGL_BAD_SURFACE on " + kWhere;
    }
    EXPECT_EQ(expected, errors);
    EXPECT_EQ(1, CountEvents("ReleaseScene"));
    EXPECT_EQ(1, CountEvents("QuitApp"));
}

} // namespace
