// The example program as a user starts it: a real execve with the arguments
// as typed and an environment chosen by each case (no display by default).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProgramRun.h"

namespace {

// trellis-hello with no window system chosen, plus `extra`.
ProgramOutcome RunHello(const std::vector<std::string>& arguments, const std::vector<std::string>& extra = {})
{
    return RunProgram(TRELLIS_HELLO_PATH, arguments, {extra});
}

// A display that no server answers.
const std::string kDeadDisplay = "DISPLAY=:59999";

TEST(HelloProgram, RunsHeadlessWithoutADisplayAndSaysSo)
{
    const ProgramOutcome outcome = RunHello({"-qaf=100"});
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_EQ("no display (WAYLAND_DISPLAY, DISPLAY not set): running headless\n", outcome.errors);
    EXPECT_EQ("", outcome.output);
}

TEST(HelloProgram, EachWindowSystemChoiceSaysWhatItDoes)
{
    struct Case {
        std::vector<std::string> environment;
        int exitCode;
        std::string errors;
    };
    const std::vector<Case> cases{
        {{"TRELLIS_PLATFORM=directfb"}, 1,
         "TRELLIS_PLATFORM=directfb names no window system; use one of: wayland, x11, headless\n"},
        {{"TRELLIS_PLATFORM=x11"}, 1, "TRELLIS_PLATFORM=x11: no X display (DISPLAY is not set)\n"},
        {{"TRELLIS_PLATFORM=x11", kDeadDisplay}, 1,
         "TRELLIS_PLATFORM=x11: cannot open the X display \":59999\" named by DISPLAY\n"},
        {{kDeadDisplay}, 1,
         "cannot open the X display \":59999\" named by DISPLAY; unset it or set TRELLIS_PLATFORM=headless to run "
         "without a display\n"},
        // Chosen by name, headless never looks at DISPLAY; an empty variable counts as unset.
        {{"TRELLIS_PLATFORM=headless", kDeadDisplay}, 0, ""},
        {{"TRELLIS_PLATFORM=", "DISPLAY="}, 0, "no display (WAYLAND_DISPLAY, DISPLAY not set): running headless\n"},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(run.environment.front());
        const ProgramOutcome outcome = RunHello({"-windowed", "-qaf=3"}, run.environment);
        EXPECT_EQ(run.exitCode, outcome.exitCode);
        EXPECT_EQ(run.errors, outcome.errors);
    }
}

TEST(HelloProgram, HelpPrintsTheUsageAndExitsZeroWithoutAnyWindowSystem)
{
    for (const char* help : {"-help", "--help", "-h", "-?"}) {
        SCOPED_TRACE(help);
        // Opening the X display named here would fail the run: help never tries.
        const ProgramOutcome outcome = RunHello({"-windowed", help, "-qaf=abc"}, {"TRELLIS_PLATFORM=x11", kDeadDisplay});
        EXPECT_EQ(0, outcome.exitCode);
        EXPECT_EQ(0u, outcome.output.find("Usage: trellis-hello [options]\n\nOptions of every Trellis program:\n"));
        EXPECT_NE(std::string::npos,
                  outcome.output.find("\n  -quitafterframe=N, -qaf=N  stop after N + 1 presented frames (-1: no limit)\n"));
        EXPECT_NE(std::string::npos, outcome.output.find("\ntrellis-hello has no options of its own.\n"));
        EXPECT_NE(std::string::npos, outcome.output.find("TRELLIS_PLATFORM chooses the window system (wayland, x11, headless)"));
        EXPECT_EQ("-qaf=abc: not a frame count from 0 to 2147483647; using no frame limit\n", outcome.errors);
    }
}

TEST(HelloProgram, BadValuesAndUnknownOptionsAreNamedAndTheRunGoesOn)
{
    const ProgramOutcome outcome =
        RunHello({"-widht=800", "--width=800", "-qaf=abc", "-qat=nan", "-FSAAMode=7", "-fullscreenXYZ", "-qat=-1", "",
                  "--posx=9", "-qaf=2", "na\xC3\xAFve-\xE2\x98\x83", "--", "-qaf=junk", "-windowed"},
                 {"TRELLIS_PLATFORM=headless"});
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_EQ("-qaf=abc: not a frame count from 0 to 2147483647; using no frame limit\n"
              "-qat=nan: not a positive number of seconds; using no time limit\n"
              "-FSAAMode=7: not 0, 1 or 2; using no multisampling\n"
              "-fullscreenXYZ: characters after the option; taken as -fullscreen\n"
              "-qat=-1: not a positive number of seconds; using no time limit\n"
              "empty argument ignored\n"
              "unknown option -widht=800; did you mean -width=800? -help lists the options\n"
              "unknown option na\xC3\xAFve-\xE2\x98\x83; -help lists the options\n"
              "-width and -height apply to a window (-windowed); full screen takes the monitor's size\n"
              "-posx and -posy are not used: a window is centred on the monitor\n",
              outcome.errors);
}

TEST(HelloProgram, MoreArgumentsThanTheApplicationTakesAreRefused)
{
    std::vector<std::string> arguments(101, "word");
    arguments.push_back("-qaf=0");  // shell options do not count
    ProgramOutcome outcome = RunHello(arguments, {"TRELLIS_PLATFORM=headless"});
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ("too many arguments: 101 are not shell options, and an application takes at most 100\n",
              outcome.errors);
    arguments.erase(arguments.begin());
    outcome = RunHello(arguments, {"TRELLIS_PLATFORM=headless"});
    EXPECT_EQ(0, outcome.exitCode);
}

} // namespace
