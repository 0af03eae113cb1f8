#pragma once
#include <cstdint>

namespace trellis {

// The byte order of every file and compiled-in block the framework reads or
// writes, whatever the host's order.

inline uint16_t ReadLittleEndian16(const uint8_t* bytes)
{
    return uint16_t(bytes[0] | bytes[1] << 8);
}

inline uint32_t ReadLittleEndian32(const uint8_t* bytes)
{
    return uint32_t(ReadLittleEndian16(bytes)) | uint32_t(ReadLittleEndian16(bytes + 2)) << 16;
}

inline void WriteLittleEndian16(uint8_t* bytes, uint16_t value)
{
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(value >> 8);
}

inline void WriteLittleEndian32(uint8_t* bytes, uint32_t value)
{
    WriteLittleEndian16(bytes, uint16_t(value));
    WriteLittleEndian16(bytes + 2, uint16_t(value >> 16));
}

} // namespace trellis
