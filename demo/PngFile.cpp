#include "demo/PngFile.h"

#include <zlib.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int32_t kLargestSide = 16384;

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
    PutBigEndian(out, static_cast<uint32_t>(crc));
}

// PNG scanlines: top row first, a filter byte (none) and RGB per pixel.
std::vector<uint8_t> Scanlines(int32_t width, int32_t height, const uint8_t* pixels)
{
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    std::vector<uint8_t> raw;
    raw.reserve((size_t(width) * 3 + 1) * size_t(height));
    for (int32_t row = height - 1; row >= 0; --row) {
        const uint8_t* bgr = pixels + size_t(row) * stride;
        raw.push_back(0);
        for (int32_t x = 0; x < width; ++x) {
            raw.insert(raw.end(), {bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]});
        }
    }
    return raw;
}

} // namespace

int32_t WritePngFromCapture(const char* path, int32_t width, int32_t height, const uint8_t* pixels)
{
    if (pixels == nullptr || width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide) {
        return 1;
    }
    const std::vector<uint8_t> raw = Scanlines(width, height, pixels);
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK) {
        return 2;
    }
    packed.resize(packedSize);

    std::vector<uint8_t> header;
    PutBigEndian(header, static_cast<uint32_t>(width));
    PutBigEndian(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no interlace
    std::vector<uint8_t> file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", packed);
    PutChunk(file, "IEND", {});

    FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        return 3;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written ? 0 : 3;
}
