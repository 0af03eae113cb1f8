// trellis-hello: the smallest useful Trellis application. It clears the
// screen to a colour that changes every frame and prints nothing.
//
// An application derives from TrellisApp, overrides the lifecycle operations
// it needs and supplies CreateApplication(); linking Trellis::main gives it
// the process entry, the window, EGL, the frame loop and the command-line
// options (try "-windowed -width=320 -height=240" or "-qaf=100"). It uses
// Trellis's names without the trellis:: namespace, through GlobalNames.h.
#include <GLES/gl.h>

#include <trellis/shell/GlobalNames.h>

namespace {

class HelloApp : public TrellisApp {
public:
    // The base class fails InitApp, so every application says it is ready.
    int32_t InitApp(int32_t, char**, int32_t, int32_t) override { return 1; }

    // Called with the context current, and again after a lost context is
    // rebuilt: everything GL-side is (re)made here.
    int32_t InitScene(int32_t width, int32_t height) override
    {
        glViewport(0, 0, width, height);
        return 1;
    }

    int32_t QuitApp() override { return 1; }

    // Its own options, for -help and so that the shell can warn about a token
    // nobody takes. Hello has none; an option "-speed=N" would be declared
    // here as {"-speed=", "N", "frames per trip round the colour wheel"}.
    const TrellisAppOption* GetAppOptions() const override
    {
        static constexpr TrellisAppOption kNone[] = {{nullptr, nullptr, nullptr}};
        return kNone;
    }

    int32_t RenderFrame() override
    {
        // One slow trip round the colour wheel every 256 frames.
        const uint32_t step = frame++ & 0xFF;
        const GLfixed rising = static_cast<GLfixed>(step << 8);
        const GLfixed falling = static_cast<GLfixed>((255 - step) << 8);
        glClearColorx(rising, falling, 0x8000, 0x10000);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return 0;  // keep running; the shell presents the frame
    }

private:
    uint32_t frame = 0;
};

} // namespace

TrellisApp* CreateApplication()
{
    return new HelloApp;
}
