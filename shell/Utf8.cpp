#include "shell/Utf8.h"

namespace trellis {

size_t DecodeUtf8(const char* text, size_t available, char32_t* codePoint)
{
    if (available == 0) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length = 0;
    char32_t c = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (length > available) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return 0;
    }
    *codePoint = c;
    return length;
}

size_t EncodeUtf8(char32_t c, char* out)
{
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

size_t FittingUtf8(const char* text, size_t length, size_t room)
{
    if (length <= room) {
        return length;
    }
    // Back up over continuation bytes to the start of the character cut.
    size_t fitting = room;
    while (fitting > 0 && (static_cast<unsigned char>(text[fitting]) & 0xC0) == 0x80) {
        --fitting;
    }
    return fitting;
}

void AppendUtf8(std::string& out, char32_t c)
{
    char bytes[4];
    out.append(bytes, EncodeUtf8(c, bytes));
}

char32_t NextUtf16(const char16_t*& text)
{
    const char32_t c = *text++;
    if (c >= 0xD800 && c <= 0xDBFF && *text >= 0xDC00 && *text <= 0xDFFF) {
        return 0x10000 + ((c - 0xD800) << 10) + (*text++ - 0xDC00);
    }
    return c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c;
}

std::string NarrowUtf16(const char16_t* text)
{
    std::string utf8;
    while (*text != 0) {
        AppendUtf8(utf8, NextUtf16(text));
    }
    return utf8;
}

size_t WidenUtf8(const char* text, size_t length, char16_t* out)
{
    size_t units = 0;
    for (size_t i = 0; i < length;) {
        char32_t c = 0;
        const size_t used = DecodeUtf8(text + i, length - i, &c);
        if (used == 0) {
            out[units++] = static_cast<unsigned char>(text[i++]);
            continue;
        }
        i += used;
        if (c >= 0x10000) {
            out[units++] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out[units++] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out[units++] = static_cast<char16_t>(c);
        }
    }
    return units;
}

} // namespace trellis
