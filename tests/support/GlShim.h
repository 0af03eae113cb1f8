#pragma once
#include <GLES/gl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Test double over the real GL ES driver. Linked into a test executable, it
// defines a few GL entry points there, so that every caller in the executable
// (the trellis library included) reaches it first; it records each call and
// forwards it to the driver, unless a test asked for a fault. It gives tests
// what Mesa cannot: extra extensions, another version string, the compressed formats 0x8C00-0x8C03,
// and GL errors on demand.
namespace GlShim {

struct Call {
    std::string entry;          // "glTexImage2D", ...
    std::vector<int64_t> args;  // the integer arguments, in the order of the GL call
    const void* data = nullptr; // the texel or pixel pointer, for calls that take one
    std::vector<uint8_t> head;  // up to the first 8 bytes at `data`, for uploads
};

// Forgets every call, fault, extension and live texture.
void Reset();

// Appends an extension name to the driver's GL_EXTENSIONS string.
void AddExtension(const std::string& name);

// glGetString(GL_VERSION) then returns `version` in place of the driver's
// (an empty string restores the driver's).
void SetVersion(const std::string& version);

// glCompressedTexImage2D with an internal format 0x8C00-0x8C03 is then
// recorded and succeeds without reaching the driver, which lacks them.
void AcceptCompressedFormats();

// The n-th call (1 = the next) of `entry` fails: it does not reach the driver
// and the next glGetError reports `error`. For "glGetError" itself, the n-th
// query returns `error`.
void FailCall(const std::string& entry, int n, GLenum error);

// Every call since the last Reset, oldest first; or only those of one entry,
// among the calls numbered from `from` up to `to`.
const std::vector<Call>& Calls();
std::vector<Call> CallsTo(const std::string& entry, size_t from = 0, size_t to = SIZE_MAX);

// Forgets the recorded calls only, so that a long run does not grow with its
// record; faults, extensions and live textures stay.
void ForgetCalls();

// Texture names generated and not deleted since the last Reset.
size_t LiveTextures();

} // namespace GlShim
