// The display-driver configuration of quarter-size full-screen runs, driven
// through TrellisMain on the scripted window system with a scripted driver:
// the bytes of every escape, the messages in order, and what is released.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EglShim.h"
#include "ScriptedDriver.h"
#include "ScriptedWindowSystem.h"
#include "dualdisplay/DualDisplay.h"
#include "shell/Entry.h"
#include "shell/TrellisApp.h"
#include "shell/ce/TrellisPlatformCE.h"

using namespace trellis;

namespace {

class QuietApp : public TrellisApp {
public:
    int32_t InitApp(int32_t, char**, int32_t, int32_t) override { return 1; }
    int32_t InitScene(int32_t, int32_t) override { return 1; }
    int32_t QuitApp() override { return 1; }
};

using Codes = std::vector<int32_t>;
using Lines = std::vector<std::string>;

constexpr int32_t kQuery = TrellisPlatformCE::kEscapeDualDisplayQuery;
constexpr int32_t kSwitch = TrellisPlatformCE::kEscapeDualDisplaySwitch;
constexpr int32_t kConfigure = DRVESC_CONFIG_DISPLAYSYSTEM;
constexpr int32_t kSecondarySurface = kEscapeCreateSecondarySurface;
constexpr int32_t kSurfaceInfo = DRVESC_GET_SURFACEINFO;

const std::string kPrefix = "RURIRUVAVUDI: ";
const std::string kRestoring = kPrefix + "RestoreDefaultDisplayMode: Restoring dual display default configuration.\n";
const std::string kDeallocating = kPrefix + "RestoreDefaultDisplayMode: Deallocating virtual memory for Desktop surface.\n";
const std::string kFreed = "VirtualFree 0x8c100000 0 0x8000";
const Codes kWholeConversation{kQuery, kSurfaceInfo, kSecondarySurface, kConfigure,
                               kSwitch, kSwitch,      kConfigure,        kQuery};

std::vector<uint8_t> DefaultColumn(uint32_t surfaceWord)
{
    return Words({1, 1, 1, 0, 6, 0, 0, 2, 6, 0, 0, 0, surfaceWord});
}

class DualDisplayRun : public testing::Test {
protected:
    void SetUp() override
    {
        EglShim::Reset();
        driver.Attach(system);
    }

    int Run(const char16_t* commandLine) { return RunTrellisMain(commandLine, system, errors); }

    // The messages written to the debug output, in order; each also reached
    // standard error as it was.
    Lines Messages()
    {
        Lines messages;
        std::string joined;
        for (const auto& call : system.Calls({"DebugOutput"})) {
            messages.push_back(call.substr(std::string("DebugOutput ").size()));
            joined += messages.back();
        }
        EXPECT_EQ(joined, errors);
        return messages;
    }

    // The restore's four escapes end every run that asked: the display
    // switched off and on around the default column, then asked about again.
    void ExpectRestoreEscapes(uint32_t surfaceWord)
    {
        ASSERT_GE(driver.sent.size(), 4u);
        const auto restore = driver.sent.end() - 4;
        EXPECT_EQ(Words({0, 1, 0}), restore[0].input);
        EXPECT_EQ(Words({0, 0, 0}), restore[1].input);
        EXPECT_EQ(DefaultColumn(surfaceWord), restore[2].input);
        EXPECT_EQ(Words({0, 1, 0}), restore[3].input);
    }

    WindowHandle CoverWindow() const { return system.CreatedWindows().at(0); }
    WindowHandle MainWindow() const { return system.CreatedWindows().at(1); }

    ScriptedWindowSystem system{640, 480};
    ScriptedDriver driver;
    std::string errors;
};

TEST_F(DualDisplayRun, NoSecondaryDisplayMeansOneQuestionAndNothingElse)
{
    driver.secondaryDisplay = 0;
    EXPECT_EQ(0, Run(u"-width=320 -height=240 -qaf=0"));
    ASSERT_EQ(Codes{kQuery}, driver.Codes());
    EXPECT_EQ(Words({1, 0, 0}), driver.sent[0].input);
    EXPECT_EQ(12, driver.sent[0].outputSize);
    // The one screen DC is the question's; the other DC is the main window's, for EGL.
    const Lines dcCalls = system.Calls({"GetDC", "ReleaseDC", "CreateDC", "DeleteDC", "CreateCompatibleDC",
                                        "CreateCompatibleBitmap", "VirtualFree", "InvalidateRect"});
    ASSERT_EQ(3u, dcCalls.size());
    EXPECT_EQ((Lines{"GetDC 0 -> 0x80000000", "ReleaseDC 0 0x80000000"}), Lines(dcCalls.begin(), dcCalls.begin() + 2));
    EXPECT_EQ(0u, dcCalls[2].rfind("GetDC " + std::to_string(MainWindow()) + " -> ", 0)) << dcCalls[2];
    EXPECT_EQ(Lines{}, Messages());
    EXPECT_EQ(2u, system.Calls({"DestroyWindow"}).size());
}

TEST_F(DualDisplayRun, SetUpAndRestoreSendTheWholeConversation)
{
    EXPECT_EQ(0, Run(u"-width=320 -height=240 -qaf=0"));
    ASSERT_EQ(kWholeConversation, driver.Codes());

    EXPECT_EQ(std::vector<uint8_t>(32, 0), driver.sent[1].input);
    EXPECT_EQ((std::vector<uint8_t>{0x40, 0x01, 0xF0, 0x00}), driver.sent[2].input) << "320 and 240, 16 bits each";
    EXPECT_EQ(Words({1, 1, 1, 0, 6, 0, 0, 1, 2, 1, 0, 60, 0}), driver.sent[3].input) << "the custom column";
    ExpectRestoreEscapes(0x00C0FFEE);

    // The room for each answer; the display is configured and switched on
    // before EGL comes up, and put back before EGL goes down.
    std::vector<int32_t> answerRoom, eglUp, eglDown;
    for (const SentEscape& escape : driver.sent) {
        answerRoom.push_back(escape.outputSize);
        eglUp.push_back(escape.eglInitializeCalls);
        eglDown.push_back(escape.eglTerminateCalls);
    }
    EXPECT_EQ((std::vector<int32_t>{12, 32, 0, 0, 12, 12, 0, 12}), answerRoom);
    EXPECT_EQ((std::vector<int32_t>{0, 0, 0, 0, 0, 1, 1, 1}), eglUp);
    EXPECT_EQ((std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0, 0}), eglDown);
    EXPECT_EQ(1, EglShim::CallCount("eglTerminate"));

    EXPECT_EQ((Lines{kRestoring, kDeallocating}), Messages());
    EXPECT_EQ(Lines{"CreateDC ddi.dll -> 0x100"}, system.Calls({"CreateDC"}));
    EXPECT_EQ(Lines{"CreateCompatibleBitmap 0x80000000 320 240 -> 0x102"}, system.Calls({"CreateCompatibleBitmap"}));
    EXPECT_EQ(Lines{}, GdiFaults(system.Calls()));
}

TEST_F(DualDisplayRun, RestoreRedrawsTheDesktopReleasesTheSurfaceAndDestroysTheWindows)
{
    EXPECT_EQ(0, Run(u"-width=320 -height=240 -qaf=0"));
    const std::string main = std::to_string(MainWindow());
    const std::string cover = std::to_string(CoverWindow());
    const Lines calls = system.Calls({"ExtEscape", "DebugOutput", "InvalidateRect", "SetForegroundWindow",
                                      "FullScreen", "MoveWindow", "ShowWindow", "UpdateWindow", "DestroyWindow",
                                      "VirtualFree"});
    const Lines expected{
        "ExtEscape 0x80000000 101004 12 [0 0 0] 12 -> 1 [0 0 0]",
        "DebugOutput " + kRestoring,
        "InvalidateRect " + main + " 0 0 640 480 1",
        "SetForegroundWindow " + main,
        "FullScreen " + main + " 0x2a",
        "MoveWindow " + main + " 0 0 640 480 1",
        "ShowWindow " + main + " 1",
        "UpdateWindow " + main,
        "ExtEscape 0x80000000 101000 52 [1 1 1 0 6 0 0 2 6 0 0 0 12648430] 0 -> 1 []",
        "DebugOutput " + kDeallocating,
        kFreed,
        "DestroyWindow " + main,
        "ShowWindow " + cover + " 1",
        "UpdateWindow " + cover,
        "DestroyWindow " + cover,
        "ExtEscape 0x80000000 101005 12 [0 1 0] 12 -> 1 [0 1 0]",
    };
    ASSERT_GE(calls.size(), expected.size());
    EXPECT_EQ(expected, Lines(calls.end() - static_cast<long>(expected.size()), calls.end()))
        << "the release destroys no window a second time";
}

TEST_F(DualDisplayRun, AFailedStartStillRestoresTheDefaultConfiguration)
{
    EglShim::FailCall("eglInitialize", 1, EGL_NOT_INITIALIZED);
    EXPECT_EQ(1, Run(u"-width=320 -height=240 -qaf=0"));
    ASSERT_EQ(kWholeConversation, driver.Codes());
    ExpectRestoreEscapes(0x00C0FFEE);
    EXPECT_EQ(Lines{kFreed}, system.Calls({"VirtualFree"}));
    EXPECT_EQ(2u, system.Calls({"DestroyWindow"}).size());
    EXPECT_EQ(Lines{}, GdiFaults(system.Calls()));
}

TEST_F(DualDisplayRun, PortraitQuarterSizeIsConfiguredTheSameWay)
{
    EXPECT_EQ(0, Run(u"-width=240 -height=320 -qaf=0"));
    ASSERT_EQ(kWholeConversation, driver.Codes());
    EXPECT_EQ((std::vector<uint8_t>{0x40, 0x01, 0xF0, 0x00}), driver.sent[2].input);
    EXPECT_EQ(Lines{}, GdiFaults(system.Calls()));
}

// A refusal of the driver's: each is reported in order, the run ends
// normally, and the restore is sent all the same, with no surface word where
// none was kept and without releasing what was never made.
struct Refusal {
    const char* name;
    void (*arrange)(ScriptedDriver&);
    Lines messages;
    Codes codes;
    uint32_t restoredSurfaceWord;
    bool bitmapMade;
    Lines freed;
};

const std::string kRefused = kPrefix + "DE_ConfigureDisplaySystem: Drvesc failure: DRVESC_CONFIG_DISPLAYSYSTEM.\n";
const std::string kSetUpFailed = kPrefix + "DualDisplaySetup: Error could not get default settings\n";
const std::string kWinMainFailed = kPrefix + "WinMain: DualDispSetup failed.\n";

const Refusal kRefusals[] = {
    {"SurfaceWithoutAddress", [](ScriptedDriver& d) { d.physAddress = 0; },
     {kPrefix + "DE_GetMarathonSurfaceInfo: DRVESC_GET_SURFACEINFO failed to return ui32PhysAddress.\n",
      kSetUpFailed, kWinMainFailed, kRestoring},
     {kQuery, kSurfaceInfo, kSwitch, kSwitch, kConfigure, kQuery}, 0, false, {}},
    // The failed query still writes an address into the record: it must not be released.
    {"FailedSurfaceQuery", [](ScriptedDriver& d) { d.surfaceInfoResult = -1; },
     {kPrefix + "DE_GetMarathonSurfaceInfo: DRVESC_GET_SURFACEINFO error.\n", kSetUpFailed, kWinMainFailed,
      kRestoring},
     {kQuery, kSurfaceInfo, kSwitch, kSwitch, kConfigure, kQuery}, 0, false, {}},
    {"RefusedSecondarySurface", [](ScriptedDriver& d) { d.secondarySurfaceResult = -1; },
     {kPrefix + "DE_CreateSecondarySurfBitmap: DRVESC_CONFIG_DISPLAYSYSTEM error.\n",
      kPrefix + "Config_CustomFBApplication: Call to DE_CreateSecondarySurfBitmap failed.\n", kRestoring,
      kDeallocating},
     {kQuery, kSurfaceInfo, kSecondarySurface, kSwitch, kSwitch, kConfigure, kQuery}, 0x00C0FFEE, false, {kFreed}},
    {"RefusedConfigurations", [](ScriptedDriver& d) { d.configureResults = {-1, -1}; },
     {kRefused, kPrefix + "Config_CustomFBApplication: Call to DE_ConfigureDisplaySystem failed.\n", kRestoring,
      kRefused, kPrefix + "Config_DefaultDisplay: returning error value.\n", kDeallocating,
      kPrefix + "RestoreDefaultDisplayMode: Error.\n"},
     kWholeConversation, 0x00C0FFEE, true, {kFreed}},
};

class DualDisplayRefusal : public DualDisplayRun, public testing::WithParamInterface<Refusal> {};

TEST_P(DualDisplayRefusal, IsReportedAndTheDefaultConfigurationStillRestored)
{
    GetParam().arrange(driver);
    EXPECT_EQ(0, Run(u"-width=320 -height=240 -qaf=0"));
    EXPECT_EQ(GetParam().messages, Messages());
    ASSERT_EQ(GetParam().codes, driver.Codes());
    ExpectRestoreEscapes(GetParam().restoredSurfaceWord);
    EXPECT_EQ(GetParam().bitmapMade, !system.Calls({"CreateCompatibleBitmap"}).empty());
    EXPECT_EQ(GetParam().bitmapMade, !system.Calls({"CreateCompatibleDC"}).empty());
    EXPECT_EQ(GetParam().freed, system.Calls({"VirtualFree"}));
    EXPECT_EQ(Lines{}, GdiFaults(system.Calls()));
}

INSTANTIATE_TEST_SUITE_P(Driver, DualDisplayRefusal, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST(DualDisplayModes, OnlyQuarterSizeFullScreenRunsAskTheDriver)
{
    struct Case {
        const char16_t* commandLine;
        bool asks;
    };
    const Case cases[] = {
        {u"-width=320 -height=240 -qaf=0", true},
        {u"-width=240 -height=320 -qaf=0", true},
        {u"-width=320 -height=240 -fullscreen -qaf=0", true},
        {u"-qaf=0", false},
        {u"-width=320 -height=200 -qaf=0", false},
        {u"-width=240 -height=240 -qaf=0", false},
        {u"-width=640 -height=480 -qaf=0", false},
        {u"-width=320 -height=240 -windowed -qaf=0", false},
        {u"-width=240 -height=320 -windowed -qaf=0", false},
        {u"-windowed -qaf=0", false},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(Narrow(run.commandLine));
        EglShim::Reset();
        ScriptedWindowSystem system{640, 480};
        ScriptedDriver driver;
        driver.Attach(system);
        std::string errors;
        EXPECT_EQ(0, RunTrellisMain(run.commandLine, system, errors));
        if (run.asks) {
            EXPECT_EQ(8u, driver.sent.size());
        } else {
            EXPECT_TRUE(driver.sent.empty());
            EXPECT_TRUE(system.Calls({"ExtEscape", "CreateDC", "VirtualFree"}).empty());
            EXPECT_TRUE(system.Calls({"DebugOutput"}).empty());
        }
    }
}

// Without an application window (none was made, or it is already gone) the
// restore repaints the desktop through a black top-most window of its own,
// and destroys it again.
TEST_F(DualDisplayRun, WithoutAMainWindowTheRestoreUsesARedrawWindowOfItsOwn)
{
    PlatformWindows windows;
    int instanceTag = 0;
    void* const instance = &instanceTag;
    PlatformDesktop desktop(system, windows, instance);
    DualDisplay dualDisplay(system, desktop);

    testing::internal::CaptureStderr();
    EXPECT_EQ(0, dualDisplay.DualDispSetup());
    EXPECT_EQ(0, dualDisplay.RestoreDefaultDisplayMode());
    EXPECT_EQ(kRestoring + kDeallocating, testing::internal::GetCapturedStderr());

    ASSERT_EQ(1u, system.CreatedWindows().size());
    const std::string redraw = std::to_string(system.CreatedWindows()[0]);
    EXPECT_EQ((Lines{
                  "RegisterClass RedrawDesktop 3 1 4 -> 1",
                  "CreateWindowEx 0x4000008 RedrawDesktop  0x10000000 0 0 640 480 -> " + redraw,
                  "InvalidateRect " + redraw + " 0 0 640 480 1",
                  "FullScreen " + redraw + " 0x2a",
                  "MoveWindow " + redraw + " 0 0 640 480 1",
                  "ShowWindow " + redraw + " 1",
                  "DestroyWindow " + redraw,
                  "PostQuitMessage 0",
              }),
              system.Calls({"RegisterClass", "CreateWindowEx", "InvalidateRect", "FullScreen", "MoveWindow",
                            "ShowWindow", "DestroyWindow", "PostQuitMessage"}));
    EXPECT_EQ(kNoWindow, windows.mainWindow);
    EXPECT_EQ((Codes{kSurfaceInfo, kSecondarySurface, kConfigure, kConfigure}), driver.Codes());
    EXPECT_EQ(Lines{}, GdiFaults(system.Calls()));
}

} // namespace

TrellisApp* CreateApplication() { return new QuietApp; }
