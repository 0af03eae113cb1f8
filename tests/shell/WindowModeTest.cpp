// The three window modes, the message pump and the window procedures, on
// scripted monitors of several sizes.
#include <gtest/gtest.h>

#include <EGL/egl.h>
#include <GLES/gl.h>

#include <cstring>
#include <string>
#include <vector>

#include "EglShim.h"
#include "RecordingApp.h"
#include "ScriptedWindowSystem.h"
#include "shell/Entry.h"
#include "shell/ShellData.h"
#include "shell/ce/TrellisPlatformCE.h"

using namespace trellis;

namespace {

using Lines = std::vector<std::string>;

// Left, top, right and bottom of each window.
using Places = std::vector<std::vector<int32_t>>;

class WindowModes : public testing::Test {
protected:
    void SetUp() override
    {
        ResetApp();
        EglShim::Reset();
    }

    int Run(ScriptedWindowSystem& system, const char16_t* commandLine)
    {
        return RunTrellisMain(commandLine, system, errors);
    }

    // Where the windows are, as the window system has them, when the first frame is drawn.
    void ReadPlacesAtTheFirstFrame(ScriptedWindowSystem& system)
    {
        Script().onFrame = [this, &system](int frame) {
            for (WindowHandle window : system.CreatedWindows()) {
                const Rect rect = system.GetWindowRect(window);
                if (frame == 0) {
                    places.push_back({rect.left, rect.top, rect.right, rect.bottom});
                }
            }
        };
    }

    std::string errors;
    Places places;
};

TEST_F(WindowModes, QuarterSizeFullScreenUsesACoverWindow)
{
    ScriptedWindowSystem system(640, 480);
    ReadPlacesAtTheFirstFrame(system);
    EXPECT_EQ(0, Run(system, u"-width=320 -height=240 -qaf=0"));
    // The cover over the whole monitor, shown first; the main window over its
    // top-left quarter, stacked above it (both topmost, the main one later) and
    // alone made full screen, once the driver was asked about a second display.
    EXPECT_EQ((Places{{0, 0, 640, 480}, {0, 0, 320, 240}}), places);
    const Lines placing = system.Calls({"SetWindowPos", "ShowWindow", "FullScreen", "ExtEscape"});
    ASSERT_GE(placing.size(), 6u);
    EXPECT_EQ((Lines{"SetWindowPos 1 -1 0 0 640 480 0x0", "ShowWindow 1 1", "SetWindowPos 2 -1 0 0 320 240 0x0",
                     "FullScreen 2 0x2a", "ExtEscape 0x80000000 101005 12 [1 0 0] 12 -> 0 [1 0 0]", "ShowWindow 2 1"}),
              Lines(placing.begin(), placing.begin() + 6));
    EXPECT_EQ("InitScene 320 240 recovering=0 compressed=0 portrait=0", Record().events.at(1));
    EXPECT_EQ(Lines{"SetWindowUserData 2 data"}, system.Calls({"SetWindowUserData"}));
    EXPECT_EQ(Lines{"CreateEGLSurface 2 320 240"}, system.Calls({"CreateEGLSurface"}));
    // Release: the main window goes, then the cover window is shown, updated and destroyed.
    const Lines calls = system.Calls({"DestroyWindow", "ShowWindow", "UpdateWindow"});
    EXPECT_EQ((Lines{"DestroyWindow 2", "ShowWindow 1 1", "UpdateWindow 1", "DestroyWindow 1"}),
              Lines(calls.end() - 4, calls.end()));
}

TEST_F(WindowModes, PortraitQuarterSizeCoversFourHundredEightyBySixHundredForty)
{
    ScriptedWindowSystem system(480, 640);
    ReadPlacesAtTheFirstFrame(system);
    EXPECT_EQ(0, Run(system, u"-width=240 -height=320 -qaf=0"));
    EXPECT_EQ((Places{{0, 0, 480, 640}, {0, 0, 240, 320}}), places);
    EXPECT_EQ("InitScene 240 320 recovering=0 compressed=0 portrait=1", Record().events.at(1));
}

TEST_F(WindowModes, FullScreenTakesTheMonitorSize)
{
    ScriptedWindowSystem system(800, 600);
    ReadPlacesAtTheFirstFrame(system);
    EXPECT_EQ(0, Run(system, u"-qaf=0"));
    EXPECT_EQ((Places{{0, 0, 800, 600}}), places);
    EXPECT_EQ((Lines{"SetWindowPos 1 -1 0 0 800 600 0x0", "FullScreen 1 0x2a", "ShowWindow 1 1"}),
              system.Calls({"SetWindowPos", "ShowWindow", "FullScreen"}));
    EXPECT_EQ("InitScene 800 600 recovering=0 compressed=0 portrait=0", Record().events.at(1));
    EXPECT_EQ(Lines{"CreateEGLSurface 1 800 600"}, system.Calls({"CreateEGLSurface"}));
    EXPECT_TRUE(system.Calls({"ExtEscape"}).empty()) << "only quarter-size mode asks the driver";
}

TEST_F(WindowModes, MonitorAtLeastAsTallAsWideIsPortrait)
{
    for (const auto& [width, height, portrait] : std::vector<std::tuple<int, int, int>>{
             {500, 500, 1}, {480, 640, 1}, {641, 640, 0}}) {
        ResetApp();
        ScriptedWindowSystem system(width, height);
        EXPECT_EQ(0, Run(system, u"-qaf=0"));
        EXPECT_EQ(portrait, Record().events.at(1).back() - '0') << width << " x " << height;
    }
}

TEST_F(WindowModes, FramedWindowIsHalvedUntilItFitsThenCentred)
{
    // 640 x 480 plus the frame does not fit 320 x 240; neither does 320 x 240 plus the frame.
    // 160 x 120 with the frame is 168 x 150, centred at (76, 45).
    ScriptedWindowSystem system(320, 240);
    ReadPlacesAtTheFirstFrame(system);
    EXPECT_EQ(0, Run(system, u"-windowed -qaf=0"));
    EXPECT_EQ("InitScene 160 120 recovering=0 compressed=0 portrait=0", Record().events.at(1));
    EXPECT_EQ((Places{{76, 45, 76 + 168, 45 + 150}}), places);
    EXPECT_EQ(Lines{"CreateEGLSurface 1 160 120"}, system.Calls({"CreateEGLSurface"}));
    // Halving after a given size stops at nothing, even on a monitor smaller than a frame.
    ResetApp();
    ScriptedWindowSystem tiny(6, 6);
    EXPECT_EQ(0, Run(tiny, u"-windowed -qaf=0"));
    EXPECT_EQ("InitScene 0 0 recovering=0 compressed=0 portrait=1", Record().events.at(1));
}

TEST_F(WindowModes, FramedWindowWithAGivenSizeKeepsItAndIsCentredOffScreen)
{
    ScriptedWindowSystem system(320, 240);
    EXPECT_EQ(0, Run(system, u"-windowed -width=640 -height=480 -qaf=0"));
    EXPECT_EQ("InitScene 640 480 recovering=0 compressed=0 portrait=0", Record().events.at(1));
    EXPECT_EQ(1u, system.Calls({"SetWindowPos"}).size()) << "no resize when the size was given";
    EXPECT_EQ("SetWindowPos 1 0 -164 -135 0 0 0x15", system.Calls({"SetWindowPos"}).at(0));
}

TEST_F(WindowModes, FramedWindowIsCentredEvenWithAGivenPosition)
{
    ScriptedWindowSystem system(1024, 768);
    ReadPlacesAtTheFirstFrame(system);
    EXPECT_EQ(0, Run(system, u"-windowed -posx=10 -posy=30 -qaf=0"));
    EXPECT_EQ((Places{{188, 129, 188 + 648, 129 + 510}}), places);
    EXPECT_EQ("InitScene 640 480 recovering=0 compressed=0 portrait=0", Record().events.at(1));
}

TEST_F(WindowModes, FramedWindowAtTheFarthestPositionsIsStillPlacedAndCentred)
{
    // Position plus size plus frame must stay within 32 bits.
    for (const char16_t* commandLine : {u"-windowed -posx=2147483647 -posy=2147483647 -qaf=0",
                                        u"-windowed -posx=-2147483648 -posy=-2147483648 -qaf=0"}) {
        ResetApp();
        ScriptedWindowSystem system(1024, 768);
        EXPECT_EQ(0, Run(system, commandLine));
        EXPECT_EQ("SetWindowPos 1 0 188 129 0 0 0x15", system.Calls({"SetWindowPos"}).back());
        EXPECT_EQ(Record().expectedPixels, Record().pixels);
    }
}

// Which messages end the loop: injected into the main window's queue after the
// second frame, with a frame limit far beyond.
struct MessageCase {
    const char* name;
    uint32_t message;
    uintptr_t wParam;
    bool quitsFullScreen;
    bool quitsFramed;
};

class QuitMessages : public WindowModes, public testing::WithParamInterface<MessageCase> {};

TEST_P(QuitMessages, EndTheLoopAsTheModeSays)
{
    const MessageCase& message = GetParam();
    for (const bool fullScreen : {true, false}) {
        ResetApp();
        ScriptedWindowSystem system(640, 480);
        Script().onFrame = [&](int frame) {
            if (frame == 1) {
                system.Inject(WindowMessage{system.CreatedWindows().back(), message.message, message.wParam, 0});
            }
        };
        EXPECT_EQ(0, Run(system, fullScreen ? u"-qaf=20" : u"-windowed -qaf=20"));
        const bool quits = fullScreen ? message.quitsFullScreen : message.quitsFramed;
        // A quit posted while the second frame is presented stops the loop at the third.
        EXPECT_EQ(quits ? 3 : 21, Record().renderCalls) << (fullScreen ? "full screen" : "framed");
        EXPECT_EQ(1, CountEvents("ReleaseScene"));
        EXPECT_EQ(1, CountEvents("QuitApp"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pump, QuitMessages,
    testing::Values(MessageCase{"Close", WM_CLOSE, 0, true, true}, MessageCase{"Destroy", WM_DESTROY, 0, true, true},
                    MessageCase{"Escape", WM_KEYDOWN, VK_ESCAPE, true, true},
                    MessageCase{"OtherKey", WM_KEYDOWN, 'A', false, false},
                    MessageCase{"Tap", WM_LBUTTONDOWN, 0, true, false},
                    MessageCase{"FocusLost", WM_KILLFOCUS, 0, true, false},
                    MessageCase{"Size", WM_SIZE, 0, false, false}, MessageCase{"Paint", WM_PAINT, 0, false, false},
                    MessageCase{"Unknown", 0x0400, 0, false, false}),
    [](const testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.name); });

TEST_F(WindowModes, CoverWindowMessagesAreTranslatedButNeverDispatched)
{
    ScriptedWindowSystem system(640, 480);
    Script().onFrame = [&](int frame) {
        if (frame == 1) {
            system.Inject(WindowMessage{1, WM_KEYDOWN, VK_ESCAPE, 0});
        }
        if (frame == 3) {
            system.Inject(WindowMessage{1, WM_LBUTTONDOWN, 0, 0});
        }
    };
    EXPECT_EQ(0, Run(system, u"-width=320 -height=240 -qaf=20"));
    // Escape on the cover window reaches no window procedure; a tap on it ends the loop.
    EXPECT_EQ(5, Record().renderCalls);
    EXPECT_EQ(Lines{"TranslateMessage 1 256 27 0"}, system.Calls({"TranslateMessage"}));
    // The only message the cover window's procedure sees is its destruction.
    for (const auto& call : system.Calls({"DispatchMessage"})) {
        EXPECT_TRUE(call.rfind("DispatchMessage 1 ", 0) != 0 || call == "DispatchMessage 1 2 0 0") << call;
    }
}

TEST_F(WindowModes, TapOnTheQuarterSizeMainWindowEndsTheLoop)
{
    ScriptedWindowSystem system(640, 480);
    Script().onFrame = [&](int frame) {
        if (frame == 0) {
            system.Inject(WindowMessage{2, WM_LBUTTONDOWN, 0, 0});
        }
    };
    EXPECT_EQ(0, Run(system, u"-width=320 -height=240 -qaf=20"));
    EXPECT_EQ(2, Record().renderCalls);
}

TEST_F(WindowModes, SecondaryDisplayIsSwitchedOnAtStartAndOffBeforeEglGoes)
{
    ScriptedWindowSystem system(640, 480);
    // "Available" to the start-up question; every other escape just succeeds.
    // Records of other sizes, and escapes with no output, pass by too.
    system.SetEscapeAnswer([](int32_t escape, int32_t inputSize, const void* input, int32_t outputSize, void* output) {
        uint32_t first = 0;
        if (inputSize >= 4) {
            std::memcpy(&first, input, sizeof first);
        }
        if (escape == TrellisPlatformCE::kEscapeDualDisplayQuery && first == 1 && outputSize >= 12) {
            const uint32_t available = 1;
            std::memcpy(static_cast<unsigned char*>(output) + 8, &available, sizeof available);
        }
        return 1;
    });
    int terminatedAtRestore = -1;
    Script().onQuitApp = [&] { terminatedAtRestore = EglShim::CallCount("eglTerminate"); };
    EXPECT_EQ(0, Run(system, u"-width=320 -height=240 -qaf=0"));
    const Lines expected{
        "ExtEscape 0x80000000 101005 12 [1 0 0] 12 -> 1 [1 0 1]",
        "ExtEscape 0x80000000 101004 12 [0 1 0] 12 -> 1 [0 1 0]",
        "ExtEscape 0x80000000 101004 12 [0 0 0] 12 -> 1 [0 0 0]",
        "ExtEscape 0x80000000 101005 12 [0 1 0] 12 -> 1 [0 1 0]",
    };
    // The display configuration between them is the dual-display module's own.
    Lines switches;
    for (const auto& call : system.Calls({"ExtEscape", "GetEGLDisplay"})) {
        if (call.find(" 101004 ") != std::string::npos || call.find(" 101005 ") != std::string::npos ||
            call.rfind("GetEGLDisplay", 0) == 0) {
            switches.push_back(call);
        }
    }
    // The switch-on comes before EGL is brought up on the main window.
    EXPECT_EQ((Lines{expected[0], expected[1], "GetEGLDisplay 0x2", expected[2], expected[3]}), switches);
    EXPECT_EQ(0, terminatedAtRestore);
    // Each escape has its own screen device context, released at once; the
    // configuration holds one more from set-up to restore.
    EXPECT_EQ(5u, system.Calls({"ReleaseDC"}).size());
}

TEST_F(WindowModes, WindowProceduresPaintAndPassOnWhatTheyDoNotHandle)
{
    ScriptedWindowSystem system(640, 480);
    for (const auto proc : {TrellisPlatformCE::ShellWindowProc, TrellisPlatformCE::RedrawDesktopProc}) {
        EXPECT_EQ(0, proc(system, 1, WM_PAINT, 0, 0));
        EXPECT_EQ(0, proc(system, 1, 0x0400, 7, 9));
    }
    EXPECT_EQ((Lines{"BeginPaint 1", "EndPaint 1", "DefWindowProc 1 1024 7 9", "BeginPaint 1", "EndPaint 1",
                     "DefWindowProc 1 1024 7 9"}),
              system.Calls({"BeginPaint", "EndPaint", "DefWindowProc"}));
    // The desktop redraw window quits on destruction only; close goes to the default.
    EXPECT_EQ(0, TrellisPlatformCE::RedrawDesktopProc(system, 1, WM_CLOSE, 0, 0));
    EXPECT_EQ(0, TrellisPlatformCE::RedrawDesktopProc(system, 1, WM_DESTROY, 0, 0));
    EXPECT_EQ(Lines{"PostQuitMessage 0"}, system.Calls({"PostQuitMessage"}));
}

TEST_F(WindowModes, SizesTheDriverCannotRenderAreHeldAtItsLimitAndNegativeOnesRefused)
{
    // Framed and borderless windows: held at the driver's own viewport limit,
    // read from the context, with the surface made again at that size.
    const std::vector<std::pair<const char16_t*, int32_t>> cases{{u"-windowed -width=1048576 -height=2 -qaf=0", 2},
                                                                 {u"-windowed -width=3 -height=1048576 -qaf=0", 3}};
    for (const auto& [commandLine, small] : cases) {
        ResetApp();
        errors.clear();
        ScriptedWindowSystem system(640, 480);
        GLint limits[2] = {0, 0};
        EGLint surface[2] = {0, 0};
        Script().onFrame = [&](int) {
            glGetIntegerv(GL_MAX_VIEWPORT_DIMS, limits);
            eglQuerySurface(eglGetCurrentDisplay(), eglGetCurrentSurface(EGL_DRAW), EGL_WIDTH, &surface[0]);
            eglQuerySurface(eglGetCurrentDisplay(), eglGetCurrentSurface(EGL_DRAW), EGL_HEIGHT, &surface[1]);
        };
        EXPECT_EQ(0, Run(system, commandLine));
        const bool wide = small == 2;
        const int32_t width = wide ? limits[0] : small;
        const int32_t height = wide ? small : limits[1];
        EXPECT_EQ("Surface size " + std::string(wide ? "1048576 x 2" : "3 x 1048576") +
                      " is larger than the driver renders; using " + std::to_string(width) + " x " +
                      std::to_string(height) + "\n",
                  errors);
        EXPECT_EQ(width, surface[0]);
        EXPECT_EQ(height, surface[1]);
        EXPECT_EQ("InitScene " + std::to_string(width) + " " + std::to_string(height) +
                      " recovering=0 compressed=0 portrait=0",
                  Record().events.at(1));
        EXPECT_EQ(Record().expectedPixels, Record().pixels);
    }

    ResetApp();
    errors.clear();
    ScriptedWindowSystem system(640, 480);
    // The option itself refuses a negative size; an application can still set one.
    Script().onInitApp = [](ShellData& data) { data.width = -5; };
    EXPECT_EQ(1, Run(system, u"-windowed -qaf=0"));
    EXPECT_EQ("Invalid surface size -5 x 480: a size cannot be negative\n", errors);
    EXPECT_TRUE(system.Calls({"CreateWindowEx"}).empty());
}

} // namespace
