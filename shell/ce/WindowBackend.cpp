#include "shell/ce/WindowBackend.h"

#include "shell/Utf8.h"

namespace trellis {

bool AppendEventText(TrellisEvent& event, uint32_t codePoint)
{
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        codePoint = 0xFFFD;
    }
    if (codePoint == 0) {
        return true;
    }
    char bytes[4];
    const size_t count = EncodeUtf8(codePoint, bytes);
    size_t used = 0;
    while (event.text[used] != 0) {
        ++used;
    }
    // A character that does not fit whole is left out, never cut.
    if (used + count >= sizeof event.text) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        event.text[used + i] = bytes[i];
    }
    event.text[used + count] = 0;
    return true;
}

void SetEventText(TrellisEvent& event, const char* utf8, size_t length)
{
    event.text[0] = 0;
    for (size_t position = 0; position < length;) {
        char32_t codePoint = 0;
        const size_t taken = DecodeUtf8(utf8 + position, length - position, &codePoint);
        // A byte that begins no well-formed character stands for one U+FFFD.
        position += taken != 0 ? taken : 1;
        if (!AppendEventText(event, taken != 0 ? static_cast<uint32_t>(codePoint) : 0xFFFDu)) {
            return;
        }
    }
}

void FillEGLConfigAttributes(EGLint surfaceType, int32_t fsaaMode, EGLint* attributes)
{
    int n = 0;
    attributes[n++] = EGL_LEVEL;
    attributes[n++] = 0;
    attributes[n++] = EGL_SURFACE_TYPE;
    attributes[n++] = surfaceType;
    // The scene depth-tests; without this the first matching configuration may have no depth buffer.
    attributes[n++] = EGL_DEPTH_SIZE;
    attributes[n++] = 16;
    attributes[n++] = EGL_SAMPLE_BUFFERS;
    attributes[n++] = fsaaMode == 1 || fsaaMode == 2 ? 1 : 0;
    if (fsaaMode == 1 || fsaaMode == 2) {
        attributes[n++] = EGL_SAMPLES;
        attributes[n++] = fsaaMode == 1 ? 2 : 4;
    }
    attributes[n] = EGL_NONE;
}

} // namespace trellis
