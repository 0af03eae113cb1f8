#pragma once
#include <cstdint>

#include "dualdisplay/DisplayDriver.h"

namespace trellis {

// The display driver reads these records as raw bytes: 32-bit words (16-bit
// where named so), little-endian, no padding.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the driver records are little-endian");

// Display-driver escapes of the secondary display controller.
constexpr int32_t DRVESC_CONFIG_DISPLAYSYSTEM = 101000;      // DisplaySystemConfig in, nothing out
constexpr int32_t kEscapeCreateSecondarySurface = 101001;     // SecondarySurfaceSize in, nothing out
constexpr int32_t DRVESC_GET_SURFACEINFO = 101002;           // SurfaceInfo in and out

// Size of the surface the secondary controller shows.
struct SecondarySurfaceSize {
    uint16_t ui16Width;
    uint16_t ui16Height;
};
static_assert(sizeof(SecondarySurfaceSize) == 4, "SecondarySurfaceSize is 4 bytes");

// The desktop surface as the driver describes it.
struct SurfaceInfo {
    uint32_t ui32Selector;     // 0: the desktop surface
    uint32_t ui32PhysAddress;  // where the driver mapped it; released at restore
    uint32_t ui32Word2;
    uint32_t ui32Word3;
    uint32_t ui32Word4;
    uint32_t ui32Word5;
    uint32_t ui32Word6;
    uint32_t ui32Word7;        // handed back in the default configuration
};
static_assert(sizeof(SurfaceInfo) == 32, "SurfaceInfo is 32 bytes");

// Asks for, switches on and switches off the secondary display.
struct DualDispControl {
    uint32_t ui32Word0;
    uint32_t ui32Word1;
    uint32_t ui32Word2;
};
static_assert(sizeof(DualDispControl) == 12, "DualDispControl is 12 bytes");

// One whole display-system configuration.
struct DisplaySystemConfig {
    uint32_t ui32Word0;
    uint32_t ui32Word1;
    uint32_t ui32Word2;
    uint32_t ui32Word3;
    uint32_t ui32Word4;
    uint32_t ui32Word5;
    uint32_t ui32Word6;
    uint32_t ui32Word7;
    uint32_t ui32Word8;
    uint32_t ui32Word9;
    uint32_t ui32Word10;
    uint32_t ui32Word11;
    uint32_t ui32Word12;
};
static_assert(sizeof(DisplaySystemConfig) == 52, "DisplaySystemConfig is 52 bytes");

// What the configuration needs of the platform that runs it, at restore: the
// desktop repainted on the primary display (through the application's main
// window, or through a window of the platform's own when there is none) before
// the driver takes the secondary controller's frame buffer away, and later the
// application's windows destroyed.
class DualDisplayPlatform {
public:
    virtual void RedrawDesktop() = 0;
    virtual void DestroyWindows() = 0;

protected:
    ~DualDisplayPlatform() = default;
};

// Switches the display system into the custom frame-buffer configuration for
// a quarter-size full-screen run, and back to the default at exit. The driver
// is reached through display escapes on the screen device context; every
// failure is written to the driver's debug output and returned as a non-zero
// result. Both references stay bound for the configuration's whole life.
class DualDisplay {
public:
    DualDisplay(DisplayDriver& driver, DualDisplayPlatform& platform);

    DualDisplay(const DualDisplay&) = delete;
    DualDisplay& operator=(const DualDisplay&) = delete;

    // Reads the desktop surface and sends the custom configuration. 0 = success.
    int32_t DualDispSetup();
    // Sends the default configuration and releases the surface address, the
    // windows and every GDI object the set-up made. 0 = success, 1 = failure.
    int32_t RestoreDefaultDisplayMode();

private:
    int32_t DualDisplaySetup();
    int32_t DE_GetMarathonSurfaceInfo();
    int32_t Config_CustomFBApplication();
    int32_t DE_CreateSecondarySurfBitmap();
    int32_t DE_ConfigureDisplaySystem();
    int32_t Config_DefaultDisplay();
    void ReleaseSurfaceAddress();
    void ReleaseGdiObjects();
    void Log(const char16_t* text);

    DisplayDriver& driver;
    DualDisplayPlatform& platform;

    DeviceContext screenDC = 0;
    DeviceContext driverDC = 0;
    DeviceContext memoryDC = 0;
    GdiObject secondaryBitmap = 0;
    GdiObject previousBitmap = 0;
    int32_t bitmapMade = 0;
    uint32_t savedSurfaceWord = 0;
    DisplaySystemConfig displayConfig{};
    SurfaceInfo surfaceInfo{};
};

} // namespace trellis
