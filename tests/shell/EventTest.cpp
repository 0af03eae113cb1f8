// Input events, window titles and resizing: how the shell's pump hands the
// application what a backend delivers (scripted backend), and the events a
// real X server delivers for what a person does (xdotool drives the server
// from outside; runs only when TRELLIS_TEST_DISPLAY names a server).
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "InputBurst.h"
#include "RecordingApp.h"
#include "ScriptedWindowSystem.h"
#include "SpareKey.h"
#include "XServerTest.h"
#include "XWindows.h"
#include "shell/ShellData.h"
#include "shell/ce/EventQueue.h"

using namespace trellis;

namespace {

using Lines = std::vector<std::string>;

TrellisEvent Make(TrellisEventKind kind, int32_t x = 0, int32_t y = 0)
{
    TrellisEvent event;
    event.kind = kind;
    event.x = x;
    event.y = y;
    return event;
}

// Far more than a frame's worth of events for two windows, interleaved: each
// window gets its own in order, runs of moves end at their last position,
// and a window that goes away takes only its own events with it.
TEST(NativeEventQueue, KeepsEveryEventInOrderPastItsFirstSize)
{
    EventQueue queue;
    for (int32_t i = 0; i < 1000; ++i) {
        const bool key = i % 3 == 2;
        NativeEvent event{2};
        event.input = Make(key ? TrellisEventKind::KeyDown : TrellisEventKind::PointerMove, i);
        queue.Push(event);
        if (key) {
            event.window = 1;
            queue.Push(event);
        }
    }
    queue.Forget(1);
    NativeEvent event;
    for (int32_t i = 1; i < 1000; i += 3) {
        ASSERT_TRUE(queue.Pop(2, event));
        EXPECT_EQ(TrellisEventKind::PointerMove, event.input.kind);
        EXPECT_EQ(i, event.input.x);
        ASSERT_TRUE(queue.Pop(2, event));
        EXPECT_EQ(TrellisEventKind::KeyDown, event.input.kind);
        EXPECT_EQ(i + 1, event.input.x);
    }
    EXPECT_TRUE(queue.Pop(2, event));  // the moves after the last key
    EXPECT_FALSE(queue.Pop(2, event));
    EXPECT_FALSE(queue.Pop(1, event));
}

class PumpedEvents : public testing::Test {
protected:
    void SetUp() override { ResetApp(); }

    // Queues `messages` for the main window while frame `frame` renders.
    void InjectAt(ScriptedWindowSystem& system, int frame, std::vector<WindowMessage> messages)
    {
        Script().onFrame = [&system, frame, messages](int now) {
            if (now == frame) {
                for (WindowMessage message : messages) {
                    message.window = system.CreatedWindows().back();
                    system.Inject(message);
                }
            }
        };
    }

    int Run(ScriptedWindowSystem& system, const char16_t* commandLine)
    {
        return RunTrellisMain(commandLine, system, errors);
    }

    std::string errors;
};

TEST_F(PumpedEvents, ArriveInOrderAfterTheFrameWithPositionsFromTheBottomLeft)
{
    ScriptedWindowSystem system(1024, 768);
    TrellisEvent key = Make(TrellisEventKind::KeyDown);
    key.key = TrellisKey::A;
    key.modifiers = kTrellisModShift;
    SetEventText(key, "A", 1);
    TrellisEvent press = Make(TrellisEventKind::ButtonDown, 7, 0);
    press.button = TrellisButton::Right;
    TrellisEvent wheel = Make(TrellisEventKind::Wheel, 0, 479);
    wheel.wheelY = 1.0f;
    InjectAt(system, 1,
             {WindowMessage{0, WM_KEYDOWN, 'A', 0, key}, WindowMessage{0, WM_PAINT, 0, 0},
              WindowMessage{0, WM_MOUSEMOVE, 0, 0, Make(TrellisEventKind::PointerMove, 10, 20)},
              WindowMessage{0, WM_RBUTTONDOWN, 0, 0, press}, WindowMessage{0, WM_MOUSEWHEEL, 0, 0, wheel},
              WindowMessage{0, WM_SETFOCUS, 0, 0, Make(TrellisEventKind::FocusGained)}});
    EXPECT_EQ(0, Run(system, u"-windowed -qaf=3"));

    const auto& inputs = Record().inputs;
    ASSERT_EQ(5u, inputs.size());
    EXPECT_EQ(TrellisEventKind::KeyDown, inputs[0].kind);
    EXPECT_EQ(TrellisKey::A, inputs[0].key);
    EXPECT_EQ(kTrellisModShift, inputs[0].modifiers);
    EXPECT_STREQ("A", inputs[0].text);
    EXPECT_EQ(TrellisEventKind::PointerMove, inputs[1].kind);
    EXPECT_EQ(10, inputs[1].x);
    EXPECT_EQ(459, inputs[1].y);  // row 20 from the top of 480
    EXPECT_EQ(TrellisButton::Right, inputs[2].button);
    EXPECT_EQ(479, inputs[2].y);
    EXPECT_EQ(0, inputs[3].y);
    EXPECT_EQ(1.0f, inputs[3].wheelY);
    EXPECT_EQ(TrellisEventKind::FocusGained, inputs[4].kind);
    // All during the pump after the second frame, before the third renders.
    EXPECT_EQ((std::vector<int>{2, 2, 2, 2, 2}), Record().inputFrames);
}

TEST_F(PumpedEvents, AWindowTakesItsNewSizeFramedOrFullScreen)
{
    TrellisEvent resize = Make(TrellisEventKind::Resize);
    resize.width = 800;
    resize.height = 500;
    const std::vector<WindowMessage> messages{
        WindowMessage{0, WM_SIZE, 0, 0, resize}, WindowMessage{0, WM_SIZE, 0, 0, resize},
        WindowMessage{0, WM_MOUSEMOVE, 0, 0, Make(TrellisEventKind::PointerMove, 0, 0)}};
    // A compositor sizes full-screen surfaces as it shows them, too.
    for (const char16_t* commandLine : {u"-windowed -qaf=1", u"-qaf=1"}) {
        ResetApp();
        ScriptedWindowSystem system(1024, 768);
        ShellData seen{};
        InjectAt(system, 0, messages);
        Script().onEvent = [&](const TrellisEvent& event) {
            if (event.kind == TrellisEventKind::Resize) {
                seen = *static_cast<const ShellData*>(system.GetWindowUserData(system.CreatedWindows().back()));
            }
        };
        EXPECT_EQ(0, Run(system, commandLine));
        // One resize (the repeat changes nothing), already in ShellData when it arrives.
        ASSERT_EQ(2u, Record().inputs.size());
        EXPECT_EQ(800, Record().inputs[0].width);
        EXPECT_EQ(500, Record().inputs[0].height);
        EXPECT_EQ(800, seen.width);
        EXPECT_EQ(500, seen.height);
        EXPECT_EQ(499, Record().inputs[1].y);
    }
}

TEST(KeyRepeat, CountsEveryRepeatDueAcrossLongFrames)
{
    KeyRepeat repeat;
    repeat.SetRate(40, 400);
    repeat.Press(30, 1000);
    uint32_t repeats = 0;
    // Frames of uneven length, some longer than a repeat.
    for (uint32_t now = 1000; now <= 4400; now += now % 3 == 0 ? 97 : 13) {
        repeats += repeat.Due(now);
    }
    repeats += repeat.Due(4400);
    EXPECT_EQ(1u + (3400u - 400u) / 25u, repeats);
    repeat.Release(30);
    EXPECT_EQ(0u, repeat.Due(9000));
}

// An application that handles events ends as before: the event that quits
// arrives first, then the loop stops at its next test with the usual exit.
TEST_F(PumpedEvents, QuitRulesHoldWithTheQuittingEventDeliveredFirst)
{
    TrellisEvent escape = Make(TrellisEventKind::KeyDown);
    escape.key = TrellisKey::Escape;
    TrellisEvent tap = Make(TrellisEventKind::ButtonDown, 5, 5);
    tap.button = TrellisButton::Left;
    struct Case {
        const char16_t* commandLine;
        WindowMessage message;
        bool quits;
    };
    const Case cases[] = {
        {u"-windowed -qaf=10", WindowMessage{0, WM_KEYDOWN, VK_ESCAPE, 0, escape}, true},
        {u"-qaf=10", WindowMessage{0, WM_LBUTTONDOWN, 0, 0, tap}, true},
        {u"-windowed -qaf=10", WindowMessage{0, WM_LBUTTONDOWN, 0, 0, tap}, false},
        {u"-qaf=10", WindowMessage{0, WM_KILLFOCUS, 0, 0, Make(TrellisEventKind::FocusLost)}, true},
        {u"-windowed -qaf=10", WindowMessage{0, WM_KILLFOCUS, 0, 0, Make(TrellisEventKind::FocusLost)}, false},
    };
    for (const Case& c : cases) {
        ResetApp();
        ScriptedWindowSystem system(1024, 768);
        InjectAt(system, 1, {c.message});
        Script().quitAppResult = 1;
        EXPECT_EQ(0, Run(system, c.commandLine));
        ASSERT_EQ(1u, Record().inputs.size());
        EXPECT_EQ(c.message.event.kind, Record().inputs[0].kind);
        EXPECT_EQ(c.quits ? 3 : 11, Record().renderCalls) << Narrow(c.commandLine) << " " << c.message.message;
        EXPECT_EQ(1, CountEvents("QuitApp"));
    }
    // A failing QuitApp still gives exit code 1.
    ResetApp();
    ScriptedWindowSystem system(1024, 768);
    InjectAt(system, 0, {WindowMessage{0, WM_KEYDOWN, VK_ESCAPE, 0, escape}});
    Script().quitAppResult = 0;
    EXPECT_EQ(1, Run(system, u"-windowed"));
    EXPECT_EQ(1u, Record().inputs.size());
}

TEST_F(PumpedEvents, KeysAreHeldFromTheirPressToTheirReleaseOrALostFocus)
{
    ScriptedWindowSystem system(1024, 768);
    auto key = [](TrellisEventKind kind, TrellisKey which) {
        TrellisEvent event = Make(kind);
        event.key = which;
        return WindowMessage{0, kind == TrellisEventKind::KeyDown ? WM_KEYDOWN : WM_KEYUP, 0, 0, event};
    };
    InjectAt(system, 1,
             {key(TrellisEventKind::KeyDown, TrellisKey::A), key(TrellisEventKind::KeyDown, TrellisKey::KeypadAdd),
              key(TrellisEventKind::KeyDown, TrellisKey::A), key(TrellisEventKind::KeyUp, TrellisKey::A),
              key(TrellisEventKind::KeyDown, TrellisKey::F24), key(TrellisEventKind::KeyDown, TrellisKey::Unknown),
              WindowMessage{0, WM_KILLFOCUS, 0, 0, Make(TrellisEventKind::FocusLost)}});
    EXPECT_EQ(0, Run(system, u"-windowed -qaf=3"));
    EXPECT_EQ((std::vector<int>{1, 2, 2, 1, 2, 2, 0}), Record().keysHeld);
}

// The cover window behind a quarter-size surface is not the surface: a tap
// on it ends the program, and the application is told nothing of it.
TEST_F(PumpedEvents, CoverWindowInputIsNotTheApplications)
{
    ScriptedWindowSystem system(640, 480);
    TrellisEvent tap = Make(TrellisEventKind::ButtonDown, 600, 400);
    tap.button = TrellisButton::Left;
    Script().onFrame = [&](int frame) {
        if (frame == 1) {
            system.Inject(WindowMessage{system.CreatedWindows().front(), WM_LBUTTONDOWN, 0, 0, tap});
        }
    };
    EXPECT_EQ(0, Run(system, u"-width=320 -height=240 -qaf=10"));
    EXPECT_TRUE(Record().inputs.empty());
    EXPECT_EQ(3, Record().renderCalls);
}

TEST_F(PumpedEvents, TheApplicationNamesItsWindowAtStartAndLater)
{
    ScriptedWindowSystem system(1024, 768);
    Script().title = "Démo ⌘";
    Script().onFrame = [](int frame) {
        if (frame == 2) {
            Script().title = "Second";
        }
    };
    EXPECT_EQ(0, Run(system, u"-windowed -qaf=5"));
    const Lines created = system.Calls({"CreateWindowEx"});
    ASSERT_EQ(1u, created.size());
    // Two characters beyond ASCII, each one 16-bit unit (the record shows '?').
    EXPECT_EQ(0u, created[0].find("CreateWindowEx 0x0 TrellisClass D?mo ? ")) << created[0];
    EXPECT_EQ(Lines{"SetWindowText 1 Second"}, system.Calls({"SetWindowText"}));
}

TEST(WindowTitle, ALongTitleIsCutBeforeTheCharacterThatDoesNotFit)
{
    TrellisApp app;
    const std::string start(124, 'a');
    app.SetWindowTitle((start + "b\xC3\xA9").c_str());  // 127 bytes: all of it fits
    EXPECT_EQ(start + "b\xC3\xA9", app.GetWindowTitle());
    app.SetWindowTitle((start + "\xF0\x9F\x98\x80z").c_str());  // the 4-byte character ends at byte 128
    EXPECT_EQ(start, app.GetWindowTitle());
    app.SetWindowTitle(nullptr);
    EXPECT_STREQ("", app.GetWindowTitle());
}

// One line per event, as the checks below spell them.
std::string Describe(const TrellisEvent& event)
{
    static const char* const kButtons[] = {"none", "left", "middle", "right"};
    std::ostringstream line;
    switch (event.kind) {
    case TrellisEventKind::KeyDown:
    case TrellisEventKind::KeyUp:
        line << (event.kind == TrellisEventKind::KeyDown ? "key down " : "key up ") << static_cast<int>(event.key)
             << " mods " << event.modifiers;
        if (event.kind == TrellisEventKind::KeyDown) {
            line << " text '" << event.text << "'";
        }
        break;
    case TrellisEventKind::PointerMove:
        line << "move " << event.x << " " << event.y;
        break;
    case TrellisEventKind::ButtonDown:
    case TrellisEventKind::ButtonUp:
        line << (event.kind == TrellisEventKind::ButtonDown ? "button down " : "button up ")
             << kButtons[static_cast<int>(event.button)] << " " << event.x << " " << event.y;
        break;
    case TrellisEventKind::Wheel:
        line << "wheel " << event.wheelX << " " << event.wheelY << " at " << event.x << " " << event.y;
        break;
    case TrellisEventKind::FocusGained:
        line << "focus gained";
        break;
    case TrellisEventKind::FocusLost:
        line << "focus lost";
        break;
    case TrellisEventKind::Resize:
        line << "resize " << event.width << " " << event.height;
        break;
    case TrellisEventKind::PointerLeave:
        line << "pointer left";
        break;
    default:
        line << "none";
    }
    return line.str();
}

std::string Key(TrellisKey key, uint32_t modifiers, const char* text)
{
    TrellisEvent event;
    event.kind = TrellisEventKind::KeyDown;
    event.key = key;
    event.modifiers = modifiers;
    std::strcpy(event.text, text);
    return Describe(event);
}

// True when `expected` appear in `actual` in this order (other events may
// come between, such as the pointer's own motion).
::testing::AssertionResult InOrder(const Lines& expected, const Lines& actual)
{
    size_t next = 0;
    for (const auto& line : actual) {
        if (next < expected.size() && line == expected[next]) {
            ++next;
        }
    }
    if (next == expected.size()) {
        return ::testing::AssertionSuccess();
    }
    std::string all;
    for (const auto& line : actual) {
        all += "\n  " + line;
    }
    return ::testing::AssertionFailure() << "missing \"" << expected[next] << "\" in order; got:" << all;
}

class X11Events : public XServerTest {
protected:
    void SetUp() override
    {
        XServerTest::SetUp();
        ResetApp();
    }

    void Do(Window window, const std::string& arguments)
    {
        ASSERT_EQ(0, RunXdotool(displayName, window, arguments)) << arguments;
        XSync(person, False);
    }

    // Pixels of `window` that are pure black, read from the X server.
    int BlackPixels(Window window, int width, int height)
    {
        XImage* image = XGetImage(person, window, 0, 0, width, height, AllPlanes, ZPixmap);
        if (image == nullptr) {
            return -1;
        }
        int black = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                black += (XGetPixel(image, x, y) & 0xFFFFFF) == 0 ? 1 : 0;
            }
        }
        XDestroyImage(image);
        return black;
    }

};

// What a person does in a framed 640 x 480 window, and the events the
// application receives for it, in order, with positions from the bottom left.
TEST_F(X11Events, EveryKindArrivesInOrderWithSurfacePositions)
{
    SpareKey eacute(person, XK_eacute);
    SpareKey f13(person, XK_F13);
    ASSERT_NE(0, eacute.keycode);
    ASSERT_NE(0, f13.keycode);
    // A window elsewhere, to take the focus away.
    const Window other = XCreateSimpleWindow(person, DefaultRootWindow(person), 0, 0, 16, 16, 0, 0, 0);
    XMapWindow(person, other);
    XSync(person, False);

    Window window = 0;
    int black = -1;
    Script().title = "Trellis events";
    Script().onFrame = [&](int frame) {
        if (frame == 3) {
            window = FindViewableWindow(person, "Trellis events", getpid());
            ASSERT_NE(0u, window);
            Do(window, "windowfocus --sync %W mousemove --sync --window %W 100 50 click 1 click 2 click 3 "
                       "click 4 click 5 key shift+a key Left key eacute key minus KP_Home Menu F13 "
                       "windowsize %W 800 600");
        }
        if (frame == 12) {
            black = BlackPixels(window, 800, 600);
            Do(window, "mousemove --sync --window %W 10 10 mousemove --sync --window " + std::to_string(other) +
                           " 1 1 windowfocus --sync " + std::to_string(other));
        }
        if (frame == 14) {
            Do(window, "windowfocus --sync %W key Escape");
        }
    };
    EXPECT_EQ(0, RunOnX11(displayName, u"-windowed -qaf=300"));
    XDestroyWindow(person, other);

    Lines log;
    for (const TrellisEvent& event : Record().inputs) {
        log.push_back(Describe(event));
    }
    EXPECT_TRUE(InOrder(
        {
            "focus gained",
            "move 100 429",
            "button down left 100 429",
            "button up left 100 429",
            "button down middle 100 429",
            "button up middle 100 429",
            "button down right 100 429",
            "button up right 100 429",
            "wheel 0 1 at 100 429",
            "wheel 0 -1 at 100 429",
            Key(TrellisKey::LeftShift, 0, ""),
            Key(TrellisKey::A, kTrellisModShift, "A"),
            "key up " + std::to_string(static_cast<int>(TrellisKey::LeftShift)) + " mods 1",
            Key(TrellisKey::Left, 0, ""),
            Key(TrellisKey::Unknown, 0, "\xC3\xA9"),
            Key(TrellisKey::Minus, 0, "-"),
            Key(TrellisKey::Keypad7, 0, ""),
            Key(TrellisKey::Menu, 0, ""),
            Key(TrellisKey::F13, 0, ""),
            "resize 800 600",
            "move 10 589",
            "pointer left",
            "focus lost",
            "focus gained",
            Key(TrellisKey::Escape, 0, ""),
        },
        log));
    // The surface follows the window: nothing of it is left undrawn.
    EXPECT_EQ(0, black);
    EXPECT_LT(Record().renderCalls, 300) << "Escape ends the program";
    EXPECT_EQ(1, CountEvents("QuitApp"));
}

TEST_F(X11Events, ABurstOfMotionLosesNoKeyOrClick)
{
    Script().title = "Trellis burst";
    Script().onFrame = [&](int frame) {
        if (frame == 3) {
            const Window window = FindViewableWindow(person, "Trellis burst", getpid());
            ASSERT_NE(0u, window);
            Do(window, "windowfocus --sync %W");
            StartInputBurst(displayName, 100, 100, 300, "--window " + std::to_string(window) + " ");
        }
    };
    // The time limit only bounds a run whose Escape was lost.
    EXPECT_EQ(0, RunOnX11(displayName, u"-windowed -qat=60"));
    EXPECT_EQ(10, CountInputs(TrellisEventKind::KeyDown, TrellisKey::B));
    EXPECT_EQ(10, CountInputs(TrellisEventKind::KeyUp, TrellisKey::B));
    EXPECT_EQ(10, CountInputs(TrellisEventKind::ButtonDown));
    EXPECT_EQ(10, CountInputs(TrellisEventKind::ButtonUp));
}

} // namespace
