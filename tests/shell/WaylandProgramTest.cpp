// kestrel and trellis-hello as a user starts them on a Wayland desktop: under
// the compositor named by TRELLIS_TEST_WAYLAND_DISPLAY (CI starts a headless
// Weston), and under one of their own that goes away mid-run.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ProgramRun.h"

namespace {

// A program as a client of a compositor, its errors in its output; its leaks
// go unchecked (ProgramEnvironment::checkLeaks says why).
ProgramOutcome RunOnWeston(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& added)
{
    ProgramEnvironment environment{added};
    environment.checkLeaks = false;
    return RunProgram(program, arguments, environment, {Streams::Merged});
}

class WaylandPrograms : public testing::Test {
protected:
    void SetUp() override
    {
        const char* name = std::getenv("TRELLIS_TEST_WAYLAND_DISPLAY");
        if (name == nullptr) {
            GTEST_SKIP() << "TRELLIS_TEST_WAYLAND_DISPLAY is not set";
        }
        display = std::string("WAYLAND_DISPLAY=") + name;
    }
    std::string display;
};

TEST_F(WaylandPrograms, RunNativelyInEachWindowModeToTheFrameLimit)
{
    const std::vector<std::vector<std::string>> modes = {
        {"-windowed", "-qaf=30"}, {"-qaf=30"}, {"-width=320", "-height=240", "-qaf=30"}};
    for (const char* program : {KESTREL_PATH, TRELLIS_HELLO_PATH}) {
        for (const auto& mode : modes) {
            const ProgramOutcome outcome = RunOnWeston(program, mode, {display, "TRELLIS_PLATFORM=wayland"});
            EXPECT_EQ(0, outcome.exitCode) << program << " " << mode.front() << ": " << outcome.output;
            EXPECT_EQ("", outcome.output) << program << " " << mode.front();
        }
    }
}

TEST_F(WaylandPrograms, WaylandIsChosenWhenItsDisplayConnects)
{
    // The protocol log shows the toplevel being made and titled; DISPLAY is unset.
    const ProgramOutcome outcome =
        RunOnWeston(KESTREL_PATH, {"-windowed", "-qaf=2"}, {display, "WAYLAND_DEBUG=client"});
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_NE(std::string::npos, outcome.output.find("xdg_toplevel@")) << "not a Wayland client";
    EXPECT_NE(std::string::npos, outcome.output.find("set_title(\"Trellis\")"));
    EXPECT_NE(std::string::npos, outcome.output.find("set_app_id(\"kestrel\")"));
}

TEST_F(WaylandPrograms, AConnectionHandedDownInWaylandSocketIsUsed)
{
    const int connection = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(connection, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = display.substr(display.find('=') + 1);
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(0, connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address));
    const ProgramOutcome outcome =
        RunOnWeston(KESTREL_PATH, {"-windowed", "-qaf=2"},
                    {"WAYLAND_SOCKET=" + std::to_string(connection), "WAYLAND_DEBUG=client"});
    close(connection);
    EXPECT_EQ(0, outcome.exitCode) << outcome.output;
    EXPECT_NE(std::string::npos, outcome.output.find("xdg_toplevel@")) << "not a Wayland client";
}

TEST_F(WaylandPrograms, FramesHaveEightBitsAColour)
{
    // A 320-pixel row of a 32-bit buffer takes 1280 bytes; of RGB565, 640.
    const ProgramOutcome outcome = RunOnWeston(KESTREL_PATH, {"-windowed", "-width=320", "-height=240", "-qaf=2"},
                                               {display, "WAYLAND_DEBUG=client"});
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_NE(std::string::npos, outcome.output.find(", 320, 240, 1280, ")) << outcome.output;
}

// An output that has gone blank asks for no frames: the program still ends at
// its time limit (the outer limit only stops one that hangs).
TEST(WaylandProgram, ABlankedOutputDoesNotStopTheFrames)
{
    const char* name = std::getenv("TRELLIS_TEST_WAYLAND_IDLE_DISPLAY");
    if (name == nullptr) {
        GTEST_SKIP() << "TRELLIS_TEST_WAYLAND_IDLE_DISPLAY is not set";
    }
    const ProgramOutcome outcome = RunOnWeston(KESTREL_PATH, {"-windowed", "-width=320", "-height=240", "-qat=3"},
                                               {std::string("WAYLAND_DISPLAY=") + name});
    EXPECT_EQ(0, outcome.exitCode) << outcome.output;
}

#ifdef TRELLIS_INPUT_PATH
TEST_F(WaylandPrograms, TheApplicationsTitleNamesTheToplevel)
{
    const ProgramOutcome outcome = RunOnWeston(TRELLIS_INPUT_PATH, {"-qaf=2"}, {display, "WAYLAND_DEBUG=client"});
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_NE(std::string::npos, outcome.output.find("set_title(\"Trellis input\")"));
}
#endif

TEST_F(WaylandPrograms, CompositorGoingAwayEndsTheProgramWithExitOne)
{
    WestonRun compositor({"--backend=headless-backend.so", "--idle-time=0"});
    ASSERT_TRUE(compositor.Listening());
    ProgramOutcome outcome;
    {
        ProgramEnvironment environment{{"WAYLAND_DISPLAY=" + compositor.Socket(), "WAYLAND_DEBUG=client"}};
        environment.checkLeaks = false;
        ProgramRun kestrel(KESTREL_PATH, {"-windowed", "-qaf=1000000"}, environment, {Streams::Merged});
        // Frames are being presented once the compositor has released a buffer.
        const bool presenting = kestrel.WaitForOutput("wl_buffer@") && kestrel.WaitForOutput(".release()");
        compositor.Kill();
        EXPECT_TRUE(presenting);
        outcome = kestrel.Finish();
    }
    EXPECT_EQ(1, outcome.exitCode);
    const std::string message = "The Wayland compositor has gone away\n";
    ASSERT_GE(outcome.output.size(), message.size());
    EXPECT_EQ(message, outcome.output.substr(outcome.output.size() - message.size()));
}

TEST(WaylandProgram, InsistingOnWaylandWithoutACompositorFails)
{
    const ProgramOutcome outcome = RunMerged(
        TRELLIS_HELLO_PATH, {"-qaf=0"}, {"TRELLIS_PLATFORM=wayland", "WAYLAND_DISPLAY=/nonexistent/trellis-wl-none"});
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ("TRELLIS_PLATFORM=wayland: cannot open the Wayland display \"/nonexistent/trellis-wl-none\" named by "
              "WAYLAND_DISPLAY\n",
              outcome.output);
}

} // namespace
