#pragma once

// The platform's debug output: one 16-bit string at a time, nothing added.
// On Linux it is standard error, encoded as UTF-8.
void TrellisDebugOutput(const char16_t* text);

// Ends the current line of the debug output when something has been written
// on it, so that a line of the shell's own never runs on from a message that
// has no line end.
void TrellisDebugOutputEndLine();

// How many texts have been written so far: a step that failed can tell
// whether it has already said why.
unsigned long TrellisDebugOutputCount();
