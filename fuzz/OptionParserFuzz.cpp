// libFuzzer target: any bytes as the command line, in one of two forms chosen
// by the first byte's low bit. 0: a 16-bit line (little-endian units, cut at
// the first zero unit). 1: an argument vector, the elements separated by zero
// bytes, each element any bytes. Bit 1 of the first byte turns the warnings on.
//
// The oracle is built from the documented meaning of the options, with its own
// parsing: the offered tokens are the argv elements as they are, or the line
// split at spaces and tabs and converted by iconv (a lone surrogate first
// replaced by U+FFFD); numbers are read with strtoll, from_chars and strtod;
// the kept tokens are the unconsumed ones, byte for byte and in order, the
// first 100 of them, with the rest counted. The first "--" ends the options:
// it is consumed, and every token after it is kept without being offered.
// Two dashes before an option's name spell the same option; an empty token is
// consumed. Any option named for a kept token as its likely typo is one the
// parser takes.
#include <iconv.h>

#include <charconv>
#include <cmath>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/OptionParser.h"
#include "shell/TrellisApp.h"

using namespace trellis;

namespace {

void Check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

std::string ToUtf8(std::u16string units)
{
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            units[i] = 0xFFFD;
        }
    }
    iconv_t converter = iconv_open("UTF-8", "UTF-16LE");
    std::string in;
    for (char16_t unit : units) {
        in.push_back(static_cast<char>(unit & 0xFF));
        in.push_back(static_cast<char>(unit >> 8));
    }
    std::string out(in.size() * 2 + 4, '\0');
    char* inAt = in.data();
    size_t inLeft = in.size();
    char* outAt = out.data();
    size_t outLeft = out.size();
    Check(iconv(converter, &inAt, &inLeft, &outAt, &outLeft) != size_t(-1) && inLeft == 0);
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
}

std::vector<std::string> SplitLine(const std::u16string& line)
{
    std::vector<std::string> tokens;
    std::u16string current;
    for (size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == u' ' || line[i] == u'\t') {
            if (!current.empty()) {
                tokens.push_back(ToUtf8(current));
                current.clear();
            }
        } else {
            current.push_back(line[i]);
        }
    }
    return tokens;
}

// What the options mean, kept apart from the parser's own code.
struct Model {
    int32_t width = 640, height = 480, posX = 0, posY = 0, fsaaMode = 0, fullScreen = 1;
    int32_t quitAfterFrame = -1, defaultSize = 1, defaultPosition = 1;
    float quitAfterTime = -1.0f;
    bool help = false;
    bool version = false;
};

// The forgiving reading: leading white space and a sign, digits up to the
// first other character, saturated to 32 bits.
int32_t Loose(const char* text)
{
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    return static_cast<int32_t>(value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : value);
}

// The whole text an integer within [low, high]: an optional sign and digits.
bool Written(const char* text, long long low, long long high, long long* value)
{
    const char* begin = text + (*text == '+' && text[1] != '-' ? 1 : 0);
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(begin, end, *value);
    return error == std::errc() && stop == end && *value >= low && *value <= high;
}

void Apply(Model& m, const std::string& typed, bool* consumed)
{
    *consumed = true;
    const bool gnu = typed.size() > 2 && typed[0] == '-' && typed[1] == '-' && typed[2] != '-';
    const std::string token = gnu ? typed.substr(1) : typed;
    auto value = [&](const char* option) -> const char* {
        return token.compare(0, std::strlen(option), option) == 0 ? token.c_str() + std::strlen(option) : nullptr;
    };
    const long long limit = 1 << 20;
    long long n = 0;
    const char* v = nullptr;
    auto size = [&](int32_t& field) {
        const int32_t loose = Loose(v);
        if (Written(v, 1, limit, &n)) {
            field = static_cast<int32_t>(n);
            m.defaultSize = 0;
        } else if (loose >= 1 && loose <= limit) {
            field = loose;
            m.defaultSize = 0;
        }
    };
    auto position = [&](int32_t& field) {
        const int32_t loose = Loose(v);
        if (Written(v, -limit, limit, &n) && n != 0) {
            field = static_cast<int32_t>(n);
            m.defaultPosition = 0;
        } else if (loose != 0 && loose >= -limit && loose <= limit) {
            field = loose;
            m.defaultPosition = 0;
        }
    };
    auto frames = [&]() {
        const int32_t loose = Loose(v);
        if (loose != 0 || v[0] == '0') {
            m.quitAfterFrame = loose;
        }
    };
    auto seconds = [&]() {
        const double real = std::strtod(v, nullptr);
        const float narrowed = std::fabs(real) > 3.4028234663852886e38 ? INFINITY : static_cast<float>(real);
        if (narrowed != 0.0f && std::isfinite(narrowed)) {
            m.quitAfterTime = narrowed;
        }
    };
    if (token.empty()) {
        return;
    }
    if (token == "-help" || token == "-h" || token == "-?") {
        m.help = true;
    } else if (token == "-version") {
        m.version = true;
    } else if ((v = value("-width="))) {
        size(m.width);
    } else if ((v = value("-height="))) {
        size(m.height);
    } else if ((v = value("-posx="))) {
        position(m.posX);
    } else if ((v = value("-posy="))) {
        position(m.posY);
    } else if ((v = value("-FSAAMode="))) {
        m.fsaaMode = Loose(v) != 0 ? Loose(v) : m.fsaaMode;
    } else if (value("-fullscreen")) {
        m.fullScreen = 1;
    } else if (value("-windowed")) {
        m.fullScreen = 0;
    } else if ((v = value("-quitafterframe=")) || (v = value("-quitaftertime=")) || (v = value("-qaf=")) ||
               (v = value("-qat="))) {
        const bool time = token.compare(0, 15, "-quitaftertime=") == 0 || token.compare(0, 5, "-qat=") == 0;
        time ? seconds() : frames();
    } else {
        *consumed = false;
    }
}

class CheckingParser : public ShellOptionParser {
public:
    CheckingParser(TrellisApp* app, bool warn, const std::vector<std::string>& expected)
        : ShellOptionParser(app, warn), expected(expected)
    {
    }

    bool HandleOption(const char* token) override
    {
        Check(offered < expected.size() && std::strlen(token) == expected[offered].size() &&
              std::memcmp(token, expected[offered].data(), expected[offered].size()) == 0);
        ++offered;
        return ShellOptionParser::HandleOption(token);
    }

    size_t offered = 0;

private:
    const std::vector<std::string>& expected;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const bool vector = (data[0] & 1) != 0;
    const bool warn = (data[0] & 2) != 0;
    ++data;
    --size;

    std::vector<std::string> tokens;
    std::u16string line;
    if (vector) {
        tokens.emplace_back();
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == 0) {
                tokens.emplace_back();
            } else {
                tokens.back().push_back(static_cast<char>(data[i]));
            }
        }
    } else {
        for (size_t i = 0; i + 1 < size; i += 2) {
            const auto unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
            if (unit == 0) {
                break;
            }
            line.push_back(unit);
        }
        tokens = SplitLine(line);
    }

    size_t options = 0;
    while (options < tokens.size() && tokens[options] != "--") {
        ++options;
    }
    const std::vector<std::string> offered(tokens.begin(), tokens.begin() + std::ptrdiff_t(options));

    TrellisApp app;
    CheckingParser parser(&app, warn, offered);
    if (vector) {
        std::vector<const char*> pointers;
        for (const std::string& token : tokens) {
            pointers.push_back(token.c_str());
        }
        parser.ParseArguments(static_cast<int32_t>(pointers.size()), pointers.data());
    } else {
        parser.ParseCommandLine(line.c_str());
    }
    Check(parser.offered == offered.size());

    Model model;
    std::vector<std::string> kept;
    for (const std::string& token : offered) {
        bool consumed = false;
        Apply(model, token, &consumed);
        if (!consumed) {
            kept.push_back(token);
        }
    }
    const size_t keptOptions = kept.size();
    if (options < tokens.size()) {
        kept.insert(kept.end(), tokens.begin() + std::ptrdiff_t(options) + 1, tokens.end());
    }
    const size_t room = OptionParser::kMaxArgs;
    Check(parser.GetArgCount() == int32_t(std::min(kept.size(), room)));
    Check(parser.GetDroppedCount() == int32_t(kept.size() - std::min(kept.size(), room)));
    for (int32_t i = 0; i < parser.GetArgCount(); ++i) {
        Check(kept[size_t(i)] == parser.GetArgs()[i]);
    }
    Check(parser.GetOptionCount() == int32_t(std::min(keptOptions, room)));
    Check(parser.HelpRequested() == model.help);
    Check(parser.VersionRequested() == model.version);
    Check(parser.SizeGiven() == (model.defaultSize == 0));
    Check(parser.PositionGiven() == (model.defaultPosition == 0));

    TrellisApp spare;
    ShellOptionParser suggestions(&spare, false);
    for (int32_t i = 0; i < parser.GetOptionCount(); ++i) {
        const std::string nearest = NearestOption(parser.GetArgs()[i], nullptr);
        Check(nearest.empty() || suggestions.HandleOption(nearest.c_str()));
    }

    const ShellData& shell = *app.GetShellData();
    Check(shell.width == model.width && shell.height == model.height && shell.posX == model.posX &&
          shell.posY == model.posY && shell.fsaaMode == model.fsaaMode && shell.fullScreen == model.fullScreen &&
          shell.quitAfterFrame == model.quitAfterFrame && shell.defaultSize == model.defaultSize &&
          shell.defaultPosition == model.defaultPosition && shell.quitAfterTime == model.quitAfterTime);
    return 0;
}
