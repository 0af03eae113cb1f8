#include "shell/OptionParser.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "shell/ShellData.h"
#include "shell/TrellisApp.h"
#include "shell/Utf8.h"
#include "trellis/Version.h"

namespace trellis {

namespace {

bool IsSeparator(char16_t c)
{
    return c == u' ' || c == u'\t';
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

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The shell's forgiving conversions, which decide what a value that is not
// written as the option needs still means.

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
    for (; IsDigit(*text); ++text) {
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

// The values as an option needs them written: nothing before or after.

// An optional sign and decimal digits. `value` saturates far outside 32 bits,
// so a range test on it is exact.
bool IsWrittenInteger(const char* text, int64_t* value)
{
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    if (!IsDigit(*text)) {
        return false;
    }
    int64_t magnitude = 0;
    for (; IsDigit(*text); ++text) {
        magnitude = std::min<int64_t>(magnitude * 10 + (*text - '0'), int64_t(1) << 40);
    }
    *value = negative ? -magnitude : magnitude;
    return *text == '\0';
}

// An optional sign, digits with at most one decimal point (a digit on at least
// one side), an optional exponent. No hexadecimal, "inf" or "nan".
bool IsWrittenReal(const char* text)
{
    if (*text == '-' || *text == '+') {
        ++text;
    }
    size_t digits = 0;
    for (; IsDigit(*text); ++text) {
        ++digits;
    }
    if (*text == '.') {
        for (++text; IsDigit(*text); ++text) {
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (*text == 'e' || *text == 'E') {
        ++text;
        if (*text == '-' || *text == '+') {
            ++text;
        }
        if (!IsDigit(*text)) {
            return false;
        }
        while (IsDigit(*text)) {
            ++text;
        }
    }
    return *text == '\0';
}

// Sizes and positions are held within this many pixels either way: far
// beyond any screen, and small enough that window arithmetic on them
// (position plus size plus frame, centring) never leaves 32 bits.
constexpr int32_t kMaxWindowExtent = 1 << 20;

bool IsSize(int64_t value)
{
    return value >= 1 && value <= kMaxWindowExtent;
}

bool IsPosition(int64_t value)
{
    return value != 0 && value >= -kMaxWindowExtent && value <= kMaxWindowExtent;
}

// -1 is the written form of no limit.
bool IsFrameLimit(int64_t value)
{
    return value >= -1 && value <= INT32_MAX;
}

// The words that ask for the usage text, in their one-dash spelling.
constexpr const char* kHelpTokens[] = {"-help", "-h", "-?"};

// The names a mistyped token is compared with, in the order of the usage text.
constexpr const char* kShellOptionNames[] = {"-width=", "-height=", "-fullscreen", "-windowed", "-posx=", "-posy=",
                                             "-FSAAMode=", "-quitafterframe=", "-qaf=", "-quitaftertime=", "-qat=",
                                             "-help", "-version"};

// Names longer than any option are no typo of one.
constexpr size_t kLongestTypo = 40;

// "--width=800" is the GNU spelling of "-width=800"; the one-dash form is
// what the options are matched in.
const char* OneDashSpelling(const char* token)
{
    return token[0] == '-' && token[1] == '-' && token[2] != '-' && token[2] != '\0' ? token + 1 : token;
}

// Optimal string alignment distance: inserting, deleting or changing a
// character, or swapping two neighbours, each count one.
size_t EditDistance(const std::string& a, const std::string& b)
{
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) {
        d[i][0] = i;
    }
    for (size_t j = 0; j <= b.size(); ++j) {
        d[0][j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

struct UsageLine {
    const char* options;
    const char* effect;
};

// One line per option, as the README's table has them; the second one is
// chosen by the application's default window.
constexpr UsageLine kShellUsage[] = {
    {"-width=N, -height=N", "window size (full screen takes the monitor's size unless it is 320 x 240 or 240 x 320)"},
    {"-fullscreen / -windowed", "full screen (the default) or a framed, centred window"},
    {"-posx=N, -posy=N", "not used: a window is centred on the monitor"},
    {"-FSAAMode=N", "1 = two samples, 2 = four samples"},
    {"-quitafterframe=N, -qaf=N", "stop after N + 1 presented frames (-1: no limit)"},
    {"-quitaftertime=S, -qat=S", "stop after the first frame that ends S seconds after the loop began"},
    {"-help, --help, -h, -?", "print the options and exit"},
    {"-version, --version", "print the version and exit"},
};
constexpr const char* kWindowedByDefault = "full screen or a framed, centred window (the default)";

std::string Describe(int32_t value)
{
    return "using " + std::to_string(value);
}

} // namespace

std::vector<std::string> SplitCommandLine(const char16_t* commandLine)
{
    std::vector<std::string> tokens;
    if (commandLine == nullptr) {
        return tokens;
    }
    std::string token;
    for (const char16_t* at = commandLine;;) {
        if (*at == 0 || IsSeparator(*at)) {
            if (!token.empty()) {
                tokens.push_back(token);
                token.clear();
            }
            if (*at++ == 0) {
                return tokens;
            }
            continue;
        }
        AppendUtf8(token, NextUtf16(at));
    }
}

OptionParser::~OptionParser()
{
    for (int32_t i = 0; i < argCount; ++i) {
        delete[] args[i];
    }
    delete[] args;
}

void OptionParser::ParseCommandLine(const char16_t* commandLine)
{
    const std::vector<std::string> tokens = SplitCommandLine(commandLine);
    std::vector<const char*> pointers;
    for (const std::string& token : tokens) {
        pointers.push_back(token.c_str());
    }
    ParseArguments(static_cast<int32_t>(pointers.size()), pointers.data());
}

void OptionParser::ParseArguments(int32_t count, const char* const* tokens)
{
    if (args == nullptr) {
        args = new char*[kMaxArgs];
    }
    for (int32_t i = 0; i < count; ++i) {
        if (optionsEnded) {
            Keep(tokens[i]);
        } else if (std::strcmp(tokens[i], "--") == 0) {
            optionsEnded = true;
        } else {
            Offer(tokens[i]);
        }
    }
}

void OptionParser::Offer(const char* token)
{
    if (!HandleOption(token) && Keep(token)) {
        ++optionCount;
    }
}

// False when the list is full and the token was dropped.
bool OptionParser::Keep(const char* token)
{
    if (argCount >= kMaxArgs) {
        ++droppedCount;
        return false;
    }
    const size_t length = std::strlen(token);
    char* copy = new char[length + 1];
    std::memcpy(copy, token, length + 1);
    args[argCount++] = copy;
    return true;
}

ShellOptionParser::ShellOptionParser(TrellisApp* application, bool warnings)
    : app(application), shellData(application->GetShellData()), warn(warnings)
{
}

void ShellOptionParser::Warn(const char* token, const char* problem, const std::string& used) const
{
    if (warn) {
        app->ShellLog("%s: %s; %s\n", token, problem, used.c_str());
    }
}

bool ShellOptionParser::HandleOption(const char* token)
{
    if (*token == '\0') {
        if (warn) {
            app->ShellLog("empty argument ignored\n");
        }
        return true;
    }
    const char* option = OneDashSpelling(token);
    for (const char* help : kHelpTokens) {
        if (std::strcmp(option, help) == 0) {
            helpRequested = true;
            return true;
        }
    }
    if (std::strcmp(option, "-version") == 0) {
        versionRequested = true;
        return true;
    }

    ShellData& data = *shellData;
    int64_t written = 0;
    const char* value = nullptr;

    // "-width=", "-height=": a size; 0 or an unusable value keeps the size in force.
    auto size = [&](int32_t& field) {
        if (IsWrittenInteger(value, &written) && IsSize(written)) {
            field = static_cast<int32_t>(written);
            data.defaultSize = 0;
            sizeGiven = true;
            return;
        }
        const int32_t loose = ParseNumber(value);
        if (IsSize(loose)) {
            field = loose;
            data.defaultSize = 0;
            sizeGiven = true;
        }
        Warn(token, "not a size from 1 to 1048576", Describe(field));
    };
    // "-posx=", "-posy=": 0 cannot be given, so it leaves the default in force.
    auto position = [&](int32_t& field) {
        if (IsWrittenInteger(value, &written) && IsPosition(written)) {
            field = static_cast<int32_t>(written);
            data.defaultPosition = 0;
            positionGiven = true;
            return;
        }
        const int32_t loose = ParseNumber(value);
        if (IsPosition(loose)) {
            field = loose;
            data.defaultPosition = 0;
            positionGiven = true;
        }
        Warn(token, "not a position from -1048576 to 1048576 other than 0",
             data.defaultPosition != 0 ? "using the default position" : Describe(field));
    };
    // "-quitafterframe=", "-qaf=": 0 is a real limit when written as a 0, and
    // -1 is no limit.
    auto frameLimit = [&]() {
        if (IsWrittenInteger(value, &written) && IsFrameLimit(written) && (written != 0 || value[0] == '0')) {
            data.quitAfterFrame = static_cast<int32_t>(written);
            return;
        }
        const int32_t loose = ParseNumber(value);
        if (loose != 0 || value[0] == '0') {
            data.quitAfterFrame = loose;
        }
        Warn(token, "not a frame count from 0 to 2147483647",
             data.quitAfterFrame < 0 ? "using no frame limit" : Describe(data.quitAfterFrame));
    };
    // "-quitaftertime=", "-qat=": seconds; 0 is never stored, and neither is
    // a NaN or an infinity, which no loop could reach.
    auto timeLimit = [&]() {
        const float loose = ParseReal(value);
        if (IsWrittenReal(value) && loose > 0.0f && std::isfinite(loose)) {
            data.quitAfterTime = loose;
            return;
        }
        if (loose != 0.0f && std::isfinite(loose)) {
            data.quitAfterTime = loose;
        }
        char seconds[48];
        std::snprintf(seconds, sizeof seconds, "using %g seconds", static_cast<double>(data.quitAfterTime));
        Warn(token, "not a positive number of seconds", data.quitAfterTime < 0.0f ? "using no time limit" : seconds);
    };
    // "-fullscreen", "-windowed": the option matches with anything after it.
    auto flag = [&](const char* option, int32_t fullScreen) {
        data.fullScreen = fullScreen;
        if (*value != '\0') {
            Warn(token, "characters after the option", std::string("taken as ") + option);
        }
    };

    if ((value = ValueAfter(option, "-width="))) {
        size(data.width);
    } else if ((value = ValueAfter(option, "-height="))) {
        size(data.height);
    } else if ((value = ValueAfter(option, "-posx="))) {
        position(data.posX);
    } else if ((value = ValueAfter(option, "-posy="))) {
        position(data.posY);
    } else if ((value = ValueAfter(option, "-FSAAMode="))) {
        const int32_t mode = ParseNumber(value);
        if (mode != 0) {
            data.fsaaMode = mode;
        }
        if (!IsWrittenInteger(value, &written) || written < 0 || written > 2) {
            Warn(token, "not 0, 1 or 2",
                 data.fsaaMode == 1   ? "using two samples"
                 : data.fsaaMode == 2 ? "using four samples"
                                      : "using no multisampling");
        }
    } else if ((value = ValueAfter(option, "-fullscreen"))) {
        flag("-fullscreen", 1);
    } else if ((value = ValueAfter(option, "-windowed"))) {
        flag("-windowed", 0);
    } else if ((value = ValueAfter(option, "-quitafterframe="))) {
        frameLimit();
    } else if ((value = ValueAfter(option, "-quitaftertime="))) {
        timeLimit();
    } else if ((value = ValueAfter(option, "-qaf="))) {
        frameLimit();
    } else if ((value = ValueAfter(option, "-qat="))) {
        timeLimit();
    } else {
        return false;
    }
    return true;
}

bool IsDeclaredOption(const TrellisAppOption* declared, const char* token)
{
    for (const TrellisAppOption* option = declared; option != nullptr && option->name != nullptr; ++option) {
        const size_t length = std::strlen(option->name);
        const bool takesValue = length > 0 && option->name[length - 1] == '=';
        if (takesValue ? std::strncmp(token, option->name, length) == 0 : std::strcmp(token, option->name) == 0) {
            return true;
        }
    }
    return false;
}

std::string Wrap(const std::string& text, size_t width, size_t indent)
{
    std::string wrapped;
    size_t lineLength = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        end = end == std::string::npos ? text.size() : end;
        const size_t word = end - start;
        if (lineLength > 0 && lineLength + 1 + word > width) {
            wrapped += "\n" + std::string(indent, ' ');
            lineLength = 0;
        } else if (lineLength > 0) {
            wrapped += ' ';
            ++lineLength;
        }
        wrapped.append(text, start, word);
        lineLength += word;
        start = end + 1;
    }
    return wrapped;
}

std::string NearestOption(const char* token, const TrellisAppOption* declared)
{
    const char* equals = std::strchr(token, '=');
    const std::string name(token, equals != nullptr ? size_t(equals + 1 - token) : std::strlen(token));
    if (name.size() > kLongestTypo) {
        return "";
    }
    std::vector<std::string> candidates;
    for (const char* option : kShellOptionNames) {
        candidates.emplace_back(option);
        candidates.push_back(std::string("-") + option);
    }
    for (const TrellisAppOption* option = declared; option != nullptr && option->name != nullptr; ++option) {
        candidates.emplace_back(option->name);
    }
    const std::string* nearest = nullptr;
    size_t best = 3;
    for (const std::string& candidate : candidates) {
        const size_t distance = EditDistance(name, candidate);
        if (distance > 0 && distance < best && distance * 3 <= candidate.size()) {
            best = distance;
            nearest = &candidate;
        }
    }
    if (nearest == nullptr) {
        return "";
    }
    const bool takesValue = nearest->back() == '=';
    return *nearest + (takesValue && equals != nullptr ? equals + 1 : "");
}

std::string ShellVersion(const char* program)
{
    return std::string(program) + " (Trellis) " + std::to_string(TRELLIS_VERSION_MAJOR) + "." +
           std::to_string(TRELLIS_VERSION_MINOR) + "." + std::to_string(TRELLIS_VERSION_PATCH) + "\n";
}

std::string ShellUsage(const char* program, const TrellisAppOption* declared, bool fullScreenByDefault)
{
    std::vector<UsageLine> own;
    std::vector<std::string> spelled;
    for (const TrellisAppOption* option = declared; option != nullptr && option->name != nullptr; ++option) {
        spelled.push_back(std::string(option->name) + (option->value != nullptr ? option->value : ""));
    }
    size_t column = 0;
    for (const UsageLine& line : kShellUsage) {
        column = std::max(column, std::strlen(line.options));
    }
    for (const std::string& text : spelled) {
        column = std::max(column, text.size());
    }
    auto row = [column](const std::string& options, const char* effect) {
        const size_t indent = column + 4;
        return "  " + options + std::string(column + 2 - options.size(), ' ') +
               Wrap(effect != nullptr ? effect : "", kUsageWidth - std::min(indent, kUsageWidth / 2), indent) + "\n";
    };

    const std::string name = program != nullptr && *program != '\0' ? program : "program";
    std::string usage = "Usage: " + name + " [options]\n\nOptions of every Trellis program:\n";
    for (const UsageLine& line : kShellUsage) {
        const bool window = std::strcmp(line.options, "-fullscreen / -windowed") == 0;
        usage += row(line.options, window && !fullScreenByDefault ? kWindowedByDefault : line.effect);
    }
    usage += "\nEach option may also be written with two dashes (--windowed, --width=800).\n" +
             Wrap("After -- nothing is an option: the rest goes to " + name + " as it is.", kUsageWidth, 0) + "\n";
    if (spelled.empty()) {
        usage += "\n" + name + " has no options of its own.\n";
    } else {
        usage += "\nOptions of " + name + ":\n";
        for (size_t i = 0; i < spelled.size(); ++i) {
            usage += row(spelled[i], declared[i].help);
        }
    }
    return usage;
}

} // namespace trellis
