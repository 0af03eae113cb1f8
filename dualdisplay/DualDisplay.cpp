#include "dualdisplay/DualDisplay.h"

namespace trellis {

namespace {

constexpr uint16_t kSecondaryWidth = 320;
constexpr uint16_t kSecondaryHeight = 240;

// The configuration the application runs in, the secondary controller
// driving its own frame buffer.
constexpr DisplaySystemConfig kCustomFBConfig{1, 1, 1, 0, 6, 0, 0, 1, 2, 1, 0, 60, 0};

// The driver's default configuration; its last word is the desktop surface
// word the driver reported at set-up.
DisplaySystemConfig DefaultConfig(uint32_t surfaceWord)
{
    return DisplaySystemConfig{1, 1, 1, 0, 6, 0, 0, 2, 6, 0, 0, 0, surfaceWord};
}

} // namespace

DualDisplay::DualDisplay(DisplayDriver& displayDriver, DualDisplayPlatform& runningPlatform)
    : driver(displayDriver), platform(runningPlatform)
{
}

void DualDisplay::Log(const char16_t* text)
{
    driver.DebugOutput(text);
}

int32_t DualDisplay::DualDispSetup()
{
    displayConfig = DisplaySystemConfig{};
    surfaceInfo = SurfaceInfo{};
    const int32_t result = DualDisplaySetup();
    if (result != 0) {
        Log(u"RURIRUVAVUDI: WinMain: DualDispSetup failed.\n");
        return result;
    }
    return Config_CustomFBApplication();
}

int32_t DualDisplay::DualDisplaySetup()
{
    screenDC = driver.GetDC(kWholeScreen);
    driverDC = driver.CreateDC(u"ddi.dll");
    if (DE_GetMarathonSurfaceInfo() != 0) {
        Log(u"RURIRUVAVUDI: DualDisplaySetup: Error could not get default settings\n");
        return 1;
    }
    savedSurfaceWord = surfaceInfo.ui32Word7;
    return 0;
}

int32_t DualDisplay::DE_GetMarathonSurfaceInfo()
{
    surfaceInfo.ui32Selector = 0;
    if (driver.ExtEscape(screenDC, DRVESC_GET_SURFACEINFO, sizeof surfaceInfo, &surfaceInfo, sizeof surfaceInfo,
                         &surfaceInfo) < 0) {
        // Whatever a failed call left in the record is no surface of ours:
        // the restore must not release an address taken from it.
        surfaceInfo = SurfaceInfo{};
        Log(u"RURIRUVAVUDI: DE_GetMarathonSurfaceInfo: DRVESC_GET_SURFACEINFO error.\n");
        return 1;
    }
    if (surfaceInfo.ui32PhysAddress == 0) {
        Log(u"RURIRUVAVUDI: DE_GetMarathonSurfaceInfo: DRVESC_GET_SURFACEINFO failed to return ui32PhysAddress.\n");
        return 1;
    }
    return 0;
}

int32_t DualDisplay::Config_CustomFBApplication()
{
    displayConfig = kCustomFBConfig;
    if (DE_CreateSecondarySurfBitmap() != 0) {
        Log(u"RURIRUVAVUDI: Config_CustomFBApplication: Call to DE_CreateSecondarySurfBitmap failed.\n");
        return 1;
    }
    const int32_t configured = DE_ConfigureDisplaySystem();
    if (configured != 0) {
        Log(u"RURIRUVAVUDI: Config_CustomFBApplication: Call to DE_ConfigureDisplaySystem failed.\n");
    }
    return configured;
}

int32_t DualDisplay::DE_CreateSecondarySurfBitmap()
{
    SecondarySurfaceSize size{kSecondaryWidth, kSecondaryHeight};
    if (driver.ExtEscape(screenDC, kEscapeCreateSecondarySurface, sizeof size, &size, 0, nullptr) < 0) {
        Log(u"RURIRUVAVUDI: DE_CreateSecondarySurfBitmap: DRVESC_CONFIG_DISPLAYSYSTEM error.\n");
        return 1;
    }
    memoryDC = driver.CreateCompatibleDC(screenDC);
    secondaryBitmap = driver.CreateCompatibleBitmap(screenDC, kSecondaryWidth, kSecondaryHeight);
    previousBitmap = driver.GetCurrentObject(memoryDC, OBJ_BITMAP);
    driver.SelectObject(memoryDC, secondaryBitmap);
    bitmapMade = 1;
    return 0;
}

int32_t DualDisplay::DE_ConfigureDisplaySystem()
{
    if (driver.ExtEscape(screenDC, DRVESC_CONFIG_DISPLAYSYSTEM, sizeof displayConfig, &displayConfig, 0, nullptr) <
        0) {
        Log(u"RURIRUVAVUDI: DE_ConfigureDisplaySystem: Drvesc failure: DRVESC_CONFIG_DISPLAYSYSTEM.\n");
        return 1;
    }
    return 0;
}

int32_t DualDisplay::RestoreDefaultDisplayMode()
{
    Log(u"RURIRUVAVUDI: RestoreDefaultDisplayMode: Restoring dual display default configuration.\n");
    platform.RedrawDesktop();
    const int32_t result = Config_DefaultDisplay();
    ReleaseSurfaceAddress();
    platform.DestroyWindows();
    ReleaseGdiObjects();
    if (result != 0) {
        Log(u"RURIRUVAVUDI: RestoreDefaultDisplayMode: Error.\n");
    }
    return result;
}

int32_t DualDisplay::Config_DefaultDisplay()
{
    displayConfig = DefaultConfig(savedSurfaceWord);
    const int32_t result = DE_ConfigureDisplaySystem();
    if (result != 0) {
        Log(u"RURIRUVAVUDI: Config_DefaultDisplay: returning error value.\n");
    }
    return result;
}

void DualDisplay::ReleaseSurfaceAddress()
{
    if (surfaceInfo.ui32PhysAddress == 0) {
        return;
    }
    Log(u"RURIRUVAVUDI: RestoreDefaultDisplayMode: Deallocating virtual memory for Desktop surface.\n");
    driver.VirtualFree(surfaceInfo.ui32PhysAddress, 0, MEM_RELEASE);
    surfaceInfo.ui32PhysAddress = 0;
}

// The secondary bitmap is deselected before it is deleted, so the memory DC
// goes with the bitmap it was created with.
void DualDisplay::ReleaseGdiObjects()
{
    if (bitmapMade != 0) {
        driver.SelectObject(memoryDC, previousBitmap);
        driver.DeleteObject(secondaryBitmap);
        driver.DeleteDC(memoryDC);
        memoryDC = 0;
        secondaryBitmap = 0;
        previousBitmap = 0;
        bitmapMade = 0;
    }
    if (screenDC != 0) {
        driver.ReleaseDC(kWholeScreen, screenDC);
        screenDC = 0;
    }
    if (driverDC != 0) {
        driver.DeleteDC(driverDC);
        driverDC = 0;
    }
}

} // namespace trellis
