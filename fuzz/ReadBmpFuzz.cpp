// libFuzzer target: any bytes as a BMP file, read both by the framework and by
// stb_image. The reader must refuse what it cannot take, never write past a
// buffer of the size it is given (a smaller one than the file needs is
// refused), report a size only for a file that holds that many rows (or a
// compressed one), and every read it calls a success must have filled the
// whole buffer with exactly what the independent decoder sees.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

#include "capture/Capture.h"

using namespace trellis;

namespace {

// Readable sizes are kept small so that one input cannot exhaust memory.
constexpr uint64_t kLargestBuffer = 1 << 24;

// The file each input is written to, removed when the fuzzer exits.
struct InputFile {
    std::string path = "/tmp/trellis-fuzz-" + std::to_string(getpid()) + ".bmp";
    ~InputFile() { std::remove(path.c_str()); }
};

bool WriteInput(const std::string& path, const uint8_t* data, size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

uint32_t Read32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// stb_image insists that the pixels follow the info header directly, in
// padded rows; the framework takes them from the stated offset, and packed in
// a file of exactly 54 + 3 x width x height bytes. The same file with any gap
// cut out and its rows padded is what stb_image must decode to the same pixels.
std::vector<uint8_t> Normalised(const uint8_t* data, size_t size, int32_t width, int32_t height)
{
    std::vector<uint8_t> bytes(data, data + size);
    const uint32_t headers = 14 + Read32(data + 14);
    const uint32_t offset = Read32(data + 10);
    const size_t row = size_t(width) * 3;
    const size_t stride = (row + 3) & ~size_t(3);
    if (size == 54 + row * size_t(height) && stride != row) {
        bytes.resize(54);
        for (int32_t y = 0; y < height; ++y) {
            bytes.insert(bytes.end(), data + 54 + size_t(y) * row, data + 54 + size_t(y + 1) * row);
            bytes.insert(bytes.end(), stride - row, 0);
        }
    } else if (offset > headers) {
        bytes.erase(bytes.begin() + headers, bytes.begin() + offset);
        for (int i = 0; i < 4; ++i) {
            bytes[10 + i] = uint8_t(headers >> (8 * i));
        }
    }
    return bytes;
}

// Reads into a buffer filled with `poison`; true when the read succeeded.
bool ReadPoisoned(const char* path, int32_t width, int32_t height, uint8_t* pixels, uint8_t poison)
{
    std::memset(pixels, poison, size_t(width) * size_t(height) * 3);
    return TrellisReadBMP(path, &width, &height, pixels) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const InputFile input;
    const std::string& path = input.path;
    if (!WriteInput(path, data, size)) {
        return 0;
    }
    int32_t width = -1;
    int32_t height = -1;
    if (TrellisReadBMP(path.c_str(), &width, &height, nullptr) != 1) {
        __builtin_trap();  // without a destination nothing can succeed
    }
    if (width < 0 || height < 0 || (width == 0) != (height == 0) || width > kTrellisLargestImageSide ||
        height > kTrellisLargestImageSide) {
        __builtin_trap();  // a size is reported whole or not at all, never negative or too large
    }
    if (width == 0) {
        return 0;
    }
    const uint64_t bytes = uint64_t(width) * uint64_t(height) * 3;
    if (Read32(data + 30) == 0 && bytes > size) {
        __builtin_trap();  // a size the file cannot hold
    }
    if (bytes > kLargestBuffer) {
        return 0;
    }
    // One row short: refused, and nothing written past that smaller buffer.
    if (height > 1) {
        std::unique_ptr<uint8_t[]> small(new uint8_t[size_t(bytes) - size_t(width) * 3]);
        if (ReadPoisoned(path.c_str(), width, height - 1, small.get(), 0x00)) {
            __builtin_trap();
        }
    }
    // Exactly the size a caller derives, so that any overrun is caught.
    std::unique_ptr<uint8_t[]> pixels(new uint8_t[size_t(bytes)]);
    if (!ReadPoisoned(path.c_str(), width, height, pixels.get(), 0x00)) {
        return 0;
    }
    const std::vector<uint8_t> normal = Normalised(data, size, width, height);
    int w = 0, h = 0, channels = 0;
    stbi_uc* decoded = stbi_load_from_memory(normal.data(), int(normal.size()), &w, &h, &channels, 3);
    if (decoded == nullptr || w != width || h != height) {
        __builtin_trap();  // a success the independent decoder does not share
    }
    // Two different poisons: a byte the read left alone cannot match both times.
    for (const uint8_t poison : {uint8_t(0x00), uint8_t(0xFF)}) {
        if (poison != 0x00 && !ReadPoisoned(path.c_str(), width, height, pixels.get(), poison)) {
            __builtin_trap();
        }
        for (int32_t row = 0; row < height; ++row) {
            // Ours run bottom row first as B, G, R; stb_image's top row first as R, G, B.
            const uint8_t* ours = pixels.get() + size_t(row) * size_t(width) * 3;
            const uint8_t* theirs = decoded + size_t(height - 1 - row) * size_t(width) * 3;
            for (int32_t x = 0; x < width * 3; x += 3) {
                if (ours[x] != theirs[x + 2] || ours[x + 1] != theirs[x + 1] || ours[x + 2] != theirs[x]) {
                    __builtin_trap();
                }
            }
        }
    }
    stbi_image_free(decoded);
    return 0;
}
