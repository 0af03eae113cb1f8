// Cost of on-screen text: Glyphon's layout and queueing per character and its
// Flush of 20,000 glyphs, against what an application would pick instead for
// simple text: stb_easy_font building its quads and Dear ImGui adding text to
// a draw list. Every case reports items (characters or glyphs) per second, so
// the per-character costs compare directly.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES/gl.h>
#include <benchmark/benchmark.h>
#include <imgui.h>
#include <stb/stb_easy_font.h>

#include <cstring>
#include <string>
#include <vector>

#include "text/Glyphon.h"

using namespace trellis;

namespace {

// Two ordinary lines of on-screen text; printed alternately, each print
// misses Glyphon's one-entry layout cache, as the demo's title block does.
const char* const kLines[2] = {"The quick brown fox jumps over the lazy dog", "Frame 01234 at 59.94 fps, DOT3 lit"};

int64_t CharactersOf(const char* text)
{
    return int64_t(std::strlen(text));
}

// A GLES 1.x context on a 640 x 480 pbuffer of Mesa's surfaceless platform,
// made once for the whole run.
class GlContext {
public:
    GlContext()
    {
        const auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay == nullptr) {
            return;
        }
        display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_DEPTH_SIZE, 16, EGL_NONE};
        const EGLint surfaceAttributes[] = {EGL_WIDTH, 640, EGL_HEIGHT, 480, EGL_NONE};
        EGLConfig config = nullptr;
        EGLint count = 0;
        if (!eglInitialize(display, nullptr, nullptr) ||
            !eglChooseConfig(display, configAttributes, &config, 1, &count) || count != 1) {
            return;
        }
        EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
        EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
        ok = eglMakeCurrent(display, surface, surface, context) == EGL_TRUE;
    }

    bool ok = false;

private:
    EGLDisplay display = EGL_NO_DISPLAY;
};

// One initialised Glyphon instance over the shared context.
GlyphonContext* Glyphon()
{
    static GlContext context;
    static GlyphonContext glyphon;
    static const bool ready = context.ok && glyphon.Initialise(640, 480);
    return ready ? &glyphon : nullptr;
}

bool QueueHalfFull(const GlyphonContext& glyphon)
{
    return glyphon.State().queueCount > kGlyphonMaxQueue / 2;
}

// Draws what is queued into one pixel: the driver still takes every vertex,
// but no time goes on blending half a million glyphs over each other.
void Drain(GlyphonContext& glyphon)
{
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    glyphon.Flush();
    glFinish();
    glDisable(GL_SCISSOR_TEST);
}

// Empties Glyphon's queue outside the timing before it could fill.
void DrainWhenFull(benchmark::State& state, GlyphonContext& glyphon)
{
    if (QueueHalfFull(glyphon)) {
        state.PauseTiming();
        Drain(glyphon);
        state.ResumeTiming();
    }
}

// Every case first runs its work untimed until its output buffer has reached
// the size it is emptied at, so that the timed loop, short (bench/run --quick)
// or long, measures the same steady state: no buffer growth and no first
// touch of fresh memory inside it.
template <typename Work>
void WarmUpGlyphon(GlyphonContext& glyphon, Work work)
{
    for (int line = 0; !QueueHalfFull(glyphon); line ^= 1) {
        work(line);
    }
    Drain(glyphon);
}

void BM_GlyphonPrintAtCacheMiss(benchmark::State& state)
{
    GlyphonContext* glyphon = Glyphon();
    if (glyphon == nullptr) {
        state.SkipWithError("no GL context");
        return;
    }
    auto print = [glyphon](int line) { glyphon->PrintAt(10.0f, 20.0f, 1.0f, 0xFFFFFFFF, "%s", kLines[line]); };
    WarmUpGlyphon(*glyphon, print);
    int64_t characters = 0;
    int line = 0;
    for (auto _ : state) {
        print(line);
        characters += CharactersOf(kLines[line]);
        line ^= 1;
        DrainWhenFull(state, *glyphon);
    }
    state.SetItemsProcessed(characters);
}
BENCHMARK(BM_GlyphonPrintAtCacheMiss);

void BM_GlyphonLayOutAndQueue(benchmark::State& state)
{
    GlyphonContext* glyphon = Glyphon();
    if (glyphon == nullptr) {
        state.SkipWithError("no GL context");
        return;
    }
    std::vector<TextVertex> vertices(4 * kGlyphonTextBytes);
    auto layOut = [glyphon, &vertices](int line) {
        const int32_t count = glyphon->LayOutString(0.0f, 64.0f, 96.0f, 1.0f, 0xFFFFFFFF, kLines[line], vertices.data());
        glyphon->QueueVertices(vertices.data(), count);
    };
    WarmUpGlyphon(*glyphon, layOut);
    int64_t characters = 0;
    int line = 0;
    for (auto _ : state) {
        layOut(line);
        characters += CharactersOf(kLines[line]);
        line ^= 1;
        DrainWhenFull(state, *glyphon);
    }
    state.SetItemsProcessed(characters);
}
BENCHMARK(BM_GlyphonLayOutAndQueue);

// 20,000 glyphs (80,000 vertices) queued, then drawn by one Flush: two draw
// calls. Queueing is outside the timing. Without waiting, the figure is what
// the caller's thread spends in Flush; with glFinish it includes the rasterising.
void FlushTwentyThousand(benchmark::State& state, bool waitForDriver)
{
    GlyphonContext* glyphon = Glyphon();
    if (glyphon == nullptr) {
        state.SkipWithError("no GL context");
        return;
    }
    constexpr int32_t kGlyphs = 20000;
    std::vector<TextVertex> vertices;
    std::vector<TextVertex> line(4 * kGlyphonTextBytes);
    for (int row = 0; vertices.size() < 4u * kGlyphs; ++row) {
        const int32_t count =
            glyphon->LayOutString(0.0f, 0.0f, float(row % 30) * 16.0f, 0.5f, 0xFFFFFFFF, kLines[row % 2], line.data());
        vertices.insert(vertices.end(), line.begin(), line.begin() + count);
    }
    vertices.resize(4 * kGlyphs);
    glyphon->Flush();
    glFinish();
    for (auto _ : state) {
        // The previous batch is drawn outside the timing: left queued in the
        // driver, batch after batch would pile up in its memory.
        state.PauseTiming();
        glFinish();
        glyphon->QueueVertices(vertices.data(), int32_t(vertices.size()));
        state.ResumeTiming();
        benchmark::DoNotOptimize(glyphon->Flush());
        if (waitForDriver) {
            glFinish();
        }
    }
    glFinish();
    state.SetItemsProcessed(int64_t(state.iterations()) * kGlyphs);
}

void BM_GlyphonFlush20000(benchmark::State& state)
{
    FlushTwentyThousand(state, false);
}
BENCHMARK(BM_GlyphonFlush20000)->Unit(benchmark::kMicrosecond);

void BM_GlyphonFlush20000Finished(benchmark::State& state)
{
    FlushTwentyThousand(state, true);
}
BENCHMARK(BM_GlyphonFlush20000Finished)->Unit(benchmark::kMicrosecond);

// stb_easy_font: its quads for the same lines into one reused buffer (it
// takes the text as a mutable pointer).
void BM_StbEasyFontPrint(benchmark::State& state)
{
    std::string lines[2] = {kLines[0], kLines[1]};
    std::vector<char> buffer(512 * 1024);
    stb_easy_font_print(10.0f, 20.0f, &lines[0][0], nullptr, buffer.data(), int(buffer.size()));
    int64_t characters = 0;
    int line = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            stb_easy_font_print(10.0f, 20.0f, &lines[line][0], nullptr, buffer.data(), int(buffer.size())));
        characters += int64_t(lines[line].size());
        line ^= 1;
    }
    state.SetItemsProcessed(characters);
}
BENCHMARK(BM_StbEasyFontPrint);

// Dear ImGui: text added to a draw list with the default font, the list
// emptied (outside the timing) before it grows large.
void BM_ImGuiAddText(benchmark::State& state)
{
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(640.0f, 480.0f);
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;  // lists past 64K vertices
    io.IniFilename = nullptr;                                    // no settings file left behind
    io.Fonts->AddFontDefault();
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    ImGui::NewFrame();
    ImFont* font = io.Fonts->Fonts[0];
    ImDrawList list(ImGui::GetDrawListSharedData());
    auto reset = [&] {
        list._ResetForNewFrame();
        list.PushClipRectFullScreen();
        list.PushTextureID(io.Fonts->TexID);
    };
    reset();
    constexpr int kResetAt = 1 << 20;
    for (int line = 0; list.VtxBuffer.Size <= kResetAt; line ^= 1) {
        list.AddText(font, 13.0f, ImVec2(10.0f, 20.0f), 0xFFFFFFFF, kLines[line]);
    }
    reset();
    int64_t characters = 0;
    int line = 0;
    for (auto _ : state) {
        list.AddText(font, 13.0f, ImVec2(10.0f, 20.0f), 0xFFFFFFFF, kLines[line]);
        characters += CharactersOf(kLines[line]);
        line ^= 1;
        if (list.VtxBuffer.Size > kResetAt) {
            state.PauseTiming();
            reset();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(characters);
    ImGui::EndFrame();
    ImGui::DestroyContext();
}
BENCHMARK(BM_ImGuiAddText);

} // namespace

BENCHMARK_MAIN();
