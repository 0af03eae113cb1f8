#pragma once
#include <EGL/egl.h>

#include <string>
#include <vector>

// A test library over the real EGL: linked into a test executable, it defines
// the EGL entry points below there and forwards each to the driver (found with
// dlsym(RTLD_NEXT)). A test can add extensions to the display's extension
// string, make chosen calls fail with a chosen error (eglGetError then reports
// it) without reaching the driver, and read the sequence of calls.
namespace EglShim {

// Forgets extensions, failures, counts and the record.
void Reset();
// Appends `name` to what eglQueryString(display, EGL_EXTENSIONS) returns for a display.
void AddExtension(const char* name);
// The n-th call (1 = the first since Reset) of `entry` ("eglSwapBuffers") fails with `error`.
void FailCall(const char* entry, int n, EGLint error);
// Every call of `entry` from the n-th on fails with `error`.
void FailCallsFrom(const char* entry, int n, EGLint error);
// Entry-point names of the interposed calls since Reset, eglGetError and
// eglQueryString excepted, in order.
const std::vector<std::string>& Calls();
// The calls among `names`, in order.
std::vector<std::string> Calls(const std::vector<std::string>& names);
// Number of calls of `entry` since Reset.
int CallCount(const char* entry);

} // namespace EglShim
