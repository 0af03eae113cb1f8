#pragma once
#include <string>

class WindowSystem;

// The shell's entry: creates the application (CreateApplication), the platform
// and the option parsers, drives the lifecycle and returns the exit code
// (0 or 1). `commandLine` is the 16-bit command line without the program name.
// The window system is X11 when a display opens and headless otherwise; the
// environment variable TRELLIS_PLATFORM=x11 or =headless chooses one.
int TrellisMain(const char16_t* commandLine);

// The same on a window system the caller provides.
int TrellisMain(const char16_t* commandLine, WindowSystem& windowSystem);

// The process arguments after the program name, joined with single spaces, as
// the 16-bit command line above; UTF-8 is decoded and malformed bytes are
// taken as Latin-1.
std::u16string TrellisCommandLine(int argc, char** argv);
