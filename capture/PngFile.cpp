#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "capture/Capture.h"
#include "capture/ImageFileInternal.h"

// The encoder is compiled in privately (static functions), so an application
// that brings its own copy links without clashes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

namespace trellis {

#pragma GCC diagnostic pop

namespace {

void AppendEncoded(void* context, void* data, int size)
{
    static_cast<NewFile*>(context)->Append(static_cast<const uint8_t*>(data), size_t(size));
}

} // namespace

bool EncodePng(NewFile& file, int32_t width, int32_t height, const uint8_t* pixels)
{
    // PNG rows run top to bottom in red, green, blue.
    const size_t rowBytes = size_t(width) * 3;
    std::unique_ptr<uint8_t[]> rgb(new (std::nothrow) uint8_t[rowBytes * size_t(height)]);
    if (rgb == nullptr) {
        file.Fail(ENOMEM);
        return false;
    }
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* from = pixels + size_t(height - 1 - y) * rowBytes;
        uint8_t* to = rgb.get() + size_t(y) * rowBytes;
        for (size_t i = 0; i < rowBytes; i += 3) {
            to[i] = from[i + 2];
            to[i + 1] = from[i + 1];
            to[i + 2] = from[i];
        }
    }
    if (stbi_write_png_to_func(AppendEncoded, &file, width, height, 3, rgb.get(), int(rowBytes)) == 0) {
        file.Fail(ENOMEM);  // the encoder's only failure
        return false;
    }
    return true;
}

int32_t TrellisWritePNG(const char* fileName, int32_t width, int32_t height, const uint8_t* pixels,
                        TrellisExistingFile existing)
{
    return WriteImageFile(ImageFormat::kPng, fileName, width, height, pixels, existing, nullptr);
}

} // namespace trellis
