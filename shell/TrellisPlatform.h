#pragma once
#include <cstdint>

namespace trellis {

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
};

} // namespace trellis
