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

void Reset()
{
    State() = ShimState{};
}

void AddExtension(const char* name)
{
    State().extensions.emplace_back(name);
}

void FailCall(const char* entry, int n, EGLint error)
{
    State().failures.push_back(Failure{entry, n, n, error});
}

void FailCallsFrom(const char* entry, int n, EGLint error)
{
    State().failures.push_back(Failure{entry, n, INT_MAX, error});
}

const std::vector<std::string>& Calls()
{
    return State().calls;
}

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

EGLDisplay EGLAPIENTRY eglGetDisplay(EGLNativeDisplayType displayId)
{
    if (Intercept("eglGetDisplay")) {
        return EGL_NO_DISPLAY;
    }
    return Real<decltype(&eglGetDisplay)>("eglGetDisplay")(displayId);
}

EGLBoolean EGLAPIENTRY eglInitialize(EGLDisplay display, EGLint* major, EGLint* minor)
{
    if (Intercept("eglInitialize")) {
        return EGL_FALSE;
    }
    return Real<decltype(&eglInitialize)>("eglInitialize")(display, major, minor);
}

EGLBoolean EGLAPIENTRY eglTerminate(EGLDisplay display)
{
    if (Intercept("eglTerminate")) {
        return EGL_FALSE;
    }
    return Real<decltype(&eglTerminate)>("eglTerminate")(display);
}

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

EGLBoolean EGLAPIENTRY eglChooseConfig(EGLDisplay display, const EGLint* attributes, EGLConfig* configs,
                                       EGLint size, EGLint* count)
{
    if (Intercept("eglChooseConfig")) {
        return EGL_FALSE;
    }
    return Real<decltype(&eglChooseConfig)>("eglChooseConfig")(display, attributes, configs, size, count);
}

EGLContext EGLAPIENTRY eglCreateContext(EGLDisplay display, EGLConfig config, EGLContext share,
                                        const EGLint* attributes)
{
    if (Intercept("eglCreateContext")) {
        return EGL_NO_CONTEXT;
    }
    return Real<decltype(&eglCreateContext)>("eglCreateContext")(display, config, share, attributes);
}

EGLBoolean EGLAPIENTRY eglDestroyContext(EGLDisplay display, EGLContext context)
{
    if (Intercept("eglDestroyContext")) {
        return EGL_FALSE;
    }
    return Real<decltype(&eglDestroyContext)>("eglDestroyContext")(display, context);
}

EGLSurface EGLAPIENTRY eglCreateWindowSurface(EGLDisplay display, EGLConfig config, EGLNativeWindowType window,
                                              const EGLint* attributes)
{
    if (Intercept("eglCreateWindowSurface")) {
        return EGL_NO_SURFACE;
    }
    return Real<decltype(&eglCreateWindowSurface)>("eglCreateWindowSurface")(display, config, window, attributes);
}

EGLSurface EGLAPIENTRY eglCreatePbufferSurface(EGLDisplay display, EGLConfig config, const EGLint* attributes)
{
    if (Intercept("eglCreatePbufferSurface")) {
        return EGL_NO_SURFACE;
    }
    return Real<decltype(&eglCreatePbufferSurface)>("eglCreatePbufferSurface")(display, config, attributes);
}

EGLBoolean EGLAPIENTRY eglDestroySurface(EGLDisplay display, EGLSurface surface)
{
    if (Intercept("eglDestroySurface")) {
        return EGL_FALSE;
    }
    return Real<decltype(&eglDestroySurface)>("eglDestroySurface")(display, surface);
}

EGLBoolean EGLAPIENTRY eglMakeCurrent(EGLDisplay display, EGLSurface draw, EGLSurface read, EGLContext context)
{
    if (Intercept("eglMakeCurrent")) {
        return EGL_FALSE;
    }
    return Real<decltype(&eglMakeCurrent)>("eglMakeCurrent")(display, draw, read, context);
}

EGLBoolean EGLAPIENTRY eglSwapBuffers(EGLDisplay display, EGLSurface surface)
{
    if (Intercept("eglSwapBuffers")) {
        return EGL_FALSE;
    }
    return Real<decltype(&eglSwapBuffers)>("eglSwapBuffers")(display, surface);
}

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
