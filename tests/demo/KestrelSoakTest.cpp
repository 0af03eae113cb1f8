// Endurance: the demo runs headless on the real driver for many frames while
// the EGL shim takes its context away every few thousand frames; Mesa then
// really tears the context down and the demo rebuilds everything in it. Every
// few hundred frames the run notes its resident memory and the live GL
// textures (GL shim count) and prints them.
//
// CTest runs a short form (3,000 frames, two lost contexts). The long form is
// the same program with larger numbers in the environment, as bench/soak runs it:
//   KESTREL_SOAK_FRAMES (frames drawn), KESTREL_SOAK_LOSS_EVERY (frames
//   between lost contexts), KESTREL_SOAK_REPORT_EVERY (frames between samples).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "EglShim.h"
#include "GlShim.h"
#include "GlTestContext.h"
#include "demo/KestrelDemo.h"
#include "shell/Entry.h"
#include "ScriptedWindowSystem.h"

using namespace trellis;

namespace {

int32_t Setting(const char* name, int32_t fallback)
{
    const char* value = std::getenv(name);
    const int32_t parsed = value != nullptr ? std::atoi(value) : 0;
    return parsed > 0 ? parsed : fallback;
}

struct SoakSettings {
    int32_t frames = Setting("KESTREL_SOAK_FRAMES", 3000);
    int32_t lossEvery = Setting("KESTREL_SOAK_LOSS_EVERY", 1000);
    int32_t reportEvery = Setting("KESTREL_SOAK_REPORT_EVERY", 500);
};

struct Sample {
    int32_t frame;
    long residentKiB;
    size_t liveTextures;
    int32_t recoveries;
};

struct SoakLog {
    SoakSettings settings;
    std::vector<Sample> samples;
    int32_t recoveries = 0;
    int32_t failedRecoveries = 0;
    int32_t framesDrawn = 0;
};

SoakLog& Log()
{
    static SoakLog log;
    return log;
}

long ResidentKiB()
{
    long pages = 0, resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) {
        return -1;
    }
    const bool read = std::fscanf(statm, "%ld %ld", &pages, &resident) == 2;
    std::fclose(statm);
    return read ? resident * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

// The demo with the soak's hooks around its frame and its scene set-up.
class SoakDemo : public KestrelDemo {
public:
    int32_t InitScene(int32_t width, int32_t height) override
    {
        const int32_t result = KestrelDemo::InitScene(width, height);
        if (IsRecovering()) {
            ++Log().recoveries;
            Log().failedRecoveries += result == 0 ? 1 : 0;
        }
        return result;
    }

    // Both shims' records start afresh at each sample and each loss, so that
    // they stay small however long the run.
    int32_t RenderFrame() override
    {
        SoakLog& log = Log();
        const int32_t frame = GetShellData()->frameCount;
        if (frame % log.settings.reportEvery == 0) {
            GlShim::ForgetCalls();
            const Sample sample{frame, ResidentKiB(), GlShim::LiveTextures(), log.recoveries};
            log.samples.push_back(sample);
            std::printf("soak: frame %d  rss %ld KiB  live textures %zu  recoveries %d\n", sample.frame,
                        sample.residentKiB, sample.liveTextures, sample.recoveries);
            std::fflush(stdout);
        }
        if (frame > 0 && frame % log.settings.lossEvery == 0) {
            EglShim::Reset();
            EglShim::AddExtension("EGL_XAN_power_management");
            EglShim::FailCall("eglSwapBuffers", 1, EGL_CONTEXT_LOST);
        }
        ++log.framesDrawn;
        return KestrelDemo::RenderFrame();
    }
};

} // namespace

TrellisApp* CreateApplication() { return new SoakDemo; }

// Without a flush at each present the driver would queue every frame of a
// headless run in memory and never draw one.
TEST(KestrelSoak, EveryHeadlessPresentSubmitsItsFrame)
{
    GlTestContext::KeepDriverLoaded();
    Log() = SoakLog{};
    GlShim::Reset();
    EglShim::Reset();
    HeadlessWindowSystem windowSystem;
    ASSERT_EQ(0, TrellisMain(u"-windowed -width=64 -height=64 -qaf=4", windowSystem));
    EXPECT_EQ(5u, GlShim::CallsTo("glFlush").size());
    EXPECT_EQ(5 + 1, EglShim::CallCount("eglSwapBuffers")) << "five frames and the one before shutting down";
}

TEST(KestrelSoak, LostContextsAgainAndAgainLeaveNoTexturesBehindAndTheFramesGoOn)
{
    GlTestContext::KeepDriverLoaded();
    Log() = SoakLog{};
    SoakLog& log = Log();
    const SoakSettings& settings = log.settings;
    GlShim::Reset();
    EglShim::Reset();
    EglShim::AddExtension("EGL_XAN_power_management");
    HeadlessWindowSystem windowSystem;
    const std::string options = "-windowed -width=64 -height=64 -qaf=" + std::to_string(settings.frames - 1);
    const std::u16string commandLine(options.begin(), options.end());

    std::string errors;
    const int exitCode = RunTrellisMain(commandLine.c_str(), windowSystem, errors);

    ASSERT_EQ(0, exitCode) << errors;
    EXPECT_EQ("", errors);
    EXPECT_EQ(settings.frames, log.framesDrawn);
    EXPECT_EQ((settings.frames - 1) / settings.lossEvery, log.recoveries);
    EXPECT_EQ(0, log.failedRecoveries);
    ASSERT_FALSE(log.samples.empty());
    const size_t texturesInScene = log.samples.front().liveTextures;
    EXPECT_GT(texturesInScene, 0u);
    for (const Sample& sample : log.samples) {
        EXPECT_EQ(texturesInScene, sample.liveTextures) << "at frame " << sample.frame;
    }
    EXPECT_EQ(0u, GlShim::LiveTextures()) << "the last release deletes every texture";

    // Resident memory is reported, not judged: the sanitizers' quarantine and
    // the driver's caches make it move for reasons of their own.
    const Sample& first = log.samples.front();
    const Sample& last = log.samples.back();
    RecordProperty("rss_first_kib", std::to_string(first.residentKiB));
    RecordProperty("rss_last_kib", std::to_string(last.residentKiB));
    std::printf("soak: %d frames, %d lost contexts, rss %ld -> %ld KiB, live textures %zu throughout\n",
                log.framesDrawn, log.recoveries, first.residentKiB, last.residentKiB, texturesInScene);
}
