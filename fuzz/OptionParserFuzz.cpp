// libFuzzer target: any bytes as a 16-bit command line (little-endian units,
// cut at the first zero unit, as the process would receive it). The shell's
// parser must offer exactly the tokens a plain split at spaces and tabs gives,
// keep the ones it does not consume in order, never more than its list holds,
// and free the rest.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "shell/OptionParser.h"
#include "shell/TrellisApp.h"

namespace {

// The reference split: runs of characters other than space and tab, each
// narrowed to its low 8 bits (a narrowed token may hold zero bytes).
std::vector<std::string> SplitNarrowed(const std::u16string& line)
{
    std::vector<std::string> tokens;
    std::string current;
    for (const char16_t c : line) {
        if (c == u' ' || c == u'\t') {
            if (!current.empty()) {
                tokens.push_back(current);
                current.clear();
            }
        } else {
            current.push_back(static_cast<char>(c & 0xFF));
        }
    }
    if (!current.empty()) {
        tokens.push_back(current);
    }
    return tokens;
}

std::u16string CommandLineFrom(const uint8_t* data, size_t size)
{
    std::u16string line;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (unit == 0) {
            break;
        }
        line.push_back(unit);
    }
    return line;
}

// Checks each offered token against the reference split while it is alive
// (the parser frees consumed ones at once), terminator included, and notes
// which were kept.
class CheckingParser : public ShellOptionParser {
public:
    CheckingParser(TrellisApp* app, const std::vector<std::string>& expected)
        : ShellOptionParser(app), expected(expected)
    {
    }

    bool HandleOption(const char* token) override
    {
        if (offered >= expected.size() ||
            std::memcmp(token, expected[offered].c_str(), expected[offered].size() + 1) != 0) {
            __builtin_trap();  // a token the split does not give
        }
        ++offered;
        const bool consumed = ShellOptionParser::HandleOption(token);
        if (!consumed) {
            kept.push_back(token);
        }
        return consumed;
    }

    size_t offered = 0;
    std::vector<const char*> kept;

private:
    const std::vector<std::string>& expected;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::u16string line = CommandLineFrom(data, size);
    const std::vector<std::string> expected = SplitNarrowed(line);
    TrellisApp app;
    CheckingParser parser(&app, expected);
    parser.ParseCommandLine(line.c_str());

    if (parser.offered != expected.size()) {
        __builtin_trap();
    }
    // The list holds the first unconsumed tokens, in order, up to its room.
    const size_t keptCount = parser.kept.size() < size_t(OptionParser::kMaxArgs) ? parser.kept.size()
                                                                                : size_t(OptionParser::kMaxArgs);
    if (parser.GetArgCount() != int32_t(keptCount)) {
        __builtin_trap();
    }
    for (size_t i = 0; i < keptCount; ++i) {
        if (parser.GetArgs()[i] != parser.kept[i]) {
            __builtin_trap();
        }
    }
    const ShellData& shell = *app.GetShellData();
    if ((shell.fullScreen != 0 && shell.fullScreen != 1) || shell.defaultSize < 0 || shell.defaultSize > 1 ||
        shell.defaultPosition < 0 || shell.defaultPosition > 1 || shell.quitAfterTime == 0.0f) {
        __builtin_trap();
    }
    return 0;
}
