#include "shell/DebugOutput.h"

#include <unistd.h>

#include <cstring>

#include "shell/Utf8.h"

namespace trellis {

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

void (*logHandler)(const char* text, void* context) = nullptr;
void* logContext = nullptr;

// `chunk` holds `size` bytes and room for a terminator.
void Emit(char* chunk, unsigned size)
{
    if (size == 0) {
        return;
    }
    atLineStart = chunk[size - 1] == '\n';
    ++textsWritten;
    if (logHandler == nullptr) {
        WriteAll(chunk, size);
        return;
    }
    chunk[size] = 0;
    logHandler(chunk, logContext);
}

} // namespace

void TrellisSetDebugOutputHandler(void (*handler)(const char* text, void* context), void* context)
{
    logHandler = handler;
    logContext = context;
}

namespace {

// Writes the characters `next` takes from the text until it gives 0, encoded
// in chunks on the stack: debug output allocates nothing. A chunk holds the
// longest message the framework writes, terminator included.
template <typename Next>
void EmitCharacters(Next next)
{
    char chunk[1024];
    unsigned used = 0;
    for (char32_t c = next(); c != 0; c = next()) {
        if (used + 5 > sizeof chunk) {
            Emit(chunk, used);
            used = 0;
        }
        used += EncodeUtf8(c, chunk + used);
    }
    Emit(chunk, used);
}

} // namespace

void TrellisDebugOutput(const char16_t* text)
{
    EmitCharacters([&text]() -> char32_t { return *text != 0 ? NextUtf16(text) : 0; });
}

void TrellisDebugOutputUtf8(const char* text)
{
    size_t left = std::strlen(text);
    EmitCharacters([&text, &left]() -> char32_t {
        if (left == 0) {
            return 0;
        }
        char32_t c = 0;
        size_t taken = DecodeUtf8(text, left, &c);
        if (taken == 0) {
            c = static_cast<unsigned char>(*text);
            taken = 1;
        }
        text += taken;
        left -= taken;
        return c;
    });
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

} // namespace trellis
