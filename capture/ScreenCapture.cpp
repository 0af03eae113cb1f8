#include <GLES/gl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "shell/TrellisApp.h"

namespace {

// Larger frames than any surface can have are refused before allocating.
constexpr int32_t kLargestFrameSide = 1 << 15;
// A broken context may report an error on every query; clearing gives up then.
constexpr int kMostStaleErrors = 64;
// Dump names are "<prefix>NNNN.bmp" in a buffer of this size.
constexpr size_t kDumpNameSize = 200;
constexpr size_t kLongestPrefix = kDumpNameSize - sizeof("0000.bmp");
// What TrellisSaveScreenDump returns when the dump was not written.
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

// Picks the first free numbered name; false when all 10000 exist.
bool FindFreeDumpName(const char* prefix, char* name)
{
    for (int index = 0; index <= 9999; ++index) {
        std::snprintf(name, kDumpNameSize, "%s%04d.bmp", prefix, index);
        FILE* existing = std::fopen(name, "r");
        if (existing == nullptr) {
            return true;
        }
        std::fclose(existing);
    }
    return false;
}

} // namespace

int32_t TrellisApp::TrellisCaptureFrame(int32_t width, int32_t height, uint8_t** pixels) const
{
    *pixels = nullptr;
    if (width < 0 || height < 0 || width > kLargestFrameSide || height > kLargestFrameSide) {
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

int32_t TrellisApp::TrellisSaveScreenDump(const char* prefix, char* chosenName, const uint8_t* pixels) const
{
    if (prefix == nullptr || std::strlen(prefix) > kLongestPrefix) {
        ShellLog("Screen dump prefix is missing or longer than 191 characters.\n");
        return kDumpNotWritten;
    }
    char name[kDumpNameSize];
    if (!FindFreeDumpName(prefix, name)) {
        std::snprintf(name, sizeof name, "%s0000.bmp", prefix);
        ShellLog("Trellis *WARNING* : Overwriting %s0000.bmp\n", prefix);
    }
    if (chosenName != nullptr) {
        std::memcpy(chosenName, name, std::strlen(name) + 1);
    }
    const int32_t result = TrellisWriteBMP(name, GetWidth(), GetHeight(), pixels);
    return result == 0 ? 0 : 10 * result + 1;
}
