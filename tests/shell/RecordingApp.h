#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/ShellData.h"
#include "shell/TrellisApp.h"
#include "shell/TrellisEvent.h"

using namespace trellis;

// The application the shell tests run through TrellisMain: CreateApplication
// (defined with it) makes one as the current script says, and every lifecycle
// call lands in the shared record, which outlives the application object.
struct AppScript {
    bool defaultInitApp = false;  // leave InitApp to the base class (it fails)
    int32_t initSceneResult = 1;
    int32_t recoveryInitSceneResult = 1;  // InitScene's result while recovering a lost context
    int32_t quitAppResult = 1;
    int stopAtFrame = -1;  // RenderFrame returns 1 on this call (0 = the first)
    std::function<void(int frame)> onFrame;  // inside RenderFrame, after the frame is drawn
    std::function<void()> onReleaseScene;
    std::function<void()> onQuitApp;
    std::function<void(ShellData& data)> onInitApp;  // may change ShellData before the second parse
    const char* title = nullptr;  // the window title the application sets (in InitApp or a later frame)
    std::function<void(const TrellisEvent& event)> onEvent;
    // Inside RenderFrame after onFrame, with the application, for its window controls.
    std::function<void(TrellisApp& app, int frame)> onAppFrame;
};

struct AppRecord {
    // "InitApp 640 480 args=a,b", "InitScene 800 600 recovering=0 compressed=0",
    // "RenderFrame 3", "ReleaseScene recovering=1", "QuitApp", "deleted".
    std::vector<std::string> events;
    // Colour of pixel (0, 0) read back after each frame was cleared, and the one it was cleared to.
    std::vector<uint32_t> pixels;
    std::vector<uint32_t> expectedPixels;
    int renderCalls = 0;
    // Every input event, and the frame count (render calls) when it came.
    std::vector<TrellisEvent> inputs;
    std::vector<int> inputFrames;
    std::vector<int> keysHeld;  // how many keys IsKeyDown reported held as each input came
};

AppScript& Script();
AppRecord& Record();
// A fresh script and record.
void ResetApp();
// Number of events equal to `event`, or beginning with it followed by a space.
int CountEvents(const std::string& event);
// The inputs the application received of one kind.
std::vector<TrellisEvent> InputsOf(TrellisEventKind kind);
// How many of them there were (of `key`, where one is named), a held key's repeats left out.
int CountInputs(TrellisEventKind kind, TrellisKey key = TrellisKey::Unknown);
// The colour frame `frame` is cleared to: components 0 or 255 only, exact at any colour depth.
uint32_t FrameColour(int frame);
// TrellisMain in a window on the X server `display`; -1, and a test failure,
// when that server cannot be opened.
int RunOnX11(const char* display, const char16_t* commandLine);
