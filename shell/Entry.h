#pragma once

// The shell's entry: creates the application (CreateApplication), the platform
// and the option parsers, drives the lifecycle and returns the exit code
// (0 or 1). `commandLine` is the 16-bit command line without the program name.
int TrellisMain(const char16_t* commandLine);
