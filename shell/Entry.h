#pragma once

namespace trellis {

class WindowSystem;

/// The shell's entry: creates the application (CreateApplication), the option
/// parsers and the platform, drives the lifecycle and returns the exit code
/// (0 or 1).
///
/// `argc` and `argv` are main()'s: argv[0] names the program, and every later
/// element is one token whose bytes (UTF-8) reach the options and InitApp as
/// they are. A 16-bit `commandLine` (without the program name) is split at
/// spaces and tabs and converted to UTF-8.
///
/// Before anything else the tokens are parsed once: "-help", "--help", "-h" or
/// "-?" prints the usage text on standard output and returns 0, and so does
/// "--version" with the version line; more tokens than the application's list
/// holds (OptionParser::kMaxArgs) is refused with a message (1); every token
/// before "--" that is neither a shell option nor one the application declares
/// (TrellisApp::GetAppOptions) is named in a warning, with the option it is
/// most likely a typo of, and still reaches InitApp. A size or position the
/// window will not use is named in one line each.
///
/// Without a window system of the caller's, the environment chooses one (see
/// OpenDefaultWindowSystem); a choice that cannot be made returns 1.
int TrellisMain(int argc, char** argv);
int TrellisMain(int argc, char** argv, WindowSystem& windowSystem);
/// The same entry on the headless window system, whatever display the
/// environment names: for programs that only render into files.
int TrellisMainHeadless(int argc, char** argv);
int TrellisMain(const char16_t* commandLine);
int TrellisMain(const char16_t* commandLine, WindowSystem& windowSystem);

} // namespace trellis
