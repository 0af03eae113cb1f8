// Input events, window titles and resizing: how the shell's pump hands the
// application what a backend delivers (scripted backend).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingApp.h"
#include "ScriptedWindowSystem.h"
#include "shell/ShellData.h"

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

TEST_F(PumpedEvents, AFramedWindowTakesItsNewSizeAndFullScreenKeepsItsOwn)
{
    TrellisEvent resize = Make(TrellisEventKind::Resize);
    resize.width = 800;
    resize.height = 500;
    const std::vector<WindowMessage> messages{
        WindowMessage{0, WM_SIZE, 0, 0, resize}, WindowMessage{0, WM_SIZE, 0, 0, resize},
        WindowMessage{0, WM_MOUSEMOVE, 0, 0, Make(TrellisEventKind::PointerMove, 0, 0)}};
    {
        ScriptedWindowSystem system(1024, 768);
        ShellData seen{};
        InjectAt(system, 0, messages);
        Script().onEvent = [&](const TrellisEvent& event) {
            if (event.kind == TrellisEventKind::Resize) {
                seen = *static_cast<const ShellData*>(system.GetWindowUserData(system.CreatedWindows().back()));
            }
        };
        EXPECT_EQ(0, Run(system, u"-windowed -qaf=1"));
        // One resize (the repeat changes nothing), already in ShellData when it arrives.
        ASSERT_EQ(2u, Record().inputs.size());
        EXPECT_EQ(800, Record().inputs[0].width);
        EXPECT_EQ(500, Record().inputs[0].height);
        EXPECT_EQ(800, seen.width);
        EXPECT_EQ(500, seen.height);
        EXPECT_EQ(499, Record().inputs[1].y);
    }
    ResetApp();
    {
        ScriptedWindowSystem system(1024, 768);
        InjectAt(system, 0, messages);
        EXPECT_EQ(0, Run(system, u"-qaf=1"));
        ASSERT_EQ(1u, Record().inputs.size());
        EXPECT_EQ(TrellisEventKind::PointerMove, Record().inputs[0].kind);
        EXPECT_EQ(767, Record().inputs[0].y);
    }
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

} // namespace
