#pragma once
#include <cstddef>
#include <cstdint>

// Decodes the UTF-8 character at `text[position]` and moves `position` past
// it. Malformed input (a stray continuation byte, an overlong form, a
// surrogate, a character cut short by `length`) gives U+FFFD for one byte.
inline uint32_t NextUtf8(const char* text, size_t length, size_t& position)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const unsigned lead = bytes[position];
    const size_t extra = lead < 0x80 ? 0 : lead < 0xC2 ? 4 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF5 ? 3 : 4;
    if (extra == 4 || position + extra >= length) {
        ++position;
        return extra == 0 ? lead : 0xFFFD;
    }
    uint32_t codePoint = extra == 0 ? lead : lead & (0x3Fu >> extra);
    for (size_t k = 1; k <= extra; ++k) {
        if ((bytes[position + k] & 0xC0) != 0x80) {
            ++position;
            return 0xFFFD;
        }
        codePoint = (codePoint << 6) | (bytes[position + k] & 0x3F);
    }
    constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (codePoint < kLeast[extra] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        ++position;
        return 0xFFFD;
    }
    position += extra + 1;
    return codePoint;
}
