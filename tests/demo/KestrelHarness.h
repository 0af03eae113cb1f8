#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "demo/KestrelDemo.h"

using namespace trellis;

// The demo as the tests run it through TrellisMain on the scripted window
// system: CreateApplication (defined with it) makes a ProbeDemo, which
// records what each scene set-up left and what each frame drew into a log
// that outlives the application object.

// The demo's state after one InitScene.
struct SceneSnapshot {
    int32_t result;
    int32_t recovering;
    uint32_t texDiffuse, texNormalMap, texSeamless, texLogo;
    uint32_t viewWidth, viewHeight;
    int32_t frameCounter;
    const MeshDataFixed* modelMesh;
    const MeshDataFixed* backdropMesh;
    const void* modelPositions;
    int32_t hasCombine, hasEnhancedFixedFunction;
    Matrix4 projection;
    size_t liveTextures;  // GL shim count, Glyphon's textures included
};

struct FrameRecord {
    int32_t frameCounter;   // before the frame was drawn
    uint64_t pixelHash;     // of the whole frame, read back before it was presented
    size_t liveTextures;
    size_t callsBefore;     // GL shim call index at the start of the frame
    size_t callsAfter;
};

struct ProbeLog {
    std::vector<SceneSnapshot> scenes;
    std::vector<FrameRecord> frames;
    std::set<int32_t> keepFrames;                    // frames whose pixels are kept
    std::vector<std::vector<uint8_t>> keptPixels;    // RGBA, bottom row first, in frame order
    int releases = 0;
    size_t liveTexturesAfterLastRelease = 0;
    int32_t width = 0, height = 0;
};

ProbeLog& Probe();

class ProbeDemo : public KestrelDemo {
public:
    int32_t InitScene(int32_t width, int32_t height) override;
    void ReleaseScene() override;
    int32_t RenderFrame() override;

    // The demo's own steps, open to tests that set up GL themselves.
    using KestrelDemo::DrawMesh;
    using KestrelDemo::SetLightColour;
    using KestrelDemo::SetUpModelUnits;
    void UseTextures(uint32_t normalMap, uint32_t diffuse) { texNormalMap = normalMap; texDiffuse = diffuse; }
    void SetCombinerFlags(int32_t combine, int32_t enhanced)
    {
        hasCombine = combine;
        hasEnhancedFixedFunction = enhanced;
    }
};

struct KestrelRun {
    int exitCode = 0;
    std::string errors;  // everything written to stderr
};

// Clears the log (keeping keepFrames) and runs the demo on a scripted
// monitor; the GL and EGL shims keep whatever the test set up before.
KestrelRun RunKestrel(const char16_t* commandLine, int32_t monitorWidth = 640, int32_t monitorHeight = 480);

// The tests that run the demo start with both shims afresh and keep no
// frame's pixels.
class KestrelTest : public testing::Test {
protected:
    void SetUp() override;

    // Runs the demo; passes when it exits 0 without a word on stderr.
    static testing::AssertionResult RunsCleanly(const char16_t* commandLine, int32_t monitorWidth = 640,
                                                int32_t monitorHeight = 480);
};

// FNV-1a over bytes.
uint64_t HashBytes(const std::vector<uint8_t>& bytes);
