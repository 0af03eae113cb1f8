#pragma once
#include <cstdint>

class TrellisApp;
struct ShellData;

// Splits a 16-bit command line into narrow tokens at spaces and tabs and offers
// each to HandleOption; tokens it does not consume are kept for the application.
class OptionParser {
public:
    OptionParser() = default;
    OptionParser(const OptionParser&) = delete;
    OptionParser& operator=(const OptionParser&) = delete;

    // True when the token was consumed.
    virtual bool HandleOption(const char* token) = 0;
    // Frees every kept token and the list.
    virtual ~OptionParser();

    void ParseCommandLine(const char16_t* commandLine);
    int32_t GetArgCount() const { return argCount; }
    char** GetArgs() const { return args; }

    // The list keeps at most this many tokens; later ones are dropped.
    static constexpr int32_t kMaxArgs = 100;

protected:
    int32_t argCount = 0;
    char** args = nullptr;
};

// The shell's own options, written straight into the application's ShellData.
class ShellOptionParser : public OptionParser {
public:
    explicit ShellOptionParser(TrellisApp* app);
    bool HandleOption(const char* token) override;

private:
    ShellData* shellData;
};
