#include <GLES/gl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "capture/Capture.h"
#include "capture/ImageFileInternal.h"

namespace trellis {

namespace {

// A broken context may report an error on every query; clearing gives up then.
constexpr int kMostStaleErrors = 64;
constexpr size_t kLongestPrefix = kTrellisDumpNameSize - sizeof("0000.bmp");
constexpr int kDumpNames = 10000;
// What a screen dump returns when nothing was written.
constexpr int32_t kDumpNotWritten = 11;

void ClearStaleErrors()
{
    for (int i = 0; i < kMostStaleErrors && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// Reads the frame as RGBA rows of exactly width * 4 bytes, whatever pack
// alignment the application left set (8 would pad odd widths past the buffer).
GLenum ReadFrame(int32_t width, int32_t height, uint8_t* rgba)
{
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    ClearStaleErrors();
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    const GLenum error = glGetError();
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
    return error;
}

// Writes under the first numbered name that does not exist yet. Trying to
// create each name is the search itself, so a file that appears meanwhile is
// never overwritten.
int32_t SaveDump(ImageFormat format, const char* prefix, char* chosenName, int32_t width, int32_t height,
                 const uint8_t* pixels)
{
    if (chosenName != nullptr) {
        chosenName[0] = '\0';
    }
    if (prefix == nullptr || std::strlen(prefix) > kLongestPrefix) {
        CaptureLog("Screen dump prefix is missing or longer than 191 characters.\n");
        return kDumpNotWritten;
    }
    const char* extension = format == ImageFormat::kBmp ? "bmp" : "png";
    char name[kTrellisDumpNameSize];
    for (int index = 0; index < kDumpNames; ++index) {
        std::snprintf(name, sizeof name, "%s%04d.%s", prefix, index, extension);
        bool taken = false;
        const int32_t result = WriteImageFile(format, name, width, height, pixels, TrellisExistingFile::kKeep, &taken);
        if (!taken) {
            if (chosenName != nullptr && result == 0) {
                std::memcpy(chosenName, name, std::strlen(name) + 1);
            }
            return result == 0 ? 0 : kDumpNotWritten;
        }
    }
    CaptureLog("Screen dump not written: %s0000.%s to 9999 all exist.\n", prefix, extension);
    return kDumpNotWritten;
}

} // namespace

int32_t TrellisCaptureFrame(int32_t width, int32_t height, uint8_t** pixels)
{
    *pixels = nullptr;
    if (width < 0 || height < 0 || width > kTrellisLargestImageSide || height > kTrellisLargestImageSide) {
        return 1;
    }
    const size_t count = size_t(width) * size_t(height);
    std::unique_ptr<uint8_t[]> rgba(new (std::nothrow) uint8_t[count * 4]());
    if (rgba == nullptr) {
        return 1;
    }
    const size_t paddedRow = (size_t(width) * 3 + 3) & ~size_t(3);
    *pixels = new (std::nothrow) uint8_t[paddedRow * size_t(height)]();
    if (*pixels == nullptr) {
        return 2;
    }
    if (ReadFrame(width, height, rgba.get()) != GL_NO_ERROR) {
        return 3;
    }
    uint8_t* bgr = *pixels;
    for (size_t i = 0; i < count; ++i) {
        bgr[3 * i] = rgba[4 * i + 2];
        bgr[3 * i + 1] = rgba[4 * i + 1];
        bgr[3 * i + 2] = rgba[4 * i];
    }
    return 0;
}

int32_t TrellisSaveScreenDump(const char* prefix, char* chosenName, int32_t width, int32_t height,
                              const uint8_t* pixels)
{
    return SaveDump(ImageFormat::kBmp, prefix, chosenName, width, height, pixels);
}

int32_t TrellisSavePngDump(const char* prefix, char* chosenName, int32_t width, int32_t height,
                           const uint8_t* pixels)
{
    return SaveDump(ImageFormat::kPng, prefix, chosenName, width, height, pixels);
}

} // namespace trellis
