#pragma once
#include <cstdint>

namespace trellis {

// The display driver as the dual-display configuration reaches it: device
// contexts and their escapes, the GDI bitmap of the secondary surface, the
// virtual memory the driver mapped, and the debug output its failures are
// written to. The window system implements it; tests put a scripted driver
// behind it. Every call runs on the one thread that runs the shell.

using DeviceContext = uint32_t;  // 0: no device context
using GdiObject = uint32_t;      // 0: no object

// The window of GetDC and ReleaseDC that stands for the whole screen.
constexpr uint32_t kWholeScreen = 0;

// GDI object type of GetCurrentObject and the release flag of VirtualFree.
constexpr uint32_t OBJ_BITMAP = 7;
constexpr uint32_t MEM_RELEASE = 0x8000;

class DisplayDriver {
public:
    DisplayDriver() = default;
    DisplayDriver(const DisplayDriver&) = delete;
    DisplayDriver& operator=(const DisplayDriver&) = delete;
    virtual ~DisplayDriver() = default;

    // Device contexts and the display driver. `window` is a window of the
    // window system, or 0 (kWholeScreen) for the whole screen. ExtEscape
    // returns the driver's answer, negative for a failure and 0 when the
    // driver does not know the escape; `input` and `output` may be the same
    // buffer.
    virtual DeviceContext GetDC(uint32_t window) = 0;
    virtual void ReleaseDC(uint32_t window, DeviceContext dc) = 0;
    virtual DeviceContext CreateDC(const char16_t* driver) = 0;
    virtual void DeleteDC(DeviceContext dc) = 0;
    virtual int32_t ExtEscape(DeviceContext dc, int32_t escape, int32_t inputSize, const void* input,
                              int32_t outputSize, void* output) = 0;

    // GDI bitmaps and virtual memory, for the display-driver configuration.
    virtual DeviceContext CreateCompatibleDC(DeviceContext dc) = 0;
    virtual GdiObject CreateCompatibleBitmap(DeviceContext dc, int32_t width, int32_t height) = 0;
    virtual GdiObject GetCurrentObject(DeviceContext dc, uint32_t type) = 0;
    virtual GdiObject SelectObject(DeviceContext dc, GdiObject object) = 0;
    virtual void DeleteObject(GdiObject object) = 0;
    virtual void VirtualFree(uint32_t address, uint32_t size, uint32_t type) = 0;

    // One 16-bit diagnostic string, as it is.
    virtual void DebugOutput(const char16_t* text) = 0;
};

} // namespace trellis
