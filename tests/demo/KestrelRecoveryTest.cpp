// A rendering context lost on the real driver: the EGL shim advertises the
// power-management extension and makes swaps report EGL_CONTEXT_LOST; Mesa
// then really tears the context down and the demo rebuilds everything in it.
#include <gtest/gtest.h>

#include "EglShim.h"
#include "GlShim.h"
#include "KestrelHarness.h"

using namespace trellis;

namespace {

constexpr const char16_t* kRun = u"-windowed -width=160 -height=120 -qaf=23";
constexpr size_t kFrames = 24;

class KestrelRecovery : public KestrelTest {
protected:
    void SetUp() override
    {
        KestrelTest::SetUp();
        ASSERT_TRUE(RunsCleanly(kRun));
        uninterrupted = Probe().frames;
        ASSERT_EQ(kFrames, uninterrupted.size());
        texturesInScene = Probe().scenes[0].liveTextures;
        GlShim::Reset();
        EglShim::Reset();
        EglShim::AddExtension("EGL_XAN_power_management");
    }

    // Every frame equals the same frame of the uninterrupted run, counts on
    // without a gap, and holds as many textures.
    void ExpectSameFramesAsUninterrupted() const
    {
        const std::vector<FrameRecord>& frames = Probe().frames;
        ASSERT_EQ(uninterrupted.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(int32_t(i), frames[i].frameCounter);
            EXPECT_EQ(uninterrupted[i].pixelHash, frames[i].pixelHash);
            EXPECT_EQ(texturesInScene, frames[i].liveTextures);
        }
    }

    // Every re-creation kept the first meshes and the frame count it met.
    void ExpectScenesRebuiltAroundTheSameMeshes(size_t recoveries) const
    {
        const std::vector<SceneSnapshot>& scenes = Probe().scenes;
        ASSERT_EQ(recoveries + 1, scenes.size());
        EXPECT_EQ(0, scenes[0].recovering);
        for (size_t i = 1; i < scenes.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(1, scenes[i].result);
            EXPECT_EQ(1, scenes[i].recovering);
            EXPECT_EQ(scenes[0].modelMesh, scenes[i].modelMesh);
            EXPECT_EQ(scenes[0].backdropMesh, scenes[i].backdropMesh);
            EXPECT_EQ(scenes[0].modelPositions, scenes[i].modelPositions);
            EXPECT_EQ(texturesInScene, scenes[i].liveTextures) << "the old textures were deleted first";
            EXPECT_EQ(1, scenes[i].hasCombine);
        }
        EXPECT_EQ(int(recoveries) + 1, Probe().releases);
        EXPECT_EQ(0u, Probe().liveTexturesAfterLastRelease);
    }

    std::vector<FrameRecord> uninterrupted;
    size_t texturesInScene = 0;
};

TEST_F(KestrelRecovery, OneLostContextIsRebuiltAndTheFramesGoOnAsIfNothingHappened)
{
    EglShim::FailCall("eglSwapBuffers", 5, EGL_CONTEXT_LOST);
    ASSERT_TRUE(RunsCleanly(kRun));
    ExpectScenesRebuiltAroundTheSameMeshes(1);
    EXPECT_EQ(5, Probe().scenes[1].frameCounter) << "five frames were drawn before the loss";
    EXPECT_EQ(2, EglShim::CallCount("eglCreateContext"));
    ExpectSameFramesAsUninterrupted();
}

TEST_F(KestrelRecovery, EverySwapLosingTheContextStillGivesIdenticalLeakFreeFrames)
{
    EglShim::FailCallsFrom("eglSwapBuffers", 1, EGL_CONTEXT_LOST);
    ASSERT_TRUE(RunsCleanly(kRun));
    ExpectScenesRebuiltAroundTheSameMeshes(kFrames);
    for (size_t i = 1; i < Probe().scenes.size(); ++i) {
        EXPECT_EQ(int32_t(i), Probe().scenes[i].frameCounter);
    }
    ExpectSameFramesAsUninterrupted();
}

TEST_F(KestrelRecovery, WithoutThePowerManagementExtensionALostSwapIsOnlyReported)
{
    EglShim::Reset();
    EglShim::FailCall("eglSwapBuffers", 3, EGL_CONTEXT_LOST);
    const KestrelRun run = RunKestrel(kRun);
    ASSERT_EQ(0, run.exitCode) << run.errors;
    EXPECT_EQ("eglSwapBuffers failed\neglSwapBuffers failed with EGL_CONTEXT_LOST on the headless window system "
              "(Mesa's surfaceless EGL platform, no display)\n",
              run.errors);
    EXPECT_EQ(1u, Probe().scenes.size());
    ExpectSameFramesAsUninterrupted();
}

} // namespace
