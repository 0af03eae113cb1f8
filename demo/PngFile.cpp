#include "demo/PngFile.h"

#include <zlib.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int32_t kLargestSide = 16384;

bool UsableSize(int32_t width, int32_t height)
{
    return width > 0 && height > 0 && width <= kLargestSide && height <= kLargestSide;
}

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

// PNG scanlines: each row of the picture behind a filter byte (none).
std::vector<uint8_t> Scanlines(int32_t width, int32_t height, const uint8_t* rgb)
{
    const size_t rowBytes = size_t(width) * 3;
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = rgb + size_t(y) * rowBytes;
        raw.push_back(0);
        raw.insert(raw.end(), row, row + rowBytes);
    }
    return raw;
}

} // namespace

int32_t WritePngFile(const char* path, int32_t width, int32_t height, const uint8_t* rgb)
{
    if (rgb == nullptr || !UsableSize(width, height)) {
        return 1;
    }
    const std::vector<uint8_t> raw = Scanlines(width, height, rgb);
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

int32_t WritePngFromCapture(const char* path, int32_t width, int32_t height, const uint8_t* bgr)
{
    if (bgr == nullptr || !UsableSize(width, height)) {
        return 1;
    }
    // The capture's rows are packed (no 4-byte row padding), bottom row first.
    const size_t rowBytes = size_t(width) * 3;
    std::vector<uint8_t> rgb(rowBytes * size_t(height));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* from = bgr + size_t(height - 1 - y) * rowBytes;
        uint8_t* to = rgb.data() + size_t(y) * rowBytes;
        for (size_t i = 0; i < rowBytes; i += 3) {
            to[i] = from[i + 2];
            to[i + 1] = from[i + 1];
            to[i + 2] = from[i];
        }
    }
    return WritePngFile(path, width, height, rgb.data());
}
