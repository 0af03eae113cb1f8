#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trellis {

class TrellisApp;
struct ShellData;
struct TrellisAppOption;

// Offers each command-line token to HandleOption; tokens it does not consume
// are kept for the application. Tokens are narrow UTF-8 strings: on Linux each
// argv element is one token with its bytes as they are, and a 16-bit command
// line is split at spaces and tabs and converted to UTF-8 without losing a
// character. A token "--" ends the options: it is consumed, and every token
// after it is kept as it is, never offered, so that an application can take
// arguments that look like options.
class OptionParser {
public:
    OptionParser() = default;
    OptionParser(const OptionParser&) = delete;
    OptionParser& operator=(const OptionParser&) = delete;

    // True when the token was consumed.
    virtual bool HandleOption(const char* token) = 0;
    // Frees every kept token and the list.
    virtual ~OptionParser();

    // The 16-bit command line (without the program name).
    void ParseCommandLine(const char16_t* commandLine);
    // `count` tokens, each offered as it is (an argv without its program name).
    void ParseArguments(int32_t count, const char* const* tokens);

    int32_t GetArgCount() const { return argCount; }
    char** GetArgs() const { return args; }
    // Unconsumed tokens the list had no room for; the entry refuses to start
    // when there are any, so that no argument is lost in silence.
    int32_t GetDroppedCount() const { return droppedCount; }
    // The kept tokens that came before "--" (the first ones in the list): the
    // only ones that may be mistyped options.
    int32_t GetOptionCount() const { return optionCount; }

    // The list keeps at most this many tokens.
    static constexpr int32_t kMaxArgs = 100;

protected:
    int32_t argCount = 0;
    char** args = nullptr;

private:
    void Offer(const char* token);
    bool Keep(const char* token);

    int32_t droppedCount = 0;
    int32_t optionCount = 0;
    bool optionsEnded = false;
};

// The shell's own options, written straight into the application's ShellData.
// A value the option cannot use as written gets one line through ShellLog
// naming the token and what is used instead (unless warnings are off: the
// entry parses the command line twice and warns only the first time).
// Every option also answers to its GNU spelling, one token with two dashes
// ("--windowed", "--width=800"). "-help", "--help", "-h" and "-?", and
// "-version" or "--version", are consumed and noted for the entry; an empty
// token is consumed with a line that says it was ignored.
class ShellOptionParser : public OptionParser {
public:
    explicit ShellOptionParser(TrellisApp* app, bool warn = true);
    bool HandleOption(const char* token) override;

    bool HelpRequested() const { return helpRequested; }
    bool VersionRequested() const { return versionRequested; }
    // Whether a size or a position option set its field: the entry says
    // when the window it makes will not use them.
    bool SizeGiven() const { return sizeGiven; }
    bool PositionGiven() const { return positionGiven; }

private:
    void Warn(const char* token, const char* problem, const std::string& used) const;

    TrellisApp* app;
    ShellData* shellData;
    bool warn;
    bool helpRequested = false;
    bool versionRequested = false;
    bool sizeGiven = false;
    bool positionGiven = false;
};

// The 16-bit command line split at spaces and tabs, each token converted to
// UTF-8 (an unpaired surrogate becomes U+FFFD).
std::vector<std::string> SplitCommandLine(const char16_t* commandLine);

// True when `token` is one of the application's declared options: it begins
// with a declared name that ends in '=' (a value follows), or equals a declared
// name without one (a flag).
bool IsDeclaredOption(const TrellisAppOption* declared, const char* token);

// The columns a line of the usage text may fill.
constexpr size_t kUsageWidth = 80;

// `text` in lines of at most `width` characters, broken at spaces, each line
// after the first indented by `indent` spaces.
std::string Wrap(const std::string& text, size_t width, size_t indent);

// The option, shell's or declared, that `token` is most likely a typo of,
// spelled with the token's value ("-widht=800" gives "-width=800"); empty
// when none is within two edits and a third of its length.
std::string NearestOption(const char* token, const TrellisAppOption* declared);

// The usage text: the shell's options one line each, then the application's,
// wrapped to 80 columns. `program` names the program in the first line;
// `fullScreenByDefault` is the application's default window.
std::string ShellUsage(const char* program, const TrellisAppOption* declared, bool fullScreenByDefault);

// "PROGRAM (Trellis) MAJOR.MINOR.PATCH" and a line end.
std::string ShellVersion(const char* program);

} // namespace trellis
