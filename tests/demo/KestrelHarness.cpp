#include "KestrelHarness.h"

#include <GLES/gl.h>
#include <gtest/gtest.h>

#include "EglShim.h"
#include "GlShim.h"
#include "GlTestContext.h"
#include "ScriptedWindowSystem.h"
#include "shell/Entry.h"

using namespace trellis;

ProbeLog& Probe()
{
    static ProbeLog log;
    return log;
}

int32_t ProbeDemo::InitScene(int32_t width, int32_t height)
{
    const int32_t result = KestrelDemo::InitScene(width, height);
    Probe().scenes.push_back(SceneSnapshot{result, IsRecovering(), texDiffuse, texNormalMap, texSeamless, texLogo,
                                           viewWidth, viewHeight, frameCounter, modelMesh, backdropMesh,
                                           modelMesh != nullptr ? modelMesh->positions : nullptr, hasCombine,
                                           hasEnhancedFixedFunction, projection, GlShim::LiveTextures()});
    return result;
}

void ProbeDemo::ReleaseScene()
{
    KestrelDemo::ReleaseScene();
    ++Probe().releases;
    Probe().liveTexturesAfterLastRelease = GlShim::LiveTextures();
}

int32_t ProbeDemo::RenderFrame()
{
    ProbeLog& log = Probe();
    const int32_t frame = frameCounter;
    const size_t callsBefore = GlShim::Calls().size();
    const int32_t result = KestrelDemo::RenderFrame();
    std::vector<uint8_t> pixels(size_t(GetWidth()) * size_t(GetHeight()) * 4);
    glReadPixels(0, 0, GetWidth(), GetHeight(), GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    log.width = GetWidth();
    log.height = GetHeight();
    log.frames.push_back(FrameRecord{frame, HashBytes(pixels), GlShim::LiveTextures(), callsBefore,
                                     GlShim::Calls().size()});
    if (log.keepFrames.count(frame) != 0) {
        log.keptPixels.push_back(std::move(pixels));
    }
    return result;
}

TrellisApp* CreateApplication() { return new ProbeDemo; }

KestrelRun RunKestrel(const char16_t* commandLine, int32_t monitorWidth, int32_t monitorHeight)
{
    GlTestContext::KeepDriverLoaded();
    ProbeLog& log = Probe();
    const std::set<int32_t> keep = log.keepFrames;
    log = ProbeLog{};
    log.keepFrames = keep;
    ScriptedWindowSystem system(monitorWidth, monitorHeight);
    KestrelRun run;
    run.exitCode = RunTrellisMain(commandLine, system, run.errors);
    return run;
}

void KestrelTest::SetUp()
{
    GlShim::Reset();
    EglShim::Reset();
    Probe().keepFrames.clear();
}

testing::AssertionResult KestrelTest::RunsCleanly(const char16_t* commandLine, int32_t monitorWidth,
                                                  int32_t monitorHeight)
{
    const KestrelRun run = RunKestrel(commandLine, monitorWidth, monitorHeight);
    return run.exitCode == 0 && run.errors.empty() ? testing::AssertionSuccess()
                                                   : testing::AssertionFailure() << run.exitCode << ": " << run.errors;
}

uint64_t HashBytes(const std::vector<uint8_t>& bytes)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t byte : bytes) {
        hash = (hash ^ byte) * 0x100000001b3ull;
    }
    return hash;
}
