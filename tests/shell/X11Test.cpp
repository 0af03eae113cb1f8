// The program on a real X server, used as a person or a window manager would:
// runs only when TRELLIS_TEST_DISPLAY names one (CI starts Xvfb for it).
#include <gtest/gtest.h>

#include <GLES/gl.h>
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <unistd.h>
#include <X11/keysym.h>
#include <X11/extensions/Xfixes.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "RecordingApp.h"
#include "XServerTest.h"
#include "XWindows.h"
#include "ScriptedWindowSystem.h"
#include "shell/Entry.h"
#include "shell/ce/X11Backend.h"

using namespace trellis;

namespace {

constexpr int kFrameLimit = 500;

class X11Desktop : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        ResetApp();
    }

    // The application's viewable windows, found the way any X client would:
    // by title and process (other test processes may have windows open too),
    // at the top level or inside a window manager's frame.
    std::vector<Window> FindAppWindows() { return FindViewableWindows(person, "Trellis", getpid()); }

    // The main window: the last one mapped.
    Window FindAppWindow()
    {
        const std::vector<Window> windows = FindAppWindows();
        return windows.empty() ? 0 : windows.back();
    }

    // Where a window is on the screen, as the server has it.
    struct ScreenRect {
        int x, y, width, height;
        bool operator==(const ScreenRect& other) const
        {
            return x == other.x && y == other.y && width == other.width && height == other.height;
        }
    };
    ScreenRect OnScreen(Window window)
    {
        XWindowAttributes attributes{};
        XGetWindowAttributes(person, window, &attributes);
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(person, window, DefaultRootWindow(person), 0, 0, &x, &y, &child);
        return ScreenRect{x, y, attributes.width, attributes.height};
    }

    // A pixel of what the screen shows, as 0xRRGGBBFF.
    uint32_t ScreenPixel(int x, int y)
    {
        XImage* image = XGetImage(person, DefaultRootWindow(person), x, y, 1, 1, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return 0;
        }
        const unsigned long pixel = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return (static_cast<uint32_t>(pixel & 0xFFFFFF) << 8) | 0xFF;
    }

    // A window manager maps, frames and places windows on its own time: waits
    // (a few seconds at most) until `count` windows show, then a little more
    // for it to finish placing them.
    void WaitForWindows(size_t count)
    {
        for (int attempt = 0; attempt < 150 && FindAppWindows().size() < count; ++attempt) {
            usleep(20000);
        }
        usleep(200000);
        XSync(person, False);
    }

    // Reads what the server shows two frames after the windows settled, so that
    // the frames read were drawn at the final placement.
    std::function<void(int)> AfterSettling(size_t count, const std::function<void()>& read)
    {
        return [this, count, read](int frame) {
            if (frame == 1) {
                WaitForWindows(count);
            }
            if (frame == 4) {
                read();
            }
        };
    }

    // What the window manager says its frame adds (left, right, top, bottom); none without one.
    std::vector<long> FrameExtents(Window window)
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(person, window, XInternAtom(person, "_NET_FRAME_EXTENTS", False), 0, 4, False, XA_CARDINAL,
                           &type, &format, &count, &remaining, &data);
        const std::vector<long> extents = count == 4 ? std::vector<long>(reinterpret_cast<long*>(data),
                                                                         reinterpret_cast<long*>(data) + 4)
                                                     : std::vector<long>{0, 0, 0, 0};
        XFree(data);
        return extents;
    }

    int MonitorWidth() { return DisplayWidth(person, DefaultScreen(person)); }
    int MonitorHeight() { return DisplayHeight(person, DefaultScreen(person)); }

    void Send(Window window, long mask, XEvent& event)
    {
        event.xany.window = window;
        event.xany.display = person;
        XSendEvent(person, window, False, mask, &event);
        XSync(person, False);
    }

    void PressEscape(Window window)
    {
        XEvent event{};
        event.xkey.type = KeyPress;
        event.xkey.root = DefaultRootWindow(person);
        event.xkey.keycode = XKeysymToKeycode(person, XK_Escape);
        event.xkey.same_screen = True;
        Send(window, KeyPressMask, event);
    }

    void Click(Window window)
    {
        XEvent event{};
        event.xbutton.type = ButtonPress;
        event.xbutton.root = DefaultRootWindow(person);
        event.xbutton.button = Button1;
        event.xbutton.x = 10;
        event.xbutton.y = 10;
        event.xbutton.same_screen = True;
        Send(window, ButtonPressMask, event);
    }

    void AskToClose(Window window)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.message_type = XInternAtom(person, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(person, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        Send(window, NoEventMask, event);
    }

    // Runs the program and does `act` to its window from the third frame on; the
    // program must end on its own well before the frame limit.
    void ExpectEndedBy(const char16_t* commandLine, const std::function<void(Window)>& act)
    {
        ResetApp();
        Window window = 0;
        // A window manager maps the window a little later; the act comes once it shows.
        Script().onFrame = [&](int frame) {
            if (frame >= 2 && window == 0) {
                window = FindAppWindow();
                if (window != 0) {
                    act(window);
                }
            }
        };
        EXPECT_EQ(0, RunOnX11(displayName, commandLine));
        EXPECT_NE(0u, window);
        EXPECT_GT(Record().renderCalls, 3);
        EXPECT_LT(Record().renderCalls, kFrameLimit);
        EXPECT_EQ(1, CountEvents("ReleaseScene"));
        EXPECT_EQ(1, CountEvents("QuitApp"));
        EXPECT_EQ(0u, FindAppWindow()) << "the window is gone";
    }
};

// Placement and size, on the bare server and under a window manager.
class X11Placement : public X11Desktop, public testing::WithParamInterface<const char*> {
protected:
    const char* DisplayVariable() const override { return GetParam(); }
};

TEST_P(X11Placement, FullScreenWindowSpansTheMonitor)
{
    ScreenRect placed{};
    uint32_t shown = 0;
    Script().onFrame = AfterSettling(1, [&] {
        placed = OnScreen(FindAppWindow());
        shown = ScreenPixel(MonitorWidth() - 1, MonitorHeight() - 1);
    });
    EXPECT_EQ(0, RunOnX11(displayName, u"-qaf=4"));
    EXPECT_EQ((ScreenRect{0, 0, MonitorWidth(), MonitorHeight()}), placed);
    EXPECT_EQ(FrameColour(3), shown) << "the surface reaches the far corner";
    EXPECT_EQ("InitScene " + std::to_string(MonitorWidth()) + " " + std::to_string(MonitorHeight()) +
                  " recovering=0 compressed=0 portrait=0",
              Record().events.at(1));
    EXPECT_EQ(Record().expectedPixels, Record().pixels);
}

TEST_P(X11Placement, QuarterSizeSurfaceStaysAtTheTopLeftOverItsCover)
{
    std::vector<ScreenRect> placed;
    uint32_t inside = 0;
    uint32_t outside = 0;
    uint32_t farCorner = 0;
    Script().onFrame = AfterSettling(2, [&] {
        for (Window window : FindAppWindows()) {
            placed.push_back(OnScreen(window));
        }
        inside = ScreenPixel(319, 239);
        outside = ScreenPixel(320, 0);
        farCorner = ScreenPixel(MonitorWidth() - 1, MonitorHeight() - 1);
    });
    EXPECT_EQ(0, RunOnX11(displayName, u"-width=320 -height=240 -qaf=4"));
    // Cover, then surface: the cover hides the whole desktop; neither is framed or full screen.
    EXPECT_EQ((std::vector<ScreenRect>{{0, 0, MonitorWidth(), MonitorHeight()}, {0, 0, 320, 240}}), placed);
    EXPECT_EQ(FrameColour(3), inside);
    EXPECT_EQ(0x000000FFu, outside);
    EXPECT_EQ(0x000000FFu, farCorner);
    EXPECT_EQ("InitScene 320 240 recovering=0 compressed=0 portrait=0", Record().events.at(1));
    EXPECT_EQ(Record().expectedPixels, Record().pixels);
}

TEST_P(X11Placement, FramedWindowIsCentredFrameIncludedWithItsTitleBarOnScreen)
{
    // The work area is the whole screen here: no panel runs on these servers.
    for (const int width : {320, MonitorWidth()}) {
        const int height = width == 320 ? 200 : MonitorHeight();
        ResetApp();
        ScreenRect placed{};
        std::vector<long> frame;
        Script().onFrame = AfterSettling(1, [&] {
            placed = OnScreen(FindAppWindow());
            frame = FrameExtents(FindAppWindow());
        });
        const std::string line = "-windowed -width=" + std::to_string(width) + " -height=" + std::to_string(height) +
                                 " -qaf=4";
        EXPECT_EQ(0, RunOnX11(displayName, std::u16string(line.begin(), line.end()).c_str()));
        ASSERT_EQ(4u, frame.size());
        const int left = std::max(0, (MonitorWidth() - width - int(frame[0] + frame[1])) / 2);
        const int top = std::max(0, (MonitorHeight() - height - int(frame[2] + frame[3])) / 2);
        EXPECT_EQ((ScreenRect{left + int(frame[0]), top + int(frame[2]), width, height}), placed) << line;
        EXPECT_EQ(Record().expectedPixels, Record().pixels);
    }
}

TEST_P(X11Placement, SizesTheDriverCannotRenderAreHeldAtItsLimit)
{
    // From the command line, then from another client resizing the window.
    GLint limits[2] = {0, 0};
    XWindowAttributes atStart{};
    XWindowAttributes afterResize{};
    XSizeHints hints{};
    Script().onFrame = [&](int frame) {
        if (frame == 0) {
            // A window manager's shrink is done before the first frame is drawn.
            XGetWindowAttributes(person, FindAppWindow(), &atStart);
            WaitForWindows(1);
        }
        Window window = FindAppWindow();
        if (frame == 0) {
            glGetIntegerv(GL_MAX_VIEWPORT_DIMS, limits);
            long supplied = 0;
            XGetWMNormalHints(person, window, &hints, &supplied);
            XResizeWindow(person, window, 32767, 100);
            XSync(person, False);
        }
        if (frame == 40) {
            XGetWindowAttributes(person, window, &afterResize);
        }
    };
    std::unique_ptr<X11Backend> backend = X11Backend::Open(displayName);
    ASSERT_TRUE(backend);
    WindowSystem system(std::move(backend));
    std::string errors;
    EXPECT_EQ(0, RunTrellisMain(u"-windowed -width=65536 -height=64 -qaf=40", system, errors));
    ASSERT_LT(limits[0], 32767) << "the driver renders what X carries; nothing to hold";
    const std::string held = std::to_string(limits[0]);
    EXPECT_EQ(0u, errors.rfind("Surface size 65536 x 64 is larger than the driver renders; using " + held + " x 64\n", 0))
        << errors;
    EXPECT_TRUE(hints.flags & PMaxSize);
    EXPECT_EQ(limits[0], hints.max_width);
    EXPECT_EQ(limits[1], hints.max_height);
    EXPECT_GT(atStart.width, 0);
    EXPECT_LE(atStart.width, limits[0]);
    EXPECT_LE(afterResize.width, limits[0]);
    EXPECT_GT(afterResize.width, 0);
    if (std::string(GetParam()) == "TRELLIS_TEST_DISPLAY") {
        // Without a window manager to apply the hints the program holds the size itself.
        EXPECT_EQ(limits[0], afterResize.width);
        EXPECT_NE(std::string::npos,
                  errors.find("Window size 32767 x 100 is larger than the driver renders; held at " + held + " x 100\n"))
            << errors;
    }
    EXPECT_EQ(Record().expectedPixels, Record().pixels);
}

// A framed window goes full screen and back while running; each switch is
// read once its resize has reached the program. Hidden, the pointer shows as
// the blank 1 x 1 image (over a full-screen window, wherever it is).
TEST_P(X11Placement, FullScreenSwitchesOnAndOffWhileRunning)
{
    ScreenRect framedBefore{};
    ScreenRect full{};
    ScreenRect framedAfter{};
    std::vector<int32_t> results;
    int pointerPixels = -1;
    int clickedAt = 0;
    Script().onAppFrame = [&](TrellisApp& app, int frame) {
        const std::vector<TrellisEvent> resizes = InputsOf(TrellisEventKind::Resize);
        if (frame == 1) {
            WaitForWindows(1);
            framedBefore = OnScreen(FindAppWindow());
            results = {app.SetSwapInterval(0), app.SetFullScreen(true), app.ShowCursor(false), app.IsFullScreen()};
        } else if (full.width == 0 && !resizes.empty() && resizes.back().width == MonitorWidth()) {
            WaitForWindows(1);
            full = OnScreen(FindAppWindow());
            XFixesCursorImage* image = XFixesGetCursorImage(person);
            pointerPixels = image != nullptr ? image->width * image->height : -1;
            XFree(image);
            // Started framed: a click in full screen does not end the program.
            Click(FindAppWindow());
            clickedAt = frame;
        } else if (clickedAt > 0 && frame == clickedAt + 5) {
            results.push_back(app.SetFullScreen(false));
            results.push_back(app.IsFullScreen());
        } else if (results.size() == 6 && framedAfter.width == 0 && resizes.back().width == 320) {
            WaitForWindows(1);
            framedAfter = OnScreen(FindAppWindow());
            PressEscape(FindAppWindow());
        }
    };
    EXPECT_EQ(0, RunOnX11(displayName, u"-windowed -width=320 -height=200 -qaf=2000"));
    EXPECT_EQ((std::vector<int32_t>{1, 1, 1, 1, 1, 0}), results);
    EXPECT_EQ((ScreenRect{0, 0, MonitorWidth(), MonitorHeight()}), full);
    EXPECT_EQ(framedBefore, framedAfter);
    EXPECT_EQ(1, pointerPixels) << "the blank pointer";
    EXPECT_EQ(Record().expectedPixels, Record().pixels);
}

TEST_P(X11Placement, WindowDestroyedByAnotherClientEndsTheProgram)
{
    ExpectEndedBy(u"-windowed -width=160 -height=120 -qaf=500", [this](Window window) {
        XDestroyWindow(person, window);
        XSync(person, False);
    });
}

INSTANTIATE_TEST_SUITE_P(Server, X11Placement, testing::Values("TRELLIS_TEST_DISPLAY", "TRELLIS_TEST_WM_DISPLAY"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "TRELLIS_TEST_DISPLAY" ? "Bare" : "WindowManager";
                         });

TEST_F(X11Desktop, EscapeCloseRequestAndAFullScreenClickEndTheProgram)
{
    ExpectEndedBy(u"-qaf=500", [this](Window window) { PressEscape(window); });
    ExpectEndedBy(u"-windowed -qaf=500", [this](Window window) { PressEscape(window); });
    ExpectEndedBy(u"-windowed -qaf=500", [this](Window window) { AskToClose(window); });
    ExpectEndedBy(u"-qaf=500", [this](Window window) { Click(window); });
}

TEST_F(X11Desktop, WindowsAreFoundByTheProgramsNameAndClass)
{
    for (const char* resourceName : {"", "trellis-test-name"}) {
        ResetApp();
        setenv("RESOURCE_NAME", resourceName, 1);
        std::string found;
        Script().onFrame = AfterSettling(1, [&] {
            XClassHint hint{};
            if (XGetClassHint(person, FindAppWindow(), &hint)) {
                found = std::string(hint.res_name) + " " + hint.res_class;
                XFree(hint.res_name);
                XFree(hint.res_class);
            }
        });
        EXPECT_EQ(0, RunOnX11(displayName, u"-windowed -width=160 -height=120 -qaf=4"));
        EXPECT_EQ(std::string(*resourceName != 0 ? resourceName : program_invocation_short_name) + " Trellis", found);
    }
    unsetenv("RESOURCE_NAME");
}

#ifdef KESTREL_PATH
TEST_F(X11Desktop, ServerGoingAwayEndsTheProgramWithExitOne)
{
    // A server of this test's own, on a display number from :470 to :499.
    const std::string name = ":" + std::to_string(470 + getpid() % 30);
    ProgramRun server("/usr/bin/Xvfb", {name, "-screen", "0", "640x480x24", "-nolisten", "tcp"}, {}, {});
    Display* watcher = OpenXDisplay(name.c_str());
    ProgramRun program(KESTREL_PATH, {"-windowed"}, {{"DISPLAY=" + name, "TRELLIS_PLATFORM=x11"}}, {Streams::Merged});
    const Window window = watcher != nullptr ? WaitForViewableWindow(watcher, "Trellis") : 0;
    // The server goes once frames are drawn, not while EGL is still being set up.
    bool drawn = false;
    for (int attempt = 0; window != 0 && !drawn && attempt < 400; ++attempt) {
        XImage* image = XGetImage(watcher, window, 100, 100, 1, 1, AllPlanes, ZPixmap);
        drawn = image != nullptr && (XGetPixel(image, 0, 0) & 0xFFFFFF) != 0;
        if (image != nullptr) {
            XDestroyImage(image);
        }
        if (!drawn) {
            usleep(50000);
        }
    }
    if (watcher != nullptr) {
        XCloseDisplay(watcher);
    }
    kill(server.Id(), SIGKILL);
    server.Finish();
    const ProgramOutcome outcome = program.Finish();
    EXPECT_TRUE(drawn);
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ("The X server of display " + name + " has gone away\n", outcome.output);
}
#endif

TEST_F(X11Desktop, ClickInAFramedWindowDoesNotEndIt)
{
    // The click comes first; Escape, sent later by the same client, arrives
    // after it, so an end only after the Escape means the click was ignored.
    Window window = 0;
    Script().onFrame = [&](int frame) {
        if (frame == 2) {
            window = FindAppWindow();
            Click(window);
        }
        if (frame == 30) {
            PressEscape(window);
        }
    };
    EXPECT_EQ(0, RunOnX11(displayName, u"-windowed -width=160 -height=120 -qaf=500"));
    EXPECT_GT(Record().renderCalls, 31);
    EXPECT_LT(Record().renderCalls, kFrameLimit);
    EXPECT_EQ(1, CountEvents("QuitApp"));
}

} // namespace
