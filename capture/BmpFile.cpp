#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "capture/Capture.h"
#include "capture/ImageFileInternal.h"
#include "shell/LittleEndian.h"

namespace trellis {

namespace {

// File header and the 40-byte info header; our files hold nothing else before the pixels.
constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kHeaderSize = 54;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kResolution = 4096;

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
};

// Every row of a BMP file is padded to a multiple of 4 bytes.
uint64_t RowStride(uint32_t width)
{
    return (uint64_t(width) * 3 + 3) & ~uint64_t(3);
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
    // Colours used stays 0: any other count declares a colour table that a
    // 24-bit file does not have, and readers that honour it refuse the file.
}

// Where the rows of a readable file are and how they run.
struct Layout {
    int32_t width = 0;
    int32_t height = 0;  // rows, positive
    bool topDown = false;
    uint32_t pixelOffset = 0;
    uint64_t stride = 0;
};

bool KnownInfoHeaderSize(uint32_t size)
{
    // Windows' own three and the 56-byte one with colour masks; all begin with
    // the 40 bytes read here.
    return size == 40 || size == 56 || size == 108 || size == 124;
}

// Colour masks describe 16- and 32-bit pixels; such a file is refused for its
// depth, not called compressed.
bool IsCompressed(uint32_t compression, unsigned bits)
{
    constexpr uint32_t kBitFields = 3;
    constexpr uint32_t kAlphaBitFields = 6;
    return compression != 0 && !((compression == kBitFields || compression == kAlphaBitFields) && bits != 24);
}

// Fills `layout` from a header of `got` bytes (at most 54) of a file of
// `fileSize` bytes; else writes why not into `problem`. `sizeKnown` tells
// whether the width and height in `layout` stand even so (a compressed file).
bool ReadLayout(const uint8_t* header, size_t got, uint64_t fileSize, Layout* layout, bool* sizeKnown,
                char* problem, size_t room)
{
    if (got < kHeaderSize) {
        std::snprintf(problem, room, "BMP header could not be read.\n");
        return false;
    }
    if (header[0] != 'B' || header[1] != 'M') {
        std::snprintf(problem, room, "BMP should start with the chars BM.\n");
        return false;
    }
    const uint32_t infoSize = ReadLittleEndian32(header + kInfoSize);
    if (!KnownInfoHeaderSize(infoSize)) {
        std::snprintf(problem, room, "Can't read BMP files with a %u-byte info header; 40, 56, 108 or 124 bytes are read.\n",
                      unsigned(infoSize));
        return false;
    }
    const int32_t width = int32_t(ReadLittleEndian32(header + kWidth));
    const int32_t height = int32_t(ReadLittleEndian32(header + kHeight));
    if (width <= 0 || height == 0 || height == INT32_MIN) {
        std::snprintf(problem, room, "BMP width and height are not valid.\n");
        return false;
    }
    layout->width = width;
    layout->height = height < 0 ? -height : height;
    layout->topDown = height < 0;
    if (layout->width > kTrellisLargestImageSide || layout->height > kTrellisLargestImageSide) {
        std::snprintf(problem, room, "Can't read BMP files of %d x %d; %d x %d is the largest read.\n", layout->width,
                      layout->height, kTrellisLargestImageSide, kTrellisLargestImageSide);
        return false;
    }
    const unsigned bits = ReadLittleEndian16(header + kBitsPerPixel);
    if (IsCompressed(ReadLittleEndian32(header + kCompression), bits)) {
        *sizeKnown = true;
        std::snprintf(problem, room, "Can't read compressed BMP files.\n");
        return false;
    }
    const unsigned planes = ReadLittleEndian16(header + kPlanes);
    if (planes != 1) {
        std::snprintf(problem, room, "BMP planes field is %u where it must be 1.\n", planes);
        return false;
    }
    if (bits != 24) {
        std::snprintf(problem, room, "Can't read BMP files with %u bits per pixel; only 24 are read.\n", bits);
        return false;
    }
    layout->pixelOffset = ReadLittleEndian32(header + kPixelOffset);
    if (layout->pixelOffset < kFileHeaderSize + infoSize) {
        std::snprintf(problem, room, "BMP pixel offset points into its header.\n");
        return false;
    }
    // The image-size field is not trusted (0 is legal, and writers differ):
    // the rows are what width, height and padding make them. Our earlier
    // writer stored them unpadded, in a file of exactly that many bytes.
    const uint64_t packed = uint64_t(layout->width) * 3;
    layout->stride = RowStride(uint32_t(layout->width));
    if (layout->pixelOffset + layout->stride * uint64_t(layout->height) > fileSize) {
        if (layout->pixelOffset != kHeaderSize || kHeaderSize + packed * uint64_t(layout->height) != fileSize) {
            std::snprintf(problem, room, "BMP file ends before its %d rows of %llu bytes.\n", layout->height,
                          static_cast<unsigned long long>(layout->stride));
            return false;
        }
        layout->stride = packed;
    }
    *sizeKnown = true;
    return true;
}

// Reads the rows into the caller's packed buffer, bottom row first.
bool ReadRows(FILE* file, const Layout& layout, uint8_t* pixels)
{
    if (std::fseek(file, long(layout.pixelOffset), SEEK_SET) != 0) {
        return false;
    }
    const size_t rowBytes = size_t(layout.width) * 3;
    const size_t padding = size_t(layout.stride) - rowBytes;
    uint8_t pad[3];
    for (int32_t row = 0; row < layout.height; ++row) {
        const int32_t target = layout.topDown ? layout.height - 1 - row : row;
        if (std::fread(pixels + size_t(target) * rowBytes, 1, rowBytes, file) != rowBytes ||
            std::fread(pad, 1, padding, file) != padding) {
            return false;
        }
    }
    return true;
}

// Opens a file to read; a directory, which opens, is refused with its reason.
FILE* OpenToRead(const char* name, int* reason)
{
    if (name == nullptr) {
        *reason = ENOENT;
        return nullptr;
    }
    // Not blocking: a FIFO at the name then reads as empty instead of waiting for a writer.
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = errno;
        return nullptr;
    }
    struct stat status {};
    FILE* file = nullptr;
    if (fstat(fd, &status) != 0) {
        *reason = errno;
    } else if (S_ISDIR(status.st_mode)) {
        *reason = EISDIR;
    } else if ((file = fdopen(fd, "rb")) == nullptr) {
        *reason = errno;
    }
    if (file == nullptr) {
        close(fd);
    }
    return file;
}

void SetSize(int32_t* width, int32_t* height, int32_t w, int32_t h)
{
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
}

} // namespace

bool EncodeBmp(NewFile& file, int32_t width, int32_t height, const uint8_t* pixels)
{
    const size_t rowBytes = size_t(width) * 3;
    const size_t stride = size_t(RowStride(uint32_t(width)));
    uint8_t header[kHeaderSize];
    BuildHeader(header, width, height, uint32_t(stride * size_t(height)));
    const uint8_t zeros[3] = {};
    bool written = file.Append(header, kHeaderSize);
    for (int32_t row = 0; written && row < height; ++row) {
        written = file.Append(pixels + size_t(row) * rowBytes, rowBytes) && file.Append(zeros, stride - rowBytes);
    }
    return written;
}

int32_t TrellisWriteBMP(const char* fileName, int32_t width, int32_t height, const uint8_t* pixels,
                        TrellisExistingFile existing)
{
    return WriteImageFile(ImageFormat::kBmp, fileName, width, height, pixels, existing, nullptr);
}

int32_t TrellisReadBMP(const char* fileName, int32_t* width, int32_t* height, uint8_t* pixels)
{
    // With a destination, the size given is what it holds: nothing larger is read into it.
    const int32_t roomWidth = pixels != nullptr && width != nullptr ? *width : 0;
    const int32_t roomHeight = pixels != nullptr && height != nullptr ? *height : 0;
    SetSize(width, height, 0, 0);
    if (pixels != nullptr && (roomWidth <= 0 || roomHeight <= 0)) {
        CaptureLog("Can't read a BMP file into pixels of %d x %d; give the size they hold.\n", roomWidth, roomHeight);
        return 1;
    }
    const char* shown = fileName != nullptr ? fileName : "";
    int reason = 0;
    FILE* file = OpenToRead(fileName, &reason);
    if (file == nullptr) {
        CaptureLog("Failed to open %s for writing screen dump.\n", shown);
        CaptureLog("%s: %s\n", shown, std::strerror(reason));
        return 1;
    }
    uint8_t header[kHeaderSize];
    const size_t got = std::fread(header, 1, kHeaderSize, file);
    struct stat status {};
    const uint64_t fileSize = fstat(fileno(file), &status) == 0 && status.st_size > 0 ? uint64_t(status.st_size) : 0;
    Layout layout;
    bool sizeKnown = false;
    char problem[160];
    int32_t result = 1;
    const bool readable = ReadLayout(header, got, fileSize, &layout, &sizeKnown, problem, sizeof problem);
    if (sizeKnown) {
        SetSize(width, height, layout.width, layout.height);
    }
    if (!readable) {
        CaptureLog("%s", problem);
    } else if (pixels != nullptr && (layout.width > roomWidth || layout.height > roomHeight)) {
        CaptureLog("BMP file is %d x %d, larger than the %d x %d given for its pixels.\n", layout.width, layout.height,
                   roomWidth, roomHeight);
    } else if (pixels != nullptr) {
        if (ReadRows(file, layout, pixels)) {
            result = 0;
        } else {
            CaptureLog("BMP file ends before its %d rows of %llu bytes.\n", layout.height,
                       static_cast<unsigned long long>(layout.stride));
        }
    }
    std::fclose(file);
    return result;
}

} // namespace trellis
