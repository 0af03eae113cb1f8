#include "shell/DebugOutput.h"

#include <unistd.h>

#include "shell/Utf8.h"

namespace {

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
unsigned long textsWritten = 0;

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
        used += EncodeUtf8(NextUtf16(text), chunk + used);
    }
    WriteAll(chunk, used);
    if (used > 0) {
        atLineStart = chunk[used - 1] == '\n';
        ++textsWritten;
    }
}

unsigned long TrellisDebugOutputCount()
{
    return textsWritten;
}

void TrellisDebugOutputEndLine()
{
    if (!atLineStart) {
        TrellisDebugOutput(u"\n");
    }
}
