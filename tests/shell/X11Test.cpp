// The program on a real X server, used as a person or a window manager would:
// runs only when TRELLIS_TEST_DISPLAY names one (CI starts Xvfb for it).
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "RecordingApp.h"
#include "shell/Entry.h"
#include "shell/ce/X11WindowSystem.h"

namespace {

constexpr int kFrameLimit = 500;

class X11Desktop : public testing::Test {
protected:
    void SetUp() override
    {
        displayName = std::getenv("TRELLIS_TEST_DISPLAY");
        if (displayName == nullptr) {
            GTEST_SKIP() << "TRELLIS_TEST_DISPLAY is not set";
        }
        if (person == nullptr) {
            person = OpenDisplay(displayName);
        }
        ASSERT_NE(nullptr, person) << "cannot open " << displayName;
        ResetApp();
    }

    // One connection for the whole suite keeps the server from resetting between tests.
    static void TearDownTestSuite()
    {
        if (person != nullptr) {
            XCloseDisplay(person);
            person = nullptr;
        }
    }

    // An X server without -noreset resets when its last client leaves (as
    // when another test process ends) and refuses connections meanwhile.
    static Display* OpenDisplay(const char* name)
    {
        Display* display = XOpenDisplay(name);
        for (int attempt = 0; display == nullptr && attempt < 40; ++attempt) {
            usleep(50000);
            display = XOpenDisplay(name);
        }
        return display;
    }

    int Run(const char16_t* commandLine)
    {
        std::unique_ptr<X11WindowSystem> system = X11WindowSystem::Open(displayName);
        if (!system) {
            ADD_FAILURE() << "the window system cannot open " << displayName;
            return -1;
        }
        return TrellisMain(commandLine, *system);
    }

    // True when `window` belongs to this process by its _NET_WM_PID.
    bool IsOurs(Window window)
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        const Atom pidAtom = XInternAtom(person, "_NET_WM_PID", False);
        bool ours = false;
        if (XGetWindowProperty(person, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &remaining,
                               &data) == Success &&
            data != nullptr) {
            ours = count == 1 && static_cast<pid_t>(*reinterpret_cast<long*>(data)) == getpid();
            XFree(data);
        }
        return ours;
    }

    // The application's window, found the way any X client would: by its
    // title and process (other test processes may have windows open too).
    Window FindAppWindow()
    {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        Window found = 0;
        XQueryTree(person, DefaultRootWindow(person), &root, &parent, &children, &count);
        for (unsigned i = 0; i < count; ++i) {
            char* name = nullptr;
            XWindowAttributes attributes{};
            if (XFetchName(person, children[i], &name) && name != nullptr) {
                if (std::strcmp(name, "Trellis") == 0 && IsOurs(children[i]) && XGetWindowAttributes(person, children[i], &attributes) &&
                    attributes.map_state == IsViewable) {
                    found = children[i];
                }
                XFree(name);
            }
        }
        if (children != nullptr) {
            XFree(children);
        }
        return found;
    }

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

    // Runs the program and does `act` to its window at the third frame; the
    // program must end on its own well before the frame limit.
    void ExpectEndedBy(const char16_t* commandLine, const std::function<void(Window)>& act)
    {
        ResetApp();
        Window window = 0;
        Script().onFrame = [&](int frame) {
            if (frame == 2) {
                window = FindAppWindow();
                act(window);
            }
        };
        EXPECT_EQ(0, Run(commandLine));
        EXPECT_NE(0u, window);
        EXPECT_GT(Record().renderCalls, 3);
        EXPECT_LT(Record().renderCalls, kFrameLimit);
        EXPECT_EQ(1, CountEvents("ReleaseScene"));
        EXPECT_EQ(1, CountEvents("QuitApp"));
        EXPECT_EQ(0u, FindAppWindow()) << "the window is gone";
    }

    const char* displayName = nullptr;
    static Display* person;
};

Display* X11Desktop::person = nullptr;

TEST_F(X11Desktop, FullScreenWindowOpensOverTheWholeMonitor)
{
    XWindowAttributes attributes{};
    Script().onFrame = [&](int frame) {
        if (frame == 1) {
            XGetWindowAttributes(person, FindAppWindow(), &attributes);
        }
    };
    EXPECT_EQ(0, Run(u"-qaf=2"));
    const int width = DisplayWidth(person, DefaultScreen(person));
    const int height = DisplayHeight(person, DefaultScreen(person));
    EXPECT_EQ(IsViewable, attributes.map_state);
    EXPECT_EQ(0, attributes.x);
    EXPECT_EQ(0, attributes.y);
    EXPECT_EQ(width, attributes.width);
    EXPECT_EQ(height, attributes.height);
    EXPECT_EQ(0u, Record().events.at(1).rfind("InitScene " + std::to_string(width) + " " + std::to_string(height) + " ", 0));
    EXPECT_EQ(Record().expectedPixels, Record().pixels);
}

TEST_F(X11Desktop, FramedWindowIsCentred)
{
    XWindowAttributes attributes{};
    Script().onFrame = [&](int frame) {
        if (frame == 1) {
            XGetWindowAttributes(person, FindAppWindow(), &attributes);
        }
    };
    EXPECT_EQ(0, Run(u"-windowed -width=320 -height=200 -qaf=2"));
    EXPECT_EQ(IsViewable, attributes.map_state);
    EXPECT_EQ(320, attributes.width);
    EXPECT_EQ(200, attributes.height);
    EXPECT_EQ((DisplayWidth(person, DefaultScreen(person)) - 320) / 2, attributes.x);
    EXPECT_EQ((DisplayHeight(person, DefaultScreen(person)) - 200) / 2, attributes.y);
    EXPECT_EQ(Record().expectedPixels, Record().pixels);
}

TEST_F(X11Desktop, SizesBeyondWhatXCarriesAreHeldAtItsLimit)
{
    // 65536 cut to the protocol's 16 bits would be a width of 0: no window,
    // and a driver failing on its surface.
    XWindowAttributes attributes{};
    Script().onFrame = [&](int frame) {
        if (frame == 0) {
            XGetWindowAttributes(person, FindAppWindow(), &attributes);
        }
    };
    EXPECT_EQ(0, Run(u"-windowed -width=65536 -height=64 -qaf=1"));
    EXPECT_EQ(32767, attributes.width);
    EXPECT_EQ(64, attributes.height);
    EXPECT_EQ(Record().expectedPixels, Record().pixels);
}

TEST_F(X11Desktop, EscapeEndsTheProgram)
{
    ExpectEndedBy(u"-qaf=500", [this](Window window) { PressEscape(window); });
    ExpectEndedBy(u"-windowed -qaf=500", [this](Window window) { PressEscape(window); });
}

TEST_F(X11Desktop, WindowManagerCloseRequestEndsTheProgram)
{
    ExpectEndedBy(u"-windowed -qaf=500", [this](Window window) { AskToClose(window); });
}

TEST_F(X11Desktop, ClickEndsTheProgramInFullScreen)
{
    ExpectEndedBy(u"-qaf=500", [this](Window window) { Click(window); });
}

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
    EXPECT_EQ(0, Run(u"-windowed -width=160 -height=120 -qaf=500"));
    EXPECT_GT(Record().renderCalls, 31);
    EXPECT_LT(Record().renderCalls, kFrameLimit);
    EXPECT_EQ(1, CountEvents("QuitApp"));
}

} // namespace
