#pragma once

// The platform's debug output: one 16-bit string at a time, nothing added.
// On Linux it is standard error, encoded as UTF-8.
void TrellisDebugOutput(const char16_t* text);
