#include "shell/DebugOutput.h"

#include <unistd.h>

namespace {

// Encodes one UTF-16 code unit sequence position into UTF-8; unpaired
// surrogates become U+FFFD so the output is always valid text.
unsigned EncodeUtf8(const char16_t*& in, char* out)
{
    char32_t c = *in++;
    if (c >= 0xD800 && c <= 0xDBFF && *in >= 0xDC00 && *in <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (*in++ - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
        c = 0xFFFD;
    }
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

void WriteAll(const char* data, unsigned size)
{
    while (size > 0) {
        ssize_t written = write(STDERR_FILENO, data, size);
        if (written <= 0) {
            return;
        }
        data += written;
        size -= static_cast<unsigned>(written);
    }
}

// Whether the last text written ended a line (or nothing was written yet).
bool atLineStart = true;

} // namespace

void TrellisDebugOutput(const char16_t* text)
{
    // Encoded in chunks on the stack: debug output allocates nothing.
    char chunk[512];
    unsigned used = 0;
    while (*text != 0) {
        if (used + 4 > sizeof chunk) {
            WriteAll(chunk, used);
            used = 0;
        }
        used += EncodeUtf8(text, chunk + used);
    }
    WriteAll(chunk, used);
    if (used > 0) {
        atLineStart = chunk[used - 1] == '\n';
    }
}

void TrellisDebugOutputEndLine()
{
    if (!atLineStart) {
        TrellisDebugOutput(u"\n");
    }
}
