#pragma once
#include <cstddef>
#include <string>

namespace trellis {

// The one UTF-8 decoder and encoder of the shell.

// Length in bytes of the well-formed UTF-8 sequence at `text` (at most
// `available` bytes), with its code point in `codePoint`; 0 when the bytes
// there are no such sequence (stray continuation bytes, overlong forms,
// surrogates, values beyond U+10FFFF, a sequence cut short).
size_t DecodeUtf8(const char* text, size_t available, char32_t* codePoint);

// Writes `codePoint` as UTF-8 into `out`, which has room for four bytes;
// returns the bytes written.
size_t EncodeUtf8(char32_t codePoint, char* out);

// How much of `length` bytes of UTF-8 fits in `room` bytes without cutting a
// character in two: `length` when all of it fits, else `room` or less.
size_t FittingUtf8(const char* text, size_t length, size_t room);

// Appends `codePoint` as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

// The character at `text`, a surrogate pair or one unit (a lone surrogate is
// U+FFFD, so that what is made of it is always valid text), stepping past it.
char32_t NextUtf16(const char16_t*& text);

// Zero-terminated UTF-16 text as UTF-8.
std::string NarrowUtf16(const char16_t* text);

// Widens `length` bytes of UTF-8 into `out` (room for `length` units: no text
// widens to more 16-bit units than it has bytes); a byte that begins no
// well-formed sequence is taken as Latin-1. Returns the units written.
size_t WidenUtf8(const char* text, size_t length, char16_t* out);

} // namespace trellis
