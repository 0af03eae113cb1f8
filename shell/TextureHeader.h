#pragma once
#include <cstdint>

namespace trellis {

/// The 44-byte header in front of every compiled-in texture block: eleven
/// little-endian 32-bit fields, then the texel data of all mip levels at
/// `headerSize` bytes from the start.
struct TextureHeader {
    uint32_t headerSize;   ///< bytes from the start of the block to the texel data
    uint32_t height;       ///< level 0 height in texels
    uint32_t width;        ///< level 0 width in texels
    uint32_t mipMapCount;  ///< levels after level 0; read only with kTextureHasMipMaps
    uint32_t flags;        ///< bits 0-7 pixel format code, bit 8 mip maps, bit 9 twiddled order
    uint32_t dataSize;     ///< bytes of texel data, all levels
    uint32_t bitCount;     ///< bits per texel
    uint32_t redMask;      ///< bits of red in a texel
    uint32_t greenMask;    ///< bits of green in a texel
    uint32_t blueMask;     ///< bits of blue in a texel
    uint32_t alphaMask;    ///< bits of alpha in a texel
};
static_assert(sizeof(TextureHeader) == 44, "TextureHeader is 44 bytes");

constexpr uint32_t kTextureFormatMask = 0xFF;   ///< TextureHeader::flags: the pixel format code
constexpr uint32_t kTextureHasMipMaps = 0x100;  ///< TextureHeader::flags: mip levels follow level 0
constexpr uint32_t kTextureTwiddled = 0x200;    ///< TextureHeader::flags: texels in twiddled order

/// Reads the header at the start of a block, independent of host byte order and alignment.
TextureHeader ReadTextureHeader(const void* block);

} // namespace trellis
