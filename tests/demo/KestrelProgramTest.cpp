// The two programs run as a user runs them: kestrel in a real X11 window
// (when TRELLIS_TEST_DISPLAY names a server) and kestrel-capture without any
// display, whose pictures must match the reviewed reference.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ProgramRun.h"
#include "ReferenceImage.h"
#include "XServerTest.h"
#include "XWindows.h"

namespace {

TEST(KestrelProgram, RunsInAnX11WindowAndExitsZeroAtTheFrameLimit)
{
    const char* display = std::getenv("TRELLIS_TEST_DISPLAY");
    if (display == nullptr) {
        GTEST_SKIP() << "TRELLIS_TEST_DISPLAY is not set";
    }
    const ProgramOutcome outcome = RunMerged(KESTREL_PATH, {"-windowed", "-width=320", "-height=240", "-qaf=60"},
                                             {std::string("DISPLAY=") + display, "TRELLIS_PLATFORM=x11"});
    EXPECT_EQ(0, outcome.exitCode) << outcome.output;
    EXPECT_EQ("", outcome.output);
}

// Columns and rows of a 800 x 600 window that are black from end to end in
// the part a 640 x 480 picture would leave undrawn: the 160 columns on the
// right and the 120 rows on top. (The scene has dark pixels of its own, never
// a whole line.)
int BlackLinesInTheGrownPart(Display* display, Window window)
{
    XImage* image = XGetImage(display, window, 0, 0, 800, 600, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return -1;
    }
    const auto black = [&](int x, int y) { return (XGetPixel(image, x, y) & 0xFFFFFF) == 0; };
    int lines = 0;
    for (int x = 640; x < 800; ++x) {
        int y = 0;
        while (y < 600 && black(x, y)) {
            ++y;
        }
        lines += y == 600 ? 1 : 0;
    }
    for (int y = 0; y < 120; ++y) {
        int x = 0;
        while (x < 800 && black(x, y)) {
            ++x;
        }
        lines += x == 800 ? 1 : 0;
    }
    XDestroyImage(image);
    return lines;
}

using KestrelOnX11 = XServerTest;

// A person makes kestrel's framed window larger: the scene fills all of it.
TEST_F(KestrelOnX11, FillsAFramedWindowThatIsResized)
{
    ProgramRun program(KESTREL_PATH, {"-windowed", "-width=640", "-height=480", "-qaf=100000"},
                       {{std::string("DISPLAY=") + displayName, "TRELLIS_PLATFORM=x11"}}, {Streams::Merged});
    const Window window = WaitForViewableWindow(person, "Trellis", program.Id());
    int black = -1;
    if (window != 0) {
        EXPECT_EQ(0, RunXdotool(displayName, window, "windowsize --sync %W 800 600"));
        // Frames drawn at the new size reach the window within a few frames.
        for (int attempt = 0; attempt < 200 && black != 0; ++attempt) {
            usleep(50000);
            black = BlackLinesInTheGrownPart(person, window);
        }
        EXPECT_EQ(0, RunXdotool(displayName, window, "windowfocus --sync %W key Escape"));
    }
    const ProgramOutcome outcome = program.Finish();
    ASSERT_NE(0u, window);
    EXPECT_EQ(0, black);
    EXPECT_EQ(0, outcome.exitCode) << outcome.output;
}

// With no display named it runs headless and says so (multisampling
// included: the driver's own buffers for it stay its business); a display
// named but unreachable is an error, not a headless run.
TEST(KestrelProgram, RunsHeadlessOnlyWhereNoDisplayIsNamed)
{
    const std::string headless = "no display (WAYLAND_DISPLAY, DISPLAY not set): running headless\n";
    const struct {
        std::vector<std::string> arguments, environment;
        int exitCode;
        std::string output;
    } runs[] = {
        {{"-qaf=5"}, {}, 0, headless},
        {{"-FSAAMode=2", "-qaf=1"}, {}, 0, headless},
        {{"-windowed"}, {"DISPLAY=:59999"}, 1,
         "cannot open the X display \":59999\" named by DISPLAY; unset it or set TRELLIS_PLATFORM=headless to run "
         "without a display\n"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.arguments[0]);
        const ProgramOutcome outcome = RunMerged(KESTREL_PATH, run.arguments, run.environment);
        EXPECT_EQ(run.exitCode, outcome.exitCode) << outcome.output;
        EXPECT_EQ(run.output, outcome.output);
    }
}

TEST(KestrelProgram, BothProgramsPrintTheirUsageAndVersionAndExitZeroWithoutAWindow)
{
    // Any window system would fail here: X11 is insisted on and cannot open.
    const std::vector<std::string> noWindow{"DISPLAY=:59999", "TRELLIS_PLATFORM=x11"};
    for (const char* program : {KESTREL_PATH, KESTREL_CAPTURE_PATH}) {
        const ProgramOutcome version = RunMerged(program, {"-windowd", "--version"}, noWindow);
        EXPECT_EQ(0, version.exitCode);
        EXPECT_EQ(std::filesystem::path(program).filename().string() + " (Trellis) 1.0.0\n", version.output);
    }

    const ProgramOutcome kestrel = RunMerged(KESTREL_PATH, {"-help"}, noWindow);
    EXPECT_EQ(0, kestrel.exitCode);
    EXPECT_EQ(0u, kestrel.output.find("Usage: kestrel [options]\n")) << kestrel.output;
    EXPECT_NE(std::string::npos, kestrel.output.find("\nkestrel has no options of its own.\n"));

    const ProgramOutcome capture = RunMerged(KESTREL_CAPTURE_PATH, {"--help"}, noWindow);
    EXPECT_EQ(0, capture.exitCode);
    EXPECT_EQ(0u, capture.output.find("Usage: kestrel-capture [options]\n")) << capture.output;
    const size_t own = capture.output.find("\nOptions of kestrel-capture:\n");
    ASSERT_NE(std::string::npos, own) << capture.output;
    EXPECT_EQ("\nOptions of kestrel-capture:\n"
              "  -frames=LIST               frame numbers to save, separated by commas,\n"
              "                             counting from 0 (default 0)\n"
              "  -prefix=PATH               file prefix, folders included (default \"kestrel\")\n",
              capture.output.substr(own));
}

class KestrelCaptureProgram : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }

    // Names in the folder (and below it), sorted.
    std::vector<std::string> Written() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            names.push_back(entry.path().string().substr(folder.size() + 1));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    const std::string folder = dir.Path();
};

using Names = std::vector<std::string>;

TEST_F(KestrelCaptureProgram, APrefixReachesTheFileNameAsTyped)
{
    // Spaces, a 2-byte character, one whose low byte is '/' (U+012F) and a 4-byte one.
    std::filesystem::create_directory(folder + "/My Shots");
    for (const std::string prefix : {"My Shots/k", "\xC3\xBC", "sub\xC4\xAFk", "\xF0\x9F\x90\xA6"}) {
        SCOPED_TRACE(prefix);
        const ProgramOutcome outcome = RunMerged(
            KESTREL_CAPTURE_PATH, {"-windowed", "-width=32", "-height=24", "-prefix=" + folder + "/" + prefix}, {});
        EXPECT_EQ(0, outcome.exitCode) << outcome.output;
        const std::string base = folder + "/" + prefix + "0000";
        EXPECT_EQ("frame 0: " + base + ".bmp " + base + ".png\n", outcome.output);
        EXPECT_EQ(0, access((base + ".bmp").c_str(), R_OK));
    }
    EXPECT_EQ((Names{"My Shots", "My Shots/k0000.bmp", "My Shots/k0000.png", "sub\xC4\xAFk0000.bmp",
                     "sub\xC4\xAFk0000.png", "\xC3\xBC" "0000.bmp", "\xC3\xBC" "0000.png",
                     "\xF0\x9F\x90\xA6" "0000.bmp", "\xF0\x9F\x90\xA6" "0000.png"}),
              Written());
}

TEST_F(KestrelCaptureProgram, EachMistakeIsOneLineAndATypoDoesNotStopTheRun)
{
    const std::string missing = folder + "/missing/shot";
    std::vector<std::string> tooMany;
    for (int i = 0; i < 100; ++i) {
        tooMany.push_back("-prefix=" + folder + "/junk" + std::to_string(i));
    }
    tooMany.insert(tooMany.end(), {"-frames=2", "-prefix=" + folder + "/last"});
    // U+0131 is no digit, whatever its low byte.
    const std::string badFrames = "kestrel-capture: -frames= takes frame numbers separated by commas\n";
    std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"-frames=\xC4\xB1"}, badFrames},
        {{"-prefix="}, "kestrel-capture: -prefix= needs a file prefix, such as -prefix=out/kestrel\n"},
        {{"-prefix=" + missing}, "kestrel-capture: no folder " + folder + "/missing for -prefix=" + missing + "\n"},
        {tooMany, "too many arguments: 102 are not shell options, and an application takes at most 100\n"},
    };
    for (const char* bad : {"-frames=", "-frames=1,,2", "-frames=-3", "-frames=2x", "-frames=99999999999"}) {
        refused.push_back({{bad, "-prefix=" + folder + "/shot"}, badFrames});
    }
    for (const auto& [arguments, message] : refused) {
        SCOPED_TRACE(arguments[0]);
        const ProgramOutcome outcome = RunMerged(KESTREL_CAPTURE_PATH, arguments, {});
        EXPECT_EQ(1, outcome.exitCode);
        EXPECT_EQ(message, outcome.output);
    }
    EXPECT_TRUE(Written().empty());

    const std::string shot = folder + "/shot";
    const ProgramOutcome typo =
        RunMerged(KESTREL_CAPTURE_PATH, {"-frame=3", "-windowed", "-width=32", "-height=24", "-prefix=" + shot}, {});
    EXPECT_EQ(0, typo.exitCode);
    EXPECT_EQ("unknown option -frame=3; did you mean -frames=3? -help lists the options\n"
              "frame 0: " + shot + "0000.bmp " + shot + "0000.png\n",
              typo.output);
}

TEST_F(KestrelCaptureProgram, BadShellValuesAreNamedAndTheValuesUsedAreThoseNamed)
{
    const std::string prefix = folder + "/v";
    const ProgramOutcome outcome =
        RunMerged(KESTREL_CAPTURE_PATH,
                  {"-windowed", "-width=48x40", "-height=36", "-frames=0,1,2", "-qaf=1e3", "-prefix=" + prefix}, {});
    // The frame limit of 1 ends the run before the last chosen frame.
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ("-width=48x40: not a size from 1 to 1048576; using 48\n"
              "-qaf=1e3: not a frame count from 0 to 2147483647; using 1\n"
              "frame 0: " + prefix + "0000.bmp " + prefix + "0000.png\n" +
                  "frame 1: " + prefix + "0001.bmp " + prefix + "0001.png\n" +
                  "kestrel-capture: the run ended with 2 of 3 chosen frames saved\n",
              outcome.output);
    const RgbImage saved = ReadPng(prefix + "0001.png");
    EXPECT_EQ(48, saved.width);
    EXPECT_EQ(36, saved.height);
}

TEST_F(KestrelCaptureProgram, SavesTheChosenFramesAndSaysWhere)
{
    const std::string prefix = folder + "/shot";
    const ProgramOutcome outcome = RunMerged(
        KESTREL_CAPTURE_PATH, {"-windowed", "-width=320", "-height=240", "-frames=150,0", "-prefix=" + prefix},
        {"TRELLIS_PLATFORM=x11"});  // ignored: capture is always headless
    ASSERT_EQ(0, outcome.exitCode) << outcome.output;
    EXPECT_EQ("frame 0: " + prefix + "0000.bmp " + prefix + "0000.png\n" +
                  "frame 150: " + prefix + "0001.bmp " + prefix + "0001.png\n",
              outcome.output);
    const RgbImage reference = ReadPng(std::string(KESTREL_REFERENCE_DIR) + "/kestrel_frame150.png");
    const RgbImage saved = ReadPng(prefix + "0001.png");
    ASSERT_EQ(320, saved.width);
    ASSERT_EQ(240, saved.height);
    EXPECT_LE(Compare(saved, reference, 8).fractionBeyondSlack, 0.005);
    EXPECT_EQ(0, access((prefix + "0001.bmp").c_str(), R_OK));
}

} // namespace
