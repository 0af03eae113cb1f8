#include "demo/KestrelCapture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "capture/Capture.h"

using namespace trellis;

namespace {

constexpr char kFramesOption[] = "-frames=";
constexpr char kPrefixOption[] = "-prefix=";
// Pictures are numbered 0000 to 9999.
constexpr int kPictureNumbers = 10000;
// Progress appears once a run has taken this long, and is redrawn at most this often.
constexpr uint32_t kQuietMilliseconds = 1000;
constexpr uint32_t kProgressMilliseconds = 100;

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

bool Exists(const std::string& name)
{
    struct stat info;
    return lstat(name.c_str(), &info) == 0;
}

// The folder part of a prefix: up to its last '/', or "." without one.
std::string FolderOf(const std::string& prefix)
{
    const size_t slash = prefix.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : prefix.substr(0, slash);
}

bool IsFolder(const std::string& name)
{
    struct stat info;
    return stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string PictureName(const std::string& prefix, int number, const char* extension)
{
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%04d.%s", number, extension);
    return prefix + suffix;
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
        } else if (StartsWith(arg, kPrefixOption)) {
            prefix = arg + std::strlen(kPrefixOption);
            if (prefix.empty()) {
                ShellLog("kestrel-capture: -prefix= needs a file prefix, such as -prefix=out/kestrel\n");
                return 0;
            }
        }
        // Anything else the shell has named as an unknown option already.
    }
    const std::string folder = FolderOf(prefix);
    if (!IsFolder(folder)) {
        ShellLog("kestrel-capture: no folder %s for -prefix=%s\n", folder.c_str(), prefix.c_str());
        return 0;
    }
    // The run ends after the last chosen frame unless -qaf= asks otherwise.
    shellData->quitAfterFrame = frames.back();
    onTerminal = isatty(STDOUT_FILENO) == 1;
    return 1;
}

int32_t KestrelCapture::InitScene(int32_t width, int32_t height)
{
    if (width > kTrellisLargestImageSide || height > kTrellisLargestImageSide) {
        ShellLog("kestrel-capture: %d x %d is larger than BMP and PNG pictures are written (%d x %d at most)\n", width,
                 height, kTrellisLargestImageSide, kTrellisLargestImageSide);
        return 0;
    }
    // The run is timed from the first scene set-up, which a slow machine can take a while over.
    if (!started) {
        started = true;
        startTicks = GetTicks();
    }
    return KestrelDemo::InitScene(width, height);
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
    ShowProgress(frame);
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
    const int32_t captured = ::TrellisCaptureFrame(GetWidth(), GetHeight(), &pixels);
    ClearProgress();
    const int32_t saved = captured == 0 ? SavePictures(frame, pixels) : 0;
    delete[] pixels;
    if (saved == 0) {
        ShellLog("kestrel-capture: frame %d could not be saved with the prefix %s\n", frame, prefix.c_str());
    }
    return saved;
}

// Both pictures of a frame take the first number that neither has yet, so a
// picture left from an earlier run never pairs with a new one. Each file is
// created only if still absent: one that appears meanwhile is kept. A frame
// is saved as a pair or not at all.
int32_t KestrelCapture::SavePictures(int32_t frame, const uint8_t* pixels)
{
    for (int number = 0; number < kPictureNumbers; ++number) {
        const std::string bmp = PictureName(prefix, number, "bmp");
        const std::string png = PictureName(prefix, number, "png");
        if (Exists(bmp) || Exists(png)) {
            continue;
        }
        if (::TrellisWriteBMP(bmp.c_str(), GetWidth(), GetHeight(), pixels, TrellisExistingFile::kKeep) != 0) {
            return 0;
        }
        if (::TrellisWritePNG(png.c_str(), GetWidth(), GetHeight(), pixels, TrellisExistingFile::kKeep) != 0) {
            unlink(bmp.c_str());  // half a pair would leave its number taken
            return 0;
        }
        ++savedFrames;
        std::printf("frame %d: %s %s\n", frame, bmp.c_str(), png.c_str());
        std::fflush(stdout);
        return 1;
    }
    ShellLog("kestrel-capture: %s0000 to %s9999 are all taken\n", prefix.c_str(), prefix.c_str());
    return 0;
}

// "frame n of N" on one terminal line, counting the frames drawn up to the last
// chosen one; only for runs long enough to leave the user waiting.
void KestrelCapture::ShowProgress(int32_t frame)
{
    if (!onTerminal) {
        return;
    }
    const uint32_t now = GetTicks();
    if (now - startTicks < kQuietMilliseconds || (progressShown && now - lastProgressTicks < kProgressMilliseconds)) {
        return;
    }
    std::printf("\rframe %d of %d", frame + 1, frames.back() + 1);
    std::fflush(stdout);
    progressShown = true;
    lastProgressTicks = now;
}

void KestrelCapture::ClearProgress()
{
    if (progressShown) {
        std::printf("\r\033[K");
        progressShown = false;
    }
}

int32_t KestrelCapture::QuitApp()
{
    ClearProgress();
    std::fflush(stdout);
    // A run cut short (-qaf=, -qat=, a closed window) has not done what was asked.
    if (failed == 0 && savedFrames < frames.size()) {
        ShellLog("kestrel-capture: the run ended with %d of %d chosen frames saved\n", int(savedFrames),
                 int(frames.size()));
        return 0;
    }
    return failed == 0 ? 1 : 0;
}
