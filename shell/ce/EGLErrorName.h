#pragma once
#include <EGL/egl.h>

namespace trellis {

// The name of an eglGetError code ("EGL_BAD_ALLOC"); "unknown EGL error" for
// a value no EGL version defines.
const char* EGLErrorName(EGLint error);

} // namespace trellis
