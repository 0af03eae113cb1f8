#pragma once
#include <string>

namespace trellis {

// The platform's debug output: one 16-bit string at a time, nothing added.
// On Linux it is standard error, encoded as UTF-8, unless the application
// routes it elsewhere (TrellisApp::SetLogHandler).
void TrellisDebugOutput(const char16_t* text);

// The same for UTF-8 text, such as a formatted message: it reaches the output
// as it is, except that a byte that begins no well-formed sequence is taken
// as Latin-1, so that what is written is always valid text.
void TrellisDebugOutputUtf8(const char* text);
inline void TrellisDebugOutputUtf8(const std::string& text)
{
    TrellisDebugOutputUtf8(text.c_str());
}

// Where every message goes: `handler(text, context)` with UTF-8 text as it is
// written (a long message may come in pieces), or standard error when null.
void TrellisSetDebugOutputHandler(void (*handler)(const char* text, void* context), void* context);

// Ends the current line of the debug output when something has been written
// on it, so that a line of the shell's own never runs on from a message that
// has no line end.
void TrellisDebugOutputEndLine();

// How many texts have been written so far: a step that failed can tell
// whether it has already said why.
unsigned long TrellisDebugOutputCount();

} // namespace trellis
