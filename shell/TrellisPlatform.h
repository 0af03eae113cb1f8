#pragma once
#include <cstdint>

namespace trellis {

class TrellisApp;
struct TrellisEvent;

// What the entry needs of a platform: a window with a current rendering
// context, presentation with message pumping, release, and the frame loop.
class TrellisPlatform {
public:
    TrellisPlatform() = default;
    TrellisPlatform(const TrellisPlatform&) = delete;
    TrellisPlatform& operator=(const TrellisPlatform&) = delete;
    virtual ~TrellisPlatform() = default;

    // Non-zero: window and rendering context ready and current.
    virtual int32_t InitPlatform() = 0;
    // Presents the frame, recovers a lost context, pumps window messages.
    virtual void EndFrame() = 0;
    // Destroys the rendering context and the windows, restores the display.
    virtual void ReleasePlatform() = 0;
    // Runs frames until the application or a limit stops them; the final RenderFrame result.
    virtual int32_t MainLoop() = 0;
    // Non-zero once the frame loop ended because rendering could not go on
    // (a lost context that could not be rebuilt, presentation that keeps
    // failing): the program then ends as a failure after the usual release.
    virtual int32_t HasFailed() const { return 0; }

    // The application's window controls (TrellisApp::SetSwapInterval,
    // SetFullScreen and ShowCursor), with their results; the application
    // reaches them while the platform is attached to it.
    virtual int32_t SetSwapInterval(int32_t interval) = 0;
    virtual int32_t SetFullScreen(bool on) = 0;
    virtual int32_t ShowCursor(bool show) = 0;

protected:
    // Attaches a platform to the application once its window exists, and
    // detaches it (null) before the window goes.
    static void AttachToApp(TrellisApp& app, TrellisPlatform* platform);
    // Keeps the application's held keys; called before HandleEvent.
    static void TrackAppKeys(TrellisApp& app, const TrellisEvent& event);
};

} // namespace trellis
