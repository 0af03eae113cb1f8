#include "EglShim.h"

#include <dlfcn.h>

#include <algorithm>
#include <climits>
#include <map>

namespace {

struct Failure {
    std::string entry;
    int first;
    int last;
    EGLint error;
};

struct ShimState {
    std::vector<std::string> extensions;
    std::vector<Failure> failures;
    std::map<std::string, int> counts;
    std::vector<std::string> calls;
    EGLint pendingError = EGL_SUCCESS;
    bool hasPendingError = false;
    std::string extensionString;
};

ShimState& State()
{
    static ShimState state;
    return state;
}

template <typename Function>
Function Real(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// A shadowing definition that counts and records the call, then fails it
// (returning `failed`) where a test chose so, or calls the driver.
#define INTERCEPTED(Result, entry, failed, parameters, ...) \
    Result EGLAPIENTRY entry parameters \
    { \
        if (Intercept(#entry)) { \
            return failed; \
        } \
        return Real<decltype(&entry)>(#entry)(__VA_ARGS__); \
    }

// Counts and records a call; true when it is to fail (the error is then pending).
bool Intercept(const char* entry, bool record = true)
{
    ShimState& state = State();
    const int n = ++state.counts[entry];
    if (record) {
        state.calls.push_back(entry);
    }
    for (const Failure& failure : state.failures) {
        if (failure.entry == entry && n >= failure.first && n <= failure.last) {
            state.pendingError = failure.error;
            state.hasPendingError = true;
            return true;
        }
    }
    state.hasPendingError = false;
    return false;
}

} // namespace

namespace EglShim {

void Reset() { State() = ShimState{}; }
void AddExtension(const char* name) { State().extensions.emplace_back(name); }
void FailCall(const char* entry, int n, EGLint error) { State().failures.push_back(Failure{entry, n, n, error}); }
void FailCallsFrom(const char* entry, int n, EGLint error)
{
    State().failures.push_back(Failure{entry, n, INT_MAX, error});
}
const std::vector<std::string>& Calls() { return State().calls; }

std::vector<std::string> Calls(const std::vector<std::string>& names)
{
    std::vector<std::string> chosen;
    for (const auto& call : State().calls) {
        if (std::find(names.begin(), names.end(), call) != names.end()) {
            chosen.push_back(call);
        }
    }
    return chosen;
}

int CallCount(const char* entry)
{
    const auto found = State().counts.find(entry);
    return found == State().counts.end() ? 0 : found->second;
}

} // namespace EglShim

extern "C" {

INTERCEPTED(EGLDisplay, eglGetDisplay, EGL_NO_DISPLAY, (EGLNativeDisplayType displayId), displayId)
INTERCEPTED(EGLBoolean, eglInitialize, EGL_FALSE, (EGLDisplay display, EGLint* major, EGLint* minor),
            display, major, minor)
INTERCEPTED(EGLBoolean, eglTerminate, EGL_FALSE, (EGLDisplay display), display)

const char* EGLAPIENTRY eglQueryString(EGLDisplay display, EGLint name)
{
    if (Intercept("eglQueryString", false)) {
        return nullptr;
    }
    const char* real = Real<decltype(&eglQueryString)>("eglQueryString")(display, name);
    ShimState& state = State();
    if (real == nullptr || display == EGL_NO_DISPLAY || name != EGL_EXTENSIONS || state.extensions.empty()) {
        return real;
    }
    state.extensionString = real;
    for (const auto& extension : state.extensions) {
        if (!state.extensionString.empty() && state.extensionString.back() != ' ') {
            state.extensionString += ' ';
        }
        state.extensionString += extension;
    }
    return state.extensionString.c_str();
}

INTERCEPTED(EGLBoolean, eglChooseConfig, EGL_FALSE,
            (EGLDisplay display, const EGLint* attributes, EGLConfig* configs, EGLint size, EGLint* count),
            display, attributes, configs, size, count)
INTERCEPTED(EGLContext, eglCreateContext, EGL_NO_CONTEXT,
            (EGLDisplay display, EGLConfig config, EGLContext share, const EGLint* attributes),
            display, config, share, attributes)
INTERCEPTED(EGLBoolean, eglDestroyContext, EGL_FALSE, (EGLDisplay display, EGLContext context), display, context)
INTERCEPTED(EGLSurface, eglCreateWindowSurface, EGL_NO_SURFACE,
            (EGLDisplay display, EGLConfig config, EGLNativeWindowType window, const EGLint* attributes),
            display, config, window, attributes)
INTERCEPTED(EGLSurface, eglCreatePbufferSurface, EGL_NO_SURFACE,
            (EGLDisplay display, EGLConfig config, const EGLint* attributes), display, config, attributes)
INTERCEPTED(EGLBoolean, eglDestroySurface, EGL_FALSE, (EGLDisplay display, EGLSurface surface), display, surface)
INTERCEPTED(EGLBoolean, eglMakeCurrent, EGL_FALSE,
            (EGLDisplay display, EGLSurface draw, EGLSurface read, EGLContext context), display, draw, read, context)
INTERCEPTED(EGLBoolean, eglSwapBuffers, EGL_FALSE, (EGLDisplay display, EGLSurface surface), display, surface)

EGLint EGLAPIENTRY eglGetError()
{
    ShimState& state = State();
    if (state.hasPendingError) {
        state.hasPendingError = false;
        return state.pendingError;
    }
    return Real<decltype(&eglGetError)>("eglGetError")();
}

} // extern "C"
