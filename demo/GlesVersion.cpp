#include "demo/GlesVersion.h"

#include <cstring>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads decimal digits at `text`, saturating at INT32_MAX; null when there are none.
const char* ReadNumber(const char* text, int32_t* value)
{
    if (!IsDigit(*text)) {
        return nullptr;
    }
    int64_t number = 0;
    for (; IsDigit(*text); ++text) {
        number = number * 10 + (*text - '0');
        if (number > INT32_MAX) {
            number = INT32_MAX;
        }
    }
    *value = static_cast<int32_t>(number);
    return text;
}

// Skips "OpenGL ES" and an optional profile ("-CM" common, "-CL" common-lite) up to the number.
const char* SkipPrefix(const char* text)
{
    static const char kPrefix[] = "OpenGL ES";
    if (std::strncmp(text, kPrefix, sizeof kPrefix - 1) != 0) {
        return nullptr;
    }
    text += sizeof kPrefix - 1;
    if (text[0] == '-' && text[1] == 'C' && (text[2] == 'M' || text[2] == 'L')) {
        text += 3;
    }
    return *text == ' ' ? text + 1 : nullptr;
}

} // namespace

bool ParseGlesVersion(const char* text, int32_t* major, int32_t* minor)
{
    *major = 0;
    *minor = 0;
    const char* at = text != nullptr ? SkipPrefix(text) : nullptr;
    int32_t first = 0;
    int32_t second = 0;
    at = at != nullptr ? ReadNumber(at, &first) : nullptr;
    at = at != nullptr && *at == '.' ? ReadNumber(at + 1, &second) : nullptr;
    if (at == nullptr) {
        return false;
    }
    *major = first;
    *minor = second;
    return true;
}

bool GlesHasCoreCombine(const char* versionText)
{
    int32_t major = 0;
    int32_t minor = 0;
    return ParseGlesVersion(versionText, &major, &minor) && (major > 1 || (major == 1 && minor >= 1));
}
