#include <GLES/gl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "shell/LittleEndian.h"
#include "shell/TextureHeader.h"
#include "shell/TrellisApp.h"

namespace trellis {

namespace {

const char kUnsupportedMessage[] = "TrellisLoadPartialTextureFromHeader() called for unsupported texture format\n";
const char kNoMemoryMessage[] = "TrellisLoadPartialTextureFromHeader() could not allocate enough memory\n";
const char kFailedMessage[] = "TrellisLoadPartialTextureFromHeader() failed\n";
const char kSkipMessage[] = "TrellisLoadPartialTextureFromHeader() called with a skip outside the mip-map chain\n";

// No GL ES implementation takes a larger texture, and the limits keep every
// level size far from overflow even for a corrupt header.
constexpr uint32_t kLargestDimension = 1u << 16;
constexpr uint32_t kLongestMipChain = 31;

// Compressed levels are stored at least this high, whatever their width.
constexpr uint32_t kCompressedMinHeight = 8;

// Converts `count` texels of a level into the layout GL takes.
using Converter = void (*)(const uint8_t* source, uint8_t* target, size_t count);

// The 16-bit layouts with alpha at the top become GL's with alpha at the bottom.
template <unsigned Bits>
void RotateLeft16(const uint8_t* source, uint8_t* target, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const uint16_t texel = ReadLittleEndian16(source + 2 * i);
        const uint16_t rotated = uint16_t(texel << Bits | texel >> (16 - Bits));
        std::memcpy(target + 2 * i, &rotated, 2);  // GL reads shorts in host order
    }
}

// 0xAARRGGBB words (bytes B, G, R, A) become bytes R, G, B, A.
void SwapRedAndBlue(const uint8_t* source, uint8_t* target, size_t count)
{
    for (size_t i = 0; i < 4 * count; i += 4) {
        target[i] = source[i + 2];
        target[i + 1] = source[i + 1];
        target[i + 2] = source[i];
        target[i + 3] = source[i + 3];
    }
}

struct PixelFormat {
    uint32_t code;
    uint32_t bitsPerTexel;
    GLenum format;  // uncompressed codes: GL format and type
    GLenum type;
    Converter convert;  // null: levels upload straight from the block
    GLenum compressedFormat;  // compressed codes: internal format without alpha, and with it
    GLenum compressedAlphaFormat;
    uint32_t compressedMinWidth;

    bool IsCompressed() const { return compressedFormat != 0; }
};

const PixelFormat kPixelFormats[] = {
    {0, 16, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, RotateLeft16<4>, 0, 0, 0},
    {1, 16, GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1, RotateLeft16<1>, 0, 0, 0},
    {2, 16, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, nullptr, 0, 0, 0},
    {4, 24, GL_RGB, GL_UNSIGNED_BYTE, nullptr, 0, 0, 0},
    {5, 32, GL_RGBA, GL_UNSIGNED_BYTE, SwapRedAndBlue, 0, 0, 0},
    {7, 8, GL_LUMINANCE, GL_UNSIGNED_BYTE, nullptr, 0, 0, 0},
    {8, 16, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, nullptr, 0, 0, 0},
    {12, 2, 0, 0, nullptr, 0x8C01, 0x8C03, 16},
    {13, 4, 0, 0, nullptr, 0x8C00, 0x8C02, 8},
    {16, 16, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, nullptr, 0, 0, 0},
    {17, 16, GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1, nullptr, 0, 0, 0},
    {18, 32, GL_RGBA, GL_UNSIGNED_BYTE, nullptr, 0, 0, 0},
};

const PixelFormat* FindPixelFormat(uint32_t code)
{
    for (const PixelFormat& format : kPixelFormats) {
        if (format.code == code) {
            return &format;
        }
    }
    return nullptr;
}

// The format of a block this device can load, or null. The twiddled order
// exists only for the compressed codes. A bit count that disagrees with the
// code would make the level sizes, and so the conversion buffer, wrong.
const PixelFormat* FindLoadableFormat(const TextureHeader& header, bool compressedTextures)
{
    const PixelFormat* format = FindPixelFormat(header.flags & kTextureFormatMask);
    if (format == nullptr || (format->IsCompressed() && !compressedTextures) ||
        ((header.flags & kTextureTwiddled) != 0 && !format->IsCompressed()) ||
        header.bitCount != format->bitsPerTexel) {
        return nullptr;
    }
    const bool hasMipMaps = (header.flags & kTextureHasMipMaps) != 0;
    if (header.width > kLargestDimension || header.height > kLargestDimension ||
        (hasMipMaps && header.mipMapCount > kLongestMipChain)) {
        return nullptr;
    }
    return format;
}

// Levels after level 0 that the block holds.
uint32_t LastLevel(const TextureHeader& header)
{
    return (header.flags & kTextureHasMipMaps) != 0 ? header.mipMapCount : 0;
}

// A skip must leave at least one level and may not invent levels above level 0:
// either way GL would get an incomplete texture that draws as if untextured.
bool SkipInChain(const TextureHeader& header, int32_t skip)
{
    return skip >= 0 && uint32_t(skip) <= LastLevel(header);
}

size_t LevelBytes(const PixelFormat& format, uint32_t width, uint32_t height)
{
    size_t storedWidth = width;
    size_t storedHeight = height;
    if (format.IsCompressed()) {
        storedWidth = std::max(width, format.compressedMinWidth);
        storedHeight = std::max(height, kCompressedMinHeight);
    }
    return (storedWidth * storedHeight * format.bitsPerTexel + 7) / 8;
}

void SetFilters(uint32_t filterMode)
{
    GLenum minFilter = GL_LINEAR;
    GLenum magFilter = GL_LINEAR;
    if (filterMode == 0) {
        minFilter = GL_NEAREST;
        magFilter = GL_NEAREST;
    } else if (filterMode == 2) {
        minFilter = GL_LINEAR_MIPMAP_NEAREST;
    } else if (filterMode == 3) {
        minFilter = GL_LINEAR_MIPMAP_LINEAR;
    }
    glTexParameterx(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GLfixed(minFilter));
    glTexParameterx(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GLfixed(magFilter));
}

// One texture load: the block, its header, what it is loaded as and where
// converted levels are put.
struct LevelUpload {
    const TrellisApp& app;
    const TextureHeader& header;
    const PixelFormat& format;
    GLenum internalFormat;  // compressed codes only
    std::unique_ptr<uint8_t[]> buffer;
};

// Uploads one level as GL level `glLevel`; returns 1 when no conversion
// buffer could be had, else 0 (GL errors are the caller's to read).
uint32_t UploadLevel(LevelUpload& upload, GLint glLevel, uint32_t width, uint32_t height, const uint8_t* texels)
{
    const PixelFormat& format = upload.format;
    const GLsizei w = GLsizei(width);
    const GLsizei h = GLsizei(height);
    if (format.IsCompressed()) {
        const GLsizei size = GLsizei(LevelBytes(format, width, height));
        glCompressedTexImage2D(GL_TEXTURE_2D, glLevel, upload.internalFormat, w, h, 0, size, texels);
        return 0;
    }
    const uint8_t* source = texels;
    if (format.convert != nullptr) {
        // The first level uploaded is the largest, so one buffer serves them all.
        if (upload.buffer == nullptr) {
            upload.buffer.reset(new (std::nothrow) uint8_t[LevelBytes(format, width, height)]);
            if (upload.buffer == nullptr) {
                upload.app.ShellLog(kNoMemoryMessage);
                return 1;
            }
        }
        format.convert(texels, upload.buffer.get(), size_t(width) * height);
        source = upload.buffer.get();
    }
    glTexImage2D(GL_TEXTURE_2D, glLevel, GLint(format.format), w, h, 0, format.format, format.type, source);
    return 0;
}

// Walks the mip chain in the block, leaving out the first `skip` levels.
uint32_t UploadLevels(LevelUpload& upload, const uint8_t* block, int32_t skip)
{
    const TextureHeader& header = upload.header;
    const uint32_t last = LastLevel(header);
    const uint8_t* texels = block + header.headerSize;
    uint32_t width = header.width;
    uint32_t height = header.height;
    for (uint32_t level = 0; level <= last; ++level) {
        if (level >= uint32_t(skip)) {
            const uint32_t result = UploadLevel(upload, GLint(level - uint32_t(skip)), width, height, texels);
            if (result != 0) {
                return result;
            }
        }
        const GLenum error = glGetError();
        if (error != GL_NO_ERROR) {
            return error;
        }
        texels += LevelBytes(upload.format, width, height);
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
    }
    return 0;
}

// Makes the texture object and fills it; on failure it is deleted again.
uint32_t CreateTexture(LevelUpload& upload, const uint8_t* block, uint32_t filterMode, int32_t skip, GLuint* name)
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glGenTextures(1, name);
    glBindTexture(GL_TEXTURE_2D, *name);
    uint32_t result = glGetError();
    if (result == 0) {
        SetFilters(filterMode);
        result = glGetError();
    }
    if (result == 0) {
        result = UploadLevels(upload, block, skip);
    }
    if (result != 0) {
        glDeleteTextures(1, name);
    }
    return result;
}

} // namespace

TextureHeader ReadTextureHeader(const void* block)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(block);
    uint32_t fields[11];
    for (int i = 0; i < 11; ++i) {
        fields[i] = ReadLittleEndian32(bytes + 4 * i);
    }
    return TextureHeader{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5],
                         fields[6], fields[7], fields[8], fields[9], fields[10]};
}

uint32_t TrellisApp::TrellisLoadPartialTextureFromHeader(const void* block, uint32_t filterMode, int32_t skip,
                                                         uint32_t* textureName) const
{
    *textureName = 0;
    const TextureHeader header = ReadTextureHeader(block);
    const PixelFormat* format = FindLoadableFormat(header, shellData->compressedTextures != 0);
    uint32_t result = 1;
    if (format == nullptr) {
        ShellLog(kUnsupportedMessage);
    } else if (!SkipInChain(header, skip)) {
        ShellLog(kSkipMessage);
    } else {
        const GLenum internalFormat = header.alphaMask != 0 ? format->compressedAlphaFormat : format->compressedFormat;
        LevelUpload upload{*this, header, *format, internalFormat, nullptr};
        GLuint name = 0;
        result = CreateTexture(upload, static_cast<const uint8_t*>(block), filterMode, skip, &name);
        if (result == 0) {
            *textureName = name;
        }
    }
    if (result != 0) {
        ShellLog(kFailedMessage);
    }
    return result;
}

uint32_t TrellisApp::TrellisLoadTextureFromHeader(const void* block, uint32_t filterMode, uint32_t* textureName) const
{
    return TrellisLoadPartialTextureFromHeader(block, filterMode, 0, textureName);
}

void TrellisApp::TrellisDeleteTexture(uint32_t textureName) const
{
    const GLuint name = textureName;
    glDeleteTextures(1, &name);
}

} // namespace trellis
