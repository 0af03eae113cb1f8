// The demo's frames through TrellisMain on the real driver, with the GL shim
// recording the calls whose order and values the scene fixes.
#include <gtest/gtest.h>

#include <GLES/gl.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "EglShim.h"
#include "GlShim.h"
#include "GlTestContext.h"
#include "KestrelHarness.h"
#include "ScriptedWindowSystem.h"
#include "demo/SceneAssets.h"
#include "math/Fixed.h"

using namespace trellis;

namespace {

constexpr const char16_t* kSmallWindow = u"-windowed -width=320 -height=240 -qaf=0";

using KestrelFrames = KestrelTest;

using GlShim::CallsTo;

std::vector<GlShim::Call> CallsInFrame(const char* entry, const FrameRecord& frame)
{
    return CallsTo(entry, frame.callsBefore, frame.callsAfter);
}

std::vector<int64_t> FixedMatrix(const Matrix4& matrix)
{
    int32_t fixed[16];
    MatrixToFixed(fixed, &matrix);
    return std::vector<int64_t>(fixed, fixed + 16);
}

std::vector<int64_t> ExpectedModelView(int frame)
{
    const Vector3 eye{5.0f, -25.0f, -135.0f};
    const Vector3 target{0.0f, 7.0f, 0.0f};
    const Vector3 up{0.0f, 1.0f, 0.0f};
    Matrix4 rotation, view;
    MatrixRotationY(&rotation, static_cast<float>(-frame) / 100.0f);
    MatrixLookAtRH(&view, &eye, &target, &up);
    MatrixMultiply(&rotation, &rotation, &view);
    return FixedMatrix(rotation);
}

std::vector<int64_t> ExpectedProjection(float aspect)
{
    Matrix4 projection;
    MatrixPerspectiveFovRH(&projection, 0.43611112f, aspect, 10.0f, 10000.0f);
    return FixedMatrix(projection);
}

TEST_F(KestrelFrames, FrameNTurnsTheModelByMinusNHundredthsOfARadianAndTheLightFollows)
{
    ASSERT_TRUE(RunsCleanly(u"-windowed -width=320 -height=240 -qaf=120"));
    ASSERT_EQ(121u, Probe().frames.size());
    // The light in object space as the model's colour, then white for the backdrop.
    const std::vector<GlShim::Call> colours = CallsInFrame("glColor4x", Probe().frames[0]);
    ASSERT_EQ(2u, colours.size());
    EXPECT_EQ((std::vector<int64_t>{13849, 13849, 51686, 0}), colours[0].args);
    EXPECT_EQ((std::vector<int64_t>{0x10000, 0x10000, 0x10000, 0x10000}), colours[1].args);
    EXPECT_NE(colours[0].args, CallsInFrame("glColor4x", Probe().frames[120])[0].args);
    for (int frame : {0, 1, 37, 120}) {
        SCOPED_TRACE(frame);
        const FrameRecord& record = Probe().frames[size_t(frame)];
        EXPECT_EQ(frame, record.frameCounter);
        const std::vector<GlShim::Call> matrices = CallsInFrame("glMultMatrixx", record);
        ASSERT_EQ(1u, matrices.size());
        EXPECT_EQ(ExpectedModelView(frame), matrices[0].args);
        if (frame != 0) {
            EXPECT_NE(ExpectedModelView(-frame), matrices[0].args) << "the turn has a sense";
        }
    }
}

// Only a full screen on a portrait monitor turns the projection a quarter
// turn, and then takes the turned aspect and view size.
TEST_F(KestrelFrames, TheProjectionIsTurnedForAPortraitFullScreenAlone)
{
    const struct {
        const char16_t* commandLine;
        int32_t monitorWidth, monitorHeight;
        bool turned;
        float aspect;
        uint32_t viewWidth, viewHeight;
    } cases[] = {
        {kSmallWindow, 640, 480, false, 320.0f / 240.0f, 320, 240},
        {u"-qaf=0", 240, 320, true, 320.0f / 240.0f, 320, 240},
        {u"-windowed -width=200 -height=150 -qaf=0", 240, 320, false, 200.0f / 150.0f, 200, 150},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.commandLine));
        GlShim::Reset();
        ASSERT_TRUE(RunsCleanly(c.commandLine, c.monitorWidth, c.monitorHeight));
        ASSERT_EQ(1u, Probe().scenes.size());
        const size_t sceneEnd = Probe().frames[0].callsBefore;
        const std::vector<GlShim::Call> turns = CallsTo("glRotatex", 0, sceneEnd);
        ASSERT_EQ(c.turned ? 1u : 0u, turns.size());
        if (c.turned) {
            EXPECT_EQ((std::vector<int64_t>{0x5A0000, 0, 0, 0x10000}), turns[0].args);
        }
        const std::vector<GlShim::Call> matrices = CallsTo("glMultMatrixx", 0, sceneEnd);
        ASSERT_EQ(1u, matrices.size());
        EXPECT_EQ(ExpectedProjection(c.aspect), matrices[0].args);
        EXPECT_EQ(c.viewWidth, Probe().scenes[0].viewWidth);
        EXPECT_EQ(c.viewHeight, Probe().scenes[0].viewHeight);
        const int64_t portWidth = c.turned ? c.viewHeight : c.viewWidth;
        const int64_t portHeight = c.turned ? c.viewWidth : c.viewHeight;
        EXPECT_EQ((std::vector<int64_t>{0, 0, portWidth, portHeight}),
                  CallsInFrame("glViewport", Probe().frames[0])[0].args);
    }
}

// A recorded call as text: the entry and its first `shown` integer arguments.
std::string Describe(const GlShim::Call& call, size_t shown = SIZE_MAX)
{
    std::string line = call.entry;
    for (size_t k = 0; k < std::min(shown, call.args.size()); ++k) {
        line += " " + std::to_string(call.args[k]);
    }
    return line;
}

TEST_F(KestrelFrames, TheSceneEndsItsSetUpWithTheProjectionCullingAndDepthTest)
{
    ASSERT_TRUE(RunsCleanly(kSmallWindow));
    const std::vector<GlShim::Call>& calls = GlShim::Calls();
    size_t lastUpload = 0;
    for (size_t i = 0; i < Probe().frames[0].callsBefore; ++i) {
        lastUpload = calls[i].entry == "glTexImage2D" ? i : lastUpload;
    }
    std::vector<std::string> setUp;
    for (size_t i = lastUpload + 1; i < Probe().frames[0].callsBefore; ++i) {
        if (calls[i].entry != "glGetString" && calls[i].entry != "glGetError") {
            setUp.push_back(Describe(calls[i], calls[i].entry == "glMultMatrixx" ? 0 : SIZE_MAX));  // values apart
        }
    }
    const std::vector<std::string> expected{
        "glMatrixMode " + std::to_string(GL_PROJECTION), "glLoadIdentity", "glMultMatrixx",
        "glEnable " + std::to_string(GL_CULL_FACE),      "glCullFace " + std::to_string(GL_BACK),
        "glFrontFace " + std::to_string(GL_CCW),         "glEnable " + std::to_string(GL_DEPTH_TEST)};
    EXPECT_EQ(expected, setUp);
}

// What a frame shows is held to reviewed pictures (KestrelReferenceTest) and its
// texture set-up to the combiner sequences below; here, what pixels cannot
// show: which arrays the two draws take, and every client array switched off
// again for whatever draws next.
TEST_F(KestrelFrames, AFrameDrawsModelThenBackdropFromTheirOwnArraysAndTidiesUp)
{
    ASSERT_TRUE(RunsCleanly(kSmallWindow));
    const SceneSnapshot& scene = Probe().scenes[0];
    const FrameRecord& frame = Probe().frames[0];
    const std::vector<GlShim::Call>& calls = GlShim::Calls();

    // Up to the backdrop's draw and the three calls that tidy up after it.
    std::vector<const GlShim::Call*> pointers;
    std::vector<std::vector<int64_t>> draws;
    int arraysOn = 0;
    size_t end = frame.callsAfter;
    for (size_t i = frame.callsBefore; i < end; ++i) {
        const std::string& entry = calls[i].entry;
        if (entry == "glVertexPointer" || entry == "glTexCoordPointer" || entry == "glDrawElements") {
            pointers.push_back(&calls[i]);
        }
        arraysOn += entry == "glEnableClientState" ? 1 : entry == "glDisableClientState" ? -1 : 0;
        if (entry == "glDrawElements") {
            draws.push_back(calls[i].args);
            end = draws.size() == 2 ? std::min(end, i + 4) : end;
        }
    }
    EXPECT_EQ((std::vector<std::vector<int64_t>>{{GL_TRIANGLES, 4476, GL_UNSIGNED_SHORT},
                                                 {GL_TRIANGLES, 108, GL_UNSIGNED_SHORT}}),
              draws);
    EXPECT_EQ(0, arraysOn);

    // The model's arrays come from its fixed-point copy, both units sharing one
    // coordinate set; the indices are the compiled-in ones.
    ASSERT_EQ(7u, pointers.size());
    for (const size_t array : {0, 1, 2, 4, 5}) {
        EXPECT_EQ(GL_FIXED, pointers[array]->args[1]) << array;
    }
    EXPECT_EQ(scene.modelPositions, pointers[0]->data);
    EXPECT_EQ(pointers[1]->data, pointers[2]->data);
    EXPECT_EQ(static_cast<const void*>(KestrelModelMesh()->indices), pointers[3]->data);
    EXPECT_NE(pointers[0]->data, pointers[4]->data);
    EXPECT_EQ(static_cast<const void*>(KestrelBackdropMesh()->indices), pointers[6]->data);
}

TEST_F(KestrelFrames, ReleasingTheSceneDeletesGlyphonsResourcesThenTheFourTexturesInOrder)
{
    ASSERT_TRUE(RunsCleanly(kSmallWindow));
    ASSERT_EQ(1, Probe().releases);
    const SceneSnapshot& scene = Probe().scenes[0];
    const std::vector<GlShim::Call> deletions = CallsTo("glDeleteTextures", Probe().frames.back().callsAfter,
                                                        GlShim::Calls().size());
    ASSERT_GT(deletions.size(), 4u) << "Glyphon's textures go first";
    std::vector<int64_t> names;
    for (const GlShim::Call& call : deletions) {
        names.push_back(call.args[1]);  // the first name of each call
    }
    for (size_t i = deletions.size() - 4; i < deletions.size(); ++i) {
        EXPECT_EQ(1, deletions[i].args[0]) << "one texture per call";
    }
    const std::vector<int64_t> ours{scene.texDiffuse, scene.texNormalMap, scene.texSeamless, scene.texLogo};
    EXPECT_EQ(ours, std::vector<int64_t>(names.end() - 4, names.end()));
    for (size_t i = 0; i + 4 < names.size(); ++i) {
        EXPECT_EQ(ours.end(), std::find(ours.begin(), ours.end(), names[i]));
    }
    EXPECT_EQ(0u, Probe().liveTexturesAfterLastRelease);
}

// The combiner-related calls of one frame up to the backdrop's draw, as text.
std::vector<std::string> CombinerCalls(const FrameRecord& frame)
{
    std::vector<std::string> lines;
    int draws = 0;
    const std::vector<GlShim::Call>& calls = GlShim::Calls();
    for (size_t i = frame.callsBefore; i < frame.callsAfter && draws < 2; ++i) {
        const GlShim::Call& call = calls[i];
        if (call.entry != "glActiveTexture" && call.entry != "glBindTexture" && call.entry != "glTexEnvx" &&
            call.entry != "glDrawElements") {
            continue;
        }
        lines.push_back(Describe(call, call.entry == "glDrawElements" ? 1 : SIZE_MAX));
        draws += call.entry == "glDrawElements" ? 1 : 0;
    }
    return lines;
}

std::string Unit(GLenum unit) { return "glActiveTexture " + std::to_string(unit); }
std::string Bind(uint32_t texture) { return "glBindTexture " + std::to_string(GL_TEXTURE_2D) + " " + std::to_string(texture); }
std::string Env(GLenum name, GLenum value)
{
    return "glTexEnvx " + std::to_string(GL_TEXTURE_ENV) + " " + std::to_string(name) + " " + std::to_string(value);
}
const std::string kDraw = "glDrawElements " + std::to_string(GL_TRIANGLES);

std::vector<std::string> CombineSequence(const SceneSnapshot& scene)
{
    return {Unit(GL_TEXTURE0), Bind(scene.texNormalMap), Env(GL_TEXTURE_ENV_MODE, GL_COMBINE),
            Env(GL_COMBINE_RGB, GL_DOT3_RGBA), Env(GL_SRC0_RGB, GL_TEXTURE), Env(GL_SRC1_RGB, GL_PREVIOUS),
            Unit(GL_TEXTURE1), Bind(scene.texDiffuse), Env(GL_COMBINE_RGB, GL_MODULATE),
            Env(GL_SRC0_RGB, GL_TEXTURE), Env(GL_SRC1_RGB, GL_PREVIOUS), kDraw,
            Unit(GL_TEXTURE0), Bind(scene.texSeamless), Env(GL_TEXTURE_ENV_MODE, GL_MODULATE),
            Env(GL_COMBINE_RGB, GL_REPLACE), Env(GL_SRC0_RGB, GL_TEXTURE), Env(GL_SRC1_RGB, GL_PREVIOUS),
            Unit(GL_TEXTURE1), Unit(GL_TEXTURE0), kDraw};
}

std::vector<std::string> EnhancedSequence(const SceneSnapshot& scene)
{
    return {Unit(GL_TEXTURE0), Bind(scene.texNormalMap), Env(GL_TEXTURE_ENV_MODE, GL_DOT3_RGBA),
            Unit(GL_TEXTURE1), Bind(scene.texDiffuse), Env(GL_TEXTURE_ENV_MODE, GL_MODULATE), kDraw,
            Unit(GL_TEXTURE0), Bind(scene.texSeamless), Env(GL_TEXTURE_ENV_MODE, GL_MODULATE),
            Unit(GL_TEXTURE1), Unit(GL_TEXTURE0), kDraw};
}

// ES 1.1 has the combiners in its core; ES 1.0 has them from the extension
// alone, and takes them over the enhanced extension; only the enhanced
// extension gives the single-call DOT3 and a plain modulate.
TEST_F(KestrelFrames, EachDriverTakesTheCombinerPathItOffers)
{
    const struct {
        const char* version;
        std::vector<std::string> extensions;
        const char16_t* commandLine;
        int32_t hasCombine, hasEnhanced;
        std::vector<std::string> (*sequence)(const SceneSnapshot&);
    } cases[] = {
        {"", {}, u"-windowed -width=320 -height=240 -qaf=1", 1, 0, CombineSequence},
        {"OpenGL ES-CM 1.0", {"GL_ARB_texture_env_combine", "GL_XAN_texture_env_enhanced_fixed_function"},
         kSmallWindow, 1, 1, CombineSequence},
        {"OpenGL ES-CL 1.0", {"GL_XAN_texture_env_enhanced_fixed_function"}, kSmallWindow, 0, 1, EnhancedSequence},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        GlShim::Reset();
        GlShim::SetVersion(c.version);
        for (const std::string& extension : c.extensions) {
            GlShim::AddExtension(extension);
        }
        ASSERT_TRUE(RunsCleanly(c.commandLine));
        const SceneSnapshot& scene = Probe().scenes[0];
        EXPECT_EQ(c.hasCombine, scene.hasCombine);
        EXPECT_EQ(c.hasEnhanced, scene.hasEnhancedFixedFunction);
        for (const FrameRecord& frame : Probe().frames) {
            EXPECT_EQ(c.sequence(scene), CombinerCalls(frame));
        }
    }
}

TEST_F(KestrelFrames, WithNeitherCombinerTheSceneFailsAfterLoadingAllFourTextures)
{
    GlShim::SetVersion("OpenGL ES-CM 1.0");
    const KestrelRun run = RunKestrel(kSmallWindow);
    EXPECT_EQ(1, run.exitCode);
    EXPECT_EQ("Can't run this demo without Combiners or XAN_Texture_Ext\n", run.errors);
    ASSERT_EQ(1u, Probe().scenes.size());
    const SceneSnapshot& scene = Probe().scenes[0];
    EXPECT_EQ(0, scene.result);
    for (const uint32_t texture : {scene.texNormalMap, scene.texDiffuse, scene.texSeamless, scene.texLogo}) {
        EXPECT_NE(0u, texture);
    }
    EXPECT_NE(nullptr, scene.modelMesh) << "the meshes are copied before the combiner check";
    EXPECT_TRUE(Probe().frames.empty());
}

// A clean run shows how many uploads there are; a failure is injected at
// each texture's first level, counted back from the end of the load.
TEST_F(KestrelFrames, EachTextureThatFailsToLoadIsNamedAndEndsTheStartWithTheEarlierOnesLoaded)
{
    ASSERT_TRUE(RunsCleanly(kSmallWindow));
    const size_t uploads = CallsTo("glTexImage2D", 0, Probe().frames[0].callsBefore).size();
    const size_t glyphonTextures = Probe().scenes[0].liveTextures - 4;
    const struct {
        const char* name;
        uint32_t SceneSnapshot::*texture;
        size_t levelsFromHere;  // levels uploaded from its first one to the end of the load
        size_t loadedBefore;
    } textures[] = {{"newnormalmap", &SceneSnapshot::texNormalMap, 10 + 9 + 10 + 8, 0},
                    {"newdiffuse", &SceneSnapshot::texDiffuse, 9 + 10 + 8, 1},
                    {"seamless", &SceneSnapshot::texSeamless, 10 + 8, 2},
                    {"ZELlogo", &SceneSnapshot::texLogo, 8, 3}};
    for (const auto& texture : textures) {
        SCOPED_TRACE(texture.name);
        GlShim::Reset();
        GlShim::FailCall("glTexImage2D", static_cast<int>(uploads - texture.levelsFromHere + 1), GL_OUT_OF_MEMORY);
        const KestrelRun run = RunKestrel(kSmallWindow);
        EXPECT_EQ(1, run.exitCode);
        EXPECT_EQ(std::string("TrellisLoadPartialTextureFromHeader() failed\nError loading texture: ") + texture.name +
                      "\n",
                  run.errors);
        ASSERT_EQ(1u, Probe().scenes.size());
        const SceneSnapshot& scene = Probe().scenes[0];
        EXPECT_EQ(0, scene.result);
        EXPECT_EQ(0u, scene.*texture.texture);
        EXPECT_EQ(texture.loadedBefore > 0, scene.texNormalMap != 0);
        EXPECT_EQ(glyphonTextures + texture.loadedBefore, scene.liveTextures) << "Glyphon's and the earlier ones";
        EXPECT_EQ(nullptr, scene.modelMesh) << "no meshes before the textures are in";
        EXPECT_TRUE(Probe().frames.empty());
    }
}

TEST_F(KestrelFrames, AGlyphonThatCannotStartEndsTheStartBeforeAnyTexture)
{
    GlShim::FailCall("glTexImage2D", 1, GL_OUT_OF_MEMORY);  // Glyphon's first texture
    const KestrelRun run = RunKestrel(kSmallWindow);
    EXPECT_EQ(1, run.exitCode);
    EXPECT_EQ("ERROR: Cannot initialise Glyphon\n", run.errors);
    ASSERT_EQ(1u, Probe().scenes.size());
    EXPECT_EQ(0, Probe().scenes[0].result);
    EXPECT_EQ(0u, Probe().scenes[0].texNormalMap);
    EXPECT_EQ(1u, GlShim::CallsTo("glTexImage2D").size()) << "nothing is uploaded after the failure";
    EXPECT_TRUE(Probe().frames.empty());
}

TEST_F(KestrelFrames, AFrameWithNeitherCombinerSaysSoAndDrawsNothingAfterTheClear)
{
    constexpr int kWidth = 64, kHeight = 48;
    GlTestContext gl(kWidth, kHeight);
    ASSERT_TRUE(gl.Ok());
    ProbeDemo demo;
    demo.GetShellData()->width = kWidth;
    demo.GetShellData()->height = kHeight;
    ASSERT_EQ(1, demo.InitScene(kWidth, kHeight));
    demo.SetCombinerFlags(0, 0);  // as a re-creation on a driver without either would leave them
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    Probe().frames.clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, demo.RenderFrame());
    EXPECT_EQ(0, demo.RenderFrame());
    const std::string message = "Error, neither combiners nor GL_XAN_texture_env_enhanced_fixed_function present\n";
    EXPECT_EQ(message + message, testing::internal::GetCapturedStderr());
    std::vector<uint8_t> black(size_t(kWidth) * kHeight * 4, 0);
    for (size_t i = 3; i < black.size(); i += 4) {
        black[i] = 0xFF;
    }
    ASSERT_EQ(2u, Probe().frames.size());
    for (const FrameRecord& frame : Probe().frames) {
        EXPECT_EQ(0, frame.frameCounter) << "the frame counter does not move";
        EXPECT_EQ(HashBytes(black), frame.pixelHash) << "opaque black, as cleared";
        EXPECT_TRUE(CallsInFrame("glDrawElements", frame).empty());
    }
    demo.ReleaseScene();
}

} // namespace
