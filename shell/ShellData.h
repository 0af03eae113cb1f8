#pragma once
#include <cstdint>

namespace trellis {

/// The record shared by the platform layer, the option parsers and the application.
/// Fifteen 32-bit fields in a fixed order; flags hold 0 or 1.
struct ShellData {
    int32_t frameResult = 0;          ///< result of the latest RenderFrame
    int32_t width = 640;              ///< rendering surface width in pixels
    int32_t height = 480;             ///< rendering surface height in pixels
    int32_t fullScreen = 1;           ///< 1 = full screen, 0 = a framed window
    int32_t fsaaMode = 0;             ///< 1 = two samples, 2 = four, else none
    int32_t portrait = 0;             ///< monitor height >= monitor width
    int32_t quitAfterFrame = -1;      ///< negative: no frame limit
    float quitAfterTime = -1.0f;      ///< seconds; negative: no time limit
    int32_t posX = 0;                 ///< framed window position, read only when given
    int32_t posY = 0;                 ///< framed window position, down
    int32_t defaultSize = 1;          ///< size not given: a framed window may shrink to fit
    int32_t defaultPosition = 1;      ///< position not given
    int32_t frameCount = 0;           ///< frames the loop has completed
    int32_t recovering = 0;           ///< 1 while the scene is rebuilt after a lost context
    int32_t compressedTextures = 0;   ///< the compressed texture extension is present
};

static_assert(sizeof(ShellData) == 15 * 4, "ShellData is fifteen 32-bit fields");

} // namespace trellis
