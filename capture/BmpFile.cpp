#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "shell/LittleEndian.h"
#include "shell/TrellisApp.h"

namespace {

// File header and the 40-byte info header; our files hold nothing else before the pixels.
constexpr uint32_t kHeaderSize = 54;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kResolution = 4096;
constexpr uint32_t kColoursUsed = 1u << 24;

enum HeaderField : size_t {
    kFileSize = 2,
    kPixelOffset = 10,
    kInfoSize = 14,
    kWidth = 18,
    kHeight = 22,
    kPlanes = 26,
    kBitsPerPixel = 28,
    kCompression = 30,
    kImageSize = 34,
    kHorizontalResolution = 38,
    kVerticalResolution = 42,
    kColourCount = 46,
};

// Bytes of packed 24-bit pixels, or nothing when the size is negative or
// more than the file's 32-bit size fields can describe.
std::optional<uint32_t> ImageBytes(int32_t width, int32_t height)
{
    if (width < 0 || height < 0) {
        return std::nullopt;
    }
    const uint64_t bytes = uint64_t(width) * uint64_t(height) * 3;
    if (bytes > UINT32_MAX - kHeaderSize) {
        return std::nullopt;
    }
    return uint32_t(bytes);
}

void BuildHeader(uint8_t* header, int32_t width, int32_t height, uint32_t imageBytes)
{
    std::memset(header, 0, kHeaderSize);
    header[0] = 'B';
    header[1] = 'M';
    WriteLittleEndian32(header + kFileSize, kHeaderSize + imageBytes);
    WriteLittleEndian32(header + kPixelOffset, kHeaderSize);
    WriteLittleEndian32(header + kInfoSize, kInfoHeaderSize);
    WriteLittleEndian32(header + kWidth, uint32_t(width));
    WriteLittleEndian32(header + kHeight, uint32_t(height));
    WriteLittleEndian16(header + kPlanes, 1);
    WriteLittleEndian16(header + kBitsPerPixel, 24);
    WriteLittleEndian32(header + kImageSize, imageBytes);
    WriteLittleEndian32(header + kHorizontalResolution, kResolution);
    WriteLittleEndian32(header + kVerticalResolution, kResolution);
    WriteLittleEndian32(header + kColourCount, kColoursUsed);
}

// Why a header cannot be read into a buffer of width x height 24-bit pixels,
// or null when it can.
const char* FindHeaderProblem(const uint8_t* header, int32_t width, int32_t height)
{
    if (ReadLittleEndian32(header + kCompression) != 0) {
        return "Can't read compressed BMP files.\n";
    }
    if (ReadLittleEndian16(header + kBitsPerPixel) != 24) {
        return "Can't read BMP files that are not 24 bits per pixel.\n";
    }
    const std::optional<uint32_t> largest = ImageBytes(width, height);
    if (!largest) {
        return "BMP width and height are not valid.\n";
    }
    if (ReadLittleEndian32(header + kImageSize) > *largest) {
        return "BMP image size is larger than its width and height allow.\n";
    }
    if (ReadLittleEndian32(header + kPixelOffset) < kHeaderSize) {
        return "BMP pixel offset points into its header.\n";
    }
    return nullptr;
}

// Reads the pixels that follow a header with the right signature.
int32_t ReadImage(const TrellisApp& app, FILE* file, const uint8_t* header, int32_t* width, int32_t* height,
                  uint8_t* pixels)
{
    const int32_t fileWidth = int32_t(ReadLittleEndian32(header + kWidth));
    const int32_t fileHeight = int32_t(ReadLittleEndian32(header + kHeight));
    if (width != nullptr) {
        *width = fileWidth;
    }
    if (height != nullptr) {
        *height = fileHeight;
    }
    const char* problem = FindHeaderProblem(header, fileWidth, fileHeight);
    if (problem != nullptr) {
        app.ShellLog("%s", problem);
        return 1;
    }
    if (pixels == nullptr) {
        return 1;
    }
    // Other tools write larger info headers: the pixels start where the file says.
    if (std::fseek(file, long(ReadLittleEndian32(header + kPixelOffset)), SEEK_SET) != 0) {
        return 1;
    }
    const uint32_t imageBytes = ReadLittleEndian32(header + kImageSize);
    return std::fread(pixels, 1, imageBytes, file) == imageBytes ? 0 : 1;
}

FILE* OpenFile(const char* name, const char* mode)
{
    return name != nullptr ? std::fopen(name, mode) : nullptr;
}

const char* PrintableName(const char* name)
{
    return name != nullptr ? name : "";
}

} // namespace

int32_t TrellisApp::TrellisWriteBMP(const char* fileName, int32_t width, int32_t height, const uint8_t* pixels) const
{
    const std::optional<uint32_t> imageBytes = ImageBytes(width, height);
    if (!imageBytes || pixels == nullptr) {
        ShellLog("Can't write a BMP file without pixels or of a negative or too large size.\n");
        return 1;
    }
    FILE* file = OpenFile(fileName, "wb");
    if (file == nullptr) {
        ShellLog("Failed to open %s for writing screen dump.\n", PrintableName(fileName));
        return 1;
    }
    uint8_t header[kHeaderSize];
    BuildHeader(header, width, height, *imageBytes);
    int32_t result = 1;
    if (std::fwrite(header, 1, kHeaderSize, file) != kHeaderSize) {
        ShellLog("Wrote wrong number of bytes to BMP file.\n");
    } else if (std::fwrite(pixels, 1, *imageBytes, file) == *imageBytes) {
        result = 0;
    }
    // Buffered data that cannot be written shows only when the file is closed.
    if (std::fclose(file) != 0) {
        result = 1;
    }
    return result;
}

int32_t TrellisApp::TrellisReadBMP(const char* fileName, int32_t* width, int32_t* height, uint8_t* pixels) const
{
    FILE* file = OpenFile(fileName, "rb");
    if (file == nullptr) {
        ShellLog("Failed to open %s for writing screen dump.\n", PrintableName(fileName));
        return 1;
    }
    uint8_t header[kHeaderSize];
    int32_t result = 1;
    if (std::fread(header, 1, kHeaderSize, file) != kHeaderSize) {
        ShellLog("BMP header could not be read.\n");
    } else if (header[0] != 'B' || header[1] != 'M') {
        ShellLog("BMP should start with the chars BM.\n");
    } else {
        result = ReadImage(*this, file, header, width, height, pixels);
    }
    std::fclose(file);
    return result;
}
