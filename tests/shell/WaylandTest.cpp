// The program as a native client of a real Wayland compositor: runs only when
// TRELLIS_TEST_WAYLAND_DISPLAY names one (CI starts a headless Weston for it).
// What reaches the screen is read back from the compositor's own screenshot.
// A headless compositor has no input devices: there, key, pointer, focus and
// close events are handed to the backend's listeners below the protocol, on
// real toplevels. Under a Weston with a seat (TRELLIS_TEST_WAYLAND_SEAT_*) the
// same quit paths, all but the close request, are driven for real.
#include <gtest/gtest.h>

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>
#include <EGL/egl.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../demo/ReferenceImage.h"
#include "InputBurst.h"
#include "ProgramRun.h"
#include "RecordingApp.h"
#include "XWindows.h"
#include "shell/Entry.h"
#include "shell/ce/WaylandBackend.h"
#include "shell/ce/WindowSystem.h"

using namespace trellis;

namespace {

constexpr int kFrameLimit = 500;

// The compositor's whole output, through Weston's screenshot client (allowed
// to any client of a compositor started with --debug).
RgbImage Screenshot(const std::string& display)
{
    const TempDir folder;
    RunProgram("/usr/bin/weston-screenshooter", {}, {{"WAYLAND_DISPLAY=" + display}}, {Streams::Merged, folder.Path()});
    RgbImage image;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        image = ReadPng(entry.path().string());
    }
    return image;
}

// Where one colour (0xRRGGBBAA) lies in a picture: its bounding box and how many pixels have it.
struct Area {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    long pixels = 0;
};

Area FindColour(const RgbImage& image, uint32_t colour)
{
    int left = image.width;
    int top = image.height;
    int right = -1;
    int bottom = -1;
    long pixels = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = &image.rgb[(size_t(y) * image.width + x) * 3];
            if (p[0] == (colour >> 24) && p[1] == ((colour >> 16) & 0xFF) && p[2] == ((colour >> 8) & 0xFF)) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
                ++pixels;
            }
        }
    }
    return pixels == 0 ? Area{} : Area{left, top, right - left + 1, bottom - top + 1, pixels};
}

// The frame on screen: the window shows one whole frame, all of one palette
// colour, so the colour with the most pixels is where the window is.
Area FindFrame(const RgbImage& image)
{
    Area best;
    for (int frame = 0; frame < 6; ++frame) {
        const Area area = FindColour(image, FrameColour(frame));
        if (area.pixels > best.pixels) {
            best = area;
        }
    }
    return best;
}

// A title bar right above the client area: the rows there, over its left
// quarter (clear of the title and the buttons), are nearly all one colour,
// which the desktop's textured background is not.
bool HasTitleBar(const RgbImage& shot, const Area& frame)
{
    if (frame.pixels == 0 || frame.top < 16) {
        return false;
    }
    std::map<uint32_t, int> colours;
    int most = 0;
    for (int y = frame.top - 16; y < frame.top - 4; ++y) {
        for (int x = frame.left; x < frame.left + frame.width / 4; ++x) {
            const uint8_t* p = &shot.rgb[(size_t(y) * shot.width + x) * 3];
            most = std::max(most, ++colours[(uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]]);
        }
    }
    return most * 10 >= 12 * (frame.width / 4) * 9;
}

class WaylandDesktop : public testing::Test {
protected:
    void SetUp() override
    {
        const char* name = std::getenv("TRELLIS_TEST_WAYLAND_DISPLAY");
        if (name == nullptr) {
            GTEST_SKIP() << "TRELLIS_TEST_WAYLAND_DISPLAY is not set";
        }
        displayName = name;
        ResetApp();
    }

    // A window system serves one run, as in a program.
    int Run(const char16_t* commandLine)
    {
        std::unique_ptr<WaylandBackend> opened = WaylandBackend::Open(displayName.c_str());
        if (!opened) {
            ADD_FAILURE() << "cannot connect to " << displayName;
            return -1;
        }
        backend = opened.get();
        system = std::make_unique<WindowSystem>(std::move(opened));
        return TrellisMain(commandLine, *system);
    }

    // The surface of the window that renders (the only one with a toplevel).
    wl_surface* AppSurface(WindowHandle* handle = nullptr)
    {
        for (WindowHandle window = 1; window < 8; ++window) {
            if (wl_surface* surface = backend->NativeSurface(window)) {
                if (handle != nullptr) {
                    *handle = window;
                }
                return surface;
            }
        }
        return nullptr;
    }

    // The program at frame 20 as the compositor shows it.
    RgbImage RunAndShoot(const char16_t* commandLine)
    {
        RgbImage shot;
        Script().onFrame = [&](int frame) {
            if (frame == 20) {
                shot = Screenshot(displayName);
            }
        };
        EXPECT_EQ(0, Run(commandLine));
        EXPECT_EQ(Record().expectedPixels, Record().pixels);
        return shot;
    }

    // The keymap a compositor would send: the default one, as XKB text in a file.
    void HandKeymap()
    {
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        xkb_keymap* keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
        ASSERT_NE(nullptr, keymap);
        char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        const size_t size = std::strlen(text) + 1;
        const int fd = memfd_create("keymap", MFD_CLOEXEC);
        ASSERT_EQ(ssize_t(size), write(fd, text, size));
        backend->OnKeymap(fd, uint32_t(size));
        std::free(text);
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }

    void PressKey(uint32_t key)
    {
        HandKeymap();
        backend->OnKeyboardEnter(AppSurface());
        backend->OnKey(key, true);
        backend->OnKey(key, false);
    }

    void Click()
    {
        backend->OnPointerEnter(AppSurface(), 10.5, 12.25);
        backend->OnPointerButton(BTN_LEFT, true);
        backend->OnPointerButton(BTN_LEFT, false);
    }

    // Runs the program and does `act` at the third frame; it must end on its
    // own well before the frame limit, and the window must then be gone.
    void ExpectEndedBy(const char16_t* commandLine, const std::function<void()>& act)
    {
        ResetApp();
        Script().onFrame = [&](int frame) {
            if (frame == 2) {
                ASSERT_NE(nullptr, AppSurface());
                act();
            }
        };
        EXPECT_EQ(0, Run(commandLine));
        EXPECT_GT(Record().renderCalls, 3);
        EXPECT_LT(Record().renderCalls, kFrameLimit);
        EXPECT_EQ(1, CountEvents("QuitApp"));
        EXPECT_EQ(nullptr, AppSurface()) << "the toplevel is gone";
    }

    // Does `act` at the third frame and `escape` at the thirtieth: an end only
    // after the Escape means `act` was ignored.
    void ExpectIgnored(const char16_t* commandLine, const std::function<void()>& act,
                       std::function<void()> escape = nullptr)
    {
        if (!escape) {
            escape = [this] { PressKey(KEY_ESC); };
        }
        ResetApp();
        Script().onFrame = [&](int frame) {
            if (frame == 2) {
                act();
            }
            if (frame == 30) {
                escape();
            }
        };
        EXPECT_EQ(0, Run(commandLine));
        EXPECT_GT(Record().renderCalls, 31);
        EXPECT_LT(Record().renderCalls, kFrameLimit);
    }

    std::string displayName;
    std::unique_ptr<WindowSystem> system;
    WaylandBackend* backend = nullptr;  // the compositor's side of `system`
};

TEST_F(WaylandDesktop, FramedWindowShowsWholeFramesOfItsClientSizeUnderATitleBar)
{
    const RgbImage shot = RunAndShoot(u"-windowed -width=320 -height=200 -qaf=30");
    ASSERT_GT(shot.width, 0) << "no screenshot";
    const Area frame = FindFrame(shot);
    EXPECT_EQ(320, frame.width);
    EXPECT_EQ(200, frame.height);
    EXPECT_EQ(320 * 200, frame.pixels);
    EXPECT_EQ(0u, Record().events.at(1).rfind("InitScene 320 200 ", 0));
    // Weston offers no xdg-decoration: the title bar is libdecor's.
    EXPECT_TRUE(HasTitleBar(shot, frame));
}

TEST_F(WaylandDesktop, FullScreenTakesTheOutputSize)
{
    const RgbImage shot = RunAndShoot(u"-qaf=30");
    ASSERT_GT(shot.width, 0) << "no screenshot";
    const Rect monitor = system->GetMonitorRect(kNoWindow);
    EXPECT_EQ(shot.width, monitor.right);
    EXPECT_EQ(shot.height, monitor.bottom);
    const Area frame = FindFrame(shot);
    EXPECT_EQ(long(shot.width) * shot.height, frame.pixels) << "the frame covers the whole output";
    EXPECT_EQ(0u, Record().events.at(1).rfind(
                      "InitScene " + std::to_string(shot.width) + " " + std::to_string(shot.height) + " ", 0));
}

// Weston outputs scaled by two and turned by 90 degrees: the compositor
// configures the full-screen surface to the output's logical size, which is
// not its mode, and the frame must cover the output all the same.
TEST_F(WaylandDesktop, FullScreenFillsScaledAndTurnedOutputs)
{
    int tried = 0;
    for (const char* variable : {"TRELLIS_TEST_WAYLAND_SCALED_DISPLAY", "TRELLIS_TEST_WAYLAND_ROTATED_DISPLAY"}) {
        const char* name = std::getenv(variable);
        if (name == nullptr) {
            continue;
        }
        ++tried;
        displayName = name;
        ResetApp();
        RgbImage shot;
        EGLint drawn[2] = {};
        Script().onFrame = [&](int frame) {
            if (frame == 20) {
                shot = Screenshot(displayName);
                eglQuerySurface(eglGetCurrentDisplay(), eglGetCurrentSurface(EGL_DRAW), EGL_WIDTH, &drawn[0]);
                eglQuerySurface(eglGetCurrentDisplay(), eglGetCurrentSurface(EGL_DRAW), EGL_HEIGHT, &drawn[1]);
            }
        };
        EXPECT_EQ(0, Run(u"-qaf=30"));
        ASSERT_GT(shot.width, 0) << "no screenshot of " << variable;
        const Area frame = FindFrame(shot);
        EXPECT_EQ(long(shot.width) * shot.height, frame.pixels) << variable;
        // The application's size is the surface's: its viewport covers what is shown.
        EXPECT_EQ(0u, Record().events.at(1).rfind(
                          "InitScene " + std::to_string(drawn[0]) + " " + std::to_string(drawn[1]) + " ", 0))
            << variable;
        // At scale 2 a buffer pixel for each pixel of the output: sharp.
        EXPECT_EQ(long(shot.width) * shot.height, long(drawn[0]) * drawn[1]) << variable;
    }
    if (tried == 0) {
        GTEST_SKIP() << "neither a scaled nor a turned compositor is named";
    }
}

TEST_F(WaylandDesktop, QuarterSizeFullScreenKeepsItsSurface)
{
    for (const auto& size : {std::pair<int, int>{320, 240}, std::pair<int, int>{240, 320}}) {
        ResetApp();
        const std::string line = "-width=" + std::to_string(size.first) + " -height=" + std::to_string(size.second) +
                                 " -qaf=30";
        const RgbImage shot = RunAndShoot(std::u16string(line.begin(), line.end()).c_str());
        ASSERT_GT(shot.width, 0) << "no screenshot";
        const Area frame = FindFrame(shot);
        EXPECT_EQ(size.first, frame.width);
        EXPECT_EQ(size.second, frame.height);
        EXPECT_EQ(long(size.first) * size.second, frame.pixels);
        EXPECT_EQ(1, CountEvents("InitScene " + std::to_string(size.first) + " " + std::to_string(size.second)));
    }
}

TEST_F(WaylandDesktop, EscapeReadThroughTheKeymapEndsTheProgram)
{
    ExpectEndedBy(u"-qaf=500", [this] { PressKey(KEY_ESC); });
    ExpectEndedBy(u"-windowed -width=160 -height=120 -qaf=500", [this] { PressKey(KEY_ESC); });
    ExpectIgnored(u"-windowed -width=160 -height=120 -qaf=500", [this] { PressKey(KEY_A); });
}

TEST_F(WaylandDesktop, CompositorCloseRequestEndsTheProgram)
{
    ExpectEndedBy(u"-windowed -width=160 -height=120 -qaf=500", [this] {
        WindowHandle window = kNoWindow;
        AppSurface(&window);
        backend->OnToplevelClose(window);
    });
}

TEST_F(WaylandDesktop, ClickAndFocusLossEndTheProgramInFullScreenOnly)
{
    ExpectEndedBy(u"-qaf=500", [this] { Click(); });
    ExpectEndedBy(u"-width=320 -height=240 -qaf=500", [this] { Click(); });
    ExpectEndedBy(u"-qaf=500", [this] {
        backend->OnKeyboardEnter(AppSurface());
        backend->OnKeyboardLeave(AppSurface());
    });
    ExpectIgnored(u"-windowed -width=160 -height=120 -qaf=500", [this] { Click(); });
    ExpectIgnored(u"-windowed -width=160 -height=120 -qaf=500", [this] {
        backend->OnKeyboardEnter(AppSurface());
        backend->OnKeyboardLeave(AppSurface());
    });
}

// The same quit paths driven for real: Weston with a keyboard and a pointer, in
// a window of an X server of its own that xdotool types and clicks into.
class WaylandSeat : public WaylandDesktop {
protected:
    // Each test gets a compositor of its own in an 800 x 600 window at the top
    // left of a larger X screen: what an earlier test left in one (focus,
    // placement) never reaches it. The pointer crosses into the window once
    // it is open: Weston's X11 input takes a pointer that rests inside its
    // window when it opens for one at (0, 0) and passes on no motion until it
    // leaves. It stays inside (in a corner no window takes) so that the
    // keyboard's input goes there too.
    void SetUp() override
    {
        const char* x = std::getenv("TRELLIS_TEST_WAYLAND_SEAT_X");
        if (x == nullptr) {
            GTEST_SKIP() << "TRELLIS_TEST_WAYLAND_SEAT_X is not set";
        }
        xDisplay = x;
        Xdotool("mousemove 1000 700");
        compositor = std::make_unique<WestonRun>(
            std::vector<std::string>{"--backend=x11-backend.so", "--use-pixman", "--width=800", "--height=600",
                                     "--idle-time=0"},
            std::vector<std::string>{"DISPLAY=" + xDisplay});
        ASSERT_TRUE(compositor->Listening()) << "Weston did not start on " << xDisplay;
        Xdotool("mousemove 790 590");
        displayName = compositor->Socket();
        ResetApp();
    }

    void Xdotool(const std::string& arguments)
    {
        ASSERT_EQ(0, RunXdotool(xDisplay.c_str(), 0, arguments)) << arguments;
    }

    // The middle of the 800 x 600 output: inside a full-screen window, and
    // inside a 640 x 480 one wherever the compositor puts it. The pointer
    // may rest there already (a fresh server starts it there), and a surface
    // that appears under a pointer at rest is not entered until it moves.
    void ClickMiddle() { Xdotool("mousemove 401 301 mousemove 400 300 click 1"); }

    // What the compositor's window on the X server shows.
    RgbImage ScreenOfX()
    {
        const std::string path = "/tmp/trellis-wl-seat-" + std::to_string(getpid()) + ".png";
        RgbImage image;
        if (RunProgram("/usr/bin/import", {"-display", xDisplay, "-window", "root", "-crop", "800x600+0+0", "+repage", path})
                .exitCode == 0) {
            image = ReadPng(path);
        }
        std::remove(path.c_str());
        return image;
    }

    std::string xDisplay;
    std::unique_ptr<WestonRun> compositor;
};

TEST_F(WaylandSeat, EscapeFromTheKeyboardEndsTheProgram)
{
    ExpectEndedBy(u"-qaf=500", [this] { Xdotool("key Escape"); });
    ExpectEndedBy(u"-windowed -qaf=500", [this] { Xdotool("key Escape"); });
}

TEST_F(WaylandSeat, ClickEndsAFullScreenProgramOnly)
{
    ExpectEndedBy(u"-qaf=500", [this] { ClickMiddle(); });
    ExpectIgnored(u"-windowed -qaf=500", [this] { ClickMiddle(); }, [this] { Xdotool("key Escape"); });
    int clicks = 0;
    for (const TrellisEvent& event : Record().inputs) {
        clicks += event.kind == TrellisEventKind::ButtonDown && event.button == TrellisButton::Left ? 1 : 0;
    }
    EXPECT_EQ(1, clicks) << "the click reached the framed window";
}

TEST_F(WaylandSeat, ABurstOfMotionLosesNoKeyOrClick)
{
    Script().onFrame = [this](int frame) {
        if (frame == 2) {
            // Weston's X11 input itself loses events past about two hundred
            // moves between keys, so the burst stays below that.
            StartInputBurst(xDisplay, 400, 300, 150);
        }
    };
    // The time limit only bounds a run whose Escape was lost.
    EXPECT_EQ(0, Run(u"-windowed -qat=60"));
    EXPECT_EQ(10, CountInputs(TrellisEventKind::KeyDown, TrellisKey::B));
    EXPECT_EQ(10, CountInputs(TrellisEventKind::KeyUp, TrellisKey::B));
    EXPECT_EQ(10, CountInputs(TrellisEventKind::ButtonDown));
    EXPECT_EQ(10, CountInputs(TrellisEventKind::ButtonUp));
}

TEST_F(WaylandSeat, AnotherWindowTakingTheFocusEndsAFullScreenProgram)
{
    std::unique_ptr<ProgramRun> other;
    // weston-simple-shm: another window, for the compositor to give the focus to.
    ExpectEndedBy(u"-qaf=500", [&] {
        other = std::make_unique<ProgramRun>("/usr/bin/weston-simple-shm", std::vector<std::string>{},
                                             ProgramEnvironment{{"WAYLAND_DISPLAY=" + displayName}}, ProgramOptions{});
    });
}

TEST_F(WaylandSeat, KeysArriveWithTheirSymbolTextAndModifiers)
{
    Script().onFrame = [this](int frame) {
        if (frame == 2) {
            Xdotool("key a shift+b Left");
        }
        if (frame == 40) {
            Xdotool("key Escape");
        }
    };
    EXPECT_EQ(0, Run(u"-windowed -qaf=500"));
    const std::vector<TrellisEvent> downs = InputsOf(TrellisEventKind::KeyDown);
    ASSERT_EQ(5u, downs.size());
    EXPECT_EQ(TrellisKey::A, downs[0].key);
    EXPECT_STREQ("a", downs[0].text);
    EXPECT_EQ(0u, downs[0].modifiers);
    EXPECT_EQ(TrellisKey::LeftShift, downs[1].key);
    EXPECT_EQ(TrellisKey::B, downs[2].key);
    EXPECT_STREQ("B", downs[2].text);
    EXPECT_EQ(kTrellisModShift, downs[2].modifiers);
    EXPECT_EQ(TrellisKey::Left, downs[3].key);
    EXPECT_STREQ("", downs[3].text);
    EXPECT_EQ(TrellisKey::Escape, downs[4].key);
    const std::vector<TrellisEvent> ups = InputsOf(TrellisEventKind::KeyUp);
    ASSERT_GE(ups.size(), 4u);
    EXPECT_EQ(TrellisKey::A, ups[0].key);
    // xdotool lets go of Shift and B in either order.
    EXPECT_TRUE((ups[1].key == TrellisKey::B && ups[2].key == TrellisKey::LeftShift) ||
                (ups[1].key == TrellisKey::LeftShift && ups[2].key == TrellisKey::B));
    EXPECT_EQ(TrellisKey::Left, ups[3].key);
    EXPECT_EQ(0u, ups[3].modifiers);
    EXPECT_EQ(1u, InputsOf(TrellisEventKind::FocusGained).size());
}

TEST_F(WaylandSeat, PointerMovesButtonsAndTheWheelArriveInSurfacePixels)
{
    Script().onFrame = [this](int frame) {
        if (frame == 2) {
            Xdotool("mousemove 101 201 mousemove 100 200 click 3 click 4 click 5");
        }
        if (frame == 40) {
            Xdotool("key Escape");
        }
    };
    EXPECT_EQ(0, Run(u"-qaf=500"));
    const std::vector<TrellisEvent> downs = InputsOf(TrellisEventKind::ButtonDown);
    ASSERT_EQ(1u, downs.size());
    EXPECT_EQ(TrellisButton::Right, downs[0].button);
    EXPECT_EQ(100, downs[0].x);
    EXPECT_EQ(600 - 1 - 200, downs[0].y) << "from the bottom, as GL counts";
    const std::vector<TrellisEvent> moves = InputsOf(TrellisEventKind::PointerMove);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(100, moves.back().x);
    EXPECT_EQ(600 - 1 - 200, moves.back().y);
    EXPECT_EQ(1u, InputsOf(TrellisEventKind::ButtonUp).size());
    const std::vector<TrellisEvent> wheel = InputsOf(TrellisEventKind::Wheel);
    ASSERT_EQ(2u, wheel.size());
    EXPECT_EQ(1.0f, wheel[0].wheelY) << "away from the user";
    EXPECT_EQ(-1.0f, wheel[1].wheelY);
}

TEST_F(WaylandDesktop, HeldKeyRepeatsAtTheCompositorsRateUntilReleased)
{
    // Wayland leaves repeating to the client: a rate of 1000 a second with no
    // delay repeats at every pump while the key is down.
    int releasedAt = -1;
    Script().onFrame = [&](int frame) {
        if (frame == 2) {
            HandKeymap();
            backend->OnRepeatInfo(1000, 0);
            backend->OnKeyboardEnter(AppSurface());
            backend->OnKey(KEY_A, true);
        }
        if (frame == 6) {
            backend->OnKey(KEY_A, false);
            releasedAt = Record().renderCalls;
        }
    };
    EXPECT_EQ(0, Run(u"-windowed -width=160 -height=120 -qaf=10"));
    const std::vector<TrellisEvent> downs = InputsOf(TrellisEventKind::KeyDown);
    ASSERT_GE(downs.size(), 2u);
    EXPECT_EQ(0, downs[0].repeat);
    for (size_t i = 1; i < downs.size(); ++i) {
        EXPECT_EQ(1, downs[i].repeat);
        EXPECT_EQ(TrellisKey::A, downs[i].key);
        EXPECT_STREQ("a", downs[i].text);
    }
    ASSERT_EQ(1u, InputsOf(TrellisEventKind::KeyUp).size());
    for (size_t i = 0; i < Record().inputs.size(); ++i) {
        if (Record().inputs[i].kind == TrellisEventKind::KeyDown) {
            EXPECT_LE(Record().inputFrames[i], releasedAt) << "no repeat after the release";
        }
    }
}

TEST_F(WaylandDesktop, FramedWindowFollowsTheSizeTheCompositorConfigures)
{
    // Sizes smaller than the window was placed at, so that the compositor shows all of it.
    for (const bool limited : {false, true}) {
        ResetApp();
        const int width = limited ? 250 : 300;
        const int height = limited ? 150 : 200;
        Area frame;
        Script().onFrame = [&](int drawn) {
            if (drawn == 2) {
                WindowHandle window = kNoWindow;
                AppSurface(&window);
                if (limited) {
                    system->LimitClientSize(window, 250, 150);
                }
                backend->OnToplevelConfigure(window, 300, 200, false);
                backend->OnSurfaceConfigure(window);
            }
            // A busy compositor may show the new size some frames late.
            if (drawn >= 20 && drawn % 10 == 0 && (frame.width != width || frame.height != height)) {
                frame = FindFrame(Screenshot(displayName));
            }
        };
        EXPECT_EQ(0, Run(u"-windowed -width=400 -height=300 -qaf=80"));
        const std::vector<TrellisEvent> resizes = InputsOf(TrellisEventKind::Resize);
        ASSERT_EQ(1u, resizes.size());
        EXPECT_EQ(width, resizes[0].width);
        EXPECT_EQ(height, resizes[0].height);
        EXPECT_EQ(width, frame.width);
        EXPECT_EQ(height, frame.height);
        EXPECT_EQ(long(width) * height, frame.pixels);
    }
}

TEST_F(WaylandDesktop, LeavingMaximizedGoesBackToTheFloatingSize)
{
    Area frame;
    Script().onFrame = [&](int drawn) {
        WindowHandle window = kNoWindow;
        AppSurface(&window);
        if (drawn == 2) {
            backend->OnToplevelConfigure(window, 600, 400, true);
            backend->OnSurfaceConfigure(window);
        }
        if (drawn == 10) {
            // No size: the window chooses, and takes back the one it had.
            backend->OnToplevelConfigure(window, 0, 0, false);
            backend->OnSurfaceConfigure(window);
        }
        if (drawn >= 30 && drawn % 10 == 0 && (frame.width != 320 || frame.height != 200)) {
            frame = FindFrame(Screenshot(displayName));
        }
    };
    EXPECT_EQ(0, Run(u"-windowed -width=320 -height=200 -qaf=90"));
    const std::vector<TrellisEvent> resizes = InputsOf(TrellisEventKind::Resize);
    ASSERT_EQ(2u, resizes.size());
    EXPECT_EQ(600, resizes[0].width);
    EXPECT_EQ(320, resizes[1].width);
    EXPECT_EQ(200, resizes[1].height);
    EXPECT_EQ(320, frame.width);
    EXPECT_EQ(200, frame.height);
}

// The sizes come from the compositor's configures: the output's, then the
// floating size back. A busy compositor may show a new size some frames late.
TEST_F(WaylandDesktop, FullScreenSwitchesOnAndOffWhileRunning)
{
    Area framed;
    std::vector<int32_t> results;
    Script().onAppFrame = [&](TrellisApp& app, int drawn) {
        const std::vector<TrellisEvent> resizes = InputsOf(TrellisEventKind::Resize);
        const int lastWidth = resizes.empty() ? 0 : resizes.back().width;
        if (drawn == 2) {
            // Vsync off and on again: frames stay paced by the compositor.
            results = {app.SetSwapInterval(0), app.SetSwapInterval(1), app.SetFullScreen(true), app.ShowCursor(false)};
        } else if (results.size() == 4 && lastWidth == system->GetMonitorRect(kNoWindow).right && drawn % 10 == 0) {
            const RgbImage full = Screenshot(displayName);
            if (full.width > 0 && long(full.width) * full.height == FindFrame(full).pixels) {
                results.push_back(app.SetFullScreen(false));
            }
        } else if (results.size() == 5 && lastWidth == 320 && drawn % 10 == 0) {
            framed = FindFrame(Screenshot(displayName));
            if (framed.width == 320) {
                PressKey(KEY_ESC);
            }
        }
    };
    EXPECT_EQ(0, Run(u"-windowed -width=320 -height=200 -qaf=3000"));
    EXPECT_EQ((std::vector<int32_t>{1, 1, 1, 1, 1}), results) << "the full-screen frame never covered the output";
    EXPECT_EQ((std::vector<long>{320, 200, 320 * 200}), (std::vector<long>{framed.width, framed.height, framed.pixels}));
    EXPECT_LT(Record().renderCalls, 3000);
}

TEST_F(WaylandSeat, TheTitleBarsCloseButtonEndsTheProgram)
{
    ExpectEndedBy(u"-windowed -width=320 -height=200 -qaf=500", [this] {
        const RgbImage screen = ScreenOfX();
        const Area frame = FindFrame(screen);
        ASSERT_TRUE(HasTitleBar(screen, frame));
        // libdecor's close button is the last of the bar, 16 pixels from its right end.
        const std::string x = std::to_string(frame.left + frame.width - 16);
        const std::string y = std::to_string(frame.top - 11);
        Xdotool("mousemove " + x + " 1 mousemove " + x + " " + y + " click 1");
    });
}

TEST_F(WaylandSeat, AHeldKeyRepeatsUntilItIsLetGo)
{
    int releasedAt = -1;
    Script().onFrame = [&](int frame) {
        if (frame == 2) {
            Xdotool("keydown a");
        }
        if (frame == 90) {
            Xdotool("keyup a");
            releasedAt = Record().renderCalls;
        }
        if (frame == 120) {
            Xdotool("key Escape");
        }
    };
    EXPECT_EQ(0, Run(u"-windowed -qaf=500"));
    int repeats = 0;
    for (size_t i = 0; i < Record().inputs.size(); ++i) {
        const TrellisEvent& event = Record().inputs[i];
        if (event.kind == TrellisEventKind::KeyDown && event.key == TrellisKey::A && event.repeat == 1) {
            ++repeats;
            EXPECT_LE(Record().inputFrames[i], releasedAt) << "no repeat after the release";
        }
    }
    EXPECT_GT(repeats, 0);
}

// Over a client's surface the compositor draws no pointer until the client
// gives it an image: here the theme's arrow, at the pointer's tip.
TEST_F(WaylandSeat, ThePointerShowsAnArrowOverTheWindow)
{
    RgbImage screen;
    Script().onFrame = [&](int frame) {
        if (frame == 2) {
            Xdotool("mousemove 401 301 mousemove 400 300");
        }
        if (frame == 30) {
            screen = ScreenOfX();
            Xdotool("key Escape");
        }
    };
    EXPECT_EQ(0, Run(u"-qaf=500"));
    ASSERT_GT(screen.width, 0) << "no picture of the X server";
    // The full-screen frame covers the output but where the arrow lies.
    const Area frame = FindFrame(screen);
    EXPECT_EQ(long(screen.width) * screen.height, long(frame.width) * frame.height);
    EXPECT_GT(long(screen.width) * screen.height - frame.pixels, 12) << "no arrow at the pointer";
}

} // namespace
