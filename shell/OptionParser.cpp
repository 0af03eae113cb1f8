#include "shell/OptionParser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "shell/ShellData.h"
#include "shell/TrellisApp.h"

namespace {

bool IsSeparator(char16_t c)
{
    return c == u' ' || c == u'\t';
}

size_t TokenLength(const char16_t* position, const char16_t* end)
{
    size_t length = 0;
    while (position + length < end && !IsSeparator(position[length])) {
        ++length;
    }
    return length;
}

size_t CommandLineLength(const char16_t* commandLine)
{
    size_t length = 0;
    while (commandLine[length] != 0) {
        ++length;
    }
    return length;
}

// A new zero-terminated narrow copy; each character keeps only its low 8 bits.
char* NarrowCopy(const char16_t* text, size_t length)
{
    char* copy = new char[length + 1];
    for (size_t i = 0; i < length; ++i) {
        copy[i] = static_cast<char>(text[i] & 0xFF);
    }
    copy[length] = '\0';
    return copy;
}

// The text after `option` when `token` begins with it, else null.
const char* ValueAfter(const char* token, const char* option)
{
    const size_t length = std::strlen(option);
    return std::strncmp(token, option, length) == 0 ? token + length : nullptr;
}

bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Decimal integer: leading white space and a sign allowed, stops at the first
// non-digit, no digits give 0. Values beyond the 32-bit range saturate rather
// than overflow.
int32_t ParseNumber(const char* text)
{
    while (IsSpace(*text)) {
        ++text;
    }
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = std::min<int64_t>(magnitude * 10 + (*text - '0'), limit);
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

// Floating-point text narrowed to float; magnitudes beyond float become
// infinities instead of an undefined conversion.
float ParseReal(const char* text)
{
    const double value = std::strtod(text, nullptr);
    if (std::fabs(value) > std::numeric_limits<float>::max()) {
        const float infinity = std::numeric_limits<float>::infinity();
        return value > 0.0 ? infinity : -infinity;
    }
    return static_cast<float>(value);
}

// Sizes and positions are held within this many pixels either way: far
// beyond any screen, and small enough that window arithmetic on them
// (position plus size plus frame, centring) never leaves 32 bits.
constexpr int32_t kMaxWindowExtent = 1 << 20;

// Size and position options: 0 cannot be given, so it leaves the default in force.
void SetGiven(int32_t& field, int32_t& isDefault, const char* text)
{
    const int32_t value = ParseNumber(text);
    if (value != 0) {
        field = std::clamp(value, -kMaxWindowExtent, kMaxWindowExtent);
        isDefault = 0;
    }
}

// "-quitafterframe=" and "-qaf=": 0 is a real limit when written as a 0.
void SetFrameLimit(ShellData& data, const char* text)
{
    const int32_t value = ParseNumber(text);
    if (value != 0 || text[0] == '0') {
        data.quitAfterFrame = value;
    }
}

void SetTimeLimit(ShellData& data, const char* text)
{
    const float value = ParseReal(text);
    if (value != 0.0f) {
        data.quitAfterTime = value;
    }
}

} // namespace

OptionParser::~OptionParser()
{
    for (int32_t i = 0; i < argCount; ++i) {
        delete[] args[i];
    }
    delete[] args;
}

void OptionParser::ParseCommandLine(const char16_t* commandLine)
{
    if (args == nullptr) {
        args = new char*[kMaxArgs];
    }
    if (commandLine == nullptr) {
        return;
    }
    const char16_t* position = commandLine;
    const char16_t* const end = commandLine + CommandLineLength(commandLine);
    while (position < end) {
        size_t length = TokenLength(position, end);
        while (length == 0) {
            if (++position >= end) {
                return;
            }
            length = TokenLength(position, end);
        }
        char* token = NarrowCopy(position, length);
        // A consumed token is done with; one the list has no room for is dropped.
        if (HandleOption(token) || argCount >= kMaxArgs) {
            delete[] token;
        } else {
            args[argCount++] = token;
        }
        position += length;
    }
}

ShellOptionParser::ShellOptionParser(TrellisApp* app) : shellData(app->GetShellData()) {}

bool ShellOptionParser::HandleOption(const char* token)
{
    ShellData& data = *shellData;
    const char* value = nullptr;
    if ((value = ValueAfter(token, "-width="))) {
        SetGiven(data.width, data.defaultSize, value);
    } else if ((value = ValueAfter(token, "-height="))) {
        SetGiven(data.height, data.defaultSize, value);
    } else if ((value = ValueAfter(token, "-posx="))) {
        SetGiven(data.posX, data.defaultPosition, value);
    } else if ((value = ValueAfter(token, "-posy="))) {
        SetGiven(data.posY, data.defaultPosition, value);
    } else if ((value = ValueAfter(token, "-FSAAMode="))) {
        const int32_t mode = ParseNumber(value);
        if (mode != 0) {
            data.fsaaMode = mode;
        }
    } else if (ValueAfter(token, "-fullscreen")) {
        data.fullScreen = 1;
    } else if (ValueAfter(token, "-windowed")) {
        data.fullScreen = 0;
    } else if ((value = ValueAfter(token, "-quitafterframe="))) {
        SetFrameLimit(data, value);
    } else if ((value = ValueAfter(token, "-quitaftertime="))) {
        SetTimeLimit(data, value);
    } else if ((value = ValueAfter(token, "-qaf="))) {
        SetFrameLimit(data, value);
    } else if ((value = ValueAfter(token, "-qat="))) {
        SetTimeLimit(data, value);
    } else {
        return false;
    }
    return true;
}
