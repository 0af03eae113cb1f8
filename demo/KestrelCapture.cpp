#include "demo/KestrelCapture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/PngFile.h"

namespace {

constexpr char kFramesOption[] = "-frames=";
constexpr char kPrefixOption[] = "-prefix=";

bool StartsWith(const char* text, const char* start)
{
    return std::strncmp(text, start, std::strlen(start)) == 0;
}

// One frame number: decimal digits only, within 0 to INT32_MAX.
bool ParseFrame(const char* text, const char** end, int32_t* frame)
{
    char* stop = nullptr;
    if (*text < '0' || *text > '9') {
        return false;
    }
    const unsigned long long value = std::strtoull(text, &stop, 10);
    if (value > INT32_MAX) {
        return false;
    }
    *frame = static_cast<int32_t>(value);
    *end = stop;
    return true;
}

} // namespace

const TrellisAppOption* KestrelCapture::GetAppOptions() const
{
    static constexpr TrellisAppOption kOptions[] = {
        {kFramesOption, "LIST", "frame numbers to save, separated by commas, counting from 0 (default 0)"},
        {kPrefixOption, "PATH", "file prefix, folders included (default \"kestrel\")"},
        {nullptr, nullptr, nullptr},
    };
    return kOptions;
}

int32_t KestrelCapture::InitApp(int32_t argCount, char** args, int32_t, int32_t)
{
    for (int32_t i = 0; i < argCount; ++i) {
        const char* arg = args[i];
        if (StartsWith(arg, kFramesOption)) {
            if (ParseFrames(arg + std::strlen(kFramesOption)) == 0) {
                ShellLog("kestrel-capture: -frames= takes frame numbers separated by commas\n");
                return 0;
            }
        } else if (StartsWith(arg, kPrefixOption) && arg[std::strlen(kPrefixOption)] != '\0') {
            prefix = arg + std::strlen(kPrefixOption);
        } else {
            ShellLog("kestrel-capture: unknown option %s (use -frames=LIST and -prefix=PATH)\n", arg);
            return 0;
        }
    }
    // The run ends after the last chosen frame unless -qaf= asks otherwise.
    shellData->quitAfterFrame = frames.back();
    return 1;
}

int32_t KestrelCapture::ParseFrames(const char* list)
{
    std::vector<int32_t> parsed;
    const char* at = list;
    for (;;) {
        int32_t frame = 0;
        if (!ParseFrame(at, &at, &frame) || parsed.size() == kMostFrames) {
            return 0;
        }
        parsed.push_back(frame);
        if (*at == '\0') {
            break;
        }
        if (*at++ != ',') {
            return 0;
        }
    }
    std::sort(parsed.begin(), parsed.end());
    parsed.erase(std::unique(parsed.begin(), parsed.end()), parsed.end());
    frames = parsed;
    return 1;
}

int32_t KestrelCapture::IsChosen(int32_t frame) const
{
    return std::binary_search(frames.begin(), frames.end(), frame) ? 1 : 0;
}

int32_t KestrelCapture::RenderFrame()
{
    const int32_t frame = frameCounter;
    const int32_t result = KestrelDemo::RenderFrame();
    // A frame the demo could not draw (no combiner after a lost context) is not saved.
    if (frameCounter != frame && IsChosen(frame) && SaveFrame(frame) == 0) {
        failed = 1;
        shellData->quitAfterFrame = shellData->frameCount;
    }
    return result;
}

int32_t KestrelCapture::SaveFrame(int32_t frame)
{
    uint8_t* pixels = nullptr;
    const int32_t captured = TrellisCaptureFrame(GetWidth(), GetHeight(), &pixels);
    char bmpName[256] = "";
    if (captured != 0 || TrellisSaveScreenDump(prefix.c_str(), bmpName, pixels) != 0) {
        ShellLog("kestrel-capture: frame %d could not be saved with the prefix %s\n", frame, prefix.c_str());
        delete[] pixels;
        return 0;
    }
    std::string pngName = bmpName;
    pngName.replace(pngName.size() - 4, 4, ".png");
    const int32_t png = WritePngFromCapture(pngName.c_str(), GetWidth(), GetHeight(), pixels);
    delete[] pixels;
    if (png != 0) {
        ShellLog("kestrel-capture: cannot write %s\n", pngName.c_str());
        return 0;
    }
    std::printf("frame %d: %s %s\n", frame, bmpName, pngName.c_str());
    std::fflush(stdout);
    return 1;
}

int32_t KestrelCapture::QuitApp()
{
    return failed == 0 ? 1 : 0;
}
