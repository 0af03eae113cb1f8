#pragma once
#include <cstdint>

// The 44-byte header in front of every compiled-in texture block: eleven
// little-endian 32-bit fields, then the texel data of all mip levels at
// `headerSize` bytes from the start.
struct TextureHeader {
    uint32_t headerSize;
    uint32_t height;
    uint32_t width;
    uint32_t mipMapCount;  // levels after level 0; read only with kTextureHasMipMaps
    uint32_t flags;        // bits 0-7 pixel format code, bit 8 mip maps, bit 9 twiddled order
    uint32_t dataSize;
    uint32_t bitCount;
    uint32_t redMask;
    uint32_t greenMask;
    uint32_t blueMask;
    uint32_t alphaMask;
};
static_assert(sizeof(TextureHeader) == 44, "TextureHeader is 44 bytes");

constexpr uint32_t kTextureFormatMask = 0xFF;
constexpr uint32_t kTextureHasMipMaps = 0x100;
constexpr uint32_t kTextureTwiddled = 0x200;

// Reads the header at the start of a block, independent of host byte order and alignment.
TextureHeader ReadTextureHeader(const void* block);
