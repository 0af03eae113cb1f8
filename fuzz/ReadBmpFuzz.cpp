// libFuzzer target: any bytes as a BMP file. The reader must refuse what it
// cannot take and never write past a buffer sized from the width and height.
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "shell/TrellisApp.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const InputFile input;
    static const TrellisApp app;
    const std::string& path = input.path;
    if (!WriteInput(path, data, size)) {
        return 0;
    }
    int32_t width = 0;
    int32_t height = 0;
    if (app.TrellisReadBMP(path.c_str(), &width, &height, nullptr) != 1) {
        __builtin_trap();  // without a destination nothing can succeed
    }
    if (width < 0 || height < 0) {
        return 0;
    }
    const uint64_t bytes = uint64_t(width) * uint64_t(height) * 3;  // below 2^64 for 31-bit sides
    if (bytes <= kLargestBuffer) {
        // Exactly the size a caller derives, so that any overrun is caught.
        std::unique_ptr<uint8_t[]> pixels(new uint8_t[size_t(bytes)]);
        app.TrellisReadBMP(path.c_str(), &width, &height, pixels.get());
    }
    return 0;
}
